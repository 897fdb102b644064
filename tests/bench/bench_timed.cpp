// bench_timed.cpp: the entry-read and lookup figures timed by the program
// itself (std::chrono), for the builds that have no Google Benchmark: the
// same source runs natively and as a Windows program under Wine, and
// scripts/bench.sh divides the one by the other, so that a slow path of the
// Windows side (the runtime's stdio, VirtualAlloc) shows.
//
//   bench_timed [--smoke] [--work=DIR]
//
// Prints one line per figure: name, the fastest and the median of the
// repeats, in nanoseconds, separated by tabs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "bench_archives.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr const char kStoredName[] = "movie\\intro.bin";

void Time(const char* name, int repeats, const std::function<bool()>& once) {
  std::vector<double> ns;
  if (!once()) throw std::runtime_error(std::string(name) + " failed");  // warm-up
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = once();
    const auto end = std::chrono::steady_clock::now();
    if (!ok) throw std::runtime_error(std::string(name) + " failed");
    ns.push_back(std::chrono::duration<double, std::nano>(end - start).count());
  }
  std::sort(ns.begin(), ns.end());
  std::printf("%s\t%.0f\t%.0f\n", name, ns.front(), ns[ns.size() / 2]);
  std::fflush(stdout);
}

bool OpenAndRead(const char* name, std::vector<unsigned char>& out) {
  KvArchive file;
  return file.Open(name, OpenRead) &&
         file.Read(static_cast<uint32_t>(out.size()), out.data()) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options options = bench::ParseOptions(argc, argv);
  const bool smoke = options.smoke;
  fs::path work = options.work;
  const uint32_t count = smoke ? 1000 : 10000;
  const uint32_t storedSize = smoke ? 1u << 20 : 64u << 20;
  const int repeats = smoke ? 3 : 21;
  const int storedRepeats = smoke ? 3 : 9;
  QuietOpen = true;
  try {
    work = fs::absolute(work);
    const fs::path updateFolder = work / ("timed" + std::to_string(count));
    const fs::path storedFolder = work / "timed-stored";
    fs::create_directories(updateFolder);
    fs::create_directories(storedFolder);
    const std::string updatePak = (updateFolder / "update.pak").string();
    const std::string storedPak = (storedFolder / "stored.pak").string();
    bench::WriteFile(updatePak, bench::WriteUpdatePak(bench::UpdateEntries(count)));
    {
      std::vector<pak::InputEntry> entries;
      entries.emplace_back(kStoredName, bench::TextLike(storedSize, 0x5104ed), false);
      entries.emplace_back(bench::kProfileName, bench::UpdateIni(), true);
      bench::WriteFile(storedPak, bench::WriteUpdatePak(entries));
    }
    const bench::ArchiveParts text = bench::ReadParts(updatePak, bench::kTextName);
    const bench::ArchiveParts stored = bench::ReadParts(storedPak, kStoredName);
    const std::string n = std::to_string(count);

    std::vector<unsigned char> textOut(text.record.size);
    std::vector<unsigned char> directory(text.header.directorySize);
    // zlib alone: what the compiler and the machine give, without the system.
    Time(("zlib_inflates/" + n).c_str(), repeats, [&] {
      return bench::ZlibInflate(text.packedDirectory, directory.data(), text.header.directorySize) &&
             bench::ZlibInflate(text.packedEntry, textOut.data(), text.record.size);
    });
    fs::current_path(updateFolder);
    Time(("pak_open_read/" + n).c_str(), repeats, [&] { return OpenAndRead(bench::kTextName, textOut); });
    Time(("lookup/" + n).c_str(), repeats, [&] {
      KvArchive file;
      return file.Open(bench::kProfileName, OpenRead);
    });

    // Parts of a lookup, to tell where the Windows side spends its time:
    // the volume test of the folder, the search for *.pak, the directory
    // inflated into a virtual memory block from the file.
    char folder[512];
    const uint32_t length = plat::CurrentDirectory(sizeof folder, folder);
    if (length < 3 || length >= sizeof folder) throw std::runtime_error("no current folder");
    const std::string root(folder, 3);  // "C:\"
    const std::string pattern = std::string(folder) + "\\*.pak";
    Time("volume_test", repeats, [&] { return plat::VolumeAnswers(root.c_str()); });
    Time("pak_search", repeats, [&] {
      plat::FileFind find;
      plat::FindData found;
      return find.First(pattern.c_str(), found);
    });
    Time(("zlib_directory/" + n).c_str(), repeats, [&] {
      return bench::ZlibInflate(text.packedDirectory, directory.data(), text.header.directorySize);
    });
    {
      KvArchive file;
      if (!file.Open(updatePak.c_str(), OpenRead)) throw std::runtime_error("cannot open " + updatePak);
      const KvArchiveHeader& h = text.header;
      Time(("directory_inflate/" + n).c_str(), repeats, [&] {
        file.Seek(static_cast<int32_t>(pak_format::HeaderSize(h.version)));
        KvVirtualBlock block;
        return block.Allocate(h.directorySize) &&
               Inflate(file, h.packedDirectorySize, block.address, h.directorySize) == h.directorySize;
      });
      // The entry into a buffer of its own, as the open of a compressed entry
      // takes one.
      Time(("entry_inflate/" + n).c_str(), repeats, [&] {
        file.Seek(static_cast<int32_t>(text.entryStart));
        std::unique_ptr<unsigned char[]> out(new unsigned char[text.record.size]);
        return Inflate(file, text.record.packedSize, out.get(), text.record.size) == text.record.size;
      });
    }
    Time(("zlib_entry/" + n).c_str(), repeats, [&] {
      return bench::ZlibInflate(text.packedEntry, textOut.data(), text.record.size);
    });

    fs::current_path(storedFolder);
    std::vector<unsigned char> storedOut(stored.record.size);
    const std::string m = std::to_string(storedSize >> 20) + "MiB";
    Time(("stored_read/" + m).c_str(), storedRepeats, [&] { return OpenAndRead(kStoredName, storedOut); });
    Time(("fread/" + m).c_str(), storedRepeats, [&] {
      std::FILE* f = std::fopen("stored.pak", "rb");
      const bool ok = f != nullptr && std::fseek(f, static_cast<long>(stored.entryStart), SEEK_SET) == 0 &&
                      std::fread(storedOut.data(), 1, storedOut.size(), f) == storedOut.size();
      if (f != nullptr) std::fclose(f);
      return ok;
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_timed: %s\n", e.what());
    return 1;
  }
  return 0;
}
