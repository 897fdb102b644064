// process_guard_test.cpp: a DLL beside the program is loaded by name until
// the process restricts its DLL search, and never after. The restriction is
// for the life of the process, so the whole story is one test.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/process_guard.h"

namespace {

// Built by the test build into the folder of this program.
constexpr char kPlanted[] = "kvplanted.dll";

TEST(ProcessGuard, DllBesideTheProgramIsNotLoadedByNameOnceRestricted) {
  HMODULE before = ::LoadLibraryA(kPlanted);
  ASSERT_NE(before, nullptr) << "the planted DLL must load by name before the restriction, "
                                "or this test shows nothing";
  EXPECT_NE(::GetProcAddress(before, "KvPlantedMarker"), nullptr);
  ::FreeLibrary(before);
  ASSERT_EQ(::GetModuleHandleA(kPlanted), nullptr) << "still loaded: the next load would not search";

  RestrictProcess();

  HMODULE after = ::LoadLibraryA(kPlanted);
  EXPECT_EQ(after, nullptr) << "the DLL beside the program was loaded by name";
  if (after != nullptr) ::FreeLibrary(after);

  // The system's own DLLs still load by name, from the system folder.
  HMODULE system = ::LoadLibraryA("version.dll");
  EXPECT_NE(system, nullptr);
  if (system != nullptr) ::FreeLibrary(system);

  const UINT mode = ::GetErrorMode();
  EXPECT_EQ(mode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(mode & SEM_NOOPENFILEERRORBOX, static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

}  // namespace
