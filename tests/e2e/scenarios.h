// scenarios.h: the end-to-end scenarios of updater.exe, one row each.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct Context {
  std::string updater;  // Windows path of updater.exe
  std::string root;     // folder of this scenario, cleared before it runs
  std::string name;
  // Lines the scenario wants in the log besides pass or fail (what the
  // system showed where the expectation allows more than one answer).
  std::vector<std::string> notes;
};

struct Scenario {
  const char* name;
  const char* what;  // what the row shows, for the log
  void (*run)(Context&);
};

const std::vector<Scenario>& AllScenarios();

}  // namespace e2e
