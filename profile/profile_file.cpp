// profile_file.cpp: loading a profile through the archive layer.
#include <cstdint>
#include <cstring>
#include <new>

#include "archive/kvarchive.h"
#include "profile/profile.h"

namespace {
// The most a KvString can hold; a larger profile is taken for lack of memory
// rather than cut short.
constexpr uint32_t kMaxProfileBytes = 0x7FFFFF00u;
}  // namespace

void GetProfileValue(const char* section, const char* key, KvString& out, const char* fileName) {
  KvString text;
  {
    KvArchive file;
    // A file that cannot be opened has been offered to the user already;
    // after Ignore the object has no file and the text stays empty.
    file.Open(fileName, OpenRead);
    const uint32_t size = file.GetSize();
    if (size > kMaxProfileBytes) throw std::bad_alloc();
    char* room = text.Room(static_cast<int32_t>(size));
    uint32_t got = size > 0 ? file.Read(size, room) : 0;
    if (got > size) got = size;
    // A NUL byte in the file ends the text.
    text.TakeWritten(static_cast<int32_t>(got));
    file.Close();
  }
  FindProfileValue(section, key, out, text);
}
