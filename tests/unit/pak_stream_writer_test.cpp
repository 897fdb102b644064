// pak_stream_writer_test.cpp: the streaming writer gives the bytes the
// in-memory writer gives for the same entries and keys, whatever the number
// of threads and however the sources hand out their bytes, and refuses what
// it must (a source that changes size, an archive over the limit).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/pak_stream_writer.h"
#include "archive/pak_writer.h"
#include "tests/unit/test_support.h"

namespace {

// Hands out bytes in pieces of at most step bytes.
class StringSource : public pak::ByteSource {
 public:
  StringSource(std::string bytes, std::size_t step) : bytes_(std::move(bytes)), step_(step) {}
  std::size_t Read(char* buffer, std::size_t count) override {
    std::size_t n = bytes_.size() - at_;
    if (n > count) n = count;
    if (n > step_) n = step_;
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return n;
  }

 private:
  std::string bytes_;
  std::size_t step_;
  std::size_t at_ = 0;
};

// Text that compresses, but not to nothing: lines with numbers.
std::string Text(std::size_t size, unsigned seed) {
  std::string out;
  for (unsigned i = 0; out.size() < size; ++i) out += "line " + std::to_string(i * 7919u + seed) + " of the file\n";
  out.resize(size);
  return out;
}

struct Entry {
  std::string name;
  std::string bytes;
  bool compress;
};

std::vector<pak::StreamEntry> StreamEntries(const std::vector<Entry>& entries, std::size_t step,
                                            uint64_t sizeDelta = 0) {
  std::vector<pak::StreamEntry> out;
  for (const Entry& e : entries) {
    pak::StreamEntry s;
    s.name = e.name;
    s.size = e.bytes.size() + sizeDelta;
    s.compress = e.compress;
    const std::string bytes = e.bytes;
    s.open = [bytes, step] { return std::unique_ptr<pak::ByteSource>(new StringSource(bytes, step)); };
    out.push_back(std::move(s));
  }
  return out;
}

// The archive the streaming writer makes, read back from its file.
std::string Streamed(const std::vector<pak::StreamEntry>& entries, const pak::StreamOptions& options) {
  kvtest::ScratchFolder scratch;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(plat::OpenStream("out.pak", "w+b"), &std::fclose);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(plat::OpenStream("out.spool", "w+b"), &std::fclose);
  if (!out || !spool) throw std::runtime_error("cannot open the scratch files");
  const uint64_t size = pak::WriteArchiveStreaming(entries, options, out.get(), spool.get());
  out.reset();
  spool.reset();
  std::string bytes;
  if (!kvtest::ReadFile("out.pak", bytes)) throw std::runtime_error("cannot read the archive back");
  EXPECT_EQ(size, bytes.size());
  return bytes;
}

TEST(PakStreamWriter, SameBytesAsTheInMemoryWriterForEveryVersion) {
  // Entries under and over the size that workers take whole (4 MiB), one
  // empty, some stored among compressed ones; version 3 scrambles the first
  // 16 bytes of the stored ones.
  const std::vector<Entry> entries = {
      {"a", "", false},
      {"dir\\big.txt", Text((4u << 20) + 100, 1), true},
      {"dir\\small.txt", Text(3000, 2), true},
      {"plain.bin", Text(40, 3), false},
      {"z\\stored-big.bin", Text((4u << 20) + 17, 4), false},
  };
  for (uint32_t version = 0; version <= 3; ++version) {
    std::vector<pak::InputEntry> inputs;
    for (const Entry& e : entries) inputs.emplace_back(e.name, e.bytes, version != 0 && e.compress);
    pak::WriteOptions memory;
    memory.version = version;
    pak::StreamOptions streaming;
    streaming.version = version;
    streaming.level = 9;  // the in-memory writer's level
    if (version >= 2) {
      memory.keyBlock = "key block text";
      memory.directoryKey = 0x12345678;
      streaming.keyBlock = memory.keyBlock;
      streaming.directoryKey = memory.directoryKey;
    }
    std::vector<Entry> adjusted = entries;
    for (Entry& e : adjusted) e.compress = version != 0 && e.compress;
    const std::string expected = pak::WriteArchive(inputs, memory);
    for (std::size_t step : {std::size_t{4093}, std::size_t{version == 3 ? 1u << 30 : 0}}) {
      if (step == 0) continue;
      SCOPED_TRACE("version " + std::to_string(version) + ", pieces of " + std::to_string(step));
      const std::string got = Streamed(StreamEntries(adjusted, step), streaming);
      EXPECT_TRUE(got == expected) << "streamed " << got.size() << " bytes, in memory " << expected.size();
    }
  }
}

TEST(PakStreamWriter, ThreadsChangeNothingInTheBytes) {
  std::vector<Entry> entries;
  for (unsigned i = 0; i < 120; ++i) {
    entries.push_back({"f" + std::to_string(1000 + i), Text(100 + (i * 7717u) % 90000, i), i % 5 != 0});
  }
  pak::StreamOptions options;
  options.threads = 1;
  const std::string one = Streamed(StreamEntries(entries, 65536), options);
  for (unsigned threads : {2u, 7u}) {
    options.threads = threads;
    EXPECT_TRUE(Streamed(StreamEntries(entries, 65536), options) == one) << threads << " threads";
  }
  // The default keys follow the contents: another byte, another key block.
  entries[60].bytes[0] ^= 1;
  options.threads = 2;
  const std::string other = Streamed(StreamEntries(entries, 65536), options);
  EXPECT_NE(one.substr(4, 256), other.substr(4, 256));
}

TEST(PakStreamWriter, AFileThatChangesSizeIsRefused) {
  // Sizes one byte more and one byte less than the bytes the source hands
  // out, for entries taken whole by a worker, streamed, and stored.
  for (bool compress : {true, false}) {
    for (std::size_t size : {std::size_t{1000}, std::size_t{(4u << 20) + 100}}) {
      for (int delta : {1, -1}) {
        SCOPED_TRACE(std::to_string(size) + (compress ? " compressed" : " stored") + " delta " + std::to_string(delta));
        const std::vector<Entry> entries = {{"x", Text(size, 9), compress}};
        EXPECT_THROW(Streamed(StreamEntries(entries, 100000, static_cast<uint64_t>(delta)), pak::StreamOptions()),
                     pak::StreamError);
      }
    }
  }
}

TEST(PakStreamWriter, AnArchiveOverTheLimitIsRefusedBeforeAnyByteIsRead) {
  for (bool compress : {true, false}) {
    SCOPED_TRACE(compress ? "compressed" : "stored");
    int opened = 0;
    std::vector<pak::StreamEntry> entries(2);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      entries[i].name = "big" + std::to_string(i);
      entries[i].size = 0x50000000u;  // two of them pass 2^31 - 1
      entries[i].compress = compress;
      entries[i].open = [&opened] {
        ++opened;
        return std::unique_ptr<pak::ByteSource>(new StringSource("", 1));
      };
    }
    if (compress) {
      // Compressed sizes are known only once packed: what tells is the
      // bytes written, so only a single entry over the limit is refused at
      // once.
      entries.resize(1);
      entries[0].size = 0x80000000u;
    }
    EXPECT_THROW(Streamed(entries, pak::StreamOptions()), pak::StreamError);
    EXPECT_EQ(0, opened);
  }
}

TEST(PakStreamWriter, RefusesBadOptions) {
  const std::vector<Entry> entries = {{"x", "abc", true}};
  pak::StreamOptions options;
  options.level = 10;
  EXPECT_THROW(Streamed(StreamEntries(entries, 10), options), std::invalid_argument);
  options.level = 6;
  options.version = 0;
  EXPECT_THROW(Streamed(StreamEntries(entries, 10), options), std::invalid_argument);
  options.version = 4;
  EXPECT_THROW(Streamed(StreamEntries(entries, 10), options), std::invalid_argument);
  options.version = 3;
  options.keyBlock = std::string(257, 'k');
  EXPECT_THROW(Streamed(StreamEntries(entries, 10), options), std::invalid_argument);
}

}  // namespace
