// pak_writer.cpp: the .pak writer. The constants, the header key and the
// name keys and XOR are the reader's own (pak_format.h, KvXorEncryption),
// so what is written here is exactly what the reader undoes.
#include "archive/pak_writer.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "archive/encryption.h"
#include "archive/pak_format.h"

namespace pak {

namespace {

using pak_format::kKeyBlockBytes;
using pak_format::kScrambledBytes;
constexpr uint64_t kMaxArchive = pak_format::kMaxArchiveBytes;

void PutU32(std::string& out, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                         static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  out.append(bytes, 4);
}

void PutName(std::string& out, const std::string& name) {
  PutU32(out, static_cast<uint32_t>(name.size()));
  out += name;
}

// The name key as the reader computes it: over the text up to its first zero.
uint32_t NameKey(const std::string& name) {
  return KvXorEncryption().MakeKey(name.c_str());
}

std::string Deflate(const std::string& bytes) {
  uLongf packedLength = compressBound(static_cast<uLong>(bytes.size()));
  std::string packed(packedLength, '\0');
  const int r = compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedLength,
                          reinterpret_cast<const Bytef*>(bytes.data()),
                          static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
  if (r != Z_OK) throw std::runtime_error("zlib could not compress an entry");
  packed.resize(packedLength);
  return packed;
}

// One entry as it lands in the archive: its data-area bytes and its record.
struct Prepared {
  std::string data;
  uint32_t offset = 0;  // from the data area (versions 1-3) or absolute (0)
  uint32_t size = 0;
  uint32_t reserved = 0;
  uint32_t compressed = 0;
  uint32_t packedSize = 0;
};

void CheckOptions(const std::vector<InputEntry>& entries, const WriteOptions& options) {
  if (options.version > pak_format::kHighestVersion) throw std::invalid_argument("pak version above 3");
  if (options.keyBlock.size() > kKeyBlockBytes) {
    throw std::invalid_argument("pak key block over 256 bytes");
  }
  if (options.version == 0) {
    for (const InputEntry& e : entries) {
      if (e.compress) throw std::invalid_argument("version-0 archives hold no compressed entry");
    }
  }
}

// The entries' data-area bytes and record fields; offsets start at first.
std::vector<Prepared> Prepare(const std::vector<InputEntry>& entries, const WriteOptions& options,
                              uint64_t first) {
  std::vector<Prepared> out;
  out.reserve(entries.size());
  uint64_t at = first;
  for (const InputEntry& e : entries) {
    if (e.bytes.size() > kMaxArchive) throw std::invalid_argument("pak entry of 2^31 bytes or more");
    Prepared p;
    p.size = static_cast<uint32_t>(e.bytes.size());
    if (e.compress) {
      p.data = Deflate(e.bytes);
      p.compressed = 1;
    } else {
      p.data = e.bytes;
      if (options.version == 3 && !p.data.empty()) {
        // The reader's transform of a whole-entry read from position 0.
        const uint32_t n = p.size < kScrambledBytes ? p.size : kScrambledBytes;
        auto* bytes = reinterpret_cast<unsigned char*>(&p.data[0]);
        KvXorEncryption().Transform(bytes, bytes, static_cast<int32_t>(n), NameKey(e.name), 0);
      }
    }
    if (e.rawData) p.data = *e.rawData;
    p.packedSize = static_cast<uint32_t>(p.data.size());
    if (at > kMaxArchive) throw std::invalid_argument("pak archive of 2^31 bytes or more");
    p.offset = static_cast<uint32_t>(at);
    at += p.data.size();
    if (e.offset) p.offset = *e.offset;
    if (e.size) p.size = *e.size;
    if (e.reserved) p.reserved = *e.reserved;
    if (e.compressedFlag) p.compressed = *e.compressedFlag;
    if (e.packedSize) p.packedSize = *e.packedSize;
    out.push_back(std::move(p));
  }
  return out;
}

std::string Directory(const std::vector<InputEntry>& entries, const std::vector<Prepared>& prepared,
                      uint32_t version) {
  std::string dir;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Prepared& p = prepared[i];
    const uint32_t key = version == 3 ? NameKey(entries[i].name) : 0;
    PutName(dir, entries[i].name);
    PutU32(dir, p.offset ^ key);
    PutU32(dir, p.size ^ key);
    PutU32(dir, p.reserved ^ key);
    PutU32(dir, p.compressed ^ key);
    PutU32(dir, p.packedSize ^ key);
  }
  return dir;
}

std::string WriteVersion0(const std::vector<InputEntry>& entries, const WriteOptions& options) {
  uint64_t headerAndRecords = pak_format::kHeaderSizeV0;
  for (const InputEntry& e : entries) headerAndRecords += pak_format::kMinRecordBytesV0 + e.name.size();
  std::vector<Prepared> prepared = Prepare(entries, options, headerAndRecords);
  std::string out;
  PutU32(out, 0);
  PutU32(out, options.entryCount ? *options.entryCount : static_cast<uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PutName(out, entries[i].name);
    PutU32(out, prepared[i].offset);
    PutU32(out, prepared[i].reserved);
    PutU32(out, prepared[i].size);
  }
  for (const Prepared& p : prepared) out += p.data;
  return out;
}

}  // namespace

std::string DirectoryBytes(const std::vector<InputEntry>& entries, const WriteOptions& options) {
  CheckOptions(entries, options);
  return Directory(entries, Prepare(entries, options, 0), options.version);
}

std::string WriteArchive(const std::vector<InputEntry>& entries, const WriteOptions& options) {
  CheckOptions(entries, options);
  if (options.version == 0) {
    std::string out = WriteVersion0(entries, options);
    if (out.size() > kMaxArchive) throw std::invalid_argument("pak archive of 2^31 bytes or more");
    return out;
  }
  const std::vector<Prepared> prepared = Prepare(entries, options, 0);
  const std::string directory = Directory(entries, prepared, options.version);
  const std::string packed =
      options.rawPackedDirectory ? *options.rawPackedDirectory : Deflate(directory);

  const uint32_t entryCount =
      options.entryCount ? *options.entryCount : static_cast<uint32_t>(entries.size());
  const uint32_t directorySize =
      options.directorySize ? *options.directorySize : static_cast<uint32_t>(directory.size());
  const uint32_t packedSize = options.packedDirectorySize ? *options.packedDirectorySize
                                                          : static_cast<uint32_t>(packed.size());
  unsigned char keyBlock[kKeyBlockBytes] = {};
  std::memcpy(keyBlock, options.keyBlock.data(), options.keyBlock.size());
  const char* keyBlockBytes = reinterpret_cast<const char*>(keyBlock);

  std::string out;
  PutU32(out, options.version);
  if (options.version == 1 || options.version == 2) {
    PutU32(out, entryCount);
    PutU32(out, directorySize);
    PutU32(out, packedSize);
    if (options.version == 2) {
      PutU32(out, options.directoryKey);
      out.append(keyBlockBytes, kKeyBlockBytes);
    }
  } else {
    const uint32_t k = pak_format::KeyBlockKey(keyBlock);
    out.append(keyBlockBytes, kKeyBlockBytes);
    PutU32(out, options.directoryKey);
    PutU32(out, directorySize ^ k);
    PutU32(out, entryCount ^ k);
    PutU32(out, packedSize ^ options.directoryKey);
  }
  out += packed;
  uint64_t total = out.size();
  for (const Prepared& p : prepared) total += p.data.size();
  if (total > kMaxArchive) throw std::invalid_argument("pak archive of 2^31 bytes or more");
  out.reserve(static_cast<std::size_t>(total));
  for (const Prepared& p : prepared) out += p.data;
  return out;
}

namespace {

// FNV-1a over every name and every entry's bytes, each with its length, so
// that moving bytes from one entry to the next changes the result.
uint64_t ContentHash(const std::vector<InputEntry>& entries, uint64_t seed) {
  uint64_t h = 0xcbf29ce484222325ull ^ seed;
  auto mix = [&h](const std::string& s) {
    const uint64_t n = s.size();
    for (int i = 0; i < 8; ++i) {
      h ^= (n >> (8 * i)) & 0xFF;
      h *= 0x100000001b3ull;
    }
    for (unsigned char c : s) {
      h ^= c;
      h *= 0x100000001b3ull;
    }
  };
  for (const InputEntry& e : entries) {
    mix(e.name);
    mix(e.bytes);
  }
  return h;
}

}  // namespace

// 32 hexadecimal digits: a text without zero bytes, so the whole of it
// counts for the key, and never one whose name key is 0.
std::string KeyBlockFromHash(const std::function<uint64_t(uint64_t seed)>& hash) {
  static const char kDigits[] = "0123456789abcdef";
  for (uint64_t seed = 1;; ++seed) {
    const uint64_t a = hash(seed);
    const uint64_t b = hash(~seed);
    std::string text;
    for (int i = 15; i >= 0; --i) text += kDigits[(a >> (4 * i)) & 0xF];
    for (int i = 15; i >= 0; --i) text += kDigits[(b >> (4 * i)) & 0xF];
    if (KvXorEncryption::MakeKeyN(text.data(), static_cast<uint32_t>(text.size())) != 0) {
      return text;
    }
  }
}

uint32_t DirectoryKeyFromHash(const std::function<uint64_t(uint64_t seed)>& hash) {
  const uint64_t h = hash(0x6b6579ull);
  const uint32_t key = static_cast<uint32_t>(h ^ (h >> 32));
  return key != 0 ? key : 1;
}

std::string DefaultKeyBlock(const std::vector<InputEntry>& entries) {
  return KeyBlockFromHash([&entries](uint64_t seed) { return ContentHash(entries, seed); });
}

uint32_t DefaultDirectoryKey(const std::vector<InputEntry>& entries) {
  return DirectoryKeyFromHash([&entries](uint64_t seed) { return ContentHash(entries, seed); });
}

}  // namespace pak
