// zip_writer.h: a minimal zip writer for the comparison with PhysFS: every
// entry deflated, no folders of their own, no time stamps; the zip64 end
// records when the entries do not fit the 16-bit counts.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct ZipEntry {
  std::string name;   // '/' separators
  std::string bytes;
};

// The bytes of the zip file. Throws std::runtime_error when zlib fails or a
// member would need zip64 fields of its own (4 GiB and more).
std::string WriteZip(const std::vector<ZipEntry>& entries);

}  // namespace bench
