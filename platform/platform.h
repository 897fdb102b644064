// platform.h: what the portable core needs of the operating system.
//
// On Windows each function is one plain Win32 call (the ANSI variant). On Linux
// a small layer stands in for it: code page 932 byte rules from a table,
// Windows paths (backslashes, drive letters, code page 932) mapped onto the
// POSIX file system with the text converted to UTF-8 at that boundary,
// patterns matched without regard to case, a last-error value per thread, and
// prompts answered by a handler that tests can set.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace plat {

// Windows error codes the core and its tests rely on.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// File attributes as GetFileAttributesA reports them.
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;

// Message box styles and answers (MessageBoxA).
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbAbortRetryIgnore = 0x2;
constexpr unsigned kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;

// --- last error (GetLastError / SetLastError), per thread
uint32_t LastError();
void SetLastErrorCode(uint32_t code);

// --- double-byte rules of the active ANSI code page
bool IsLeadByte(unsigned char byte);                 // IsDBCSLeadByte
bool IsTrailByte(unsigned char lead, unsigned char trail);  // a valid pair
const char* NextChar(const char* p);                  // CharNextA
const char* PrevChar(const char* start, const char* p);  // CharPrevA
unsigned ActiveCodePage();                            // GetACP

// lstrcmpiA: the platform's case-insensitive comparison.
int CompareNoCase(const char* a, const char* b);

// --- files and folders
uint32_t FileAttributes(const char* path);         // GetFileAttributesA
// The attributes of a path too long for the ANSI calls (FileAttributes
// fails with kErrorFilenameTooLong for a full path of MAX_PATH characters or
// more): on Windows GetFileAttributesW on the path's full form with the
// "\\?\" prefix, which lifts the limit; on Linux the same as FileAttributes.
uint32_t LongPathAttributes(const char* path);
// GetVolumeInformationA(root, ...) with the maximum component length and the
// file-system flags as outputs; true when the volume answers.
bool VolumeAnswers(const char* root);
bool MakeDirectory(const char* path);                 // CreateDirectoryA
// GetCurrentDirectoryA: the length copied (without NUL), or the room needed
// (with NUL) when size is too small, or 0 on failure.
uint32_t CurrentDirectory(uint32_t size, char* buffer);
bool ChangeDirectory(const char* path);               // SetCurrentDirectoryA
// GetFullPathNameA: the full form of path; empty on failure.
std::string FullPathName(const char* path);
// fopen of a path in the system's form.
std::FILE* OpenStream(const char* path, const char* mode);
// fseek and ftell with 64-bit positions (_fseeki64/_ftelli64, fseeko/ftello):
// a long is 32 bits on Windows and in the 32-bit Linux build, and would wrap
// past 2 GiB. SeekStream is false and TellStream -1 on failure.
bool SeekStream(std::FILE* stream, int64_t offset, int origin);
int64_t TellStream(std::FILE* stream);
bool RemoveFile(const char* path);                    // DeleteFileA
bool RemoveFolder(const char* path);                  // RemoveDirectoryA
// MoveFileExA with MOVEFILE_REPLACE_EXISTING.
bool MoveReplacing(const char* from, const char* to);

struct FindData {
  std::string name;  // the file name alone, in the system's code page
  uint32_t attributes = 0;
};

// FindFirstFileA / FindNextFileA / FindClose, owning the search handle.
class FileFind {
 public:
  FileFind() = default;
  ~FileFind();
  FileFind(const FileFind&) = delete;
  FileFind& operator=(const FileFind&) = delete;

  bool First(const char* pattern, FindData& out);
  bool Next(FindData& out);
  void Close();

 private:
  void* handle_ = nullptr;
};

// --- virtual memory (VirtualAlloc MEM_COMMIT PAGE_READWRITE / VirtualFree)
void* VirtualAllocate(std::size_t size);
void VirtualRelease(void* address);

// --- formatted output
// vsnprintf with the runtime's meaning of the format on both sides (the I64
// size prefix included). Writes at most size bytes including the NUL and
// returns the length the whole output needs, or -1 when the runtime fails.
int FormatBounded(char* buffer, std::size_t size, const char* format, std::va_list args);

// --- messages
// MessageBoxA(no owner, text, caption, style). When a handler is set (unit
// tests do; the updater never does) it answers in the box's place. On Linux
// without a handler no box is shown and the answer is IDIGNORE for an
// Abort/Retry/Ignore box and IDOK for any other.
int ShowMessageBox(const char* text, const char* caption, unsigned style);

using MessageHandler = std::function<int(const char* text, const char* caption, unsigned style)>;
// Sets the handler and returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);

// --- text conversion at the boundary (Linux: iconv; Windows: passthrough)
// Converts code page 932 bytes to UTF-8; false when they have no such form.
bool AnsiToUtf8(const std::string& ansi, std::string& utf8);
// Converts UTF-8 to code page 932; false when a character has no such form.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

// --- Linux only: while on, the case-insensitive path resolution keeps what
// each folder holds between calls (checked against the folder's change time
// and kept in step with the changes made through this layer), so that
// making many files in one folder does not read the folder again for each.
// Meant for a run that writes many files (pak extract). Nothing on Windows.
void KeepFolderListings(bool keep);

// --- Linux only: where drive letters lead. By default C: is the root folder
// and no other drive exists. Ignored on Windows.
void SetDriveRoot(char letter, const char* posixFolder);

}  // namespace plat
