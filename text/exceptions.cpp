// exceptions.cpp: KvErrorException takes the last-error value at birth.
#include "text/exceptions.h"

#include "platform/platform.h"

KvErrorException::KvErrorException(const char* text) : KvException(plat::LastError()) {
  message.Assign(text);
}
