// fuzz_pakmem.cpp: the archive readers over a memory block, no file I/O: a
// header followed by a plain directory read record by record as the lookup
// reads an inflated directory, Inflate of a zlib stream, stored names
// (KvString::ReadFrom), and Seek/Read on the block. The block is an exact
// heap copy, so a read past its end is an AddressSanitizer report.
//
// Input: a mode byte, then the block (mode 1: a u32 output size first).
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/exceptions.h"

namespace {

// The lookup's limit on records before it gives up on a directory is what
// the directory can hold; here the block bounds the loop, this only keeps a
// run short.
constexpr uint32_t kMostRecords = 1u << 16;

void CheckName(const KvString& s) {
  if (s.Buffer() == nullptr) return;
  KVFUZZ_CHECK(s.Capacity() > s.Size() && s.Capacity() % 64 == 0);
  KVFUZZ_CHECK(static_cast<std::size_t>(s.Size()) == std::strlen(s.Buffer()));
}

void HeaderAndDirectory(KvArchive& block, uint32_t size) {
  KvArchiveHeader header;
  if (!header.ReadHeader(block)) return;
  KvArchiveEntry entry;
  entry.header = header;
  uint32_t records = 0;
  int64_t before = block.GetPosition();
  while (records < kMostRecords && records < header.entryCount) {
    if (!entry.ReadEntry(block)) break;
    ++records;
    CheckName(entry.name);
    const int64_t after = block.GetPosition();
    // A record is at least a name length and five words, all within the block.
    KVFUZZ_CHECK(after - before >= 24);
    KVFUZZ_CHECK(after <= static_cast<int64_t>(size));
    KVFUZZ_CHECK(entry.name.Size() <= after - before - 24);
    before = after;
  }
}

void InflateBlock(KvArchive& block, uint32_t outSize) {
  std::unique_ptr<unsigned char[]> out(new unsigned char[outSize == 0 ? 1 : outSize]);
  const uint32_t written = Inflate(block, block.GetSize(), out.get(), outSize);
  KVFUZZ_CHECK(written <= outSize);
}

void StoredNames(KvArchive& block, uint32_t size) {
  KvString name;
  for (int i = 0; i < 64 && block.GetPosition() < size; ++i) {
    const int64_t before = block.GetPosition();
    name.ReadFrom(block);
    CheckName(name);
    if (block.GetPosition() == before) break;
  }
}

void SeekAndRead(kvfuzz::Input& in, KvArchive& block, uint32_t size) {
  unsigned char piece[256];
  for (int i = 0; i < 32 && !in.Done(); ++i) {
    const int32_t offset = static_cast<int32_t>(in.U32());
    block.Seek(offset);
    const uint32_t want = in.Byte();
    const uint32_t got = block.Read(want, piece);
    KVFUZZ_CHECK(got <= want);
    if (offset < 0 || static_cast<uint32_t>(offset) >= size) KVFUZZ_CHECK(got == 0);
    else KVFUZZ_CHECK(got == (want < size - offset ? want : size - offset));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::Input in(data, size);
  const uint8_t mode = in.Byte() % 4;
  const uint32_t outSize = mode == 1 ? in.U32() % (1u << 20) : 0;
  const std::string bytes = mode == 3 ? in.Take(in.Byte() * 4u) : in.Rest();
  std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size()]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  KvArchive block;
  const uint32_t blockSize = static_cast<uint32_t>(bytes.size());
  block.OpenMemory(copy.get(), blockSize);
  try {
    switch (mode) {
      case 0: HeaderAndDirectory(block, blockSize); break;
      case 1: InflateBlock(block, outSize); break;
      case 2: StoredNames(block, blockSize); break;
      case 3: SeekAndRead(in, block, blockSize); break;
    }
  } catch (const KvException&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
