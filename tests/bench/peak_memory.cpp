// peak_memory.cpp: the most memory a read of a 256 MiB compressed entry
// takes, in a process of its own so that nothing the set-up held counts.
//
//   bench_peak_memory [--smoke] [--work=DIR]
//
// The parent writes a 10 000-entry update whose text is the big entry, then
// runs itself again (/proc/self/exe --child FOLDER). The child takes its
// resident size, opens the entry through the archive layer, reads it whole
// in 64 KiB pieces, and prints the rise of its peak resident size (VmHWM)
// beside the entry's and the directory's sizes:
//   peak_rise_bytes=N entry_bytes=N directory_bytes=N
// --smoke: a 16 MiB entry in a 1 000-entry update.
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/kvarchive.h"
#include "bench_archives.h"

namespace fs = std::filesystem;

namespace {

// A field of /proc/self/status in bytes ("VmHWM:   1234 kB"), or 0.
uint64_t StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') {
      return std::stoull(line.substr(n + 1)) * 1024;
    }
  }
  return 0;
}

int Child(const char* folder) {
  fs::current_path(folder);
  QuietOpen = true;
  // Peak back to the present resident size, where the kernel allows it.
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
  }
  std::vector<unsigned char> piece(64 * 1024);
  const uint64_t before = StatusBytes("VmRSS");
  uint64_t entry = 0;
  uint32_t crc = 0;
  {
    KvArchive file;
    if (!file.Open(bench::kTextName, OpenRead)) {
      std::fprintf(stderr, "bench_peak_memory: %s not found\n", bench::kTextName);
      return 1;
    }
    entry = file.GetSize();
    for (;;) {
      const uint32_t got = file.Read(static_cast<uint32_t>(piece.size()), piece.data());
      if (got == 0) break;
      crc = static_cast<uint32_t>(crc32(crc, piece.data(), got));
    }
  }
  const uint64_t peak = StatusBytes("VmHWM");
  const bench::ArchiveParts parts = bench::ReadParts("update.pak", bench::kTextName);
  std::printf("peak_rise_bytes=%llu entry_bytes=%llu directory_bytes=%u crc=%08x\n",
              static_cast<unsigned long long>(peak - before), static_cast<unsigned long long>(entry),
              parts.header.directorySize, crc);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return Child(argv[2]);
  const bench::Options options = bench::ParseOptions(argc, argv);
  const bool smoke = options.smoke;
  const fs::path work = options.work;
  const uint32_t count = smoke ? 1000 : 10000;
  const uint32_t size = smoke ? 16u << 20 : 256u << 20;
  const fs::path folder = fs::absolute(work) / "peak";
  fs::create_directories(folder);
  {
    std::vector<pak::InputEntry> entries = bench::UpdateEntries(count);
    // The big text packed once at zlib's fastest level: the peak of a read
    // does not depend on the level, and the tool's best level would take
    // most of a minute here. Its record carries the true sizes.
    pak::InputEntry& text = entries[count - 2];
    const std::string plain = bench::TextLike(size, 0xb16);
    uLongf packedLength = compressBound(size);
    std::string packed(packedLength, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedLength,
                  reinterpret_cast<const Bytef*>(plain.data()), size, 1) != Z_OK) {
      std::fprintf(stderr, "bench_peak_memory: zlib failed\n");
      return 1;
    }
    packed.resize(packedLength);
    text.bytes.clear();
    text.compress = false;
    text.compressedFlag = 1;
    text.size = size;
    text.rawData = std::move(packed);
    bench::WriteFile((folder / "update.pak").string(), bench::WriteUpdatePak(entries));
  }
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string f = folder.string();
    execl("/proc/self/exe", argv[0], "--child", f.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
