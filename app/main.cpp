// main.cpp: the process entry point of updater.exe.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/process_guard.h"
#include "app/update_run.h"

namespace {
// COM for the folder browser, for the life of the process.
class KvComApartment {
 public:
  KvComApartment()
      : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED |
                                                            COINIT_DISABLE_OLE1DDE))) {}
  ~KvComApartment() {
    if (initialised_) ::CoUninitialize();
  }
  KvComApartment(const KvComApartment&) = delete;
  KvComApartment& operator=(const KvComApartment&) = delete;

 private:
  bool initialised_;
};
}  // namespace

// No argument is used; the exit code is always 0.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // First of all, before COM or the common controls load anything by name.
  RestrictProcess();
  KvComApartment com;
  // The manifest asks for the version-6 controls, which need registering.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  return RunUpdate();
}
