// pak_system.h: what the pak tool does differently on each system. Each
// system has its own file, pak_system_posix.cpp or pak_system_win32.cpp,
// chosen by the build, as the core's platform layer is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace paktool {

// Whether terminal text converted to code page 932 lost a character without
// saying so: the ANSI side of Windows writes '?' for a character that has no
// code page 932 form, and no file name holds '?'.
bool LostInConversion(const std::string& ansi);

// What a message shows in place of a byte that is not valid code page 932:
// U+FFFD on Linux, '?' on Windows.
const char* ReplacementText();

// Whether the stream is a terminal (a progress line is only drawn there).
bool IsTerminal(std::FILE* stream);

// A JSON string literal, quotes included, of a code page 932 text: UTF-8 on
// Linux; on Windows ASCII with \u escapes, whatever the console's code page.
std::string JsonText(const std::string& ansi);

// The size of a file in bytes (a path in the system's form); false when it
// cannot be opened.
bool FileBytes(const std::string& path, uint64_t& bytes);

}  // namespace paktool
