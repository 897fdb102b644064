// archive_bench.cpp: the cost of a lookup and a read through the archive
// layer, each beside the work it cannot avoid (zlib alone on buffers already
// in memory, fread of the same bytes) or beside PhysFS on a zip of the same
// files, at 1 000, 10 000 and 100 000 entries. scripts/bench.sh turns the
// results into ratios; every pair is measured in the same run.
//
//   archive_bench [--smoke] [--work=DIR] [Google Benchmark flags]
//
// --smoke: only the 1 000-entry update, a 1 MiB stored entry and one
// repetition, so that a test run can check the benchmarks still work.
// --work: where the archives are written (default bench-work).
#include <benchmark/benchmark.h>
#include <physfs.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "bench_archives.h"
#include "profile/profile.h"
#include "zip_writer.h"

namespace fs = std::filesystem;

namespace {

struct Update {
  uint32_t count = 0;
  std::string pakFolder;  // holds update.pak and nothing else
  std::string pakPath;
  std::string zipPath;
  bench::ArchiveParts text;     // the lookup of the 1 MiB text
  bench::ArchiveParts profile;  // the lookup of update.ini
};

struct Stored {
  std::string folder;
  std::string pakPath;
  bench::ArchiveParts parts;
};

constexpr const char kStoredName[] = "movie\\intro.bin";
constexpr const char kZipTextName[] = "text/manual.txt";

int gRepetitions = 5;

std::string ZipName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

Update MakeUpdate(const fs::path& work, uint32_t count, bool withZip) {
  Update u;
  u.count = count;
  const fs::path folder = work / ("pak" + std::to_string(count));
  fs::create_directories(folder);
  u.pakFolder = folder.string();
  u.pakPath = (folder / "update.pak").string();
  const std::vector<pak::InputEntry> entries = bench::UpdateEntries(count);
  bench::WriteFile(u.pakPath, bench::WriteUpdatePak(entries));
  if (withZip) {
    std::vector<bench::ZipEntry> members;
    members.reserve(entries.size());
    for (const pak::InputEntry& e : entries) members.push_back({ZipName(e.name), e.bytes});
    u.zipPath = (work / ("update" + std::to_string(count) + ".zip")).string();
    bench::WriteFile(u.zipPath, bench::WriteZip(members));
  }
  u.text = bench::ReadParts(u.pakPath, bench::kTextName);
  u.profile = bench::ReadParts(u.pakPath, bench::kProfileName);
  return u;
}

Stored MakeStored(const fs::path& work, uint32_t bytes) {
  Stored s;
  const fs::path folder = work / "stored";
  fs::create_directories(folder);
  s.folder = folder.string();
  s.pakPath = (folder / "stored.pak").string();
  std::vector<pak::InputEntry> entries;
  entries.emplace_back(kStoredName, bench::TextLike(bytes, 0x5104ed), false);
  entries.emplace_back(bench::kProfileName, bench::UpdateIni(), true);
  bench::WriteFile(s.pakPath, bench::WriteUpdatePak(entries));
  s.parts = bench::ReadParts(s.pakPath, kStoredName);
  return s;
}

// iterations > 0 fixes the iterations of each repetition (for figures of
// seconds, where Google Benchmark's own choice would take minutes).
benchmark::internal::Benchmark* Register(const std::string& name,
                                         std::function<void(benchmark::State&)> body) {
  return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Repetitions(gRepetitions)
      ->ComputeStatistics("min",
                          [](const std::vector<double>& v) {
                            return *std::min_element(v.begin(), v.end());
                          })
      ->ReportAggregatesOnly(true);
}

// zlib alone fed the stream from memory in pieces of `piece` bytes into one
// output buffer, as Inflate feeds it from the file (4096 bytes a piece): the
// floor for a reader built that way.
bool ZlibInflatePieces(const std::string& packed, unsigned char* out, uint32_t size,
                       uint32_t piece) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_out = out;
  z.avail_out = size;
  std::size_t fed = 0;
  int r = Z_OK;
  while (r == Z_OK) {
    if (z.avail_in == 0) {
      const std::size_t n = std::min<std::size_t>(piece, packed.size() - fed);
      if (n == 0) break;
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + fed));
      z.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    r = inflate(&z, Z_NO_FLUSH);
  }
  const bool whole = r == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  return whole;
}

constexpr uint32_t kInflatePiece = 4096;

// zlib alone on the stream: in one call (piece 0) or fed in pieces.
bool ZlibAlone(const std::string& packed, unsigned char* out, uint32_t size, uint32_t piece) {
  return piece == 0 ? bench::ZlibInflate(packed, out, size)
                    : ZlibInflatePieces(packed, out, size, piece);
}

// A file object open on the archive as a plain file, as the lookup has it.
std::unique_ptr<KvArchive> OpenPlain(const std::string& path) {
  auto file = std::make_unique<KvArchive>();
  file->Open(path.c_str(), OpenRead);
  return file;
}

void RegisterUpdate(const Update& u) {
  const std::string n = "/" + std::to_string(u.count);
  const uint32_t textSize = u.text.record.size;

  // The whole job: lookup (directory inflate, record scan) and entry inflate.
  Register("pak_open_read" + n, [&u, textSize](benchmark::State& state) {
    fs::current_path(u.pakFolder);
    std::vector<unsigned char> out(textSize);
    for (auto _ : state) {
      KvArchive file;
      if (!file.Open(bench::kTextName, OpenRead) || file.Read(textSize, out.data()) != textSize) {
        state.SkipWithError("open or read failed");
        break;
      }
      benchmark::DoNotOptimize(out.data());
    }
  });
  // zlib alone doing the same two inflates, on whole streams and fed the
  // pieces Inflate reads.
  for (const uint32_t piece : {0u, kInflatePiece}) {
    Register((piece == 0 ? "zlib_inflates" : "zlib_inflates_4k") + n,
             [&u, textSize, piece](benchmark::State& state) {
               std::vector<unsigned char> directory(u.text.header.directorySize);
               std::vector<unsigned char> out(textSize);
               for (auto _ : state) {
                 if (!ZlibAlone(u.text.packedDirectory, directory.data(),
                                u.text.header.directorySize, piece) ||
                     !ZlibAlone(u.text.packedEntry, out.data(), textSize, piece)) {
                   state.SkipWithError("zlib failed");
                   break;
                 }
                 benchmark::DoNotOptimize(out.data());
               }
             });
  }

  // The three parts of pak_open_read, each done by the archive layer as the
  // lookup does it, beside zlib alone for the inflates.
  Register("directory_inflate" + n, [&u](benchmark::State& state) {
    auto file = OpenPlain(u.pakPath);
    const KvArchiveHeader& h = u.text.header;
    for (auto _ : state) {
      file->Seek(static_cast<int32_t>(pak_format::HeaderSize(h.version)));
      KvVirtualBlock block;
      if (!block.Allocate(h.directorySize) ||
          Inflate(*file, h.packedDirectorySize, block.address, h.directorySize) != h.directorySize) {
        state.SkipWithError("directory inflate failed");
        break;
      }
      benchmark::DoNotOptimize(block.address);
    }
  });
  Register("zlib_directory" + n, [&u](benchmark::State& state) {
    std::vector<unsigned char> directory(u.text.header.directorySize);
    for (auto _ : state) {
      if (!bench::ZlibInflate(u.text.packedDirectory, directory.data(), u.text.header.directorySize)) {
        state.SkipWithError("zlib failed");
        break;
      }
      benchmark::DoNotOptimize(directory.data());
    }
  });
  Register("record_decoding" + n, [&u](benchmark::State& state) {
    const KvString wanted(bench::kTextName);
    const uint32_t records = u.text.recordIndex + 1;
    for (auto _ : state) {
      KvArchive directory;
      directory.OpenMemory(u.text.directory.data(), static_cast<uint32_t>(u.text.directory.size()));
      KvArchiveEntry record;
      record.header = u.text.header;
      uint32_t i = 0;
      for (; i < records; ++i) {
        if (!record.ReadEntry(directory)) break;
        if (kvtext::CompareNoCaseN(record.name.Text(), wanted.Text(), wanted.Size()) == 0) break;
      }
      if (i + 1 != records) {
        state.SkipWithError("record scan failed");
        break;
      }
      benchmark::DoNotOptimize(record.offset);
    }
    state.counters["records"] = records;
  });
  Register("entry_inflate" + n, [&u, textSize](benchmark::State& state) {
    auto file = OpenPlain(u.pakPath);
    for (auto _ : state) {
      file->Seek(static_cast<int32_t>(u.text.entryStart));
      std::unique_ptr<unsigned char[]> out(new unsigned char[textSize]);
      if (Inflate(*file, u.text.record.packedSize, out.get(), textSize) != textSize) {
        state.SkipWithError("entry inflate failed");
        break;
      }
      benchmark::DoNotOptimize(out.get());
    }
  });
  for (const uint32_t piece : {0u, kInflatePiece}) {
    Register((piece == 0 ? "zlib_entry" : "zlib_entry_4k") + n,
             [&u, textSize, piece](benchmark::State& state) {
               std::vector<unsigned char> out(textSize);
               for (auto _ : state) {
                 if (!ZlibAlone(u.text.packedEntry, out.data(), textSize, piece)) {
                   state.SkipWithError("zlib failed");
                   break;
                 }
                 benchmark::DoNotOptimize(out.data());
               }
             });
  }

  // A lookup that finds the last record: how the cost grows with the count.
  Register("lookup" + n, [&u](benchmark::State& state) {
    fs::current_path(u.pakFolder);
    for (auto _ : state) {
      KvArchive file;
      if (!file.Open(bench::kProfileName, OpenRead)) {
        state.SkipWithError("lookup failed");
        break;
      }
    }
    state.counters["records"] = u.profile.recordIndex + 1;
  });

  if (!u.zipPath.empty()) {
    // Cold: PhysFS keeps nothing between iterations, as the archive layer.
    // A mount of 100 000 entries takes seconds: one iteration per repetition.
    auto* b = Register("physfs_mount_read" + n, [&u, textSize](benchmark::State& state) {
      std::vector<unsigned char> out(textSize);
      for (auto _ : state) {
        bool ok = PHYSFS_mount(u.zipPath.c_str(), nullptr, 0) != 0;
        PHYSFS_File* f = ok ? PHYSFS_openRead(kZipTextName) : nullptr;
        ok = f != nullptr && PHYSFS_fileLength(f) == textSize &&
             PHYSFS_readBytes(f, out.data(), textSize) == textSize;
        if (f != nullptr) PHYSFS_close(f);
        PHYSFS_unmount(u.zipPath.c_str());
        if (!ok) {
          state.SkipWithError(PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()));
          break;
        }
        benchmark::DoNotOptimize(out.data());
      }
    });
    if (u.count >= 100000) b->Iterations(1);
  }
}

void RegisterProfile(const Update& u) {
  const std::string n = "/" + std::to_string(u.count);
  // The five reads of update.ini at the start of an update run.
  Register("profile_lookups" + n, [&u](benchmark::State& state) {
    fs::current_path(u.pakFolder);
    static const char* const keys[] = {"GUID", "SubDir", "Title", "Version", "file"};
    for (auto _ : state) {
      KvString values[5];
      for (int i = 0; i < 5; ++i) GetProfileValue("update", keys[i], values[i], bench::kProfileName);
      if (values[4].Size() == 0) {
        state.SkipWithError("update.ini not read");
        break;
      }
      benchmark::DoNotOptimize(values[4].Buffer());
    }
  });
  Register("directory_inflates_x5" + n, [&u](benchmark::State& state) {
    std::vector<unsigned char> directory(u.profile.header.directorySize);
    for (auto _ : state) {
      for (int i = 0; i < 5; ++i) {
        if (!bench::ZlibInflate(u.profile.packedDirectory, directory.data(),
                         u.profile.header.directorySize)) {
          state.SkipWithError("zlib failed");
          return;
        }
      }
      benchmark::DoNotOptimize(directory.data());
    }
  });
}

// A read of this size moves as fast as the machine's memory lets it, and
// that changes from second to second on a shared machine: the two reads
// take turns in every iteration, the figure is the median of the
// iterations' ratios, and each side's fastest time is given beside it.
void RegisterStored(const Stored& s) {
  const uint32_t size = s.parts.record.size;
  const std::string n = "/" + std::to_string(size >> 20) + "MiB";
  Register("stored_read_and_fread" + n, [&s, size](benchmark::State& state) {
    fs::current_path(s.folder);
    std::vector<unsigned char> out(size);
    const auto pakRead = [&] {
      KvArchive file;
      return file.Open(kStoredName, OpenRead) && file.Read(size, out.data()) == size;
    };
    const auto plainRead = [&] {
      std::FILE* f = std::fopen(s.pakPath.c_str(), "rb");
      const bool ok = f != nullptr &&
                      std::fseek(f, static_cast<long>(s.parts.entryStart), SEEK_SET) == 0 &&
                      std::fread(out.data(), 1, size, f) == size;
      if (f != nullptr) std::fclose(f);
      return ok;
    };
    double best[2] = {1e30, 1e30};  // seconds: the archive layer, fread
    std::vector<double> ratios;
    bool first = true;
    for (auto _ : state) {
      double t[2] = {0, 0};
      for (int k = 0; k < 2; ++k) {
        const int which = first ? k : 1 - k;
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = which == 0 ? pakRead() : plainRead();
        t[which] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok) {
          state.SkipWithError("read failed");
          return;
        }
        best[which] = std::min(best[which], t[which]);
      }
      ratios.push_back(t[0] / t[1]);
      first = !first;
      benchmark::DoNotOptimize(out.data());
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["pak_ms"] = best[0] * 1e3;
    state.counters["fread_ms"] = best[1] * 1e3;
    state.counters["ratio"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
  });
}

}  // namespace

int main(int argc, char** argv) {
  bench::Options options = bench::ParseOptions(argc, argv);
  const bool smoke = options.smoke;
  fs::path work = options.work;
  std::vector<char*>& rest = options.rest;
  int restCount = static_cast<int>(rest.size());
  if (smoke) gRepetitions = 1;
  QuietOpen = true;
  work = fs::absolute(work);

  if (PHYSFS_init(argv[0]) == 0) {
    std::fprintf(stderr, "archive_bench: PHYSFS_init failed\n");
    return 1;
  }
  // Made before any benchmark runs, so that the figures hold no set-up.
  std::vector<std::unique_ptr<Update>> updates;
  const std::vector<uint32_t> counts = smoke ? std::vector<uint32_t>{1000}
                                             : std::vector<uint32_t>{1000, 10000, 100000};
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t count : counts) {
    updates.push_back(std::make_unique<Update>(MakeUpdate(work, count, count != 10000)));
    const Update& u = *updates.back();
    std::fprintf(stderr, "archive_bench: %u entries: directory %u bytes, packed %u; text packed %u\n",
                 count, u.text.header.directorySize, u.text.header.packedDirectorySize,
                 u.text.record.packedSize);
  }
  const Stored stored = MakeStored(work, smoke ? 1u << 20 : 64u << 20);
  std::fprintf(stderr, "archive_bench: archives made in %.1f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

  for (const auto& u : updates) RegisterUpdate(*u);
  RegisterProfile(smoke ? *updates[0] : *updates[1]);
  RegisterStored(stored);

  benchmark::Initialize(&restCount, rest.data());
  if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PHYSFS_deinit();
  return 0;
}
