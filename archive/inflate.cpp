// inflate.cpp: drives zlib (inflateInit_, inflate, inflateEnd) over a file
// object, the input through one 4096-byte buffer, the output straight into
// the caller's buffer.
#include "archive/inflate.h"

#include <zlib.h>

#include "archive/kvarchive.h"
#include "text/exceptions.h"

namespace {

constexpr uint32_t kInputStep = 4096;

[[noreturn]] void ThrowInflateFailure() { throw KvErrorException("データ解凍に失敗しました。"); }

// Owns the zlib state from a successful inflateInit_ to inflateEnd, also
// when an exception passes (a Read that throws).
class InflateStream {
 public:
  InflateStream() = default;
  ~InflateStream() {
    if (live_) inflateEnd(&z_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  bool Init() { return live_ = (inflateInit(&z_) == Z_OK); }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool live_ = false;
};

}  // namespace

// Only the bytes Read delivered are handed to zlib: a read that delivers
// fewer than asked means the file ended inside the stream, a failure.
uint32_t Inflate(KvArchive& file, uint32_t packedSize, void* out, uint32_t outSize) {
  unsigned char input[kInputStep];
  uint32_t remaining = packedSize;  // bytes of the stream not yet read

  uint32_t want = remaining < kInputStep ? remaining : kInputStep;
  uint32_t got = file.Read(want, input);
  if (got != want) ThrowInflateFailure();
  remaining -= got;

  InflateStream stream;
  z_stream& z = stream.z();
  z.next_in = input;
  z.avail_in = got;
  z.next_out = static_cast<Bytef*>(out);
  z.avail_out = outSize;
  if (!stream.Init()) ThrowInflateFailure();

  int r = Z_OK;
  while (z.avail_in > 0) {
    r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) break;
    if (r != Z_OK) ThrowInflateFailure();
    if (z.avail_in == 0) {
      want = remaining < kInputStep ? remaining : kInputStep;
      got = file.Read(want, input);
      if (got != want) ThrowInflateFailure();
      remaining -= got;
      z.next_in = input;
      z.avail_in = got;
    }
  }
  if (r != Z_STREAM_END) {
    do {
      r = inflate(&z, Z_FINISH);
    } while (r == Z_OK);
  }
  if (r != Z_STREAM_END) ThrowInflateFailure();
  return static_cast<uint32_t>(z.total_out);
}
