// format.h: the size estimate behind KvString::Format and AppendFormat.
#pragma once

#include <cstdarg>
#include <cstdint>

// An upper bound of the bytes the runtime writes for format and args, found by
// walking the format the way the runtime reads it and consuming a copy of the
// arguments in step. The formatting itself is bounded as well, so a wrong
// estimate costs a second pass, never memory safety.
int64_t EstimateFormatLength(const char* format, std::va_list args);
int64_t EstimateFormat(const char* format, ...);
