// messages.h: the message boxes of the update run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/exceptions.h"

// "エラーが発生しました。\nCode 0x%x :%s" with the exception's code and message.
void ReportError(const KvErrorException& error, HWND owner);
// The same box for a failure that is no KvErrorException. Never throws: when
// even the text cannot be made, a fixed text is shown.
void ReportFailure(uint32_t code, const char* message, HWND owner);
