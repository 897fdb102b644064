// collation_test.cpp: the order in which the archive lookup tries a folder's
// archives. On Windows plat::CompareNoCase is lstrcmpiA itself; on Linux it is
// the stand-in. The expected signs are what lstrcmpiA gave for each pair in
// the Windows build of this test under Wine with the Japanese locale; the
// same table checks both, and the table model of the order against
// lstrcmpiA in the Windows run.
//
// KV_COLLATION_PROBE=1 prints each pair with the sign the platform gives,
// which is how the expected signs are taken from a Windows run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/collation.h"
#include "platform/platform.h"
#include "tests/unit/test_support.h"

namespace {

struct OrderCase {
  const char* a;
  const char* b;
  int sign;  // lstrcmpiA(a, b) under Wine
  const char* why;
};

// Names publishers give their archives. Literals are code page 932.
const OrderCase kOrder[] = {
    {"A.pak", "a.PAK", 0, "ASCII letters without regard to case"},
    {"A.pak", "b.pak", -1, "letters in alphabet order"},
    {"b.pak", "C.PAK", -1, "case does not move a letter"},
    {"data2.pak", "data10.pak", 1, "digits one by one, not as numbers"},
    {"1.pak", "a.pak", -1, "digits before letters"},
    {"9.pak", "A.pak", -1, "digits before letters"},
    {"Z.pak", "0.pak", 1, "letters after digits"},
    {"a b.pak", "ab.pak", -1, "a space is a character of its own, before letters"},
    {"a b.pak", "a_b.pak", -1, "space before underscore"},
    {"_a.pak", "a.pak", -1, "underscore before letters"},
    {"a_1.pak", "a1.pak", -1, "underscore before digits"},
    {"a.pak", "a-b.pak", -1, "hyphen passed over: a-b.pak weighs as ab.pak"},
    {"ab.pak", "a-b.pak", -1, "the passed-over hyphen counts last"},
    {"a-b.pak", "ab-.pak", 1, "an earlier hyphen weighs more"},
    {"-a.pak", "a-.pak", 1, "a leading hyphen weighs most"},
    {"a'b.pak", "a-b.pak", -1, "apostrophe before hyphen"},
    {"update-2.pak", "update_1.pak", 1, "update2 against update_1"},
    {"update.pak", "update_v2.pak", -1, "dot before underscore"},
    {"~a.pak", "a.pak", -1, "tilde before letters"},
    {"a~.pak", "a.pak", 1, "tilde after dot"},
    {"(1).pak", "1.pak", -1, "parenthesis before digits"},
    {"a(1).pak", "a[1].pak", -1, "parenthesis before bracket"},
    {"[a].pak", "(a).pak", 1, "bracket after parenthesis"},
    {"!a.pak", "a.pak", -1, "exclamation mark before letters"},
    {"!.pak", "~.pak", -1, "exclamation mark before tilde"},
    {"a!.pak", "a.pak", -1, "exclamation mark before dot"},
    {"a].pak", "a[.pak", 1, "closing bracket after opening bracket"},
    {"Ａ.pak", "ａ.pak", 0, "full-width letters without regard to case"},
    {"A.pak", "Ａ.pak", -1, "half width before full width of the same letter"},
    {"ａ.pak", "B.pak", -1, "a full-width letter sorts with its letter"},
    {"Ｚ.pak", "ａ.pak", 1, "full-width Z after full-width a"},
    {"１.pak", "2.pak", -1, "a full-width digit sorts with its digit"},
    {"１.pak", "1.pak", 1, "full width after half width"},
    {"０１.pak", "１０.pak", -1, "full-width digits one by one"},
    {"＿a.pak", "_a.pak", 1, "full-width underscore"},
    {"－a.pak", "-a.pak", 1, "full-width hyphen, passed over too"},
    {"（a）.pak", "(a).pak", 1, "full-width parentheses"},
    {"［a］.pak", "[a].pak", 1, "full-width brackets"},
    {"！.pak", "!.pak", 1, "full-width exclamation mark"},
    {"～.pak", "~.pak", 1, "full-width tilde"},
    {"a　b.pak", "a b.pak", 1, "full-width space"},
    {"a　b.pak", "ab.pak", -1, "full-width space before letters"},
    {"セ.pak", "チ.pak", -1, "kana by their sounds: se before chi"},
    {"ア.pak", "イ.pak", -1, "a before i"},
    {"ん.pak", "を.pak", 1, "n last"},
    {"あ.pak", "ア.pak", 1, "katakana before hiragana of the same sound"},
    {"ア.pak", "ｱ.pak", 1, "half-width katakana before full width"},
    {"あ.pak", "ｱ.pak", 1, "half-width katakana before hiragana"},
    {"か.pak", "が.pak", -1, "unvoiced before voiced"},
    {"が.pak", "き.pak", -1, "the voiced mark weighs less than the sound"},
    {"ば.pak", "ぱ.pak", -1, "voiced before semi-voiced"},
    {"ガ.pak", "ｶﾞ.pak", -1, "half-width ka with a voiced mark after ga"},
    {"ｶﾞ.pak", "ｶ.pak", 1, "half-width voiced mark weighs on the ka"},
    {"ぁ.pak", "あ.pak", -1, "small before normal"},
    {"ァ.pak", "ア.pak", -1, "small katakana before normal"},
    {"ッ.pak", "ツ.pak", -1, "small tsu before tsu"},
    {"データ.pak", "デエタ.pak", 1, "the long-vowel mark repeats e, and counts after it"},
    {"データ.pak", "デタ.pak", -1, "dee before de-ta"},
    {"データ.pak", "ﾃﾞｰﾀ.pak", -1, "full-width data before half-width"},
    {"データ.pak", "てーた.pak", 1, "hiragana after katakana at the end"},
    {"パッチ.pak", "ﾊﾟｯﾁ.pak", -1, "full-width patch before half-width"},
    {"パッチ1.pak", "パッチ10.pak", -1, "digits after kana, one by one"},
    {"パッチ2.pak", "パッチ10.pak", 1, "digits after kana, one by one"},
    {"patch.pak", "パッチ.pak", -1, "Latin before kana"},
    {"ア.pak", "Ｚ.pak", 1, "kana after full-width Latin"},
    {"あ.pak", "亜.pak", -1, "kana before kanji"},
    {"亜.pak", "腕.pak", -1, "kanji in JIS order: first and last of level 1"},
    {"腕.pak", "弌.pak", -1, "level 1 before level 2"},
    {"表.pak", "更新.pak", 1, "hyou after kou"},
    {"日本.pak", "本.pak", -1, "nichi before hon"},
    {"更新1.pak", "更新２.pak", -1, "digits after kanji"},
    {"新.pak", "版.pak", -1, "shin before han"},
    {"C:\\upd\\a_1.pak", "C:\\upd\\a1.pak", -1, "full paths as the lookup sorts them"},
    {"C:\\upd\\a.pak", "C:\\upd\\a-b.pak", -1, "full paths as the lookup sorts them"},
    {"", "a.pak", -1, "empty text first"},
};

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(Collation, OrderOfArchiveNames) {
  const bool probe = std::getenv("KV_COLLATION_PROBE") != nullptr;
  for (const OrderCase& c : kOrder) {
    const int got = Sign(plat::CompareNoCase(c.a, c.b));
    if (probe) std::printf("%d\t%s\t%s\n", got, kvtest::Hex(c.a).c_str(), kvtest::Hex(c.b).c_str());
    EXPECT_EQ(got, c.sign) << c.why << " (" << kvtest::Hex(c.a) << " / " << kvtest::Hex(c.b) << ")";
    EXPECT_EQ(Sign(plat::CompareNoCase(c.b, c.a)), -c.sign) << c.why << ", the other way round";
    bool exact = false;
    EXPECT_EQ(plat::CollateNoCase932(c.a, c.b, &exact), c.sign) << c.why << ": the table model";
    EXPECT_TRUE(exact) << c.why;
  }
}

#ifdef _WIN32
// Every character the model holds, against its neighbours in code order,
// alone and after a kana, compared by the model and by lstrcmpiA.
TEST(Collation, ModelAgreesWithWindowsCharacterByCharacter) {
  std::vector<std::string> chars;
  for (unsigned c = 0x20; c < 0xE0; ++c) {
    if (c != 0x7F && !(c >= 0x80 && c <= 0xA0)) chars.push_back(std::string(1, static_cast<char>(c)));
  }
  for (unsigned lead = 0x81; lead <= 0xEA; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      chars.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  int disagreements = 0;
  for (std::size_t i = 1; i < chars.size(); ++i) {
    for (const char* prefix : {"", "\x83\x41", "a"}) {
      const std::string a = prefix + chars[i - 1] + ".pak", b = prefix + chars[i] + ".pak";
      bool exact = false;
      const int model = plat::CollateNoCase932(a.c_str(), b.c_str(), &exact);
      if (!exact) continue;
      const int windows = Sign(plat::CompareNoCase(a.c_str(), b.c_str()));
      if (model != windows && ++disagreements <= 20) {
        ADD_FAILURE() << kvtest::Hex(a) << " / " << kvtest::Hex(b) << ": model " << model
                      << ", lstrcmpiA " << windows;
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
}
#endif

// Where the model cannot promise Windows' order, it says so.
TEST(Collation, NamesTheCasesItCannotPromise) {
  const struct {
    const char* a;
    const char* b;
    const char* why;
  } cases[] = {
      {"\xF0\x40.pak", "a.pak", "a user-defined character"},
      {"\x82\xF1\x81\x5B.pak", "a.pak", "a long-vowel mark after n"},
      {"a-\x81\x5B.pak", "a.pak", "a long-vowel mark after a passed-over hyphen"},
      {"\x82\xA0\x81\x55.pak", "a.pak", "a voiced iteration mark"},
      {"\xDE.pak", "a.pak", "a voiced mark with nothing before it"},
  };
  for (const auto& c : cases) {
    bool exact = true;
    plat::CollateNoCase932(c.a, c.b, &exact);
    EXPECT_FALSE(exact) << c.why;
  }
  bool exact = false;
  plat::CollateNoCase932("a.pak", "b.pak", &exact);
  EXPECT_TRUE(exact);
}

}  // namespace
