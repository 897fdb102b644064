// process_guard.cpp: the DLL search and error mode of the updater's process.
#include "app/process_guard.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void RestrictProcess() {
  // Looked up, not imported: systems before the 2011 update lack it, and an
  // import that is missing would keep the program from starting at all.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  SetDefaultDllDirectoriesFn setDefault = nullptr;
  if (HMODULE kernel = ::GetModuleHandleA("kernel32.dll")) {
    setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  }
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryA("");
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}
