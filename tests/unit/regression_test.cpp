// regression_test.cpp: inputs that the fuzz targets found breaking a rule,
// one row each, kept so that the fault stays fixed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "tests/unit/archive_fixtures.h"
#include "tests/unit/test_support.h"
#include "text/kvstring.h"

namespace {

// Append and Assign of a text and a count copy exactly count bytes; when a
// NUL is among them the text ends there, and length must say so (it once
// counted every byte copied, so length and the text disagreed).
TEST(Regression, CountedAppendWithNulKeepsLengthAtTheNul) {
  struct Row {
    const char* start;   // the string before, null for a null string
    std::string bytes;   // what is appended
    int32_t count;
    std::string text;    // the text after
    const char* why;
  } rows[] = {
      {nullptr, std::string("\0", 1), 1, "", "one NUL byte onto a null string"},
      {"x", std::string("ab\0cd", 5), 5, "xab", "a NUL in the middle"},
      {"x", std::string("ab\0cd", 5), 2, "xab", "the count stops before the NUL"},
      {"", std::string("\0\0\0", 3), 3, "", "NULs only"},
  };
  for (const Row& r : rows) {
    KvString s;
    if (r.start != nullptr) s.Assign(r.start);
    const int32_t result = s.Append(r.bytes.data(), r.count);
    ASSERT_NE(s.Buffer(), nullptr) << r.why;
    EXPECT_EQ(std::string(s.Buffer()), r.text) << r.why;
    EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(s.Buffer()))) << r.why;
    EXPECT_EQ(result, s.Size()) << r.why;
    EXPECT_GT(s.Capacity(), s.Size()) << r.why;

    KvString assigned;
    assigned.Assign(r.bytes.data(), r.count);
    const std::string tail(r.bytes.c_str(), strnlen(r.bytes.data(), static_cast<std::size_t>(r.count)));
    EXPECT_EQ(assigned.Size(), static_cast<int32_t>(tail.size())) << r.why;
    EXPECT_EQ(std::string(assigned.Text()), tail) << r.why;
  }
}

// The process-wide table of transforms lives until the process ends. It was
// once a static vector whose destructor ran at exit and dropped the only
// pointers to its members, so every program that made an archive header
// ended with a leak report; the leak check at the end of this program is the
// other half of this row.
TEST(Regression, EncryptionTableOutlivesTheStaticDestructors) {
  EnsureEncryptionTable();  // what the first archive header does
  ASSERT_EQ(EncryptionTable().size(), 2u);
  EXPECT_NE(dynamic_cast<KvNoEncryption*>(EncryptionTable()[0]), nullptr);
  EXPECT_NE(dynamic_cast<KvXorEncryption*>(EncryptionTable()[1]), nullptr);
}

// A directory scan keeps one name buffer while the names fit. A name of
// exactly the buffer's capacity was once taken to fit: the string then held
// as many bytes as its capacity, which leaves no room for its zero in what
// the capacity promises. Each row is a record read after one whose name made
// a buffer of capacity 64.
TEST(Regression, RecordNameOfTheBufferCapacityGetsARoomierBuffer) {
  const std::string first = kvfix::Record(std::string(40, 'a'), 0, 0, 0, 0, 0);
  for (uint32_t n : {63u, 64u, 65u, 128u}) {
    const std::string block = first + kvfix::Record(std::string(n, 'b'), 0, 0, 0, 0, 0);
    for (bool inMemory : {true, false}) {
      kvtest::ScratchFolder scratch;
      KvArchive directory;
      if (inMemory) {
        directory.OpenMemory(block.data(), static_cast<uint32_t>(block.size()));
      } else {
        kvtest::WriteFile("dir.bin", block);
        ASSERT_TRUE(directory.Open("dir.bin", OpenRead));
      }
      KvArchiveEntry entry;
      entry.header.version = 1;
      ASSERT_TRUE(entry.ReadEntry(directory));
      ASSERT_EQ(entry.name.Capacity(), 64);
      ASSERT_TRUE(entry.ReadEntry(directory)) << n;
      EXPECT_EQ(entry.name.Size(), static_cast<int32_t>(n));
      EXPECT_GT(entry.name.Capacity(), entry.name.Size())
          << n << (inMemory ? " bytes, from memory" : " bytes, from a file");
    }
  }
}

}  // namespace
