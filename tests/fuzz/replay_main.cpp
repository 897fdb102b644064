// replay_main.cpp: a plain driver for the fuzz targets, without libFuzzer:
// runs the target once over every file named on the command line or lying
// in a folder named there (in name order). A broken rule aborts, as under
// libFuzzer; so does a sanitizer report. Builds where libFuzzer does not
// (GCC, the 32-bit build under QEMU).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  uint8_t piece[65536];
  std::size_t n;
  while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) bytes.insert(bytes.end(), piece, piece + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

void Collect(const std::string& path, std::vector<std::string>& files) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    files.push_back(path);  // reported as unreadable below
    return;
  }
  if (!S_ISDIR(st.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* d = ::opendir(path.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) Collect(path + "/" + name, files);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) Collect(argv[i], files);
  if (files.empty()) {
    std::fprintf(stderr, "%s: no inputs\n", argv[0]);
    return 1;
  }
  std::vector<uint8_t> bytes;
  for (const std::string& file : files) {
    if (!ReadWhole(file, bytes)) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
      return 1;
    }
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%s: %zu inputs replayed\n", argv[0], files.size());
  return 0;
}
