// records.h: the in-memory archive header and directory record.
#pragma once

#include <cstdint>
#include <cstring>

#include "text/kvstring.h"

class KvArchive;

class KvArchiveHeader {
 public:
  // The first header made also makes the process-wide EncryptionTable.
  KvArchiveHeader();
  virtual ~KvArchiveHeader() = default;
  KvArchiveHeader(const KvArchiveHeader&) = default;
  KvArchiveHeader& operator=(const KvArchiveHeader&) = default;

  // Reads a header of any version from the archive's current position
  // (layout in pak_format.cpp). False when the file ends inside the header: the fields then
  // hold what was delivered, undelivered bytes as they were. A version above
  // 3 reads only version and is not cut short.
  bool ReadHeader(KvArchive& file);

  uint32_t version = 3;
  uint32_t entryCount = 0;
  uint32_t directorySize = 0;
  uint32_t packedDirectorySize = 0;
  uint32_t directoryKey = 0;
  unsigned char keyBlock[256] = {};
};

class KvArchiveEntry {
 public:
  KvArchiveEntry() = default;
  virtual ~KvArchiveEntry() = default;
  KvArchiveEntry(const KvArchiveEntry&) = default;
  KvArchiveEntry& operator=(const KvArchiveEntry&) = default;

  // Reads one directory record of version 1 to 3, decoded as header.version
  // says. False when the record does not fit in what is left of directory
  // (a broken archive); nothing is then allocated for a name that lies.
  bool ReadEntry(KvArchive& directory);

  KvString name;
  uint32_t offset = 0;
  uint32_t size = 0;
  uint32_t reserved = 0;
  uint32_t compressed = 0;
  uint32_t packedSize = 0;
  KvArchiveHeader header;
};
