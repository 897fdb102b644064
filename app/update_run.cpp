// update_run.cpp: the update run, from the settings to the completion box.
#include "app/update_run.h"

#include <windows.h>

#include <cstdint>
#include <new>
#include <vector>

#include "app/delivery.h"
#include "app/dialog.h"
#include "app/install_folder.h"
#include "app/messages.h"
#include "app/update_settings.h"
#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "profile/profile.h"
#include "text/exceptions.h"

KvUpdateSettings UpdateSettings;

void KvUpdateSettings::SetDefaults() {
  guid.Assign("guid");
  subDir.Empty();
  title.Assign("アップデート");
  updateVersion.Assign("1.01");
  destination.Empty();
  // Every run uses this name, so that a second run finds the first one's event.
  instanceName.Assign("KvDataUpdater.Running");
}

KvString KvUpdateSettings::Caption() const {
  KvString caption;
  caption.Format("%s Version %s アップデート", title.Text(), updateVersion.Text());
  return caption;
}

namespace {

constexpr const char* kProfile = "update.ini";
constexpr const char* kSection = "update";
constexpr const char* kNoMemory = "メモリが不足しています。";

// The single-instance event, closed on destruction.
class KvEvent {
 public:
  KvEvent() = default;
  ~KvEvent() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  KvEvent(const KvEvent&) = delete;
  KvEvent& operator=(const KvEvent&) = delete;

  // Manual reset, signalled. False when no handle could be had.
  bool Create(const char* name) {
    handle_ = ::CreateEventA(nullptr, TRUE, TRUE, name);
    return handle_ != nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

std::vector<KvString> ReadFileList() {
  KvString value;
  GetProfileValue(kSection, "file", value, kProfile);
  std::vector<KvString> items;
  value.cursor = value.Buffer();
  KvString item;
  while (value.Tokenize(item, ";") != nullptr) items.push_back(item);
  return items;
}

void FindDestination() {
  if (FindInstallFolder(UpdateSettings.guid, UpdateSettings.subDir, UpdateSettings.destination) &&
      !UpdateSettings.destination.IsEmpty()) {
    return;
  }
  KvString text;
  text.Format(
      "%s のインストール先が見つかりませんでした。\n"
      "インストール済みの場合、お手数ですがインストール先を指定してください。",
      UpdateSettings.title.Text());
  text.ShowMessage(nullptr, "エラー", MB_OK);
  ReadProgramFilesFolder(UpdateSettings.destination);
}

void ReportDelivery(const DeliveryResult& result) {
  if (result.folderError != 0) {
    KvString text;
    text.Format("アップデート先のフォルダ %s を作成できないか、アクセスできませんでした。",
                UpdateSettings.destination.Text());
    ReportFailure(result.folderError, text.Text(), nullptr);
    return;
  }
  const std::vector<KvString>& notDelivered = result.notDelivered;
  if (notDelivered.empty()) {
    KvString("アップデートが終了しました。")
        .ShowMessage(nullptr, UpdateSettings.Caption().Text(), MB_OK);
    return;
  }
  KvString names;
  for (const KvString& item : notDelivered) {
    if (!names.IsEmpty()) names.Append("\n");
    names.Append(item.Text());
  }
  KvString text;
  text.Format("次のファイルをアップデートできませんでした。\n%s", names.Text());
  text.ShowMessage(nullptr, "エラー", MB_OK);
}

void Run(KvEvent& instance) {
  GetProfileValue(kSection, "GUID", UpdateSettings.guid, kProfile);
  GetProfileValue(kSection, "SubDir", UpdateSettings.subDir, kProfile);
  GetProfileValue(kSection, "Title", UpdateSettings.title, kProfile);
  GetProfileValue(kSection, "Version", UpdateSettings.updateVersion, kProfile);

  if (!instance.Create(UpdateSettings.instanceName.Text())) return;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) return;  // another run is on screen

  const std::vector<KvString> fileList = ReadFileList();
  FindDestination();

  KvDialog dialog(MAKEINTRESOURCEA(kDestinationDialog), nullptr, nullptr, DestinationDialogProc);
  if (dialog.DoModal() != IDOK || UpdateSettings.destination.IsEmpty()) return;

  ReportDelivery(
      DeliverFiles(fileList, UpdateSettings.destination, UpdateSettings.Caption().Text()));
}

}  // namespace

int RunUpdate() {
  QuietOpen = false;
  KvEvent instance;
  // Whatever reaches this point ends the run with one box, never a crash.
  try {
    UpdateSettings.SetDefaults();
    Run(instance);
  } catch (const KvErrorException& error) {
    ReportError(error, nullptr);
  } catch (const KvException&) {
    // The rest of the family: the archive's and the transforms' markers.
    ReportFailure(::GetLastError(), "アーカイブの形式に対応していません。", nullptr);
  } catch (const std::bad_alloc&) {
    ReportFailure(ERROR_NOT_ENOUGH_MEMORY, kNoMemory, nullptr);
  } catch (...) {
    ReportFailure(::GetLastError(), "処理を続けられませんでした。", nullptr);
  }
  return 0;
}
