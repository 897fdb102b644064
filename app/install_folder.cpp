// install_folder.cpp: the install-folder lookup and its fallback.
#include "app/install_folder.h"

#include <windows.h>

#include <utility>

#include "app/kvpath.h"
#include "app/registry_key.h"

namespace {
struct KeyPlace {
  HKEY root;
  REGSAM view;
};
// A 32-bit process sees the 32-bit view of HKLM by default; products of the
// 64-bit system register in the other view, per-user installs under HKCU.
const KeyPlace kUninstallPlaces[] = {
    {HKEY_LOCAL_MACHINE, 0},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
    {HKEY_CURRENT_USER, 0},
};
}  // namespace

bool FindInstallFolder(const KvString& guid, const KvString& subDir, KvString& destination) {
  KvString keyName;
  keyName.Format("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", guid.Text());
  for (const KeyPlace& place : kUninstallPlaces) {
    KvRegistryKey key;
    if (!key.Open(place.root, keyName.Text(), place.view)) continue;
    KvString location;
    // A key without a location tells nothing about where the product is.
    if (!key.QueryString("InstallLocation", location) || location.IsEmpty()) continue;
    location.Append("\\");
    if (subDir.Length() > 0) location.Append(subDir.Text()).Append("\\");
    // The text ends in a backslash, so its directory part is all of it; the
    // last byte, that backslash, then goes.
    KvPath path;
    path.Assign(location.Text());
    KvString folder;
    path.GetDirectory(folder);
    folder.Delete(1, folder.Length() - 1);
    destination = std::move(folder);
    return true;
  }
  return false;
}

void ReadProgramFilesFolder(KvString& destination) {
  destination.Empty();
  KvRegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) {
    key.QueryString("ProgramFilesDir", destination);
  }
}
