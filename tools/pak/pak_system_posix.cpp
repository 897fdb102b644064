// pak_system_posix.cpp: the Linux side of the pak tool.
#include "tools/pak/pak_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "tools/pak/pak_inputs.h"
#include "tools/pak/pak_names.h"

namespace paktool {

// Linux converts through iconv, which refuses what it cannot convert.
bool LostInConversion(const std::string&) { return false; }

const char* ReplacementText() { return "\xEF\xBF\xBD"; }  // U+FFFD in UTF-8

bool IsTerminal(std::FILE* stream) { return ::isatty(fileno(stream)) != 0; }

bool SamePath(const std::string& a, const std::string& b) {
  const std::string x = plat::FullPathName(a.c_str());
  return !x.empty() && x == plat::FullPathName(b.c_str());
}

// The walk compares with the path as typed (std::filesystem::equivalent).
std::string PathToSkip(const std::string& typed, const std::string&) { return typed; }

void SetBinaryOutput(std::FILE*) {}

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

// --- The walk of pak create's inputs: the UTF-8 names themselves, so that a
// name without a code page 932 form is reported rather than passed over.

void CheckNamePart(const std::string& part) {
  // A Linux name may hold a backslash, which the archive would take for a
  // separator.
  if (part.find('\\') != std::string::npos) {
    throw ToolError("name holds a backslash, the archive's separator: " + part);
  }
}

std::string::size_type LastSeparator(std::string& path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path.rfind('/');
}

namespace fs = std::filesystem;

PathKind KindOfPath(const std::string& path, uint64_t& size) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return PathKind::kFolder;
  if (!fs::is_regular_file(status)) return PathKind::kNone;
  size = static_cast<uint64_t>(fs::file_size(path, ec));
  return PathKind::kFile;
}

namespace {

void WalkPath(const fs::path& folder, const std::string& prefix, const fs::path& skip,
          std::vector<InputFile>& out, std::vector<std::string>* problems) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) throw ToolError("cannot read folder " + folder.string() + ": " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
   try {
    const fs::path child = it->path();
    const std::string name = JoinName(prefix, child.filename().string());
    const fs::file_status linkStatus = fs::symlink_status(child, ec);
    const fs::file_status status = fs::status(child, ec);
    if (fs::is_directory(status)) {
      if (fs::is_symlink(linkStatus)) {
        throw ToolError("will not follow a link to a folder: " + child.string());
      }
      WalkPath(child, name, skip, out, problems);
    } else if (fs::is_regular_file(status)) {
      if (!skip.empty() && fs::equivalent(child, skip, ec)) continue;
      out.push_back(InputFile{name, child.string(), static_cast<uint64_t>(fs::file_size(child, ec))});
      CheckStorable(out.back());
    } else {
      throw ToolError("not a file or folder: " + child.string());
    }
   } catch (const ToolError& e) {
    if (problems == nullptr) throw;
    problems->push_back(e.what());
   }
  }
  if (ec) throw ToolError("cannot read folder " + folder.string() + ": " + ec.message());
}

}  // namespace

void WalkFolder(const std::string& folder, const std::string& prefix, const std::string& skip,
                std::vector<InputFile>& out, std::vector<std::string>* problems) {
  WalkPath(folder, prefix, skip, out, problems);
}

std::FILE* OpenInput(const InputFile& file) {
  std::FILE* f = std::fopen(file.osPath.c_str(), "rb");
  if (f == nullptr) throw ToolError("cannot open " + file.osPath + ": " + std::strerror(errno));
  return f;
}

}  // namespace paktool
