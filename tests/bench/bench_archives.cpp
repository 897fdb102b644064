// bench_archives.cpp: the benchmark update, its archive, and the parts of an
// archive that zlib alone is given for comparison.
#include "bench_archives.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <zlib.h>

#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "text/kvstring.h"

namespace bench {

namespace {

// A small linear congruential generator: the same text on every platform.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ = state_ * 1103515245u + 12345u;
    return state_ >> 8;
  }

 private:
  uint32_t state_;
};

const std::vector<std::string>& Vocabulary() {
  static const std::vector<std::string> words = [] {
    static const char* const syllables[] = {"ka", "ri", "to", "mu", "se", "na", "po", "le",
                                            "shi", "ven", "dor", "al", "mi", "qua", "ex", "ra"};
    std::vector<std::string> out;
    Random r(7);
    for (int i = 0; i < 512; ++i) {
      std::string w;
      const uint32_t n = 1 + r.Next() % 3;
      for (uint32_t j = 0; j < n; ++j) w += syllables[r.Next() % 16];
      out.push_back(w);
    }
    return out;
  }();
  return words;
}

}  // namespace

std::string TextLike(std::size_t bytes, uint32_t seed) {
  const std::vector<std::string>& words = Vocabulary();
  Random r(seed);
  std::string out;
  out.reserve(bytes + 32);
  std::size_t lineStart = 0;
  while (out.size() < bytes) {
    // The square of a uniform number favours the first words, as in text.
    const uint32_t u = r.Next() % 1024;
    out += words[(u * u) >> 11];
    if (out.size() - lineStart > 72) {
      out += "\r\n";
      lineStart = out.size();
    } else {
      out += ' ';
    }
  }
  out.resize(bytes);
  return out;
}

std::string UpdateIni() {
  return "[update]\r\n"
         "GUID=ExampleProduct\r\n"
         "Title=製品名\r\n"
         "Version=1.02\r\n"
         "SubDir=Data\r\n"
         "file=data;text\r\n";
}

std::vector<pak::InputEntry> UpdateEntries(uint32_t count) {
  if (count < 2) throw std::invalid_argument("an update of at least two files");
  std::vector<pak::InputEntry> entries;
  entries.reserve(count);
  for (uint32_t i = 0; i + 2 < count; ++i) {
    // data\stage042\map_00004217.dat: 30 bytes, ascending in the tool's order.
    char name[64];
    std::snprintf(name, sizeof name, "data\\stage%03u\\map_%08u.dat", i / 1000 % 1000, i);
    entries.emplace_back(name, TextLike(100 + i % 201, i + 1), true);
  }
  entries.emplace_back(kTextName, TextLike(kTextBytes, 0x7e57), true);
  entries.emplace_back(kProfileName, UpdateIni(), true);
  return entries;
}

std::string WriteUpdatePak(const std::vector<pak::InputEntry>& entries) {
  pak::WriteOptions options;
  options.version = 3;
  options.keyBlock = pak::DefaultKeyBlock(entries);
  options.directoryKey = pak::DefaultDirectoryKey(entries);
  return pak::WriteArchive(entries, options);
}

bool ZlibInflate(const std::string& packed, unsigned char* out, uint32_t size) {
  uLongf length = size;
  return uncompress(out, &length, reinterpret_cast<const Bytef*>(packed.data()),
                    static_cast<uLong>(packed.size())) == Z_OK &&
         length == size;
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) o.smoke = true;
    else if (std::strncmp(argv[i], "--work=", 7) == 0) o.work = argv[i] + 7;
    else o.rest.push_back(argv[i]);
  }
  return o;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot create " + path);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

ArchiveParts ReadParts(const std::string& path, const char* name) {
  ArchiveParts parts;
  KvArchive file;
  const bool wasQuiet = QuietOpen;
  QuietOpen = true;
  const bool open = file.Open(path.c_str(), OpenRead);
  QuietOpen = wasQuiet;
  if (!open || !parts.header.ReadHeader(file) || parts.header.version == 0) {
    throw std::runtime_error(path + ": no pak of version 1 to 3");
  }
  const uint32_t h = pak_format::HeaderSize(parts.header.version);
  parts.packedDirectory.resize(parts.header.packedDirectorySize);
  file.Seek(static_cast<int32_t>(h));
  if (file.Read(parts.header.packedDirectorySize, &parts.packedDirectory[0]) !=
      parts.header.packedDirectorySize) {
    throw std::runtime_error(path + ": short directory");
  }
  parts.directory.resize(parts.header.directorySize);
  file.Seek(static_cast<int32_t>(h));
  parts.directory.resize(Inflate(file, parts.header.packedDirectorySize, &parts.directory[0],
                                 parts.header.directorySize));

  KvArchive directory;
  directory.OpenMemory(parts.directory.data(), static_cast<uint32_t>(parts.directory.size()));
  parts.record.header = parts.header;
  const KvString wanted(name);
  for (uint32_t i = 0; i < parts.header.entryCount; ++i) {
    if (!parts.record.ReadEntry(directory)) break;
    if (kvtext::CompareNoCaseN(parts.record.name.Text(), wanted.Text(), wanted.Size()) != 0) {
      continue;
    }
    parts.recordIndex = i;
    parts.entryStart = h + parts.header.packedDirectorySize + parts.record.offset;
    const uint32_t extent =
        parts.record.compressed != 0 ? parts.record.packedSize : parts.record.size;
    parts.packedEntry.resize(extent);
    file.Seek(static_cast<int32_t>(parts.entryStart));
    if (file.Read(extent, &parts.packedEntry[0]) != extent) {
      throw std::runtime_error(path + ": short entry");
    }
    return parts;
  }
  throw std::runtime_error(path + ": no entry " + name);
}

}  // namespace bench
