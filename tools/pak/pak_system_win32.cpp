// pak_system_win32.cpp: the Windows side of the pak tool.
#include "tools/pak/pak_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "app/kvpath.h"
#include "platform/platform.h"
#include "tools/pak/pak_inputs.h"

namespace paktool {

bool LostInConversion(const std::string& ansi) { return ansi.find('?') != std::string::npos; }

const char* ReplacementText() { return "?"; }

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

bool SamePath(const std::string& a, const std::string& b) {
  const std::string x = plat::FullPathName(a.c_str());
  return !x.empty() && plat::CompareNoCase(x.c_str(), plat::FullPathName(b.c_str()).c_str()) == 0;
}

// The walk compares full paths without regard to case.
std::string PathToSkip(const std::string&, const std::string& system) {
  return plat::FullPathName(system.c_str());
}

void SetBinaryOutput(std::FILE* stream) { ::_setmode(::_fileno(stream), _O_BINARY); }

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

// --- The walk of pak create's inputs: the ANSI file search of the platform
// layer.

// Windows names never hold a backslash; there 0x5C can be a trail byte.
void CheckNamePart(const std::string&) {}

std::string::size_type LastSeparator(std::string& path) {
  // A trail byte 0x5C is not a separator: go character by character.
  std::string::size_type cut = std::string::npos;
  std::string::size_type end = 0;  // after the last character that is no separator
  for (const char* p = path.c_str(); *p != '\0'; p = plat::NextChar(p)) {
    if (*p != '\\' && *p != '/') {
      end = static_cast<std::string::size_type>(plat::NextChar(p) - path.c_str());
    }
  }
  if (end > 0) path.resize(end);  // separators at the end are dropped
  for (const char* p = path.c_str(); *p != '\0'; p = plat::NextChar(p)) {
    const std::string::size_type at = static_cast<std::string::size_type>(p - path.c_str());
    if (*p == '\\' || *p == '/' || (*p == ':' && at == 1)) cut = at;
  }
  return cut;
}

namespace {

// The size of a file found by the walk (64-bit, whatever the build).
uint64_t FileSize(const std::string& path) {
  std::FILE* f = plat::OpenStream(path.c_str(), "rb");
  if (f == nullptr) return 0;
  uint64_t size = 0;
  if (_fseeki64(f, 0, SEEK_END) == 0) size = static_cast<uint64_t>(_ftelli64(f));
  std::fclose(f);
  return size;
}

}  // namespace

void WalkFolder(const std::string& folder, const std::string& prefix, const std::string& skip,
                std::vector<InputFile>& out, std::vector<std::string>* problems) {
  plat::FileFind find;
  plat::FindData data;
  // Double-byte aware: the trail byte of 表 or ソ is 0x5C but no separator.
  const std::string base = HasTrailingBackslash(folder.c_str()) ||
                                   (folder.size() == 2 && folder[1] == ':')
                               ? folder
                               : folder + "\\";
  const std::string pattern = base + "*";
  for (bool more = find.First(pattern.c_str(), data); more; more = find.Next(data)) {
   try {
    if (data.name == "." || data.name == "..") continue;
    const std::string child = base + data.name;
    const std::string name = JoinName(prefix, data.name);
    if (data.attributes & plat::kAttrDirectory) {
      WalkFolder(child, name, skip, out, problems);
    } else {
      if (!skip.empty() && plat::CompareNoCase(plat::FullPathName(child.c_str()).c_str(),
                                               skip.c_str()) == 0) {
        continue;
      }
      out.push_back(InputFile{name, child, FileSize(child)});
      CheckStorable(out.back());
    }
   } catch (const ToolError& e) {
    if (problems == nullptr) throw;
    problems->push_back(e.what());
   }
  }
}

PathKind KindOfPath(const std::string& path, uint64_t& size) {
  const uint32_t attributes = plat::FileAttributes(path.c_str());
  if (attributes == plat::kInvalidAttributes) return PathKind::kNone;
  if (attributes & plat::kAttrDirectory) return PathKind::kFolder;
  size = FileSize(path);
  return PathKind::kFile;
}

std::FILE* OpenInput(const InputFile& file) {
  std::FILE* f = plat::OpenStream(file.osPath.c_str(), "rb");
  if (f == nullptr) throw ToolError("cannot open " + file.osPath + ": " + std::strerror(errno));
  return f;
}

}  // namespace paktool
