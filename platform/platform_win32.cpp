// platform_win32.cpp: the platform layer on Windows, one Win32 call each.
#include "platform/platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace plat {

uint32_t LastError() { return ::GetLastError(); }
void SetLastErrorCode(uint32_t code) { ::SetLastError(code); }

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

bool IsTrailByte(unsigned char lead, unsigned char trail) {
  if (!::IsDBCSLeadByte(lead) || trail == 0) return false;
  const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t wide = 0;
  return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair, 2, &wide, 1) == 1;
}

const char* NextChar(const char* p) { return ::CharNextA(p); }
const char* PrevChar(const char* start, const char* p) { return ::CharPrevA(start, p); }
unsigned ActiveCodePage() { return ::GetACP(); }
int CompareNoCase(const char* a, const char* b) { return ::lstrcmpiA(a, b); }

uint32_t FileAttributes(const char* path) { return ::GetFileAttributesA(path); }

uint32_t LongPathAttributes(const char* path) {
  const int count = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (count <= 0) return kInvalidAttributes;
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, &wide[0], count) != count) {
    return kInvalidAttributes;
  }
  // The prefix takes only a full path without "." or ".." in it, which is
  // what GetFullPathNameW gives, for any length.
  const DWORD need = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return kInvalidAttributes;
  std::wstring full(need, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), need, &full[0], nullptr);
  if (got == 0 || got >= need) return kInvalidAttributes;
  full.resize(got);
  std::wstring prefixed;
  if (full.compare(0, 4, L"\\\\?\\") == 0) {
    prefixed = full;
  } else if (full.compare(0, 2, L"\\\\") == 0) {
    prefixed = L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  } else {
    prefixed = L"\\\\?\\" + full;
  }
  return ::GetFileAttributesW(prefixed.c_str());
}

bool VolumeAnswers(const char* root) {
  DWORD maxComponent = 0;
  DWORD flags = 0;
  return ::GetVolumeInformationA(root, nullptr, 0, nullptr, &maxComponent, &flags, nullptr, 0) !=
         FALSE;
}

bool MakeDirectory(const char* path) { return ::CreateDirectoryA(path, nullptr) != FALSE; }

uint32_t CurrentDirectory(uint32_t size, char* buffer) {
  return ::GetCurrentDirectoryA(size, buffer);
}

bool ChangeDirectory(const char* path) { return ::SetCurrentDirectoryA(path) != FALSE; }

std::string FullPathName(const char* path) {
  DWORD need = ::GetFullPathNameA(path, 0, nullptr, nullptr);
  if (need == 0) return std::string();
  std::string out(need, '\0');
  DWORD got = ::GetFullPathNameA(path, need, &out[0], nullptr);
  if (got == 0 || got >= need) return std::string();
  out.resize(got);
  return out;
}

std::FILE* OpenStream(const char* path, const char* mode) { return std::fopen(path, mode); }
bool SeekStream(std::FILE* stream, int64_t offset, int origin) {
  return ::_fseeki64(stream, offset, origin) == 0;
}
int64_t TellStream(std::FILE* stream) { return ::_ftelli64(stream); }
bool RemoveFile(const char* path) { return ::DeleteFileA(path) != FALSE; }
bool RemoveFolder(const char* path) { return ::RemoveDirectoryA(path) != FALSE; }
bool MoveReplacing(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

FileFind::~FileFind() { Close(); }

static void Fill(const WIN32_FIND_DATAA& data, FindData& out) {
  out.name = data.cFileName;
  out.attributes = data.dwFileAttributes;
}

bool FileFind::First(const char* pattern, FindData& out) {
  Close();
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  Fill(data, out);
  return true;
}

bool FileFind::Next(FindData& out) {
  if (handle_ == nullptr) return false;
  WIN32_FIND_DATAA data;
  if (!::FindNextFileA(static_cast<HANDLE>(handle_), &data)) return false;
  Fill(data, out);
  return true;
}

void FileFind::Close() {
  if (handle_ != nullptr) {
    ::FindClose(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
  }
}

void* VirtualAllocate(std::size_t size) {
  return ::VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
}

void VirtualRelease(void* address) {
  if (address != nullptr) ::VirtualFree(address, 0, MEM_RELEASE);
}

// The runtime's own formatter (msvcrt), which knows the I64 prefix. _vsnprintf
// reports -1 when the room is too small, so the length comes from _vscprintf.
int FormatBounded(char* buffer, std::size_t size, const char* format, std::va_list args) {
  std::va_list counting;
  va_copy(counting, args);
  int need = ::_vscprintf(format, counting);
  va_end(counting);
  if (need < 0) return -1;
  if (size > 0) {
    int wrote = ::_vsnprintf(buffer, size - 1, format, args);
    if (wrote < 0 || static_cast<std::size_t>(wrote) >= size) buffer[size - 1] = '\0';
    else buffer[wrote] = '\0';
  }
  return need;
}

static MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
  const MessageHandler& handler = Handler();
  if (handler) return handler(text, caption, style);
  return ::MessageBoxA(nullptr, text, caption, style);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  MessageHandler previous = Handler();
  Handler() = std::move(handler);
  return previous;
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
  utf8 = ansi;
  return true;
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi = utf8;
  return true;
}

void SetDriveRoot(char, const char*) {}
void KeepFolderListings(bool) {}

}  // namespace plat
