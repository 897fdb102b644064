// fuzz_kvstring.cpp: runs a program of KvString operations taken from the
// input on two strings and on a model of the same rules (std::string, an
// offset for the cursor, the code page 932 byte table). Every step checks the
// string against the model and the invariants of the type: capacity a
// multiple of 64 and greater than the length, length the bytes before the
// NUL, the cursor inside the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/exceptions.h"
#include "text/kvstring.h"

namespace {

bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

unsigned char At(const std::string& t, std::size_t p) {
  return p < t.size() ? static_cast<unsigned char>(t[p]) : 0;
}

// One character on: a lead byte takes the byte after it along unless that
// is the end, as CharNextA does.
std::size_t Next(const std::string& t, std::size_t p) {
  if (p >= t.size()) return p;
  return Lead(At(t, p)) && p + 1 < t.size() ? p + 2 : p + 1;
}

// The start of the character before p, walking from the start.
std::size_t Prev(const std::string& t, std::size_t p) {
  std::size_t q = 0;
  while (q < p && q < t.size()) {
    const std::size_t n = Next(t, q);
    if (n >= p) break;
    q = n;
  }
  return q;
}

uint32_t CharAt(const std::string& t, std::size_t p) {
  const unsigned char b = At(t, p);
  if (!Lead(b)) return b;
  const unsigned char trail = At(t, p + 1);
  return Trail(trail) ? b * 256u + trail : 0u;
}

bool InSet(const std::string& t, std::size_t p, const std::string& set) {
  if (p >= t.size()) return false;
  const std::size_t n = Next(t, p) - p;
  for (std::size_t s = 0; s < set.size();) {
    const std::size_t sn = Next(set, s) - s;
    if (sn == n && set.compare(s, sn, t, p, n) == 0) return true;
    s += sn;
  }
  return false;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// KVFUZZ_TRACE=1 prints every step with both strings, to read a finding.
const bool kTrace = std::getenv("KVFUZZ_TRACE") != nullptr;

std::string Show(const char* p) {
  std::string out;
  char hex[4];
  for (; *p != '\0'; ++p) {
    std::snprintf(hex, sizeof hex, "%02x ", static_cast<unsigned char>(*p));
    out += hex;
  }
  return out;
}

struct Model {
  bool buffer = false;
  std::string text;
  std::size_t cursor = 0;  // meaningful only with a buffer

  void Null() { *this = Model(); }
  void Set(const std::string& t) {
    buffer = true;
    text = std::string(t.c_str());  // the text is what lies before a NUL
    cursor = 0;
  }
};

int64_t RequiredCapacity(int32_t count) { return (static_cast<int64_t>(count) & ~int64_t{63}) + 64; }

void CheckString(const KvString& s, const Model& m) {
  if (kTrace) {
    std::fprintf(stderr, "  string %s cap %d len %d cursor %td [%s]\n",
                 s.Buffer() ? "buffer" : "null", s.Capacity(), s.Size(),
                 s.Buffer() ? s.cursor - s.Buffer() : -1, s.Buffer() ? Show(s.Buffer()).c_str() : "");
    std::fprintf(stderr, "  model  %s cursor %zu [%s]\n", m.buffer ? "buffer" : "null", m.cursor,
                 Show(m.text.c_str()).c_str());
  }
  if (s.Buffer() == nullptr) {
    KVFUZZ_CHECK(!m.buffer);
    KVFUZZ_CHECK(s.Capacity() == 0);
    KVFUZZ_CHECK(s.Size() == 0);
    KVFUZZ_CHECK(s.cursor == nullptr);
    KVFUZZ_CHECK(s.IsEmpty());
    KVFUZZ_CHECK(s.Length() == 0);
    return;
  }
  KVFUZZ_CHECK(m.buffer);
  KVFUZZ_CHECK(s.Capacity() > 0 && s.Capacity() % 64 == 0);
  const std::size_t n = std::strlen(s.Buffer());
  KVFUZZ_CHECK(static_cast<std::size_t>(s.Size()) == n);
  KVFUZZ_CHECK(s.Capacity() > s.Size());
  KVFUZZ_CHECK(s.Length() == s.Size());
  KVFUZZ_CHECK(std::string(s.Buffer()) == m.text);
  KVFUZZ_CHECK(s.cursor >= s.Buffer() && s.cursor <= s.Buffer() + s.Size());
  KVFUZZ_CHECK(static_cast<std::size_t>(s.cursor - s.Buffer()) == m.cursor);
  KVFUZZ_CHECK(s.IsEmpty() == m.text.empty());
}

// The result of a search: null with the cursor where it was, or the place
// found with the cursor moved there.
void CheckFound(const KvString& s, Model& m, const char* got, std::size_t want) {
  if (want == kNone) {
    KVFUZZ_CHECK(got == nullptr);
    return;
  }
  KVFUZZ_CHECK(got == s.Buffer() + want);
  m.cursor = want;
}

// The two strings the program works on, each with its model.
struct State {
  KvString s[2];
  Model m[2];
};

// Self-appends and replacements can double a text at every step; a text
// this long has shown all it can and is emptied before the next step.
constexpr std::size_t kLongestText = 16384;

void Step(kvfuzz::Input& in, State& st) {
  for (int i = 0; i < 2; ++i) {
    if (st.m[i].text.size() > kLongestText) {
      st.s[i].Empty();
      st.m[i].Null();
    }
  }
  const uint8_t op = in.Byte();
  const int which = op & 1;  // the string the operation works on
  KvString& s = st.s[which];
  Model& m = st.m[which];
  KvString& other = st.s[1 - which];
  Model& mo = st.m[1 - which];
  const int32_t capacityBefore = s.Capacity();
  bool inPlace = false;  // the operation may grow the buffer, never shrink it
  if (kTrace) std::fprintf(stderr, "op %d on string %d\n", (op >> 1) % 24, which);

  switch ((op >> 1) % 24) {
    case 0: {  // Assign from a text
      const std::string t = in.Text();
      s.Assign(t.c_str());
      m.Set(t);
      break;
    }
    case 1:
      s.Assign(static_cast<const char*>(nullptr));
      m.Null();
      break;
    case 2: {  // Assign from a text and a count, or a null text and a count
      const bool null = in.Byte() & 1;
      const std::string t = in.Bytes();
      const int32_t count = in.Range(-3, static_cast<int32_t>(t.size()));
      if (null) {
        s.Assign(nullptr, count);
        if (count == -1) {
          m.Null();
        } else if (count >= 0) {
          m.Set("");
        } else {
          m.Null();
        }
      } else {
        s.Assign(t.c_str(), count);
        if (count == -1 && t.c_str()[0] != '\0') {
          m.Set(t);
        } else if (count <= 0) {
          m.Null();
        } else {
          m.Set(t.substr(0, static_cast<std::size_t>(count)));
        }
      }
      break;
    }
    case 3:  // Assign from the string's own text at its cursor
      s.Assign(s.cursor);
      if (m.buffer && m.cursor != 0) m.Set(m.text.substr(m.cursor));
      break;
    case 4: {  // Append of a text, or of null
      if (in.Byte() & 1) {
        s.Append(static_cast<const char*>(nullptr));
        m.cursor = 0;
      } else {
        const std::string t = in.Text();
        s.Append(t.c_str());
        m.Set(m.text + t);
      }
      inPlace = true;
      break;
    }
    case 5: {  // Append of a text and a count
      const bool null = in.Byte() & 1;
      const std::string t = in.Bytes();
      const int32_t count = in.Range(-3, static_cast<int32_t>(t.size()));
      int32_t result;
      if (null) {
        result = s.Append(nullptr, count);
        if (count != -1) {
          if (count >= 0 && !m.buffer) m.Set("");
          m.cursor = 0;
          if (count >= 0) KVFUZZ_CHECK(s.Capacity() >= RequiredCapacity(count));
        }
      } else {
        result = s.Append(t.c_str(), count);
        // -1 stands for the length of the text; a count of 0 does nothing at
        // all, not even move the cursor.
        if (count == -1 && t.c_str()[0] != '\0') {
          m.Set(m.text + std::string(t.c_str()));
        } else if (count > 0) {
          // Exactly count bytes are copied; the text is what lies before a NUL.
          m.Set(m.text + t.substr(0, static_cast<std::size_t>(count)));
        }
      }
      KVFUZZ_CHECK(static_cast<std::size_t>(result) == m.text.size());
      inPlace = true;
      break;
    }
    case 6:  // Append of the string's own text from its cursor
      s.Append(s.cursor, -1);
      if (m.buffer && m.cursor < m.text.size()) m.Set(m.text + m.text.substr(m.cursor));
      inPlace = true;
      break;
    case 7: {
      const int32_t count = in.Range(-100, 1100);
      s.Reserve(count);
      if (count >= 0) {
        if (!m.buffer) m.Set("");
        KVFUZZ_CHECK(s.Capacity() >= RequiredCapacity(count));
      }
      inPlace = true;
      break;
    }
    case 8:
      s.Empty();
      m.Null();
      break;
    case 9:  // the cursor set directly, as the path and profile code do
      if (m.buffer) {
        m.cursor = static_cast<std::size_t>(in.Range(0, static_cast<int32_t>(m.text.size())));
        s.cursor = s.Buffer() + m.cursor;
      }
      inPlace = true;
      break;
    case 10:
      if (m.buffer) {
        s.cursor = const_cast<char*>(plat::NextChar(s.cursor));
        m.cursor = Next(m.text, m.cursor);
      }
      inPlace = true;
      break;
    case 11:
      if (m.buffer) {
        s.cursor = const_cast<char*>(plat::PrevChar(s.Buffer(), s.cursor));
        m.cursor = Prev(m.text, m.cursor);
      }
      inPlace = true;
      break;
    case 12:
    case 13: {  // Find, ReverseFind
      const char ch = static_cast<char>(in.Byte());
      const bool reverse = (op >> 1) % 24 == 13;
      char* got = reverse ? s.ReverseFind(ch) : s.Find(ch);
      std::size_t want = kNone;
      if (m.buffer) {
        for (std::size_t p = m.cursor; p < m.text.size(); p = Next(m.text, p)) {
          if (m.text[p] == ch && CharAt(m.text, p) == static_cast<unsigned char>(ch)) {
            want = p;
            if (!reverse) break;
          }
        }
      }
      CheckFound(s, m, got, want);
      inPlace = true;
      break;
    }
    case 14:
    case 15: {  // FindOneOf, SkipChars
      const std::string set = in.Text();
      const bool skip = (op >> 1) % 24 == 15;
      char* got = skip ? s.SkipChars(set.c_str()) : s.FindOneOf(set.c_str());
      std::size_t want = kNone;
      if (m.buffer) {
        for (std::size_t p = m.cursor; p < m.text.size(); p = Next(m.text, p)) {
          if (InSet(m.text, p, set) != skip) {
            want = p;
            break;
          }
        }
      }
      CheckFound(s, m, got, want);
      inPlace = true;
      break;
    }
    case 16: {  // Tokenize into the other string
      const std::string set = in.Text();
      char* got = s.Tokenize(other, set.c_str());
      std::size_t start = kNone;
      if (m.buffer) {
        std::size_t p = m.cursor;
        while (p < m.text.size() && InSet(m.text, p, set)) p = Next(m.text, p);
        if (p < m.text.size()) start = p;
      }
      if (start == kNone) {
        KVFUZZ_CHECK(got == nullptr);
      } else {
        std::size_t end = start;
        while (end < m.text.size() && !InSet(m.text, end, set)) end = Next(m.text, end);
        KVFUZZ_CHECK(got == s.Buffer() + start);
        mo.Set(m.text.substr(start, end - start));
        m.cursor = end;
      }
      inPlace = true;
      break;
    }
    case 17: {  // Replace
      const std::string search = in.Text();
      const bool null = in.Byte() & 1;
      const std::string replacement = in.Text();
      if (search.empty()) break;  // no caller searches for the empty text
      try {
        s.Replace(search.c_str(), null ? nullptr : replacement.c_str());
      } catch (const KvException&) {
        KVFUZZ_CHECK(!"Replace failed with memory to spare");
      }
      if (!m.buffer) break;
      auto findFrom = [&](std::size_t q) {
        for (std::size_t p = q; p < m.text.size(); p = Next(m.text, p)) {
          if (m.text.compare(p, search.size(), search) == 0) return p;
        }
        return kNone;
      };
      std::size_t hit = findFrom(0);
      m.cursor = 0;
      if (hit == kNone) {
        KVFUZZ_CHECK(s.Capacity() == capacityBefore);
        break;
      }
      std::string result;
      std::size_t rest = 0;
      while (hit != kNone) {
        result += m.text.substr(rest, hit - rest);
        if (!null) result += replacement;
        rest = hit + search.size();
        hit = findFrom(rest);
      }
      result += m.text.substr(rest);
      m.Set(result);
      break;
    }
    case 18: {  // Delete
      const int32_t size = static_cast<int32_t>(m.text.size());
      const int32_t count = in.Range(-2, size + 2);
      const int32_t position = in.Range(-2, size + 2);
      char* got = s.Delete(count, position);
      if (!m.buffer) {
        KVFUZZ_CHECK(got == nullptr);
        break;
      }
      if (count > size) {
        KVFUZZ_CHECK(got == nullptr);
        m.Null();
        break;
      }
      if (position >= 0 && position <= size) m.cursor = static_cast<std::size_t>(position);
      const std::size_t at = m.cursor;
      std::string result = m.text.substr(0, at);
      if (count > 0 && at + static_cast<std::size_t>(count) <= m.text.size()) {
        result += m.text.substr(at + static_cast<std::size_t>(count));
      }
      m.Set(result);
      m.cursor = at <= result.size() ? at : 0;
      KVFUZZ_CHECK(got == s.Buffer() + m.cursor);
      break;
    }
    case 19: {  // CopyRange into the other string (or into itself)
      const bool self = (in.Byte() & 7) == 0;
      KvString& out = self ? s : other;
      Model& mout = self ? m : mo;
      // Each end: null, a place in this string's buffer (the text, its NUL
      // or beyond), or a place in the other string's buffer.
      const char* ends[2];
      std::size_t offsets[2];
      bool inside[2];
      for (int i = 0; i < 2; ++i) {
        const uint8_t kind = in.Byte() % 3;
        ends[i] = nullptr;
        inside[i] = true;
        offsets[i] = i == 0 ? 0 : m.text.size();
        if (kind == 1 && s.Buffer() != nullptr) {
          offsets[i] = static_cast<std::size_t>(in.Range(0, s.Capacity()));
          ends[i] = s.Buffer() + offsets[i];
          inside[i] = offsets[i] <= m.text.size();
        } else if (kind == 2 && other.Buffer() != nullptr && !self) {
          ends[i] = other.Buffer() + in.Range(0, other.Capacity());
          inside[i] = false;
        }
      }
      const Model before = m;
      s.CopyRange(out, ends[0], ends[1]);
      if (!before.buffer) {
        if (ends[0] == nullptr && ends[1] == nullptr) mout.Null();
        break;
      }
      if (!inside[0] || !inside[1]) break;
      std::size_t a = offsets[0];
      std::size_t b = offsets[1];
      if (a > b) std::swap(a, b);
      if (a == b) {
        mout.Null();
      } else {
        mout.Set(before.text.substr(a, b - a));
      }
      break;
    }
    case 20:
      KVFUZZ_CHECK(s.CurrentChar() == (m.buffer ? CharAt(m.text, m.cursor) : 0u));
      inPlace = true;
      break;
    case 21: {  // copy construction
      KvString copy(s);
      Model mc = m;
      mc.cursor = 0;
      CheckString(copy, mc);
      if (copy.Buffer() != nullptr) KVFUZZ_CHECK(copy.Buffer() != s.Buffer());
      inPlace = true;
      break;
    }
    case 22:  // assignment from the other string
      s = other;
      if (mo.buffer) {
        m.Set(mo.text);
      } else {
        m.Null();
      }
      break;
    case 23:
      KVFUZZ_CHECK(s.Length() == static_cast<int32_t>(m.text.size()));
      inPlace = true;
      break;
  }
  if (inPlace && capacityBefore != 0) KVFUZZ_CHECK(s.Capacity() >= capacityBefore);
  CheckString(st.s[0], st.m[0]);
  CheckString(st.s[1], st.m[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::Input in(data, size);
  State st;
  for (int steps = 0; !in.Done() && steps < 256; ++steps) Step(in, st);
  return 0;
}
