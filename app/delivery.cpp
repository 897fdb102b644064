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

// Whether the copy of from left an item of the same kind (file or folder) in
// the folder to. The shell's own answer is not enough: one shell reports
// success for a file that meets a folder of its name and copies nothing.
bool Arrived(const KvString& from, const KvString& to) {
  KvString name(from.Text());
  while (HasTrailingBackslash(name.Text())) name.Delete(1, name.Length() - 1);
  name.cursor = name.data;
  const char* cut = name.ReverseFind('\\');
  const char* leaf = cut != nullptr ? cut + 1 : name.Text();
  if (*leaf == '\0' || (cut == nullptr && HasDrive(leaf))) return true;  // a drive root: no name
  KvString target(to.Text());
  if (!HasTrailingBackslash(target.Text())) target.Append("\\");
  target.Append(leaf);
  const uint32_t source = plat::FileAttributes(from.Text());
  const uint32_t copied = plat::FileAttributes(target.Text());
  return source != plat::kInvalidAttributes && copied != plat::kInvalidAttributes &&
         (source & plat::kAttrDirectory) == (copied & plat::kAttrDirectory);
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
    if (!folderReady || !FitsShell(from) || !ShellCopy(from, to) || !Arrived(from, to)) {
      notDelivered.push_back(item);
    }
  }
  return notDelivered;
}
