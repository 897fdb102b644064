// kvarchive.h: the system's file object over loose files, .pak entries and
// memory blocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "text/exceptions.h"
#include "text/kvstring.h"

class KvArchiveEntry;
class KvInflater;
class KvArchiveHeader;

// Open modes: the low two bits choose the fopen mode, 8 is a flag.
constexpr uint32_t OpenRead = 0;          // "rb"
constexpr uint32_t OpenWrite = 1;         // "w+b", missing folders are made
constexpr uint32_t OpenAppend = 2;        // "a+b", missing folders are made
constexpr uint32_t OpenNoSearchPath = 8;  // only the current folder's archives

// When set, a failed open in a read mode returns false without asking.
extern bool QuietOpen;
// Further folders whose archives Open searches after the current one's.
extern std::vector<KvString> SearchPaths;

class KvArchive {
 public:
  // Marks an archive version without a parameter block (never raised).
  class KvCantFoundEncryptionVertionException : public KvException {
   public:
    KvCantFoundEncryptionVertionException() : KvException(0) {}
  };

  KvArchive();
  virtual ~KvArchive();
  KvArchive(const KvArchive&) = delete;
  KvArchive& operator=(const KvArchive&) = delete;

  // Opens path on disk or, when it names no disk file, in the *.pak archives
  // of the current folder. A failure is offered to the user (Abort, Retry,
  // Ignore) unless QuietOpen is set; Abort raises KvErrorException.
  bool Open(const char* path, uint32_t mode);
  void Close();
  // The size of the open file or entry; a plain file of 4 GiB or more gives
  // 0xFFFFFFFF.
  uint32_t GetSize();
  uint32_t Read(uint32_t count, void* buffer);
  void Seek(int32_t offset);

  // Looks name up in the archives of directory; true when this object is
  // left open on the entry found.
  bool OpenFromPaks(const char* directory, const char* name);

  // Opens the entry of record (a directory record of the archive file this
  // object has open as a plain file, its header included) as the lookup
  // opens the entry it found: afterwards GetSize, Read and Seek serve the
  // entry. False, and nothing changed, when the entry does not lie within
  // the file (or a compressed size lies) or no plain file is open; a corrupt
  // compressed entry raises KvErrorException.
  //
  // With streamed set, a compressed entry is not inflated whole: each Read
  // inflates the next piece (bounded memory for an entry of any size), the
  // read that reaches the entry's end checks the stream's end and checksum,
  // and a stream that ends before the record's size raises
  // KvErrorException. OpenRecord may also be called while an entry opened
  // by it is open: that entry is left for the next.
  bool OpenRecord(const KvArchiveEntry& record, bool streamed = false);

  // Serves reads from a block of memory this object does not own.
  void OpenMemory(const void* block, uint32_t size);

  bool IsOpen() const { return stream_ != nullptr || inMemory_; }
  const KvString& GetPath() const { return path_; }
  const KvArchiveEntry& GetEntry() const { return *entry_; }
  bool InArchive() const { return inArchive_; }
  bool InMemory() const { return inMemory_; }
  int64_t GetPosition() const { return position_; }
  // The bytes a Read from the position can still deliver: to the end of the
  // memory block or the entry, or (plain file) to the end of the file.
  uint32_t GetRemaining();

 private:
  // ReadEntry decodes directory records straight from the memory block.
  friend class KvArchiveEntry;

  // One pass of Open's steps 2 to 4: wildcard, disk file, archives.
  void Attempt(const char* path, uint32_t mode);
  bool OpenDisk(const char* path, const char* fopenMode);
  // The user's choice after path could not be opened (Abort, Retry,
  // Ignore), asked by Open for the name it was given and by the lookup for
  // a candidate archive: true for Retry, false for Ignore; Abort raises
  // KvErrorException with the code the failed open left behind.
  static bool AskRetry(const char* path);
  // The length of the open stream in bytes, the position kept; -1 when the
  // stream cannot tell.
  int64_t StreamLength();
  bool LookUpInArchives(const char* name, uint32_t mode);
  // OpenFromPaks for one candidate archive: true when this object is left
  // open on the entry; false (object closed) when the archive holds no match,
  // is no pak, or cannot be opened and the user passes over it (Ignore);
  // KvErrorException when it is a broken pak or the user chose Abort.
  bool SearchArchive(const KvString& archivePath, const KvString& name);
  bool SearchDirectory(const KvArchiveHeader& header, const KvString& archivePath,
                       const KvString& name, uint32_t fileEnd);
  bool Matches(const KvString& name) const;
  void OpenStoredEntry(uint32_t start);
  // Back to the plain archive file from an entry opened by OpenRecord.
  void LeaveEntry();
  uint32_t ReadInflating(uint32_t count, void* buffer);
  void OpenCompressedEntry(uint32_t start);

  std::FILE* stream_ = nullptr;
  KvString path_;
  int64_t position_ = 0;
  bool inArchive_ = false;
  KvArchiveEntry* entry_ = nullptr;
  int64_t base_ = 0;
  bool inMemory_ = false;
  unsigned char* buffer_ = nullptr;
  unsigned char* readPointer_ = nullptr;
  bool ownsBuffer_ = false;
  // The length of the memory block: reads stop at its end. (A stored entry's
  // reads stop at the entry record's size.)
  uint32_t memorySize_ = 0;
  // A compressed entry read piece by piece (OpenRecord, streamed).
  std::unique_ptr<KvInflater> inflater_;
};

// One region of committed virtual memory, released on destruction.
class KvVirtualBlock {
 public:
  KvVirtualBlock() = default;
  virtual ~KvVirtualBlock();
  KvVirtualBlock(const KvVirtualBlock&) = delete;
  KvVirtualBlock& operator=(const KvVirtualBlock&) = delete;

  // VirtualAlloc(MEM_COMMIT, PAGE_READWRITE); false when it cannot be had.
  bool Allocate(uint32_t bytes);
  void Release();

  uint32_t size = 0;
  void* address = nullptr;
};
