// pak_writer_test.cpp: the byte layout the writer produces, per version,
// against fields computed by hand. Name keys used below: "a" is 0x00000061,
// "abc" is 0x001BFC86 (h = h * 137 + c), the empty text 0.
#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/unit/test_support.h"
#include "archive/pak_writer.h"

namespace {

using pak::InputEntry;
using pak::WriteOptions;

constexpr uint32_t kKeyA = 0x61;
constexpr uint32_t kKeyAbc = 0x001BFC86;

std::string U32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

uint32_t At(const std::string& bytes, std::size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes.at(offset + i));
  return v;
}

// The record as versions 1 to 3 hold it, each word XOR key.
std::string Record(const std::string& name, uint32_t offset, uint32_t size, uint32_t compressed,
                   uint32_t packedSize, uint32_t key) {
  return U32(static_cast<uint32_t>(name.size())) + name + U32(offset ^ key) + U32(size ^ key) +
         U32(0 ^ key) + U32(compressed ^ key) + U32(packedSize ^ key);
}

std::string Inflated(const std::string& packed, std::size_t size) {
  std::string out(size + 1, '\0');  // one byte more: a longer stream shows
  uLongf length = static_cast<uLongf>(out.size());
  const int r = uncompress(reinterpret_cast<Bytef*>(&out[0]), &length,
                           reinterpret_cast<const Bytef*>(packed.data()),
                           static_cast<uLong>(packed.size()));
  if (r != Z_OK) return "<zlib error " + std::to_string(r) + ">";
  out.resize(length);
  return out;
}

std::string Xor(std::string bytes, const std::vector<unsigned char>& keys) {
  for (std::size_t i = 0; i < keys.size() && i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(bytes[i] ^ keys[i]);
  }
  return bytes;
}

TEST(PakWriter, Version0IsHeaderRecordsThenBytes) {
  // Records: 4 + 1 + 12 and 4 + 3 + 12 bytes after the 8-byte header, so the
  // data starts at 44; offsets are absolute, the word after them is 0.
  const std::string expected = U32(0) + U32(2) +
                               U32(1) + "a" + U32(44) + U32(0) + U32(2) +
                               U32(3) + "abc" + U32(46) + U32(0) + U32(0) +
                               "xy";
  WriteOptions options;
  options.version = 0;
  const std::string out = pak::WriteArchive({{"a", "xy"}, {"abc", ""}}, options);
  EXPECT_EQ(kvtest::Hex(out), kvtest::Hex(expected));
}

struct LayoutRow {
  const char* why;
  uint32_t version;
  std::string keyBlock;
  uint32_t directoryKey;
  std::vector<InputEntry> entries;
  // The data area as it must be held, and the records as they inflate.
  std::string data;
  std::string directory;
  uint32_t headerK;  // the key of the header's sizes in version 3
};

TEST(PakWriter, HeaderDirectoryAndDataPerVersion) {
  const std::string twenty = "0123456789abcdefghij";
  const std::vector<LayoutRow> rows = {
      {"version 1: plain records, offsets from the data area", 1, "", 0,
       {{"a", "hello"}, {"abc", "xyz"}},
       "hello" "xyz",
       Record("a", 0, 5, 0, 5, 0) + Record("abc", 5, 3, 0, 3, 0), 0},
      {"version 2: key material carried, nothing scrambled", 2, "abc", 0x12345678,
       {{"a", "hello"}, {"abc", "xyz"}},
       "hello" "xyz",
       Record("a", 0, 5, 0, 5, 0) + Record("abc", 5, 3, 0, 3, 0), 0},
      {"version 3: five-byte entry: k0..k3 then the tail byte takes k1", 3, "abc", 0x12345678,
       {{"abc", "hello"}},
       Xor("hello", {0x86, 0xFC, 0x1B, 0x00, 0xFC}),
       Record("abc", 0, 5, 0, 5, kKeyAbc), kKeyAbc},
      {"version 3: only the first 16 bytes of a stored entry change", 3, "abc", 0x12345678,
       {{"abc", twenty}},
       Xor(twenty, {0x86, 0xFC, 0x1B, 0x00, 0x86, 0xFC, 0x1B, 0x00, 0x86, 0xFC, 0x1B, 0x00,
                    0x86, 0xFC, 0x1B, 0x00}),
       Record("abc", 0, 20, 0, 20, kKeyAbc), kKeyAbc},
      {"version 3: three-byte tail takes k3 k0 k1; each record keyed by its own name", 3, "abc",
       7, {{"a", "123"}, {"abc", "4567890"}},
       Xor("123", {0x00, 0x61, 0x00}) + Xor("4567890", {0x86, 0xFC, 0x1B, 0x00, 0x00, 0x86, 0xFC}),
       Record("a", 0, 3, 0, 3, kKeyA) + Record("abc", 3, 7, 0, 7, kKeyAbc), kKeyAbc},
      {"version 3: a key block starting with a zero byte gives K = 0", 3, std::string("\0abc", 4),
       9, {{"", "plain"}},
       "plain", Record("", 0, 5, 0, 5, 0), 0},
      {"version 3: bytes after the key block's first zero do not count", 3,
       std::string("abc\0zz", 6), 9, {{"abc", ""}},
       "", Record("abc", 0, 0, 0, 0, kKeyAbc), kKeyAbc},
  };
  for (const LayoutRow& r : rows) {
    SCOPED_TRACE(r.why);
    WriteOptions options;
    options.version = r.version;
    options.keyBlock = r.keyBlock;
    options.directoryKey = r.directoryKey;
    const std::string out = pak::WriteArchive(r.entries, options);
    EXPECT_EQ(kvtest::Hex(pak::DirectoryBytes(r.entries, options)), kvtest::Hex(r.directory));

    const std::size_t h = r.version == 1 ? 16 : 276;
    ASSERT_GE(out.size(), h);
    std::string keyBlock = r.keyBlock;
    keyBlock.resize(256, '\0');
    uint32_t entryCount = 0, directorySize = 0, packedSize = 0;
    EXPECT_EQ(At(out, 0), r.version);
    if (r.version == 3) {
      EXPECT_EQ(kvtest::Hex(out.substr(4, 256)), kvtest::Hex(keyBlock));
      EXPECT_EQ(At(out, 260), r.directoryKey);
      directorySize = At(out, 264) ^ r.headerK;
      entryCount = At(out, 268) ^ r.headerK;
      packedSize = At(out, 272) ^ r.directoryKey;
    } else {
      entryCount = At(out, 4);
      directorySize = At(out, 8);
      packedSize = At(out, 12);
      if (r.version == 2) {
        EXPECT_EQ(At(out, 16), r.directoryKey);
        EXPECT_EQ(kvtest::Hex(out.substr(20, 256)), kvtest::Hex(keyBlock));
      }
    }
    EXPECT_EQ(entryCount, r.entries.size());
    EXPECT_EQ(directorySize, r.directory.size());
    ASSERT_LE(h + packedSize, out.size());
    EXPECT_EQ(kvtest::Hex(Inflated(out.substr(h, packedSize), directorySize)),
              kvtest::Hex(r.directory));
    EXPECT_EQ(kvtest::Hex(out.substr(h + packedSize)), kvtest::Hex(r.data));
  }
}

TEST(PakWriter, CompressedEntriesAreZlibStreamsHeldPlain) {
  const std::string text(1000, 'q');
  for (uint32_t version : {1u, 2u, 3u}) {
    SCOPED_TRACE(version);
    WriteOptions options;
    options.version = version;
    options.keyBlock = "abc";
    const std::vector<InputEntry> entries = {{"abc", text, true}, {"a", "tail"}};
    const std::string out = pak::WriteArchive(entries, options);
    const std::string dir = pak::DirectoryBytes(entries, options);
    const uint32_t key = version == 3 ? kKeyAbc : 0;
    // Record: name length, name, then offset, size, reserved, compressed, packedSize.
    EXPECT_EQ(At(dir, 7) ^ key, 0u);
    EXPECT_EQ(At(dir, 11) ^ key, 1000u);
    EXPECT_EQ(At(dir, 19) ^ key, 1u);
    const uint32_t packed = At(dir, 23) ^ key;
    const std::size_t data = out.size() - packed - 4;  // the stored "tail" follows
    // Even in version 3 the stream's first bytes are held as zlib wrote them.
    EXPECT_EQ(Inflated(out.substr(data, packed), 1000), text);
    const uint32_t tailKey = version == 3 ? kKeyA : 0;
    EXPECT_EQ(At(dir, 27 + 5) ^ tailKey, packed) << "the next entry follows the stream";
  }
}

TEST(PakWriter, OverridesWriteLyingFieldsEncodedAsTheVersionDoes) {
  WriteOptions options;
  options.version = 3;
  options.keyBlock = "abc";
  options.directoryKey = 0x0F0F0F0F;
  options.entryCount = 1000;
  options.directorySize = 5;
  options.packedDirectorySize = 0xFFFFFFFF;
  InputEntry lying{"abc", "hello"};
  lying.size = 0x7FFFFFFF;
  lying.offset = 0x10;
  const std::string out = pak::WriteArchive({lying}, options);
  EXPECT_EQ(At(out, 264) ^ kKeyAbc, 5u);
  EXPECT_EQ(At(out, 268) ^ kKeyAbc, 1000u);
  EXPECT_EQ(At(out, 272) ^ 0x0F0F0F0Fu, 0xFFFFFFFFu);
  const std::string dir = pak::DirectoryBytes({lying}, options);
  EXPECT_EQ(At(dir, 7) ^ kKeyAbc, 0x10u);
  EXPECT_EQ(At(dir, 11) ^ kKeyAbc, 0x7FFFFFFFu);

  WriteOptions v0;
  v0.version = 0;
  v0.entryCount = 3;
  EXPECT_EQ(At(pak::WriteArchive({}, v0), 4), 3u);

  WriteOptions raw;
  raw.version = 1;
  raw.rawPackedDirectory = "junk";
  InputEntry rawEntry{"a", "hello", true};
  rawEntry.rawData = "not zlib";
  const std::string rawOut = pak::WriteArchive({rawEntry}, raw);
  EXPECT_EQ(rawOut.substr(16), "junk" "not zlib");
  EXPECT_EQ(At(rawOut, 12), 4u);
}

TEST(PakWriter, RefusesWhatNoReaderCouldRead) {
  struct Row { const char* why; uint32_t version; std::string keyBlock; bool compress; };
  const Row rows[] = {
      {"no version above 3", 4, "", false},
      {"a key block holds 256 bytes", 3, std::string(257, 'k'), false},
      {"version 0 has no compressed entries", 0, "", true},
  };
  for (const Row& r : rows) {
    WriteOptions options;
    options.version = r.version;
    options.keyBlock = r.keyBlock;
    EXPECT_THROW(pak::WriteArchive({{"a", "x", r.compress}}, options), std::invalid_argument)
        << r.why;
  }
  WriteOptions full;
  full.keyBlock = std::string(256, 'k');  // exactly 256 bytes, no zero: allowed
  EXPECT_NO_THROW(pak::WriteArchive({{"a", "x"}}, full));
}

TEST(PakWriter, DefaultKeysAreNonZeroStableAndFollowTheContents) {
  const std::vector<InputEntry> one = {{"a", "xy"}};
  const std::vector<InputEntry> moved = {{"a", "x"}, {"y", ""}};
  const std::vector<InputEntry> none = {};
  for (const auto* entries : {&one, &moved, &none}) {
    const std::string block = pak::DefaultKeyBlock(*entries);
    EXPECT_FALSE(block.empty());
    EXPECT_LE(block.size(), 256u);
    EXPECT_EQ(block.find('\0'), std::string::npos) << "the whole block counts for the key";
    EXPECT_NE(pak::DefaultDirectoryKey(*entries), 0u);
    EXPECT_EQ(block, pak::DefaultKeyBlock(*entries));
  }
  EXPECT_NE(pak::DefaultKeyBlock(one), pak::DefaultKeyBlock(moved));
  EXPECT_NE(pak::DefaultDirectoryKey(one), pak::DefaultDirectoryKey(moved));
}

}  // namespace
