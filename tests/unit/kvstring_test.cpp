// kvstring_test.cpp: growth, building, editing and the double-byte scans.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/test_support.h"
#include "text/exceptions.h"
#include "text/kvstring.h"

namespace {

// Shift-JIS characters whose trail byte is a backslash: ソ 83 5C, 表 95 5C.
const char kSo[] = "\x83\x5c";
const char kHyo[] = "\x95\x5c";

std::string S(const KvString& s) { return s.Buffer() ? std::string(s.Buffer()) : std::string("<null>"); }

TEST(KvString, ConstructionAndGrowthRule) {
  KvString none;
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_EQ(none.Buffer(), nullptr);
  EXPECT_EQ(none.Length(), 0);
  EXPECT_EQ(none.cursor, nullptr);
  EXPECT_EQ(none.CurrentChar(), 0u);

  KvString minusOne(-1);
  EXPECT_EQ(minusOne.Buffer(), nullptr);
  KvString zero(0);
  ASSERT_NE(zero.Buffer(), nullptr);
  EXPECT_EQ(zero.Capacity(), 64);
  EXPECT_TRUE(zero.IsEmpty());
  EXPECT_EQ(zero.cursor, zero.Buffer());

  struct { int32_t request; int32_t capacity; } rows[] = {
      {0, 64}, {63, 64}, {64, 128}, {127, 128}, {512, 576}, {1024, 1088}, {260, 320}};
  for (const auto& r : rows) {
    KvString s(r.request);
    EXPECT_EQ(s.Capacity(), r.capacity) << "reserve " << r.request;
  }

  KvString grown;
  for (int i = 0; i < 63; ++i) grown.Append("x", 1);
  EXPECT_EQ(grown.Capacity(), 64);
  grown.Append("x", 1);
  EXPECT_EQ(grown.Capacity(), 128);
  EXPECT_EQ(grown.Size(), 64);
  grown.Reserve(-5);
  grown.Reserve(10);
  EXPECT_EQ(grown.Capacity(), 128) << "buffers never shrink";
}

TEST(KvString, ReserveKeepsTextAndCursorOffset) {
  KvString s("abcdef");
  s.cursor = s.Buffer() + 4;
  s.Reserve(1000);
  EXPECT_EQ(S(s), "abcdef");
  EXPECT_EQ(s.cursor - s.Buffer(), 4);
  // Text written straight into the buffer after Reserve counts for the next append.
  std::strcpy(s.Buffer() + 6, "gh");
  s.Append("i");
  EXPECT_EQ(S(s), "abcdefghi");
  EXPECT_EQ(s.Size(), 9);
}

// Room and TakeWritten: text written straight into the buffer by another
// function (a file read, a registry value) becomes the string's text with
// its length, its NUL and the capacity rule kept.
TEST(KvString, RoomAndTakeWritten) {
  struct Row {
    const char* written;  // bytes the writer leaves, as many as `count` says
    int32_t count;
    const char* text;
    const char* why;
  };
  const Row rows[] = {
      {"abc", 3, "abc", "all the bytes written"},
      {"abcdef", 3, "abc", "fewer taken than written: the NUL goes after them"},
      {"ab\0cd", 5, "ab", "a NUL among the bytes ends the text"},
      {"", 0, "", "nothing written: an empty text with its buffer"},
      {"abc", -4, "", "a negative count takes nothing"},
  };
  for (const Row& r : rows) {
    KvString s("old text that is longer");
    char* room = s.Room(8);
    ASSERT_NE(room, nullptr) << r.why;
    std::memcpy(room, r.written, r.count > 0 ? static_cast<std::size_t>(r.count) : 0);
    s.TakeWritten(r.count);
    EXPECT_EQ(S(s), r.text) << r.why;
    EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(r.text))) << r.why;
    EXPECT_EQ(s.cursor, s.Buffer()) << r.why;
    EXPECT_GT(s.Capacity(), s.Size()) << r.why;
  }
  KvString full;
  char* room = full.Room(64);
  ASSERT_EQ(full.Capacity(), 128);
  std::memset(room, 'x', 129);  // the whole buffer, its NUL's place included
  full.TakeWritten(500);
  EXPECT_EQ(full.Size(), 128) << "a count above the capacity is held to it";
  EXPECT_EQ(full.Buffer()[128], '\0');
  KvString none;
  none.TakeWritten(3);
  EXPECT_EQ(none.Buffer(), nullptr) << "without a buffer nothing was written";
}

TEST(KvString, AppendCursorAndCountRules) {
  KvString s("hello");
  s.cursor = s.Buffer() + 2;
  EXPECT_EQ(s.Append("abc", 0), 5);
  EXPECT_EQ(s.cursor - s.Buffer(), 2) << "count 0 does nothing, not even the cursor";
  EXPECT_EQ(s.Append("abcdef", 3), 8);
  EXPECT_EQ(S(s), "helloabc");
  EXPECT_EQ(s.cursor, s.Buffer());
  s.Append("!", -1);
  EXPECT_EQ(S(s), "helloabc!");

  KvString empty;
  empty.Append("");
  ASSERT_NE(empty.Buffer(), nullptr) << "an empty text still gives a buffer";
  EXPECT_TRUE(empty.IsEmpty());

  KvString self("abcabc");
  self.Append(self.Buffer() + 3);  // a text inside the string's own buffer
  EXPECT_EQ(S(self), "abcabcabc");
  for (int i = 0; i < 5; ++i) self.Append(self.Buffer());
  EXPECT_EQ(self.Length(), 9 * 32);
}

TEST(KvString, AssignRules) {
  KvString s("abc");
  char* before = s.Buffer();
  s.Assign(s.Buffer());
  EXPECT_EQ(s.Buffer(), before) << "assigning its own data changes nothing";
  s.Assign(s.Buffer() + 1);  // a tail of its own text
  EXPECT_EQ(S(s), "bc");
  s.Assign(static_cast<const char*>(nullptr));
  EXPECT_EQ(s.Buffer(), nullptr);

  KvString room;
  room.Assign(nullptr, 100);
  ASSERT_NE(room.Buffer(), nullptr);
  EXPECT_EQ(room.Capacity(), 128);
  EXPECT_TRUE(room.IsEmpty());
  EXPECT_EQ(room.cursor, room.Buffer());
  room.Assign("xyz", 2);
  EXPECT_EQ(S(room), "xy");

  KvString copy(room);
  EXPECT_EQ(S(copy), "xy");
  EXPECT_NE(copy.Buffer(), room.Buffer());
  KvString nullCopy{KvString()};
  EXPECT_EQ(nullCopy.Buffer(), nullptr);
}

TEST(KvString, Replace) {
  struct Row { std::string text, search, replacement, expected; const char* why; };
  const Row rows[] = {
      {"a\\nb\\n", "\\n", "\n", "a\nb\n", "escape to line feed"},
      {"aaa", "aa", "b", "ba", "occurrences never overlap"},
      {std::string(kSo) + "n", "\\n", "\n", std::string(kSo) + "n", "trail byte 5C is no backslash"},
      {std::string(kHyo) + "\\n" + kHyo, "\\n", "\t", std::string(kHyo) + "\t" + kHyo, "after a DBCS char"},
      {"x;y;z", ";", "", "xyz", "empty replacement removes"},
  };
  for (const Row& r : rows) {
    KvString s(r.text.c_str());
    s.Replace(r.search.c_str(), r.replacement.c_str());
    EXPECT_EQ(S(s), r.expected) << r.why;
    EXPECT_EQ(s.cursor, s.Buffer());
    EXPECT_EQ(s.Size(), static_cast<int32_t>(r.expected.size()));
  }
  KvString removed("a--b--");
  removed.Replace("--", nullptr);
  EXPECT_EQ(S(removed), "ab");

  KvString missing(300);
  missing.Append("no match here");
  missing.cursor = missing.Buffer() + 3;
  const int32_t capacity = missing.Capacity();
  missing.Replace("zz", "y");
  EXPECT_EQ(S(missing), "no match here");
  EXPECT_EQ(missing.Capacity(), capacity);
  EXPECT_EQ(missing.cursor, missing.Buffer());
}

TEST(KvString, Delete) {
  KvString path("C:\\dir\\file");
  path.cursor = path.Buffer() + 3;
  char* at = path.Delete(0, -1);
  EXPECT_EQ(S(path), "C:\\");
  EXPECT_EQ(at, path.Buffer() + 3);

  KvString dir("dir\\");
  dir.Delete(1, dir.Length() - 1);
  EXPECT_EQ(S(dir), "dir");

  KvString shortText("abc");
  EXPECT_EQ(shortText.Delete(5, 0), nullptr);
  EXPECT_EQ(shortText.Buffer(), nullptr);

  struct Row { const char* text; int32_t count, position; const char* expected; int32_t cursor; };
  const Row rows[] = {
      {"abcdef", 2, 1, "adef", 1},
      {"abcdef", 3, 4, "abcd", 4},   // reaches past the end: cut at the position
      {"abcdef", 1, 99, "bcdef", 0}, // position out of range: the cursor (start) is used
      {"abcdef", 6, 0, "", 0},
  };
  for (const Row& r : rows) {
    KvString s(r.text);
    char* c = s.Delete(r.count, r.position);
    EXPECT_EQ(S(s), r.expected) << r.text << " " << r.count << "@" << r.position;
    EXPECT_EQ(c - s.Buffer(), r.cursor);
  }
}

TEST(KvString, CopyRange) {
  KvString s("abcdef");
  KvString out("keep");
  s.CopyRange(out, s.Buffer() + 4, s.Buffer() + 1);
  EXPECT_EQ(S(out), "bcd") << "start after end is exchanged";
  s.CopyRange(out, nullptr, s.Buffer() + 2);
  EXPECT_EQ(S(out), "ab");
  s.CopyRange(out, s.Buffer() + 2, nullptr);
  EXPECT_EQ(S(out), "cdef");
  KvString other("zzz");
  out.Assign("keep");
  s.CopyRange(out, other.Buffer(), s.Buffer() + 2);
  EXPECT_EQ(S(out), "keep") << "a position outside the text leaves out untouched";
  s.CopyRange(out, s.Buffer() + 3, s.Buffer() + 3);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(S(s), "abcdef");
}

TEST(KvString, SearchesAreDoubleByteAware) {
  // ソ\ and 表] : the trail bytes 5C must never be found as backslashes.
  const std::string text = std::string("a") + kSo + "b\\c" + kHyo + "]";
  KvString s(text.c_str());
  char* hit = s.Find('\\');
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - s.Buffer(), 4);
  EXPECT_EQ(s.cursor, hit);

  s.cursor = s.Buffer();
  hit = s.ReverseFind('\\');
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - s.Buffer(), 4) << "the last real backslash, not the trail byte of 表";

  KvString onlyTrail(kHyo);
  EXPECT_EQ(onlyTrail.Find('\\'), nullptr);
  EXPECT_EQ(onlyTrail.cursor, onlyTrail.Buffer()) << "failure leaves the cursor";
  EXPECT_EQ(onlyTrail.ReverseFind('\\'), nullptr);

  s.cursor = s.Buffer();
  hit = s.FindOneOf("]\\");
  EXPECT_EQ(hit - s.Buffer(), 4);
  s.cursor = s.Buffer();
  EXPECT_EQ(s.SkipChars("a") - s.Buffer(), 1);
  KvString blanks("\t\t ");
  EXPECT_EQ(blanks.SkipChars("\t "), nullptr);
  EXPECT_EQ(blanks.cursor, blanks.Buffer());

  KvString none;
  EXPECT_EQ(none.Find('a'), nullptr);
  EXPECT_EQ(none.FindOneOf("a"), nullptr);
  EXPECT_EQ(none.SkipChars("a"), nullptr);
}

TEST(KvString, CurrentChar) {
  KvString s((std::string(kHyo) + "x\x83").c_str());
  EXPECT_EQ(s.CurrentChar(), 0x955Cu);
  s.cursor = s.Buffer() + 2;
  EXPECT_EQ(s.CurrentChar(), static_cast<uint32_t>('x'));
  s.cursor = s.Buffer() + 3;
  EXPECT_EQ(s.CurrentChar(), 0u) << "a lead byte followed by the NUL";
  s.cursor = s.Buffer() + 4;
  EXPECT_EQ(s.CurrentChar(), 0u);
}

TEST(KvString, Tokenize) {
  KvString s(";a;;b;");
  KvString out;
  ASSERT_NE(s.Tokenize(out, ";"), nullptr);
  EXPECT_EQ(S(out), "a");
  ASSERT_NE(s.Tokenize(out, ";"), nullptr);
  EXPECT_EQ(S(out), "b");
  EXPECT_EQ(s.Tokenize(out, ";"), nullptr);
  EXPECT_EQ(S(out), "b") << "out keeps its text after the last token";

  // A trail byte 5C is not a backslash delimiter.
  const std::string path = std::string("\\") + kSo + "\\" + kHyo + "\\\\x";
  KvString p(path.c_str());
  std::vector<std::string> tokens;
  while (p.Tokenize(out, "\\") != nullptr) tokens.push_back(S(out));
  EXPECT_EQ(tokens, (std::vector<std::string>{kSo, kHyo, "x"}));

  KvString blanks("a.dat; b.dat");
  blanks.Tokenize(out, ";");
  blanks.Tokenize(out, ";");
  EXPECT_EQ(S(out), " b.dat") << "blanks belong to the items";
}

// A string that is its own Tokenize output: the token takes the place of the
// text, the returned start lies in the new text, and the next call finds no
// further token (the old text and its positions are gone).
TEST(KvString, TokenizeIntoItself) {
  KvString s(";a;;b;");
  char* token = s.Tokenize(s, ";");
  ASSERT_NE(token, nullptr);
  EXPECT_EQ(token, s.Buffer());
  EXPECT_STREQ(s.Text(), "a");
  EXPECT_EQ(s.Size(), 1);
  EXPECT_EQ(s.cursor, s.Buffer() + 1);
  EXPECT_EQ(s.Tokenize(s, ";"), nullptr);
  EXPECT_STREQ(s.Text(), "a");
  KvString path("dir\\file");
  EXPECT_STREQ(path.Tokenize(path, "\\"), "dir");
  EXPECT_STREQ(path.Text(), "dir");
}

TEST(KvString, CompareNoCaseN) {
  struct Row { const char* a; const char* b; int32_t n; bool equal; const char* why; };
  const Row rows[] = {
      {"DATA.BIN", "data.bin", 8, true, "ASCII letters in either case"},
      {"data.bin.old", "data.bin", 8, true, "only n bytes count"},
      {"dat", "data.bin", 8, false, "shorter name"},
      {"\x82\x60", "\x82\x81", 2, true, "full-width A and a"},
      {"\x83\x5c", "\x83\x7c", 2, false, "different trail bytes"},
      {"\x83\x41", "\x83\x61", 2, false, "a trail byte is no letter"},
      {"", "x", 1, false, "empty name"},
      {"abc", "xyz", 0, true, "nothing to compare"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(kvtext::CompareNoCaseN(r.a, r.b, r.n) == 0, r.equal) << r.why;
  }
}

}  // namespace
