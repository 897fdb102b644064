// collation.h: the order of code page 932 texts that Windows' lstrcmpiA gives
// in the Japanese locale, computed without Windows.
//
// The archive lookup tries a folder's *.pak files in lstrcmpiA order, so the
// Linux stand-in must order names as Windows does. lstrcmpiA is a linguistic
// comparison, not a byte one: punctuation sorts before digits and digits
// before letters, "-" and "'" are passed over until everything else is equal,
// full-width letters equal their half-width forms up to width, kana sort by
// their sounds (a long-vowel mark repeats the vowel before it, a sound mark
// weighs on the kana before it) and kanji by their JIS codes.
#pragma once

namespace plat {

// <0, 0 or >0 as lstrcmpiA(a, b) under the Japanese locale. When exact is
// given it is set to false where the result may differ from Windows: a
// character this table does not hold (user-defined characters, a few marks
// such as ゞ and ヾ), a long-vowel mark after ん or after a passed-over mark,
// an iteration mark after anything but kana, a sound mark with nothing
// before it.
int CollateNoCase932(const char* a, const char* b, bool* exact = nullptr);

}  // namespace plat
