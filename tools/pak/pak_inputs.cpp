// pak_inputs.cpp: walks the paths given to pak create. On Linux the walk
// sees the UTF-8 names themselves, so that a name without a code page 932
// form is reported rather than passed over; on Windows it is the ANSI file
// search of the platform layer.
#include "tools/pak/pak_inputs.h"

#include <cstdio>
#include <memory>

#include "app/kvpath.h"
#include "platform/platform.h"
#include "tools/pak/pak_names.h"

#ifndef _WIN32
#include <filesystem>
#include <system_error>
#endif

namespace paktool {

namespace {

// Appends one part (terminal text) to an entry name, converted and checked.
std::string JoinName(const std::string& prefix, const std::string& part) {
  std::string ansi;
  if (!ToArchiveText(part, ansi)) {
    throw ToolError("name has no code page 932 form: " + part);
  }
#ifndef _WIN32
  // A Linux name may hold a backslash, which the archive would take for a
  // separator. (Windows names never do; there 0x5C can be a trail byte.)
  if (part.find('\\') != std::string::npos) {
    throw ToolError("name holds a backslash, the archive's separator: " + part);
  }
#endif
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
#ifndef _WIN32
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::string::size_type cut = path.rfind('/');
#else
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
#endif
  const std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  contentsOnTop = last.empty() || last == "." || last == "..";
  return last;
}

#ifndef _WIN32
namespace fs = std::filesystem;

void Walk(const fs::path& folder, const std::string& prefix, const fs::path& skip,
          std::vector<InputFile>& out) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) throw ToolError("cannot read folder " + folder.string() + ": " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path child = it->path();
    const std::string name = JoinName(prefix, child.filename().string());
    const fs::file_status linkStatus = fs::symlink_status(child, ec);
    const fs::file_status status = fs::status(child, ec);
    if (fs::is_directory(status)) {
      if (fs::is_symlink(linkStatus)) {
        throw ToolError("will not follow a link to a folder: " + child.string());
      }
      Walk(child, name, skip, out);
    } else if (fs::is_regular_file(status)) {
      if (!skip.empty() && fs::equivalent(child, skip, ec)) continue;
      out.push_back(InputFile{name, child.string()});
      CheckStorable(out.back());
    } else {
      throw ToolError("not a file or folder: " + child.string());
    }
  }
  if (ec) throw ToolError("cannot read folder " + folder.string() + ": " + ec.message());
}
#else
void Walk(const std::string& folder, const std::string& prefix, const std::string& skip,
          std::vector<InputFile>& out) {
  plat::FileFind find;
  plat::FindData data;
  // Double-byte aware: the trail byte of 表 or ソ is 0x5C but no separator.
  const std::string base = HasTrailingBackslash(folder.c_str()) ||
                                   (folder.size() == 2 && folder[1] == ':')
                               ? folder
                               : folder + "\\";
  const std::string pattern = base + "*";
  for (bool more = find.First(pattern.c_str(), data); more; more = find.Next(data)) {
    if (data.name == "." || data.name == "..") continue;
    const std::string child = base + data.name;
    const std::string name = JoinName(prefix, data.name);
    if (data.attributes & plat::kAttrDirectory) {
      Walk(child, name, skip, out);
    } else {
      if (!skip.empty() && plat::CompareNoCase(plat::FullPathName(child.c_str()).c_str(),
                                               skip.c_str()) == 0) {
        continue;
      }
      out.push_back(InputFile{name, child});
      CheckStorable(out.back());
    }
  }
}
#endif

}  // namespace

void CollectInputs(const std::string& path, const std::string& skip, std::vector<InputFile>& out) {
  bool contentsOnTop = false;
  const std::string last = LastPart(path, contentsOnTop);
#ifndef _WIN32
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) {
    Walk(path, contentsOnTop ? std::string() : JoinName("", last), skip, out);
  } else if (fs::is_regular_file(status)) {
    out.push_back(InputFile{JoinName("", last), path});
    CheckStorable(out.back());
  } else {
    throw ToolError("no such file or folder: " + path);
  }
#else
  const uint32_t attributes = plat::FileAttributes(path.c_str());
  if (attributes == plat::kInvalidAttributes) throw ToolError("no such file or folder: " + path);
  if (attributes & plat::kAttrDirectory) {
    Walk(path, contentsOnTop ? std::string() : JoinName("", last), skip, out);
  } else {
    out.push_back(InputFile{JoinName("", last), path});
    CheckStorable(out.back());
  }
#endif
}

std::string ReadInput(const InputFile& file) {
#ifndef _WIN32
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file.osPath.c_str(), "rb"),
                                                    &std::fclose);
#else
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(plat::OpenStream(file.osPath.c_str(), "rb"),
                                                    &std::fclose);
#endif
  if (!f) throw ToolError("cannot open " + file.osPath);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
    if (bytes.size() > 0x7FFFFFFFu) throw ToolError("file too large for an archive: " + file.osPath);
  }
  if (std::ferror(f.get())) throw ToolError("cannot read " + file.osPath);
  return bytes;
}

}  // namespace paktool
