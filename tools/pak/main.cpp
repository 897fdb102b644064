// main.cpp: the pak tool, for the people who publish updates: create, list,
// test and extract .pak archives of every version, and read a name exactly
// as the updater opens it.
//
// Exit status: 0 on success; 1 with a line on standard error for bad usage,
// a name not found, an archive that is broken or no pak, any entry that
// extract or test refused or could not read or write (the other entries are
// still done), or an interruption.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/kvpath.h"
#include "archive/encryption.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "text/exceptions.h"
#include "tools/pak/pak_check.h"
#include "tools/pak/pak_cli.h"
#include "tools/pak/pak_inputs.h"
#include "tools/pak/pak_names.h"
#include "tools/pak/pak_reader.h"
#include "tools/pak/pak_system.h"
#include "archive/pak_stream_writer.h"

#ifndef PAK_VERSION
#define PAK_VERSION "1.1.0"
#endif

namespace {

using paktool::ToolError;

using paktool::Invocation;
using paktool::UsageError;

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

// The reason the C runtime gave for the last failed call.
std::string Reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

// Whether the file at path (system form) reads as a pak archive: a header of
// a known version that the file holds whole.
bool LooksLikePak(const std::string& path) {
  QuietOpen = true;
  KvArchive file;
  const uint32_t attributes = plat::FileAttributes(path.c_str());
  if (attributes == plat::kInvalidAttributes || (attributes & plat::kAttrDirectory) ||
      !file.Open(path.c_str(), OpenRead) || file.InArchive()) {
    return false;
  }
  KvArchiveHeader header;
  return header.ReadHeader(file) && header.version <= 3;
}

// --- pak create

// An input file read in pieces by the streaming writer.
class FileSource : public pak::ByteSource {
 public:
  explicit FileSource(const paktool::InputFile& file)
      : file_(file), stream_(paktool::OpenInput(file), &std::fclose) {}
  std::size_t Read(char* buffer, std::size_t count) override {
    const std::size_t n = std::fread(buffer, 1, count, stream_.get());
    if (n < count && std::ferror(stream_.get())) {
      throw ToolError("cannot read " + file_.osPath + ": " + Reason(errno));
    }
    return n;
  }

 private:
  const paktool::InputFile& file_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream_;
};

int Create(const Invocation& inv) {
  uint32_t version = 3;
  const bool compress = inv.Has("--compress");
  bool haveKeyBlock = false, haveDirectoryKey = false;
  std::string keyBlock;
  uint32_t directoryKey = 0;
  int level = 6;
  if (inv.Has("--version")) version = paktool::ParseNumber(inv.Value("--version"), "version", 3);
  if (inv.Has("--level")) {
    level = static_cast<int>(paktool::ParseNumber(inv.Value("--level"), "level", 9));
    if (!compress) throw UsageError("--level sets how hard --compress works; give --compress too");
  }
  if (inv.Has("--key-block")) {
    haveKeyBlock = true;
    if (!paktool::ToArchiveText(inv.Value("--key-block"), keyBlock)) {
      throw UsageError("key block has no code page 932 form");
    }
    if (keyBlock.size() > 256) throw UsageError("key block longer than 256 bytes");
  }
  if (inv.Has("--directory-key")) {
    haveDirectoryKey = true;
    directoryKey = paktool::ParseNumber(inv.Value("--directory-key"), "directory key", 0xFFFFFFFFu);
  }
  if (compress && version == 0) throw UsageError("version-0 archives cannot hold compressed entries");
  if ((haveKeyBlock || haveDirectoryKey) && version < 2) {
    throw UsageError("only versions 2 and 3 carry a key block and a directory key");
  }
  const std::string& typed = inv.operands[0];
  const std::string archive = SystemPath(typed);
  // An existing file that is no pak archive is the publisher's own (a
  // profile, a document named by mistake): it is never replaced unasked.
  const uint32_t existing = plat::FileAttributes(archive.c_str());
  if (existing != plat::kInvalidAttributes) {
    if (existing & plat::kAttrDirectory) throw ToolError(typed + " is a folder, not an archive");
    if (!inv.Has("--force") && !LooksLikePak(archive)) {
      throw ToolError(typed + " exists and is not a pak archive; nothing written (--force replaces it)");
    }
  }
  const std::string newPath = archive + ".pak-new";
  const std::string spoolPath = archive + ".pak-spool";
  const std::string skip = paktool::PathToSkip(typed, archive);

  // Every input is looked at before anything is written, and every refusal
  // is reported in the same run.
  std::vector<std::string> problems;
  std::vector<paktool::InputFile> found;
  std::vector<std::size_t> operandOf;
  for (std::size_t p = 1; p < inv.operands.size(); ++p) {
    paktool::CollectInputs(inv.operands[p], skip, found, &problems);
    operandOf.resize(found.size(), p);
  }
  std::vector<std::size_t> order;
  for (std::size_t k = 0; k < found.size(); ++k) {
    // A temporary file of ours, left by a run that was killed, is no input.
    std::string system;
    if (paktool::ToArchiveText(found[k].osPath, system)) {
      for (char& c : system) {
        if (c == '/') c = '\\';
      }
      if (paktool::SamePath(system, newPath) || paktool::SamePath(system, spoolPath)) continue;
    }
    order.push_back(k);
  }
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return paktool::NameBefore(found[a].name, found[b].name);
  });
  // The same name twice, in any case, or a file where another entry needs a
  // folder: the updater could reach only one of them.
  std::map<std::string, std::size_t> byFolded;
  for (std::size_t k : order) {
    const auto placed = byFolded.emplace(paktool::FoldedName(found[k].name), k);
    if (!placed.second) {
      const paktool::InputFile& first = found[placed.first->second];
      problems.push_back("the same name twice (the updater tells no case apart): " + Shown(first.name) +
                         " from " + first.osPath + " and " + Shown(found[k].name) + " from " + found[k].osPath);
    }
  }
  for (std::size_t k : order) {
    std::string folder;
    const std::vector<std::string> parts = paktool::SplitName(found[k].name);
    for (std::size_t j = 0; j + 1 < parts.size(); ++j) {
      folder += (j ? "\\" : "") + parts[j];
      const auto hit = byFolded.find(paktool::FoldedName(folder));
      if (hit != byFolded.end()) {
        problems.push_back("name is both a file and a folder: " + Shown(folder) + " (the file " +
                           found[hit->second].osPath + ", the folder holding " + found[k].osPath + ")");
        break;
      }
    }
  }
  // The format's limit, told by the file sizes before any content is read.
  const uint64_t kLimit = 0x7FFFFFFFu;
  uint64_t total = version == 0 ? 8 : version == 1 ? 16 : 276;
  std::vector<uint64_t> perOperand(inv.operands.size(), 0);
  for (std::size_t k : order) {
    total += found[k].size + found[k].name.size() + 24;
    perOperand[operandOf[k]] += found[k].size;
  }
  if (total >= kLimit) {
    std::string what;
    for (std::size_t p = 1; p < inv.operands.size(); ++p) {
      if (perOperand[p] == 0) continue;
      what += (what.empty() ? "" : ", ") + inv.operands[p] + " " + paktool::Bytes(perOperand[p]);
    }
    problems.push_back("the archive would take " + std::to_string(total) +
                       " bytes or more, over the format's limit of 2147483647: " + what);
  }
  if (problems.size() == 1) throw ToolError(problems[0] + "; nothing written");
  if (!problems.empty()) {
    for (const std::string& p : problems) Fail(p);
    throw ToolError(std::to_string(problems.size()) + " inputs refused; nothing written");
  }

  std::vector<pak::StreamEntry> entries;
  entries.reserve(order.size());
  for (std::size_t k : order) {
    pak::StreamEntry e;
    e.name = found[k].name;
    e.size = found[k].size;
    e.compress = compress;
    const paktool::InputFile* file = &found[k];
    e.open = [file] { return std::unique_ptr<pak::ByteSource>(new FileSource(*file)); };
    entries.push_back(std::move(e));
  }
  paktool::Progress progress("packing", inv.quiet);
  progress.SetTotal(entries.size());
  pak::StreamOptions options;
  options.version = version;
  options.level = level;
  if (haveKeyBlock) options.keyBlock = keyBlock;
  if (haveDirectoryKey) options.directoryKey = directoryKey;
  options.progress = [&progress](uint64_t in, uint64_t out) {
    paktool::StopIfInterrupted();
    progress.Add(1, in, out);
  };

  TemporaryFile temporary(newPath);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(plat::OpenStream(newPath.c_str(), "w+b"), &std::fclose);
  if (!out) throw ToolError("cannot write " + typed + ": " + Reason(errno));
  std::unique_ptr<TemporaryFile> spoolFile;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(nullptr, &std::fclose);
  if (pak::NeedsSpool(entries, version)) {
    spoolFile.reset(new TemporaryFile(spoolPath));
    spool.reset(plat::OpenStream(spoolPath.c_str(), "w+b"));
    if (!spool) throw ToolError("cannot write " + typed + ": " + Reason(errno));
  }
  uint64_t size = 0;
  try {
    size = pak::WriteArchiveStreaming(entries, options, out.get(), spool.get());
  } catch (const pak::StreamError& e) {
    const int error = errno;
    const std::string what = e.what();
    if (what == "write failed") throw ToolError("cannot write " + typed + ": " + Reason(error));
    const std::string changed = "changed while it was read: ";
    if (what.compare(0, changed.size(), changed) == 0) {
      throw ToolError("a file changed while it was read: " + Shown(what.substr(changed.size())) + "; nothing written");
    }
    throw ToolError(what + "; nothing written");
  } catch (const std::invalid_argument& e) {
    throw ToolError(e.what());
  }
  spool.reset();
  spoolFile.reset();
  paktool::StopIfInterrupted();
  if (std::fclose(out.release()) != 0) throw ToolError("cannot write " + typed + ": " + Reason(errno));
  if (!plat::MoveReplacing(newPath.c_str(), archive.c_str())) {
    throw ToolError("cannot replace " + typed + ": " + Reason(errno));
  }
  temporary.Keep();
  (void)size;
  progress.Summary("created " + typed);
  return 0;
}

// --- pak list

int List(const Invocation& inv) {
  paktool::PakReader reader(SystemPath(inv.operands[0]));
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

// The archive file, opened once for all its entries, each read through the
// archive layer piece by piece: memory stays bounded whatever an entry's
// size, compressed entries included.
class EntryReader {
 public:
  explicit EntryReader(const std::string& path) : path_(path), buffer_(kPiece) {
    QuietOpen = true;
    if (!file_.Open(path.c_str(), OpenRead) || file_.InArchive()) {
      throw ToolError("cannot open archive " + Shown(path));
    }
  }

  // Hands the bytes of record to sink as reads of the whole entry deliver
  // them. Throws ToolError, or what the archive layer throws for a broken
  // entry (a stream that is corrupt, cut short or fails its checksum).
  void ReadInto(const KvArchiveEntry& record, const std::function<void(const char*, std::size_t)>& sink) {
    if (!file_.OpenRecord(record, true)) throw ToolError("the entry lies outside the file");
    while (file_.GetRemaining() > 0) {
      paktool::StopIfInterrupted();
      const uint32_t left = file_.GetRemaining();
      const uint32_t want = left < kPiece ? left : kPiece;
      const uint32_t got = file_.Read(want, buffer_.data());
      if (got == 0) throw ToolError("the entry runs past the end of the file");
      sink(buffer_.data(), got);
    }
  }

 private:
  static constexpr uint32_t kPiece = 1u << 20;
  std::string path_;
  KvArchive file_;
  std::vector<char> buffer_;
};

// Why reading an entry failed, for any failure but an interruption: a
// broken entry, a failed allocation, a failed write. One entry's failure
// never ends the run.
std::string EntryFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const paktool::Interruption&) {
    throw;
  } catch (const ToolError& e) {
    return e.what();
  } catch (const KvErrorException& e) {
    return Shown(e.message.Text());
  } catch (const KvException&) {
    return "archive format not supported";
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

// --- pak extract

// The entries named on the command line: an entry is chosen by its own
// name or by the name of a folder above it, in any case, with \ or /.
class Selection {
 public:
  explicit Selection(const std::vector<std::string>& names) {
    for (const std::string& n : names) {
      std::string ansi = SystemPath(n);
      while (!ansi.empty() && ansi.back() == '\\') ansi.pop_back();
      wanted_.push_back(paktool::FoldedName(ansi));
      typed_.push_back(n);
    }
    used_.assign(wanted_.size(), false);
  }
  bool All() const { return wanted_.empty(); }
  bool Chooses(const std::string& name) {
    if (wanted_.empty()) return true;
    std::string folded = paktool::FoldedName(name);
    for (char& c : folded) {
      if (c == '/') c = '\\';  // never a trail byte
    }
    bool chosen = false;
    for (std::size_t k = 0; k < wanted_.size(); ++k) {
      const std::string& w = wanted_[k];
      // w is whole characters, so the byte after it begins a character.
      if (folded == w || (folded.size() > w.size() && folded.compare(0, w.size(), w) == 0 &&
                          folded[w.size()] == '\\')) {
        used_[k] = true;
        chosen = true;
      }
    }
    return chosen;
  }
  // The names that chose nothing.
  std::vector<std::string> Unused() const {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < wanted_.size(); ++k) {
      if (!used_[k]) out.push_back(typed_[k]);
    }
    return out;
  }

 private:
  std::vector<std::string> wanted_;
  std::vector<std::string> typed_;
  std::vector<bool> used_;
};

// A name beside target for writing it first: target.pak-part, or with a
// number when a file of that name is there already.
std::string PartName(const std::string& target) {
  std::string candidate = target + ".pak-part";
  for (int n = 1; plat::FileAttributes(candidate.c_str()) != plat::kInvalidAttributes; ++n) {
    candidate = target + ".pak-part" + std::to_string(n);
  }
  return candidate;
}

// Writes record i to target (system form) under a temporary name and moves
// it into place: an interrupted or failed write never leaves a truncated
// file under the entry's name. Returns the bytes written; throws ToolError.
uint64_t ExtractEntry(EntryReader& reader, const KvArchiveEntry& record, const std::string& target,
                      const std::string& shown) {
  TemporaryFile part(PartName(target));
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(plat::OpenStream(part.Path().c_str(), "wb"),
                                                       &std::fclose);
  if (!out) throw ToolError("cannot write " + shown + ": " + Reason(errno));
  uint64_t written = 0;
  reader.ReadInto(record, [&](const char* bytes, std::size_t n) {
    if (n != 0 && std::fwrite(bytes, 1, n, out.get()) != n) {
      throw ToolError("cannot write " + shown + ": " + Reason(errno));
    }
    written += n;
  });
  paktool::StopIfInterrupted();
  if (std::fclose(out.release()) != 0) throw ToolError("cannot write " + shown + ": " + Reason(errno));
  if (!plat::MoveReplacing(part.Path().c_str(), target.c_str())) {
    throw ToolError("cannot write " + shown + ": " + Reason(errno));
  }
  part.Keep();
  return written;
}

int Extract(const Invocation& inv) {
  const std::string& typedDir = inv.operands.size() >= 2 ? inv.operands[1] : std::string(".");
  Selection selection(std::vector<std::string>(
      inv.operands.begin() + (inv.operands.size() >= 2 ? 2 : inv.operands.size()), inv.operands.end()));
  paktool::PakReader reader(SystemPath(inv.operands[0]));
  std::string dir = SystemPath(typedDir);
  CreateDirectoryChain(dir.c_str());
  if (!(plat::FileAttributes(dir.c_str()) & plat::kAttrDirectory) ||
      plat::FileAttributes(dir.c_str()) == plat::kInvalidAttributes) {
    throw ToolError("cannot make folder " + typedDir + ": " + Reason(errno));
  }
  if (!HasTrailingBackslash(dir.c_str())) dir += "\\";

  EntryReader entries(SystemPath(inv.operands[0]));
  // Many new files in one folder: the Linux path resolution keeps what
  // each folder holds instead of reading it again for every file.
  plat::KeepFolderListings(true);
  paktool::Progress progress("extracting", inv.quiet);
  progress.SetTotal(reader.Records().size());
  int status = 0;
  uint64_t filesDone = 0;
  std::set<std::string> written;  // folded names of the files written
  std::set<std::string> folders;  // folded names of the folders of files written
  std::set<std::string> made;     // folded names of the folders made or found
  const std::vector<KvArchiveEntry>& records = reader.Records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    paktool::StopIfInterrupted();
    const std::string name = records[i].name.Text();
    if (!selection.Chooses(name)) continue;
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
    try {
      // Each folder is made (or found) once per run, one level at a time.
      std::string folder;
      for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
        folder += (k ? "\\" : "") + parts[k];
        std::string key = paktool::FoldedName(folder);
        if (made.count(key)) continue;
        const std::string path = dir + folder;
        plat::MakeDirectory(path.c_str());
        const uint32_t a = plat::FileAttributes(path.c_str());
        if (a == plat::kInvalidAttributes || !(a & plat::kAttrDirectory)) {
          throw ToolError("cannot make the folder of " + shown + ": " + Reason(errno));
        }
        made.insert(std::move(key));
      }
      const uint64_t bytes = ExtractEntry(entries, records[i], dir + name, shown);
      ++filesDone;
      progress.Add(1, records[i].compressed != 0 ? records[i].packedSize : bytes, bytes);
    } catch (...) {
      Fail("cannot extract " + shown + ": " + EntryFailure(std::current_exception()));
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
  for (const std::string& unused : selection.Unused()) {
    Fail("not in the archive: " + unused);
    status = 1;
  }
  progress.Summary("extracted " + inv.operands[0] + " to " + typedDir);
  return status;
}

// --- pak test

int Test(const Invocation& inv) {
  const std::string& typed = inv.operands[0];
  paktool::PakReader reader(SystemPath(typed));
  EntryReader entries(SystemPath(typed));
  paktool::Progress progress("testing", inv.quiet);
  const std::vector<KvArchiveEntry>& records = reader.Records();
  progress.SetTotal(records.size());
  std::size_t failed = 0, stored = 0, compressed = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    paktool::StopIfInterrupted();
    const bool isCompressed = reader.Version() != 0 && records[i].compressed != 0;
    const std::string shown = Shown(records[i].name.Text());
    uint64_t bytes = 0;
    try {
      entries.ReadInto(records[i], [&](const char*, std::size_t n) { bytes += n; });
      if (bytes != records[i].size) throw ToolError("delivers " + std::to_string(bytes) + " bytes");
    } catch (...) {
      const std::string why = EntryFailure(std::current_exception());
      Fail("entry " + shown + " failed: " + why);
      if (!inv.quiet) std::printf("%s\tFAILED\t%s\n", shown.c_str(), why.c_str());
      ++failed;
      continue;
    }
    (isCompressed ? compressed : stored) += 1;
    if (!inv.quiet) {
      std::printf("%s\tok\t%s\n", shown.c_str(),
                  isCompressed ? "compressed, zlib checksum matches"
                               : "stored, read to its end (the format keeps no checksum)");
    }
    progress.Add(1, isCompressed ? records[i].packedSize : bytes, bytes);
  }
  if (!inv.quiet) {
    std::printf("%zu compressed entries checked by their zlib checksum; %zu stored entries read "
                "whole, without a checksum to check; %zu failed\n",
                compressed, stored, failed);
  }
  progress.Summary("tested " + typed);
  if (std::fflush(stdout) != 0) throw ToolError("cannot write the report");
  return failed != 0 ? 1 : 0;
}

// --- pak cat

int Cat(const Invocation& inv) {
  const std::string& typed = inv.operands[0];
  std::string name;
  if (!paktool::ToArchiveText(typed, name)) throw ToolError("name has no code page 932 form");
  QuietOpen = true;
  KvArchive file;
  if (!file.Open(name.c_str(), OpenRead)) throw ToolError("not found: " + typed);
  paktool::SetBinaryOutput(stdout);
  uint32_t left = file.GetSize();
  std::vector<char> buffer(65536);
  while (left > 0) {
    paktool::StopIfInterrupted();
    const uint32_t want = left < buffer.size() ? left : static_cast<uint32_t>(buffer.size());
    const uint32_t got = file.Read(want, buffer.data());
    if (got == 0) throw ToolError("cannot read " + typed);
    if (std::fwrite(buffer.data(), 1, got, stdout) != got) throw ToolError("cannot write output");
    left -= got;
  }
  if (std::fflush(stdout) != 0) throw ToolError("cannot write output");
  return 0;
}

// The commands, in the order help shows them. A new command is one line
// here (its options with their help, and the function that runs it).
const std::vector<paktool::CommandSpec>& Commands() {
  static const std::vector<paktool::CommandSpec> commands = {
      {"create", "ARCHIVE PATH...",
       "Writes a new archive of the files and folders given (folders with everything below them).",
       {{"--version", "N", "format version 0 to 3 (default 3)"},
        {"--compress", nullptr, "store every entry as a zlib stream (versions 1 to 3), compressed on every core"},
        {"--level", "N", "zlib level 0 (fastest) to 9 (smallest) for --compress (default 6)"},
        {"--key-block", "TEXT", "key block of versions 2 and 3, at most 256 bytes (default: derived from the contents)"},
        {"--directory-key", "N", "directory key of versions 2 and 3, decimal or 0x hex (default: derived)"},
        {"--force", nullptr, "replace ARCHIVE even when it is an existing file that is not a pak archive"}},
       2, SIZE_MAX, &Create},
      {"list", "ARCHIVE", "Prints each entry: name, size in bytes, stored or compressed.", {}, 1, 1, &List},
      {"test", "ARCHIVE",
       "Reads every entry through the updater's archive layer and reports each one; exit 1 when any fails.",
       {}, 1, 1, &Test},
      {"extract", "ARCHIVE [DIR [NAME...]]",
       "Writes the entries (or only those NAMEs: entries or folders) under DIR (default: the current folder).",
       {}, 1, SIZE_MAX, &Extract},
      {"cat", "NAME", "Writes NAME to standard output exactly as the updater opens it in the current folder.",
       {}, 1, 1, &Cat},
      paktool::kCheckCommand,
  };
  return commands;
}

const paktool::CommandSpec* FindCommand(const std::string& name) {
  for (const paktool::CommandSpec& c : Commands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

int Run(const std::vector<std::string>& args) {
  const std::string overview = paktool::OverviewHelp(Commands());
  if (args.empty()) throw UsageError("no command; see pak --help");
  const std::string& command = args[0];
  if (command == "--version") {
    std::printf("pak %s\n", PAK_VERSION);
    return 0;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    if (args.size() == 1) {
      std::printf("%s", overview.c_str());
      return 0;
    }
    const paktool::CommandSpec* command_def = FindCommand(args[1]);
    if (command_def == nullptr || args.size() > 2) throw UsageError("no such command: " + args[1] + "; see pak --help");
    std::printf("%s", paktool::CommandHelp(*command_def).c_str());
    return 0;
  }
  const paktool::CommandSpec* command_def = FindCommand(command);
  if (command_def == nullptr) {
    throw UsageError((command[0] == '-' ? "unknown option " : "unknown command ") + command +
                     "; see pak --help");
  }
  const Invocation inv =
      paktool::ParseArguments(*command_def, std::vector<std::string>(args.begin() + 1, args.end()));
  if (inv.Has("--help")) {
    std::printf("%s", paktool::CommandHelp(*command_def).c_str());
    return 0;
  }
  return command_def->run(inv);
}

}  // namespace

int main(int argc, char** argv) {
  paktool::WatchInterruptions();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const paktool::Interruption&) {
    Fail("interrupted; nothing half-written left behind");
    return 130;
  } catch (const KvErrorException& e) {
    Fail(Shown(e.message.Text()));
  } catch (const KvException&) {
    Fail("archive format not supported");
  } catch (const std::bad_alloc&) {
    Fail("not enough memory");
  } catch (const std::exception& e) {  // ToolError and UsageError among them
    Fail(e.what());
  } catch (...) {
    Fail("the archive could not be read");
  }
  return 1;
}
