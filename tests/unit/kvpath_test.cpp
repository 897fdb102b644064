// kvpath_test.cpp: path tests, the directory part and folder creation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

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

// Folders below base down to a full path of at least `length` characters,
// with a file in the deepest; removed again on destruction. The ANSI calls
// cannot make such paths on Windows, so there the wide calls with the
// "\\?\" prefix do.
class LongTree {
 public:
  LongTree(const std::string& base, std::size_t length) : folder_(base) {
    while (folder_.size() + std::string("\\file.txt").size() < length) {
      folder_ += "\\folder-of-a-long-path";
      Make(folder_, nullptr);
      made_.push_back(folder_);
    }
    file_ = folder_ + "\\file.txt";
    Make(file_, "bytes");
  }
  ~LongTree() {
    Remove(file_, false);
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) Remove(*it, true);
  }
  LongTree(const LongTree&) = delete;
  LongTree& operator=(const LongTree&) = delete;

  const std::string& Folder() const { return folder_; }
  const std::string& File() const { return file_; }

 private:
#ifdef _WIN32
  static std::wstring Wide(const std::string& path) {
    std::wstring wide(static_cast<std::size_t>(path.size()), L'\0');
    wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0],
        static_cast<int>(wide.size()))));
    return L"\\\\?\\" + wide;
  }
  static void Make(const std::string& path, const char* bytes) {
    if (bytes == nullptr) {
      ASSERT_TRUE(::CreateDirectoryW(Wide(path).c_str(), nullptr)) << path;
      return;
    }
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, bytes, static_cast<DWORD>(std::strlen(bytes)), &written, nullptr);
    ::CloseHandle(file);
  }
  static void Remove(const std::string& path, bool folder) {
    if (folder) {
      ::RemoveDirectoryW(Wide(path).c_str());
    } else {
      ::DeleteFileW(Wide(path).c_str());
    }
  }
#else
  static void Make(const std::string& path, const char* bytes) {
    if (bytes == nullptr) {
      ASSERT_TRUE(plat::MakeDirectory(path.c_str())) << path;
    } else {
      kvtest::WriteFile(path, bytes);
    }
  }
  static void Remove(const std::string& path, bool folder) {
    if (folder) {
      plat::RemoveFolder(path.c_str());
    } else {
      plat::RemoveFile(path.c_str());
    }
  }
#endif

  std::string folder_;
  std::string file_;
  std::vector<std::string> made_;
};

// What exists is found however long its full path: the update run must not
// pass over a listed file as missing because the ANSI call cannot take it.
TEST(KvPath, PathExistsOnLongPaths) {
  kvtest::ScratchFolder scratch;
  struct Row { std::size_t length; };
  for (const Row& r : {Row{259}, Row{260}, Row{300}, Row{600}}) {
    LongTree tree(scratch.Path(), r.length);
    ASSERT_GE(tree.File().size(), r.length);
    EXPECT_TRUE(PathExists(tree.File().c_str())) << tree.File().size() << " characters";
    EXPECT_TRUE(PathExists(tree.Folder().c_str())) << tree.Folder().size() << " characters";
    EXPECT_FALSE(PathExists((tree.Folder() + "\\missing.txt").c_str()))
        << tree.Folder().size() << " characters";
    EXPECT_FALSE(PathExists((tree.Folder() + "\\*.txt").c_str()))
        << "no pattern matching, " << tree.Folder().size() << " characters";
  }
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
