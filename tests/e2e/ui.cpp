// ui.cpp: finding, reading and working the updater's windows from outside.
#include "ui.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <exception>

namespace e2e {

DWORD waitLimit = 20000;
void (*beforeTeardown)() = nullptr;

std::string Printf(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string WindowText(HWND window) {
  char buffer[2048] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, waitLimit, &length)) {
    throw Failure(Printf("window %p does not answer WM_GETTEXT", static_cast<void*>(window)));
  }
  return std::string(buffer, std::min<size_t>(length, sizeof buffer - 1));
}

std::string ClassName(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

namespace {

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  auto* list = reinterpret_cast<std::vector<HWND>*>(param);
  list->push_back(window);
  return TRUE;
}

}  // namespace

std::vector<Control> Controls(HWND window) {
  std::vector<HWND> all;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&all));
  std::vector<Control> controls;
  for (HWND child : all) {
    if (GetParent(child) != window) continue;  // only the dialog's own controls
    controls.push_back({child, ClassName(child), GetDlgCtrlID(child), WindowText(child),
                        IsWindowEnabled(child) != FALSE});
  }
  return controls;
}

std::vector<std::string> StaticTexts(HWND window) {
  std::vector<std::string> texts;
  for (const Control& control : Controls(window)) {
    if (lstrcmpiA(control.className.c_str(), "Static") == 0 && !control.text.empty()) {
      texts.push_back(control.text);
    }
  }
  return texts;
}

std::string Describe(HWND window) {
  if (!IsWindow(window)) return "  (window gone)\n";
  std::string out = Printf("  window class %s caption \"%s\"\n", ClassName(window).c_str(),
                           WindowText(window).c_str());
  for (const Control& c : Controls(window)) {
    out += Printf("    %s id %d%s \"%s\"\n", c.className.c_str(), c.id,
                  c.enabled ? "" : " (disabled)", c.text.c_str());
  }
  return out;
}

UpdaterProcess::UpdaterProcess(const std::string& exe, const std::string& folder) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info_)) {
    throw Failure(Printf("cannot start %s in %s (error %lu)", exe.c_str(), folder.c_str(),
                         GetLastError()));
  }
}

UpdaterProcess::~UpdaterProcess() {
  for (void* block : remote_) VirtualFreeEx(info_.hProcess, block, 0, MEM_RELEASE);
  if (std::uncaught_exceptions() > 0 && Running() && beforeTeardown) beforeTeardown();
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool UpdaterProcess::Running() const {
  return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD UpdaterProcess::WaitExit() {
  if (WaitForSingleObject(info_.hProcess, waitLimit) != WAIT_OBJECT_0) {
    std::string shown;
    for (HWND w : Windows()) shown += Describe(w);
    throw Failure("updater.exe did not end in time; windows shown:\n" + shown);
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

DWORD UpdaterProcess::WaitExitSilently(const char* after) {
  DWORD start = GetTickCount();
  while (Running()) {
    std::vector<HWND> shown;
    for (HWND w : Windows()) {
      if (std::find(seen_.begin(), seen_.end(), w) == seen_.end()) shown.push_back(w);
    }
    if (!shown.empty()) {
      throw Failure(Printf("after %s updater.exe should end without a window, but shows:\n%s",
                           after, Describe(shown.front()).c_str()));
    }
    if (GetTickCount() - start > waitLimit) {
      throw Failure(Printf("after %s updater.exe did not end in time", after));
    }
    Sleep(50);
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && ClassName(window) == "#32770") {
    search->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> UpdaterProcess::Windows() const {
  WindowSearch search{info_.dwProcessId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND UpdaterProcess::WaitWindow(const char* what) {
  HWND result = nullptr;
  bool ended = false;
  WaitFor([&] {
    for (HWND w : Windows()) {
      if (std::find(seen_.begin(), seen_.end(), w) == seen_.end()) {
        result = w;
        return true;
      }
    }
    ended = !Running();
    return ended;
  });
  if (result) {
    seen_.push_back(result);
    return result;
  }
  if (ended) {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    throw Failure(Printf("updater.exe ended (exit code %lu) while the driver waited for %s",
                         code, what));
  }
  throw Failure(Printf("no %s appeared in time", what));
}

HWND UpdaterProcess::WaitWindowCaption(const char* what, const std::string& caption) {
  HWND window = WaitWindow(what);
  if (WindowText(window) != caption) {
    throw Failure(Printf("expected %s with caption \"%s\", got:\n%s", what, caption.c_str(),
                         Describe(window).c_str()));
  }
  return window;
}

void UpdaterProcess::WaitGone(HWND window, const char* what) {
  if (!WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); })) {
    throw Failure(Printf("%s did not close", what));
  }
}

void* UpdaterProcess::Remote(const void* bytes, size_t size) {
  void* block = VirtualAllocEx(info_.hProcess, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                               PAGE_READWRITE);
  SIZE_T written = 0;
  if (!block || !WriteProcessMemory(info_.hProcess, block, bytes, size, &written) ||
      written != size) {
    throw Failure(Printf("cannot write %u bytes into updater.exe (error %lu)",
                         static_cast<unsigned>(size), GetLastError()));
  }
  remote_.push_back(block);
  return block;
}

void Press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) {
    throw Failure(Printf("no button %d in:\n%s", id, Describe(dialog).c_str()));
  }
  if (!IsWindowEnabled(button)) {
    throw Failure(Printf("button %d is disabled in:\n%s", id, Describe(dialog).c_str()));
  }
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void TypeInto(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) throw Failure(Printf("no control %d to type into", id));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, waitLimit, &ignored);
  std::string now = WindowText(control);
  if (now != text) {
    throw Failure(Printf("typed \"%s\" into control %d, it holds \"%s\"", text.c_str(), id,
                         now.c_str()));
  }
}

std::string ItemText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) throw Failure(Printf("no control %d in:\n%s", id, Describe(dialog).c_str()));
  return WindowText(control);
}

bool ItemEnabled(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && IsWindowEnabled(control);
}

int DefaultButton(HWND dialog) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, waitLimit, &result);
  return HIWORD(result) == DC_HASDEFID ? LOWORD(result) : 0;
}

}  // namespace e2e
