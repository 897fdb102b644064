// registry_key.h: an open registry key, read only.
#pragma once

#include <windows.h>

#include "text/kvstring.h"

// Holds at most one open key and closes it on destruction. Keys are opened
// for reading only; a missing key is never created.
class KvRegistryKey {
 public:
  KvRegistryKey() = default;
  virtual ~KvRegistryKey();
  KvRegistryKey(const KvRegistryKey&) = delete;
  KvRegistryKey& operator=(const KvRegistryKey&) = delete;

  // KEY_READ, plus view (0 or KEY_WOW64_64KEY / KEY_WOW64_32KEY).
  bool Open(HKEY root, const char* subKey, REGSAM view = 0);
  // Reads a string value whole, whatever its length, NUL-terminated
  // (REG_EXPAND_SZ expanded; from the 64-bit view with the 64-bit Program
  // Files variables). A missing value, or one of another type, gives false
  // and leaves out as it was.
  bool QueryString(const char* valueName, KvString& out);
  void Close();

 private:
  HKEY handle_ = nullptr;
  // The key lies in the registry's 64-bit view.
  bool view64_ = false;
};
