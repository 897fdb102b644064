// fixture.cpp: update folders, archives and registry entries for the
// scenarios, made fresh for each one.
#include "fixture.h"

#include <algorithm>
#include <cstdio>

#include "archive/pak_writer.h"
#include "ui.h"

namespace e2e {

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The folder part of a path, found from the end; code page 932 aware, so a
// trail byte 0x5C is not taken for a separator.
std::string ParentOf(const std::string& path) {
  const char* start = path.c_str();
  const char* last = nullptr;
  for (const char* p = start; *p; p = CharNextA(p)) {
    if (*p == '\\') last = p;
  }
  return last ? std::string(start, last) : std::string();
}

}  // namespace

namespace {

// The path's full form with the "\\?\" prefix, which the wide calls take
// at any length.
std::wstring LongForm(const std::string& path) {
  std::wstring wide(path.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, path.data(), path.size(), &wide[0], wide.size()));
  DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(need, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), need, &full[0], nullptr));
  return L"\\\\?\\" + full;
}

void RemoveLongTree(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") RemoveLongTree(path + L"\\" + name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

// Through the wide calls, so that what a scenario made below a path longer
// than the ANSI calls take goes too.
void RemoveTree(const std::string& path) { RemoveLongTree(LongForm(path)); }

void WriteLongFile(const std::string& path, const std::string& bytes) {
  const std::wstring file = LongForm(path);
  // Every folder along the way, from the first one below the drive.
  for (std::size_t at = file.find(L'\\', 7); at != std::wstring::npos;
       at = file.find(L'\\', at + 1)) {
    CreateDirectoryW(file.substr(0, at).c_str(), nullptr);
  }
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw Failure(Printf("cannot write %s", path.c_str()));
  DWORD written = 0;
  const BOOL ok = WriteFile(handle, bytes.data(), bytes.size(), &written, nullptr);
  CloseHandle(handle);
  if (!ok || written != bytes.size()) throw Failure(Printf("short write to %s", path.c_str()));
}

void MakeFolders(const std::string& path) {
  if (path.empty() || Exists(path)) return;
  MakeFolders(ParentOf(path));
  CreateDirectoryA(path.c_str(), nullptr);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  MakeFolders(ParentOf(path));
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) throw Failure(Printf("cannot write %s", path.c_str()));
  size_t written = fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  if (written != bytes.size()) throw Failure(Printf("short write to %s", path.c_str()));
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WalkTree(const std::string& folder,
              const std::function<void(const std::string& path, bool isFolder)>& visit) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    visit(path, isFolder);
    if (isFolder) WalkTree(path, visit);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> out;
  WalkTree(folder, [&](const std::string& path, bool isFolder) {
    if (!isFolder) out.push_back(path.substr(folder.size() + 1));
  });
  std::sort(out.begin(), out.end());
  return out;
}

std::string ProgramFilesDir() {
  char buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
  }
  return buffer;
}

namespace {

void SetProgramFilesDir(const std::string* value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    throw Failure("cannot open the CurrentVersion key");
  }
  LONG result = value ? RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value->c_str()),
                                       value->size() + 1)
                      : RegDeleteValueA(key, "ProgramFilesDir");
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) throw Failure("cannot change ProgramFilesDir");
}
}  // namespace

HiddenProgramFilesDir::HiddenProgramFilesDir() : value_(ProgramFilesDir()) {
  if (value_.empty()) throw Failure("the system has no ProgramFilesDir to hide");
  SetProgramFilesDir(nullptr);
}

HiddenProgramFilesDir::~HiddenProgramFilesDir() {
  try {
    SetProgramFilesDir(&value_);
  } catch (const Failure&) {
  }
}

Fixture::Fixture(const std::string& root) : root_(root), update_(root + "\\update") {
  RemoveTree(root_);
  if (Exists(root_)) throw Failure(Printf("cannot clear %s", root_.c_str()));
  MakeFolders(update_);
}

Fixture::~Fixture() {
  for (const Key& k : keys_) RegDeleteKeyExA(k.hive, k.subKey.c_str(), k.view, 0);
}

void Fixture::AddFile(const std::string& relative, const std::string& bytes) const {
  WriteWholeFile(update_ + "\\" + relative, bytes);
}

void Fixture::AddFiles(const std::vector<SampleFile>& files) const {
  for (const SampleFile& f : files) AddFile(f.path, f.bytes);
}

void Fixture::AddProfile(const std::string& text, ProfileIn where) const {
  switch (where) {
    case ProfileIn::Nowhere:
      return;
    case ProfileIn::LooseFile:
      AddFile("update.ini", text);
      return;
    case ProfileIn::PakStored:
    case ProfileIn::PakCompressed: {
      // A second entry first, so the lookup has to walk the directory.
      std::vector<pak::InputEntry> entries = {
          {"notes.txt", "not the profile\r\n", false},
          {"update.ini", text, where == ProfileIn::PakCompressed},
      };
      pak::WriteOptions options;
      options.version = 3;
      options.keyBlock = pak::DefaultKeyBlock(entries);
      options.directoryKey = pak::DefaultDirectoryKey(entries);
      AddFile("update.pak", pak::WriteArchive(entries, options));
      return;
    }
  }
}

void Fixture::Register(HKEY hive, const std::string& guid,
                       const std::optional<std::string>& location, DWORD type, REGSAM view) {
  std::string subKey = kUninstall + guid;
  HKEY key;
  if (RegCreateKeyExA(hive, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    throw Failure(Printf("cannot create registry key %s", subKey.c_str()));
  }
  keys_.push_back({hive, subKey, view});
  if (location) {
    RegSetValueExA(key, "InstallLocation", 0, type,
                   reinterpret_cast<const BYTE*>(location->c_str()), location->size() + 1);
  }
  RegCloseKey(key);
}

EnvironmentOverride::EnvironmentOverride(
    const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values) {
    char buffer[32768];
    DWORD got = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
    before_.emplace_back(name, got > 0 && got < sizeof buffer
                                   ? std::optional<std::string>(std::string(buffer, got))
                                   : std::nullopt);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
  }
}

EnvironmentOverride::~EnvironmentOverride() {
  for (const auto& [name, value] : before_) {
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  }
}

}  // namespace e2e
