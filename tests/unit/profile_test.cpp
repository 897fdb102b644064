// profile_test.cpp: the profile reader: line kinds, sections, key lines,
// escapes, the restart, the cursor, loading through the archive layer, and
// the time a large profile takes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/kvarchive.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "tests/unit/test_support.h"
#include "text/exceptions.h"
#include "archive/pak_writer.h"

namespace {

constexpr const char* kDefault = "default";

struct Row {
  const char* why;
  std::string text;
  const char* section;
  const char* key;
  const char* expected;  // kDefault: the caller's value stays
};

std::string Lookup(const std::string& bytes, const char* section, const char* key) {
  KvString text(bytes.c_str());
  KvString out(kDefault);
  FindProfileValue(section, key, out, text);
  return out.Text();
}

void CheckRows(const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    EXPECT_EQ(Lookup(r.text, r.section, r.key), r.expected)
        << r.why << "\n  text: " << kvtest::Hex(r.text);
  }
}

TEST(Profile, SectionsAndNames) {
  CheckRows({
      {"plain section and key", "[update]\nGUID=abc\n", "update", "GUID", "abc"},
      {"names compare without regard to case", "[UPDATE]\nguid=abc\n", "update", "GUID", "abc"},
      {"full-width letters fold too", "[\x82\x74\x82\x6f]\nGUID=x\n", "\x82\x95\x82\x90", "GUID", "x"},
      {"a key outside the section is not found", "[other]\nGUID=x\n[update]\nA=1\n", "update",
       "GUID", kDefault},
      {"a key above the first header counts for any section", "GUID=top\n[update]\nGUID=in\n",
       "update", "GUID", "top"},
      {"... also for a section that does not exist", "GUID=top\n[update]\nGUID=in\n", "none",
       "GUID", "top"},
      {"headers of the same name form one section",
       "[update]\nA=1\n[other]\nGUID=o\n[update]\nGUID=u\n", "update", "GUID", "u"},
      {"text after the closing bracket is ignored", "[update] note\nGUID=x\n", "update", "GUID", "x"},
      {"no blanks are trimmed from a header", "[ update]\nGUID=x\n", "update", "GUID", kDefault},
      {"a header without ] drops its last byte: updat", "[update\nGUID=x\n", "update", "GUID",
       kDefault},
      {"... and so matches updat", "[update\nGUID=x\n", "updat", "GUID", "x"},
      {"a lone [ names the empty section", "[\nGUID=x\n", "", "GUID", "x"},
      {"the trail byte 5D of a double-byte name is no ]", "[\x83\x5d]\nGUID=x\n", "\x83\x5d", "GUID",
       "x"},
      {"a [ inside a value of another section: the scan goes on just before it",
       "[other]\nX=a[b\nGUID=x\n", "update", "GUID", "x"},
      {"the jump skips whole sections, keys and all", "[a]\nGUID=1\n[b]\nGUID=2\n[update]\nGUID=3\n",
       "update", "GUID", "3"},
      {"the jump lands on the character before [, an apostrophe here: the line is a comment",
       "[other]\nX='[update]\nGUID=x\n", "update", "GUID", "x"},
  });
}

TEST(Profile, KeyLines) {
  CheckRows({
      {"TAB alone separates key and value", "GUID\tabc", "s", "GUID", "abc"},
      {"TAB = TAB", "GUID\t=\tabc", "s", "GUID", "abc"},
      {"space after = is skipped", "GUID= abc", "s", "GUID", "abc"},
      {"space before = belongs to the key", "GUID =abc", "s", "GUID", kDefault},
      {"... which matches a key with that space", "GUID =abc", "s", "GUID ", "abc"},
      {"a TAB ends the value", "GUID=abc\tmore", "s", "GUID", "abc"},
      {"spaces inside and after the value stay", "GUID=a b  ", "s", "GUID", "a b  "},
      {"leading TABs are skipped", "\t\tGUID=x", "s", "GUID", "x"},
      {"leading spaces are not", " GUID=x", "s", "GUID", kDefault},
      {"a line of TABs is ignored", "\t\t\nGUID=x", "s", "GUID", "x"},
      {"an empty key is ignored", "=x\nGUID=y", "s", "GUID", "y"},
      {"... and does not match an empty key", "=x", "s", "", kDefault},
      {"a line without TAB or = is ignored", "GUID\nGUID=y", "s", "GUID", "y"},
      {"the first of two values wins", "[s]\nGUID=1\nGUID=2", "s", "GUID", "1"},
      {"an empty value is passed over for a later one", "[s]\nGUID=\nGUID=x", "s", "GUID", "x"},
      {"only delimiters after the key is an empty value", "[s]\nGUID= \t=\n", "s", "GUID", kDefault},
      {"a key line may not match a prefix", "GUIDX=1\nGUI=2", "s", "GUID", kDefault},
      {"apostrophe starts a comment", "'GUID=x\nGUID=y", "s", "GUID", "y"},
      {"a semicolon line is a key line", ";GUID=x", "s", "GUID", kDefault},
      {"... whose key begins with the semicolon", ";GUID=x", "s", ";GUID", "x"},
      {"a hash line likewise", "#GUID=x", "s", "#GUID", "x"},
      {"double-byte value with trail bytes 5C and 5B", "GUID=\x95\x5c\x81\x5b\x83\x5c", "s", "GUID",
       "\x95\x5c\x81\x5b\x83\x5c"},
      {"a trail byte 5C before n is no escape", "GUID=\x95\x5cn", "s", "GUID", "\x95\x5cn"},
      {"a trail byte 5B does not start a header jump", "[other]\nX=\x81\x5b\nGUID=x\n[update]\nGUID=u",
       "update", "GUID", "u"},
  });
}

TEST(Profile, Escapes) {
  CheckRows({
      {"\\n gives a line feed", "GUID=a\\nb", "s", "GUID", "a\nb"},
      {"\\t ends the value", "GUID=a\\tb", "s", "GUID", "a"},
      {"\\t separates key and value", "GUID\\tabc", "s", "GUID", "abc"},
      {"\\t at the start is a leading TAB", "\\tGUID=x", "s", "GUID", "x"},
      {"another backslash stays", "GUID=C:\\Data\\x", "s", "GUID", "C:\\Data\\x"},
      {"a doubled backslash before n: the second one escapes", "GUID=a\\\\nb", "s", "GUID",
       "a\\\nb"},
      {"a trailing backslash stays", "GUID=a\\", "s", "GUID", "a\\"},
      {"an escape inside the key", "GU\\nID=x", "s", "GU\nID", "x"},
  });
}

// The one-pass expansion must give what replacing "\n" and then "\t" gives.
TEST(Profile, EscapesAgreeWithReplace) {
  const char* lines[] = {
      "a\\nb\\tc",   "\\\\n\\\\t", "\\n\\n\\t\\t", "\\",       "\\\\",
      "x\\nt",       "\\tn",       "\x95\x5cn\\n", "\x83\x5ct", "a\\t\\n\\x\\",
      "\x81\\n",     "\\ntab\\t",
  };
  for (const char* line : lines) {
    KvString viaReplace(line);
    viaReplace.Replace("\\n", "\n");
    viaReplace.Replace("\\t", "\t");
    KvString expanded;
    const std::string s(line);
    ExpandProfileEscapes(s.data(), s.data() + s.size(), expanded);
    EXPECT_EQ(std::string(expanded.Text()), std::string(viaReplace.Text())) << kvtest::Hex(line);
    EXPECT_EQ(expanded.Size(), expanded.Length()) << kvtest::Hex(line);
  }
}

TEST(Profile, LineEnds) {
  const char* ends[] = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\n\n", "\r\r"};
  for (const char* e : ends) {
    const std::string text = std::string("'comment") + e + "[other]" + e + "GUID=o" + e + "[update]" +
                             e + "A=1" + e + "GUID=u" + e + "Title=t" + e;
    EXPECT_EQ(Lookup(text, "update", "GUID"), "u") << kvtest::Hex(e);
    EXPECT_EQ(Lookup(text, "update", "Title"), "t") << kvtest::Hex(e);
    EXPECT_EQ(Lookup(text, "other", "GUID"), "o") << kvtest::Hex(e);
    EXPECT_EQ(Lookup(text, "update", "B"), kDefault) << kvtest::Hex(e);
  }
  // A comment ends with its own line, also when that line ends in a lone
  // CR and a line feed comes later.
  EXPECT_EQ(Lookup("'comment\rGUID=x\n", "s", "GUID"), "x");
  EXPECT_EQ(Lookup("[update]\r'c\rGUID=x\r\n", "update", "GUID"), "x");
}

// Where the scan starts and where it leaves the cursor.
TEST(Profile, CursorAndRestart) {
  struct CursorRow {
    const char* why;
    std::string text;
    std::size_t start;      // cursor offset before the lookup
    const char* key;
    const char* expected;
    long cursorAfter;       // -1: the cursor stays where it was
  };
  const std::string twoSections = "[update]\nGUID=a\n[other]\nB=1\n";
  const std::string twice = "[update]\nGUID=a\n[update]\nB=1\n";
  const CursorRow rows[] = {
      {"a match leaves the cursor on its header", "x=1\n[update]\nGUID=a\n", 0, "GUID", "a", 4},
      {"the last matching header counts", "[update]\nA=1\n[update]\nGUID=b\n", 0, "GUID", "b", 13},
      {"... also when the key is missing", twice, 0, "C", kDefault, 16},
      {"no header matched: the cursor stays", "[other]\nGUID=a\n", 0, "GUID", kDefault, -1},
      {"found above any header: the cursor stays", "GUID=a\n[update]\n", 0, "GUID", "a", -1},
      {"a header line must begin with [", " [update]\nGUID=x\n", 0, "GUID", "x", -1},
      {"a start after the section restarts from the beginning", twoSections, 16, "GUID", "a", 0},
      {"a start inside a matched section does not restart", twice, 16, "GUID", kDefault, 16},
      {"a start in the middle of the key lines", "[update]\nGUID=a\nTitle=t\n", 16, "GUID", "a", 0},
  };
  for (const CursorRow& r : rows) {
    KvString text(r.text.c_str());
    text.cursor = text.Buffer() + r.start;
    KvString out(kDefault);
    FindProfileValue("update", r.key, out, text);
    EXPECT_STREQ(out.Text(), r.expected) << r.why;
    const long expectedCursor = r.cursorAfter == -1 ? static_cast<long>(r.start) : r.cursorAfter;
    EXPECT_EQ(text.cursor - text.Buffer(), expectedCursor) << r.why;
  }
  // A text without a buffer gives nothing and does not fail.
  KvString none;
  KvString out(kDefault);
  FindProfileValue("update", "GUID", out, none);
  EXPECT_STREQ(out.Text(), kDefault);
}

double Seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A quadratic scan of these texts would take minutes; a linear one well under
// a second even in the sanitizer build. The bound leaves room for a busy
// machine.
constexpr double kLargeBound = 5.0;

// Under an emulator (the 32-bit build's tests run under qemu-i386) all of it
// takes some twenty times longer; KV_TIME_SCALE stretches the bound, which
// still stays far below what a quadratic scan would take there.
double LargeBound() {
  const char* scale = std::getenv("KV_TIME_SCALE");
  const double k = scale != nullptr ? std::atof(scale) : 1.0;
  return kLargeBound * (k > 1.0 ? k : 1.0);
}

TEST(Profile, LargeProfilesStayLinear) {
  struct BigRow {
    const char* why;
    std::string text;
    std::size_t start;  // cursor offset before the lookup
    const char* expected;
  };
  std::string keyLines = "[update]\n";
  while (keyLines.size() < 10u * 1024 * 1024) keyLines += "Key\\tName=some value with \\n escapes\r\n";
  keyLines += "GUID=last\n";
  std::string sections;
  while (sections.size() < 10u * 1024 * 1024) sections += "[other]\nGUID=no\nX=a[b\n";
  sections += "[update]\nGUID=last\n";
  std::string longLine = "[update]\nGUID=";
  for (int i = 0; i < 25000; ++i) longLine += "\\nab";
  std::string longLineValue;
  for (int i = 0; i < 25000; ++i) longLineValue += "\nab";
  std::string longKeyLine = "[update]\n" + std::string(100000, 'k') + "=v\nGUID=last\n";
  std::string restart = "[update]\nGUID=first\n";
  while (restart.size() < 10u * 1024 * 1024) restart += "[other]\nA=1\n";
  const BigRow rows[] = {
      {"10 MB of key lines with escapes", keyLines, 0, "last"},
      {"10 MB of sections that do not match, with [ in values", sections, 0, "last"},
      {"a line of 100 000 bytes full of escapes", longLine, 0, longLineValue.c_str()},
      {"a key of 100 000 bytes", longKeyLine, 0, "last"},
      {"10 MB passed, then the restart", restart, 20, "first"},
  };
  for (const BigRow& r : rows) {
    KvString text(r.text.c_str());
    text.cursor = text.Buffer() + r.start;
    KvString out(kDefault);
    const auto start = std::chrono::steady_clock::now();
    FindProfileValue("update", "GUID", out, text);
    const double s = Seconds(start);
    std::printf("  %-60s %8.3f s\n", r.why, s);
    EXPECT_STREQ(out.Text(), r.expected) << r.why;
    EXPECT_LT(s, LargeBound()) << r.why;
  }
}

// --- loading through the archive layer

TEST(ProfileFile, LooseFile) {
  struct FileRow {
    const char* why;
    std::string bytes;
    const char* key;
    const char* expected;
  };
  const FileRow rows[] = {
      {"a loose update.ini", "[update]\r\nGUID=abc\r\nTitle=\x83\x5c\x83\x74\x83\x67\r\n", "Title",
       "\x83\x5c\x83\x74\x83\x67"},
      {"a NUL byte ends the text", std::string("[update]\nA=1\n\0\nGUID=x\n", 22), "GUID", kDefault},
      {"... what comes before it is read", std::string("[update]\nA=1\n\0\nGUID=x\n", 22), "A", "1"},
      {"an empty file", "", "GUID", kDefault},
  };
  for (const FileRow& r : rows) {
    kvtest::ScratchFolder scratch;
    kvtest::WriteFile("update.ini", r.bytes);
    KvString out(kDefault);
    GetProfileValue("update", r.key, out, "update.ini");
    EXPECT_STREQ(out.Text(), r.expected) << r.why;
  }
}

TEST(ProfileFile, EachLookupReadsTheFileAnew) {
  kvtest::ScratchFolder scratch;
  kvtest::WriteFile("update.ini", "[update]\nGUID=one\n");
  KvString out(kDefault);
  GetProfileValue("update", "GUID", out, "update.ini");
  EXPECT_STREQ(out.Text(), "one");
  kvtest::WriteFile("update.ini", "[update]\nGUID=two\n");
  GetProfileValue("update", "GUID", out, "update.ini");
  EXPECT_STREQ(out.Text(), "two");
}

TEST(ProfileFile, MissingFile) {
  kvtest::ScopedValue<bool> loud(QuietOpen, false);
  kvtest::ScratchFolder scratch;
  {
    kvtest::PromptAnswers answers({plat::kIdIgnore});
    KvString out(kDefault);
    GetProfileValue("update", "GUID", out, "update.ini");
    EXPECT_STREQ(out.Text(), kDefault) << "Ignore keeps the default";
    EXPECT_EQ(answers.Boxes().size(), 1u);
  }
  {
    kvtest::PromptAnswers answers({plat::kIdAbort});
    KvString out(kDefault);
    try {
      GetProfileValue("update", "GUID", out, "update.ini");
      ADD_FAILURE() << "Abort must raise";
    } catch (const KvErrorException& e) {
      // "ファイル update.ini が開けませんでした。"
      EXPECT_STREQ(e.message.Text(),
                   "\x83\x74\x83\x40\x83\x43\x83\x8b update.ini \x82\xaa\x8a\x4a\x82\xaf\x82\xdc"
                   "\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42");
    }
    EXPECT_STREQ(out.Text(), kDefault);
  }
}

TEST(ProfileFile, InsidePak) {
  const std::string profile = "[update]\r\nGUID={1234}\r\nfile=a.dat;b.dat\r\n";
  struct PakRow {
    const char* why;
    uint32_t version;
    bool compress;
  };
  const PakRow rows[] = {
      {"version 0", 0, false},           {"version 1, stored", 1, false},
      {"version 1, compressed", 1, true}, {"version 2, stored", 2, false},
      {"version 2, compressed", 2, true}, {"version 3, stored (transformed)", 3, false},
      {"version 3, compressed", 3, true},
  };
  for (const PakRow& r : rows) {
    kvtest::ScratchFolder scratch;
    std::vector<pak::InputEntry> entries = {
        pak::InputEntry("other.txt", "[update]\nGUID=wrong\n", r.compress),
        pak::InputEntry("update.ini", profile, r.compress),
    };
    pak::WriteOptions options;
    options.version = r.version;
    if (r.version >= 2) {
      options.keyBlock = pak::DefaultKeyBlock(entries);
      options.directoryKey = pak::DefaultDirectoryKey(entries);
    }
    kvtest::WriteFile("data.pak", pak::WriteArchive(entries, options));
    KvString guid(kDefault);
    KvString files(kDefault);
    GetProfileValue("update", "GUID", guid, "update.ini");
    GetProfileValue("update", "file", files, "update.ini");
    EXPECT_STREQ(guid.Text(), "{1234}") << r.why;
    EXPECT_STREQ(files.Text(), "a.dat;b.dat") << r.why;
  }
}

}  // namespace
