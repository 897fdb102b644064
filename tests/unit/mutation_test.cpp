// mutation_test.cpp: reference archives of every version, made by the pak
// writer, each corrupted a thousand times (under 1% of its bytes, a fixed
// seed) and searched and read through KvArchive::Open as the updater would.
// Every lookup and every read must end in a result or in one of the
// system's own failures, never in a crash or a sanitizer report, and within
// the memory the archive's bytes can stand for.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "tests/unit/test_support.h"
#include "text/exceptions.h"
#include "archive/pak_writer.h"

namespace {

// The most one allocation through operator new may ask for; 0: no limit.
std::size_t gAllocationLimit = 0;

}  // namespace

// Every allocation of this program comes here. Beyond the limit it fails as
// lack of memory does, and lack of memory fails the test: a corrupted size
// read from a small archive must be refused before it is allocated.
void* operator new(std::size_t n) {
  if (gAllocationLimit != 0 && n > gAllocationLimit) throw std::bad_alloc();
  void* p = std::malloc(n != 0 ? n : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) { return ::operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
  return ::operator new(n, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// A small generator of our own: the same numbers on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

// Every archive of versions 1 to 3 holds compressed and stored entries, one
// of them under the 16 bytes that the version-3 transform covers.
std::vector<pak::InputEntry> Entries(uint32_t version) {
  std::vector<pak::InputEntry> e(4);
  e[0].name = "update.ini";
  e[0].bytes = "[update]\r\nGUID=abc\r\nTitle=\x95\x5c\r\nfile=a.txt;b.txt\r\n";
  e[0].compress = version > 0;
  e[1].name = "data\\table.bin";
  for (int i = 0; i < 160; ++i) e[1].bytes.push_back(static_cast<char>(i * 7));
  e[2].name = "sub\\\x95\x5c.txt";
  e[2].bytes = "twelve bytes";
  e[3].name = "empty";
  e[3].compress = version > 0;
  return e;
}

struct Reference {
  const char* what;
  uint32_t version;
  bool zeroKeyBlock;  // version 3: a key block whose name key is 0
};

const Reference kReferences[] = {
    {"version 0", 0, false},
    {"version 1", 1, false},
    {"version 2", 2, false},
    {"version 3", 3, false},
    {"version 3, key block without a key", 3, true},
};

const char* const kLookups[] = {"update.ini", "DATA\\TABLE.BIN", "sub\\\x95\x5c.txt", "missing"};

// How the lookups of one archive ended.
struct Outcomes {
  int opened = 0;
  int notFound = 0;
  int failed = 0;  // one of the system's failures
};

// Opens name and reads it whole; records how it ended. A foreign
// exception is a fault of its own.
void OpenAndRead(const char* name, Outcomes& outcomes, const std::string& context) {
  try {
    KvArchive file;
    if (!file.Open(name, OpenRead)) {
      EXPECT_FALSE(file.IsOpen()) << context;
      ++outcomes.notFound;
      return;
    }
    ++outcomes.opened;
    const uint32_t size = file.GetSize();
    std::vector<unsigned char> piece(4096);
    uint64_t total = 0;
    while (total < size) {
      const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), size - total));
      const uint32_t got = file.Read(want, piece.data());
      ASSERT_LE(got, want) << context;
      if (got == 0) break;
      total += got;
    }
    EXPECT_LE(total, size) << context;
  } catch (const KvException&) {
    ++outcomes.failed;
  } catch (const std::bad_alloc&) {
    ADD_FAILURE() << context << ": lack of memory reading an archive of a few hundred bytes";
  } catch (...) {
    ADD_FAILURE() << context << ": a failure that is not the system's own";
  }
}

TEST(Mutation, CorruptArchivesFailCleanly) {
  constexpr int kMutants = 1000;
  kvtest::ScratchFolder folder;
  kvtest::ScopedValue<bool> quiet(QuietOpen, true);
  Random random(20240601);
  for (const Reference& ref : kReferences) {
    const auto entries = Entries(ref.version);
    pak::WriteOptions options;
    options.version = ref.version;
    options.keyBlock = ref.zeroKeyBlock ? std::string("\0rest", 5) : pak::DefaultKeyBlock(entries);
    options.directoryKey = pak::DefaultDirectoryKey(entries);
    const std::string original = pak::WriteArchive(entries, options);

    // The reference itself reads back whole.
    kvtest::WriteFile("ref.pak", original);
    Outcomes clean;
    for (const char* name : kLookups) OpenAndRead(name, clean, ref.what);
    EXPECT_EQ(clean.opened, 3) << ref.what;
    EXPECT_EQ(clean.failed, 0) << ref.what;

    Outcomes outcomes;
    // What the archive's bytes can honestly make the reader allocate: all of
    // them inflated at deflate's best ratio, and room for the reader's own
    // small buffers.
    kvtest::ScopedValue<std::size_t> bound(gAllocationLimit,
                                           original.size() * pak_format::kMaxInflateRatio + 64 * 1024);
    const uint32_t most = static_cast<uint32_t>((original.size() - 1) / 100);  // under 1%
    for (int m = 0; m < kMutants; ++m) {
      std::string mutant = original;
      const uint32_t changes = 1 + random.Below(most > 0 ? most : 1);
      for (uint32_t c = 0; c < changes; ++c) {
        const uint32_t at = random.Below(static_cast<uint32_t>(mutant.size()));
        mutant[at] = static_cast<char>(mutant[at] ^ (1 + random.Below(255)));
      }
      kvtest::WriteFile("ref.pak", mutant);
      const std::string context = std::string(ref.what) + ", mutant " + std::to_string(m) + ": " +
                                  kvtest::Hex(mutant);
      // One name per mutant, in turn, keeps the run short; every name is
      // looked up in a few hundred mutants.
      OpenAndRead(kLookups[m % 4], outcomes, context);
      if (HasFailure()) return;
    }
    // The corruption reached the reader: some mutants still open, some are
    // refused as broken.
    EXPECT_GT(outcomes.opened, 0) << ref.what;
    EXPECT_GT(outcomes.failed + outcomes.notFound, kMutants / 4) << ref.what;
  }
}

}  // namespace
