// regression_test.cpp: inputs that the fuzz targets found breaking a rule,
// one row each, kept so that the fault stays fixed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/encryption.h"
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
    ASSERT_NE(s.data, nullptr) << r.why;
    EXPECT_EQ(std::string(s.data), r.text) << r.why;
    EXPECT_EQ(s.length, static_cast<int32_t>(std::strlen(s.data))) << r.why;
    EXPECT_EQ(result, s.length) << r.why;
    EXPECT_GT(s.capacity, s.length) << r.why;

    KvString assigned;
    assigned.Assign(r.bytes.data(), r.count);
    const std::string tail(r.bytes.c_str(), strnlen(r.bytes.data(), static_cast<std::size_t>(r.count)));
    EXPECT_EQ(assigned.length, static_cast<int32_t>(tail.size())) << r.why;
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

}  // namespace
