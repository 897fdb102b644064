// kvstring.cpp: KvString, its growth rule and its double-byte-aware scans.
#include "text/kvstring.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace kvtext {

uint32_t CharAt(const char* p) {
  if (p == nullptr) return 0;
  const unsigned char lead = static_cast<unsigned char>(p[0]);
  if (plat::IsLeadByte(lead)) {
    const unsigned char trail = static_cast<unsigned char>(p[1]);
    return plat::IsTrailByte(lead, trail) ? lead * 256u + trail : 0u;
  }
  return lead;
}

bool CharInSet(const char* p, const char* set) {
  if (p == nullptr || set == nullptr || *p == '\0') return false;
  const char* next = plat::NextChar(p);
  const std::size_t size = static_cast<std::size_t>(next - p);
  for (const char* s = set; *s != '\0';) {
    const char* sNext = plat::NextChar(s);
    if (static_cast<std::size_t>(sNext - s) == size && std::memcmp(s, p, size) == 0) return true;
    s = sNext;
  }
  return false;
}

namespace {
// Upper-case form of one character: ASCII letters, and the full-width Latin
// small letters of code page 932 (82 81..82 9A) onto their capitals (82 60..).
uint32_t FoldCase(uint32_t ch) {
  if (ch >= 'a' && ch <= 'z') return ch - ('a' - 'A');
  if (ch >= 0x8281 && ch <= 0x829A) return ch - 0x21;
  return ch;
}
}  // namespace

int CompareNoCaseN(const char* a, const char* b, int32_t n) {
  int32_t i = 0;
  while (i < n) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const unsigned char cb = static_cast<unsigned char>(b[i]);
    // A pair is one character only when both its bytes lie within the n.
    const bool pairA = plat::IsLeadByte(ca) && i + 1 < n && a[i + 1] != '\0';
    const bool pairB = plat::IsLeadByte(cb) && i + 1 < n && b[i + 1] != '\0';
    uint32_t xa = pairA ? ca * 256u + static_cast<unsigned char>(a[i + 1]) : ca;
    uint32_t xb = pairB ? cb * 256u + static_cast<unsigned char>(b[i + 1]) : cb;
    xa = FoldCase(xa);
    xb = FoldCase(xb);
    if (xa != xb) return xa < xb ? -1 : 1;
    if (xa == 0) return 0;
    i += pairA ? 2 : 1;
  }
  return 0;
}

}  // namespace kvtext

namespace {

constexpr int32_t kStep = 64;

// The capacity a request for count text bytes needs: count with its low six
// bits cleared, plus 64. Computed wide so that a huge count cannot wrap.
int64_t RequiredCapacity(int32_t count) {
  return (static_cast<int64_t>(count) & ~static_cast<int64_t>(kStep - 1)) + kStep;
}

// Searches text for needle, starting only at character boundaries.
const char* FindText(const char* text, const char* needle) {
  const std::size_t n = std::strlen(needle);
  for (const char* p = text; *p != '\0'; p = plat::NextChar(p)) {
    if (std::strncmp(p, needle, n) == 0) return p;
  }
  return nullptr;
}

}  // namespace

KvString::KvString(int32_t reserve) {
  if (reserve == -1) return;
  Reserve(reserve);
  if (data != nullptr) cursor = data;
}

KvString::KvString(const char* text) { Append(text); }

KvString::KvString(const KvString& other) {
  if (other.data != nullptr) Append(other.data);
}

KvString::KvString(KvString&& other) noexcept
    : data(other.data), capacity(other.capacity), length(other.length), cursor(other.cursor) {
  other.data = nullptr;
  other.capacity = 0;
  other.length = 0;
  other.cursor = nullptr;
}

KvString& KvString::operator=(const KvString& other) {
  Assign(other);
  return *this;
}

KvString& KvString::operator=(KvString&& other) noexcept {
  if (this != &other) {
    Release();
    std::swap(data, other.data);
    std::swap(capacity, other.capacity);
    std::swap(length, other.length);
    std::swap(cursor, other.cursor);
  }
  return *this;
}

KvString::~KvString() { Release(); }

void KvString::Release() {
  delete[] data;
  data = nullptr;
  capacity = 0;
  length = 0;
  cursor = nullptr;
}

void KvString::SetCursorOffset(int32_t offset) { cursor = data != nullptr ? data + offset : nullptr; }

// The text is copied before the old buffer goes, so a text that lies inside
// this string's own buffer (a cursor, say) is copied safely.
void KvString::Assign(const char* text) {
  if (text == data) return;
  if (text == nullptr) {
    Release();
    return;
  }
  KvString copy(text);
  *this = std::move(copy);
}

void KvString::Assign(const KvString& other) {
  if (&other == this) return;
  Assign(other.data);
}

void KvString::Assign(const char* text, int32_t count) {
  if (text == data && (text != nullptr || count == -1)) return;
  KvString fresh;
  fresh.Append(text, count);
  *this = std::move(fresh);
}

void KvString::Empty() { Release(); }

int32_t KvString::Length() const {
  return data != nullptr ? static_cast<int32_t>(std::strlen(data)) : 0;
}

void KvString::Reserve(int32_t count) {
  const int64_t required = RequiredCapacity(count);
  if (required <= capacity) return;
  if (required > INT32_MAX - 1) throw std::bad_alloc();
  char* fresh = new char[static_cast<std::size_t>(required) + 1];
  fresh[0] = '\0';
  fresh[required] = '\0';
  int32_t offset = 0;
  if (data != nullptr) {
    const std::size_t used = strnlen(data, static_cast<std::size_t>(capacity));
    std::memcpy(fresh, data, used);
    fresh[used] = '\0';
    offset = static_cast<int32_t>(cursor - data);
    delete[] data;
  }
  data = fresh;
  capacity = static_cast<int32_t>(required);
  cursor = data + offset;
}

char* KvString::Room(int32_t count) {
  Reserve(count);
  return data;
}

void KvString::TakeWritten(int32_t count) {
  if (data == nullptr) return;  // no buffer, nothing written
  if (count < 0) count = 0;
  if (count > capacity) count = capacity;
  data[count] = '\0';
  length = static_cast<int32_t>(strnlen(data, static_cast<std::size_t>(count)));
  cursor = data;
}

KvString& KvString::Append(const char* text) {
  if (text == nullptr) {
    cursor = data;
    return *this;
  }
  Append(text, -1);
  if (data == nullptr) Reserve(0);  // an empty text still gives a buffer
  cursor = data;
  return *this;
}

int32_t KvString::Append(const char* text, int32_t count) {
  if (text == nullptr) {
    if (count != -1) {
      Reserve(count);
      cursor = data;
    }
    return length;
  }
  if (count == -1) {
    const std::size_t n = std::strlen(text);
    if (n > static_cast<std::size_t>(INT32_MAX - kStep)) throw std::bad_alloc();
    count = static_cast<int32_t>(n);
  }
  if (count <= 0) return length;  // 0 does nothing at all, not even the cursor
  const int32_t present = Length();
  if (static_cast<int64_t>(present) + count > INT32_MAX - kStep) throw std::bad_alloc();
  // The text may lie inside this buffer, which Reserve may move.
  const bool inside = data != nullptr && text >= data && text <= data + capacity;
  const std::ptrdiff_t from = inside ? text - data : 0;
  Reserve(present + count);
  const char* source = inside ? data + from : text;
  std::memmove(data + present, source, static_cast<std::size_t>(count));
  data[present + count] = '\0';
  // The text ends at its first NUL, also when one was among the bytes copied.
  length = present + static_cast<int32_t>(strnlen(data + present, static_cast<std::size_t>(count)));
  cursor = data;
  return length;
}

void KvString::Replace(const char* search, const char* replacement) {
  if (data == nullptr || search == nullptr || *search == '\0') return;
  cursor = data;
  const char* hit = FindText(data, search);
  if (hit == nullptr) return;
  const std::size_t searchLength = std::strlen(search);
  // The working text keeps its own length, so many occurrences in a long
  // text cost one pass, not a rescan per piece. Lack of memory leaves as the
  // runtime's std::bad_alloc, as from every other allocation.
  std::string work;
  work.reserve(static_cast<std::size_t>(capacity));
  const char* rest = data;
  while (hit != nullptr) {
    work.append(rest, static_cast<std::size_t>(hit - rest));
    if (replacement != nullptr) work.append(replacement);
    rest = hit + searchLength;
    hit = FindText(rest, search);
  }
  work.append(rest);
  KvString result(work.c_str());
  *this = std::move(result);
}

char* KvString::Delete(int32_t count, int32_t position) {
  if (data == nullptr) return nullptr;
  const int32_t whole = Length();
  if (count > whole) {
    Release();
    return nullptr;
  }
  if (count < 0) count = 0;
  if (position == -1) {
    // the cursor, where it is
  } else if (position >= 0 && position <= length && position <= whole) {
    cursor = data + position;
  }
  const int32_t at = static_cast<int32_t>(cursor - data);
  KvString fresh;
  fresh.Append(data, at);
  if (count != 0 && at + count <= whole) fresh.Append(data + at + count, whole - at - count);
  if (fresh.data == nullptr) fresh.Reserve(0);
  const int32_t newLength = fresh.length;
  *this = std::move(fresh);
  SetCursorOffset(at <= newLength ? at : 0);
  return cursor;
}

void KvString::CopyRange(KvString& out, const char* start, const char* end) const {
  if (data == nullptr) {
    if (start == nullptr && end == nullptr) out.Empty();  // the empty range of an empty text
    return;
  }
  const char* stop = data + Length();
  if (start == nullptr) start = data;
  if (end == nullptr) end = stop;
  if (start > end) std::swap(start, end);
  if (start < data || end > stop) return;
  KvString copy;
  copy.Append(start, static_cast<int32_t>(end - start));
  out = std::move(copy);
}

char* KvString::Find(char ch) {
  if (cursor == nullptr) return nullptr;
  for (char* p = cursor; *p != '\0'; p = const_cast<char*>(plat::NextChar(p))) {
    if (*p == ch && kvtext::CharAt(p) == static_cast<unsigned char>(ch)) return cursor = p;
  }
  return nullptr;
}

char* KvString::ReverseFind(char ch) {
  if (cursor == nullptr) return nullptr;
  char* last = nullptr;
  for (char* p = cursor; *p != '\0'; p = const_cast<char*>(plat::NextChar(p))) {
    if (*p == ch && kvtext::CharAt(p) == static_cast<unsigned char>(ch)) last = p;
  }
  if (last != nullptr) cursor = last;
  return last;
}

char* KvString::FindOneOf(const char* set) {
  if (cursor == nullptr) return nullptr;
  for (char* p = cursor; *p != '\0'; p = const_cast<char*>(plat::NextChar(p))) {
    if (kvtext::CharInSet(p, set)) return cursor = p;
  }
  return nullptr;
}

char* KvString::SkipChars(const char* set) {
  if (cursor == nullptr) return nullptr;
  for (char* p = cursor; *p != '\0'; p = const_cast<char*>(plat::NextChar(p))) {
    if (!kvtext::CharInSet(p, set)) return cursor = p;
  }
  return nullptr;
}

char* KvString::Tokenize(KvString& out, const char* set) {
  if (cursor == nullptr) return nullptr;
  char* start = cursor;
  while (*start != '\0' && kvtext::CharInSet(start, set)) {
    start = const_cast<char*>(plat::NextChar(start));
  }
  if (*start == '\0') return nullptr;
  char* end = start;
  while (*end != '\0' && !kvtext::CharInSet(end, set)) end = const_cast<char*>(plat::NextChar(end));
  KvString token;
  token.Append(start, static_cast<int32_t>(end - start));
  if (&out == this) {
    // The string becomes its own token: its old text, and the positions in
    // it, are gone. The cursor stands at the token's end, where the next
    // call finds no further token.
    *this = std::move(token);
    cursor = data + length;
    return data;
  }
  out = std::move(token);
  cursor = end;
  return start;
}

uint32_t KvString::CurrentChar() const { return cursor != nullptr ? kvtext::CharAt(cursor) : 0; }
