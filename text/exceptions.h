// exceptions.h: the system's exception types.
#pragma once

#include <cstdint>

#include "text/kvstring.h"

// The system's exceptions are one family: every one of them is a KvException
// (the archive's and the transforms' markers, KvErrorException for the
// failures the user is told about), so a handler at the top needs one rung
// for the family beside the runtime's std::bad_alloc for lack of memory.
// Nothing else is thrown: no bare status values.

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
