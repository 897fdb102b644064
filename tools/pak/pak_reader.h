// pak_reader.h: an archive as the updater reads it, for pak list and pak
// extract. Header, directory and entries go through the archive layer's own
// operations, so what the tool shows is what the updater sees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/kvarchive.h"
#include "archive/records.h"

namespace paktool {

class PakReader {
 public:
  // Opens the archive file (a path in the system's form) and reads its
  // header and whole directory. Throws ToolError for a file that cannot be
  // opened or is no pak, and the archive layer's exceptions for a broken one.
  explicit PakReader(const std::string& path);

  uint32_t Version() const { return version_; }
  // The directory records in directory order.
  const std::vector<KvArchiveEntry>& Records() const { return records_; }
  // The bytes of record i as a read of the whole entry delivers them.
  std::string ReadEntry(std::size_t i);

 private:
  std::string path_;
  uint32_t version_ = 0;
  std::vector<KvArchiveEntry> records_;
};

}  // namespace paktool
