// profile_scan.cpp: the line scan of the profile reader.
//
// Every step is one character (CharNextA), so a "[", "]" or backslash that
// is the trail byte of a double-byte character is never taken for itself.
// The scan is linear: each byte is passed at most a few times per pass, and
// there are at most two passes (the restart from the beginning).
#include "profile/profile.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// The end of the line that begins at p: its first CR, LF or NUL. Tells
// whether the line holds a backslash, that is, whether escapes may apply.
const char* LineEnd(const char* p, bool& hasBackslash) {
  hasBackslash = false;
  while (*p != '\0' && !IsLineBreak(*p)) {
    if (*p == '\\') hasBackslash = true;
    p = plat::NextChar(p);
  }
  return p;
}

// Whether the n bytes at name spell wanted, without regard to case.
bool NameEquals(const char* name, std::size_t n, const char* wanted) {
  return std::strlen(wanted) == n &&
         kvtext::CompareNoCaseN(name, wanted, static_cast<int32_t>(n)) == 0;
}

// A header line [begin, end) that begins with "[": the name runs to the
// first "]"; without one it runs to the line's last byte, not included.
bool HeaderMatches(const char* begin, const char* end, const char* section) {
  const char* nameStart = begin + 1;
  const char* p = nameStart;
  while (p < end && *p != ']') p = plat::NextChar(p);
  const char* nameEnd = p < end ? p : end - 1;
  if (nameEnd < nameStart) nameEnd = nameStart;
  return NameEquals(nameStart, static_cast<std::size_t>(nameEnd - nameStart), section);
}

// The character before the next "[" at or after from, or null when no "["
// follows. from lies on a line break or the NUL, never on a "[".
const char* CharBeforeNextBracket(const char* from) {
  const char* previous = from;
  for (const char* p = from; *p != '\0'; p = plat::NextChar(p)) {
    if (*p == '[') return previous;
    previous = p;
  }
  return nullptr;
}

bool IsDelimiter(char c) { return c == '\t' || c == '='; }

// A key line [begin, end) after its escapes: true when it names key with a
// non-empty value, which is then assigned to out.
bool KeyLineValue(const char* begin, const char* end, const char* key, KvString& out) {
  const char* p = begin;
  while (p < end && *p == '\t') ++p;
  const char* keyStart = p;
  while (p < end && !IsDelimiter(*p)) p = plat::NextChar(p);
  if (p >= end || p == keyStart) return false;  // no delimiter, or an empty key
  if (!NameEquals(keyStart, static_cast<std::size_t>(p - keyStart), key)) return false;
  while (p < end && (*p == '\t' || *p == ' ' || *p == '=')) ++p;
  const char* valueStart = p;
  while (p < end && *p != '\t') p = plat::NextChar(p);
  const char* valueEnd = p < end ? p : end;
  if (valueEnd == valueStart) return false;  // an empty value: a later line may have one
  out.Assign(valueStart, static_cast<int32_t>(valueEnd - valueStart));
  return true;
}

}  // namespace

// The two escapes in one pass. This gives what replacing every "\n" and then
// every "\t" gives: the two sequences cannot overlap, and a line feed put in
// place of "\n" cannot start or end a "\t". One pass keeps long lines linear.
void ExpandProfileEscapes(const char* begin, const char* end, KvString& out) {
  char* const start = out.Room(static_cast<int32_t>(end - begin));
  char* w = start;
  for (const char* p = begin; p < end;) {
    if (p[0] == '\\' && p + 1 < end && (p[1] == 'n' || p[1] == 't')) {
      *w++ = p[1] == 'n' ? '\n' : '\t';
      p += 2;
      continue;
    }
    const char* next = plat::NextChar(p);
    if (next > end) next = end;
    while (p < next) *w++ = *p++;
  }
  out.TakeWritten(static_cast<int32_t>(w - start));
}

void FindProfileValue(const char* section, const char* key, KvString& out, KvString& text) {
  if (text.Buffer() == nullptr || section == nullptr || key == nullptr) return;
  const char* start = text.cursor != nullptr ? text.cursor : text.Buffer();
  const char* matchedHeader = nullptr;
  bool restarted = false;
  KvString expanded;  // one buffer for every line with escapes
  const char* p = start;
  for (;;) {
    while (IsLineBreak(*p)) ++p;
    if (*p == '\0') {
      // A second pass from a start at the beginning would see the same.
      if (matchedHeader != nullptr || restarted || start == text.Buffer()) break;
      restarted = true;
      p = text.Buffer();
      continue;
    }
    bool hasBackslash = false;
    const char* end = LineEnd(p, hasBackslash);
    if (*p == '[') {
      if (HeaderMatches(p, end, section)) {
        matchedHeader = p;
        p = end;
      } else {
        // The lines of another section are never looked at.
        const char* before = CharBeforeNextBracket(end);
        p = before != nullptr ? before : end + std::strlen(end);
      }
    } else if (*p == '\'') {
      p = end;
    } else {
      bool found;
      if (hasBackslash) {
        ExpandProfileEscapes(p, end, expanded);
        found = KeyLineValue(expanded.Text(), expanded.Text() + expanded.Size(), key, out);
      } else {
        found = KeyLineValue(p, end, key, out);
      }
      if (found) break;
      p = end;
    }
  }
  if (matchedHeader != nullptr) text.cursor = const_cast<char*>(matchedHeader);
}
