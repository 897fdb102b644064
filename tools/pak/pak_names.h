// pak_names.h: entry names at the tool's edges: the terminal's text (UTF-8
// on Linux, the ANSI code page on Windows) against the archive's code page
// 932 bytes, the order names are stored in, and which names may be
// extracted.
#pragma once

#include <string>
#include <vector>

namespace paktool {

// Terminal text (arguments, file names the OS gave us) to code page 932;
// false when some character has no exact code page 932 form (one that does
// not come back as the same text).
bool ToArchiveText(const std::string& terminal, std::string& ansi);
// Code page 932 to terminal text; false when the bytes are not valid code
// page 932 (then out holds the text with U+FFFD, or '?' on Windows, in place
// of each bad byte, fit for a message).
bool ToTerminalText(const std::string& ansi, std::string& out);

// The order entries are stored in: without regard to case under the same
// rule the reader matches names by, so a name comes before every longer
// name that begins with it in any case (the reader takes the first name
// that begins with the one asked for). Ties fall back to byte order.
bool NameBefore(const std::string& a, const std::string& b);
// Whether the reader would take the two names for the same.
bool SameName(const std::string& a, const std::string& b);
// The name with its letters in one case, by the same rule: two names are
// the same to the reader exactly when these are equal.
std::string FoldedName(const std::string& ansi);

// Splits a code page 932 name at its backslashes and forward slashes,
// without taking a trail byte 0x5C for a separator.
std::vector<std::string> SplitName(const std::string& ansi);

// Why a name must not be extracted, or empty when it may: it would land
// outside the target folder (an absolute or drive path, a ".." part), or it
// cannot be a file name there (empty parts, characters no file name holds,
// device names, parts of only dots and spaces).
std::string RefusalReason(const std::string& ansi);

}  // namespace paktool
