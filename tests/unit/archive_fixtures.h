// archive_fixtures.h: small byte builders for the archive tests: words,
// names, zlib streams, and hand-made headers and records for the rows that
// corrupt what pak_writer would write correctly.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "tests/unit/test_support.h"
#include "archive/pak_writer.h"

namespace kvfix {

inline std::string U32(uint32_t v) {
  const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
  return std::string(b, 4);
}

inline std::string Name(const std::string& text) { return U32(static_cast<uint32_t>(text.size())) + text; }

inline uint32_t Key(const std::string& text) { return KvXorEncryption().MakeKey(text.c_str()); }

// A version 1-3 directory record; key 0 stores the words plain.
inline std::string Record(const std::string& name, uint32_t offset, uint32_t size, uint32_t reserved,
                          uint32_t compressed, uint32_t packedSize, uint32_t key = 0) {
  return Name(name) + U32(offset ^ key) + U32(size ^ key) + U32(reserved ^ key) +
         U32(compressed ^ key) + U32(packedSize ^ key);
}

inline std::string Deflate(const std::string& bytes, int level = Z_BEST_COMPRESSION) {
  uLongf n = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(n, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(bytes.data()),
                static_cast<uLong>(bytes.size()), level) != Z_OK) {
    throw std::runtime_error("compress2");
  }
  out.resize(n);
  return out;
}

// A version-1 archive made by hand: header, packed directory, data area.
inline std::string Version1(uint32_t entryCount, const std::string& directory, const std::string& data) {
  const std::string packed = Deflate(directory);
  return U32(1) + U32(entryCount) + U32(static_cast<uint32_t>(directory.size())) +
         U32(static_cast<uint32_t>(packed.size())) + packed + data;
}

inline pak::InputEntry Entry(const std::string& name, const std::string& bytes, bool compress = false) {
  pak::InputEntry e;
  e.name = name;
  e.bytes = bytes;
  e.compress = compress;
  return e;
}

inline pak::WriteOptions Options(uint32_t version, const std::string& keyBlock = "keyblock",
                                 uint32_t directoryKey = 0x12345678u) {
  pak::WriteOptions o;
  o.version = version;
  o.keyBlock = keyBlock;
  o.directoryKey = directoryKey;
  return o;
}

// Bytes 0..n-1 with a pattern that differs from position to position.
inline std::string Pattern(std::size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
  return s;
}

// Writes a file anew. Removing it first and making a new one is far faster
// than truncating it on file systems that flush a truncated file on close
// (ext4), and the broken-archive tables rewrite x.pak thousands of times.
inline void Rewrite(const std::string& path, const std::string& bytes) {
  plat::RemoveFile(path.c_str());
  kvtest::WriteFile(path, bytes);
}

// The whole open file or entry, read at once.
inline std::string ReadAll(KvArchive& file) {
  const uint32_t size = file.GetSize();
  std::string out(size, '\0');
  const uint32_t got = size != 0 ? file.Read(size, &out[0]) : 0;
  out.resize(got);
  return out;
}

}  // namespace kvfix
