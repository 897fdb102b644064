// pak_system.h: what the pak tool does differently on each system. Each
// system has its own file, pak_system_posix.cpp or pak_system_win32.cpp,
// chosen by the build, as the core's platform layer is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pak/pak_inputs.h"

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

// Whether two paths (system form) name the same place.
bool SamePath(const std::string& a, const std::string& b);

// The archive path as the walk compares it with the files it finds, so that
// the archive being written is never taken in: typed as given, system its
// form for the system's calls.
std::string PathToSkip(const std::string& typed, const std::string& system);

// Makes the stream take bytes as they are (no line-end translation).
void SetBinaryOutput(std::FILE* stream);

// --- The walk of pak create's inputs

// Throws ToolError for a part of a name (terminal text) that the system
// allows but the archive would misread.
void CheckNamePart(const std::string& part);

// Drops the separators at the end of a path given on the command line and
// returns where the separator before its last part stands (npos: none).
std::string::size_type LastSeparator(std::string& path);

enum class PathKind { kNone, kFile, kFolder };
// What path names; for a file, its size.
PathKind KindOfPath(const std::string& path, uint64_t& size);

// Adds the files below folder, each named prefix + "\" + its path below it,
// as CollectInputs says.
void WalkFolder(const std::string& folder, const std::string& prefix, const std::string& skip,
                std::vector<InputFile>& out, std::vector<std::string>* problems);

// Shared by both systems' walks (pak_inputs.cpp): prefix + "\" + part
// (terminal text), converted and checked; and a ToolError for a file whose
// entry name could not be extracted again.
std::string JoinName(const std::string& prefix, const std::string& part);
void CheckStorable(const InputFile& file);

}  // namespace paktool
