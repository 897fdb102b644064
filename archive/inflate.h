// inflate.h: one zlib stream read from a file object, inflated in one go.
#pragma once

#include <cstdint>

class KvArchive;

// Inflates the zlib stream of packedSize bytes at file's position into out
// (outSize bytes of room) and returns the bytes written. At most packedSize
// bytes are read, in pieces of at most 4096. A corrupt stream, one that does
// not end within packedSize bytes, a short read (the file ends first) or an
// output buffer too small raise KvErrorException "データ解凍に失敗しました。".
uint32_t Inflate(KvArchive& file, uint32_t packedSize, void* out, uint32_t outSize);
