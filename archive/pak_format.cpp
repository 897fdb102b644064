// pak_format.cpp: reads .pak headers and directory records.
//
// Every integer is an unsigned 32-bit little-endian word (u32); fields
// follow each other without gaps. A name is a u32 byte count n and n bytes
// of code page 932 text without a terminating zero.
//
// Version 0 (header 8 bytes, directory plain right after it):
//   0 version = 0 | 4 entryCount | 8 entryCount records:
//   name | offset (absolute, from the start of the file) | u32 skipped | size
//   Entries are never compressed and may lie anywhere in the file.
//
// Version 1 (header 16 bytes):
//   0 version = 1 | 4 entryCount | 8 directorySize | 12 packedDirectorySize
//
// Version 2 (header 276 bytes; key material carried along, never used):
//   0 version = 2 | 4 entryCount | 8 directorySize | 12 packedDirectorySize
//   16 directoryKey | 20 keyBlock[256]
//
// Version 3 (header 276 bytes; K = name key of keyBlock up to its first
// zero byte, at most 256 bytes; K = 0 when the first byte is zero):
//   0 version = 3 | 4 keyBlock[256] | 260 directoryKey
//   264 directorySize ^ K | 268 entryCount ^ K
//   272 packedDirectorySize ^ directoryKey
//
// Versions 1 to 3, after the header of H bytes:
//   H: packed directory, one zlib stream of packedDirectorySize bytes that
//      inflates to directorySize bytes: entryCount records back to back,
//      name | offset | size | reserved | compressed | packedSize
//      (offset from the data area; size as readers see it; compressed != 0:
//      the entry is a zlib stream of packedSize bytes). In version 3 each of
//      the five words is stored XOR the name key of the record's own name.
//   H + packedDirectorySize: data area, the entries' bytes, to the end.
//   A stored version-3 entry holds its first min(size, 16) bytes scrambled
//   (the read-time transform of encryption.cpp); everything else is plain.
//
// Nothing of an archive lies at or beyond 2^31 - 1. The constants and the
// limits an untrusted archive is held to are in pak_format.h; the writer
// that builds this layout is pak_writer.cpp.
#include "archive/pak_format.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "archive/encryption.h"
#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "text/exceptions.h"

namespace pak_format {

namespace {

uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Room for n text bytes and their zero in name, keeping a buffer that is big
// enough (one allocation for a whole directory scan of similar names). A
// string's capacity counts its zero: n bytes need a capacity above n. A
// length of 2^31 or more is no string's (it would turn negative as a count
// and leave no buffer at all): refused as any allocation too big for one.
char* NameRoom(KvString& name, uint32_t n) {
  if (n > static_cast<uint32_t>(INT32_MAX)) throw std::bad_alloc();
  if (name.Buffer() == nullptr || static_cast<uint32_t>(name.Capacity()) <= n) {
    name.Empty();
    return name.Room(static_cast<int32_t>(n));
  }
  return name.Buffer();
}

// The text ends at its first zero byte, or after the got bytes delivered.
void FinishName(KvString& name, uint32_t got) { name.TakeWritten(static_cast<int32_t>(got)); }

void SetName(KvString& name, const unsigned char* text, uint32_t n) {
  if (n == 0) {
    FinishName(name, 0);
    return;
  }
  std::memcpy(NameRoom(name, n), text, n);
  FinishName(name, n);
}

uint32_t NameKey(uint32_t version, const KvString& name) {
  return EncryptionTable()[EncryptionIndex(version)]->MakeKey(name.Text());
}

// The five words of a version 1-3 record, each XOR key (the XOR
// Transform over four bytes from index 0 is exactly that).
void DecodeWords(const unsigned char* words, uint32_t key, KvArchiveEntry& entry) {
  entry.offset = Le32(words) ^ key;
  entry.size = Le32(words + 4) ^ key;
  entry.reserved = Le32(words + 8) ^ key;
  entry.compressed = Le32(words + 12) ^ key;
  entry.packedSize = Le32(words + 16) ^ key;
}

}  // namespace

void ThrowBroken(const char* path) {
  KvString text;
  if (path != nullptr && *path != '\0') text.Format("アーカイブ %s が壊れています。", path);
  else text.Assign("アーカイブが壊れています。");
  throw KvErrorException(text);
}

bool ReadU32(KvArchive& file, uint32_t& value) {
  unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value >> 16),
                            static_cast<unsigned char>(value >> 24)};
  const uint32_t got = file.Read(4, bytes);
  value = Le32(bytes);
  return got == 4;
}

void ReadNameText(KvArchive& file, KvString& name, uint32_t n) {
  if (n == 0) {
    FinishName(name, 0);
    return;
  }
  char* room = NameRoom(name, n);
  FinishName(name, file.Read(n, room));
}

bool ReadVersion0Record(KvArchive& file, KvArchiveEntry& entry, uint32_t limit) {
  constexpr uint32_t kWordsAfterName = 4 * kWordsAfterNameV0;  // offset, skipped word, size
  uint32_t n = 0;
  if (limit < kMinRecordBytesV0 || !ReadU32(file, n)) return false;
  if (n > limit - kMinRecordBytesV0) return false;
  ReadNameText(file, entry.name, n);
  unsigned char words[kWordsAfterName];
  if (file.Read(kWordsAfterName, words) != kWordsAfterName) return false;
  entry.offset = Le32(words);
  entry.reserved = Le32(words + 4);  // the word readers skip, kept for listing
  entry.size = Le32(words + 8);
  entry.compressed = 0;  // never compressed, whatever record came before
  entry.packedSize = 0;
  return true;
}

uint32_t KeyBlockKey(const unsigned char* keyBlock) {
  const void* zero = std::memchr(keyBlock, 0, kKeyBlockBytes);
  const uint32_t keyLength =
      zero != nullptr ? static_cast<uint32_t>(static_cast<const unsigned char*>(zero) - keyBlock)
                      : kKeyBlockBytes;
  return KvXorEncryption::MakeKeyN(reinterpret_cast<const char*>(keyBlock), keyLength);
}

HeaderKind ReadArchiveHeader(KvArchive& file, KvArchiveHeader& header, uint32_t fileEnd) {
  const bool whole = header.ReadHeader(file);
  if (header.version > kHighestVersion) return HeaderKind::kUnknownVersion;
  if (!whole || fileEnd < HeaderSize(header.version)) return HeaderKind::kCutShort;
  if (header.version != 0 && header.directorySize == 0 && header.entryCount != 0) {
    return HeaderKind::kNoDirectory;
  }
  return HeaderKind::kPak;
}

bool LocateEntry(const KvArchiveEntry& record, uint32_t fileEnd, uint32_t& start) {
  const uint32_t version = record.header.version;
  const bool compressed = version != 0 && record.compressed != 0;
  const uint64_t at = version == 0 ? record.offset
                                   : static_cast<uint64_t>(HeaderSize(version)) +
                                         record.header.packedDirectorySize + record.offset;
  const uint64_t extent = compressed ? record.packedSize : record.size;
  if (at + extent > fileEnd) return false;
  if (compressed && (record.size > kMaxArchiveBytes || !InflatesTo(record.packedSize, record.size))) {
    return false;
  }
  start = static_cast<uint32_t>(at);
  return true;
}

DirectoryWalk::DirectoryWalk(KvArchive& file, const KvArchiveHeader& header, const char* path,
                             uint32_t fileEnd)
    : file_(file), path_(path), version_(header.version), fileEnd_(fileEnd), left_(header.entryCount) {
  if (version_ == 0) {
    if (header.entryCount > (fileEnd - kHeaderSizeV0) / kMinRecordBytesV0) ThrowBroken(path_);
    return;
  }
  // Without entries nothing is read, so the directory is not inflated.
  if (left_ == 0) return;
  const uint32_t h = HeaderSize(version_);
  if (header.directorySize == 0 || header.packedDirectorySize > fileEnd - h ||
      !InflatesTo(header.packedDirectorySize, header.directorySize) ||
      header.entryCount > header.directorySize / kMinRecordBytes) {
    ThrowBroken(path_);
  }
  // Committed on demand by the system: only the pages the stream fills
  // take memory, whatever the header declares.
  if (!block_.Allocate(header.directorySize)) throw std::bad_alloc();
  // A stream that inflates to less than directorySize leaves only what it
  // made to be read: records beyond it do not fit.
  const uint32_t inflated = Inflate(file_, header.packedDirectorySize, block_.address, header.directorySize);
  directory_.OpenMemory(block_.address, inflated);
}

bool DirectoryWalk::Next(KvArchiveEntry& record) {
  if (left_ == 0) return false;
  --left_;
  if (version_ != 0) {
    if (!record.ReadEntry(directory_)) ThrowBroken(path_);
    return true;
  }
  const int64_t at = file_.GetPosition();
  if (at < 0 || at > fileEnd_ ||
      !ReadVersion0Record(file_, record, fileEnd_ - static_cast<uint32_t>(at))) {
    ThrowBroken(path_);
  }
  return true;
}

}  // namespace pak_format

using namespace pak_format;

bool KvArchiveHeader::ReadHeader(KvArchive& file) {
  if (!ReadU32(file, version)) return false;
  switch (version) {
    case 0:
      return ReadU32(file, entryCount);
    case 1:
      return ReadU32(file, entryCount) && ReadU32(file, directorySize) &&
             ReadU32(file, packedDirectorySize);
    case 2:
      return ReadU32(file, entryCount) && ReadU32(file, directorySize) &&
             ReadU32(file, packedDirectorySize) && ReadU32(file, directoryKey) &&
             file.Read(kKeyBlockBytes, keyBlock) == kKeyBlockBytes;
    case 3: {
      if (file.Read(kKeyBlockBytes, keyBlock) != kKeyBlockBytes) return false;
      if (!ReadU32(file, directoryKey)) return false;
      const uint32_t k = KeyBlockKey(keyBlock);  // the same for both words it keys
      uint32_t a = 0, b = 0, c = 0;
      const bool whole = ReadU32(file, a) && ReadU32(file, b) && ReadU32(file, c);
      directorySize = a ^ k;
      entryCount = b ^ k;
      packedDirectorySize = c ^ directoryKey;
      return whole;
    }
    default:
      return true;  // not a version this reader knows: only version is read
  }
}

// A directory read from memory (the lookup's case) is decoded straight from
// the block; any other file goes through Read. Both hold the record to the
// bytes that are left before anything is allocated for its name.
bool KvArchiveEntry::ReadEntry(KvArchive& directory) {
  constexpr uint32_t kWordBytes = 4 * kRecordWords;
  if (directory.inMemory_) {
    if (directory.position_ < 0 || directory.position_ > directory.memorySize_) return false;
    const uint32_t left = directory.memorySize_ - static_cast<uint32_t>(directory.position_);
    if (left < kMinRecordBytes) return false;
    const unsigned char* p = directory.readPointer_;
    const uint32_t n = Le32(p);
    if (n > left - kMinRecordBytes) return false;
    SetName(name, p + 4, n);
    DecodeWords(p + 4 + n, NameKey(header.version, name), *this);
    directory.readPointer_ += 4 + n + kWordBytes;
    directory.position_ += 4 + n + kWordBytes;
    return true;
  }
  const uint32_t left = directory.GetRemaining();
  uint32_t n = 0;
  if (left < kMinRecordBytes || !ReadU32(directory, n)) return false;
  if (n > left - kMinRecordBytes) return false;
  ReadNameText(directory, name, n);
  unsigned char words[kWordBytes];
  if (directory.Read(kWordBytes, words) != kWordBytes) return false;
  DecodeWords(words, NameKey(header.version, name), *this);
  return true;
}
