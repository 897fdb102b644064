// pak_fixture.cpp: writes the archives the pak command-line tests need and
// the tool itself must never make: names that point outside the target
// folder, and archives that are broken or no pak at all.
//
// usage: pak_fixture KIND OUT   (pak_fixture list: the kinds, one a line)
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "archive/pak_writer.h"

namespace {

using pak::InputEntry;
using pak::WriteOptions;

WriteOptions Version(uint32_t v) {
  WriteOptions o;
  o.version = v;
  o.keyBlock = v >= 2 ? "fixture" : "";
  o.directoryKey = v >= 2 ? 0x5A5A5A5Au : 0;
  return o;
}

std::string U32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

std::string Deflate(const std::string& bytes) {
  uLongf n = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), 9);
  out.resize(n);
  return out;
}

// Names that must all be refused, beside two that must be extracted.
std::vector<InputEntry> EvilEntries() {
  return {
      {"ok.txt", "ok"},
      {"..\\evil1.txt", "evil"},
      {"sub\\..\\..\\evil2.txt", "evil"},
      {"../evil3.txt", "evil"},
      {"sub/../../evil4.txt", "evil"},
      {"\\evil5.txt", "evil"},
      {"/evil6.txt", "evil"},
      {"C:\\evil7.txt", "evil"},
      {"C:evil8.txt", "evil"},
      {"", "evil"},
      {"sub\\", "evil"},
      {"..", "evil"},
      {"sub\\.. \\evil9.txt", "evil"},
      {"nul.txt", "evil"},
      {"ok\\inner.txt", "inner"},
  };
}

struct Kind {
  const char* name;
  std::function<std::string()> make;
};

const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      // Refused names, in every version.
      {"evil-v0", [] { return pak::WriteArchive(EvilEntries(), Version(0)); }},
      {"evil-v1", [] { return pak::WriteArchive(EvilEntries(), Version(1)); }},
      {"evil-v2", [] { return pak::WriteArchive(EvilEntries(), Version(2)); }},
      {"evil-v3", [] { return pak::WriteArchive(EvilEntries(), Version(3)); }},
      // Broken or foreign files.
      {"empty-file", [] { return std::string(); }},
      {"foreign-text", [] { return std::string("This is a text file, not an archive.\n"); }},
      {"short-header-v3",
       [] { return pak::WriteArchive({{"a.txt", "x"}}, Version(3)).substr(0, 100); }},
      {"short-header-v1", [] { return U32(1) + U32(1); }},
      {"version-4", [] { return U32(4) + std::string(300, '\0'); }},
      {"directory-not-zlib",
       [] {
         WriteOptions o = Version(1);
         o.rawPackedDirectory = "this is no zlib stream";
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"directory-truncated",
       [] {
         std::string a = pak::WriteArchive({{"a.txt", std::string(5000, 'x')}}, Version(2));
         return a.substr(0, 290);
       }},
      {"count-lies-v3",
       [] {
         WriteOptions o = Version(3);
         o.entryCount = 1000;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"count-huge-v1",
       [] {
         WriteOptions o = Version(1);
         o.entryCount = 0xFFFFFFFFu;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"directory-size-huge",
       [] {
         WriteOptions o = Version(3);
         o.directorySize = 0xFFFFFFF0u;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"packed-size-past-end",
       [] {
         WriteOptions o = Version(2);
         o.packedDirectorySize = 0x7FFFFFFFu;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"name-length-lies",
       [] {
         WriteOptions o = Version(1);
         const std::string record = U32(0x7FFFFFF0u) + "a.txt" + std::string(20, '\0');
         o.rawPackedDirectory = Deflate(record);
         o.directorySize = static_cast<uint32_t>(record.size());
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"count-lies-v0",
       [] {
         WriteOptions o = Version(0);
         o.entryCount = 1000;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      {"directory-claims-1gib",
       [] {
         // About 1 MB that claims 1 GiB of directory and 43 million
         // entries, within what the packed size could inflate to: nothing
         // may be allocated for them before the records are there.
         WriteOptions o = Version(1);
         o.rawPackedDirectory = Deflate(U32(5) + "a.txt" + std::string(20, '\0'));
         o.rawPackedDirectory->resize(1100000, '\0');
         o.directorySize = 1u << 30;
         o.entryCount = 43000000;
         return pak::WriteArchive({{"a.txt", "x"}}, o);
       }},
      // The directory holds together; its first entry does not (list works,
      // extract reports it and goes on with a.txt).
      {"entry-past-end-v1",
       [] {
         InputEntry e{"big.txt", "short"};
         e.size = 100000;
         return pak::WriteArchive({e, {"a.txt", "fine"}}, Version(1));
       }},
      {"entry-offset-past-end-v3",
       [] {
         InputEntry e{"far.txt", "short"};
         e.offset = 0x7FFFFF00u;
         return pak::WriteArchive({e, {"a.txt", "fine"}}, Version(3));
       }},
      {"entry-past-end-v0",
       [] {
         InputEntry e{"big.txt", "short"};
         e.size = 0x7FFFFFF0u;
         return pak::WriteArchive({e, {"a.txt", "fine"}}, Version(0));
       }},
      {"entry-stream-corrupt",
       [] {
         InputEntry e{"bad.txt", "compressed", true};
         e.rawData = "no zlib here";
         return pak::WriteArchive({e, {"a.txt", "fine"}}, Version(3));
       }},
      {"entry-size-bomb",
       [] {
         // A tiny stream claiming to inflate to 2 GiB must not be allocated.
         InputEntry e{"bomb.txt", "x", true};
         e.size = 0x7FFFFFF0u;
         return pak::WriteArchive({e, {"a.txt", "fine"}}, Version(1));
       }},
  };
  return kinds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
    for (const Kind& k : Kinds()) std::printf("%s\n", k.name);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: pak_fixture KIND OUT | pak_fixture list\n");
    return 2;
  }
  for (const Kind& k : Kinds()) {
    if (std::strcmp(k.name, argv[1]) != 0) continue;
    const std::string bytes = k.make();
    std::FILE* f = std::fopen(argv[2], "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0) {
      std::fprintf(stderr, "pak_fixture: cannot write %s\n", argv[2]);
      return 2;
    }
    return 0;
  }
  std::fprintf(stderr, "pak_fixture: unknown kind %s\n", argv[1]);
  return 2;
}
