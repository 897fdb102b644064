// format.cpp: Format and AppendFormat. A walk over the format sizes the room,
// the runtime writes straight into the string's next buffer within that room, and
// when it would need more (a conversion the walk knows no bound for) the room
// is made and the output written again.
#include "text/format.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "text/kvstring.h"

namespace {

enum class Size { kInt, kShort, kLong, kLongLong, kSizeT };

// The widest field, and the most digits a precision may ask for, that a
// format may request. No format of the system comes near; a field beyond it
// (a width of 3000000000, a precision read from a wrong argument) is taken for
// a fault and the format is refused, the same on both runtimes, rather than
// sized in gigabytes or handed to a runtime whose int would wrap.
constexpr int64_t kMaxField = 1 << 20;

// A decimal field of the format, read without overflow: a value that no int
// holds (which the runtime cannot read either) reads as INT32_MAX + 1.
constexpr int64_t kNoInt = int64_t{INT32_MAX} + 1;
int64_t ReadField(const char*& p) {
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > kNoInt) value = kNoInt;
  }
  return value;
}

// Length of a text conversion: its own length, a null pointer as "(null)",
// then at most the precision, then at least the width.
int64_t TextItem(int64_t own, int64_t width, int64_t precision) {
  if (own < 1) own = 1;
  if (precision > 0 && own > precision) own = precision;
  if (own < width) own = width;
  return own;
}

int64_t NumberItem(int64_t floor, int64_t width, int64_t precision) {
  const int64_t wanted = width + precision;
  return wanted > floor ? wanted : floor;
}

}  // namespace

int64_t EstimateFormatLength(const char* format, std::va_list args) {
  if (format == nullptr) return 0;
  std::va_list ap;
  va_copy(ap, args);
  int64_t total = 0;
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = plat::NextChar(p);
      total += next - p;
      p = next;
      continue;
    }
    ++p;
    if (*p == '%') {
      total += 1;
      ++p;
      continue;
    }
    int64_t width = 0;
    int64_t precision = 0;
    for (; *p != '\0' && std::strchr("#*-+0 ", *p) != nullptr; ++p) {
      if (*p == '#') total += 2;
      if (*p == '*') width = va_arg(ap, int);
    }
    if (width == 0) width = ReadField(p);
    if (width < 0) width = -width;  // a negative * width means left-aligned
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        precision = va_arg(ap, int);
        ++p;
      } else {
        precision = ReadField(p);
      }
      if (precision < 0) precision = 0;  // as if none was given
    }
    Size size = Size::kInt;
    for (bool more = true; more && *p != '\0';) {
      if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        size = Size::kLongLong;
        p += 3;
      } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
      } else if (*p == 'I') {  // alone: the size of a pointer
        size = Size::kSizeT;
        ++p;
      } else if (*p == 'h') {
        size = Size::kShort;
        ++p;
      } else if (*p == 'l') {
        size = size == Size::kLong ? Size::kLongLong : Size::kLong;
        ++p;
      } else if (*p == 'z' || *p == 'j' || *p == 't') {
        size = *p == 'j' ? Size::kLongLong : Size::kSizeT;
        ++p;
      } else if (*p == 'F' || *p == 'L' || *p == 'N') {
        ++p;
      } else {
        more = false;
      }
    }
    const char conversion = *p;
    if (conversion == '\0') break;  // cut off by the end of the format
    ++p;
    // A precision only shortens a text; everywhere else it adds digits.
    const bool text = conversion == 's' || conversion == 'S';
    if (width > kMaxField || precision >= kNoInt || (!text && precision > kMaxField)) {
      total = -1;
      break;
    }
    switch (conversion) {
      case 'c':
      case 'C':
        if (size == Size::kLongLong) {
          (void)va_arg(ap, long long);
        } else {
          (void)va_arg(ap, int);
        }
        total += TextItem(2, width, precision);
        break;
      case 's':
      case 'S': {
        const bool wide = (conversion == 'S' && size != Size::kShort) ||
                          (conversion == 's' && size == Size::kLong);
        int64_t own = 6;
        if (wide) {
          const wchar_t* text = va_arg(ap, const wchar_t*);
          // A wide character may take two bytes in the code page.
          if (text != nullptr) own = static_cast<int64_t>(std::wcslen(text)) * 2;
        } else {
          const char* text = va_arg(ap, const char*);
          if (text != nullptr) own = static_cast<int64_t>(std::strlen(text));
        }
        total += TextItem(own, width, precision);
        break;
      }
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        switch (size) {
          case Size::kLongLong: (void)va_arg(ap, long long); break;
          case Size::kLong: (void)va_arg(ap, long); break;
          case Size::kSizeT: (void)va_arg(ap, std::size_t); break;
          default: (void)va_arg(ap, int); break;
        }
        total += NumberItem(32, width, precision);
        break;
      case 'p':
        (void)va_arg(ap, void*);
        total += NumberItem(32, width, precision);
        break;
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        (void)va_arg(ap, double);
        total += NumberItem(128, width, precision);
        break;
      case 'f': {
        const double value = va_arg(ap, double);
        const int n = std::snprintf(nullptr, 0, "%*.*f", static_cast<int>(width),
                                    static_cast<int>(precision + 6), value);
        total += n > 0 ? n : 0;
        break;
      }
      case 'n':
        (void)va_arg(ap, void*);
        break;
      default:
        // Unknown to the walk: the bounded pass below still covers it.
        break;
    }
  }
  va_end(ap);
  return total;
}

int64_t EstimateFormat(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int64_t n = EstimateFormatLength(format, args);
  va_end(args);
  return n;
}

// The output is built in a buffer of its own and takes the place of the old
// one only when it is complete: an argument may point into this string's own
// text (s.AppendFormat("%s", s.Text())), and that text must stay where it is
// until the runtime has read it.
bool KvString::FormatAfter(int32_t keep, bool cursorToStart, const char* format, std::va_list args) {
  const int64_t estimate = EstimateFormatLength(format, args);
  if (estimate < 0) return false;  // a field no string could hold: refused, nothing added
  const std::ptrdiff_t cursorOffset = cursor != nullptr ? cursor - data : 0;
  int64_t room = estimate;
  KvString fresh;
  for (int pass = 0; pass < 2; ++pass) {
    if (room > INT32_MAX - 128 - keep) throw std::bad_alloc();
    fresh.Reserve(static_cast<int32_t>(keep + room));
    if (keep > 0) std::memcpy(fresh.data, data, static_cast<std::size_t>(keep));
    fresh.data[keep] = '\0';
    std::va_list ap;
    va_copy(ap, args);
    const std::size_t size = static_cast<std::size_t>(fresh.capacity - keep) + 1;
    const int need = plat::FormatBounded(fresh.data + keep, size, format, ap);
    va_end(ap);
    if (need < 0) {
      fresh.data[keep] = '\0';  // the runtime refused the format: nothing is added
      break;
    }
    if (static_cast<std::size_t>(need) < size) break;
    room = need;
  }
  fresh.length = fresh.Length();
  fresh.cursor = cursorToStart || data == nullptr ? fresh.data : fresh.data + cursorOffset;
  *this = std::move(fresh);
  return true;
}

// The old text goes only once the new one is made: an argument may be it.
void KvString::Format(const char* format, ...) {
  if (format == nullptr) {
    Empty();
    return;
  }
  std::va_list args;
  va_start(args, format);
  const bool made = FormatAfter(0, true, format, args);
  va_end(args);
  if (!made) Empty();
}

void KvString::AppendFormat(const char* format, ...) {
  if (format == nullptr) return;
  std::va_list args;
  va_start(args, format);
  (void)FormatAfter(Length(), false, format, args);
  va_end(args);
}
