// faults.cpp: bad inputs and faults, one row each, against the real
// updater.exe. Whatever a row does wrong, every row ends the same way: the
// user is told in Japanese what happened (or the run ends as the user asked),
// the exit code is 0, nothing outside the destination is written, and
// nothing that was in the destination is lost or changed except by the
// update's own files.
#include <windows.h>

#include <map>
#include <memory>
#include <optional>

#include "fixture.h"
#include "sample.h"
#include "scenarios.h"
#include "archive/pak_writer.h"
#include "ui.h"

namespace e2e {

namespace {

// --- What may change ------------------------------------------------------------

// Every file (with its bytes) and folder (without) below a root.
using Tree = std::map<std::string, std::optional<std::string>>;

Tree Snapshot(const std::string& root) {
  Tree tree;
  WalkTree(root, [&](const std::string& path, bool isFolder) {
    if (isFolder) {
      tree[path] = std::nullopt;
      return;
    }
    std::optional<std::string> bytes = ReadWholeFile(path);
    tree[path] = bytes ? *bytes : std::string("<unreadable>");
  });
  return tree;
}

// The bytes of the update's file at `relative` below the destination, if
// it is one.
std::optional<std::string> DeliveredBytes(const std::string& relative) {
  for (const SampleFile& f : kDelivered) {
    if (relative == f.path) return std::string(f.bytes);
  }
  return std::nullopt;
}

// Takes a snapshot of root when made; Check() then holds the run to it:
// outside the destination everything is as it was, inside it nothing has
// gone, and whatever is new or changed there is the update's own file.
class Untouched {
 public:
  Untouched(const std::string& root, const std::string& destination)
      : root_(root), destination_(destination), before_(Snapshot(root)) {}

  // The scenario itself changed path during the run (an update.ini that
  // appears before Retry).
  void Changed(const std::string& path) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    before_[path] = bytes;
  }

  void Check() const {
    const Tree after = Snapshot(root_);
    for (const auto& [path, bytes] : before_) {
      auto now = after.find(path);
      Expect(now != after.end(), "lost: " + path);
      if (now->second == bytes) continue;
      std::optional<std::string> relative = Relative(path);
      Expect(relative && now->second && now->second == DeliveredBytes(*relative),
             "changed, and not into the update's file: " + path);
    }
    for (const auto& [path, bytes] : after) {
      if (before_.count(path)) continue;
      std::optional<std::string> relative = Relative(path);
      Expect(relative.has_value(), "written outside the destination: " + path);
      Expect(!bytes || bytes == DeliveredBytes(*relative),
             "written into the destination, and not the update's file: " + path);
    }
  }

 private:
  // path relative to the destination, when it lies below it.
  std::optional<std::string> Relative(const std::string& path) const {
    const std::string prefix = destination_ + "\\";
    if (destination_.empty() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    return path.substr(prefix.size());
  }

  std::string root_;
  std::string destination_;
  Tree before_;
};

// What a user already keeps in the install folder: an own file, and an
// older copy of a file the update brings.
const SampleFile kOwnFile = {"own notes.txt", "the user's own notes"};
const char kOldReadme[] = "readme of the version before";

void Seed(const std::string& destination) {
  WriteWholeFile(destination + "\\" + kOwnFile.path, kOwnFile.bytes);
  WriteWholeFile(destination + "\\readme.txt", kOldReadme);
}

// The update's files are in the destination, byte for byte.
void ExpectArrived(const std::string& destination) {
  for (const SampleFile& f : kDelivered) {
    std::optional<std::string> bytes = ReadWholeFile(destination + "\\" + f.path);
    Expect(bytes && *bytes == f.bytes,
           Printf("%s\\%s is not the update's file", destination.c_str(), f.path));
  }
}

HWND ExpectNotDelivered(UpdaterProcess& p, const std::string& items) {
  return ExpectBox(p, "delivery error box", kErrorCaption, kNotDelivered + items);
}

// The updater's own error box: "エラーが発生しました。\nCode 0x<hex> :" and
// the message; the caption is the system's word for an error.
void ExpectErrorBox(Context& c, UpdaterProcess& p, const std::string& message) {
  HWND box = p.WaitWindow("error box");
  const std::string caption = WindowText(box);
  const std::string text = ItemText(box, 0xFFFF);
  const std::string head = kAbortErrorHead;
  const std::string tail = " :" + message;
  const bool shaped = text.size() > head.size() + tail.size() &&
                      text.compare(0, head.size(), head) == 0 &&
                      text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  const std::string code =
      shaped ? text.substr(head.size(), text.size() - head.size() - tail.size()) : "";
  Expect(shaped && !code.empty() && code.find_first_not_of("0123456789abcdef") == std::string::npos,
         "error box text: \"" + text + "\", expected \"" + head + "<code>" + tail + "\"");
  Expect(caption == "エラー" || caption == "Error", "error box caption: \"" + caption + "\"");
  c.notes.push_back("error box caption \"" + caption + "\", code 0x" + code);
  Answer(p, box, IDOK, "error box");
  ExpectExitCodeZero(p.WaitExitSilently("the error box"));
}

// --- Bad update.ini -------------------------------------------------------------

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A run with update.ini as given that must deliver the sample as usual,
// under the caption given.
void DeliverWithProfile(Context& c, const std::string& profile, ProfileIn where,
                        const std::string& caption) {
  Sample s(c, ProfileIn::Nowhere);
  s.fixture.AddProfile(profile, where);
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, caption, s.installed);
  ConfirmAndFinish(p, dialog, caption);
  ExpectArrived(s.installed);
  untouched.Check();
}

void ProfileWithNul(Context& c) {
  const std::string text = "[update]\r\nGUID=" + Guid(c) + "\r\nTitle=" + kTitle +
                           "\r\nfile=" + kFileList + "\r\n" + std::string("\0", 1) +
                           "Version=" + kVersion + "\r\n";
  DeliverWithProfile(c, text, ProfileIn::LooseFile, Caption(kTitle, kDefaultVersion));
}

void ProfileCrOnly(Context& c) {
  DeliverWithProfile(c, Replaced(Profile(Guid(c), "", kFileList), "\r\n", "\r"),
                     ProfileIn::PakStored, Caption());
}

void ProfileTenMegabytes(Context& c) {
  std::string text = "; other products' settings first\r\n";
  while (text.size() < 10u * 1024 * 1024) text += "[other]\r\nGUID={not this one}\r\nfile=x;y\r\n";
  text += Profile(Guid(c), "", kFileList);
  DWORD start = GetTickCount();
  DeliverWithProfile(c, text, ProfileIn::PakCompressed, Caption());
  c.notes.push_back(Printf("%u bytes of update.ini; the run took %lu ms", unsigned(text.size()),
                           GetTickCount() - start));
}

void ProfileLongLine(Context& c) {
  std::string files;
  for (int i = 0; files.size() < 100000; ++i) files += Printf("missing\\%05d.dat;", i);
  files += kFileList;
  DeliverWithProfile(c, Profile(Guid(c), "", files), ProfileIn::PakCompressed, Caption());
}

// --- Bad archives ---------------------------------------------------------------

void BrokenPak(Context& c) {
  Sample s(c, ProfileIn::Nowhere);
  const std::vector<pak::InputEntry> entries = {
      {"update.ini", Profile(Guid(c), "", kFileList), true}};
  pak::WriteOptions options;
  options.version = 3;
  options.keyBlock = pak::DefaultKeyBlock(entries);
  options.directoryKey = pak::DefaultDirectoryKey(entries);
  options.entryCount = 0xFFFFFFFFu;  // more records than the directory can hold
  s.fixture.AddFile("update.pak", pak::WriteArchive(entries, options));
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  ExpectErrorBox(c, p, "アーカイブ " + s.fixture.updateFolder() + "\\update.pak が壊れています。");
  untouched.Check();
}

void TextFilePak(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  s.fixture.AddFile("a.pak", "[update]\r\nGUID={not a pak}\r\n");
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectArrived(s.installed);
  untouched.Check();
}

// Another program holds a.pak open and lets nobody in, beside update.pak.
// a.pak sorts first and holds update.ini of version 3.0, update.pak the
// usual one: the prompt names a.pak (not update.ini); Ignore reads
// update.pak, at each of the five lookups; Retry after the other program
// let go reads a.pak; Abort ends the run with a.pak named.
void LockedPak(Context& c, int answer) {
  Sample s(c, ProfileIn::PakStored);
  const std::string profile = Replaced(Profile(Guid(c), "", kFileList),
                                       std::string("Version=") + kVersion, "Version=3.0");
  const std::vector<pak::InputEntry> entries = {{"update.ini", profile, false}};
  pak::WriteOptions options;
  options.version = 1;
  s.fixture.AddFile("a.pak", pak::WriteArchive(entries, options));
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);  // before a.pak is held: it reads it
  const std::string locked = s.fixture.updateFolder() + "\\a.pak";
  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Expect(lock != INVALID_HANDLE_VALUE, "cannot hold a.pak open");
  std::unique_ptr<void, decltype(&CloseHandle)> held(lock, &CloseHandle);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  const std::string prompt = "ファイル " + locked + " が開けません。";
  if (answer == IDABORT) {
    Answer(p, ExpectBox(p, "prompt for a.pak", kOpenPromptCaption, prompt), IDABORT,
           "prompt for a.pak");
    ExpectErrorBox(c, p, "ファイル " + locked + " が開けませんでした。");
    held.reset();
    untouched.Check();
    return;
  }
  std::string caption = Caption();
  if (answer == IDRETRY) {
    HWND box = ExpectBox(p, "prompt for a.pak", kOpenPromptCaption, prompt);
    held.reset();
    Answer(p, box, IDRETRY, "prompt for a.pak");
    caption = Caption(kTitle, "3.0");
  } else {
    for (int i = 1; i <= 5; ++i) {
      const std::string what = Printf("prompt %d for a.pak", i);
      Answer(p, ExpectBox(p, what.c_str(), kOpenPromptCaption, prompt), IDIGNORE, what.c_str());
    }
  }
  HWND dialog = ExpectDialog(p, caption, s.installed);
  ConfirmAndFinish(p, dialog, caption);
  ExpectArrived(s.installed);
  held.reset();
  untouched.Check();
}

void LockedPakIgnore(Context& c) { LockedPak(c, IDIGNORE); }
void LockedPakRetry(Context& c) { LockedPak(c, IDRETRY); }
void LockedPakAbort(Context& c) { LockedPak(c, IDABORT); }

// --- Bad destinations ----------------------------------------------------------

// Starts the run, types `destination` into the dialog and presses OK; the
// user must hear that `items` were not delivered.
void TypeAndExpectNotDelivered(Context& c, Sample& s, const std::string& destination,
                               const std::string& items) {
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  TypeInto(dialog, kFolderField, destination);
  Press(dialog, IDOK);
  HWND box = ExpectNotDelivered(p, items);
  Answer(p, box, IDOK, "error box");
  ExpectExitCodeZero(p.WaitExitSilently("the error box"));
}

// Starts the run, types `destination` into the dialog and presses OK; the
// user must hear once, with the system's code, that the folder could not be
// made or reached, and not item by item.
void TypeAndExpectFolderError(Context& c, Sample& s, const std::string& destination) {
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  TypeInto(dialog, kFolderField, destination);
  Press(dialog, IDOK);
  ExpectErrorBox(c, p, Printf(kFolderError, destination.c_str()));
}

void BelowAFile(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  WriteWholeFile(c.root + "\\blocker", "a file where a folder would go");
  const std::string target = c.root + "\\blocker\\dest";
  Untouched untouched(c.root, target);
  TypeAndExpectFolderError(c, s, target);
  untouched.Check();
}

// The first drive letter from Q: on that this system does not have.
std::string MissingDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Q'; letter <= 'Y'; ++letter) {
    if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
  }
  throw Failure("every drive letter from Q: to Y: is taken");
}

void MissingDriveLetter(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  const std::string drive = MissingDrive();
  Untouched untouched(c.root, "");
  TypeAndExpectFolderError(c, s, drive + "\\表計算ソフト");
  Expect(!Exists(drive + "\\"), drive + " exists after the run");
  untouched.Check();
}

void TooLongForTheShell(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  std::string target = c.root + "\\long";
  while (target.size() < MAX_PATH + 20) target += "\\folder-of-a-long-path";
  Untouched untouched(c.root, target);
  TypeAndExpectFolderError(c, s, target);
  Expect(!Exists(c.root + "\\long"), "a folder of the long destination was made");
  untouched.Check();
}

// Listed files whose full paths are longer than the shell takes exist all
// the same: they are named as not delivered, not passed over as missing,
// and the others arrive. One is listed by its full path; the other by a
// path relative to the update folder that is short by itself.
void LongItemPaths(Context& c) {
  const std::string update = c.root + "\\update";
  std::string relative = "long";
  while (update.size() + 1 + relative.size() < MAX_PATH + 20) relative += "\\folder-of-a-long-path";
  const std::string listedRelative = relative + "\\relative.txt";
  const std::string listedFull = update + "\\" + relative + "\\full.txt";
  Sample s(c, ProfileIn::PakStored, "",
           std::string(kFileList) + ";" + listedFull + ";" + listedRelative);
  WriteLongFile(listedFull, "listed by its full path");
  WriteLongFile(update + "\\" + listedRelative, "listed relative to the update");
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  Press(dialog, IDOK);
  HWND box = ExpectNotDelivered(p, listedFull + "\n" + listedRelative);
  Answer(p, box, IDOK, "error box");
  ExpectExitCodeZero(p.WaitExitSilently("the error box"));
  ExpectArrived(s.installed);
  untouched.Check();
}

// Makes files and folders immutable at the Unix level for its lifetime,
// through chattr started from inside Wine: the one way to have a folder
// that even root cannot write to. Wine ignores the read-only attribute of a
// folder, and a root process writes to read-only files.
class ImmutableOnHost {
 public:
  // False in taken() when this system does not allow it.
  ImmutableOnHost(const std::string& folder, const std::vector<std::string>& files)
      : folder_(folder), paths_(files) {
    paths_.push_back(folder);
    taken_ = Chattr("+i") && WaitFor([&] { return !Writable(); });
  }
  ~ImmutableOnHost() {
    Chattr("-i");
    WaitFor([&] { return Writable(); });
  }
  ImmutableOnHost(const ImmutableOnHost&) = delete;
  ImmutableOnHost& operator=(const ImmutableOnHost&) = delete;

  bool taken() const { return taken_; }

 private:
  // A new file can be made in the folder (and is gone again at once).
  bool Writable() const {
    HANDLE probe = CreateFileA((folder_ + "\\write probe").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
  }

  bool Chattr(const char* change) const {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return false;
    std::string command = std::string("/usr/bin/chattr ") + change;
    for (const std::string& path : paths_) {
      std::wstring wide(MultiByteToWideChar(932, 0, path.c_str(), -1, nullptr, 0), L'\0');
      MultiByteToWideChar(932, 0, path.c_str(), -1, &wide[0], wide.size());
      char* name = unixName(wide.c_str());
      if (name == nullptr) return false;
      command += std::string(" \"") + name + "\"";
      HeapFree(GetProcessHeap(), 0, name);
    }
    // The command line goes to the Unix program as UTF-8, the way Wine
    // hands Unix paths out.
    std::wstring line(MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, &line[0], line.size());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
  }

  std::string folder_;
  std::vector<std::string> paths_;
  bool taken_ = false;
};

void ReadOnlyDestination(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  Seed(s.installed);
  ImmutableOnHost readOnly(s.installed,
                           {s.installed + "\\readme.txt", s.installed + "\\" + kOwnFile.path});
  if (!readOnly.taken()) {
    c.notes.push_back("not run: this system cannot make a folder read-only for this user");
    return;
  }
  Untouched untouched(c.root, s.installed);
  TypeAndExpectNotDelivered(c, s, s.installed, kAllItems);
  untouched.Check();
}

// Another program (the product itself, say) holds the old readme.txt open
// and lets nobody else in: that one file is not delivered, the others are.
void LockedFile(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  HANDLE lock = CreateFileA((s.installed + "\\readme.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  Expect(lock != INVALID_HANDLE_VALUE, "cannot hold readme.txt open");
  // Released when the run is over, also when a failure unwinds first.
  std::unique_ptr<void, decltype(&CloseHandle)> held(lock, &CloseHandle);
  TypeAndExpectNotDelivered(c, s, s.installed, "readme.txt");
  for (const SampleFile& f : kDelivered) {
    if (std::string(f.path) == "readme.txt") continue;
    std::optional<std::string> bytes = ReadWholeFile(s.installed + "\\" + f.path);
    Expect(bytes && *bytes == f.bytes, Printf("%s was not delivered", f.path));
  }
  held.reset();
  std::optional<std::string> readme = ReadWholeFile(s.installed + "\\readme.txt");
  Expect(readme && *readme == kOldReadme, "the locked readme.txt changed");
  untouched.Check();
}

// --- Runs the updater does not go through ----------------------------------------

// Waits for the prompt about the missing update.ini and checks its buttons.
HWND ExpectOpenPrompt(UpdaterProcess& p, int which) {
  std::string what = Printf("prompt %d for update.ini", which);
  HWND prompt = ExpectBox(p, what.c_str(), kOpenPromptCaption, kOpenPrompt);
  for (int id : {IDABORT, IDRETRY, IDIGNORE}) {
    Expect(ItemEnabled(prompt, id),
           Printf("%s has no button %d:\n", what.c_str(), id) + Describe(prompt));
  }
  return prompt;
}

// Each of the five lookups asks; after Ignore the defaults stand, and the
// default product is not installed.
void NoProfileIgnore(Context& c) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
  Untouched untouched(c.root, "");
  UpdaterProcess p(c.updater, f.updateFolder());
  for (int i = 1; i <= 5; ++i) {
    HWND prompt = ExpectOpenPrompt(p, i);
    Answer(p, prompt, IDIGNORE, "prompt for update.ini");
  }
  HWND box = ExpectBox(p, "not-found box", kErrorCaption, Printf(kNotFound, kDefaultTitle));
  Answer(p, box, IDOK, "not-found box");
  HWND dialog = ExpectDialog(p, Caption(kDefaultTitle, kDefaultVersion), ProgramFilesDir());
  Press(dialog, IDCANCEL);
  ExpectExitCodeZero(p.WaitExitSilently("Cancel"));
  untouched.Check();
}

// Retry after the file has appeared reads it: no more prompts.
void NoProfileRetry(Context& c) {
  Sample s(c, ProfileIn::Nowhere);
  Seed(s.installed);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND prompt = ExpectOpenPrompt(p, 1);
  s.fixture.AddProfile(Profile(Guid(c), "", kFileList), ProfileIn::LooseFile);
  untouched.Changed(s.fixture.updateFolder() + "\\update.ini");
  Answer(p, prompt, IDRETRY, "prompt for update.ini");
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectArrived(s.installed);
  untouched.Check();
}

void NoProfileAbort(Context& c) {
  Fixture f(c.root);
  Untouched untouched(c.root, "");
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND prompt = ExpectOpenPrompt(p, 1);
  Answer(p, prompt, IDABORT, "prompt for update.ini");
  ExpectErrorBox(c, p, "ファイル update.ini が開けませんでした。");
  untouched.Check();
}

// A second start while the first one's dialog is open ends at once.
void SecondInstance(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  Untouched untouched(c.root, s.installed);
  UpdaterProcess first(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(first, Caption(), s.installed);
  {
    UpdaterProcess second(c.updater, s.fixture.updateFolder());
    ExpectExitCodeZero(second.WaitExitSilently("a second start"));
  }
  Expect(IsWindowVisible(dialog), "the first run's dialog went away");
  ConfirmAndFinish(first, dialog, Caption());
  ExpectDelivered(s.installed);
  untouched.Check();
}

// --- The table ----------------------------------------------------------------------

struct FaultRow {
  const char* name;
  const char* input;
  const char* outcome;
  const char* why;
  void (*run)(Context&);
};

const FaultRow kFaults[] = {
    {"profile-nul", "update.ini with a NUL byte before its Version line",
     "the caption shows the default version 1.01; files delivered",
     "the text ends at the NUL, as the reader reads a string", ProfileWithNul},
    {"profile-cr-only", "update.ini with only CR line ends", "read as usual; files delivered",
     "a lone CR ends a line", ProfileCrOnly},
    {"profile-10mb", "update.ini of 10 MB, the product's section last",
     "read as usual within the wait limit; files delivered",
     "each of the five lookups scans the text once", ProfileTenMegabytes},
    {"profile-long-line", "a file line of 100 000 bytes, mostly names that do not exist",
     "the names that exist are delivered, the others passed over",
     "a listed name that is not in the update is no error", ProfileLongLine},
    {"pak-broken", "update.pak whose entry count the directory cannot hold",
     "the error box names the archive; nothing delivered",
     "a broken archive is refused, not read", BrokenPak},
    {"pak-text-file", "a text file named a.pak beside update.pak",
     "passed over; files delivered", "a file that is no pak is not an error", TextFilePak},
    {"pak-locked-ignore", "a.pak held open by another program, Ignore at each prompt",
     "each prompt names a.pak; update.pak read; files delivered",
     "an archive that cannot be opened is named, and Ignore passes over it", LockedPakIgnore},
    {"pak-locked-retry", "a.pak held open by another program, let go before Retry",
     "the prompt names a.pak; Retry reads a.pak's update.ini; files delivered",
     "Retry opens the archive again", LockedPakRetry},
    {"pak-locked-abort", "a.pak held open by another program, Abort",
     "the error box names a.pak, with the code; nothing delivered", "Abort ends the run",
     LockedPakAbort},
    {"destination-below-file", "a destination below a file",
     "the error box names the folder once, with the code; no folder made",
     "the folder cannot be made", BelowAFile},
    {"destination-missing-drive", "a destination on a drive the system does not have",
     "the error box names the folder once, with the code", "the folder cannot be made",
     MissingDriveLetter},
    {"destination-too-long", "a destination longer than the shell's paths",
     "the error box names the folder once, with the code; no folder made",
     "a path the shell cannot take is not cut short", TooLongForTheShell},
    {"item-path-too-long", "listed files whose full paths are longer than the shell's paths",
     "the error box names them; the rest delivered",
     "a file that exists is never passed over as missing", LongItemPaths},
    {"destination-read-only", "a destination folder and its files nobody may write",
     "the error box lists every item; the old files stay",
     "the shell's copy fails, and what is there is not the update's file", ReadOnlyDestination},
    {"destination-locked-file", "an old readme.txt held open by another program",
     "the error box lists readme.txt; the rest delivered; the old readme stays",
     "the copy of one file fails while the shell may report success", LockedFile},
    {"no-profile-ignore", "no update.ini, Ignore at each of the five prompts",
     "the defaults, the not-found box, Program Files offered", "Ignore keeps the default",
     NoProfileIgnore},
    {"no-profile-retry", "no update.ini, which appears before Retry", "read; files delivered",
     "Retry opens it again", NoProfileRetry},
    {"no-profile-abort", "no update.ini, Abort", "the error box with the code; nothing delivered",
     "Abort ends the run", NoProfileAbort},
    {"second-instance", "a second start while the first one's dialog is open",
     "the second ends at once without a window; the first delivers",
     "one run at a time", SecondInstance},
};

}  // namespace

const std::vector<Scenario>& FaultScenarios() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> out;
    for (const FaultRow& r : kFaults) {
      out.push_back(std::string(r.input) + " -> " + r.outcome + " (" + r.why + ")");
    }
    return out;
  }();
  static const std::vector<Scenario> rows = [] {
    std::vector<Scenario> out;
    for (std::size_t i = 0; i < std::size(kFaults); ++i) {
      out.push_back({kFaults[i].name, texts[i].c_str(), kFaults[i].run});
    }
    return out;
  }();
  return rows;
}

}  // namespace e2e
