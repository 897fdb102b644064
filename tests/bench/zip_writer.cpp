// zip_writer.cpp: local headers with raw deflate data, the central
// directory, and the end records.
//
// Layout written (all integers little-endian):
//   per entry:  local header 30 bytes + name, deflate data
//   per entry:  central header 46 bytes + name
//   more than 65 535 entries: zip64 end record (56 bytes), its locator (20)
//   end record (22 bytes), counts 0xFFFF when zip64 holds the real ones
#include "zip_writer.h"

#include <zlib.h>

#include <cstdint>
#include <stdexcept>

namespace bench {

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// Raw deflate (no zlib header), as zip method 8 holds it.
std::string RawDeflate(const std::string& bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib: deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("zlib: deflate");
  return out;
}

constexpr uint32_t kVersion = 20;      // 2.0: deflate
constexpr uint32_t kVersionZip64 = 45;
constexpr uint32_t kDosDate = 0x21;    // 1980-01-01
constexpr uint32_t kMaxCount16 = 0xFFFF;

}  // namespace

std::string WriteZip(const std::vector<ZipEntry>& entries) {
  std::string out;
  std::string central;
  for (const ZipEntry& e : entries) {
    const std::string packed = RawDeflate(e.bytes);
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.bytes.data()), static_cast<uInt>(e.bytes.size())));
    const uint64_t at = out.size();
    if (at >= 0xFFFFFFFFu || e.bytes.size() >= 0xFFFFFFFFu) {
      throw std::runtime_error("zip member beyond 4 GiB");
    }
    Put32(out, 0x04034b50);
    Put16(out, kVersion);
    Put16(out, 0);  // flags
    Put16(out, 8);  // deflate
    Put16(out, 0);  // time
    Put16(out, kDosDate);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, static_cast<uint32_t>(e.bytes.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);  // extra field
    out += e.name;
    out += packed;

    Put32(central, 0x02014b50);
    Put16(central, kVersion);  // made by: MS-DOS attributes
    Put16(central, kVersion);
    Put16(central, 0);
    Put16(central, 8);
    Put16(central, 0);
    Put16(central, kDosDate);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(packed.size()));
    Put32(central, static_cast<uint32_t>(e.bytes.size()));
    Put16(central, static_cast<uint32_t>(e.name.size()));
    Put16(central, 0);  // extra
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, static_cast<uint32_t>(at));
    central += e.name;
  }
  const uint64_t centralAt = out.size();
  out += central;
  const uint64_t count = entries.size();
  const bool zip64 = count > kMaxCount16;
  if (zip64) {
    const uint64_t recordAt = out.size();
    Put32(out, 0x06064b50);
    Put64(out, 44);  // the record's size after this field
    Put16(out, kVersionZip64);
    Put16(out, kVersionZip64);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, central.size());
    Put64(out, centralAt);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, recordAt);
    Put32(out, 1);
  }
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64 ? kMaxCount16 : static_cast<uint32_t>(count));
  Put16(out, zip64 ? kMaxCount16 : static_cast<uint32_t>(count));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, static_cast<uint32_t>(centralAt));
  Put16(out, 0);  // comment
  return out;
}

}  // namespace bench
