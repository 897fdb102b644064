// pak_inputs.cpp: the files that pak create stores: the rules both systems'
// walks share (pak_system_posix.cpp and pak_system_win32.cpp walk the folders).
#include "tools/pak/pak_inputs.h"

#include <cstdio>
#include <string>

#include "tools/pak/pak_names.h"
#include "tools/pak/pak_system.h"

namespace paktool {

// Appends one part (terminal text) to an entry name, converted and checked.
std::string JoinName(const std::string& prefix, const std::string& part) {
  std::string ansi;
  if (!ToArchiveText(part, ansi)) {
    // Name the character, so that the publisher knows what to change.
    std::string bad;
    for (std::size_t i = 0; i < part.size();) {
      std::size_t n = 1;
      const auto c = static_cast<unsigned char>(part[i]);
      if (c >= 0xF0) n = 4;
      else if (c >= 0xE0) n = 3;
      else if (c >= 0xC0) n = 2;
      const std::string ch = part.substr(i, n);
      std::string one;
      if (!ToArchiveText(ch, one)) {
        uint32_t code = n == 1 ? c : c & (0xFF >> (n + 1));
        for (std::size_t k = 1; k < n && i + k < part.size(); ++k) {
          code = code << 6 | (static_cast<unsigned char>(part[i + k]) & 0x3F);
        }
        char text[32];
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
        bad = ch + " (" + text + ")";
        break;
      }
      i += n;
    }
    std::string folder;
    ToTerminalText(prefix, folder);
    throw ToolError("name has no code page 932 form: " + part + " in folder " +
                    (folder.empty() ? std::string(".") : folder) +
                    (bad.empty() ? std::string() : ": the character " + bad + " has none"));
  }
  CheckNamePart(part);
  return prefix.empty() ? ansi : prefix + "\\" + ansi;
}

void CheckStorable(const InputFile& file) {
  const std::string why = RefusalReason(file.name);
  if (!why.empty()) {
    std::string shown;
    ToTerminalText(file.name, shown);
    throw ToolError("cannot store " + shown + ": " + why);
  }
}

// The last part of a path given on the command line, and whether it names
// the folder itself ("." "..", or a root) so that its contents go on top.
std::string LastPart(std::string path, bool& contentsOnTop) {
  const std::string::size_type cut = LastSeparator(path);
  const std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  contentsOnTop = last.empty() || last == "." || last == "..";
  return last;
}

void CollectInputs(const std::string& path, const std::string& skip, std::vector<InputFile>& out,
                   std::vector<std::string>* problems) {
  bool contentsOnTop = false;
  const std::string last = LastPart(path, contentsOnTop);
  try {
    uint64_t size = 0;
    switch (KindOfPath(path, size)) {
      case PathKind::kNone:
        throw ToolError("no such file or folder: " + path);
      case PathKind::kFolder:
        WalkFolder(path, contentsOnTop ? std::string() : JoinName("", last), skip, out, problems);
        break;
      case PathKind::kFile:
        out.push_back(InputFile{JoinName("", last), path, size});
        CheckStorable(out.back());
        break;
    }
  } catch (const ToolError& e) {
    if (problems == nullptr) throw;
    problems->push_back(e.what());
  }
}

}  // namespace paktool
