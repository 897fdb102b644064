// delivery_timing.cpp: times the delivery's comparison of what arrived with
// the update's files, the step that reads every delivered byte again after
// the shell's copy. Windows only; scripts/bench-delivery.sh runs it under
// Wine, dropping the page cache between steps where it may.
//
//   delivery_timing prep ROOT FILES BYTES   makes the update (ROOT\update\data.bin
//                                           for one file, else FILES files in
//                                           ROOT\update\data) and copies it with
//                                           the shell into ROOT\installed
//   delivery_timing compare ROOT            times the comparison of the update
//                                           with ROOT\installed, window included
//   delivery_timing deliver ROOT            times the whole delivery into
//                                           ROOT\delivered (copy and comparison)
//   delivery_timing clear ROOT              removes ROOT
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/delivery.h"

namespace {

const char kCaption[] = "delivery_timing";

double Seconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ShellOperation(UINT operation, const std::string& from, const std::string& to) {
  const std::string fromList = from + std::string(2, '\0');
  const std::string toList = to + std::string(2, '\0');
  SHFILEOPSTRUCTA request = {};
  request.wFunc = operation;
  request.pFrom = fromList.c_str();
  request.pTo = to.empty() ? nullptr : toList.c_str();
  request.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_SILENT | FOF_NOERRORUI;
  return SHFileOperationA(&request) == 0 && !request.fAnyOperationsAborted;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The update's one item: a file or a folder of files.
std::string Item(const std::string& root) {
  const std::string file = root + "\\update\\data.bin";
  return Exists(file) ? file : root + "\\update\\data";
}

bool WriteBytes(const std::string& path, unsigned long long bytes, std::vector<char>& pattern) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (unsigned long long left = bytes; ok && left > 0;) {
    const DWORD n = static_cast<DWORD>(left < pattern.size() ? left : pattern.size());
    DWORD written = 0;
    pattern[0] = static_cast<char>(pattern[0] + 1);  // no two pieces alike
    ok = WriteFile(file, pattern.data(), n, &written, nullptr) && written == n;
    left -= n;
  }
  CloseHandle(file);
  return ok;
}

int Prepare(const std::string& root, int files, unsigned long long each) {
  if (Exists(root)) ShellOperation(FO_DELETE, root, "");
  const std::string update = root + "\\update";
  const std::string installed = root + "\\installed";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(update.c_str(), nullptr);
  CreateDirectoryA(installed.c_str(), nullptr);
  std::vector<char> pattern(1 << 20);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7 + 3);
  std::string item = update + "\\data.bin";
  if (files == 1) {
    if (!WriteBytes(item, each, pattern)) return 1;
  } else {
    item = update + "\\data";
    CreateDirectoryA(item.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "\\%04d.bin", i);
      if (!WriteBytes(item + name, each, pattern)) return 1;
    }
  }
  const double start = Seconds();
  if (!ShellOperation(FO_COPY, item, installed)) return 1;
  std::printf("%d file(s) of %llu bytes; the shell's copy took %.2f s\n", files, each,
              Seconds() - start);
  return 0;
}

int Compare(const std::string& root) {
  const KvString from(Item(root).c_str());
  const KvString to((root + "\\installed").c_str());
  const double start = Seconds();
  const bool same = Arrived(from, to, kCaption);
  std::printf("comparison %.2f s%s\n", Seconds() - start, same ? "" : " (NOT the same)");
  return same ? 0 : 1;
}

int Deliver(const std::string& root) {
  const std::string to = root + "\\delivered";
  const std::vector<KvString> items = {KvString(Item(root).c_str())};
  const double start = Seconds();
  const DeliveryResult result = DeliverFiles(items, KvString(to.c_str()), kCaption);
  std::printf("whole delivery (copy and comparison) %.2f s%s\n", Seconds() - start,
              result.folderError == 0 && result.notDelivered.empty() ? "" : " (NOT delivered)");
  ShellOperation(FO_DELETE, to, "");
  return result.notDelivered.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  const std::string root = argc > 2 ? argv[2] : "";
  if (mode == "prep" && argc == 5) {
    return Prepare(root, std::atoi(argv[3]), std::strtoull(argv[4], nullptr, 10));
  }
  if (mode == "compare" && argc == 3) return Compare(root);
  if (mode == "deliver" && argc == 3) return Deliver(root);
  if (mode == "clear" && argc == 3) return ShellOperation(FO_DELETE, root, "") ? 0 : 1;
  std::fprintf(stderr,
               "usage: delivery_timing prep ROOT FILES BYTES | compare ROOT | deliver ROOT"
               " | clear ROOT\n");
  return 2;
}
