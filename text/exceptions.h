// exceptions.h: the system's exception types.
#pragma once

#include <cstdint>

#include "text/kvstring.h"

// The base of the system's exceptions; code is 0 when it carries none.
class KvException {
 public:
  explicit KvException(uint32_t code) : code(code) {}
  virtual ~KvException() = default;

  uint32_t code;
};

// A failure the user is told about: the Windows error code current when it
// was made, and a Japanese message.
class KvErrorException : public KvException {
 public:
  // The last-error value is taken first, before anything else can change it.
  explicit KvErrorException(const char* text);
  explicit KvErrorException(const KvString& text) : KvErrorException(text.Text()) {}

  KvString message;
};

// The status code for lack of memory, thrown as a bare value by the archive
// lookup when the region for a directory cannot be had.
constexpr uint32_t kStatusNoMemory = 0xC0000017u;
