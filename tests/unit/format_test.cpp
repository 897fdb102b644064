// format_test.cpp: the size estimate and bounded formatting.
#include <gtest/gtest.h>

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

}  // namespace
