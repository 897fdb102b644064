// pak_reader.cpp: reads an archive's header and directory with the archive
// layer's own header check and directory walk, and each entry by
// positioning a KvArchive on its record, as the lookup does for a name it
// found.
#include "tools/pak/pak_reader.h"

#include <vector>

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
  const uint32_t fileEnd = pak_format::FileEnd(file.GetSize());
  KvArchiveHeader header;
  switch (pak_format::ReadArchiveHeader(file, header, fileEnd)) {
    case pak_format::HeaderKind::kPak:
      break;
    case pak_format::HeaderKind::kCutShort:
      throw ToolError("not a pak archive (shorter than its header): " + Shown(path));
    case pak_format::HeaderKind::kUnknownVersion:
      throw ToolError("not a pak archive (version " + std::to_string(header.version) +
                      "): " + Shown(path));
    case pak_format::HeaderKind::kNoDirectory:
      throw ToolError("not a pak archive (entries without a directory): " + Shown(path));
  }
  version_ = header.version;
  // The records grow with what is read, never with what the header claims.
  pak_format::DirectoryWalk walk(file, header, path.c_str(), fileEnd);
  KvArchiveEntry record;
  record.header = header;
  while (walk.Next(record)) records_.push_back(record);
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
