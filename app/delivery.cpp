// delivery.cpp: the shell copy of the delivered files.
#include "app/delivery.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/check_window.h"
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

// A file opened for reading, closed on destruction.
class ReadHandle {
 public:
  explicit ReadHandle(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}
  ~ReadHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  ReadHandle(const ReadHandle&) = delete;
  ReadHandle& operator=(const ReadHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Size(LARGE_INTEGER& size) const { return ::GetFileSizeEx(handle_, &size) != 0; }
  // Fills buffer up to count bytes; false on a read error or a short read.
  bool ReadExactly(char* buffer, DWORD count) const {
    while (count > 0) {
      DWORD got = 0;
      if (!::ReadFile(handle_, buffer, count, &got, nullptr) || got == 0) return false;
      buffer += got;
      count -= got;
    }
    return true;
  }

 private:
  HANDLE handle_;
};

bool SameBytes(const std::string& a, const std::string& b, KvCheckWindow& window) {
  ReadHandle left(a);
  ReadHandle right(b);
  LARGE_INTEGER leftSize;
  LARGE_INTEGER rightSize;
  if (!left.IsOpen() || !right.IsOpen() || !left.Size(leftSize) || !right.Size(rightSize) ||
      leftSize.QuadPart != rightSize.QuadPart) {
    return false;
  }
  constexpr DWORD kChunk = 64 * 1024;
  std::vector<char> leftChunk(kChunk);
  std::vector<char> rightChunk(kChunk);
  for (LONGLONG remaining = leftSize.QuadPart; remaining > 0;) {
    const DWORD count = remaining < kChunk ? static_cast<DWORD>(remaining) : kChunk;
    if (!left.ReadExactly(leftChunk.data(), count) || !right.ReadExactly(rightChunk.data(), count) ||
        std::memcmp(leftChunk.data(), rightChunk.data(), count) != 0) {
      return false;
    }
    remaining -= count;
    window.Step(count);
  }
  return true;
}

// Whether to holds what from holds: the same bytes for a file, every file
// and folder below it for a folder. The shell's answer is not enough: one
// shell reports success for a file that another process holds open and
// copies nothing, or for a file that meets a folder of its name.
bool SameTree(const std::string& from, const std::string& to, KvCheckWindow& window) {
  window.Step(0);
  const uint32_t source = plat::FileAttributes(from.c_str());
  const uint32_t copied = plat::FileAttributes(to.c_str());
  if (source == plat::kInvalidAttributes || copied == plat::kInvalidAttributes ||
      (source & plat::kAttrDirectory) != (copied & plat::kAttrDirectory)) {
    return false;
  }
  if ((source & plat::kAttrDirectory) == 0) return SameBytes(from, to, window);
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA((from + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool same = true;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    same = SameTree(from + "\\" + name, to + "\\" + name, window);
  } while (same && ::FindNextFileA(find, &found));
  ::FindClose(find);
  return same;
}

// The bytes of the files at and below path: what its comparison reads from
// each side.
uint64_t TreeBytes(const std::string& path) {
  WIN32_FIND_DATAA found;
  const uint32_t attributes = plat::FileAttributes(path.c_str());
  if (attributes == plat::kInvalidAttributes) return 0;
  const bool folder = (attributes & plat::kAttrDirectory) != 0;
  const HANDLE find = ::FindFirstFileA(folder ? (path + "\\*").c_str() : path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  uint64_t total = 0;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (folder) total += TreeBytes(path + "\\" + name);
    } else {
      total += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (folder && ::FindNextFileA(find, &found));
  ::FindClose(find);
  return total;
}

bool FitsShell(const KvString& path) {
  return !path.IsEmpty() && static_cast<std::size_t>(path.Length()) <= kShellPathLimit;
}

// Makes the destination folder: 0 when it is there afterwards, else the
// system's error code for it.
uint32_t MakeDestination(const KvString& to) {
  if (!FitsShell(to)) return ERROR_FILENAME_EXCED_RANGE;
  CreateDirectoryChain(to.Text());
  const uint32_t attributes = plat::FileAttributes(to.Text());
  if (attributes != plat::kInvalidAttributes) {
    return (attributes & plat::kAttrDirectory) != 0 ? 0 : ERROR_DIRECTORY;  // a file of that name
  }
  // The chain passes over every failure; making the last folder once more
  // tells why it is not there: a missing drive or path, a share that is
  // gone, no right to write.
  if (::CreateDirectoryA(to.Text(), nullptr) && IsFolder(to.Text())) return 0;
  const DWORD code = ::GetLastError();
  return code != ERROR_SUCCESS ? code : ERROR_PATH_NOT_FOUND;
}
}  // namespace

bool Arrived(const KvString& from, const KvString& to, const char* caption) {
  KvString name(from.Text());
  while (HasTrailingBackslash(name.Text())) name.Delete(1, name.Length() - 1);
  name.cursor = name.Buffer();
  const char* cut = name.ReverseFind('\\');
  const char* leaf = cut != nullptr ? cut + 1 : name.Text();
  if (*leaf == '\0' || (cut == nullptr && HasDrive(leaf))) return true;  // a drive root: no name
  std::string target(to.Text());
  if (!HasTrailingBackslash(target.c_str())) target.push_back('\\');
  target.append(leaf);
  KvCheckWindow window(caption, TreeBytes(name.Text()));
  return SameTree(name.Text(), target, window);
}

KvString ShellPath(const char* path) {
  if (HasDrive(path) || IsUnc(path)) return KvString(path);
  const std::string full = plat::FullPathName(path);
  return KvString(full.c_str());
}

DeliveryResult DeliverFiles(const std::vector<KvString>& items, const KvString& destination,
                            const char* caption) {
  DeliveryResult result;
  const KvString to = ShellPath(destination.Text());
  bool folderChecked = false;
  for (const KvString& item : items) {
    if (!PathExists(item.Text())) continue;
    if (!folderChecked) {
      // Made before the first copy: one shell copies a single file to a
      // missing folder as a file of that folder's name.
      folderChecked = true;
      result.folderError = MakeDestination(to);
      if (result.folderError != 0) return result;
    }
    const KvString from = ShellPath(item.Text());
    if (!FitsShell(from) || !ShellCopy(from, to) || !Arrived(from, to, caption)) {
      result.notDelivered.push_back(item);
    }
  }
  return result;
}
