// inflate.h: one zlib stream read from a file object, inflated in one go.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

struct z_stream_s;

class KvArchive;

// Inflates the zlib stream of packedSize bytes at file's position into out
// (outSize bytes of room) and returns the bytes written. At most packedSize
// bytes are read, in pieces of at most 4096. A corrupt stream, one that does
// not end within packedSize bytes, a short read (the file ends first) or an
// output buffer too small raise KvErrorException "データ解凍に失敗しました。".
uint32_t Inflate(KvArchive& file, uint32_t packedSize, void* out, uint32_t outSize);

// One zlib stream inflated piece by piece, for reading a compressed entry
// of any size with bounded memory: the packed bytes are read from stream
// (positioned on the stream's first byte) through one input buffer, the
// output goes into the caller's buffers.
class KvInflater {
 public:
  // inflateInit; KvErrorException when it fails.
  KvInflater(std::FILE* stream, uint32_t packedSize);
  ~KvInflater();
  KvInflater(const KvInflater&) = delete;
  KvInflater& operator=(const KvInflater&) = delete;

  // Fills out with up to count inflated bytes and returns how many; fewer
  // only when the stream has ended. A corrupt stream, one whose checksum
  // does not match, or one cut short by the end of its packedSize bytes or
  // of the file raises KvErrorException "データ解凍に失敗しました。".
  uint32_t Read(void* out, uint32_t count);
  // Runs the stream to its end (checking its checksum) and raises the
  // failure above when it ends badly or holds more than was read.
  void Finish();
  bool Ended() const { return ended_; }

 private:
  std::FILE* stream_;
  uint32_t left_;  // packed bytes not yet read
  std::unique_ptr<unsigned char[]> input_;
  z_stream_s* z_;
  bool ended_ = false;
};
