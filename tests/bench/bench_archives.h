// bench_archives.h: the archives the benchmarks read, made by code. An
// update of a given number of files, every one compressed as `pak create
// --compress` stores them: small data files with names of 30 bytes, one
// text of 1 MiB, and update.ini last in directory order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/pak_writer.h"

namespace bench {

constexpr const char kTextName[] = "text\\manual.txt";  // the 1 MiB compressed entry
constexpr const char kProfileName[] = "update.ini";
constexpr uint32_t kTextBytes = 1u << 20;

// Text-like bytes: lines of words drawn from a fixed vocabulary, the common
// words more often, the same for the same seed.
std::string TextLike(std::size_t bytes, uint32_t seed);

// The update.ini of the benchmark update (code page 932).
std::string UpdateIni();

// count entries (at least 2) in directory order: count - 2 data files of
// 100 to 300 bytes, kTextName (kTextBytes of text), kProfileName. The text
// is the second-last record and update.ini the last, so a lookup of either
// decodes (almost) every record.
std::vector<pak::InputEntry> UpdateEntries(uint32_t count);

// A version-3 archive of entries with the key material the pak tool derives
// by default (the directory and the names' words scrambled).
std::string WriteUpdatePak(const std::vector<pak::InputEntry>& entries);

// The options every benchmark program takes: --smoke (small archives, a
// check that it still runs) and --work=DIR (where the archives are written).
// Every other argument, argv[0] first, is left in rest.
struct Options {
  bool smoke = false;
  std::string work = "bench-work";
  std::vector<char*> rest;
};
Options ParseOptions(int argc, char** argv);

// zlib alone: uncompress of a whole stream held in memory into size bytes;
// true when it gave exactly size.
bool ZlibInflate(const std::string& packed, unsigned char* out, uint32_t size);

// Writes bytes to a file anew; throws std::runtime_error when it cannot.
void WriteFile(const std::string& path, const std::string& bytes);

// What an archive holds for a lookup of one name, read through the archive
// layer's own reader: the header, the packed directory and the packed entry
// as they lie in the file, so that zlib alone can be given the same inflates.
struct ArchiveParts {
  KvArchiveHeader header;
  std::string packedDirectory;
  std::string directory;      // inflated
  KvArchiveEntry record;      // the record of the name
  uint32_t recordIndex = 0;   // its place in the directory, from 0
  uint32_t entryStart = 0;    // absolute position of its bytes in the file
  std::string packedEntry;    // packedSize bytes (compressed) or size bytes (stored)
};

// Reads path (a pak on disk, in the system's path form) and finds name, the
// first record that it begins, as the lookup does. Throws std::runtime_error
// when the archive holds no such record.
ArchiveParts ReadParts(const std::string& path, const char* name);

}  // namespace bench
