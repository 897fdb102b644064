// pak_stream_writer.cpp: the streaming .pak writer (layout and plan in
// pak_stream_writer.h and pak_writer.h). The name keys and the XOR come
// from the archive layer's own KvXorEncryption, so what is written here is
// exactly what the reader undoes.
#include "archive/pak_stream_writer.h"

#include <zlib.h>

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "archive/encryption.h"
#include "archive/pak_format.h"
#include "archive/pak_writer.h"

namespace pak {

namespace {

constexpr uint64_t kMaxArchive = pak_format::kMaxArchiveBytes;
constexpr std::size_t kKeyBlockSize = pak_format::kKeyBlockBytes;
constexpr uint32_t kScrambled = pak_format::kScrambledBytes;
constexpr std::size_t kPiece = 1u << 20;       // one read or write
constexpr uint64_t kSmallEntry = 4u << 20;     // read and compressed whole on a worker
constexpr uint64_t kAheadBytes = 32u << 20;    // of small entries held ahead of the writer
constexpr std::size_t kAheadEntries = 512;

void PutU32(std::string& out, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                         static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  out.append(bytes, 4);
}

uint32_t NameKey(const std::string& name) { return KvXorEncryption().MakeKey(name.c_str()); }

void WriteAll(std::FILE* f, const char* bytes, std::size_t n) {
  if (n != 0 && std::fwrite(bytes, 1, n, f) != n) throw StreamError("write failed");
}

[[noreturn]] void Changed(const StreamEntry& e) {
  throw StreamError("changed while it was read: " + e.name);
}

std::string DeflateWhole(const char* bytes, std::size_t n, int level) {
  uLongf packedLength = compressBound(static_cast<uLong>(n));
  std::string packed(packedLength, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedLength,
                reinterpret_cast<const Bytef*>(bytes), static_cast<uLong>(n), level) != Z_OK) {
    throw StreamError("zlib could not compress an entry");
  }
  packed.resize(packedLength);
  return packed;
}

// One entry's record fields as they land in the directory.
struct Record {
  uint32_t offset = 0;
  uint32_t size = 0;
  uint32_t compressed = 0;
  uint32_t packedSize = 0;
};

// Reads an entry whole (at most its expected size; more is a change).
std::string ReadWhole(const StreamEntry& e, uint32_t& crc) {
  std::unique_ptr<ByteSource> source = e.open();
  std::string bytes(static_cast<std::size_t>(e.size) + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    const std::size_t n = source->Read(&bytes[got], bytes.size() - got);
    if (n == 0) break;
    got += n;
    if (got > e.size) Changed(e);
  }
  if (got != e.size) Changed(e);
  bytes.resize(got);
  crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()),
                                    static_cast<uInt>(bytes.size())));
  return bytes;
}

// Streams one entry into f: stored (its first 16 bytes transformed in
// version 3) or deflated piece by piece. Returns the bytes written.
uint64_t StreamEntryTo(std::FILE* f, const StreamEntry& e, uint32_t version, int level, uint32_t& crc) {
  std::unique_ptr<ByteSource> source = e.open();
  std::unique_ptr<char[]> piece(new char[kPiece]);
  std::unique_ptr<char[]> packed(e.compress ? new char[kPiece] : nullptr);
  z_stream z{};
  struct DeflateEnd {
    z_stream* z;
    bool live;
    ~DeflateEnd() {
      if (live) deflateEnd(z);
    }
  } end{&z, false};
  if (e.compress) {
    if (deflateInit(&z, level) != Z_OK) throw StreamError("zlib could not compress an entry");
    end.live = true;
  }
  const uint32_t key = version == 3 && !e.compress ? NameKey(e.name) : 0;
  uint64_t in = 0, out = 0;
  uLong sum = crc32(0L, Z_NULL, 0);
  for (bool last = false; !last;) {
    const std::size_t n = source->Read(piece.get(), kPiece);
    last = n == 0;
    if (in + n > e.size) Changed(e);
    sum = crc32(sum, reinterpret_cast<const Bytef*>(piece.get()), static_cast<uInt>(n));
    if (!e.compress) {
      if (key != 0 && in < kScrambled && n > 0) {
        const uint32_t k = static_cast<uint32_t>(n < kScrambled - in ? n : kScrambled - in);
        auto* bytes = reinterpret_cast<unsigned char*>(piece.get());
        KvXorEncryption().Transform(bytes, bytes, static_cast<int32_t>(k), key, static_cast<uint32_t>(in));
      }
      WriteAll(f, piece.get(), n);
      out += n;
    } else {
      z.next_in = reinterpret_cast<Bytef*>(piece.get());
      z.avail_in = static_cast<uInt>(n);
      int r;
      do {
        z.next_out = reinterpret_cast<Bytef*>(packed.get());
        z.avail_out = static_cast<uInt>(kPiece);
        r = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (r == Z_STREAM_ERROR) throw StreamError("zlib could not compress an entry");
        const std::size_t made = kPiece - z.avail_out;
        WriteAll(f, packed.get(), made);
        out += made;
      } while (z.avail_out == 0 || (last && r != Z_STREAM_END));
    }
    in += n;
  }
  if (in != e.size) Changed(e);
  crc = static_cast<uint32_t>(sum);
  return out;
}

std::string RecordBytes(const std::string& name, const Record& r, uint32_t version) {
  std::string out;
  const uint32_t key = version == 3 ? NameKey(name) : 0;
  PutU32(out, static_cast<uint32_t>(name.size()));
  out += name;
  PutU32(out, r.offset ^ key);
  PutU32(out, r.size ^ key);
  PutU32(out, 0 ^ key);  // reserved
  PutU32(out, r.compressed ^ key);
  PutU32(out, r.packedSize ^ key);
  return out;
}

std::string HeaderBytes(uint32_t version, uint32_t entryCount, uint32_t directorySize,
                        uint32_t packedSize, const std::string& keyBlockText, uint32_t directoryKey) {
  char keyBlock[kKeyBlockSize] = {};
  std::memcpy(keyBlock, keyBlockText.data(), keyBlockText.size());
  std::string out;
  PutU32(out, version);
  if (version == 1 || version == 2) {
    PutU32(out, entryCount);
    PutU32(out, directorySize);
    PutU32(out, packedSize);
    if (version == 2) {
      PutU32(out, directoryKey);
      out.append(keyBlock, kKeyBlockSize);
    }
  } else {
    const uint32_t k = pak_format::KeyBlockKey(reinterpret_cast<const unsigned char*>(keyBlock));
    out.append(keyBlock, kKeyBlockSize);
    PutU32(out, directoryKey);
    PutU32(out, directorySize ^ k);
    PutU32(out, entryCount ^ k);
    PutU32(out, packedSize ^ directoryKey);
  }
  return out;
}

uint64_t Fnv(uint64_t h, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

uint64_t SummaryHash(const std::vector<EntrySummary>& entries, uint64_t seed) {
  uint64_t h = 0xcbf29ce484222325ull ^ seed;
  for (const EntrySummary& e : entries) {
    const uint64_t length = e.name.size();
    h = Fnv(h, &length, sizeof length);
    h = Fnv(h, e.name.data(), e.name.size());
    h = Fnv(h, &e.size, sizeof e.size);
    h = Fnv(h, &e.crc, sizeof e.crc);
  }
  return h;
}

// The work of one archive with compressed entries: small compressed entries
// are read and compressed on worker threads, at most kAheadBytes and
// kAheadEntries ahead of the writer, which takes every entry in order.
class Pipeline {
 public:
  Pipeline(const std::vector<StreamEntry>& entries, int level) : entries_(entries), level_(level), slots_(entries.size()) {}

  ~Pipeline() { Stop(); }

  static bool OnWorker(const StreamEntry& e) { return e.compress && e.size <= kSmallEntry; }

  void Start(unsigned threads) {
    std::size_t small = 0;
    for (const StreamEntry& e : entries_) small += OnWorker(e) ? 1 : 0;
    if (threads > small) threads = static_cast<unsigned>(small);
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }

  // Entry i's packed bytes (a small compressed entry), waiting for them.
  std::string Take(std::size_t i, uint32_t& crc) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return slots_[i].done; });
    Slot& slot = slots_[i];
    if (slot.error) std::rethrow_exception(slot.error);
    std::string packed = std::move(slot.packed);
    crc = slot.crc;
    ahead_ -= entries_[i].size;
    committed_ = i + 1;
    changed_.notify_all();
    return packed;
  }

  void Passed(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    committed_ = i + 1;
    changed_.notify_all();
  }

 private:
  struct Slot {
    bool done = false;
    std::string packed;
    uint32_t crc = 0;
    std::exception_ptr error;
  };

  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
          while (next_ < entries_.size() && !OnWorker(entries_[next_])) ++next_;
          if (stop_ || next_ >= entries_.size()) return;
          const uint64_t size = entries_[next_].size;
          if (next_ < committed_ + kAheadEntries && (ahead_ == 0 || ahead_ + size <= kAheadBytes)) break;
          changed_.wait(lock);
        }
        i = next_++;
        ahead_ += entries_[i].size;
      }
      Slot result;
      try {
        const std::string bytes = ReadWhole(entries_[i], result.crc);
        result.packed = DeflateWhole(bytes.data(), bytes.size(), level_);
      } catch (...) {
        result.error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[i] = std::move(result);
      slots_[i].done = true;
      changed_.notify_all();
    }
  }

  const std::vector<StreamEntry>& entries_;
  const int level_;
  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;       // the next entry a worker may take
  std::size_t committed_ = 0;  // entries before it are written
  uint64_t ahead_ = 0;         // bytes of entries taken and not yet written
  bool stop_ = false;
};

void CheckLimit(uint64_t at) {
  if (at > kMaxArchive) throw StreamError("the archive would reach the format's limit of 2^31 - 1 bytes");
}

void SeekTo(std::FILE* f, uint64_t at) {
  if (std::fseek(f, static_cast<long>(at), SEEK_SET) != 0) throw StreamError("seek failed");
}

}  // namespace

bool NeedsSpool(const std::vector<StreamEntry>& entries, uint32_t version) {
  if (version == 0) return false;
  for (const StreamEntry& e : entries) {
    if (e.compress) return true;
  }
  return false;
}

std::string DefaultKeyBlockOf(const std::vector<EntrySummary>& entries) {
  return KeyBlockFromHash([&entries](uint64_t seed) { return SummaryHash(entries, seed); });
}

uint32_t DefaultDirectoryKeyOf(const std::vector<EntrySummary>& entries) {
  return DirectoryKeyFromHash([&entries](uint64_t seed) { return SummaryHash(entries, seed); });
}

uint64_t WriteArchiveStreaming(const std::vector<StreamEntry>& entries, const StreamOptions& options,
                               std::FILE* out, std::FILE* spool) {
  const uint32_t version = options.version;
  if (version > 3) throw std::invalid_argument("pak version above 3");
  if (options.keyBlock && options.keyBlock->size() > kKeyBlockSize) {
    throw std::invalid_argument("pak key block over 256 bytes");
  }
  if (options.level < 0 || options.level > 9) throw std::invalid_argument("zlib level outside 0 to 9");
  const bool spooled = NeedsSpool(entries, version);
  if (version == 0) {
    for (const StreamEntry& e : entries) {
      if (e.compress) throw std::invalid_argument("version-0 archives hold no compressed entry");
    }
  }
  if (spooled && spool == nullptr) throw std::invalid_argument("no spool file");
  std::vector<Record> records(entries.size());
  std::vector<EntrySummary> summaries(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    summaries[i].name = entries[i].name;
    summaries[i].size = entries[i].size;
    if (entries[i].size > kMaxArchive) CheckLimit(entries[i].size);
  }
  auto report = [&](std::size_t i) {
    if (options.progress) options.progress(entries[i].size, records[i].compressed ? records[i].packedSize : records[i].size);
  };

  if (!spooled) {
    // Every entry stored: the directory follows from the sizes given.
    uint64_t head = version == 0 ? pak_format::kHeaderSizeV0 : 0;
    if (version == 0) {
      for (const StreamEntry& e : entries) head += pak_format::kMinRecordBytesV0 + e.name.size();
    }
    uint64_t at = head;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      CheckLimit(at);
      records[i].offset = static_cast<uint32_t>(at);
      records[i].size = static_cast<uint32_t>(entries[i].size);
      records[i].packedSize = records[i].size;
      at += entries[i].size;
      CheckLimit(at);
    }
    uint64_t dataStart = head;
    if (version == 0) {
      std::string front;
      PutU32(front, 0);
      PutU32(front, static_cast<uint32_t>(entries.size()));
      for (std::size_t i = 0; i < entries.size(); ++i) {
        PutU32(front, static_cast<uint32_t>(entries[i].name.size()));
        front += entries[i].name;
        PutU32(front, records[i].offset);
        PutU32(front, 0);
        PutU32(front, records[i].size);
      }
      WriteAll(out, front.data(), front.size());
    } else {
      std::string directory;
      for (std::size_t i = 0; i < entries.size(); ++i) directory += RecordBytes(entries[i].name, records[i], version);
      const std::string packed = DeflateWhole(directory.data(), directory.size(), Z_BEST_COMPRESSION);
      const std::string zeros(pak_format::HeaderSize(version), '\0');
      WriteAll(out, zeros.data(), zeros.size());
      WriteAll(out, packed.data(), packed.size());
      dataStart = zeros.size() + packed.size();
      CheckLimit(dataStart + at);
      for (std::size_t i = 0; i < entries.size(); ++i) {
        summaries[i].crc = 0;
        StreamEntryTo(out, entries[i], version, options.level, summaries[i].crc);
        report(i);
      }
      const std::string header =
          HeaderBytes(version, static_cast<uint32_t>(entries.size()), static_cast<uint32_t>(directory.size()),
                      static_cast<uint32_t>(packed.size()),
                      version >= 2 ? (options.keyBlock ? *options.keyBlock : DefaultKeyBlockOf(summaries)) : "",
                      version >= 2 ? (options.directoryKey ? *options.directoryKey : DefaultDirectoryKeyOf(summaries)) : 0);
      if (std::fflush(out) != 0) throw StreamError("write failed");
      SeekTo(out, 0);
      WriteAll(out, header.data(), header.size());
      if (std::fflush(out) != 0) throw StreamError("write failed");
      return dataStart + at;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
      StreamEntryTo(out, entries[i], version, options.level, summaries[i].crc);
      report(i);
    }
    if (std::fflush(out) != 0) throw StreamError("write failed");
    return at;
  }

  // Some entry compressed: the data area goes to the spool first.
  Pipeline pipeline(entries, options.level);
  unsigned threads = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  pipeline.Start(threads);
  uint64_t at = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const StreamEntry& e = entries[i];
    uint64_t written;
    if (Pipeline::OnWorker(e)) {
      const std::string packed = pipeline.Take(i, summaries[i].crc);
      WriteAll(spool, packed.data(), packed.size());
      written = packed.size();
    } else {
      written = StreamEntryTo(spool, e, version, options.level, summaries[i].crc);
      pipeline.Passed(i);
    }
    records[i].offset = static_cast<uint32_t>(at);
    records[i].size = static_cast<uint32_t>(e.size);
    records[i].compressed = e.compress ? 1 : 0;
    records[i].packedSize = static_cast<uint32_t>(written);
    at += written;
    CheckLimit(at);
    report(i);
  }
  pipeline.Stop();
  std::string directory;
  for (std::size_t i = 0; i < entries.size(); ++i) directory += RecordBytes(entries[i].name, records[i], version);
  const std::string packed = DeflateWhole(directory.data(), directory.size(), Z_BEST_COMPRESSION);
  const std::string header =
      HeaderBytes(version, static_cast<uint32_t>(entries.size()), static_cast<uint32_t>(directory.size()),
                  static_cast<uint32_t>(packed.size()),
                  version >= 2 ? (options.keyBlock ? *options.keyBlock : DefaultKeyBlockOf(summaries)) : "",
                  version >= 2 ? (options.directoryKey ? *options.directoryKey : DefaultDirectoryKeyOf(summaries)) : 0);
  const uint64_t total = header.size() + packed.size() + at;
  CheckLimit(total);
  WriteAll(out, header.data(), header.size());
  WriteAll(out, packed.data(), packed.size());
  if (std::fflush(spool) != 0) throw StreamError("write failed");
  SeekTo(spool, 0);
  std::unique_ptr<char[]> piece(new char[kPiece]);
  for (uint64_t left = at; left > 0;) {
    const std::size_t want = left < kPiece ? static_cast<std::size_t>(left) : kPiece;
    if (std::fread(piece.get(), 1, want, spool) != want) throw StreamError("the spool file could not be read back");
    WriteAll(out, piece.get(), want);
    left -= want;
  }
  if (std::fflush(out) != 0) throw StreamError("write failed");
  return total;
}

}  // namespace pak
