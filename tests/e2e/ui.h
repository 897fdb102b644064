// ui.h: what the driver does to a running updater.exe through its windows.
// Everything goes through window messages and process handles, the way an
// accessibility tool would: no pixel coordinates, no hooks inside the
// updater. Every wait has a limit, so a hang fails the scenario instead of
// blocking the run.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

// A failed expectation; the message is code page 932 text.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& what) : std::runtime_error(what) {}
};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Milliseconds every wait allows (set once from the command line).
extern DWORD waitLimit;
// Called when a failure unwinds past an UpdaterProcess that still runs,
// before the process is ended: the moment to keep a screenshot.
extern void (*beforeTeardown)();

// One control of a window, as read from outside.
struct Control {
  HWND window;
  std::string className;
  int id;
  std::string text;
  bool enabled;
};

// The text of a window or control (WM_GETTEXT, which the system carries
// across processes); throws when the window does not answer in time.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
std::vector<Control> Controls(HWND window);  // direct children, in z-order
std::vector<std::string> StaticTexts(HWND window);
// The window's caption and controls, one per line, for failure reports.
std::string Describe(HWND window);

// One updater.exe started by the driver. The destructor ends a process that
// is still running, so a failing scenario leaves nothing behind.
class UpdaterProcess {
 public:
  UpdaterProcess(const std::string& exe, const std::string& folder);
  ~UpdaterProcess();
  UpdaterProcess(const UpdaterProcess&) = delete;
  UpdaterProcess& operator=(const UpdaterProcess&) = delete;

  HANDLE handle() const { return info_.hProcess; }
  bool Running() const;
  // Waits for the end of the process and returns its exit code.
  DWORD WaitExit();
  // Waits for the end of the process and fails if a window of it shows up
  // meanwhile (the runs that must end without a word).
  DWORD WaitExitSilently(const char* after);

  // Visible top-level dialog-class windows of the process.
  std::vector<HWND> Windows() const;
  // Waits for a visible dialog-class window of the process that was not
  // handed out before; `what` names it in the failure message.
  HWND WaitWindow(const char* what);
  // WaitWindow, then requires the caption.
  HWND WaitWindowCaption(const char* what, const std::string& caption);
  // Waits until the window is gone (destroyed or hidden).
  void WaitGone(HWND window, const char* what);

  // Copies bytes into the process's memory, for messages whose argument is
  // a pointer that the system does not carry across processes.
  void* Remote(const void* bytes, size_t size);

 private:
  PROCESS_INFORMATION info_{};
  std::vector<void*> remote_;
  // Windows already handed out by WaitWindow: a later wait looks for a new
  // one, and one still closing does not count as shown.
  std::vector<HWND> seen_;
};

// Presses a button of a dialog or message box by its id: the button must
// exist and be enabled. Posted, so that a button that opens a modal window
// (the browse button) does not block the driver.
void Press(HWND dialog, int id);
// Sets the text of a control and reads it back.
void TypeInto(HWND dialog, int id, const std::string& text);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
// The default push button's id (DM_GETDEFID), 0 when there is none.
int DefaultButton(HWND dialog);

// Polls `condition` until it holds or the wait limit passes.
template <typename F>
bool WaitFor(F condition) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > waitLimit) return false;
    Sleep(50);
  }
}

}  // namespace e2e
