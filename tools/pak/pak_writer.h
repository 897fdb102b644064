// pak_writer.h: builds .pak archives of every version in memory. The pak
// tool writes archives with it, and the tests make their fixtures with it,
// including broken ones (the raw overrides below).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pak {

struct InputEntry {
  std::string name;   // code page 932 bytes, backslash separators
  std::string bytes;  // the entry's contents as readers see them
  bool compress = false;  // versions 1 to 3 only
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
};

// The archive's bytes, entries in the order given (callers sort them when
// they want the tool's order). Throws std::invalid_argument for a version
// above 3, a key block over 256 bytes, or an archive of 2^31 bytes or more.
std::string WriteArchive(const std::vector<InputEntry>& entries, const WriteOptions& options);

// The name key of a text: h = h * 137 + c over its bytes, c signed.
uint32_t NameKey(const std::string& text);

// Default key material that the tool derives from the entries: non-zero and
// the same for the same inputs.
std::string DefaultKeyBlock(const std::vector<InputEntry>& entries);
uint32_t DefaultDirectoryKey(const std::vector<InputEntry>& entries);

}  // namespace pak
