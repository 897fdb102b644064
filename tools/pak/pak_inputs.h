// pak_inputs.h: the files that pak create stores, found on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace paktool {

// A failure the tool reports in one line and ends with exit code 1. The
// text is terminal text (UTF-8 on Linux).
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct InputFile {
  std::string name;    // the entry name: code page 932, backslash separators
  std::string osPath;  // where to read it: terminal text as the OS takes it
  uint64_t size = 0;   // when it was found
};

// A file found by CollectInputs, opened for reading; throws ToolError.
// (Each system has its own, in pak_system_posix.cpp or pak_system_win32.cpp.)
std::FILE* OpenInput(const InputFile& file);

// Adds the files of path, a file or a folder taken recursively, each named
// by its path relative to path's parent; a folder named "." or ".." (or a
// root) adds its contents at the top. skip names a file that is never
// taken (the archive being written). Throws ToolError for a path that does
// not exist, a name without an exact code page 932 form, a name that could
// not be extracted again, or a link to a folder inside a folder.
// With problems given, every refused input (a path that does not exist
// included) is added there, one line each, and the walk goes on.
// Each file's size is taken as it is found.
void CollectInputs(const std::string& path, const std::string& skip, std::vector<InputFile>& out,
                   std::vector<std::string>* problems = nullptr);

}  // namespace paktool
