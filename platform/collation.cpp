// collation.cpp: lstrcmpiA's order of code page 932 texts, level by level.
//
// Windows compares two texts by their sort keys, one level after another, and
// a later level counts only when every earlier one is equal:
//   1. the primary weights of all characters (letters, digits, kana, kanji;
//      a shorter run of weights sorts first);
//   2. the diacritic weights (the voiced marks of kana);
//   3. the case and width weights, the case part dropped by NORM_IGNORECASE;
//   4. for kana: small or not, long-vowel marks, katakana or hiragana, half
//      or full width, each as a run of its own;
//   5. the passed-over marks "-" and "'": where they stand and which they are.
// Within the runs of levels 2 to 4 a character without a mark weighs the
// default, and default weights at the end of a run do not count.
#include "platform/collation.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace plat {

namespace {

struct Weight {
  uint16_t code;
  uint16_t primary;
  uint8_t diacritic;
  uint8_t caseWidth;
  uint8_t flags;
};

constexpr uint8_t kSmall = 0x01;
constexpr uint8_t kKatakana = 0x02;
constexpr uint8_t kHalfWidth = 0x04;
constexpr uint8_t kKana = 0x10;
constexpr uint8_t kIgnored = 0x20;
constexpr uint8_t kSoundMark = 0x40;

#include "platform/collation_weights.inc"

bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsJisKanji(unsigned code) {
  const unsigned lead = code >> 8, trail = code & 0xFF;
  if (!((lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA))) return false;
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
  return code >= 0x889F && code <= 0xEAA4 && !(code >= 0x9873 && code <= 0x989E);
}

// Primary weights of the JIS kanji, in code order.
const std::vector<uint16_t>& KanjiWeights() {
  static const std::vector<uint16_t> weights = [] {
    std::vector<uint16_t> w;
    w.reserve(sizeof kKanjiSteps);
    uint32_t at = kKanjiFirst;
    w.push_back(static_cast<uint16_t>(at));
    for (const char* s = kKanjiSteps; *s != '\0'; ++s) {
      at += static_cast<uint32_t>(*s - '0');
      w.push_back(static_cast<uint16_t>(at));
    }
    return w;
  }();
  return weights;
}

// The weights of one character; false when the table has none.
bool Lookup(unsigned code, Weight& out) {
  if (IsJisKanji(code)) {
    // Count the kanji codes before this one: 188 trail bytes to a lead byte,
    // the first kanji at trail 0x9F of 0x88, and 43 codes of no kanji in
    // 0x9873-0x989E between the two levels.
    const unsigned lead = code >> 8, trail = code & 0xFF;
    const unsigned leadIndex = lead <= 0x9F ? lead - 0x88 : lead - 0xE0 + (0x9F - 0x88 + 1);
    const unsigned trailIndex = trail - 0x40 - (trail > 0x7F ? 1 : 0);
    unsigned index = leadIndex * 188 + trailIndex - 94;
    if (code > 0x989E) index -= 43;
    const std::vector<uint16_t>& kanji = KanjiWeights();
    if (index >= kanji.size()) return false;
    out = Weight{static_cast<uint16_t>(code), kanji[index], 2, 2, 0};
    return true;
  }
  std::size_t lo = 0, hi = sizeof kWeights / sizeof kWeights[0];
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (kWeights[mid].code < code) lo = mid + 1;
    else hi = mid;
  }
  if (lo == sizeof kWeights / sizeof kWeights[0] || kWeights[lo].code != code) return false;
  out = kWeights[lo];
  return true;
}

// The vowel a kana's sound ends in, as the primary weight of あいうえお; 0
// for ん, which has none.
uint32_t VowelOf(uint32_t primary) {
  const uint32_t w = primary & 0xFF;
  if (w >= 0x02 && w <= 0x36) {
    const uint32_t rowStart[] = {0x02, 0x0A, 0x12, 0x1A, 0x22, 0x2A, 0x32};
    for (uint32_t start : rowStart) {
      if (w >= start && w < start + 5) return 0x2202 + (w - start);
    }
  }
  switch (w) {
    case 0x3A: case 0x4A: return 0x2202;                  // や わ
    case 0x3C: return 0x2204;                             // ゆ
    case 0x3E: case 0x4E: return 0x2206;                  // よ を
    case 0x4B: return 0x2203;                             // ゐ
    case 0x4D: return 0x2205;                             // ゑ
    default: break;
  }
  if (w >= 0x42 && w <= 0x46) return 0x2202 + (w - 0x42);  // ら行
  return 0;
}

struct SpecialWeight {
  uint32_t where;  // 0xFFFF less the number of weighed characters before it
  uint32_t weight;
  uint32_t caseWidth;
  bool operator<(const SpecialWeight& o) const {
    if (where != o.where) return where < o.where;
    if (weight != o.weight) return weight < o.weight;
    return caseWidth < o.caseWidth;
  }
  bool operator==(const SpecialWeight& o) const {
    return where == o.where && weight == o.weight && caseWidth == o.caseWidth;
  }
};

struct SortKey {
  std::vector<uint32_t> primary;
  std::vector<uint32_t> diacritic;
  std::vector<uint32_t> caseWidth;
  // Level 4, for kana only.
  std::vector<uint32_t> small, longMark, kanaType, width;
  std::vector<SpecialWeight> special;
  bool exact = true;
};

constexpr uint32_t kNoPrimary = 0xFFFF;          // a long-vowel mark with nothing before it
constexpr uint32_t kUnknown = 0x10000;           // above every weight of the table

SortKey MakeKey(const char* text) {
  SortKey key;
  bool lastWasKana = false, lastWasIgnored = false;
  uint32_t lastSmall = 2, lastType = 2;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    unsigned code = *p;
    if (Lead(*p) && p[1] != 0) {
      code = (static_cast<unsigned>(p[0]) << 8) | p[1];
      p += 2;
    } else {
      ++p;
    }
    const bool longVowel = code == 0x815B || code == 0xB0;             // ー ｰ
    const bool iteration = code == 0x8152 || code == 0x8154;           // ヽ ゝ
    const bool repeatAny = code == 0x8158;                             // 々
    const bool unsure = code == 0x8153 || code == 0x8155 || code == 0x815C;  // ヾ ゞ ―
    if (longVowel || iteration || repeatAny || unsure) {
      if (unsure || (iteration && !lastWasKana) || lastWasIgnored) key.exact = false;
      if (key.primary.empty()) {
        key.primary.push_back(kNoPrimary);
        key.diacritic.push_back(2);
        key.caseWidth.push_back(2);
        lastWasKana = lastWasIgnored = false;
        continue;
      }
      uint32_t primary = key.primary.back();
      if (lastWasKana && longVowel) {
        primary = VowelOf(primary);
        if (primary == 0) {
          key.exact = false;
          primary = key.primary.back();
        }
      }
      key.primary.push_back(primary);
      key.diacritic.push_back(2);
      key.caseWidth.push_back(2);
      if (lastWasKana && !repeatAny) {
        key.small.push_back(lastSmall);
        key.kanaType.push_back(lastType);
        key.width.push_back(code == 0xB0 ? 1 : 2);
        key.longMark.resize(key.primary.size() - 1, 3);
        key.longMark.push_back(longVowel ? 5 : 4);
      }
      lastWasIgnored = false;
      continue;
    }
    Weight w;
    if (!Lookup(code, w)) {
      key.exact = false;
      key.primary.push_back(kUnknown + code);
      key.diacritic.push_back(2);
      key.caseWidth.push_back(2);
      lastWasKana = lastWasIgnored = false;
      continue;
    }
    if (w.flags & kIgnored) {
      key.special.push_back(SpecialWeight{0xFFFFu - static_cast<uint32_t>(key.primary.size()),
                                          w.primary, w.caseWidth});
      lastWasIgnored = true;
      continue;
    }
    if (w.flags & kSoundMark) {
      if (key.diacritic.empty()) {
        key.exact = false;
        key.diacritic.push_back(w.diacritic);
      } else {
        key.diacritic.back() += w.diacritic;
      }
      continue;
    }
    key.primary.push_back(w.primary);
    key.diacritic.push_back(w.diacritic);
    key.caseWidth.push_back(w.caseWidth);
    lastWasIgnored = false;
    lastWasKana = (w.flags & kKana) != 0;
    if (lastWasKana) {
      lastSmall = (w.flags & kSmall) ? 1 : 2;
      lastType = (w.flags & kKatakana) ? 1 : 2;
      key.small.push_back(lastSmall);
      key.kanaType.push_back(lastType);
      key.width.push_back((w.flags & kHalfWidth) ? 1 : 2);
    }
  }
  return key;
}

// A run with its trailing default weights dropped.
std::vector<uint32_t> Trimmed(std::vector<uint32_t> run, uint32_t byDefault) {
  while (!run.empty() && run.back() == byDefault) run.pop_back();
  return run;
}

// Compares two runs; endFirst: a run that ends where the other goes on
// sorts first (its end marker weighs less than any weight), else last.
int CompareRuns(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, uint32_t byDefault,
                bool endFirst) {
  const std::vector<uint32_t> x = Trimmed(a, byDefault), y = Trimmed(b, byDefault);
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  if (x.size() == y.size()) return 0;
  const int shorterA = x.size() < y.size() ? -1 : 1;
  return endFirst ? shorterA : -shorterA;
}

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int CollateNoCase932(const char* a, const char* b, bool* exact) {
  const SortKey x = MakeKey(a != nullptr ? a : "");
  const SortKey y = MakeKey(b != nullptr ? b : "");
  if (exact != nullptr) *exact = x.exact && y.exact;
  int c = CompareRuns(x.primary, y.primary, 0xFFFFFFFFu, true);
  if (c == 0) c = CompareRuns(x.diacritic, y.diacritic, 2, true);
  if (c == 0) c = CompareRuns(x.caseWidth, y.caseWidth, 2, true);
  if (c == 0) c = CompareRuns(x.small, y.small, 2, false);
  if (c == 0) c = CompareRuns(x.longMark, y.longMark, 3, true);
  if (c == 0) c = CompareRuns(x.kanaType, y.kanaType, 2, false);
  if (c == 0) c = CompareRuns(x.width, y.width, 2, false);
  if (c == 0) {
    for (std::size_t i = 0; c == 0 && i < x.special.size() && i < y.special.size(); ++i) {
      if (!(x.special[i] == y.special[i])) c = x.special[i] < y.special[i] ? -1 : 1;
    }
    if (c == 0 && x.special.size() != y.special.size()) {
      c = x.special.size() < y.special.size() ? -1 : 1;
    }
  }
  return Sign(c);
}

}  // namespace plat
