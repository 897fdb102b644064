// main.cpp: the pak tool, for the people who publish updates: create, list
// and extract .pak archives of every version, and read a name exactly as
// the updater opens it.
//
// Exit status: 0 on success; 1 with one line on standard error for bad
// usage, a name not found, an archive that is broken or no pak, or any
// entry that extract refused or could not write (the other entries are
// still extracted).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/kvpath.h"
#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "text/exceptions.h"
#include "tools/pak/pak_inputs.h"
#include "tools/pak/pak_names.h"
#include "tools/pak/pak_reader.h"
#include "tools/pak/pak_writer.h"

namespace {

using paktool::ToolError;

const char kUsage[] =
    "usage: pak create [--version N] [--compress] [--key-block TEXT] [--directory-key N] "
    "ARCHIVE PATH... | pak list ARCHIVE | pak extract ARCHIVE [DIR] | pak cat NAME";

class UsageError : public ToolError {
 public:
  using ToolError::ToolError;
};

// A path from the command line in the system's form: code page 932 with
// backslashes ('/' is never a trail byte, so it can be replaced byte-wise).
std::string SystemPath(const std::string& terminal) {
  std::string ansi;
  if (!paktool::ToArchiveText(terminal, ansi)) {
    throw ToolError("path has no code page 932 form: " + terminal);
  }
  for (char& c : ansi) {
    if (c == '/') c = '\\';
  }
  return ansi;
}

std::string Shown(const std::string& ansi) {
  std::string out;
  paktool::ToTerminalText(ansi, out);
  return out;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void Fail(const std::string& message) {
  std::fprintf(stderr, "pak: %s\n", OneLine(message).c_str());
}

uint32_t ParseNumber(const std::string& text, const char* what, uint32_t highest) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
    throw UsageError(std::string("bad ") + what + ": " + text);
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > highest) {
    throw UsageError(std::string("bad ") + what + ": " + text);
  }
  return static_cast<uint32_t>(v);
}

// Removes the file on destruction unless Keep() was called.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) plat::RemoveFile(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

// Writes bytes to a new file at path (system form); false on any failure,
// with nothing left behind.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = plat::OpenStream(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (written && closed) return true;
  plat::RemoveFile(path.c_str());
  return false;
}

// --- pak create

int Create(const std::vector<std::string>& args) {
  uint32_t version = 3;
  bool compress = false;
  bool haveKeyBlock = false, haveDirectoryKey = false;
  std::string keyBlock;
  uint32_t directoryKey = 0;
  std::size_t i = 0;
  for (; i < args.size() && args[i].compare(0, 2, "--") == 0; ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      ++i;
      break;
    }
    const bool takesValue = a == "--version" || a == "--key-block" || a == "--directory-key";
    if (takesValue && i + 1 >= args.size()) throw UsageError(a + " needs a value");
    if (a == "--version") {
      version = ParseNumber(args[++i], "version", 3);
    } else if (a == "--compress") {
      compress = true;
    } else if (a == "--key-block") {
      haveKeyBlock = true;
      if (!paktool::ToArchiveText(args[++i], keyBlock)) {
        throw UsageError("key block has no code page 932 form");
      }
      if (keyBlock.size() > 256) throw UsageError("key block longer than 256 bytes");
    } else if (a == "--directory-key") {
      haveDirectoryKey = true;
      directoryKey = ParseNumber(args[++i], "directory key", 0xFFFFFFFFu);
    } else {
      throw UsageError("unknown option " + a);
    }
  }
  if (args.size() - i < 2) throw UsageError(kUsage);
  if (compress && version == 0) throw UsageError("version-0 archives cannot hold compressed entries");
  if ((haveKeyBlock || haveDirectoryKey) && version < 2) {
    throw UsageError("only versions 2 and 3 carry a key block and a directory key");
  }
  const std::string archive = SystemPath(args[i]);
#ifdef _WIN32
  const std::string skip = plat::FullPathName(archive.c_str());
#else
  const std::string skip = args[i];
#endif

  std::vector<paktool::InputFile> files;
  for (std::size_t p = i + 1; p < args.size(); ++p) paktool::CollectInputs(args[p], skip, files);

  std::vector<pak::InputEntry> entries;
  entries.reserve(files.size());
  for (const paktool::InputFile& f : files) {
    entries.emplace_back(f.name, paktool::ReadInput(f), compress);
  }
  std::sort(entries.begin(), entries.end(), [](const pak::InputEntry& a, const pak::InputEntry& b) {
    return paktool::NameBefore(a.name, b.name);
  });
  // The same name twice, in any case, or a file where another entry needs a
  // folder: the updater could reach only one of them.
  std::set<std::string> fileNames;
  for (const pak::InputEntry& e : entries) {
    if (!fileNames.insert(paktool::FoldedName(e.name)).second) {
      throw ToolError("duplicate name: " + Shown(e.name));
    }
  }
  for (const pak::InputEntry& e : entries) {
    std::string folder;
    const std::vector<std::string> parts = paktool::SplitName(e.name);
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
      folder += (k ? "\\" : "") + parts[k];
      if (fileNames.count(paktool::FoldedName(folder))) {
        throw ToolError("name is both a file and a folder: " + Shown(folder));
      }
    }
  }

  pak::WriteOptions options;
  options.version = version;
  if (version >= 2) {
    options.keyBlock = haveKeyBlock ? keyBlock : pak::DefaultKeyBlock(entries);
    options.directoryKey = haveDirectoryKey ? directoryKey : pak::DefaultDirectoryKey(entries);
  }
  std::string bytes;
  try {
    bytes = pak::WriteArchive(entries, options);
  } catch (const std::invalid_argument& e) {
    throw ToolError(e.what());
  }

  TemporaryFile temporary(archive + ".pak-new");
  if (!WriteWholeFile(temporary.Path(), bytes)) {
    throw ToolError("cannot write " + args[i] + ".pak-new");
  }
  if (!plat::MoveReplacing(temporary.Path().c_str(), archive.c_str())) {
    throw ToolError("cannot replace " + args[i]);
  }
  temporary.Keep();
  return 0;
}

// --- pak list

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError(kUsage);
  paktool::PakReader reader(SystemPath(args[0]));
  bool allShown = true;
  for (const KvArchiveEntry& r : reader.Records()) {
    std::string name;
    if (!paktool::ToTerminalText(r.name.Text(), name)) allShown = false;
    std::printf("%s\t%u\t%s\n", name.c_str(), static_cast<unsigned>(r.size),
                reader.Version() != 0 && r.compressed != 0 ? "compressed" : "stored");
  }
  if (std::fflush(stdout) != 0) throw ToolError("cannot write the listing");
  if (!allShown) {
    Fail("some names are not valid code page 932 (shown with replacement characters)");
    return 1;
  }
  return 0;
}

// --- pak extract

int Extract(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) throw UsageError(kUsage);
  paktool::PakReader reader(SystemPath(args[0]));
  std::string dir = SystemPath(args.size() == 2 ? args[1] : ".");
  CreateDirectoryChain(dir.c_str());
  if (!(plat::FileAttributes(dir.c_str()) & plat::kAttrDirectory) ||
      plat::FileAttributes(dir.c_str()) == plat::kInvalidAttributes) {
    throw ToolError("cannot make folder " + (args.size() == 2 ? args[1] : std::string(".")));
  }
  if (!HasTrailingBackslash(dir.c_str())) dir += "\\";

  int status = 0;
  std::set<std::string> written;  // folded names of the files written
  std::set<std::string> folders;  // folded names of the folders made
  const std::vector<KvArchiveEntry>& records = reader.Records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string name = records[i].name.Text();
    std::string why = paktool::RefusalReason(name);
    std::string shown;
    if (why.empty() && !paktool::ToTerminalText(name, shown)) why = "not valid code page 932";
    const std::string folded = paktool::FoldedName(name);
    const std::vector<std::string> parts = paktool::SplitName(name);
    if (why.empty() && (written.count(folded) || folders.count(folded))) {
      why = "a file or folder of that name was already extracted";
    }
    std::string parent;
    for (std::size_t k = 0; why.empty() && k + 1 < parts.size(); ++k) {
      parent += (k ? "\\" : "") + parts[k];
      if (written.count(paktool::FoldedName(parent))) why = "its folder is a file extracted before";
    }
    if (!why.empty()) {
      Fail("refused entry " + Shown(name) + ": " + why);
      status = 1;
      continue;
    }
    std::string bytes;
    try {
      bytes = reader.ReadEntry(i);
    } catch (const KvErrorException& e) {
      Fail("cannot read entry " + shown + ": " + Shown(e.message.Text()));
      status = 1;
      continue;
    } catch (const ToolError& e) {
      Fail(e.what());
      status = 1;
      continue;
    }
    if (!parent.empty()) CreateDirectoryChain((dir + parent).c_str());
    if (!WriteWholeFile(dir + name, bytes)) {
      Fail("cannot write " + shown);
      status = 1;
      continue;
    }
    written.insert(folded);
    std::string folder;
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
      folder += (k ? "\\" : "") + parts[k];
      folders.insert(paktool::FoldedName(folder));
    }
  }
  return status;
}

// --- pak cat

int Cat(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError(kUsage);
  std::string name;
  if (!paktool::ToArchiveText(args[0], name)) throw ToolError("name has no code page 932 form");
  QuietOpen = true;
  KvArchive file;
  if (!file.Open(name.c_str(), OpenRead)) throw ToolError("not found: " + args[0]);
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  uint32_t left = file.GetSize();
  std::vector<char> buffer(65536);
  while (left > 0) {
    const uint32_t want = left < buffer.size() ? left : static_cast<uint32_t>(buffer.size());
    const uint32_t got = file.Read(want, buffer.data());
    if (got == 0) throw ToolError("cannot read " + args[0]);
    if (std::fwrite(buffer.data(), 1, got, stdout) != got) throw ToolError("cannot write output");
    left -= got;
  }
  if (std::fflush(stdout) != 0) throw ToolError("cannot write output");
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError(kUsage);
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s\n", kUsage);
    return 0;
  }
  if (command == "create") return Create(rest);
  if (command == "list") return List(rest);
  if (command == "extract") return Extract(rest);
  if (command == "cat") return Cat(rest);
  throw UsageError("unknown command " + command + "; " + kUsage);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const ToolError& e) {
    Fail(e.what());
  } catch (const KvErrorException& e) {
    Fail(Shown(e.message.Text()));
  } catch (const KvException& e) {
    Fail("archive error, code " + std::to_string(e.code));
  } catch (uint32_t status) {
    Fail(status == kStatusNoMemory ? std::string("not enough memory for the archive")
                                   : "archive error, status " + std::to_string(status));
  } catch (const std::bad_alloc&) {
    Fail("not enough memory");
  } catch (const std::exception& e) {
    Fail(e.what());
  } catch (...) {
    Fail("the archive could not be read");
  }
  return 1;
}
