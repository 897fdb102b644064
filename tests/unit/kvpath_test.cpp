// kvpath_test.cpp: path tests, the directory part and folder creation.
#include <gtest/gtest.h>

#include <string>

#include "app/kvpath.h"
#include "platform/platform.h"
#include "tests/unit/test_support.h"

namespace {

TEST(KvPath, TrailingBackslashAndRooted) {
  struct Row { const char* text; bool trailing; bool rooted; };
  const Row rows[] = {
      {"C:\\Data\\", true, true},
      {"C:\\Data", false, true},
      {"", false, false},
      {"C:\\\x95\x5c", false, true},  // ends in 表, trail byte 5C
      {"\\Data", false, true},
      {"C:", false, true},
      {"Data", false, false},
      {"\x83\x5c:", false, true},     // a double-byte first character counts as one
      {"\\", true, true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HasTrailingBackslash(r.text), r.trailing) << kvtest::Hex(r.text);
    EXPECT_EQ(IsRootedPath(r.text), r.rooted) << kvtest::Hex(r.text);
  }
  EXPECT_FALSE(HasTrailingBackslash(nullptr));
  EXPECT_FALSE(IsRootedPath(nullptr));
}

TEST(KvPath, GetDirectory) {
  struct Row { const char* path; const char* directory; };
  const Row rows[] = {
      {"C:\\Data\\file.dat", "C:\\Data"},
      {"C:\\Data\\", "C:\\Data\\"},
      {"C:\\file.dat", "C:"},
      {"file.dat", "file.dat"},
      {"", ""},
      {"C:\\\x95\x5c\\x", "C:\\\x95\x5c"},
      {"C:\\\x95\x5c", "C:"},  // the trail byte of 表 is not the last backslash
  };
  for (const Row& r : rows) {
    KvPath p;
    p.Assign(r.path);
    KvString out("old");
    p.GetDirectory(out);
    EXPECT_STREQ(out.Text(), r.directory) << kvtest::Hex(r.path);
  }
}

TEST(KvPath, PathExists) {
  kvtest::ScratchFolder scratch;
  kvtest::WriteFile("file.txt", "x");
  plat::MakeDirectory("folder");
  EXPECT_TRUE(PathExists("file.txt"));
  EXPECT_TRUE(PathExists("folder"));
  EXPECT_TRUE(PathExists((scratch.Path() + "\\file.txt").c_str()));
  EXPECT_FALSE(PathExists("missing.txt"));
  EXPECT_FALSE(PathExists("*.txt")) << "no pattern matching";
  EXPECT_FALSE(PathExists("Q:\\anything")) << "a drive that does not answer";
  EXPECT_FALSE(PathExists("C:file.txt")) << "C:f is no volume root";
  EXPECT_FALSE(PathExists(nullptr));
}

TEST(KvPath, CreateDirectoryChain) {
  kvtest::ScratchFolder scratch;
  const std::string base = scratch.Path();
  CreateDirectoryChain((base + "\\A\\\\B\\表\\").c_str());
  EXPECT_TRUE(PathExists((base + "\\A\\B\\表").c_str()));
  CreateDirectoryChain((base + "\\A\\B\\C").c_str());  // existing folders are passed over
  EXPECT_TRUE(PathExists((base + "\\A\\B\\C").c_str()));

  // A root-relative path keeps its root: the folders go below the drive's
  // root, not below the current folder.
  const std::string rootRelative = base.substr(2) + "\\R\\S";
  CreateDirectoryChain(rootRelative.c_str());
  EXPECT_TRUE(PathExists((base + "\\R\\S").c_str()));
  EXPECT_FALSE(PathExists((base + "\\" + base.substr(3)).c_str()));

  // A UNC root is never made relative to the current folder.
  CreateDirectoryChain("\\\\server\\share\\X");
  EXPECT_FALSE(PathExists("server"));
  EXPECT_FALSE(PathExists("share"));
  EXPECT_FALSE(PathExists("X"));
}

}  // namespace
