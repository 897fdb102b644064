// pak_input.h: how a fuzz input for fuzz_pak is laid out, shared by the
// target and the seed writer so that the two cannot drift apart.
//
//   byte 0        flags: bit 0 set: the directory comes plain and is packed
//                 by the target (a mutated directory still inflates, so its
//                 records are reached); bit 1 set: read in small pieces;
//                 bit 2 set: a second archive, a.pak, comes first (a u16
//                 length, then its bytes as they are); it sorts before
//                 fuzz.pak, so it is the first candidate
//   byte 1        n, the length of the requested name
//   n bytes       the requested name
//   the rest      bit 0 clear: the archive's bytes as they are.
//                 bit 0 set: a u32 d, d bytes of plain directory, then the
//                 archive without its packed directory (the header and the
//                 data area); the target puts the packed directory between
//                 the two and writes its size into the header.
#pragma once

#include <cstdint>
#include <string>

#include <zlib.h>

namespace kvfuzz {

constexpr uint8_t kPackDirectory = 1;
constexpr uint8_t kSmallReads = 2;
constexpr uint8_t kTwoArchives = 4;

inline uint32_t GetU32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

inline void PutU32(std::string& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Where a header of versions 1 to 3 keeps packedDirectorySize, and the word
// it is XORed with (version 3 only); 0 for a version without a packed
// directory.
inline std::size_t PackedSizeField(uint32_t version) {
  return version == 1 || version == 2 ? 12 : version == 3 ? 272 : 0;
}
inline std::size_t HeaderBytes(uint32_t version) { return version == 1 ? 16 : 276; }

// The archive with the plain directory packed into place; the header and
// data area as given when they are too short to hold a header.
inline std::string PackArchive(const std::string& directory, const std::string& headerAndData) {
  if (headerAndData.size() < 4) return headerAndData;
  const uint32_t version = GetU32(headerAndData, 0);
  const std::size_t field = PackedSizeField(version);
  if (field == 0 || headerAndData.size() < HeaderBytes(version)) return headerAndData;
  uLongf packedSize = compressBound(static_cast<uLong>(directory.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                reinterpret_cast<const Bytef*>(directory.data()),
                static_cast<uLong>(directory.size()), Z_BEST_SPEED) != Z_OK) {
    return headerAndData;
  }
  packed.resize(packedSize);
  std::string archive = headerAndData.substr(0, HeaderBytes(version));
  uint32_t word = static_cast<uint32_t>(packedSize);
  if (version == 3) word ^= GetU32(archive, 260);
  PutU32(archive, field, word);
  archive += packed;
  archive += headerAndData.substr(HeaderBytes(version));
  return archive;
}

}  // namespace kvfuzz
