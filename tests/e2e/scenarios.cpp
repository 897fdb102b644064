// scenarios.cpp: what updater.exe must show and do, run against the real
// program through its windows. Every text is compared byte for byte in code
// page 932 (the literals are compiled with -fexec-charset=CP932).
#include "scenarios.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "fixture.h"
#include "ui.h"

namespace e2e {

namespace {

// --- What the updater shows --------------------------------------------------

const char kDialogCaption[] = "%s Version %s アップデート";
const char kFolderLabel[] = "アップデート先：";
const char kDialogHint[] =
    "上記の場所のデータをアップデートします。\nインストール先が違う場合、参照ボタンで修正してください。";
const char kErrorCaption[] = "エラー";
const char kNotFound[] =
    "%s のインストール先が見つかりませんでした。\nインストール済みの場合、お手数ですがインストール先を指定してください。";
const char kDone[] = "アップデートが終了しました。";
const char kNotDelivered[] = "次のファイルをアップデートできませんでした。\n";
const char kOpenPromptCaption[] = "ファイルエラー";
const char kOpenPrompt[] = "ファイル update.ini が開けません。";
const char kAbortErrorHead[] = "エラーが発生しました。\nCode 0x";
const char kAbortErrorTail[] = " :ファイル update.ini が開けませんでした。";
const char kBrowserCaption[] = "フォルダの指定";
const char kBrowserInstruction[] = "インストール先を指定してください。";
const char kDefaultTitle[] = "アップデート";
const char kDefaultVersion[] = "1.01";

const int kFolderField = 1000;
const int kBrowseButton = 1001;

// --- The sample update -----------------------------------------------------------

// Names whose second byte is 0x5C (表, ソ) and a folder with a subfolder.
const char kTitle[] = "表計算ソフト";
const char kVersion[] = "2.5";
const std::vector<SampleFile> kDelivered = {
    {"readme.txt", "sample readme\r\n"},
    {"表示設定.dat", "\x01\x02\x5c\x00\xff binary"},
    {"ソフト\\データ.bin", "data in a folder"},
    {"ソフト\\画像\\絵.txt", "a picture's caption"},
};
const char kFileList[] = "readme.txt;表示設定.dat;ソフト";
const SampleFile kUnlisted = {"unlisted.txt", "not in the file list"};

std::string Guid(const Context& c) { return "{E2E-" + c.name + "}"; }

std::string Profile(const std::string& guid, const std::string& subDir,
                    const std::string& files) {
  std::string text = "[update]\r\nGUID=" + guid + "\r\n";
  if (!subDir.empty()) text += "SubDir=" + subDir + "\r\n";
  text += std::string("Title=") + kTitle + "\r\nVersion=" + kVersion + "\r\n";
  if (!files.empty()) text += "file=" + files + "\r\n";
  return text;
}

std::string Caption(const char* title = kTitle, const char* version = kVersion) {
  return Printf(kDialogCaption, title, version);
}

// A fixture with the sample files, update.ini as given, and the product
// registered at root\installed (made, empty).
struct Sample {
  Fixture fixture;
  std::string installed;

  Sample(Context& c, ProfileIn where, const std::string& subDir = "",
         const std::string& files = kFileList)
      : fixture(c.root), installed(c.root + "\\installed") {
    fixture.AddFiles(kDelivered);
    fixture.AddFile(kUnlisted.path, kUnlisted.bytes);
    fixture.AddProfile(Profile(Guid(c), subDir, files), where);
    MakeFolders(installed);
    fixture.Register(HKEY_LOCAL_MACHINE, Guid(c), installed);
  }
};

// --- Expectations --------------------------------------------------------------

void Expect(bool condition, const std::string& message) {
  if (!condition) throw Failure(message);
}

void ExpectEqual(const std::string& got, const std::string& expected, const char* what) {
  Expect(got == expected, Printf("%s: expected \"%s\", got \"%s\"", what, expected.c_str(),
                                 got.c_str()));
}

// Waits for the destination dialog and checks every text on it.
HWND ExpectDialog(UpdaterProcess& p, const std::string& caption, const std::string& folder) {
  HWND dialog = p.WaitWindowCaption("destination dialog", caption);
  ExpectEqual(ItemText(dialog, kFolderField), folder, "folder field");
  ExpectEqual(ItemText(dialog, IDOK), "OK", "OK button");
  ExpectEqual(ItemText(dialog, IDCANCEL), "ｷｬﾝｾﾙ", "Cancel button");
  ExpectEqual(ItemText(dialog, kBrowseButton), "参照...", "browse button");
  std::vector<std::string> statics = StaticTexts(dialog);
  Expect(statics == std::vector<std::string>{kFolderLabel, kDialogHint},
         "static texts of the dialog:\n" + Describe(dialog));
  Expect(DefaultButton(dialog) == IDCANCEL,
         Printf("default button should be Cancel (2), is %d", DefaultButton(dialog)));
  return dialog;
}

// Waits for a message box and checks its caption and text (static 0xFFFF).
HWND ExpectBox(UpdaterProcess& p, const char* what, const std::string& caption,
               const std::string& text) {
  HWND box = p.WaitWindowCaption(what, caption);
  ExpectEqual(ItemText(box, 0xFFFF), text, what);
  return box;
}

void Answer(UpdaterProcess& p, HWND window, int id, const char* what) {
  Press(window, id);
  p.WaitGone(window, what);
}

void ExpectExitCodeZero(DWORD code) {
  Expect(code == 0, Printf("exit code should be 0, is %lu", code));
}

// The destination holds exactly the sample files, byte for byte.
void ExpectDelivered(const std::string& destination) {
  std::vector<std::string> expected;
  for (const SampleFile& f : kDelivered) expected.push_back(f.path);
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> got = ListTree(destination);
  std::string listing;
  for (const std::string& name : got) listing += "    " + name + "\n";
  Expect(got == expected, "files in " + destination + ":\n" + listing);
  for (const SampleFile& f : kDelivered) {
    std::optional<std::string> bytes = ReadWholeFile(destination + "\\" + f.path);
    Expect(bytes && *bytes == std::string(f.bytes),
           Printf("%s\\%s differs from the update's file", destination.c_str(), f.path));
  }
}

// OK in the dialog, then the completion box, then a silent end.
void ConfirmAndFinish(UpdaterProcess& p, HWND dialog, const std::string& caption) {
  Press(dialog, IDOK);
  HWND done = ExpectBox(p, "completion box", caption, kDone);
  Answer(p, done, IDOK, "completion box");
  ExpectExitCodeZero(p.WaitExitSilently("the completion box"));
}

// --- Scenarios -------------------------------------------------------------------

void Deliver(Context& c, ProfileIn where) {
  Sample s(c, where);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(s.installed);
}

void SubDirApplied(Context& c) {
  Sample s(c, ProfileIn::PakStored, "データ");
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  std::string target = s.installed + "\\データ";
  HWND dialog = ExpectDialog(p, Caption(), target);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(target);
}

// The product's entry gives no folder: the user is told, and the dialog
// offers Program Files (which the scenario leaves untouched: Cancel).
void NotFound(Context& c, bool makeKey, const std::optional<std::string>& location,
              const std::string& subDir) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
  f.AddProfile(Profile(Guid(c), subDir, kFileList), ProfileIn::PakStored);
  if (makeKey) f.Register(HKEY_LOCAL_MACHINE, Guid(c), location);
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND box = ExpectBox(p, "not-found box", kErrorCaption, Printf(kNotFound, kTitle));
  Answer(p, box, IDOK, "not-found box");
  HWND dialog = ExpectDialog(p, Caption(), ProgramFilesDir());
  Press(dialog, IDCANCEL);
  ExpectExitCodeZero(p.WaitExitSilently("Cancel"));
}

void FoundInCurrentUser(Context& c) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
  f.AddProfile(Profile(Guid(c), "", kFileList), ProfileIn::PakStored);
  std::string installed = c.root + "\\per-user";
  MakeFolders(installed);
  f.Register(HKEY_CURRENT_USER, Guid(c), installed);
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(installed);
}

// Ways of leaving the dialog that deliver nothing and say nothing.
void LeaveDialog(Context& c, void (*leave)(HWND dialog)) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  leave(dialog);
  ExpectExitCodeZero(p.WaitExitSilently("leaving the dialog"));
  Expect(ListTree(s.installed).empty(), "files were delivered although the dialog was left");
}

void ClearedField(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  TypeInto(dialog, kFolderField, "");
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(s.installed);
}

// Neither the product's entry nor Program Files is known: the dialog opens
// empty, and OK with nothing typed has nowhere to deliver to.
void EmptyField(Context& c) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
  f.AddProfile(Profile(Guid(c), "", kFileList), ProfileIn::PakStored);
  HiddenProgramFilesDir hidden;
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND box = ExpectBox(p, "not-found box", kErrorCaption, Printf(kNotFound, kTitle));
  Answer(p, box, IDOK, "not-found box");
  HWND dialog = ExpectDialog(p, Caption(), "");
  Press(dialog, IDOK);
  ExpectExitCodeZero(p.WaitExitSilently("OK with an empty field"));
}

void TypedFolder(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  std::string typed = c.root + "\\別の場所\\表";  // does not exist yet
  TypeInto(dialog, kFolderField, typed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(typed);
  Expect(ListTree(s.installed).empty(), "files went to the registered folder, not the typed one");
}

// The browser's status line shows the selected folder's path.
bool BrowserShows(HWND browser, const std::string& path) {
  for (const std::string& text : StaticTexts(browser)) {
    if (text == path) return true;
  }
  return false;
}

// Wine's browser now and then leaves a programmatic selection of a folder
// made moments before half-way (the tree expanded down to the drive only),
// for the updater's own request as for the driver's. Both are therefore
// given a few tries; how many were needed goes into the log.
const int kBrowserTries = 6;
const DWORD kBrowserTryMs = 2000;

bool WaitShort(const std::function<bool()>& condition) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > kBrowserTryMs) return false;
    Sleep(50);
  }
  return true;
}

HWND OpenBrowser(Context& c, UpdaterProcess& p, HWND dialog, const std::string& opensAt) {
  for (int attempt = 1;; ++attempt) {
    Press(dialog, kBrowseButton);
    HWND browser = p.WaitWindowCaption("folder browser", kBrowserCaption);
    std::vector<std::string> texts = StaticTexts(browser);
    Expect(std::find(texts.begin(), texts.end(), kBrowserInstruction) != texts.end(),
           "browser without its instruction:\n" + Describe(browser));
    if (WaitShort([&] { return BrowserShows(browser, opensAt); })) {
      if (attempt > 1) c.notes.push_back(Printf("browser opened at the folder on try %d", attempt));
      return browser;
    }
    Expect(attempt < kBrowserTries,
           "browser should open at " + opensAt + ":\n" + Describe(browser));
    Answer(p, browser, IDCANCEL, "folder browser");
  }
}

// True when the browser took the selection (status line and OK).
bool TrySelect(UpdaterProcess& p, HWND browser, const std::string& path) {
  void* remote = p.Remote(path.c_str(), path.size() + 1);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote),
                      SMTO_ABORTIFHUNG, waitLimit, &ignored);
  // The status line may still show the path from before: OK must come back too.
  return WaitShort([&] { return BrowserShows(browser, path) && ItemEnabled(browser, IDOK); });
}

// Opens the browser and selects `path` in it; a browser that does not take
// the selection is closed and opened again.
HWND OpenAndSelect(Context& c, UpdaterProcess& p, HWND dialog, const std::string& opensAt,
                   const std::string& path) {
  for (int attempt = 1;; ++attempt) {
    HWND browser = OpenBrowser(c, p, dialog, opensAt);
    if (TrySelect(p, browser, path)) {
      if (attempt > 1) c.notes.push_back(Printf("browser selected the folder on try %d", attempt));
      return browser;
    }
    Expect(attempt < kBrowserTries,
           "browser did not select " + path + " with OK offered:\n" + Describe(browser));
    Answer(p, browser, IDCANCEL, "folder browser");
  }
}

void BrowsePick(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  std::string picked = c.root + "\\選んだ";
  MakeFolders(picked);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  HWND browser = OpenAndSelect(c, p, dialog, s.installed, picked);
  Answer(p, browser, IDOK, "folder browser");
  Expect(WaitFor([&] { return ItemText(dialog, kFolderField) == picked; }),
         "folder field after picking:\n" + Describe(dialog));
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(picked);
}

// Cancelling the browser puts the destination back, typed text or not.
void BrowseCancel(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  TypeInto(dialog, kFolderField, c.root + "\\typed");
  HWND browser = OpenBrowser(c, p, dialog, s.installed);
  Answer(p, browser, IDCANCEL, "folder browser");
  Expect(WaitFor([&] { return ItemText(dialog, kFolderField) == s.installed; }),
         "folder field after cancelling the browser:\n" + Describe(dialog));
  Press(dialog, IDCANCEL);
  ExpectExitCodeZero(p.WaitExitSilently("Cancel"));
}

// The computer node is no folder: the browser's OK is greyed for it and
// comes back for a real folder.
void BrowseVirtualItem(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  HWND browser = OpenBrowser(c, p, dialog, s.installed);
  LPITEMIDLIST computer = nullptr;
  Expect(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)) && computer,
         "no item list for the computer node");
  size_t size = 2;  // the terminating zero cb
  for (auto* id = reinterpret_cast<const BYTE*>(computer); *reinterpret_cast<const USHORT*>(id);
       id += *reinterpret_cast<const USHORT*>(id)) {
    size += *reinterpret_cast<const USHORT*>(id);
  }
  void* remote = p.Remote(computer, size);
  CoTaskMemFree(computer);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(remote),
                      SMTO_ABORTIFHUNG, waitLimit, &ignored);
  Expect(WaitFor([&] { return !ItemEnabled(browser, IDOK); }),
         "browser's OK should be greyed for the computer node:\n" + Describe(browser));
  Expect(TrySelect(p, browser, c.root),
         "browser did not select " + c.root + " after the computer node:\n" + Describe(browser));
  Answer(p, browser, IDCANCEL, "folder browser");
  Press(dialog, IDCANCEL);
  ExpectExitCodeZero(p.WaitExitSilently("Cancel"));
}

// Waits for the prompt about the missing update.ini and checks its buttons.
HWND ExpectOpenPrompt(UpdaterProcess& p, int which) {
  std::string what = Printf("prompt %d for update.ini", which);
  HWND prompt = ExpectBox(p, what.c_str(), kOpenPromptCaption, kOpenPrompt);
  for (int id : {IDABORT, IDRETRY, IDIGNORE}) {
    Expect(ItemEnabled(prompt, id), Printf("%s has no button %d:\n", what.c_str(), id) +
                                        Describe(prompt));
  }
  return prompt;
}

// Each of the five lookups asks; after Ignore the defaults stand, and the
// default product is not installed.
void NoProfileIgnore(Context& c) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
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
}

// Retry after the file has appeared reads it: no more prompts.
void NoProfileRetry(Context& c) {
  Sample s(c, ProfileIn::Nowhere);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND prompt = ExpectOpenPrompt(p, 1);
  s.fixture.AddProfile(Profile(Guid(c), "", kFileList), ProfileIn::LooseFile);
  Answer(p, prompt, IDRETRY, "prompt for update.ini");
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(s.installed);
}

void NoProfileAbort(Context& c) {
  Fixture f(c.root);
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND prompt = ExpectOpenPrompt(p, 1);
  Answer(p, prompt, IDABORT, "prompt for update.ini");
  HWND box = p.WaitWindow("error box");
  std::string caption = WindowText(box);
  std::string text = ItemText(box, 0xFFFF);
  const std::string head = kAbortErrorHead, tail = kAbortErrorTail;
  bool shaped = text.size() > head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
                text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  std::string code = shaped ? text.substr(head.size(), text.size() - head.size() - tail.size()) : "";
  Expect(shaped && !code.empty() &&
             code.find_first_not_of("0123456789abcdef") == std::string::npos,
         "error box text: \"" + text + "\"");
  Expect(caption == "エラー" || caption == "Error", "error box caption: \"" + caption + "\"");
  c.notes.push_back("error box caption \"" + caption + "\", code 0x" + code);
  Answer(p, box, IDOK, "error box");
  ExpectExitCodeZero(p.WaitExitSilently("the error box"));
}

// A second start while the first one's dialog is open ends at once.
void SecondInstance(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  UpdaterProcess first(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(first, Caption(), s.installed);
  {
    UpdaterProcess second(c.updater, s.fixture.updateFolder());
    ExpectExitCodeZero(second.WaitExitSilently("a second start"));
  }
  Expect(IsWindowVisible(dialog), "the first run's dialog went away");
  Press(dialog, IDCANCEL);
  ExpectExitCodeZero(first.WaitExitSilently("Cancel"));
}

// Without a "file" value there is nothing to copy; OK still ends with the
// completion box.
void EmptyFileList(Context& c) {
  Sample s(c, ProfileIn::PakStored, "", "");
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  Expect(ListTree(s.installed).empty(), "files delivered from an empty list");
}

// A destination below a file cannot be made: the user hears which items
// were not delivered instead of being told the update ended.
void DeliveryFails(Context& c) {
  Sample s(c, ProfileIn::PakStored);
  WriteWholeFile(c.root + "\\blocker", "a file where a folder would go");
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  std::string target = c.root + "\\blocker\\dest";
  TypeInto(dialog, kFolderField, target);
  Press(dialog, IDOK);
  HWND box = ExpectBox(p, "delivery error box", kErrorCaption,
                       std::string(kNotDelivered) + "readme.txt\n表示設定.dat\nソフト");
  Expect(!Exists(target), "the destination below a file exists");
  Answer(p, box, IDOK, "error box");
  ExpectExitCodeZero(p.WaitExitSilently("the error box"));
}

const std::vector<Scenario> kScenarios = {
    {"deliver-pak-stored", "update.ini stored in a version-3 pak; files and a folder delivered",
     [](Context& c) { Deliver(c, ProfileIn::PakStored); }},
    {"deliver-pak-compressed", "update.ini compressed in a version-3 pak",
     [](Context& c) { Deliver(c, ProfileIn::PakCompressed); }},
    {"deliver-loose", "update.ini as a loose file",
     [](Context& c) { Deliver(c, ProfileIn::LooseFile); }},
    {"subdir", "SubDir is appended to the install folder", SubDirApplied},
    {"not-found-no-key", "no Uninstall entry: box, then Program Files",
     [](Context& c) { NotFound(c, false, std::nullopt, ""); }},
    {"not-found-no-value", "entry without InstallLocation",
     [](Context& c) { NotFound(c, true, std::nullopt, ""); }},
    {"not-found-empty-value", "entry with an empty InstallLocation",
     [](Context& c) { NotFound(c, true, std::string(), ""); }},
    {"not-found-no-value-subdir", "entry without InstallLocation, SubDir set: still not found",
     [](Context& c) { NotFound(c, true, std::nullopt, "Data"); }},
    {"found-current-user", "entry only under HKEY_CURRENT_USER", FoundInCurrentUser},
    {"cancel", "Cancel ends silently",
     [](Context& c) { LeaveDialog(c, [](HWND d) { Press(d, IDCANCEL); }); }},
    {"close", "WM_CLOSE ends silently",
     [](Context& c) { LeaveDialog(c, [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }); }},
    {"system-menu-close", "SC_CLOSE ends silently",
     [](Context& c) {
       LeaveDialog(c, [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); });
     }},
    {"ok-cleared-field", "OK with the field cleared keeps the folder shown at first",
     ClearedField},
    {"ok-empty-field", "no folder found at all, OK with the empty field ends silently",
     EmptyField},
    {"typed-folder", "a typed folder is made and receives the files", TypedFolder},
    {"browse-pick", "a folder picked in the browser receives the files", BrowsePick},
    {"browse-cancel", "cancelling the browser restores the destination", BrowseCancel},
    {"browse-virtual-item", "the computer node greys the browser's OK", BrowseVirtualItem},
    {"no-profile-ignore", "update.ini missing, Ignore five times", NoProfileIgnore},
    {"no-profile-retry", "update.ini appears before Retry", NoProfileRetry},
    {"no-profile-abort", "update.ini missing, Abort: the error box", NoProfileAbort},
    {"second-instance", "a second start while the dialog is open", SecondInstance},
    {"empty-file-list", "no file value: only the completion box", EmptyFileList},
    {"delivery-fails", "a destination that cannot be made: the error box", DeliveryFails},
};

}  // namespace

const std::vector<Scenario>& AllScenarios() { return kScenarios; }

}  // namespace e2e
