// format_test.cpp: the size estimate and bounded formatting.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "text/format.h"
#include "text/kvstring.h"

namespace {

TEST(Format, ErrorBoxText) {
  KvString s;
  s.Format("エラーが発生しました。\nCode 0x%x :%s", 5u, "abc");
  const std::string fixed = "エラーが発生しました。\nCode 0x :";
  EXPECT_EQ(std::string(s.Text()), "エラーが発生しました。\nCode 0x5 :abc");
  EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(s.Text())));
  EXPECT_EQ(s.cursor, s.Buffer());
  // 11 Japanese characters of two bytes, the fixed ASCII, 32 for %x, 3 for %s.
  EXPECT_EQ(EstimateFormat("エラーが発生しました。\nCode 0x%x :%s", 5u, "abc"),
            static_cast<int64_t>(fixed.size()) + 32 + 3);
  EXPECT_EQ(fixed.size(), 22u + 1 + 9);
}

TEST(Format, Estimates) {
  EXPECT_EQ(EstimateFormat("%s", static_cast<const char*>(nullptr)), 6);
  EXPECT_EQ(EstimateFormat("%5.2s", "abcdef"), 5);
  EXPECT_EQ(EstimateFormat("%.2s", "abcdef"), 2);
  EXPECT_EQ(EstimateFormat("%#x", 1u), 2 + 32);
  EXPECT_EQ(EstimateFormat("%%"), 1);
  EXPECT_EQ(EstimateFormat("ab%"), 2) << "a lone % at the end";
  EXPECT_EQ(EstimateFormat("ab%12"), 2) << "a % followed only by a width";
  EXPECT_EQ(EstimateFormat("%40.10d", 7), 50);
  EXPECT_EQ(EstimateFormat("%*d", 60, 7), 60);
  EXPECT_EQ(EstimateFormat("%c", 'x'), 2);
  EXPECT_EQ(EstimateFormat("%e", 1.5), 128);
  EXPECT_EQ(EstimateFormat("%f", 1.5), static_cast<int64_t>(std::strlen("1.500000")));
  // I64 consumes a 64-bit argument, so the following %s takes the right one.
  EXPECT_EQ(EstimateFormat("%I64x%s", 0x123456789ULL, "hello"), 32 + 5);
}

TEST(Format, I64MeansTheSameOnBothSides) {
  KvString s;
  s.Format("%I64x|%s|%I64u", 0x123456789abcULL, "mid", 18446744073709551615ULL);
  EXPECT_STREQ(s.Text(), "123456789abc|mid|18446744073709551615");
}

TEST(Format, NeverWritesPastItsRoom) {
  // %E is unknown to the walk; a huge width overruns any fixed estimate.
  KvString s;
  s.Format("%E|%300.2E", 1.0, 2.0);
  EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(s.Text())));
  EXPECT_GE(s.Size(), 300);
  EXPECT_GT(s.Capacity(), s.Size());
  KvString wide;
  wide.Format("%-500s|", "x");
  EXPECT_EQ(wide.Size(), 501);
}

TEST(Format, AppendFormatKeepsCursorOffset) {
  KvString s("C:\\Data");
  s.cursor = s.Buffer() + 3;
  s.AppendFormat("\\%s", "file.dat");
  EXPECT_STREQ(s.Text(), "C:\\Data\\file.dat");
  EXPECT_EQ(s.cursor - s.Buffer(), 3);
  s.AppendFormat("%s", "");
  EXPECT_STREQ(s.Text(), "C:\\Data\\file.dat");
}

TEST(Format, DoubleByteFormatText) {
  KvString s;
  s.Format("%s Version %s アップデート", "製品", "1.01");
  EXPECT_STREQ(s.Text(), "製品 Version 1.01 アップデート");
  // 表 (95 5C) before a % is one character: its trail byte is not an escape.
  s.Format("表%s", "x");
  EXPECT_STREQ(s.Text(), "表x");
}

// The size prefixes mean what the Windows runtime makes of them, on both
// builds: L, F and N are ignored (a %Ld reads an int, a %Lf a double), I alone
// is the size of a pointer, I32 an int, I64 a 64-bit integer, hh the same as h.
// Each row ends in a further argument, which comes out right only when the
// prefix took the argument the runtime takes.
TEST(Format, SizePrefixesMeanWhatTheyMeanOnWindows) {
  struct Row {
    void (*make)(KvString&);
    const char* expected;
    const char* why;
  };
  const Row rows[] = {
      {[](KvString& s) { s.Format("%Ld|%d", -1, 9); }, "-1|9", "L before d: an int"},
      {[](KvString& s) { s.Format("%Lx|%s", 0x1234, "next"); }, "1234|next", "L before x: an int"},
      {[](KvString& s) { s.Format("%Lf|%s", 1.5, "next"); }, "1.500000|next", "L before f: a double"},
      {[](KvString& s) { s.Format("%.2Lf|%d", 2.25, 7); }, "2.25|7", "L after a precision"},
      {[](KvString& s) { s.Format("%Fs|%d", "far", 3); }, "far|3", "F: a far pointer, nothing more"},
      {[](KvString& s) { s.Format("%Ns|%d", "near", 3); }, "near|3", "N: a near pointer, nothing more"},
      {[](KvString& s) { s.Format("%Fd|%Nx", 12, 0xab); }, "12|ab", "F and N before integers"},
      {[](KvString& s) { s.Format("%FLf|%s", 2.5, "next"); }, "2.500000|next", "F and L together"},
      {[](KvString& s) { s.Format("%I64d|%Ns", -3LL, "x"); }, "-3|x",
       "N in a format that also holds I64"},
      {[](KvString& s) { s.Format("%Ns|%I64x", "y", 0x123456789ULL); }, "y|123456789",
       "N before I64 in the same format"},
      {[](KvString& s) { s.Format("%I32d|%s", -3, "next"); }, "-3|next", "I32: an int"},
      {[](KvString& s) { s.Format("%Id|%s", static_cast<std::ptrdiff_t>(-3), "next"); }, "-3|next",
       "I alone: the size of a pointer"},
      {[](KvString& s) { s.Format("%Ix|%s", static_cast<std::size_t>(0xabc), "next"); }, "abc|next",
       "I alone before x"},
      {[](KvString& s) { s.Format("%hhd|%s", 70000, "next"); }, "4464|next", "hh: a short, as h"},
      {[](KvString& s) { s.Format("%hd|%s", 70000, "next"); }, "4464|next", "h: a short"},
      {[](KvString& s) { s.Format("%5Ld|%-4Ls|", 42, "ab"); }, "   42|ab  |", "L with widths"},
  };
  for (const Row& r : rows) {
    KvString s;
    r.make(s);
    EXPECT_STREQ(s.Text(), r.expected) << r.why;
    EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(s.Text()))) << r.why;
  }
  // The walk consumes the argument the prefix names, so %s gets its own.
  EXPECT_EQ(EstimateFormat("%Id%s", static_cast<std::ptrdiff_t>(5), "hello"), 32 + 5);
  EXPECT_EQ(EstimateFormat("%Lf", 1.5), static_cast<int64_t>(std::strlen("1.500000")));
}

// A width or precision that no string could hold is refused before anything
// is sized, allocated or handed to the runtime: the string keeps its text.
// A precision of a text only shortens it and is taken as it is.
TEST(Format, FieldsBeyondAnyStringAreRefused) {
  struct Row {
    void (*make)(KvString&);
    int64_t (*estimate)();
    const char* why;
  };
  const Row rows[] = {
      {[](KvString& s) { s.AppendFormat("%3000000000d", 5); },
       [] { return EstimateFormat("%3000000000d", 5); }, "a width beyond an int"},
      {[](KvString& s) { s.AppendFormat("%99999999999999999999d", 5); },
       [] { return EstimateFormat("%99999999999999999999d", 5); }, "a width beyond 64 bits"},
      {[](KvString& s) { s.AppendFormat("%.2147483647f", 1.0); },
       [] { return EstimateFormat("%.2147483647f", 1.0); }, "the largest int precision for f"},
      {[](KvString& s) { s.AppendFormat("%*d", INT_MIN, 5); },
       [] { return EstimateFormat("%*d", INT_MIN, 5); }, "a * width of INT_MIN"},
      {[](KvString& s) { s.AppendFormat("%*d", INT_MAX, 5); },
       [] { return EstimateFormat("%*d", INT_MAX, 5); }, "a * width of INT_MAX"},
      {[](KvString& s) { s.AppendFormat("%.*f", INT_MAX, 1.0); },
       [] { return EstimateFormat("%.*f", INT_MAX, 1.0); }, "a * precision of INT_MAX for f"},
      {[](KvString& s) { s.AppendFormat("%.*x", 100000000, 1u); },
       [] { return EstimateFormat("%.*x", 100000000, 1u); }, "a hundred million digits"},
      {[](KvString& s) { s.AppendFormat("%2000000s", "x"); },
       [] { return EstimateFormat("%2000000s", "x"); }, "a text padded to two million"},
      {[](KvString& s) { s.AppendFormat("%.3000000000s", "x"); },
       [] { return EstimateFormat("%.3000000000s", "x"); }, "a text precision beyond an int"},
  };
  for (const Row& r : rows) {
    KvString s("keep");
    r.make(s);
    EXPECT_STREQ(s.Text(), "keep") << r.why;
    EXPECT_EQ(s.Size(), 4) << r.why;
    EXPECT_EQ(r.estimate(), -1) << r.why;
  }
  KvString s;
  s.Format("%.*s|%.3000000s", 5000000, "abc", "de");
  EXPECT_STREQ(s.Text(), "abc|de") << "a text precision only shortens, however large";
  s.Format("%*d|", -3, 7);
  EXPECT_STREQ(s.Text(), "7  |") << "a negative * width: left-aligned";
  // A negative * precision counts as none in the size estimate; what the
  // runtime writes for it differs between the two runtimes, but the text and
  // its length stay in step.
  s.Format("%.*f", INT_MIN, 1.5);
  EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(s.Text())));
  s.Format("%1000d", 1);
  EXPECT_EQ(s.Size(), 1000) << "an ordinary wide field";
}

// The arguments, and the format itself, may lie in the string's own text:
// the old text stays until the runtime has read it, also when the output
// needs a bigger buffer.
TEST(Format, ArgumentsInsideTheStringsOwnText) {
  KvString s("abc");
  s.AppendFormat("|%s|%s", s.Text(), s.Buffer() + 1);
  EXPECT_STREQ(s.Text(), "abc|abc|bc");
  KvString big(std::string(60, 'x').c_str());
  big.AppendFormat("%s%s", big.Text(), big.Text());  // 180 bytes: a new buffer
  EXPECT_EQ(std::string(big.Text()), std::string(180, 'x'));
  EXPECT_EQ(big.Size(), 180);
  KvString own("<abc>");
  own.Format("[%s]", own.Text());  // Format empties the string first
  EXPECT_STREQ(own.Text(), "[<abc>]");
  KvString fmt("%s-%s");
  fmt.AppendFormat(fmt.Text(), "1", "2");
  EXPECT_STREQ(fmt.Text(), "%s-%s1-2");
  KvString path("C:\\Data");
  path.cursor = path.Buffer() + 3;
  path.AppendFormat("\\%s%s", path.cursor, std::string(100, 'y').c_str());
  EXPECT_EQ(std::string(path.Text()), "C:\\Data\\Data" + std::string(100, 'y'));
  EXPECT_EQ(path.cursor - path.Buffer(), 3) << "the cursor keeps its offset in the new buffer";
}

}  // namespace
