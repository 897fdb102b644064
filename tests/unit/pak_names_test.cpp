// pak_names_test.cpp: the tool's rules for entry names: which names extract
// refuses and why, how names fold for the reader's case-blind match, and
// where a name splits into folders. Literals are code page 932.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/pak/pak_names.h"

namespace {

struct RefusalCase {
  std::string name;
  const char* reason;  // empty: the name may be extracted
};

TEST(PakNames, RefusalReason) {
  const RefusalCase kCases[] = {
      {"readme.txt", ""},
      {"data\\sub/file.bin", ""},
      {".hidden", ""},
      {"a..b", ""},
      {"表\\x.txt", ""},  // 表 ends in 0x5C, which is no separator here
      {"ソフト\\表.txt", ""},
      {"COM10", ""},
      {"COM0", ""},
      {"console.txt", ""},
      {"", "empty name"},
      {"\\windows\\x", "absolute path"},
      {"/etc/x", "absolute path"},
      {"C:\\x", "drive path"},
      {"C:x", "drive path"},
      {"ab:c", "':' in a name"},
      {"file.txt:stream", "':' in a name"},
      {"a*b", "character not allowed in a file name"},
      {"a?b", "character not allowed in a file name"},
      {"a<b", "character not allowed in a file name"},
      {"a>b", "character not allowed in a file name"},
      {"a|b", "character not allowed in a file name"},
      {"a\"b", "character not allowed in a file name"},
      {"a\tb", "character not allowed in a file name"},
      {"a\x01" "b", "character not allowed in a file name"},
      {"a\x1f", "character not allowed in a file name"},
      {"a\\\\b", "empty part in path"},
      {"a\\", "empty part in path"},
      {"..\\x", "'..' in path"},
      {"a/../../x", "'..' in path"},
      {"...", "part of only dots and spaces"},
      {". .\\x", "part of only dots and spaces"},
      {"a.", "part ending in a dot or a space"},
      {"dir.\\x", "part ending in a dot or a space"},
      {"a ", "part ending in a dot or a space"},
      {"COM1", "device name"},
      {"lpt9.txt", "device name"},
      {"sub\\nul", "device name"},
      {"con.tar.gz", "device name"},
      {"Aux .txt", "device name"},
      {"CONIN$", "device name"},
      {"\x81", "not valid code page 932"},     // a lead byte without its trail byte
      {"a\x80" "b", "not valid code page 932"},
      {"a\xA0", "not valid code page 932"},
      {"\xFD" "x", "not valid code page 932"},
  };
  for (const RefusalCase& c : kCases) {
    EXPECT_EQ(paktool::RefusalReason(c.name), c.reason) << "name \"" << c.name << "\"";
  }
}

TEST(PakNames, FoldingMatchesTheReader) {
  struct FoldCase {
    std::string name, folded;
  };
  const FoldCase kCases[] = {
      {"Readme.txt", "README.TXT"},
      {"ａｂｃ", "ＡＢＣ"},           // full-width small letters onto capitals
      {"\x83\x61", "\x83\x61"},       // a trail byte 'a' is not a letter
      {"\x83\x7A" "z", "\x83\x7A" "Z"},
      {"表a", "表A"},
      {"ぁ", "ぁ"},                   // small kana keep their size
  };
  for (const FoldCase& c : kCases) {
    EXPECT_EQ(paktool::FoldedName(c.name), c.folded) << c.name;
    EXPECT_TRUE(paktool::SameName(c.name, c.folded)) << c.name;
  }
  EXPECT_FALSE(paktool::SameName("\x83\x61", "\x83\x41")) << "two katakana differing in a trail byte's case";
  EXPECT_FALSE(paktool::SameName("a", "ab"));
  EXPECT_TRUE(paktool::NameBefore("a\\x", "B")) << "letters sort folded, not by their bytes";
  EXPECT_TRUE(paktool::NameBefore("abc", "ABCD")) << "a name before every longer one it begins";
  EXPECT_FALSE(paktool::NameBefore("abc", "abc"));
}

TEST(PakNames, SplitName) {
  struct SplitCase {
    std::string name;
    std::vector<std::string> parts;
  };
  const SplitCase kCases[] = {
      {"a", {"a"}},
      {"a\\b/c", {"a", "b", "c"}},
      {"表\\ソ", {"表", "ソ"}},  // trail bytes 0x5C stay in their characters
      {"a\\", {"a", ""}},
      {"\\a", {"", "a"}},
      {"", {""}},
  };
  for (const SplitCase& c : kCases) {
    EXPECT_EQ(paktool::SplitName(c.name), c.parts) << c.name;
  }
}

}  // namespace
