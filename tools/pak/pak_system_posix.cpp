// pak_system_posix.cpp: the Linux side of the pak tool.
#include "tools/pak/pak_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "tools/pak/pak_names.h"

namespace paktool {

// Linux converts through iconv, which refuses what it cannot convert.
bool LostInConversion(const std::string&) { return false; }

const char* ReplacementText() { return "\xEF\xBF\xBD"; }  // U+FFFD in UTF-8

bool IsTerminal(std::FILE* stream) { return ::isatty(fileno(stream)) != 0; }

std::string JsonText(const std::string& ansi) {
  std::string utf8;
  ToTerminalText(ansi, utf8);  // bad bytes become U+FFFD
  std::string out = "\"";
  for (const char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

bool FileBytes(const std::string& path, uint64_t& bytes) {
  std::FILE* f = plat::OpenStream(path.c_str(), "rb");
  if (f == nullptr) return false;
  struct stat st;
  const bool ok = ::fstat(fileno(f), &st) == 0;
  std::fclose(f);
  if (ok) bytes = static_cast<uint64_t>(st.st_size);
  return ok;
}

}  // namespace paktool
