// delivery.cpp: the shell copy of the delivered files.
#include "app/delivery.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/kvpath.h"
#include "platform/platform.h"

namespace {
// The shell takes paths of MAX_PATH bytes with their NUL; a longer one is
// reported as not delivered rather than cut.
constexpr std::size_t kShellPathLimit = MAX_PATH - 1;
// FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS | FOF_NOCONFIRMMKDIR
constexpr FILEOP_FLAGS kCopyFlags = 0x0310;

bool HasDrive(const char* path) { return path[0] != '\0' && *plat::NextChar(path) == ':'; }
bool IsUnc(const char* path) { return path[0] == '\\' && path[1] == '\\'; }

// One path followed by the two NULs that end the shell's list.
std::string PathList(const KvString& path) {
  std::string list(path.Text());
  list.push_back('\0');
  list.push_back('\0');
  return list;
}

bool ShellCopy(const KvString& from, const KvString& to) {
  const std::string fromList = PathList(from);
  const std::string toList = PathList(to);
  SHFILEOPSTRUCTA request = {};
  request.hwnd = nullptr;
  request.wFunc = FO_COPY;
  request.pFrom = fromList.c_str();
  request.pTo = toList.c_str();
  request.fFlags = kCopyFlags;
  const int result = ::SHFileOperationA(&request);
  return result == 0 && !request.fAnyOperationsAborted;
}

bool IsFolder(const char* path) {
  const uint32_t attributes = plat::FileAttributes(path);
  return attributes != plat::kInvalidAttributes && (attributes & plat::kAttrDirectory) != 0;
}

bool FitsShell(const KvString& path) {
  return !path.IsEmpty() && static_cast<std::size_t>(path.Length()) <= kShellPathLimit;
}
}  // namespace

KvString ShellPath(const char* path) {
  if (HasDrive(path) || IsUnc(path)) return KvString(path);
  const std::string full = plat::FullPathName(path);
  return KvString(full.c_str());
}

std::vector<KvString> DeliverFiles(const std::vector<KvString>& items, const KvString& destination) {
  std::vector<KvString> notDelivered;
  const KvString to = ShellPath(destination.Text());
  bool folderChecked = false;
  bool folderReady = false;
  for (const KvString& item : items) {
    if (!PathExists(item.Text())) continue;
    if (!folderChecked) {
      // Made before the first copy: one shell copies a single file to a
      // missing folder as a file of that folder's name.
      folderChecked = true;
      if (FitsShell(to)) {
        CreateDirectoryChain(to.Text());
        folderReady = IsFolder(to.Text());
      }
    }
    const KvString from = ShellPath(item.Text());
    if (!folderReady || !FitsShell(from) || !ShellCopy(from, to)) notDelivered.push_back(item);
  }
  return notDelivered;
}
