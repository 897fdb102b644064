// format.cpp: Format and AppendFormat. A walk over the format sizes the room,
// the runtime writes straight into the string's buffer within that room, and
// when it would need more (a conversion the walk knows no bound for) the room
// is made and the output written again.
#include "text/format.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/platform.h"
#include "text/kvstring.h"

namespace {

enum class Size { kInt, kShort, kLong, kLongLong, kSizeT };

// Length of a text conversion: its own length, a null pointer as "(null)",
// then at most the precision, then at least the width.
int64_t TextItem(int64_t own, int width, int precision) {
  if (own < 1) own = 1;
  if (precision > 0 && own > precision) own = precision;
  if (own < width) own = width;
  return own;
}

int64_t NumberItem(int64_t floor, int width, int precision) {
  const int64_t wanted = static_cast<int64_t>(width) + precision;
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
    int width = 0;
    int precision = 0;
    for (; *p != '\0' && std::strchr("#*-+0 ", *p) != nullptr; ++p) {
      if (*p == '#') total += 2;
      if (*p == '*') width = va_arg(ap, int);
    }
    if (width == 0) {
      for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + (*p - '0');
    }
    if (width < 0) width = -width;  // a negative * width means left-aligned
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        precision = va_arg(ap, int);
        ++p;
      } else {
        for (; *p >= '0' && *p <= '9'; ++p) precision = precision * 10 + (*p - '0');
      }
      if (precision < 0) precision = 0;
    }
    Size size = Size::kInt;
    for (bool more = true; more && *p != '\0';) {
      if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        size = Size::kLongLong;
        p += 3;
      } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
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
        const int n = std::snprintf(nullptr, 0, "%*.*f", width, precision + 6, value);
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

void KvString::FormatAfter(int32_t keep, bool cursorToStart, const char* format, std::va_list args) {
  const int32_t at = keep;
  int64_t room = EstimateFormatLength(format, args);
  for (int pass = 0; pass < 2; ++pass) {
    if (room > INT32_MAX - 128 - at) throw std::bad_alloc();
    Reserve(static_cast<int32_t>(at + room));
    std::va_list ap;
    va_copy(ap, args);
    const std::size_t size = static_cast<std::size_t>(capacity - at) + 1;
    const int need = plat::FormatBounded(data + at, size, format, ap);
    va_end(ap);
    if (need < 0) {
      data[at] = '\0';  // the runtime refused the format: nothing is added
      break;
    }
    if (static_cast<std::size_t>(need) < size) break;
    room = need;
  }
  length = Length();
  if (cursorToStart) cursor = data;
}

void KvString::Format(const char* format, ...) {
  Empty();
  if (format == nullptr) return;
  std::va_list args;
  va_start(args, format);
  FormatAfter(0, true, format, args);
  va_end(args);
}

void KvString::AppendFormat(const char* format, ...) {
  if (format == nullptr) return;
  std::va_list args;
  va_start(args, format);
  FormatAfter(Length(), false, format, args);
  va_end(args);
}
