// platform_test.cpp: the double-byte rules and file calls the core relies on,
// checked natively against the stand-in and under Wine against Win32.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/unit/test_support.h"

namespace {

TEST(Platform, CodePageIs932) {
  // Under Wine this needs LANG=ja_JP.UTF-8; without it every double-byte
  // case below would quietly test code page 1252 instead.
  ASSERT_EQ(plat::ActiveCodePage(), 932u);
  EXPECT_TRUE(plat::IsLeadByte(0x83));
  EXPECT_TRUE(plat::IsLeadByte(0x95));
  EXPECT_TRUE(plat::IsLeadByte(0xE0));
  EXPECT_FALSE(plat::IsLeadByte('\\'));
  EXPECT_FALSE(plat::IsLeadByte(0xB7)) << "half-width katakana are single bytes";
  EXPECT_FALSE(plat::IsLeadByte(0xA0));
  EXPECT_TRUE(plat::IsTrailByte(0x83, 0x5C));
  EXPECT_FALSE(plat::IsTrailByte(0x83, 0x00));
  EXPECT_FALSE(plat::IsTrailByte(0x83, 0x20));
}

TEST(Platform, CharNextAndPrev) {
  const char text[] = "a\x83\x5c" "b\x83";
  EXPECT_EQ(plat::NextChar(text), text + 1);
  EXPECT_EQ(plat::NextChar(text + 1), text + 3);
  EXPECT_EQ(plat::NextChar(text + 4), text + 5) << "a lead byte before the NUL";
  EXPECT_EQ(plat::NextChar(text + 5), text + 5) << "the NUL does not move";
  EXPECT_EQ(plat::PrevChar(text, text + 4), text + 3);
  EXPECT_EQ(plat::PrevChar(text, text + 3), text + 1);
  EXPECT_EQ(plat::PrevChar(text, text), text);
  const char hyo[] = "x\x95\x5c";
  EXPECT_EQ(plat::PrevChar(hyo, hyo + 3), hyo + 1) << "the last character of ...表 is 表";
}

TEST(Platform, CompareNoCase) {
  EXPECT_EQ(plat::CompareNoCase("A.pak", "a.PAK"), 0);
  EXPECT_LT(plat::CompareNoCase("A.pak", "b.pak"), 0);
  EXPECT_LT(plat::CompareNoCase("b.pak", "C.PAK"), 0);
  EXPECT_GT(plat::CompareNoCase("data2", "data10"), 0);
}

TEST(Platform, FilesFoldersAndFind) {
  kvtest::ScratchFolder scratch;
  kvtest::WriteFile("one.pak", "1");
  kvtest::WriteFile("Two.PAK", "2");
  kvtest::WriteFile("three.txt", "3");
  ASSERT_TRUE(plat::MakeDirectory("old.pak"));
  EXPECT_FALSE(plat::MakeDirectory("old.pak"));
  EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);

  EXPECT_EQ(plat::FileAttributes("old.pak") & plat::kAttrDirectory, plat::kAttrDirectory);
  EXPECT_EQ(plat::FileAttributes("one.pak") & plat::kAttrDirectory, 0u);
  EXPECT_EQ(plat::FileAttributes((scratch.Path() + "\\three.txt").c_str()) & plat::kAttrDirectory, 0u);
  EXPECT_EQ(plat::FileAttributes("missing.txt"), plat::kInvalidAttributes);
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  EXPECT_EQ(plat::FileAttributes("*.pak"), plat::kInvalidAttributes);

  plat::FileFind find;
  plat::FindData data;
  std::vector<std::string> names;
  for (bool ok = find.First((scratch.Path() + "\\*.pak").c_str(), data); ok; ok = find.Next(data)) {
    names.push_back(data.name + ((data.attributes & plat::kAttrDirectory) ? "/" : ""));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Two.PAK", "old.pak/", "one.pak"}));
  EXPECT_FALSE(find.First("*.none", data));
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);

  char cwd[1024];
  const uint32_t n = plat::CurrentDirectory(sizeof cwd, cwd);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::string(cwd, n), scratch.Path());
  EXPECT_EQ(plat::CurrentDirectory(2, cwd), n + 1) << "too small: the room needed";
  EXPECT_EQ(cwd[1], ':') << "a drive path";
}

TEST(Platform, JapaneseNamesRoundTrip) {
  kvtest::ScratchFolder scratch;
  const std::string name = "表ソ予定.txt";  // two names with trail byte 5C
  kvtest::WriteFile(name, "data");
  std::string back;
  ASSERT_TRUE(kvtest::ReadFile(scratch.Path() + "\\" + name, back));
  EXPECT_EQ(back, "data");
  plat::FileFind find;
  plat::FindData data;
  ASSERT_TRUE(find.First("*.txt", data));
  EXPECT_EQ(data.name, name) << kvtest::Hex(data.name);
}

TEST(Platform, VolumesAndVirtualMemory) {
  EXPECT_TRUE(plat::VolumeAnswers("C:\\"));
  EXPECT_FALSE(plat::VolumeAnswers("C:a"));
  void* block = plat::VirtualAllocate(10000);
  ASSERT_NE(block, nullptr);
  static_cast<char*>(block)[9999] = 1;
  EXPECT_EQ(static_cast<char*>(block)[0], 0) << "committed memory starts zeroed";
  plat::VirtualRelease(block);
  EXPECT_EQ(plat::VirtualAllocate(0), nullptr);
}

}  // namespace
