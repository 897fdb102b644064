// fixture.h: what a scenario prepares before it starts updater.exe and
// inspects afterwards: an update folder with its files, update.ini loose or
// inside a .pak made by the project's own writer, the product's registry
// entry, and the destination. Paths are Windows paths in code page 932.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A file of the sample update: its path relative to the update folder and
// its contents.
struct SampleFile {
  const char* path;
  const char* bytes;
};

// How update.ini reaches the updater.
enum class ProfileIn { Nowhere, LooseFile, PakStored, PakCompressed };

class Fixture {
 public:
  // Clears and creates `root`; the update folder is root\update.
  explicit Fixture(const std::string& root);
  ~Fixture();  // removes the registry keys it made
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  const std::string& root() const { return root_; }
  const std::string& updateFolder() const { return update_; }
  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }

  // Writes the file (making its folders) under the update folder.
  void AddFile(const std::string& relative, const std::string& bytes) const;
  void AddFiles(const std::vector<SampleFile>& files) const;
  // Puts update.ini into the update folder as `where` says.
  void AddProfile(const std::string& text, ProfileIn where) const;

  // Registers the product under ...\Uninstall\<guid> of `hive`; with no
  // location the key is made without an InstallLocation value. `type` is
  // the value's type, REG_SZ or REG_EXPAND_SZ; `view` 0 or a KEY_WOW64_ flag.
  void Register(HKEY hive, const std::string& guid, const std::optional<std::string>& location,
                DWORD type = REG_SZ, REGSAM view = 0);

 private:
  std::string root_;
  std::string update_;
  struct Key {
    HKEY hive;
    std::string subKey;
    REGSAM view;
  };
  std::vector<Key> keys_;
};

// Sets environment variables of the driver for its lifetime; an updater
// started meanwhile inherits them.
class EnvironmentOverride {
 public:
  explicit EnvironmentOverride(const std::vector<std::pair<std::string, std::string>>& values);
  ~EnvironmentOverride();
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> before_;
};

// Takes the system's ProgramFilesDir value away for its lifetime and puts
// it back afterwards.
class HiddenProgramFilesDir {
 public:
  HiddenProgramFilesDir();
  ~HiddenProgramFilesDir();
  HiddenProgramFilesDir(const HiddenProgramFilesDir&) = delete;
  HiddenProgramFilesDir& operator=(const HiddenProgramFilesDir&) = delete;

 private:
  std::string value_;
};

// Removes a folder with everything in it (no error when it is missing).
void RemoveTree(const std::string& path);
void MakeFolders(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// WriteWholeFile for a path of any length (the wide calls), folders made.
void WriteLongFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Calls visit(path, isFolder) for every file and folder below `folder`, a
// folder before what it holds; paths are `folder` joined with the names.
void WalkTree(const std::string& folder,
              const std::function<void(const std::string& path, bool isFolder)>& visit);
// Every file below `folder`, as paths relative to it, sorted.
std::vector<std::string> ListTree(const std::string& folder);
// The Program Files folder as the registry of this system names it.
std::string ProgramFilesDir();

}  // namespace e2e
