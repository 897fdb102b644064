// kvarchive.cpp: the file object over loose files, stored and compressed
// archive entries and memory blocks; the lookup itself is in
// lookup.cpp.
#include "archive/kvarchive.h"

#include <cstring>

#include "app/kvpath.h"
#include "archive/encryption.h"
#include "archive/inflate.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "text/exceptions.h"

bool QuietOpen = false;
std::vector<KvString> SearchPaths;

namespace {

constexpr uint32_t kModeBits = 3;
constexpr uint32_t kCurrentDirectoryRoom = 512;

bool IsWriteMode(uint32_t mode) {
  const uint32_t m = mode & kModeBits;
  return m == OpenWrite || m == OpenAppend;
}

const char* FopenMode(uint32_t mode) {
  switch (mode & kModeBits) {
    case OpenWrite: return "w+b";
    case OpenAppend: return "a+b";
    default: return "rb";
  }
}

// The text of s before its last backslash (double-byte aware), or false.
bool DirectoryPart(KvString& s, KvString& out) {
  s.cursor = s.Buffer();
  const char* last = s.ReverseFind('\\');
  s.cursor = s.Buffer();
  if (last == nullptr) return false;
  KvString part;
  part.Append(s.Buffer(), static_cast<int32_t>(last - s.Buffer()));
  out = std::move(part);
  return true;
}

}  // namespace

KvArchive::KvArchive() : entry_(new KvArchiveEntry()) {}

KvArchive::~KvArchive() {
  delete entry_;
  entry_ = nullptr;
  Close();
}

bool KvArchive::Open(const char* path, uint32_t mode) {
  // A copy: the caller's text may be this object's own path, which Close
  // empties.
  const KvString request(path != nullptr ? path : "");
  Close();
  for (;;) {
    Attempt(request.Text(), mode);
    if (stream_ != nullptr) break;
    if (QuietOpen && !IsWriteMode(mode)) break;
    // Retry repeats the whole search, the wildcard included.
    if (!AskRetry(request.Text())) break;
  }
  position_ = 0;
  return stream_ != nullptr;
}

bool KvArchive::AskRetry(const char* path) {
  // The code the failed open left behind: the box itself resets it.
  const uint32_t code = plat::LastError();
  KvString text;
  text.Format("ファイル %s が開けません。", path);
  const int answer =
      plat::ShowMessageBox(text.Text(), "ファイルエラー", plat::kMbAbortRetryIgnore | plat::kMbTopmost);
  if (answer == plat::kIdAbort) {
    KvString message;
    message.Format("ファイル %s が開けませんでした。", path);
    plat::SetLastErrorCode(code);
    throw KvErrorException(message);
  }
  // Ignore, and any other answer, gives up.
  return answer == plat::kIdRetry;
}

void KvArchive::Attempt(const char* path, uint32_t mode) {
  inMemory_ = false;
  const char* fopenMode = FopenMode(mode);
  path_.Assign(path);
  path_.Replace("/", "\\");
  path_.cursor = path_.Buffer();

  if (path_.Find('*') != nullptr) {
    // The text before the "*", kept before the path field changes.
    KvString prefix;
    prefix.Append(path_.Buffer(), static_cast<int32_t>(path_.cursor - path_.Buffer()));
    plat::FileFind find;
    plat::FindData found;
    for (bool ok = find.First(path_.Text(), found); ok; ok = find.Next(found)) {
      if ((found.attributes & plat::kAttrDirectory) != 0) continue;
      // Without a backslash the pattern is relative to the current folder,
      // and so is the name it matched.
      KvString matched;
      if (DirectoryPart(path_, matched)) matched.AppendFormat("\\%s", found.name.c_str());
      else matched.Assign(found.name.c_str());
      find.Close();
      path_ = std::move(matched);
      OpenDisk(path_.Text(), fopenMode);
      return;
    }
    find.Close();
    if (!IsWriteMode(mode)) LookUpInArchives(prefix.Text(), mode);
    return;
  }

  const uint32_t attributes = plat::FileAttributes(path);
  if ((attributes != plat::kInvalidAttributes && attributes != 0) || IsWriteMode(mode)) {
    KvString directory;
    if (DirectoryPart(path_, directory)) {
      const uint32_t a = plat::FileAttributes(directory.Text());
      if (a == plat::kInvalidAttributes || a == 0) CreateDirectoryChain(directory.Text());
    }
    OpenDisk(path, fopenMode);
    return;
  }
  LookUpInArchives(path, mode);
}

bool KvArchive::OpenDisk(const char* path, const char* fopenMode) {
  stream_ = plat::OpenStream(path, fopenMode);
  inArchive_ = false;
  base_ = 0;
  return stream_ != nullptr;
}

bool KvArchive::LookUpInArchives(const char* name, uint32_t mode) {
  char directory[kCurrentDirectoryRoom];
  const uint32_t n = plat::CurrentDirectory(sizeof directory, directory);
  if (n > 0 && n < sizeof directory && OpenFromPaks(directory, name)) return true;
  if ((mode & OpenNoSearchPath) != 0) return false;
  for (const KvString& folder : SearchPaths) {
    if (OpenFromPaks(folder.Text(), name)) return true;
  }
  return false;
}

void KvArchive::Close() {
  if (stream_ != nullptr) {
    std::fflush(stream_);
    std::fclose(stream_);
    stream_ = nullptr;
    path_.Empty();
  }
  if (buffer_ != nullptr) {
    if (ownsBuffer_) delete[] buffer_;
    buffer_ = nullptr;
  }
  inflater_.reset();
  readPointer_ = nullptr;
  ownsBuffer_ = false;
  memorySize_ = 0;
  inMemory_ = false;
  inArchive_ = false;
  position_ = 0;
}

void KvArchive::OpenMemory(const void* block, uint32_t size) {
  Close();
  buffer_ = static_cast<unsigned char*>(const_cast<void*>(block));
  readPointer_ = buffer_;
  memorySize_ = block != nullptr ? size : 0;
  ownsBuffer_ = false;
  inMemory_ = true;
}

// 64-bit positions throughout: through a long (32 bits on Windows and in a
// 32-bit build) a file of 4 GiB or more would measure 0, or its size less
// 4 GiB, and one between 2 and 4 GiB would not measure at all.
int64_t KvArchive::StreamLength() {
  const int64_t here = plat::TellStream(stream_);
  if (here < 0 || !plat::SeekStream(stream_, 0, SEEK_END)) return -1;
  const int64_t size = plat::TellStream(stream_);
  plat::SeekStream(stream_, here, SEEK_SET);
  return size;
}

// A plain file of 4 GiB or more reports the most a 32-bit size can hold: all
// of the file that 32-bit offsets can reach lies within it.
uint32_t KvArchive::GetSize() {
  if (inMemory_) return memorySize_;
  if (inArchive_) return entry_->size;
  if (stream_ == nullptr) return 0;
  const int64_t size = StreamLength();
  if (size < 0) return 0;
  return size > static_cast<int64_t>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(size);
}

uint32_t KvArchive::GetRemaining() {
  uint64_t end;
  if (inMemory_) {
    end = memorySize_;
  } else if (inArchive_) {
    end = entry_->size;
  } else if (stream_ != nullptr) {
    const int64_t length = StreamLength();
    if (length < 0) return 0;
    end = static_cast<uint64_t>(length);
  } else {
    return 0;
  }
  if (position_ < 0 || static_cast<uint64_t>(position_) >= end) return 0;
  const uint64_t left = end - static_cast<uint64_t>(position_);
  return left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left);
}

// Memory-block reads stop at the block's end and stored-entry reads at the
// entry's end: nothing outside the block or the entry is ever delivered.
uint32_t KvArchive::Read(uint32_t count, void* buffer) {
  if (count == 0) return 0;
  if (inflater_) return ReadInflating(count, buffer);
  if (inMemory_) {
    const uint32_t n = count < GetRemaining() ? count : GetRemaining();
    if (n == 0) return 0;
    std::memcpy(buffer, readPointer_, n);
    readPointer_ += n;
    position_ += n;
    return n;
  }
  if (stream_ == nullptr) return 0;
  if (inArchive_) {
    const uint32_t left = GetRemaining();
    if (count > left) count = left;
    if (count == 0) return 0;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  const uint32_t n = static_cast<uint32_t>(std::fread(bytes, 1, count, stream_));
  if (inArchive_ && n > 0) DecryptRead(bytes, n, static_cast<uint32_t>(position_), *entry_);
  position_ += n;
  return n;
}

void KvArchive::Seek(int32_t offset) {
  if (inMemory_) {
    position_ = offset;
    // The read pointer never leaves the block; a position outside it reads
    // nothing.
    const int64_t inside = offset < 0 ? 0 : offset > static_cast<int64_t>(memorySize_) ? memorySize_ : offset;
    readPointer_ = buffer_ + inside;
    return;
  }
  if (stream_ == nullptr) return;
  if (base_ != 0) {
    position_ = offset;
    plat::SeekStream(stream_, base_ + offset, SEEK_SET);
  } else {
    plat::SeekStream(stream_, offset, SEEK_SET);
    position_ = plat::TellStream(stream_);
  }
}

KvVirtualBlock::~KvVirtualBlock() { Release(); }

bool KvVirtualBlock::Allocate(uint32_t bytes) {
  Release();
  address = plat::VirtualAllocate(bytes);
  size = address != nullptr ? bytes : 0;
  return address != nullptr;
}

void KvVirtualBlock::Release() {
  if (address != nullptr) plat::VirtualRelease(address);
  address = nullptr;
  size = 0;
}

void KvArchive::LeaveEntry() {
  if (buffer_ != nullptr && ownsBuffer_) delete[] buffer_;
  buffer_ = nullptr;
  readPointer_ = nullptr;
  ownsBuffer_ = false;
  memorySize_ = 0;
  inflater_.reset();
  inMemory_ = false;
  inArchive_ = false;
  base_ = 0;
  position_ = 0;
}

// The bytes of a compressed entry as its stream gives them; the read that
// reaches the entry's size also checks that the stream ends there.
uint32_t KvArchive::ReadInflating(uint32_t count, void* buffer) {
  const uint32_t left = GetRemaining();
  if (count > left) count = left;
  if (count == 0) return 0;
  const uint32_t n = inflater_->Read(buffer, count);
  // The stream ended before the record's size: the record lies.
  if (n < count) throw KvErrorException("データ解凍に失敗しました。");
  position_ += n;
  if (GetRemaining() == 0) inflater_->Finish();
  return n;
}
