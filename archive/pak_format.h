// pak_format.h: the limits the reader holds untrusted archives to, and the
// reading steps the lookup shares with the record readers. The byte layout
// itself is stated at the top of pak_format.cpp.
#pragma once

#include <cstdint>

#include "text/kvstring.h"

class KvArchive;
class KvArchiveEntry;

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
