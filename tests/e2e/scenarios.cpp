// scenarios.cpp: what updater.exe must show and do on the paths a user
// takes, run against the real program through its windows; the bad inputs
// and faults are faults.cpp's.
#include "scenarios.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "fixture.h"
#include "sample.h"
#include "ui.h"

namespace e2e {

namespace {

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

// An expandable InstallLocation in the registry's 64-bit view means the
// 64-bit Program Files folder by %ProgramFiles%; a 32-bit updater on a
// 64-bit system must not expand it into the (x86) folder of its own
// environment. The scenario points both folders into its own root.
void ExpandableLocation64(Context& c) {
  Fixture f(c.root);
  f.AddFiles(kDelivered);
  f.AddProfile(Profile(Guid(c), "", kFileList), ProfileIn::PakStored);
  const std::string programs64 = c.root + "\\Program Files";
  const std::string programs32 = c.root + "\\Program Files (x86)";
  const std::string installed = programs64 + "\\表計算ソフト";
  MakeFolders(installed);
  EnvironmentOverride environment({{"ProgramW6432", programs64},
                                   {"ProgramFiles(x86)", programs32},
                                   {"ProgramFiles", programs32}});
  f.Register(HKEY_LOCAL_MACHINE, Guid(c), std::string("%ProgramFiles%\\表計算ソフト"),
             REG_EXPAND_SZ, KEY_WOW64_64KEY);
  UpdaterProcess p(c.updater, f.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), installed);
  ConfirmAndFinish(p, dialog, Caption());
  ExpectDelivered(installed);
  Expect(!Exists(programs32), "the (x86) folder was made");
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

// Without a "file" value there is nothing to copy; OK still ends with the
// completion box.
void EmptyFileList(Context& c) {
  Sample s(c, ProfileIn::PakStored, "", "");
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  ConfirmAndFinish(p, dialog, Caption());
  Expect(ListTree(s.installed).empty(), "files delivered from an empty list");
}

// A large update: once the shell has copied it, every delivered byte is
// read again and compared with the update's. Meanwhile a window under the
// run's caption says so and shows how far the comparison has come; it is
// gone before the completion box.
void LargeUpdate(Context& c) {
  const char* const bigName = "大きな更新.bin";
  std::string big(96u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 20));
  Sample s(c, ProfileIn::PakStored, "", std::string(kFileList) + ";" + bigName);
  s.fixture.AddFile(bigName, big);
  UpdaterProcess p(c.updater, s.fixture.updateFolder());
  HWND dialog = ExpectDialog(p, Caption(), s.installed);
  Press(dialog, IDOK);
  HWND check = nullptr;
  while (check == nullptr) {
    HWND w = p.WaitWindow("window of the comparison");
    const std::vector<std::string> texts = StaticTexts(w);
    if (std::find(texts.begin(), texts.end(), kChecking) != texts.end()) {
      check = w;
    } else {
      Expect(ItemText(w, 0xFFFF) != kDone,
             "the completion box came without a window for the comparison");
      c.notes.push_back("before the comparison's window:\n" + Describe(w));
    }
  }
  ExpectEqual(WindowText(check), Caption(), "caption of the comparison's window");
  HWND bar = nullptr;
  for (const Control& control : Controls(check)) {
    if (lstrcmpiA(control.className.c_str(), "msctls_progress32") == 0) bar = control.window;
  }
  Expect(bar != nullptr, "no progress bar in the comparison's window:\n" + Describe(check));
  // The bar moves while the window is up.
  const LRESULT end = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
  LRESULT furthest = 0;
  WaitFor([&] {
    if (!IsWindow(check) || !IsWindowVisible(check)) return true;
    DWORD_PTR position = 0;
    if (SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position)) {
      furthest = std::max<LRESULT>(furthest, static_cast<LRESULT>(position));
    }
    return false;
  });
  p.WaitGone(check, "window of the comparison");
  c.notes.push_back(Printf("the bar came to %ld of %ld", static_cast<long>(furthest),
                           static_cast<long>(end)));
  Expect(end > 0 && furthest > 0, "the comparison's bar did not move");
  HWND done = ExpectBox(p, "completion box", Caption(), kDone);
  Answer(p, done, IDOK, "completion box");
  ExpectExitCodeZero(p.WaitExitSilently("the completion box"));
  for (const SampleFile& f : kDelivered) {
    std::optional<std::string> bytes = ReadWholeFile(s.installed + "\\" + f.path);
    Expect(bytes && *bytes == f.bytes, Printf("%s was not delivered", f.path));
  }
  std::optional<std::string> bytes = ReadWholeFile(s.installed + "\\" + bigName);
  Expect(bytes && *bytes == big, "the large file was not delivered");
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
    {"expandable-location-64", "%ProgramFiles% in an expandable entry of the 64-bit view "
     "is the 64-bit folder", ExpandableLocation64},
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
    {"empty-file-list", "no file value: only the completion box", EmptyFileList},
    {"large-update-check-window", "96 MiB delivered: a window with a bar while the copy is "
     "compared, gone before the completion box", LargeUpdate},
};

}  // namespace

const std::vector<Scenario>& AllScenarios() {
  static const std::vector<Scenario> all = [] {
    std::vector<Scenario> rows = kScenarios;
    const std::vector<Scenario>& faults = FaultScenarios();
    rows.insert(rows.end(), faults.begin(), faults.end());
    return rows;
  }();
  return all;
}

}  // namespace e2e
