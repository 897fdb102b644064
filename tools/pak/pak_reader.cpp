// pak_reader.cpp: reads an archive's header and directory with the archive
// layer's record readers and limits, and each entry by positioning a
// KvArchive on its record, as the lookup does for a name it found.
#include "tools/pak/pak_reader.h"

#include <vector>

#include "archive/inflate.h"
#include "archive/pak_format.h"
#include "platform/platform.h"
#include "tools/pak/pak_inputs.h"
#include "tools/pak/pak_names.h"

namespace paktool {

namespace {

std::string Shown(const std::string& ansi) {
  std::string out;
  ToTerminalText(ansi, out);
  return out;
}

[[noreturn]] void Broken(const std::string& path, const std::string& why) {
  throw ToolError("broken archive " + Shown(path) + ": " + why);
}

// Opens path as a plain disk file: never the archives' entries of that name.
void OpenArchiveFile(KvArchive& file, const std::string& path) {
  const uint32_t attributes = plat::FileAttributes(path.c_str());
  if (attributes == plat::kInvalidAttributes || (attributes & plat::kAttrDirectory) ||
      !file.Open(path.c_str(), OpenRead) || file.InArchive()) {
    throw ToolError("cannot open archive " + Shown(path));
  }
}

}  // namespace

PakReader::PakReader(const std::string& path) : path_(path) {
  QuietOpen = true;
  KvArchive file;
  OpenArchiveFile(file, path);
  const uint32_t fileSize = file.GetSize();
  KvArchiveHeader header;
  if (!header.ReadHeader(file)) {
    throw ToolError("not a pak archive (shorter than its header): " + Shown(path));
  }
  if (header.version > pak_format::kHighestVersion) {
    throw ToolError("not a pak archive (version " + std::to_string(header.version) +
                    "): " + Shown(path));
  }
  version_ = header.version;
  if (version_ == 0) {
    if (header.entryCount > (fileSize - pak_format::kHeaderSizeV0) / pak_format::kMinRecordBytesV0) {
      Broken(path, "more entries than the file can hold");
    }
    records_.reserve(header.entryCount);
    for (uint32_t i = 0; i < header.entryCount; ++i) {
      KvArchiveEntry record;
      record.header = header;
      if (!pak_format::ReadVersion0Record(file, record, file.GetRemaining())) {
        Broken(path, "directory ends inside record " + std::to_string(i));
      }
      records_.push_back(record);
    }
    return;
  }
  // The lookup's rules: without entries there is nothing to inflate; a
  // stream that inflates to less than its size leaves only what it made.
  if (header.entryCount == 0) return;
  const uint32_t fileEnd = fileSize < pak_format::kMaxArchiveBytes ? fileSize
                                                                  : pak_format::kMaxArchiveBytes;
  if (fileEnd < pak_format::HeaderSize(version_) ||
      header.packedDirectorySize > fileEnd - pak_format::HeaderSize(version_)) {
    Broken(path, "packed directory runs past the end of the file");
  }
  if (!pak_format::InflatesTo(header.packedDirectorySize, header.directorySize)) {
    Broken(path, "directory size larger than its packed bytes can hold");
  }
  if (header.entryCount > header.directorySize / pak_format::kMinRecordBytes) {
    Broken(path, "more entries than the directory can hold");
  }
  std::vector<unsigned char> directory(header.directorySize);
  const uint32_t inflated =
      Inflate(file, header.packedDirectorySize, directory.data(), header.directorySize);
  KvArchive reader;
  reader.OpenMemory(directory.data(), inflated);
  records_.reserve(header.entryCount);
  for (uint32_t i = 0; i < header.entryCount; ++i) {
    KvArchiveEntry record;
    record.header = header;
    if (!record.ReadEntry(reader)) Broken(path, "directory ends inside record " + std::to_string(i));
    records_.push_back(record);
  }
}

std::string PakReader::ReadEntry(std::size_t i) {
  KvArchive file;
  OpenArchiveFile(file, path_);
  if (!file.OpenRecord(records_.at(i))) {
    Broken(path_, "entry " + Shown(records_[i].name.Text()) + " lies outside the file");
  }
  const uint32_t size = file.GetSize();
  std::string bytes(size, '\0');
  const uint32_t got = size != 0 ? file.Read(size, &bytes[0]) : 0;
  if (got != size) {
    Broken(path_, "entry " + Shown(records_[i].name.Text()) + " runs past the end of the file");
  }
  return bytes;
}

}  // namespace paktool
