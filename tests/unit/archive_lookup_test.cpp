// archive_lookup_test.cpp: Open and OpenFromPaks over archives made by
// pak_writer (and by hand where the bytes must be exact): every version,
// stored and compressed entries, version-3 keys and the tail rule, split
// reads, the candidate order, prefix matching, precedence, and files that
// are not paks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/kvpath.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "tests/unit/archive_fixtures.h"
#include "tests/unit/test_support.h"
#include "text/exceptions.h"
#include "archive/pak_writer.h"

namespace {

using kvfix::Entry;
using kvfix::Options;
using kvfix::ReadAll;
using kvfix::U32;

void WritePak(const std::string& path, const std::vector<pak::InputEntry>& entries,
              const pak::WriteOptions& options) {
  kvfix::Rewrite(path, pak::WriteArchive(entries, options));
}

// Opens name through Open (mode 0) with prompts answered Ignore; the
// contents read whole, or "<none>".
std::string OpenAndRead(KvArchive& f, const char* name, uint32_t mode = OpenRead) {
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  if (!f.Open(name, mode)) return "<none>";
  return ReadAll(f);
}

std::string OpenAndRead(const char* name) {
  KvArchive f;
  return OpenAndRead(f, name);
}

TEST(ArchiveLookup, EveryVersionStoredAndCompressed) {
  const std::size_t sizes[] = {0, 1, 3, 5, 15, 16, 17, 100, 5000, 70000};
  for (uint32_t version = 0; version <= 3; ++version) {
    for (bool compress : {false, true}) {
      if (version == 0 && compress) continue;
      kvtest::ScratchFolder scratch;
      std::vector<pak::InputEntry> entries;
      for (std::size_t i = 0; i < std::size(sizes); ++i) {
        entries.push_back(Entry("e" + std::to_string(i) + ".bin", kvfix::Pattern(sizes[i], unsigned(i)),
                                compress));
      }
      WritePak("a.pak", entries, Options(version));
      for (const pak::InputEntry& e : entries) {
        KvArchive f;
        kvtest::PromptAnswers answers({plat::kIdIgnore});
        ASSERT_TRUE(f.Open(e.name.c_str(), OpenRead)) << version << " " << e.name;
        EXPECT_TRUE(f.InArchive());
        EXPECT_EQ(f.InMemory(), compress);
        EXPECT_EQ(f.GetPosition(), 0);
        EXPECT_EQ(f.GetSize(), e.bytes.size());
        EXPECT_EQ(f.GetEntry().header.version, version);
        EXPECT_EQ(kvtest::Hex(ReadAll(f)), kvtest::Hex(e.bytes))
            << "version " << version << (compress ? " compressed " : " stored ") << e.name;
        EXPECT_TRUE(f.IsOpen()) << "the archive file stays open";
        char b[4];
        EXPECT_EQ(f.Read(4, b), 0u) << "a read stops at the entry's end";
      }
    }
  }
}

TEST(ArchiveLookup, Version3KeyBlocks) {
  struct Row { std::string keyBlock; uint32_t directoryKey; const char* why; };
  const Row rows[] = {
      {"abc", 0x11223344u, "a zero byte after three"},
      {std::string("\0xyz", 4), 0x99u, "first byte zero: K = 0"},
      {std::string(256, '\x95'), 0, "no zero byte at all, directory key 0"},
      {std::string("abc\0\x01\x02", 6), 7, "bytes after the zero do not count"},
      {"", 0, "all zero"},
  };
  for (const Row& r : rows) {
    kvtest::ScratchFolder scratch;
    const std::vector<pak::InputEntry> entries = {Entry("s.txt", kvfix::Pattern(40)),
                                                  Entry("c.txt", kvfix::Pattern(400), true)};
    WritePak("k.pak", entries, Options(3, r.keyBlock, r.directoryKey));
    EXPECT_EQ(OpenAndRead("s.txt"), entries[0].bytes) << r.why;
    EXPECT_EQ(OpenAndRead("c.txt"), entries[1].bytes) << r.why;
  }
}

// The tail rule by hand: the archive's bytes are written here, not by the
// writer, so the reader is checked against the format, not against itself.
TEST(ArchiveLookup, Version3TailRuleByHand) {
  struct Row { std::string name; uint32_t key; std::string plain; };
  const Row rows[] = {
      {"abc", 0x001BFC86u, "HELLO"},
      {"\x81", 0xFFFFFF81u, "HELLO"},
      {"abc", 0x001BFC86u, "ABCDEFGHIJKLMNOPQRSTU"},
      {"abc", 0x001BFC86u, "AB"},
      {"abc", 0x001BFC86u, "ABC"},
      {"abc", 0x001BFC86u, "A"},
  };
  for (const Row& r : rows) {
    const unsigned char k[4] = {static_cast<unsigned char>(r.key), static_cast<unsigned char>(r.key >> 8),
                                static_cast<unsigned char>(r.key >> 16),
                                static_cast<unsigned char>(r.key >> 24)};
    const std::size_t n = r.plain.size() < 16 ? r.plain.size() : 16;
    const std::size_t body = n & ~std::size_t{3};
    std::string stored = r.plain;
    for (std::size_t j = 0; j < n; ++j) {
      // Whole words take k0..k3; the tail r = 1: k1; r = 2: k0 k1; r = 3: k3 k0 k1.
      const std::size_t index = j < body ? j % 4 : (j + 4 - n + 2) % 4;
      stored[j] = static_cast<char>(stored[j] ^ k[index]);
    }
    if (r.plain == "HELLO") {
      EXPECT_EQ(static_cast<unsigned char>(stored[4]), static_cast<unsigned char>('O' ^ k[1]))
          << "byte 4 of a 5-byte entry takes k1";
    }
    kvtest::ScratchFolder scratch;
    const std::string directory = kvfix::Record(r.name, 0, static_cast<uint32_t>(stored.size()), 0, 0,
                                                static_cast<uint32_t>(stored.size()), r.key);
    const std::string packed = kvfix::Deflate(directory);
    const std::string archive = U32(3) + std::string(256, '\0') + U32(0) +
                                U32(static_cast<uint32_t>(directory.size())) + U32(1) +
                                U32(static_cast<uint32_t>(packed.size())) + packed + stored;
    kvfix::Rewrite("t.pak", archive);
    EXPECT_EQ(kvtest::Hex(OpenAndRead(r.name.c_str())), kvtest::Hex(r.plain)) << r.plain;
  }
}

TEST(ArchiveLookup, SplitReadsEqualAWholeRead) {
  kvtest::ScratchFolder scratch;
  std::vector<pak::InputEntry> entries;
  for (std::size_t size = 1; size <= 40; ++size) {
    entries.push_back(Entry("n" + std::to_string(size), kvfix::Pattern(size, unsigned(size))));
  }
  WritePak("split.pak", entries, Options(3));
  for (const pak::InputEntry& e : entries) {
    const std::size_t size = e.bytes.size();
    KvArchive f;
    // "n1" is shorter than "n10", so it never answers a request for n10.
    kvtest::PromptAnswers answers({plat::kIdIgnore});
    ASSERT_TRUE(f.Open(e.name.c_str(), OpenRead));
    ASSERT_EQ(f.GetEntry().name.Text(), e.name);
    const std::string whole = ReadAll(f);
    ASSERT_EQ(kvtest::Hex(whole), kvtest::Hex(e.bytes));
    for (std::size_t s = 0; s <= size; ++s) {
      f.Seek(0);
      std::string got(size, '\0');
      ASSERT_EQ(f.Read(static_cast<uint32_t>(s), &got[0]), s);
      ASSERT_EQ(f.Read(static_cast<uint32_t>(size - s), &got[s]), size - s);
      EXPECT_EQ(kvtest::Hex(got), kvtest::Hex(whole)) << e.name << " split at " << s;
    }
    if (size <= 20) {
      for (std::size_t s = 0; s <= size; ++s) {
        for (std::size_t t = s; t <= size; ++t) {
          f.Seek(0);
          std::string got(size, '\0');
          f.Read(static_cast<uint32_t>(s), &got[0]);
          f.Read(static_cast<uint32_t>(t - s), &got[s]);
          f.Read(static_cast<uint32_t>(size - t), &got[t]);
          EXPECT_EQ(got, whole) << e.name << " split at " << s << " and " << t;
        }
      }
    }
    // Byte by byte, and from a position reached by Seek.
    f.Seek(0);
    std::string bytes;
    char c;
    while (f.Read(1, &c) == 1) bytes += c;
    EXPECT_EQ(bytes, whole) << e.name << " byte by byte";
    for (std::size_t at = 0; at < size; ++at) {
      f.Seek(static_cast<int32_t>(at));
      std::string rest(size - at, '\0');
      ASSERT_EQ(f.Read(static_cast<uint32_t>(size - at + 10), &rest[0]), size - at);
      EXPECT_EQ(rest, whole.substr(at)) << e.name << " from " << at;
    }
  }
}

TEST(ArchiveLookup, ReadStopsAtTheEntrysEnd) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("first", "12345"), Entry("second", "ABCDEFGH")}, Options(1));
  KvArchive f;
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  ASSERT_TRUE(f.Open("first", OpenRead));
  char b[64] = {};
  EXPECT_EQ(f.Read(64, b), 5u) << "not the bytes of the next entry";
  EXPECT_EQ(std::string(b, 5), "12345");
  EXPECT_EQ(f.Read(64, b), 0u);
  f.Seek(-2);
  EXPECT_EQ(f.Read(64, b), 0u) << "nothing before the entry";
  f.Seek(3);
  EXPECT_EQ(f.Read(64, b), 2u);
  EXPECT_EQ(f.GetRemaining(), 0u);
}

TEST(ArchiveLookup, NamesWithTrailBytesAndEmptyNames) {
  kvtest::ScratchFolder scratch;
  const std::string so = "\x83\x5c";      // ソ
  const std::string hyo = "\x95\x5c";     // 表
  const std::vector<pak::InputEntry> entries = {
      Entry(so + "\\" + hyo + ".txt", "sohyo"),
      Entry(hyo, "hyo"),
      Entry("", "empty name"),
      Entry("sub\\x.txt", "sub x"),
      Entry("\x82\x60.txt", "fullwidth A"),  // Ａ
  };
  for (uint32_t version = 0; version <= 3; ++version) {
    WritePak("n.pak", entries, Options(version));
    struct Row { std::string request; std::string expected; const char* why; };
    const Row rows[] = {
        {so + "\\" + hyo + ".txt", "sohyo", "ソ\\表: 5C 5C across a character is not doubled"},
        {hyo, "hyo", "a name that ends in a trail byte 5C"},
        {"sub\\\\x.txt", "sub x", "a doubled backslash is collapsed"},
        {"SUB\\X.TXT", "sub x", "case"},
        {"\x82\x81.txt", "fullwidth A", "full-width ａ matches Ａ"},
        {"nothing", "<none>", "no record"},
        {"\x83", "sohyo", "a lone lead byte: a prefix of ソ"},
    };
    for (const Row& r : rows) {
      EXPECT_EQ(OpenAndRead(r.request.c_str()), r.expected) << "version " << version << ": " << r.why;
    }
    // A requested name of length 0 opens the first record.
    KvArchive f;
    ASSERT_TRUE(f.OpenFromPaks(scratch.Path().c_str(), ""));
    EXPECT_EQ(ReadAll(f), "sohyo");
  }
  // The empty name is never matched by a longer request; first record empty:
  WritePak("n.pak", {Entry("", "empty"), Entry("a", "a")}, Options(3));
  EXPECT_EQ(OpenAndRead("a"), "a");
  KvArchive f;
  ASSERT_TRUE(f.OpenFromPaks(scratch.Path().c_str(), ""));
  EXPECT_EQ(ReadAll(f), "empty");
}

TEST(ArchiveLookup, PrefixRule) {
  kvtest::ScratchFolder scratch;
  WritePak("p.pak",
           {Entry("dat", "short"), Entry("data.bin.old", "old"), Entry("data.bin", "new"),
            Entry("data.txt", "txt")},
           Options(2));
  struct Row { const char* request; const char* expected; const char* why; };
  const Row rows[] = {
      {"data.bin", "old", "the first record that begins with the name"},
      {"DATA.BIN", "old", "without regard to case"},
      {"data.t", "txt", "any prefix"},
      {"datum", "<none>", "a difference"},
      {"data.bin.older", "<none>", "a name shorter than the request never matches"},
      {"da", "short", "first in directory order"},
      {"data/bin", "<none>", "a slash is compared unchanged"},
  };
  for (const Row& r : rows) EXPECT_EQ(OpenAndRead(r.request), r.expected) << r.why;
}

TEST(ArchiveLookup, CandidateOrder) {
  kvtest::ScratchFolder scratch;
  WritePak("b.pak", {Entry("x.txt", "from b"), Entry("only-b", "b")}, Options(1));
  WritePak("A.pak", {Entry("x.txt", "from A")}, Options(3));
  WritePak("c.PAK", {Entry("x.txt", "from c"), Entry("only-c", "c")}, Options(0));
  KvArchive f;
  EXPECT_EQ(OpenAndRead(f, "x.txt"), "from A");
  const std::string path = f.GetPath().Text();
  EXPECT_EQ(path, scratch.Path() + "\\A.pak") << "the path field names the archive";
  EXPECT_EQ(OpenAndRead("only-b"), "b");
  EXPECT_EQ(OpenAndRead("only-c"), "c") << "c.PAK is a candidate too";
}

TEST(ArchiveLookup, LaterArchivesAreNotOpened) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("x.txt", "from a")}, Options(1));
  // A broken archive that sorts later: opening it would raise.
  pak::WriteOptions broken = Options(1);
  broken.rawPackedDirectory = "not a zlib stream at all";
  WritePak("b.pak", {Entry("x.txt", "from b")}, broken);
  EXPECT_EQ(OpenAndRead("x.txt"), "from a");
  KvArchive f;
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  EXPECT_THROW(f.Open("y.txt", OpenRead), KvErrorException) << "b.pak is opened for y.txt";
  EXPECT_FALSE(f.IsOpen());
}

TEST(ArchiveLookup, LooseFileWins) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("x.txt", "archived")}, Options(3));
  kvfix::Rewrite("x.txt", "loose");
  KvArchive f;
  EXPECT_EQ(OpenAndRead(f, "x.txt"), "loose");
  EXPECT_FALSE(f.InArchive());
  f.Close();  // Windows removes no file that is open
  ASSERT_TRUE(plat::RemoveFile("x.txt"));
  EXPECT_EQ(OpenAndRead(f, "x.txt"), "archived");
  EXPECT_TRUE(f.InArchive());
}

TEST(ArchiveLookup, WriteModesNeverConsultArchives) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("x.txt", "archived")}, Options(3));
  KvArchive f;
  ASSERT_TRUE(f.Open("x.txt", OpenAppend));
  EXPECT_FALSE(f.InArchive());
  EXPECT_EQ(f.GetSize(), 0u);
  f.Close();
  plat::RemoveFile("x.txt");
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  EXPECT_FALSE(f.Open("x*", OpenWrite)) << "no file to match, and no archive lookup";
}

TEST(ArchiveLookup, WildcardFallsBackToAPrefixLookup) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("readme.txt", "readme"), Entry("x1.txt", "x1")}, Options(3));
  EXPECT_EQ(OpenAndRead("x*"), "x1") << "the text before the * as a prefix";
  EXPECT_EQ(OpenAndRead("x*.txt"), "x1");
  EXPECT_EQ(OpenAndRead("re*"), "readme");
  kvfix::Rewrite("x9.txt", "loose x9");
  EXPECT_EQ(OpenAndRead("x*"), "loose x9") << "a disk match first";
}

TEST(ArchiveLookup, FolderRules) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("old.pak");  // a folder is no candidate
  plat::MakeDirectory("\x95\x5c");  // 表: its trail byte is no trailing backslash
  WritePak("\x95\x5c\\t.pak", {Entry("t.txt", "in hyo")}, Options(3));
  WritePak("z.pak", {Entry("x.txt", "z")}, Options(1));
  EXPECT_EQ(OpenAndRead("x.txt"), "z");

  KvArchive f;
  ASSERT_TRUE(f.OpenFromPaks((scratch.Path() + "\\").c_str(), "x.txt")) << "a trailing backslash";
  EXPECT_EQ(std::string(f.GetPath().Text()), scratch.Path() + "\\z.pak");
  ASSERT_TRUE(f.OpenFromPaks((scratch.Path() + "\\\x95\x5c").c_str(), "t.txt"));
  EXPECT_EQ(ReadAll(f), "in hyo");
  EXPECT_EQ(std::string(f.GetPath().Text()), scratch.Path() + "\\\x95\x5c\\t.pak");
  ASSERT_TRUE(f.OpenFromPaks("\x95\x5c", "t.txt")) << "a relative folder";

  // A folder that does not exist: false, and the object keeps its state.
  kvfix::Rewrite("plain.txt", "plain");
  ASSERT_TRUE(f.Open("plain.txt", OpenRead));
  EXPECT_FALSE(f.OpenFromPaks((scratch.Path() + "\\missing").c_str(), "x.txt"));
  EXPECT_TRUE(f.IsOpen());
  EXPECT_EQ(ReadAll(f), "plain");
  // No candidate matches: false and closed.
  EXPECT_FALSE(f.OpenFromPaks(scratch.Path().c_str(), "nothing"));
  EXPECT_FALSE(f.IsOpen());
}

#ifndef _WIN32
// Maps a drive letter onto a POSIX folder for the life of the holder.
class ScopedDriveRoot {
 public:
  ScopedDriveRoot(char letter, const std::string& posixFolder) : letter_(letter) {
    plat::SetDriveRoot(letter, posixFolder.c_str());
  }
  ~ScopedDriveRoot() { plat::SetDriveRoot(letter_, nullptr); }
  ScopedDriveRoot(const ScopedDriveRoot&) = delete;
  ScopedDriveRoot& operator=(const ScopedDriveRoot&) = delete;

 private:
  char letter_;
};

TEST(ArchiveLookup, DriveRoot) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("drive");
  WritePak("drive\\r.pak", {Entry("r.txt", "at the root")}, Options(2));
  std::string posix;
  {
    // The scratch folder's POSIX form: the Windows path after "C:".
    posix = scratch.Path().substr(2);
    for (char& c : posix) c = c == '\\' ? '/' : c;
  }
  ScopedDriveRoot drive('Q', posix + "/drive");
  KvArchive f;
  ASSERT_TRUE(f.OpenFromPaks("Q:\\", "r.txt"));
  EXPECT_STREQ(f.GetPath().Text(), "Q:\\r.pak");
  EXPECT_EQ(ReadAll(f), "at the root");
}
#endif

TEST(ArchiveLookup, SearchPaths) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("more");
  WritePak("more\\m.pak", {Entry("m.txt", "from more")}, Options(3));
  KvArchive f;
  {
    kvtest::ScopedValue<std::vector<KvString>> paths(
        SearchPaths, {KvString((scratch.Path() + "\\more").c_str())});
    EXPECT_EQ(OpenAndRead(f, "m.txt"), "from more");
    EXPECT_EQ(OpenAndRead(f, "m.txt", OpenRead | OpenNoSearchPath), "<none>");
  }
  EXPECT_EQ(OpenAndRead(f, "m.txt"), "<none>");
}

TEST(ArchiveLookup, CompressedEntryState) {
  kvtest::ScratchFolder scratch;
  const std::string text = kvfix::Pattern(3000);
  WritePak("c.pak", {Entry("c.bin", text, true)}, Options(3));
  KvArchive f;
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  ASSERT_TRUE(f.Open("c.bin", OpenRead));
  EXPECT_TRUE(f.InMemory());
  EXPECT_TRUE(f.InArchive());
  EXPECT_EQ(f.GetSize(), 3000u);
  EXPECT_EQ(f.GetEntry().compressed, 1u);
  char b[10];
  f.Seek(2990);
  ASSERT_EQ(f.Read(100, b), 10u);
  EXPECT_EQ(std::string(b, 10), text.substr(2990)) << "from memory, untransformed";
  f.Seek(0);
  ASSERT_EQ(f.Read(10, b), 10u);
  EXPECT_EQ(std::string(b, 10), text.substr(0, 10)) << "the first 16 inflated bytes are plain";
  f.Close();
  EXPECT_FALSE(f.IsOpen());
}

// Version-0 entries are read as stored whatever the object read before: a
// version-3 lookup first leaves a version-3 header in the entry record.
TEST(ArchiveLookup, Version0AfterVersion3) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("v3");
  plat::MakeDirectory("v0");
  const std::string text = "0123456789abcdefXYZ";
  WritePak("v3\\a.pak", {Entry("x.txt", "something else")}, Options(3));
  WritePak("v0\\a.pak", {Entry("x.txt", text)}, Options(0));
  KvArchive f;
  ASSERT_TRUE(f.OpenFromPaks((scratch.Path() + "\\v3").c_str(), "x.txt"));
  EXPECT_EQ(ReadAll(f), "something else");
  ASSERT_TRUE(f.OpenFromPaks((scratch.Path() + "\\v0").c_str(), "x.txt"));
  EXPECT_EQ(f.GetEntry().header.version, 0u);
  EXPECT_EQ(ReadAll(f), text);
  KvArchive fresh;  // its entry record still holds the default version 3
  ASSERT_TRUE(fresh.OpenFromPaks((scratch.Path() + "\\v0").c_str(), "x.txt"));
  EXPECT_EQ(ReadAll(fresh), text);
}

TEST(ArchiveLookup, Version0Layout) {
  kvtest::ScratchFolder scratch;
  // By hand: the offset is absolute (8 header bytes + 17 record bytes), and
  // the skipped word holds anything.
  const std::string rec = kvfix::Name("a") + U32(25) + U32(0xFFFFFFFFu) + U32(3);
  const std::string archive = U32(0) + U32(1) + rec + "xyz";
  ASSERT_EQ(archive.size(), 28u);
  kvfix::Rewrite("v.pak", archive);
  EXPECT_EQ(OpenAndRead("a"), "xyz");
  // An entry at offset 0 (its base is 0, like a plain file's): the header's
  // own bytes, read as stored and stopped at the entry's end.
  const std::string atZero = U32(0) + U32(1) + kvfix::Name("h") + U32(0) + U32(0) + U32(6);
  kvfix::Rewrite("v.pak", atZero);
  KvArchive f;
  ASSERT_TRUE(f.OpenFromPaks(".", "h"));
  EXPECT_EQ(kvtest::Hex(ReadAll(f)), kvtest::Hex(atZero.substr(0, 6)));
  f.Seek(4);
  char b[8];
  ASSERT_EQ(f.Read(8, b), 2u);
  EXPECT_EQ(std::string(b, 2), atZero.substr(4, 2));
  f.Close();
  kvfix::Rewrite("v.pak", U32(0) + U32(0));
  EXPECT_EQ(OpenAndRead("a"), "<none>") << "a version-0 archive without entries";
}

TEST(ArchiveLookup, FilesThatAreNotPaks) {
  const std::string v1 = pak::WriteArchive({Entry("q", "q")}, Options(1));
  const std::string v3 = pak::WriteArchive({Entry("q", "q")}, Options(3));
  struct Row { std::string bytes; const char* why; };
  std::vector<Row> rows = {
      {"[update]\r\nGUID=x\r\n", "a text file named x.pak"},
      {"", "an empty file"},
      {U32(4) + U32(1) + U32(24) + U32(20), "version 4"},
      {U32(0xFFFFFFFFu), "version FFFFFFFF"},
      {U32(1) + U32(3) + U32(0) + U32(0), "version 1 with entries but directory size 0"},
      {U32(2) + U32(3) + U32(0) + U32(10) + std::string(260, '\0'), "version 2 likewise"},
      {U32(1) + U32(0) + U32(0) + U32(0), "version 1, empty"},
      {U32(3) + std::string(256, '\0') + U32(0) + U32(0) + U32(0) + U32(0), "version 3, empty"},
  };
  for (std::size_t cut = 0; cut < 16; ++cut) rows.push_back({v1.substr(0, cut), "version 1 cut short"});
  for (std::size_t cut = 0; cut < 276; cut += 1 + cut % 7) {
    rows.push_back({v3.substr(0, cut), "version 3 cut short"});
  }
  rows.push_back({U32(0) + "\x01\x00", "version 0 cut short"});
  kvtest::ScratchFolder scratch;
  for (const Row& r : rows) {
    kvfix::Rewrite("x.pak", r.bytes);
    WritePak("y.pak", {Entry("q", "from y")}, Options(1));
    EXPECT_EQ(OpenAndRead("q"), "from y") << r.why << " (" << r.bytes.size() << " bytes)";
  }
}

TEST(ArchiveLookup, NoCandidateIsFalseAndClosed) {
  kvtest::ScratchFolder scratch;
  WritePak("a.pak", {Entry("a", "a")}, Options(3));
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  KvArchive f;
  EXPECT_FALSE(f.Open("b", OpenRead));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.GetSize(), 0u);
  ASSERT_EQ(answers.Boxes().size(), 1u);
  EXPECT_EQ(answers.Boxes()[0].text, "ファイル b が開けません。");
  EXPECT_STREQ(f.GetEntry().name.Text(), "a") << "the last record read stays";
}

// A candidate archive that cannot be opened (another program holds it) is
// offered to the user under its own name, not passed over for a prompt
// about the name asked for: Ignore goes on to the next archive, Retry opens
// it once it can be opened, Abort ends with the archive named; with
// QuietOpen it is passed over without a word.
TEST(ArchiveLookup, UnopenableCandidate) {
  kvtest::ScratchFolder scratch;
  const std::string a = pak::WriteArchive({Entry("x.txt", "from a")}, Options(3));
  WritePak("b.pak", {Entry("x.txt", "from b")}, Options(1));
  const std::string named = scratch.Path() + "\\a.pak";
  const std::string prompt = "ファイル " + named + " が開けません。";
  {
    SCOPED_TRACE("Ignore");
    kvtest::UnopenableFile locked("a.pak");
    kvtest::PromptAnswers answers({plat::kIdIgnore});
    KvArchive f;
    ASSERT_TRUE(f.Open("x.txt", OpenRead));
    EXPECT_EQ(ReadAll(f), "from b");
    ASSERT_EQ(answers.Boxes().size(), 1u);
    EXPECT_EQ(answers.Boxes()[0].text, prompt);
    EXPECT_EQ(answers.Boxes()[0].caption, "ファイルエラー");
    EXPECT_EQ(answers.Boxes()[0].style, plat::kMbAbortRetryIgnore | plat::kMbTopmost);
  }
  {
    SCOPED_TRACE("Retry");
    kvtest::UnopenableFile locked("a.pak");
    std::vector<std::string> boxes;
    // The other program lets go while the second prompt is up.
    kvtest::ScopedMessageHandler handler([&](const char* text, const char*, unsigned) {
      boxes.push_back(text);
      if (boxes.size() == 2) locked.Release(a);
      return boxes.size() <= 2 ? plat::kIdRetry : plat::kIdIgnore;
    });
    KvArchive f;
    ASSERT_TRUE(f.Open("x.txt", OpenRead));
    EXPECT_EQ(ReadAll(f), "from a");
    EXPECT_EQ(boxes, (std::vector<std::string>{prompt, prompt}));
  }
  {
    SCOPED_TRACE("Abort");
    kvtest::UnopenableFile locked("a.pak");
    kvtest::PromptAnswers answers({plat::kIdAbort});
    KvArchive f;
    try {
      f.Open("x.txt", OpenRead);
      ADD_FAILURE() << "Abort did not end the open";
    } catch (const KvErrorException& e) {
      EXPECT_STREQ(e.message.Text(), ("ファイル " + named + " が開けませんでした。").c_str());
      EXPECT_NE(e.code, 0u) << "the code the failed open left";
    }
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(answers.Boxes().size(), 1u);
  }
  {
    SCOPED_TRACE("QuietOpen");
    kvtest::UnopenableFile locked("a.pak");
    kvtest::ScopedValue<bool> quiet(QuietOpen, true);
    kvtest::PromptAnswers answers({plat::kIdAbort});
    KvArchive f;
    ASSERT_TRUE(f.Open("x.txt", OpenRead));
    EXPECT_EQ(ReadAll(f), "from b");
    EXPECT_TRUE(answers.Boxes().empty());
  }
}

// A compressed entry read piece by piece: the same bytes in pieces of any
// size; a stream that holds less or more than its record says, or whose
// checksum does not match, fails when the read reaches the entry's end.
TEST(ArchiveLookup, OpenRecordStreamed) {
  kvtest::ScratchFolder scratch;
  const std::string text = kvfix::Pattern(200000);
  WritePak("r.pak", {Entry("c", text, true)}, Options(3));
  KvArchive finder;
  ASSERT_TRUE(finder.OpenFromPaks(scratch.Path().c_str(), "c"));
  const KvArchiveEntry record = finder.GetEntry();
  finder.Close();
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  for (uint32_t piece : {1u, 7u, 4096u, 65536u, 300000u}) {
    KvArchive f;
    ASSERT_TRUE(f.Open("r.pak", OpenRead));
    ASSERT_TRUE(f.OpenRecord(record, true));
    EXPECT_EQ(f.GetSize(), text.size());
    std::string got;
    std::vector<char> buffer(piece);
    for (uint32_t n; (n = f.Read(piece, buffer.data())) != 0;) got.append(buffer.data(), n);
    EXPECT_EQ(got, text) << "pieces of " << piece;
  }
  struct Row {
    const char* why;
    uint32_t size;
    bool flipLast;  // a byte of the Adler-32 at the stream's end
  };
  const Row rows[] = {{"record says more than the stream holds", record.size + 1, false},
                      {"record says less than the stream holds", record.size - 1, false},
                      {"checksum does not match", record.size, true}};
  for (const Row& r : rows) {
    if (r.flipLast) {
      std::string bytes;
      ASSERT_TRUE(kvtest::ReadFile("r.pak", bytes));
      const std::size_t end = bytes.size() - 1;
      bytes[end] = static_cast<char>(bytes[end] ^ 0x01);
      kvfix::Rewrite("r.pak", bytes);
    }
    KvArchiveEntry lying = record;
    lying.size = r.size;
    KvArchive f;
    ASSERT_TRUE(f.Open("r.pak", OpenRead));
    ASSERT_TRUE(f.OpenRecord(lying, true)) << r.why;
    EXPECT_THROW(ReadAll(f), KvErrorException) << r.why;
  }
}

TEST(ArchiveLookup, OpenRecord) {
  kvtest::ScratchFolder scratch;
  WritePak("r.pak", {Entry("s", "stored bytes here"), Entry("c", kvfix::Pattern(999), true)}, Options(3));
  KvArchive finder;
  ASSERT_TRUE(finder.OpenFromPaks(scratch.Path().c_str(), "c"));
  const KvArchiveEntry record = finder.GetEntry();
  ASSERT_TRUE(finder.OpenFromPaks(scratch.Path().c_str(), "s"));
  const KvArchiveEntry stored = finder.GetEntry();
  KvArchive f;
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  ASSERT_TRUE(f.Open("r.pak", OpenRead));
  ASSERT_TRUE(f.OpenRecord(record));
  EXPECT_EQ(ReadAll(f), kvfix::Pattern(999));
  ASSERT_TRUE(f.OpenRecord(stored)) << "one entry after another on one open archive";
  EXPECT_EQ(ReadAll(f), "stored bytes here");
  ASSERT_TRUE(f.OpenRecord(record, true)) << "and back to the compressed one, streamed";
  EXPECT_EQ(ReadAll(f), kvfix::Pattern(999));
  ASSERT_TRUE(f.Open("r.pak", OpenRead));
  ASSERT_TRUE(f.OpenRecord(stored));
  EXPECT_EQ(ReadAll(f), "stored bytes here");
  KvArchiveEntry lying = stored;
  lying.size = 100000;
  ASSERT_TRUE(f.Open("r.pak", OpenRead));
  EXPECT_FALSE(f.OpenRecord(lying));
  EXPECT_FALSE(f.InArchive());
}

}  // namespace
