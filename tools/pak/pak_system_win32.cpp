// pak_system_win32.cpp: the Windows side of the pak tool.
#include "tools/pak/pak_system.h"

#include <io.h>
#include <windows.h>

namespace paktool {

bool LostInConversion(const std::string& ansi) { return ansi.find('?') != std::string::npos; }

const char* ReplacementText() { return "?"; }

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

// JSON is read by programs: every character beyond ASCII is written as a
// \u escape, so the output is the same whatever code page the console uses.
std::string JsonText(const std::string& ansi) {
  std::string out = "\"";
  if (ansi.empty()) return out + "\"";
  const int n = ::MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
  for (const wchar_t w : wide) {
    if (w == L'"' || w == L'\\') {
      out += '\\';
      out += static_cast<char>(w);
    } else if (w == L'\n') {
      out += "\\n";
    } else if (w == L'\t') {
      out += "\\t";
    } else if (w < 0x20 || w > 0x7E) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(w));
      out += escape;
    } else {
      out += static_cast<char>(w);
    }
  }
  return out + "\"";
}

bool FileBytes(const std::string& path, uint64_t& bytes) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  bytes = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace paktool
