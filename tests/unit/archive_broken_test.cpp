// archive_broken_test.cpp: untrusted archives. A broken pak raises
// KvErrorException instead of being read as if it were sound; nothing is
// read beyond the inflated directory, the key block or the file; sizes and
// counts that lie are refused before anything is allocated for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "tests/unit/archive_fixtures.h"
#include "tests/unit/test_support.h"
#include "text/exceptions.h"
#include "archive/pak_writer.h"

namespace {

using kvfix::Entry;
using kvfix::Options;
using kvfix::U32;

const char kInflateFailure[] = "データ解凍に失敗しました。";

// What a lookup of one name gives: the entry's bytes, "<none>", or
// "<broken>" when it raised KvErrorException with one of the two messages.
std::string Lookup(const std::string& name, std::string* message = nullptr) {
  KvArchive f;
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  try {
    if (!f.Open(name.c_str(), OpenRead)) return "<none>";
    return kvfix::ReadAll(f);
  } catch (const KvErrorException& e) {
    const std::string text = e.message.Text();
    if (message != nullptr) *message = text;
    const bool known = text == kInflateFailure ||
                       (text.rfind("アーカイブ ", 0) == 0 && text.find(" が壊れています。") != std::string::npos);
    EXPECT_TRUE(known) << text;
    EXPECT_FALSE(f.IsOpen()) << "a broken archive leaves the object closed";
    return "<broken>";
  }
}

// Writes bytes as x.pak beside a sound z.pak that also holds the name, in
// the current (scratch) folder: a file that is no pak is passed over and
// z.pak answers.
std::string LookupBeside(const std::string& bytes, const std::string& name) {
  kvfix::Rewrite("x.pak", bytes);
  kvfix::Rewrite("z.pak", pak::WriteArchive({Entry(name, "from z")}, Options(1)));
  return Lookup(name);
}

// A stored entry and a compressed one, small enough that a table can cut
// or change the archive at every byte.
std::string SecondText() { return std::string(150, 'b') + kvfix::Pattern(150, 3); }

std::vector<pak::InputEntry> TwoEntries() {
  return {Entry("a.txt", kvfix::Pattern(40)), Entry("b.txt", SecondText(), true)};
}

TEST(ArchiveBroken, TruncatedAtEveryByte) {
  kvtest::ScratchFolder scratch;
  for (uint32_t version = 0; version <= 3; ++version) {
    std::vector<pak::InputEntry> entries = TwoEntries();
    if (version == 0) entries[1].compress = false;
    const std::string whole = pak::WriteArchive(entries, Options(version));
    const std::size_t header = pak_format::HeaderSize(version);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      const std::string got = LookupBeside(whole.substr(0, cut), "b.txt");
      // Inside the header the file is no pak; past it the pak is broken:
      // its directory, a record or an entry runs past the end.
      EXPECT_EQ(got, cut < header ? "from z" : "<broken>") << "version " << version << " cut at " << cut;
    }
    EXPECT_EQ(LookupBeside(whole, "b.txt"), SecondText()) << "version " << version;
  }
}

struct Row {
  std::string bytes;
  const char* name;
  std::string expected;
  const char* why;
};

void RunRows(const std::vector<Row>& rows) {
  kvtest::ScratchFolder scratch;
  for (const Row& r : rows) EXPECT_EQ(LookupBeside(r.bytes, r.name), r.expected) << r.why;
}

std::string Written(uint32_t version, std::vector<pak::InputEntry> entries,
                    void (*change)(pak::WriteOptions&) = nullptr) {
  pak::WriteOptions o = Options(version);
  if (change != nullptr) change(o);
  return pak::WriteArchive(entries, o);
}

TEST(ArchiveBroken, CountsAndSizesThatLie) {
  const auto two = TwoEntries();
  std::vector<Row> rows;
  for (uint32_t version = 1; version <= 3; ++version) {
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.entryCount = 3; }), "zzz",
                    "<broken>", "one entry more than the records"});
    rows.push_back({Written(version, two,
                            [](pak::WriteOptions& o) {
                              o.entryCount = 3;
                              o.directorySize = 500;
                            }),
                    "zzz", "<broken>", "records run out before the count: the third does not fit"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.entryCount = 0xFFFFFFFFu; }),
                    "a.txt", "<broken>", "a count the directory cannot hold (24 bytes a record)"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.directorySize = 10; }), "a.txt",
                    "<broken>", "a directory size too small for the count"});
    EXPECT_EQ(pak::DirectoryBytes(two, Options(version)).size(), 58u);
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.directorySize = 57; }), "a.txt",
                    "<broken>", "a directory size one byte short: inflate runs out of room"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.directorySize = 0xFFFFFFFFu; }),
                    "a.txt", "<broken>", "a directory size no packed size can give: refused"});
    rows.push_back({Written(version, two,
                            [](pak::WriteOptions& o) { o.packedDirectorySize = 0x7FFFFFF0u; }),
                    "a.txt", "<broken>", "a packed directory past the end of the file"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.packedDirectorySize = 0; }),
                    "a.txt", "<broken>", "a packed directory of 0 bytes"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.packedDirectorySize = 20; }),
                    "a.txt", "<broken>", "a packed directory shorter than its stream"});
    rows.push_back({Written(version, two,
                            [](pak::WriteOptions& o) { o.rawPackedDirectory = std::string(40, 'x'); }),
                    "a.txt", "<broken>", "a packed directory that is no zlib stream"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.entryCount = 0; }), "a.txt",
                    "from z", "no entries: nothing matches"});
    rows.push_back({Written(version, two, [](pak::WriteOptions& o) { o.entryCount = 1; }), "a.txt",
                    kvfix::Pattern(40), "fewer entries than records: the rest is never read"});
  }
  rows.push_back({Written(0, {Entry("a", "a")}, [](pak::WriteOptions& o) { o.entryCount = 1000; }), "a",
                  "<broken>", "version 0: more entries than the file can hold"});
  rows.push_back({Written(0, {Entry("a", "a")}, [](pak::WriteOptions& o) { o.entryCount = 2; }), "zzz",
                  "<broken>", "version 0: the second record runs past the file"});
  RunRows(rows);
}

TEST(ArchiveBroken, NamesRunningPastTheDirectory) {
  const std::string data = "0123456789";
  const std::string good = kvfix::Record("a", 0, 10, 0, 0, 10);
  std::vector<Row> rows = {
      {kvfix::Version1(1, U32(1000) + "abc" + std::string(20, '\0'), data), "a", "<broken>",
       "a name length far past the directory"},
      {kvfix::Version1(1, U32(0xFFFFFFFFu) + std::string(40, '\0'), data), "a", "<broken>",
       "a negative name length"},
      {kvfix::Version1(1, U32(5) + "abcde" + std::string(19, '\0'), data), "a", "<broken>",
       "the name fits, its words end one byte short"},
      {kvfix::Version1(2, good + U32(30) + "a" + std::string(20, '\0'), data), "zzz", "<broken>",
       "the second record's name runs past the directory"},
      {kvfix::Version1(1, good, data), "a", data, "the same record, sound"},
      {kvfix::Version1(1, good + "junk", data), "a", data, "bytes after the records are never read"},
  };
  // Version 0: the names lie in the file itself.
  rows.push_back({U32(0) + U32(1) + U32(1000) + "abc" + std::string(12, '\0'), "a", "<broken>",
                  "version 0: a name past the end of the file"});
  rows.push_back({U32(0) + U32(1) + U32(0x80000000u) + std::string(16, '\0'), "a", "<broken>",
                  "version 0: a negative name length"});
  RunRows(rows);
}

TEST(ArchiveBroken, EntriesOutsideTheFile) {
  auto with = [](uint32_t version, pak::InputEntry e, void (*change)(pak::InputEntry&)) {
    change(e);
    return pak::WriteArchive({e}, Options(version));
  };
  const pak::InputEntry stored = Entry("s", "stored bytes");
  const pak::InputEntry packed = Entry("p", kvfix::Pattern(3000), true);
  std::vector<Row> rows;
  for (uint32_t version = 0; version <= 3; ++version) {
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.offset = 100000; }), "s", "<broken>",
                    "an entry that starts past the end"});
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.size = 13; }), "s", "<broken>",
                    "an entry that ends one byte past the end"});
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.size = 0xFFFFFFFFu; }), "s",
                    "<broken>", "a size of 2^32 - 1"});
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.offset = 0x7FFFFFF0u; }), "s",
                    "<broken>", "an entry that starts near 2^31"});
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.offset = 0xFFFFFFFFu; }), "s",
                    "<broken>", "an offset that would wrap in 32 bits"});
    // (In version 3 the key pattern of the first bytes follows the size.)
    if (version < 3) {
      rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.size = 11; }), "s", "stored byte",
                      "a shorter size is only a shorter entry"});
    }
    if (version == 0) continue;
    rows.push_back({with(version, packed, [](pak::InputEntry& e) { e.packedSize = 100000; }), "p",
                    "<broken>", "packed bytes past the end"});
    rows.push_back({with(version, packed, [](pak::InputEntry& e) { e.rawData = std::string(50, 'z'); }),
                    "p", "<broken>", "a compressed entry that is no zlib stream"});
    rows.push_back({with(version, packed, [](pak::InputEntry& e) { e.size = 2999; }), "p", "<broken>",
                    "a stream that inflates to more than size"});
    rows.push_back({with(version, stored, [](pak::InputEntry& e) { e.compressedFlag = 1; }), "s",
                    "<broken>", "a stored entry marked compressed"});
    rows.push_back({with(version, packed, [](pak::InputEntry& e) { e.size = 0x7FFF0000u; }), "p",
                    "<broken>", "a decompression bomb: refused before allocating"});
    rows.push_back({with(version, packed, [](pak::InputEntry& e) { e.size = 0x80000000u; }), "p",
                    "<broken>", "an inflated size past 2^31 - 1"});
  }
  RunRows(rows);
}

TEST(ArchiveBroken, OnlyTheMatchNeedsItsBytes) {
  kvtest::ScratchFolder scratch;
  for (uint32_t version = 0; version <= 3; ++version) {
    // a.pak's data area cut short: its record for "gone" lies past the end.
    std::string stale = pak::WriteArchive({Entry("gone", std::string(64, 'g')), Entry("kept", "k")},
                                          Options(version));
    stale.resize(stale.size() - 40);
    kvfix::Rewrite("a.pak", stale);
    kvfix::Rewrite("b.pak", pak::WriteArchive({Entry("wanted", "from b")}, Options(version)));
    EXPECT_EQ(Lookup("wanted"), "from b") << "version " << version;
    EXPECT_EQ(Lookup("gone"), "<broken>") << "version " << version << ": the match itself is checked";
  }
}

TEST(ArchiveBroken, InflatedSizeLimit) {
  kvtest::ScratchFolder scratch;
  const std::string zeros(10u << 20, '\0');
  const std::string packed = kvfix::Deflate(zeros);
  const uint64_t limit = packed.size() * pak_format::kMaxInflateRatio;
  ASSERT_GE(limit, zeros.size()) << "deflate's best ratio is within the limit";
  kvfix::Rewrite("a.pak", pak::WriteArchive({Entry("zeros", zeros, true)}, Options(3)));
  EXPECT_TRUE(Lookup("zeros") == zeros) << "a real high-ratio entry opens";

  pak::InputEntry bomb = Entry("bomb", "x");
  bomb.rawData = packed;
  bomb.compress = true;
  bomb.packedSize = static_cast<uint32_t>(packed.size());
  bomb.size = static_cast<uint32_t>(limit + 1);
  kvfix::Rewrite("a.pak", pak::WriteArchive({bomb}, Options(1)));
  EXPECT_EQ(Lookup("bomb"), "<broken>") << "one byte past what the packed size can give";
  bomb.size = static_cast<uint32_t>(zeros.size() + 100);
  kvfix::Rewrite("a.pak", pak::WriteArchive({bomb}, Options(1)));
  EXPECT_TRUE(Lookup("bomb") == zeros + std::string(100, '\0'))
      << "a stream that ends short of size: the rest reads as zeros";
}

TEST(ArchiveBroken, PassesThroughOpenAndTheArchiveIsNamed) {
  kvtest::ScratchFolder scratch;
  pak::WriteOptions o = Options(1);
  o.entryCount = 0xFFFFFFFFu;
  kvfix::Rewrite("a.pak", pak::WriteArchive({Entry("a", "a")}, o));
  std::string message;
  EXPECT_EQ(Lookup("a", &message), "<broken>");
  EXPECT_EQ(message, "アーカイブ " + scratch.Path() + "\\a.pak が壊れています。");
  EXPECT_EQ(Lookup("not there either"), "<broken>") << "every lookup that reaches it";
}

// Every byte of small archives changed in turn: whatever the reader makes
// of it, it neither crashes nor reads outside its buffers (ASan/UBSan).
TEST(ArchiveBroken, EveryByteChanged) {
  for (uint32_t version = 0; version <= 3; ++version) {
    std::vector<pak::InputEntry> entries = {Entry("a\x95\x5c", "0123456789abcdefghij"),
                                            Entry("b", SecondText(), version != 0)};
    const std::string whole = pak::WriteArchive(entries, Options(version));
    kvtest::ScratchFolder scratch;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      for (unsigned char change : {0x01, 0xFF}) {
        std::string bytes = whole;
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ change);
        kvfix::Rewrite("x.pak", bytes);
        Lookup("b");  // scans both records and opens the second
      }
    }
  }
}

}  // namespace
