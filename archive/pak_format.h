// pak_format.h: the .pak format's one home: its constants, the limits the
// reader holds untrusted archives to, and the directory walk that the
// lookup, the pak tool and the tests share. The writer (pak_writer.h) builds
// archives to the same constants. The byte layout itself is stated at the
// top of pak_format.cpp.
#pragma once

#include <cstdint>

#include "archive/kvarchive.h"
#include "archive/records.h"
#include "text/kvstring.h"

namespace pak_format {

// Header sizes: version 0 (version, entryCount), version 1, versions 2 and 3.
constexpr uint32_t kHeaderSizeV0 = 8;
constexpr uint32_t kHeaderSizeV1 = 16;
constexpr uint32_t kHeaderSizeV23 = 276;
constexpr uint32_t kKeyBlockBytes = 256;
constexpr uint32_t kHighestVersion = 3;

// The smallest directory record: a name of length 0 and five words
// (versions 1 to 3), or a name of length 0 and three words (version 0).
constexpr uint32_t kMinRecordBytes = 24;
constexpr uint32_t kMinRecordBytesV0 = 16;
constexpr uint32_t kRecordWords = 5;
// A version-0 record: the name's length word, then offset, a skipped word
// and size.
constexpr uint32_t kWordsAfterNameV0 = 3;

// Version 3 holds the first bytes of a stored entry scrambled: positions 0
// to kScrambledBytes - 1.
constexpr uint32_t kScrambledBytes = 16;

// Entry offsets are computed in 32 bits and archives positioned with a
// signed 32-bit seek: nothing of an archive lies at or beyond 2^31 - 1.
constexpr uint32_t kMaxArchiveBytes = 0x7FFFFFFFu;

// Deflate codes at best a 258-byte match in one bit pair, about 1032:1; a
// zlib stream of p bytes cannot inflate to more than p * 1032 bytes, so a
// declared size beyond that is a lie (a decompression bomb) and refused
// before anything is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

inline bool InflatesTo(uint32_t packedSize, uint32_t size) {
  return static_cast<uint64_t>(size) <= static_cast<uint64_t>(packedSize) * kMaxInflateRatio;
}

inline uint32_t HeaderSize(uint32_t version) {
  return version == 0 ? kHeaderSizeV0 : version == 1 ? kHeaderSizeV1 : kHeaderSizeV23;
}

// The part of a file of fileSize bytes that an archive may use.
inline uint32_t FileEnd(uint32_t fileSize) {
  return fileSize < kMaxArchiveBytes ? fileSize : kMaxArchiveBytes;
}

// K, the key of a version-3 header's directorySize and entryCount: the name
// key of the key block up to its first zero byte, never past its 256 bytes.
uint32_t KeyBlockKey(const unsigned char* keyBlock);

// What the first bytes of a file make of it. Only a pak is read further;
// the lookup passes over the others silently, the tool names them.
enum class HeaderKind {
  kPak,
  kCutShort,        // the file ends inside its header
  kUnknownVersion,  // a version above kHighestVersion
  kNoDirectory,     // versions 1 to 3: directory size 0, but entries
};

// Reads the header at the file's current position (its start) and sorts
// the file by it; fileEnd is FileEnd of the file's size.
HeaderKind ReadArchiveHeader(KvArchive& file, KvArchiveHeader& header, uint32_t fileEnd);

// Where record's entry begins in its archive file, its bytes held to the
// file's first fileEnd bytes: version 0 offsets are absolute and entries
// stored; versions 1 to 3 count from the data area, and a compressed entry
// occupies packedSize bytes that must be able to inflate to size. False
// when the entry does not lie within the file.
bool LocateEntry(const KvArchiveEntry& record, uint32_t fileEnd, uint32_t& start);

// The directory records of one pak, one after the other: version 0 from the
// archive file itself (which must stay where the header left it), versions
// 1 to 3 from the directory inflated into a block of virtual memory.
// Nothing is allocated from a declared size before it is checked against
// the file: counts and sizes that the file cannot hold, and records or
// names that run past their directory, are ThrowBroken; a directory that
// cannot be had raises std::bad_alloc; a corrupt stream KvErrorException.
// What a record says about its entry's bytes is not checked here
// (LocateEntry, for the record that is used).
class DirectoryWalk {
 public:
  // header as ReadArchiveHeader read it (kPak); path names the archive in
  // messages.
  DirectoryWalk(KvArchive& file, const KvArchiveHeader& header, const char* path, uint32_t fileEnd);
  DirectoryWalk(const DirectoryWalk&) = delete;
  DirectoryWalk& operator=(const DirectoryWalk&) = delete;

  // Reads the next record into record (its name, offset, size, reserved,
  // compressed and packedSize; record.header is the caller's, and decides
  // the decoding). False after the last record.
  bool Next(KvArchiveEntry& record);

 private:
  KvArchive& file_;
  const char* path_;
  uint32_t version_;
  uint32_t fileEnd_;
  uint32_t left_;  // records still to read
  KvVirtualBlock block_;
  KvArchive directory_;
};

// "アーカイブ %s が壊れています。" (or without a name when path is empty) as
// KvErrorException: the archive is a pak but does not hold together.
[[noreturn]] void ThrowBroken(const char* path);

// Reads a u32 little-endian word; a read that delivers fewer than four
// bytes leaves the undelivered bytes of value as they were (false).
bool ReadU32(KvArchive& file, uint32_t& value);

// Reads the n text bytes of a stored name whose length n was read and
// checked, by the rules of KvString::ReadFrom: the text ends at a zero byte
// among them, but all n are consumed. name's buffer is reused when it is big
// enough; n = 0 leaves a string without a buffer as it is.
void ReadNameText(KvArchive& file, KvString& name, uint32_t n);

// Reads one version-0 record (name, offset, a discarded word, size) from the
// archive file's current position into entry; limit is the bytes left in
// the file. False when the record does not fit.
bool ReadVersion0Record(KvArchive& file, KvArchiveEntry& entry, uint32_t limit);

}  // namespace pak_format
