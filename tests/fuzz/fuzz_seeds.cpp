// fuzz_seeds.cpp: writes the seed corpora of the fuzz targets, made by code
// each time rather than kept as files: archives of all four versions with
// stored and compressed entries and version-3 key material (by the pak
// writer), profile texts with the reader's edge cases, KvString programs.
//
// Usage: fuzz_seeds <folder>; makes <folder>/<target>/seed-NNNN.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include "tests/fuzz/pak_input.h"
#include "archive/pak_writer.h"

namespace {

std::string root;

void Write(const std::string& target, const std::string& bytes) {
  static int counter = 0;
  const std::string folder = root + "/" + target;
  ::mkdir(folder.c_str(), 0755);
  char name[32];
  std::snprintf(name, sizeof name, "/seed-%04d", counter++);
  std::FILE* f = std::fopen((folder + name).c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
      std::fclose(f) != 0) {
    std::perror((folder + name).c_str());
    std::exit(1);
  }
}

std::string U32(uint32_t v) {
  std::string b(4, '\0');
  kvfuzz::PutU32(b, 0, v);
  return b;
}

std::string Zlib(const std::string& bytes) {
  uLongf n = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
  out.resize(n);
  return out;
}

// --- archives

std::vector<pak::InputEntry> Entries(bool compress) {
  std::string big;
  for (int i = 0; i < 1500; ++i) big.push_back(static_cast<char>("0123456789abcdef"[i % 16] + i / 256));
  std::vector<pak::InputEntry> e(5);
  e[0].name = "update.ini";
  e[0].bytes = "[update]\r\nGUID=abc\r\nfile=a.txt;b.txt\r\n";
  e[1].name = "data\\big.bin";
  e[1].bytes = big;
  e[2].name = "sub\\\x95\x5c.txt";  // a name whose trail byte is a backslash
  e[2].bytes = "\x95\x5c\x83\x5c";
  e[3].name = "tiny";
  e[3].bytes = "12345";  // under the 16 bytes the version-3 transform covers
  e[4].name = "empty";
  for (auto& entry : e) entry.compress = compress && entry.name != "tiny";
  return e;
}

const char* const kNames[] = {"update.ini", "DATA\\BIG.BIN", "sub\\\\\x95\x5c.txt", "tin", "", "missing",
                              "upd*", "empty"};

// The archive as fuzz_pak takes it, the name first.
std::string PakInput(uint8_t flags, const std::string& name, const std::string& rest) {
  return std::string(1, static_cast<char>(flags)) + std::string(1, static_cast<char>(name.size())) +
         name + rest;
}

void Archive(const std::vector<pak::InputEntry>& entries, const pak::WriteOptions& options) {
  const std::string bytes = pak::WriteArchive(entries, options);
  for (const char* name : kNames) Write("pak", PakInput(0, name, bytes));
  Write("pak", PakInput(kvfuzz::kSmallReads, "data\\big.bin", bytes));
  if (options.version >= 1) {
    // The same archive with its directory plain, for the target to pack.
    const std::string directory = pak::DirectoryBytes(entries, options);
    const std::size_t header = kvfuzz::HeaderBytes(options.version);
    uint32_t packed = kvfuzz::GetU32(bytes, kvfuzz::PackedSizeField(options.version));
    if (options.version == 3) packed ^= kvfuzz::GetU32(bytes, 260);
    const std::string rest = bytes.substr(0, header) + bytes.substr(header + packed);
    Write("pak", PakInput(kvfuzz::kPackDirectory, "update.ini", U32(directory.size()) + directory + rest));
    Write("pak", PakInput(kvfuzz::kPackDirectory, "tiny", U32(directory.size()) + directory + rest));
    // fuzz_pakmem: the header followed by the plain directory, and the
    // packed directory alone for Inflate.
    Write("pakmem", std::string(1, '\0') + bytes.substr(0, header) + directory);
    Write("pakmem", std::string(1, '\1') + U32(directory.size()) + bytes.substr(header, packed));
  } else {
    Write("pakmem", std::string(1, '\0') + bytes);
  }
}

void Archives() {
  for (uint32_t version = 0; version <= 3; ++version) {
    for (bool compress : {false, true}) {
      if (version == 0 && compress) continue;
      const auto entries = Entries(compress);
      pak::WriteOptions options;
      options.version = version;
      options.keyBlock = pak::DefaultKeyBlock(entries);
      options.directoryKey = pak::DefaultDirectoryKey(entries);
      Archive(entries, options);
      if (version != 3) continue;
      options.keyBlock = std::string("\0later bytes do not count", 25);  // K = 0
      Archive(entries, options);
      options.keyBlock = std::string(256, '\x5a');  // no zero byte at all
      options.directoryKey = 0;
      Archive(entries, options);
    }
  }
  // Two candidates: a.pak sorts first. A version-0 archive (whose entries
  // must not take the transform of what the object read before), a file
  // that is no pak, and one without a match before a version-3 archive.
  {
    pak::WriteOptions v3;
    v3.version = 3;
    const auto entries = Entries(true);
    v3.keyBlock = pak::DefaultKeyBlock(entries);
    const std::string second = pak::WriteArchive(entries, v3);
    pak::WriteOptions v0;
    v0.version = 0;
    std::vector<pak::InputEntry> other(1);
    other[0].name = "tiny.v0";
    other[0].bytes = "version zero bytes";
    const std::string firsts[] = {pak::WriteArchive(other, v0), U32(9) + "no pak at all", std::string()};
    for (const std::string& first : firsts) {
      const std::string two = std::string(1, static_cast<char>(first.size() & 0xFF)) +
                              std::string(1, static_cast<char>(first.size() >> 8)) + first + second;
      for (const char* name : {"tiny", "update.ini", "missing"}) {
        Write("pak", PakInput(kvfuzz::kTwoArchives, name, two));
      }
    }
  }
  // An archive without entries, and one whose header alone is there.
  pak::WriteOptions none;
  none.version = 1;
  Archive({}, none);
  Write("pak", PakInput(0, "x", U32(0) + U32(0)));
  // Stored names and Seek/Read over a block.
  Write("pakmem", std::string(1, '\2') + U32(3) + "abc" + U32(0) + U32(2) + "\x95\x5c" + U32(0xFFFFFFFF));
  Write("pakmem", std::string(1, '\3') + std::string(1, '\4') + std::string(16, 'z') + U32(3) + "\x08" +
                      U32(0xFFFFFFFF) + "\x08" + U32(15) + "\x20");
  Write("pakmem", std::string(1, '\1') + U32(11) + Zlib("hello world"));
}

// --- profiles: flags, section, NUL, key, NUL, text

void Profile(const std::string& section, const std::string& key, const std::string& text) {
  Write("profile", std::string(1, '\0') + section + std::string(1, '\0') + key + std::string(1, '\0') + text);
}

void Profiles() {
  const char* const texts[] = {
      "[update]\r\nGUID=abc\r\n",
      "[UPDATE]\nguid=abc\n",
      "[update]\nGUID\tabc\n",
      "[update]\nGUID\t=\tabc\n",
      "[update]\nGUID= abc\n",
      "[update]\nGUID =abc\n",
      "[update]\nGUID=abc\tmore  \n",
      "[update]\nGUID=a\\nb\\tc\n",
      "[update]\nGUID=\nGUID=x\n",
      "GUID=top\n[other]\nGUID=no\n[update]\nGUID=yes\n",
      "[update]\n'GUID=comment\n;GUID=semi\n#GUID=hash\n",
      "[update\nGUID=abc\n",
      "\r\n\r\n[update]\r\n\r\nGUID=abc\r\n\r\n",
      "[update]\nGUID=\x95\x5c\x83\x5c[x]\\\n",
      "[\x95\x5c]\nGUID=abc\n",
      "[other]\nx=[update]\nGUID=abc\n[update]\nfile=a.txt;b.txt\n",
      "[update]\n\t\t\n=abc\nGUID\n",
      "\t\tGUID=abc",
  };
  for (const char* text : texts) {
    Profile("update", "GUID", text);
    Profile("update", "file", text);
  }
  Profile("\x95\x5c", "GUID", "[\x95\x5c]\nGUID=abc\n");
  Write("profile", std::string("\x01\x05update\0GUID\0", 13) + "[update]\nGUID=abc\n");
}

// --- KvString programs: an operation byte (operation * 2 + string), then
// its arguments (see fuzz_kvstring.cpp).

std::string Op(int operation, int which) { return std::string(1, static_cast<char>(operation * 2 + which)); }
std::string Text(const std::string& t) { return std::string(1, static_cast<char>(t.size())) + t; }

void Programs() {
  const std::string path = "C:\\dir\\\x95\x5c\\file";
  // Find and cut a path, as the path code does.
  Write("kvstring", Op(0, 0) + Text(path) + Op(12, 0) + "\\" + Op(13, 0) + "\\" + Op(18, 0) + "\x00\x01" +
                        Op(20, 0) + Op(11, 0) + Op(10, 0));
  // Split a file list, as the update run does.
  Write("kvstring", Op(0, 0) + Text(";a;;b;\x83\x5c;") + Op(16, 0) + Text(";") + Op(16, 0) + Text(";") +
                        Op(16, 0) + Text(";") + Op(16, 0) + Text(";"));
  // Escapes, as the profile reader replaces them.
  Write("kvstring", Op(0, 1) + Text("a\\nb\\n\x95\\n") + Op(17, 1) + Text("\\n") + "\x00" + Text("\n") +
                        Op(17, 1) + Text("aa") + "\x00" + Text("b"));
  // Growth, self-append and copies.
  Write("kvstring", Op(7, 0) + "\x40\x01" + Op(4, 0) + "\x00" + Text(std::string(63, 'x')) + Op(6, 0) +
                        Op(9, 0) + "\x20" + Op(3, 0) + Op(19, 0) + "\x01\x01\x05\x01\x02" + Op(21, 1) + Op(22, 1));
  Write("kvstring", Op(5, 0) + "\x00" + Text("\x95\x5c\x83") + "\x05" + Op(14, 0) + Text("\\\x5c") + Op(15, 0) +
                        Text("\x95\x5c") + Op(2, 1) + "\x01" + Text("") + "\x03");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
    return 2;
  }
  root = argv[1];
  ::mkdir(root.c_str(), 0755);
  Archives();
  Profiles();
  Programs();
  return 0;
}
