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

namespace {

constexpr uint32_t kStreamInputStep = 65536;

}  // namespace

KvInflater::KvInflater(std::FILE* stream, uint32_t packedSize)
    : stream_(stream), left_(packedSize), input_(new unsigned char[kStreamInputStep]), z_(new z_stream{}) {
  if (inflateInit(z_) != Z_OK) {
    delete z_;
    z_ = nullptr;
    ThrowInflateFailure();
  }
}

KvInflater::~KvInflater() {
  if (z_ != nullptr) {
    inflateEnd(z_);
    delete z_;
  }
}

uint32_t KvInflater::Read(void* out, uint32_t count) {
  z_stream& z = *z_;
  z.next_out = static_cast<Bytef*>(out);
  z.avail_out = count;
  while (z.avail_out > 0 && !ended_) {
    if (z.avail_in == 0) {
      // The packed bytes (or the file) end before the stream does.
      if (left_ == 0) ThrowInflateFailure();
      const uint32_t want = left_ < kStreamInputStep ? left_ : kStreamInputStep;
      if (std::fread(input_.get(), 1, want, stream_) != want) ThrowInflateFailure();
      left_ -= want;
      z.next_in = input_.get();
      z.avail_in = want;
    }
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) ended_ = true;
    else if (r != Z_OK && !(r == Z_BUF_ERROR && z.avail_in == 0)) ThrowInflateFailure();
  }
  return count - z.avail_out;
}

void KvInflater::Finish() {
  unsigned char extra;
  if (Read(&extra, 1) != 0 || !ended_) ThrowInflateFailure();
}
