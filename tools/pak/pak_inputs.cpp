// pak_inputs.cpp: walks the paths given to pak create. On Linux the walk
// sees the UTF-8 names themselves, so that a name without a code page 932
// form is reported rather than passed over; on Windows it is the ANSI file
// search of the platform layer.
#include "tools/pak/pak_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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
      Walk(child, name, skip, out, problems);
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
#else
// The size of a file found by the walk (64-bit, whatever the build).
uint64_t FileSize(const std::string& path) {
  std::FILE* f = plat::OpenStream(path.c_str(), "rb");
  if (f == nullptr) return 0;
  uint64_t size = 0;
  if (_fseeki64(f, 0, SEEK_END) == 0) size = static_cast<uint64_t>(_ftelli64(f));
  std::fclose(f);
  return size;
}

void Walk(const std::string& folder, const std::string& prefix, const std::string& skip,
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
      Walk(child, name, skip, out, problems);
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
#endif

}  // namespace

void CollectInputs(const std::string& path, const std::string& skip, std::vector<InputFile>& out,
                   std::vector<std::string>* problems) {
  bool contentsOnTop = false;
  const std::string last = LastPart(path, contentsOnTop);
  try {
#ifndef _WIN32
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
      Walk(path, contentsOnTop ? std::string() : JoinName("", last), skip, out, problems);
    } else if (fs::is_regular_file(status)) {
      out.push_back(InputFile{JoinName("", last), path, static_cast<uint64_t>(fs::file_size(path, ec))});
      CheckStorable(out.back());
    } else {
      throw ToolError("no such file or folder: " + path);
    }
#else
    const uint32_t attributes = plat::FileAttributes(path.c_str());
    if (attributes == plat::kInvalidAttributes) throw ToolError("no such file or folder: " + path);
    if (attributes & plat::kAttrDirectory) {
      Walk(path, contentsOnTop ? std::string() : JoinName("", last), skip, out, problems);
    } else {
      out.push_back(InputFile{JoinName("", last), path, FileSize(path)});
      CheckStorable(out.back());
    }
#endif
  } catch (const ToolError& e) {
    if (problems == nullptr) throw;
    problems->push_back(e.what());
  }
}

std::FILE* OpenInput(const InputFile& file) {
#ifndef _WIN32
  std::FILE* f = std::fopen(file.osPath.c_str(), "rb");
#else
  std::FILE* f = plat::OpenStream(file.osPath.c_str(), "rb");
#endif
  if (f == nullptr) throw ToolError("cannot open " + file.osPath + ": " + std::strerror(errno));
  return f;
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
