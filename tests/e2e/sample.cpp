// sample.cpp: the sample update and the shared expectations.
#include "sample.h"

#include <algorithm>
#include <optional>

namespace e2e {

const std::vector<SampleFile> kDelivered = {
    {"readme.txt", "sample readme\r\n"},
    {"表示設定.dat", "\x01\x02\x5c\x00\xff binary"},
    {"ソフト\\データ.bin", "data in a folder"},
    {"ソフト\\画像\\絵.txt", "a picture's caption"},
};
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

std::string Caption(const char* title, const char* version) {
  return Printf(kDialogCaption, title, version);
}

Sample::Sample(Context& c, ProfileIn where, const std::string& subDir, const std::string& files)
    : fixture(c.root), installed(c.root + "\\installed") {
  fixture.AddFiles(kDelivered);
  fixture.AddFile(kUnlisted.path, kUnlisted.bytes);
  fixture.AddProfile(Profile(Guid(c), subDir, files), where);
  MakeFolders(installed);
  fixture.Register(HKEY_LOCAL_MACHINE, Guid(c), installed);
}

// --- Expectations --------------------------------------------------------------

void Expect(bool condition, const std::string& message) {
  if (!condition) throw Failure(message);
}

void ExpectEqual(const std::string& got, const std::string& expected, const char* what) {
  Expect(got == expected, Printf("%s: expected \"%s\", got \"%s\"", what, expected.c_str(),
                                 got.c_str()));
}

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

void ConfirmAndFinish(UpdaterProcess& p, HWND dialog, const std::string& caption) {
  Press(dialog, IDOK);
  HWND done = ExpectBox(p, "completion box", caption, kDone);
  Answer(p, done, IDOK, "completion box");
  ExpectExitCodeZero(p.WaitExitSilently("the completion box"));
}

}  // namespace e2e
