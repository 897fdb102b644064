// pak_stream_writer.h: writes a .pak archive of files of any size with
// bounded memory, compressing entries on several threads. The layout is
// the one pak_writer.h describes; the same entries and options always give
// the same bytes, whatever the number of threads.
//
// How the work is laid out: the packed directory comes before the data
// area and holds each entry's packed size, so
//   - an archive of stored entries takes its directory from the sizes given
//     (checked against what is read) and is written in order: a header of
//     zeros, the directory, the data; the header is written last, when the
//     default key material (which follows the contents) is known;
//   - an archive with compressed entries has its data area written to a
//     spool file first; then header, directory and the spooled data are
//     written in order.
// At most about 48 MiB of entries are held at once (small entries read and
// compressed ahead on the worker threads), plus the directory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pak {

// The bytes of one entry, read in pieces; Read returns 0 at the end and
// throws (any std::exception) on a failure.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t Read(char* buffer, std::size_t count) = 0;
};

struct StreamEntry {
  std::string name;  // code page 932 bytes, backslash separators
  uint64_t size = 0; // the size the entry is expected to have
  bool compress = false;
  std::function<std::unique_ptr<ByteSource>()> open;
};

struct StreamOptions {
  uint32_t version = 3;
  std::optional<std::string> keyBlock;  // default: derived from the contents
  std::optional<uint32_t> directoryKey; // default: derived from the contents
  int level = 6;                        // zlib level of compressed entries, 0 to 9
  unsigned threads = 0;                 // 0: one per core
  // Called on the writing thread after each entry: its size and the bytes
  // it took in the archive. May throw to stop (an interruption).
  std::function<void(uint64_t in, uint64_t out)> progress;
};

// A failure of the writer itself: an entry whose file changed size while it
// was read, an archive over the format's limit.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the archive of entries (in the order given) to out, a new file open
// for writing and reading at its start; spool is a second such file, used
// only when some entry is compressed. Returns the archive's size. Throws
// StreamError, std::invalid_argument for bad options, the sources'
// exceptions, and StreamError for a failed write (errno tells why).
uint64_t WriteArchiveStreaming(const std::vector<StreamEntry>& entries, const StreamOptions& options,
                               std::FILE* out, std::FILE* spool);

// Whether any entry needs the spool file.
bool NeedsSpool(const std::vector<StreamEntry>& entries, uint32_t version);

// The default key material for entries summarised by name, size and CRC-32
// of their bytes: non-zero (the key block's name key too), the same for the
// same contents.
struct EntrySummary {
  std::string name;
  uint64_t size = 0;
  uint32_t crc = 0;
};
std::string DefaultKeyBlockOf(const std::vector<EntrySummary>& entries);
uint32_t DefaultDirectoryKeyOf(const std::vector<EntrySummary>& entries);

}  // namespace pak
