// lookup.cpp: KvArchive::OpenFromPaks, the search of a folder's *.pak
// archives for a name.
//
// Nothing is kept between lookups: each candidate costs one header read and,
// for versions 1 to 3, one inflate of its directory into a virtual memory
// block and a linear scan of its records into the object's one entry record.
//
// A file that is not a pak (cut short inside its header, a version above 3,
// a version 1-3 header with directory size 0 but entries) is passed over
// silently; one that cannot be opened is offered to the user with Abort,
// Retry and Ignore, naming the archive, and Ignore passes over it. A pak
// that does not hold together (a count or size that lies, a record or name
// that runs past its directory, the matching entry past the end of the file
// or past 2^31 - 1, a corrupt stream) raises KvErrorException: its bytes are
// never read as if they were sound.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/kvpath.h"
#include "archive/inflate.h"
#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "archive/records.h"
#include "platform/platform.h"
#include "text/exceptions.h"

using namespace pak_format;

namespace {

// A bare drive ("C:", what a drive root becomes without its backslash) is
// asked for as its root, the only form a volume answers to.
bool FolderExists(const KvString& folder) {
  if (PathExists(folder.Text())) return true;
  if (folder.Size() != 2 || folder.Buffer()[1] != ':') return false;
  KvString root(folder);
  root.Append("\\");
  return PathExists(root.Text());
}

}  // namespace

bool KvArchive::OpenFromPaks(const char* directory, const char* name) {
  KvString request(name != nullptr ? name : "");
  request.Replace("\\\\", "\\");

  // The folder without a trailing backslash (a trail byte 0x5C is none).
  KvString folder(directory != nullptr ? directory : "");
  if (folder.Size() > 0) {
    const char* end = folder.Buffer() + folder.Size();
    const char* last = plat::PrevChar(folder.Buffer(), end);
    if (last + 1 == end && *last == '\\') {
      KvString trimmed;
      trimmed.Append(folder.Buffer(), folder.Size() - 1);
      folder = std::move(trimmed);
    }
  }
  if (!FolderExists(folder)) return false;

  KvString pattern;
  pattern.Format("%s\\*.pak", folder.Text());
  std::vector<KvString> candidates;
  {
    plat::FileFind find;
    plat::FindData found;
    for (bool ok = find.First(pattern.Text(), found); ok; ok = find.Next(found)) {
      if ((found.attributes & plat::kAttrDirectory) != 0) continue;
      KvString candidate;
      candidate.Format("%s\\%s", folder.Text(), found.name.c_str());
      candidates.push_back(std::move(candidate));
    }
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const KvString& a, const KvString& b) {
    return plat::CompareNoCase(a.Text(), b.Text()) < 0;
  });

  for (const KvString& candidate : candidates) {
    if (SearchArchive(candidate, request)) {
      position_ = 0;  // entry reads count from the entry's first byte
      return true;
    }
  }
  return false;
}

bool KvArchive::Matches(const KvString& name) const {
  // name.Size() is kept up to date by KvString: no strlen per record.
  return kvtext::CompareNoCaseN(entry_->name.Text(), name.Text(), name.Size()) == 0;
}

bool KvArchive::SearchArchive(const KvString& archivePath, const KvString& name) {
  Close();
  // A candidate that cannot be opened (another program holds it, no access)
  // is offered to the user under its own name, as Open offers any file:
  // Retry tries it again (the other program may have let go), Abort ends
  // the run, Ignore passes over it to the next candidate.
  while (!OpenDisk(archivePath.Text(), "rb")) {
    if (QuietOpen || !AskRetry(archivePath.Text())) {
      Close();
      return false;
    }
  }
  path_.Assign(archivePath);
  try {
    const uint32_t fileEnd = FileEnd(GetSize());
    KvArchiveHeader header;
    const bool found = ReadArchiveHeader(*this, header, fileEnd) == HeaderKind::kPak &&
                       SearchDirectory(header, archivePath, name, fileEnd);
    if (!found) Close();
    return found;
  } catch (...) {
    Close();
    throw;
  }
}

bool KvArchive::SearchDirectory(const KvArchiveHeader& header, const KvString& archivePath,
                                const KvString& name, uint32_t fileEnd) {
  // Version-0 archives carry no key material: their entries are read as
  // stored, whatever this object read before.
  entry_->header = header;
  DirectoryWalk walk(*this, header, archivePath.Text(), fileEnd);
  // Only the record that is used must have its bytes in the file: a stale
  // record before it (an archive whose data area was cut short) does not
  // keep the lookup from the entry asked for, here or in a later archive.
  while (walk.Next(*entry_)) {
    if (Matches(name)) {
      uint32_t start = 0;
      if (!LocateEntry(*entry_, fileEnd, start)) ThrowBroken(archivePath.Text());
      if (header.version != 0 && entry_->compressed != 0) OpenCompressedEntry(start);
      else OpenStoredEntry(start);
      return true;
    }
  }
  return false;
}

bool KvArchive::OpenRecord(const KvArchiveEntry& record, bool streamed) {
  if (stream_ != nullptr && inArchive_) LeaveEntry();
  if (stream_ == nullptr || inArchive_ || inMemory_) return false;
  uint32_t start = 0;
  if (!LocateEntry(record, FileEnd(GetSize()), start)) return false;
  *entry_ = record;
  base_ = 0;
  if (record.header.version != 0 && record.compressed != 0) {
    if (streamed) {
      // The packed bytes lie at 16 or more: read as a plain file.
      Seek(static_cast<int32_t>(start));
      inflater_.reset(new KvInflater(stream_, record.packedSize));
      inArchive_ = true;
      if (record.size == 0) inflater_->Finish();
    } else {
      OpenCompressedEntry(start);
    }
  } else {
    OpenStoredEntry(start);
  }
  position_ = 0;
  return true;
}

// base_ is 0 here (the archive was opened as a plain file), so Seek moves
// the stream to the absolute offset.
void KvArchive::OpenStoredEntry(uint32_t start) {
  Seek(static_cast<int32_t>(start));
  base_ = start;
  inArchive_ = true;
}

// The packed bytes lie at absolute positions of 16 or more, where the
// read-time transform changes nothing, so they are read as a plain file.
void KvArchive::OpenCompressedEntry(uint32_t start) {
  Seek(static_cast<int32_t>(start));
  const uint32_t size = entry_->size;
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
  const uint32_t inflated = Inflate(*this, entry_->packedSize, bytes.get(), size);
  // A stream shorter than its record says: the rest reads as zeros, never
  // as earlier heap contents.
  if (inflated < size) std::memset(bytes.get() + inflated, 0, size - inflated);
  buffer_ = bytes.release();
  readPointer_ = buffer_;
  memorySize_ = size;
  ownsBuffer_ = true;
  inMemory_ = true;
  inArchive_ = true;
  base_ = 0;
}
