// registry_key.cpp: KvRegistryKey.
#include "app/registry_key.h"

#include <cstdint>
#include <utility>

#include "app/registry_view.h"

namespace {
// A value that keeps changing size between the size query and the read is
// given up after this many attempts.
constexpr int kReadAttempts = 4;

// Expands the %NAME% references of an expandable value. The count the
// ANSI call returns is in bytes on some systems and in characters on others
// (Wine counts characters), so it is no length to take: the text is taken
// up to its NUL, and only a buffer of twice the count, room for a double-byte
// character each, is sure to have held all of it.
bool Expand(const KvString& value, KvString& out) {
  KvString expanded;
  DWORD room = static_cast<DWORD>(value.Length()) * 2 + 64;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    char* buffer = expanded.Room(static_cast<int32_t>(room));
    const DWORD need = ::ExpandEnvironmentStringsA(value.Text(), buffer,
                                                   static_cast<DWORD>(expanded.Capacity()));
    if (need == 0) return false;
    if (static_cast<uint64_t>(need) * 2 <= static_cast<uint64_t>(expanded.Capacity())) {
      expanded.TakeWritten(expanded.Capacity());
      out = std::move(expanded);
      return true;
    }
    room = need * 2;
  }
  return false;
}
}  // namespace

KvRegistryKey::~KvRegistryKey() { Close(); }

bool KvRegistryKey::Open(HKEY root, const char* subKey, REGSAM view) {
  Close();
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, subKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  handle_ = key;
  // Without a view flag a process sees the view of its own width.
  view64_ = (view & KEY_WOW64_64KEY) != 0 ||
            ((view & KEY_WOW64_32KEY) == 0 && sizeof(void*) == 8);
  return true;
}

bool KvRegistryKey::QueryString(const char* valueName, KvString& out) {
  if (handle_ == nullptr) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExA(handle_, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    KvString value;
    // The stored bytes need not end in a NUL; the buffer has room for one more.
    char* buffer = value.Room(static_cast<int32_t>(size));
    DWORD got = static_cast<DWORD>(value.Capacity());
    const LONG status = ::RegQueryValueExA(handle_, valueName, nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer), &got);
    if (status == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    value.TakeWritten(static_cast<int32_t>(got));  // also ends a value without its NUL
    if (type == REG_EXPAND_SZ) {
      if (!view64_) return Expand(value, out);
      return Expand(WithVariablesOf64BitView(value.Text(), [](const char* name) {
                      return ::GetEnvironmentVariableA(name, nullptr, 0) != 0;
                    }),
                    out);
    }
    out = std::move(value);
    return true;
  }
  return false;
}

void KvRegistryKey::Close() {
  if (handle_ != nullptr) ::RegCloseKey(handle_);
  handle_ = nullptr;
}
