// archive_file_test.cpp: KvArchive over loose files and memory blocks, the
// open modes, the wildcard rule, the Abort/Retry/Ignore prompt, QuietOpen,
// KvVirtualBlock, and the records' defaults.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/kvpath.h"
#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "tests/unit/archive_fixtures.h"
#include "tests/unit/test_support.h"
#include "text/exceptions.h"

namespace {

using kvfix::ReadAll;

constexpr unsigned kPromptStyle = plat::kMbAbortRetryIgnore | plat::kMbTopmost;

TEST(ArchiveRecords, Defaults) {
  KvArchiveEntry e;
  EXPECT_TRUE(e.name.IsEmpty());
  EXPECT_EQ(e.name.Buffer(), nullptr);
  EXPECT_EQ(e.offset, 0u);
  EXPECT_EQ(e.size, 0u);
  EXPECT_EQ(e.compressed, 0u);
  EXPECT_EQ(e.packedSize, 0u);
  EXPECT_EQ(e.header.version, 3u);
  EXPECT_EQ(e.header.entryCount, 0u);
  EXPECT_EQ(e.header.directorySize, 0u);
  EXPECT_EQ(e.header.packedDirectorySize, 0u);
  EXPECT_EQ(e.header.directoryKey, 0u);
  for (unsigned char b : e.header.keyBlock) EXPECT_EQ(b, 0);
}

TEST(ArchiveRecords, EncryptionTableMadeOnce) {
  KvArchive a;
  IEncryption* first = EncryptionTable().at(0);
  KvArchive b;
  ASSERT_EQ(EncryptionTable().size(), 2u);
  EXPECT_EQ(EncryptionTable()[0], first);
  EXPECT_NE(dynamic_cast<KvNoEncryption*>(EncryptionTable()[0]), nullptr);
  EXPECT_NE(dynamic_cast<KvXorEncryption*>(EncryptionTable()[1]), nullptr);
}

TEST(ArchiveRecords, HeaderCopiedWhole) {
  KvArchiveHeader h;
  h.version = 2;
  h.entryCount = 5;
  h.keyBlock[255] = 0x5C;
  KvArchiveEntry e;
  e.header = h;
  EXPECT_EQ(e.header.version, 2u);
  EXPECT_EQ(e.header.entryCount, 5u);
  EXPECT_EQ(e.header.keyBlock[255], 0x5C);
}

TEST(ArchiveFile, NewObjectIsClosed) {
  KvArchive f;
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.GetSize(), 0u);
  char b[4];
  EXPECT_EQ(f.Read(4, b), 0u);
  f.Seek(3);  // nothing happens
  EXPECT_EQ(f.GetPosition(), 0);
  f.Close();
}

TEST(ArchiveFile, ReadPlainFileWithForwardSlashes) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("sub");
  kvfix::Rewrite("sub\\a.txt", "hello world");
  KvArchive f;
  ASSERT_TRUE(f.Open("sub/a.txt", OpenRead));
  EXPECT_STREQ(f.GetPath().Text(), "sub\\a.txt") << "the path field holds backslashes";
  EXPECT_FALSE(f.InArchive());
  EXPECT_FALSE(f.InMemory());
  EXPECT_EQ(f.GetSize(), 11u);
  EXPECT_EQ(ReadAll(f), "hello world");
  EXPECT_EQ(f.GetPosition(), 11);
}

// Sizes past 2 and 4 GiB, measured alike by the 32- and 64-bit builds
// (through a 32-bit long the first would not measure and the last would
// measure 5). The files are sparse: a head, a hole, a tail.
TEST(ArchiveFile, SizeOfFilesPastTwoAndFourGiB) {
  struct Case {
    uint64_t size;
    uint32_t expected;
    const char* why;
  };
  const Case cases[] = {
      {(1ull << 31) + 5, 0x80000005u, "past 2 GiB"},
      {3ull << 30, 0xC0000000u, "3 GiB"},
      {(1ull << 32) - 1, 0xFFFFFFFFu, "the largest size 32 bits hold"},
      {(1ull << 32) + 5, 0xFFFFFFFFu, "past 4 GiB: the largest 32-bit size, all that 32-bit offsets reach"},
  };
  kvtest::ScratchFolder scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::FILE* out = plat::OpenStream("big.bin", "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite("head", 1, 4, out), 4u);
    ASSERT_TRUE(plat::SeekStream(out, static_cast<int64_t>(c.size) - 5, SEEK_SET));
    ASSERT_EQ(std::fwrite("tail!", 1, 5, out), 5u);
    ASSERT_EQ(std::fclose(out), 0);

    KvArchive f;
    ASSERT_TRUE(f.Open("big.bin", OpenRead));
    char b[8] = {};
    ASSERT_EQ(f.Read(4, b), 4u);
    EXPECT_EQ(std::string(b, 4), "head");
    EXPECT_EQ(f.GetSize(), c.expected);
    EXPECT_EQ(f.GetPosition(), 4) << "measuring keeps the position";
    const uint64_t left = c.size - 4;
    EXPECT_EQ(f.GetRemaining(), left > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(left));
    ASSERT_EQ(f.Read(2, b), 2u) << "the next read goes on where it was";
    EXPECT_EQ(std::string(b, 2), std::string(2, '\0'));
    f.Close();
    ASSERT_TRUE(plat::RemoveFile("big.bin"));
  }
}

TEST(ArchiveFile, SizeSeekAndReadOfPlainFile) {
  kvtest::ScratchFolder scratch;
  const std::string bytes = kvfix::Pattern(300);
  kvfix::Rewrite("p.bin", bytes);
  KvArchive f;
  ASSERT_TRUE(f.Open("p.bin", OpenRead));
  char b[200];
  ASSERT_EQ(f.Read(150, b), 150u);
  EXPECT_EQ(f.GetSize(), 300u) << "the whole length, half-way through";
  EXPECT_EQ(f.GetPosition(), 150);
  ASSERT_EQ(f.Read(10, b), 10u) << "the next read goes on where it was";
  EXPECT_EQ(std::string(b, 10), bytes.substr(150, 10));
  EXPECT_EQ(f.Read(0, b), 0u);
  EXPECT_EQ(f.GetPosition(), 160) << "a read of 0 leaves the position";
  f.Seek(5);
  EXPECT_EQ(f.GetPosition(), 5);
  ASSERT_EQ(f.Read(3, b), 3u);
  EXPECT_EQ(std::string(b, 3), bytes.substr(5, 3));
  f.Seek(290);
  EXPECT_EQ(f.Read(200, b), 10u) << "a plain file delivers what it has";
  EXPECT_EQ(f.Read(200, b), 0u);
}

TEST(ArchiveFile, ReopenAndOwnPath) {
  kvtest::ScratchFolder scratch;
  kvfix::Rewrite("one.txt", "1");
  kvfix::Rewrite("two.txt", "22");
  KvArchive f;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(f.Open("one.txt", OpenRead));
    EXPECT_EQ(ReadAll(f), "1");
    ASSERT_TRUE(f.Open("two.txt", OpenRead));
    EXPECT_EQ(f.GetPosition(), 0);
    EXPECT_EQ(ReadAll(f), "22");
  }
  // The object's own path as the argument: Close empties it, Open keeps a copy.
  ASSERT_TRUE(f.Open(f.GetPath().Text(), OpenRead));
  EXPECT_EQ(ReadAll(f), "22");
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.GetPath().IsEmpty());
}

TEST(ArchiveFile, WriteModesMakeFolders) {
  kvtest::ScratchFolder scratch;
  KvArchive f;
  ASSERT_TRUE(f.Open("d1\\d2\\new.txt", OpenWrite));
  EXPECT_TRUE(PathExists("d1\\d2"));
  EXPECT_EQ(f.GetSize(), 0u);
  f.Close();
  std::string bytes;
  ASSERT_TRUE(kvtest::ReadFile("d1\\d2\\new.txt", bytes));
  EXPECT_EQ(bytes, "");

  // Folder names whose second byte is 0x5C: 表 (95 5C) and ソ (83 5C).
  ASSERT_TRUE(f.Open("表\\ソ\\x.txt", OpenAppend));
  EXPECT_TRUE(PathExists("表\\ソ"));
  EXPECT_FALSE(PathExists("\x95")) << "no folder cut at the trail byte";
  f.Close();

  kvfix::Rewrite("keep.txt", "kept");
  ASSERT_TRUE(f.Open("keep.txt", OpenAppend));
  EXPECT_EQ(f.GetSize(), 4u) << "append keeps the contents";
  f.Close();
  ASSERT_TRUE(f.Open("keep.txt", OpenWrite));
  EXPECT_EQ(f.GetSize(), 0u) << "write truncates";
  f.Close();
  ASSERT_TRUE(f.Open("d3/d4/slashed.txt", OpenWrite | OpenNoSearchPath));
  EXPECT_TRUE(PathExists("d3\\d4\\slashed.txt"));
  f.Close();
  kvfix::Rewrite("three.txt", "333");
  ASSERT_TRUE(f.Open("three.txt", 3)) << "mode 3 reads like 0";
  EXPECT_EQ(ReadAll(f), "333");
}

TEST(ArchiveFile, PromptIgnoreRetryAbort) {
  kvtest::ScratchFolder scratch;
  kvtest::ScopedValue<bool> loud(QuietOpen, false);
  {
    kvtest::PromptAnswers answers({plat::kIdIgnore});
    KvArchive f;
    EXPECT_FALSE(f.Open("missing.txt", OpenRead));
    ASSERT_EQ(answers.Boxes().size(), 1u);
    EXPECT_EQ(answers.Boxes()[0].text, "ファイル missing.txt が開けません。");
    EXPECT_EQ(answers.Boxes()[0].caption, "ファイルエラー");
    EXPECT_EQ(answers.Boxes()[0].style, kPromptStyle);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetPosition(), 0);
    EXPECT_EQ(f.GetSize(), 0u);
    char b[4];
    EXPECT_EQ(f.Read(4, b), 0u);
  }
  {
    kvtest::PromptAnswers answers({plat::kIdRetry, plat::kIdRetry, plat::kIdIgnore});
    KvArchive f;
    EXPECT_FALSE(f.Open("missing/x.txt", OpenRead));
    ASSERT_EQ(answers.Boxes().size(), 3u) << "one box per attempt";
    EXPECT_EQ(answers.Boxes()[2].text, "ファイル missing/x.txt が開けません。")
        << "the caller's path, as passed";
  }
  {
    kvtest::PromptAnswers answers({plat::kIdAbort});
    KvArchive f;
    try {
      f.Open("gone.txt", OpenRead);
      ADD_FAILURE() << "Abort raises";
    } catch (const KvErrorException& e) {
      EXPECT_STREQ(e.message.Text(), "ファイル gone.txt が開けませんでした。");
    }
    EXPECT_EQ(answers.Boxes().size(), 1u);
  }
}

// The error box shows the code the failed open left behind, not what the
// prompt box itself left (a real message box resets the last error).
TEST(ArchiveFile, AbortCarriesTheErrorCodeOfTheFailedOpen) {
  kvtest::ScratchFolder scratch;
  kvtest::ScopedValue<bool> loud(QuietOpen, false);
  uint32_t beforeBox = 0;
  kvtest::ScopedMessageHandler handler([&beforeBox](const char*, const char*, unsigned) {
    beforeBox = plat::LastError();
    plat::SetLastErrorCode(0);
    return plat::kIdAbort;
  });
  KvArchive f;
  uint32_t code = 0;
  try {
    f.Open("gone.txt", OpenRead);
  } catch (const KvErrorException& e) {
    code = e.code;
  }
  EXPECT_NE(beforeBox, 0u);
  EXPECT_EQ(code, beforeBox);
}

TEST(ArchiveFile, RetryFindsTheFileThatAppeared) {
  kvtest::ScratchFolder scratch;
  kvtest::ScopedValue<bool> loud(QuietOpen, false);
  int boxes = 0;
  kvtest::ScopedMessageHandler handler([&boxes](const char*, const char*, unsigned) {
    ++boxes;
    kvfix::Rewrite("late.txt", "late");
    return plat::kIdRetry;
  });
  KvArchive f;
  ASSERT_TRUE(f.Open("late.txt", OpenRead));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(ReadAll(f), "late");
}

// A wildcard name that matches nothing brings up the box with the name as
// the caller wrote it, the "*" included; Retry runs the whole search again,
// the wildcard included, so a file that appeared meanwhile (on disk, or as
// an entry of an archive, found by the text before the "*") is opened.
TEST(ArchiveFile, RetryWithAWildcardName) {
  kvtest::ScratchFolder scratch;
  kvtest::ScopedValue<bool> loud(QuietOpen, false);
  plat::MakeDirectory("sub");
  struct Row {
    void (*appear)();  // what the user does while the box is up
    const char* contents;
    const char* why;
  };
  const Row rows[] = {
      {[] { kvfix::Rewrite("sub\\late.txt", "on disk"); }, "on disk", "a file matching the pattern"},
      {[] {
         kvfix::Rewrite("late.pak",
                        pak::WriteArchive({kvfix::Entry("sub\\later", "in a pak")}, kvfix::Options(3)));
       },
       "in a pak", "an archive entry starting with the text before the *"},
  };
  for (const Row& r : rows) {
    int boxes = 0;
    std::string shown;
    kvtest::ScopedMessageHandler handler([&](const char* text, const char*, unsigned) {
      shown = text;
      if (++boxes == 2) r.appear();
      return boxes < 3 ? plat::kIdRetry : plat::kIdIgnore;
    });
    KvArchive f;
    ASSERT_TRUE(f.Open("sub/*", OpenRead)) << r.why;
    EXPECT_EQ(boxes, 2) << r.why << ": a box per failed attempt, then the retry found it";
    EXPECT_EQ(shown, "ファイル sub/* が開けません。") << r.why;
    EXPECT_EQ(ReadAll(f), r.contents) << r.why;
    f.Close();
    kvtest::RemoveTree("sub");
    plat::MakeDirectory("sub");
    plat::RemoveFile("late.pak");
  }
  int boxes = 0;
  kvtest::ScopedMessageHandler handler([&boxes](const char*, const char*, unsigned) {
    return ++boxes < 3 ? plat::kIdRetry : plat::kIdIgnore;
  });
  KvArchive f;
  EXPECT_FALSE(f.Open("sub\\*.none", OpenRead));
  EXPECT_EQ(boxes, 3) << "Retry, Retry, Ignore: three attempts, then the open fails";
  EXPECT_FALSE(f.IsOpen());
}

TEST(ArchiveFile, QuietOpen) {
  kvtest::ScratchFolder scratch;
  kvtest::PromptAnswers answers({plat::kIdAbort});
  kvtest::ScopedValue<bool> quiet(QuietOpen, true);
  KvArchive f;
  EXPECT_FALSE(f.Open("missing.txt", OpenRead));
  EXPECT_FALSE(f.Open("missing.txt", 3));
  EXPECT_TRUE(f.Open("made.txt", OpenWrite)) << "write modes create the file";
  EXPECT_TRUE(answers.Boxes().empty());
}

TEST(ArchiveFile, FolderIsNoFile) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("folder");
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  KvArchive f;
  EXPECT_FALSE(f.Open("folder", OpenRead));
  EXPECT_EQ(answers.Boxes().size(), 1u);
}

TEST(ArchiveFile, Wildcard) {
  kvtest::ScratchFolder scratch;
  plat::MakeDirectory("wild");
  plat::MakeDirectory("wild\\w0.dat");  // a folder that matches: passed over
  kvfix::Rewrite("wild\\w1.dat", "w1.dat");
  kvfix::Rewrite("wild\\w2.dat", "w2.dat");
  kvfix::Rewrite("wild\\other.txt", "other");
  struct Row { const char* pattern; const char* folder; const char* why; };
  const Row rows[] = {
      {"wild\\w*.dat", "wild\\", "backslashes"},
      {"wild/w*.dat", "wild\\", "forward slashes become backslashes"},
      {"wild\\W*", "wild\\", "the search ignores case"},
  };
  for (const Row& r : rows) {
    KvArchive f;
    ASSERT_TRUE(f.Open(r.pattern, OpenRead)) << r.why;
    const std::string path = f.GetPath().Text();
    // The first non-folder match in the platform's order: either file.
    ASSERT_TRUE(path == std::string(r.folder) + "w1.dat" || path == std::string(r.folder) + "w2.dat")
        << path << " " << r.why;
    EXPECT_EQ(ReadAll(f), path.substr(std::strlen(r.folder))) << r.why;
    EXPECT_FALSE(f.InArchive());
  }

  // Without a backslash the match is opened relative to the current folder.
  kvfix::Rewrite("here1.txt", "here1.txt");
  KvArchive f;
  ASSERT_TRUE(f.Open("here*.txt", OpenRead));
  EXPECT_STREQ(f.GetPath().Text(), "here1.txt");
  EXPECT_EQ(ReadAll(f), "here1.txt");

  // No disk match and no archive: the prompt, then nothing.
  kvtest::PromptAnswers answers({plat::kIdIgnore});
  EXPECT_FALSE(f.Open("wild\\zz*", OpenRead));
  EXPECT_EQ(answers.Boxes().size(), 1u);
}

TEST(ArchiveFile, MemoryBlock) {
  const std::string bytes = "0123456789";
  std::vector<char> block(bytes.begin(), bytes.end());  // exactly sized: ASan sees any overrun
  KvArchive f;
  f.OpenMemory(block.data(), static_cast<uint32_t>(block.size()));
  EXPECT_TRUE(f.IsOpen());
  EXPECT_TRUE(f.InMemory());
  EXPECT_FALSE(f.InArchive());
  EXPECT_EQ(f.GetSize(), 10u);
  EXPECT_EQ(f.GetRemaining(), 10u);
  char b[64];
  ASSERT_EQ(f.Read(4, b), 4u);
  EXPECT_EQ(std::string(b, 4), "0123");
  EXPECT_EQ(f.GetRemaining(), 6u);
  ASSERT_EQ(f.Read(100, b), 6u) << "a read stops at the block's end";
  EXPECT_EQ(std::string(b, 6), "456789");
  EXPECT_EQ(f.Read(1, b), 0u);
  EXPECT_EQ(f.GetPosition(), 10);
  f.Seek(2);
  ASSERT_EQ(f.Read(3, b), 3u);
  EXPECT_EQ(std::string(b, 3), "234");
  f.Seek(-1);
  EXPECT_EQ(f.GetPosition(), -1);
  EXPECT_EQ(f.Read(3, b), 0u) << "nothing before the block";
  f.Seek(20);
  EXPECT_EQ(f.Read(3, b), 0u) << "nothing after it";
  EXPECT_EQ(f.GetRemaining(), 0u);
  f.Seek(9);
  EXPECT_EQ(f.Read(3, b), 1u);
  f.Close();  // the block is not the object's: it stays
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(block[0], '0');

  f.OpenMemory(nullptr, 0);
  EXPECT_EQ(f.GetSize(), 0u);
  EXPECT_EQ(f.Read(1, b), 0u);
}

TEST(ArchiveFile, VirtualBlock) {
  KvVirtualBlock block;
  EXPECT_EQ(block.address, nullptr);
  ASSERT_TRUE(block.Allocate(100000));
  EXPECT_EQ(block.size, 100000u);
  auto* bytes = static_cast<unsigned char*>(block.address);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[99999], 0);
  bytes[99999] = 7;
  block.Release();
  EXPECT_EQ(block.address, nullptr);
  EXPECT_EQ(block.size, 0u);
  EXPECT_FALSE(block.Allocate(0)) << "a region of 0 bytes cannot be had";
  EXPECT_EQ(block.size, 0u);
  ASSERT_TRUE(block.Allocate(10));  // released by the destructor
}

}  // namespace
