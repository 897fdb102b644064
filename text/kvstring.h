// kvstring.h: the system's one string type.
#pragma once

#include <cstdarg>
#include <cstdint>

class KvArchive;

// An owned, NUL-terminated byte buffer in the ANSI code page (932), grown in
// steps of 64 bytes, with a cursor from which the double-byte-aware searches
// start. A string without a buffer and an empty string are both empty.
//
// The cursor is public because the path and profile code sets and reads it
// directly while it parses. The buffer, its capacity and the length are the
// type's own: every operation that changes the text keeps them in step, and
// code that writes straight into the buffer does so between Room and
// TakeWritten. There are deliberately no implicit conversions: Text() gives
// the bytes, Length() measures them.
class KvString {
  // The fields in their order: data, capacity, length, cursor.
  char* data = nullptr;     // text and its NUL; null when there is no buffer
  int32_t capacity = 0;     // text bytes the buffer holds (buffer is capacity + 1)
  int32_t length = 0;       // bytes before the first NUL

 public:
  char* cursor = nullptr;   // a position in the text, up to its NUL

  KvString() = default;
  explicit KvString(int32_t reserve);
  explicit KvString(const char* text);
  KvString(const KvString& other);
  KvString(KvString&& other) noexcept;
  KvString& operator=(const KvString& other);
  KvString& operator=(KvString&& other) noexcept;
  virtual ~KvString();

  // The text, or "" for a string without a buffer.
  const char* Text() const { return data != nullptr ? data : ""; }
  // The buffer itself, null when there is none: for positions (cursor
  // arithmetic) and for reading. Writing into it goes through Room.
  char* Buffer() { return data; }
  const char* Buffer() const { return data; }
  // Text bytes the buffer holds; the buffer is Capacity() + 1 bytes.
  int32_t Capacity() const { return capacity; }
  // The length the operations keep up to date, without a scan.
  int32_t Size() const { return length; }

  // For a caller that lets another function write the text: Room makes room
  // for count text bytes (Reserve) and returns the buffer, which may then be
  // written up to Capacity() bytes; TakeWritten(count) takes the first count
  // bytes written (at most Capacity(), up to the first NUL among them) as the
  // text, ends it with a NUL and puts the cursor at the start.
  char* Room(int32_t count);
  void TakeWritten(int32_t count);

  void Assign(const char* text);
  void Assign(const KvString& other);
  void Assign(const char* text, int32_t count);
  void Empty();

  bool IsEmpty() const { return data == nullptr || data[0] == '\0'; }
  int32_t Length() const;
  void Reserve(int32_t count);
  KvString& Append(const char* text);
  int32_t Append(const char* text, int32_t count);

  // printf-style output (format.cpp).
  void Format(const char* format, ...);
  void AppendFormat(const char* format, ...);

  // Loads a length-prefixed name from an archive (archive/kvstring_read.cpp).
  void ReadFrom(KvArchive& file);

  // Shows the text in a message box (app, Windows only).
  int ShowMessage(void* owner, const char* caption, unsigned style) const;

  void Replace(const char* search, const char* replacement);
  char* Delete(int32_t count, int32_t position);
  void CopyRange(KvString& out, const char* start, const char* end) const;

  // Searches from the cursor: on success the cursor moves to the place found
  // and it is returned; on failure null is returned and the cursor stays.
  char* Find(char ch);
  char* ReverseFind(char ch);
  char* FindOneOf(const char* set);
  char* SkipChars(const char* set);
  char* Tokenize(KvString& out, const char* set);
  uint32_t CurrentChar() const;

 private:
  void Release();
  void SetCursorOffset(int32_t offset);
  // Formats after the first `keep` bytes of the text (format.cpp); false
  // when the format was refused and the string left as it was.
  bool FormatAfter(int32_t keep, bool cursorToStart, const char* format, std::va_list args);
};

// Double-byte-aware helpers shared by the string, path and profile code.
namespace kvtext {
// The character at p as one number: a lead byte with its valid trail byte
// gives lead * 256 + trail, a lead byte without one gives 0, any other byte
// itself.
uint32_t CharAt(const char* p);
// Whether the character at p (one or two bytes) occurs in set.
bool CharInSet(const char* p, const char* set);
// Case-insensitive comparison of up to n bytes under the double-byte rules:
// single-byte letters and the full-width Latin letters compare in either
// case; a lead byte is compared together with its trail byte. Stops at the
// first difference or at a NUL. Returns <0, 0 or >0.
int CompareNoCaseN(const char* a, const char* b, int32_t n);
}  // namespace kvtext
