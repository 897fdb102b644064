// sample.h: what the scenarios share: the texts updater.exe shows, the
// sample update, and the expectations every scenario checks the same way.
// Texts are code page 932 bytes (the literals are compiled with
// -fexec-charset=CP932) and are compared byte for byte.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fixture.h"
#include "scenarios.h"
#include "ui.h"

namespace e2e {

// --- What the updater shows --------------------------------------------------

inline constexpr char kDialogCaption[] = "%s Version %s アップデート";
inline constexpr char kFolderLabel[] = "アップデート先：";
inline constexpr char kDialogHint[] =
    "上記の場所のデータをアップデートします。\nインストール先が違う場合、参照ボタンで修正してください。";
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kNotFound[] =
    "%s のインストール先が見つかりませんでした。\nインストール済みの場合、お手数ですがインストール先を指定してください。";
inline constexpr char kDone[] = "アップデートが終了しました。";
// The window shown while the delivered files are compared with the update's.
inline constexpr char kChecking[] =
    "コピーしたファイルを確認しています。\nしばらくお待ちください。";
inline constexpr char kNotDelivered[] = "次のファイルをアップデートできませんでした。\n";
// The message of the error box for a destination that cannot be made or
// reached, with the folder as typed.
inline constexpr char kFolderError[] =
    "アップデート先のフォルダ %s を作成できないか、アクセスできませんでした。";
inline constexpr char kOpenPromptCaption[] = "ファイルエラー";
inline constexpr char kOpenPrompt[] = "ファイル update.ini が開けません。";
inline constexpr char kAbortErrorHead[] = "エラーが発生しました。\nCode 0x";
inline constexpr char kAbortErrorTail[] = " :ファイル update.ini が開けませんでした。";
inline constexpr char kBrowserCaption[] = "フォルダの指定";
inline constexpr char kBrowserInstruction[] = "インストール先を指定してください。";
inline constexpr char kDefaultTitle[] = "アップデート";
inline constexpr char kDefaultVersion[] = "1.01";

inline constexpr int kFolderField = 1000;
inline constexpr int kBrowseButton = 1001;

// --- The sample update -----------------------------------------------------------

// Names whose second byte is 0x5C (表, ソ) and a folder with a subfolder.
inline constexpr char kTitle[] = "表計算ソフト";
inline constexpr char kVersion[] = "2.5";
extern const std::vector<SampleFile> kDelivered;
inline constexpr char kFileList[] = "readme.txt;表示設定.dat;ソフト";
// What the error box lists when none of the three items arrived.
inline constexpr char kAllItems[] = "readme.txt\n表示設定.dat\nソフト";
extern const SampleFile kUnlisted;

std::string Guid(const Context& c);
std::string Profile(const std::string& guid, const std::string& subDir, const std::string& files);
std::string Caption(const char* title = kTitle, const char* version = kVersion);

// A fixture with the sample files, update.ini as given, and the product
// registered at root\installed (made, empty).
struct Sample {
  Fixture fixture;
  std::string installed;

  Sample(Context& c, ProfileIn where, const std::string& subDir = "",
         const std::string& files = kFileList);
};

// --- Expectations --------------------------------------------------------------

void Expect(bool condition, const std::string& message);
void ExpectEqual(const std::string& got, const std::string& expected, const char* what);
// Waits for the destination dialog and checks every text on it.
HWND ExpectDialog(UpdaterProcess& p, const std::string& caption, const std::string& folder);
// Waits for a message box and checks its caption and text (static 0xFFFF).
HWND ExpectBox(UpdaterProcess& p, const char* what, const std::string& caption,
               const std::string& text);
void Answer(UpdaterProcess& p, HWND window, int id, const char* what);
void ExpectExitCodeZero(DWORD code);
// The destination holds exactly the sample files, byte for byte.
void ExpectDelivered(const std::string& destination);
// OK in the dialog, then the completion box, then a silent end.
void ConfirmAndFinish(UpdaterProcess& p, HWND dialog, const std::string& caption);

// The scenarios of bad inputs and faults.
const std::vector<Scenario>& FaultScenarios();

}  // namespace e2e
