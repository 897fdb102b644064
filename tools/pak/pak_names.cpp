// pak_names.cpp: names between the terminal and the archive, their stored
// order, and the names extract refuses.
#include "tools/pak/pak_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/platform.h"
#include "text/kvstring.h"
#include "tools/pak/pak_system.h"

namespace paktool {

namespace {

// The bytes of the character at text[i]: two for a lead byte with a valid
// trail byte, else one.
std::size_t CharLength(const std::string& text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (i + 1 < text.size() && plat::IsLeadByte(lead) &&
      plat::IsTrailByte(lead, static_cast<unsigned char>(text[i + 1]))) {
    return 2;
  }
  return 1;
}

bool ValidCharacter(const std::string& text, std::size_t i, std::size_t length) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (length == 2) return true;
  // A lead byte without its trail byte, or a byte that is neither a single
  // character nor a lead byte (0x80, 0xA0, 0xFD to 0xFF).
  return !plat::IsLeadByte(c) && c != 0x80 && c != 0xA0 && c < 0xFD;
}

int CompareFolded(const std::string& a, const std::string& b) {
  const std::size_t n = std::max(a.size(), b.size()) + 1;
  return kvtext::CompareNoCaseN(a.c_str(), b.c_str(), static_cast<int32_t>(n));
}

bool IsDeviceName(const std::string& part) {
  // The base name before any dot or trailing space names a device on Windows
  // in every folder: "nul.txt" is the null device too.
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kDevices) {
    if (base == d) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool ToArchiveText(const std::string& terminal, std::string& ansi) {
  std::string back;
  if (!plat::Utf8ToAnsi(terminal, ansi) || !plat::AnsiToUtf8(ansi, back) || back != terminal) {
    return false;
  }
  return !LostInConversion(ansi);
}

bool ToTerminalText(const std::string& ansi, std::string& out) {
  const char* const kReplacement = ReplacementText();
  out.clear();
  bool valid = true;
  for (std::size_t i = 0; i < ansi.size();) {
    const std::size_t length = CharLength(ansi, i);
    std::string converted;
    if (ValidCharacter(ansi, i, length) && plat::AnsiToUtf8(ansi.substr(i, length), converted)) {
      out += converted;
    } else {
      valid = false;
      out += kReplacement;
    }
    i += length;
  }
  return valid;
}

bool NameBefore(const std::string& a, const std::string& b) {
  const int c = CompareFolded(a, b);
  return c != 0 ? c < 0 : a < b;
}

bool SameName(const std::string& a, const std::string& b) { return CompareFolded(a, b) == 0; }

std::string FoldedName(const std::string& ansi) {
  std::string out;
  for (std::size_t i = 0; i < ansi.size();) {
    const std::size_t length = CharLength(ansi, i);
    const auto c = static_cast<unsigned char>(ansi[i]);
    if (length == 1 && c >= 'a' && c <= 'z') {
      out += static_cast<char>(c - ('a' - 'A'));
    } else if (length == 2 && c == 0x82 && static_cast<unsigned char>(ansi[i + 1]) >= 0x81 &&
               static_cast<unsigned char>(ansi[i + 1]) <= 0x9A) {
      // full-width small letters onto their capitals, as the reader matches them
      out += static_cast<char>(0x82);
      out += static_cast<char>(static_cast<unsigned char>(ansi[i + 1]) - 0x21);
    } else {
      out.append(ansi, i, length);
    }
    i += length;
  }
  return out;
}

std::vector<std::string> SplitName(const std::string& ansi) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < ansi.size();) {
    const std::size_t length = CharLength(ansi, i);
    if (length == 1 && (ansi[i] == '\\' || ansi[i] == '/')) {
      parts.emplace_back();
    } else {
      parts.back().append(ansi, i, length);
    }
    i += length;
  }
  return parts;
}

std::string RefusalReason(const std::string& ansi) {
  if (ansi.empty()) return "empty name";
  if (ansi[0] == '\\' || ansi[0] == '/') return "absolute path";
  for (std::size_t i = 0; i < ansi.size();) {
    const std::size_t length = CharLength(ansi, i);
    if (!ValidCharacter(ansi, i, length)) return "not valid code page 932";
    const auto c = static_cast<unsigned char>(ansi[i]);
    if (length == 1) {
      if (c == ':') return i == 1 ? "drive path" : "':' in a name";
      if (c < 0x20 || std::strchr("<>\"|?*", c) != nullptr) return "character not allowed in a file name";
    }
    i += length;
  }
  for (const std::string& part : SplitName(ansi)) {
    if (part.empty()) return "empty part in path";
    if (part == "..") return "'..' in path";
    // Windows drops trailing dots and spaces: ". ." or "..." would not stay
    // the name it claims to be.
    if (part.find_first_not_of(". ") == std::string::npos) return "part of only dots and spaces";
    if (part.back() == '.' || part.back() == ' ') return "part ending in a dot or a space";
    if (IsDeviceName(part)) return "device name";
  }
  return std::string();
}

}  // namespace paktool
