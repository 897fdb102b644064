// driver.cpp: uidriver.exe, the program that runs updater.exe's scenarios
// through its real windows. A Win32 console program of its own, started
// under Wine beside the updater:
//
//   uidriver.exe --updater PATH [--work FOLDER] [--timeout SECONDS]
//                [--log FILE] [--shot FOLDER] [--list] [SCENARIO...]
//   uidriver.exe --updater PATH --demo FOLDER [--log FILE] [--shot FOLDER]
//
// --demo starts updater.exe in FOLDER and answers each of its windows the
// way a user who accepts everything would (OK, or the only button there
// is), logging its texts and asking for a screenshot of each.
//
// Without scenario names it runs them all, each in its own folder below
// --work (default C:\e2e). --shot names a folder where a screenshot of a
// failing scenario is asked for (see TakeScreenshot), before its windows
// are taken down. The log is UTF-8; the exit code is the number of
// scenarios that failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scenarios.h"
#include "ui.h"

namespace {

struct Options {
  std::string updater;
  std::string work = "C:\\e2e";
  std::string log;
  std::string shot;
  bool list = false;
  std::string demo;
  std::vector<std::string> only;
};

FILE* logFile = nullptr;

std::string ToUtf8(const std::string& cp932) {
  int wide = MultiByteToWideChar(932, 0, cp932.data(), cp932.size(), nullptr, 0);
  std::wstring w(wide, L'\0');
  MultiByteToWideChar(932, 0, cp932.data(), cp932.size(), &w[0], wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}

// One line of code page 932 text to the log, or without one to the
// console, as UTF-8.
void Log(const std::string& line) {
  std::string text = ToUtf8(line) + "\n";
  FILE* out = logFile ? logFile : stdout;
  fwrite(text.data(), 1, text.size(), out);
  fflush(out);
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--updater") {
      options.updater = value();
    } else if (arg == "--work") {
      options.work = value();
    } else if (arg == "--timeout") {
      e2e::waitLimit = static_cast<DWORD>(atoi(value().c_str())) * 1000;
    } else if (arg == "--log") {
      options.log = value();
    } else if (arg == "--shot") {
      options.shot = value();
    } else if (arg == "--demo") {
      options.demo = value();
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg.compare(0, 2, "--") == 0) {
      return false;
    } else {
      options.only.push_back(arg);
    }
  }
  return options.list || (!options.updater.empty() && e2e::waitLimit > 0);
}

// Asks the harness for a screenshot: it watches the folder for NAME.request,
// saves the display as NAME.png and removes the request. A screenshot taken
// from outside Wine shows what the X server shows.
void TakeScreenshot(const std::string& folder, const std::string& name) {
  if (folder.empty()) return;
  Sleep(1000);  // the scenario may have gone faster than the windows were painted
  std::string request = folder + "\\" + name + ".request";
  FILE* file = fopen(request.c_str(), "wb");
  if (!file) {
    Log("  (no screenshot: cannot write " + request + ")");
    return;
  }
  fclose(file);
  for (int i = 0; i < 200 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    Sleep(50);
  }
}

int RunDemo(const Options& options) {
  e2e::UpdaterProcess p(options.updater, options.demo);
  int shown = 0;
  try {
    for (;;) {
      HWND window = nullptr;
      try {
        window = p.WaitWindow("window");
      } catch (const e2e::Failure&) {
        if (!p.Running()) break;
        throw;
      }
      ++shown;
      Log(e2e::Printf("window %d:", shown));
      Log(e2e::Describe(window));
      TakeScreenshot(options.shot, e2e::Printf("%02d-window", shown));
      int answer = e2e::ItemEnabled(window, IDOK) ? IDOK : IDCANCEL;
      e2e::Press(window, answer);
      p.WaitGone(window, "the window just answered");
    }
  } catch (const e2e::Failure& f) {
    Log(std::string("demo: ") + f.what());
    return 1;
  }
  DWORD code = p.WaitExit();
  Log(e2e::Printf("updater.exe ended with exit code %lu after %d windows", code, shown));
  return code == 0 && shown > 0 ? 0 : 1;
}

// The scenario running now, for the screenshot taken when a failure passes
// a running updater (e2e::beforeTeardown).
const Options* current = nullptr;
const char* currentName = nullptr;
bool shotTaken = false;

void ShootCurrent() {
  if (shotTaken || !current) return;
  shotTaken = true;
  TakeScreenshot(current->shot, currentName);
}

// Runs one scenario and logs its result; a failure keeps a screenshot of
// the updater's windows as they were.
bool RunOne(const e2e::Scenario& scenario, const Options& options) {
  e2e::Context context{options.updater, options.work + "\\" + scenario.name, scenario.name, {}};
  current = &options;
  currentName = scenario.name;
  shotTaken = false;
  DWORD start = GetTickCount();
  std::string failure;
  try {
    scenario.run(context);
  } catch (const std::exception& e) {
    failure = e.what();
    ShootCurrent();  // when no updater was running any more
  }
  double seconds = (GetTickCount() - start) / 1000.0;
  for (const std::string& note : context.notes) Log("  " + std::string(scenario.name) + ": " + note);
  if (failure.empty()) {
    Log(e2e::Printf("PASS %-28s %6.1f s  %s", scenario.name, seconds, scenario.what));
    return true;
  }
  Log(e2e::Printf("FAIL %-28s %6.1f s  %s", scenario.name, seconds, scenario.what));
  Log("  " + failure);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    fprintf(stderr,
            "usage: uidriver.exe --updater PATH [--work FOLDER] [--timeout SECONDS] [--log FILE]\n"
            "                    [--shot FOLDER] [--list] [SCENARIO...]\n"
            "       uidriver.exe --updater PATH --demo FOLDER [--log FILE] [--shot FOLDER]\n");
    return 2;
  }
  const std::vector<e2e::Scenario>& all = e2e::AllScenarios();
  if (options.list) {
    for (const e2e::Scenario& s : all) Log(e2e::Printf("%-28s %s", s.name, s.what));
    return 0;
  }
  if (!options.log.empty()) logFile = fopen(options.log.c_str(), "wb");
  if (!options.demo.empty()) {
    int result = RunDemo(options);
    if (logFile) fclose(logFile);
    return result;
  }

  std::vector<const e2e::Scenario*> chosen;
  for (const e2e::Scenario& s : all) {
    bool wanted = options.only.empty();
    for (const std::string& name : options.only) wanted = wanted || name == s.name;
    if (wanted) chosen.push_back(&s);
  }
  for (const std::string& name : options.only) {
    bool known = false;
    for (const e2e::Scenario& s : all) known = known || name == s.name;
    if (!known) {
      Log("unknown scenario " + name);
      return 2;
    }
  }

  e2e::beforeTeardown = ShootCurrent;
  int failed = 0;
  DWORD start = GetTickCount();
  for (const e2e::Scenario* s : chosen) {
    if (!RunOne(*s, options)) ++failed;
  }
  Log(e2e::Printf("e2e: %d passed, %d failed, %.1f s", static_cast<int>(chosen.size()) - failed,
                  failed, (GetTickCount() - start) / 1000.0));
  if (logFile) fclose(logFile);
  return failed;
}
