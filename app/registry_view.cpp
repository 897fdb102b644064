// registry_view.cpp: the variables of the registry's 64-bit view.
#include "app/registry_view.h"

#include <cstring>
#include <string>

namespace {

struct ViewVariable {
  const char* name;      // as a 32-bit program's environment has it
  const char* name64;    // the same folder for every process of a 64-bit system
};

const ViewVariable kViewVariables[] = {
    {"ProgramFiles", "ProgramW6432"},
    {"CommonProgramFiles", "CommonProgramW6432"},
};

bool SameNameNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

KvString WithVariablesOf64BitView(const char* value, const KvVariableDefined& defined) {
  if (value == nullptr) return KvString();
  // A percent sign (0x25) is never the trail byte of a double-byte
  // character in code page 932, so the bytes can be scanned one by one.
  const std::string text(value);
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('%', at);
    if (open == std::string::npos) break;
    out.append(text, at, open - at);
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      at = open;
      break;
    }
    const std::string name = text.substr(open + 1, close - open - 1);
    const ViewVariable* swap = nullptr;
    for (const ViewVariable& v : kViewVariables) {
      if (SameNameNoCase(name, v.name) && defined(v.name64)) swap = &v;
    }
    if (swap != nullptr) {
      out.append("%").append(swap->name64).append("%");
      at = close + 1;
    } else if (!name.empty() && defined(name.c_str())) {
      out.append(text, open, close + 1 - open);
      at = close + 1;
    } else {
      out.push_back('%');
      at = open + 1;
    }
  }
  out.append(text, at, std::string::npos);
  return KvString(out.c_str());
}
