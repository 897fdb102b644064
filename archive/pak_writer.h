// pak_writer.h: builds .pak archives of every version in memory, the
// format's other half beside its reader (layout in pak_format.cpp,
// constants and limits in pak_format.h). The pak tool writes archives with
// it, and the tests and benchmarks make their fixtures with it, including
// broken ones (the raw overrides below).
#pragma once

#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pak {

struct InputEntry {
  InputEntry() = default;
  InputEntry(std::string name, std::string bytes, bool compress = false)
      : name(std::move(name)), bytes(std::move(bytes)), compress(compress) {}

  std::string name;   // code page 932 bytes, backslash separators
  std::string bytes;  // the entry's contents as readers see them
  bool compress = false;  // versions 1 to 3 only

  // Overrides for making broken archives in tests: each replaces the true
  // value in the entry's record (still encoded as the version encodes it).
  // reserved is also the word that version-0 records carry after the offset.
  std::optional<uint32_t> offset;
  std::optional<uint32_t> size;
  std::optional<uint32_t> reserved;
  std::optional<uint32_t> compressedFlag;
  std::optional<uint32_t> packedSize;
  // When set, these bytes go to the data area exactly as given, in place of
  // the stored, compressed or transformed contents (a corrupt zlib stream).
  std::optional<std::string> rawData;
};

struct WriteOptions {
  uint32_t version = 3;  // 0 to 3
  std::string keyBlock;  // up to 256 bytes; padded with zero bytes (v2, v3)
  uint32_t directoryKey = 0;

  // Overrides for making broken archives in tests: when set, the value is
  // written in place of the true one (still encoded as the version encodes it).
  std::optional<uint32_t> entryCount;
  std::optional<uint32_t> directorySize;
  std::optional<uint32_t> packedDirectorySize;
  // When set, these bytes are written in place of the packed directory.
  std::optional<std::string> rawPackedDirectory;
};

// The archive's bytes, entries in the order given (callers sort them when
// they want the tool's order). Throws std::invalid_argument for a version
// above 3, a key block over 256 bytes, a compressed entry in version 0, or
// an archive of 2^31 bytes or more.
std::string WriteArchive(const std::vector<InputEntry>& entries, const WriteOptions& options);

// The directory records of versions 1 to 3 before packing, exactly as they
// inflate (for tests that check the record layout).
std::string DirectoryBytes(const std::vector<InputEntry>& entries, const WriteOptions& options);

// Default key material that the tool derives from the entries: non-zero
// (the key block's name key too) and the same for the same inputs.
std::string DefaultKeyBlock(const std::vector<InputEntry>& entries);
uint32_t DefaultDirectoryKey(const std::vector<InputEntry>& entries);
// The rule both writers derive them by, from a hash of their inputs under a
// seed: the key block is 32 hexadecimal digits of hash(seed) and
// hash(~seed) for the first seed from 1 whose name key is not 0; the
// directory key folds hash(0x6b6579) to 32 bits, never 0.
std::string KeyBlockFromHash(const std::function<uint64_t(uint64_t seed)>& hash);
uint32_t DirectoryKeyFromHash(const std::function<uint64_t(uint64_t seed)>& hash);

}  // namespace pak
