// fuzz_pak.cpp: an archive from the input, written as fuzz.pak into a
// private folder that is the current directory, and a name from the input
// opened with KvArchive::Open and read whole, twice. Failures the system
// raises (the KvException family, KvErrorException among them, and bad_alloc)
// are clean ends; a crash, a sanitizer report, a broken rule below, a hang
// or runaway memory is a finding.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "archive/kvarchive.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/pak_input.h"
#include "text/exceptions.h"

namespace {

std::string folder;
int startFolder = -1;  // libFuzzer's own paths (corpus, artifacts) are relative to it

// The private folder is the current directory while one input runs.
class InPrivateFolder {
 public:
  InPrivateFolder() {
    if (::chdir(folder.c_str()) != 0) std::abort();
  }
  ~InPrivateFolder() {
    if (::fchdir(startFolder) != 0) std::abort();
  }
};

void RemoveFolder() {
  if (folder.empty()) return;
  std::remove((folder + "/fuzz.pak").c_str());
  std::remove((folder + "/a.pak").c_str());
  ::rmdir(folder.c_str());
}

// A name that could reach outside the private folder (a drive, a root, a
// parent) is not looked up: the target is about archives, not about the
// machine's other files.
bool StaysInFolder(const std::string& name) {
  if (name.find(':') != std::string::npos || name.find("..") != std::string::npos) return false;
  return name.empty() || (name[0] != '\\' && name[0] != '/');
}

bool WriteArchiveFile(const char* path, const std::string& bytes) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Reads what GetSize promises, in pieces; the bytes delivered, at most 16
// MiB of them (a stored entry may claim more than the file holds).
std::string ReadWhole(KvArchive& file, bool smallReads) {
  static unsigned char piece[65536];
  const uint32_t size = file.GetSize();
  std::string out;
  uint64_t total = 0;
  uint32_t step = 7;
  while (total < size && out.size() < (16u << 20)) {
    uint32_t want = smallReads ? step : sizeof piece;
    step = step * 3 % 61 + 1;
    if (want > size - total) want = static_cast<uint32_t>(size - total);
    const uint32_t got = file.Read(want, piece);
    KVFUZZ_CHECK(got <= want);
    if (got == 0) break;
    out.append(reinterpret_cast<const char*>(piece), got);
    total += got;
  }
  KVFUZZ_CHECK(total <= size);
  KVFUZZ_CHECK(file.GetSize() == size);
  return out;
}

// KVFUZZ_TRACE=1 tells for each input what was opened and read.
const bool kTrace = std::getenv("KVFUZZ_TRACE") != nullptr;

// The whole of what one Open of name gives: whether it opened, and the bytes.
struct Result {
  bool opened = false;
  std::string bytes;
  bool operator==(const Result& o) const { return opened == o.opened && bytes == o.bytes; }
};

Result OpenAndRead(KvArchive& file, const std::string& name, bool smallReads) {
  Result result;
  if (!file.Open(name.c_str(), OpenRead)) {
    if (kTrace) std::fprintf(stderr, "not found: %s\n", name.c_str());
    KVFUZZ_CHECK(!file.IsOpen());
    return result;
  }
  result.opened = true;
  result.bytes = ReadWhole(file, smallReads);
  if (kTrace) {
    std::fprintf(stderr, "opened %s: size %u, read %zu%s\n", name.c_str(), file.GetSize(),
                 result.bytes.size(), file.InMemory() ? " (inflated)" : "");
  }
  // Back at the start, the same bytes come again: the read-time transform
  // is keyed by the position, not by what was read before.
  file.Seek(0);
  KVFUZZ_CHECK(ReadWhole(file, !smallReads) == result.bytes);
  unsigned char none[1];
  const int64_t at = file.GetPosition();
  KVFUZZ_CHECK(file.Read(0, none) == 0);
  KVFUZZ_CHECK(file.GetPosition() == at);
  return result;
}

void Run(const std::string& name, bool smallReads) {
  KvArchive file;
  const Result first = OpenAndRead(file, name, smallReads);
  // The same object opened again gives the same: nothing of the first
  // lookup (the last record or header read) leaks into the second.
  Result again;
  try {
    again = OpenAndRead(file, name, smallReads);
  } catch (...) {
    KVFUZZ_CHECK(!"the second open failed where the first did not");
  }
  KVFUZZ_CHECK(first == again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/kvfuzz-pak-XXXXXX";
  startFolder = ::open(".", O_RDONLY | O_DIRECTORY);
  if (startFolder < 0 || ::mkdtemp(pattern) == nullptr) {
    std::perror("fuzz_pak: private folder");
    std::abort();
  }
  folder = pattern;
  std::atexit(RemoveFolder);
  QuietOpen = true;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::Input in(data, size);
  const uint8_t flags = in.Byte();
  const std::string name = in.Bytes();
  if (!StaysInFolder(std::string(name.c_str()))) return 0;
  std::string firstArchive;
  if (flags & kvfuzz::kTwoArchives) {
    const std::size_t n = in.Byte() | static_cast<std::size_t>(in.Byte()) << 8;
    firstArchive = in.Take(n);
  }
  std::string archive;
  if (flags & kvfuzz::kPackDirectory) {
    const std::string directory = in.Take(in.U32());
    archive = kvfuzz::PackArchive(directory, in.Rest());
  } else {
    archive = in.Rest();
  }
  InPrivateFolder here;
  KVFUZZ_CHECK(WriteArchiveFile("fuzz.pak", archive));
  if (flags & kvfuzz::kTwoArchives) {
    KVFUZZ_CHECK(WriteArchiveFile("a.pak", firstArchive));
  } else {
    std::remove("a.pak");
  }
  try {
    Run(name, (flags & kvfuzz::kSmallReads) != 0);
  } catch (const KvException&) {
    // KvErrorException included: a broken archive, a stream that does not inflate
    if (kTrace) std::fprintf(stderr, "failed cleanly: KvException\n");
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
