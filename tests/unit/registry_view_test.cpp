// registry_view_test.cpp: the variables of the registry's 64-bit view.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/registry_view.h"
#include "tests/unit/test_support.h"

namespace {

// The variables of a 32-bit program on a 64-bit system, where
// %ProgramFiles% names the (x86) folder.
const std::set<std::string> kWow64 = {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432",
                                      "CommonProgramFiles", "CommonProgramW6432", "SystemDrive"};
// A 32-bit system: one view, no 64-bit names.
const std::set<std::string> kWin32 = {"ProgramFiles", "CommonProgramFiles", "SystemDrive"};

TEST(RegistryView, VariablesOf64BitView) {
  struct Row {
    const char* value;
    const std::set<std::string>* environment;
    const char* expected;
    const char* why;
  };
  const Row rows[] = {
      {"%ProgramFiles%\\Foo", &kWow64, "%ProgramW6432%\\Foo", "the 64-bit folder"},
      {"%CommonProgramFiles%\\Foo", &kWow64, "%CommonProgramW6432%\\Foo", "the 64-bit folder"},
      {"%PROGRAMFILES%\\Foo", &kWow64, "%ProgramW6432%\\Foo", "names compare without case"},
      {"%programfiles%\\%commonprogramfiles%", &kWow64, "%ProgramW6432%\\%CommonProgramW6432%",
       "every reference"},
      {"%ProgramFiles(x86)%\\Foo", &kWow64, "%ProgramFiles(x86)%\\Foo", "names the 32-bit folder"},
      {"%SystemDrive%\\Foo", &kWow64, "%SystemDrive%\\Foo", "the same in both views"},
      {"C:\\Program Files\\Foo", &kWow64, "C:\\Program Files\\Foo", "no reference"},
      {"", &kWow64, "", "empty"},
      {"%ProgramFiles%\\Foo", &kWin32, "%ProgramFiles%\\Foo", "a 32-bit system keeps it"},
      {"%CommonProgramFiles%", &kWin32, "%CommonProgramFiles%", "a 32-bit system keeps it"},
      {"100%ProgramFiles%\\Foo", &kWow64, "100%ProgramW6432%\\Foo",
       "an undefined name is no reference: its closing sign opens the next"},
      {"%Undefined%ProgramFiles%\\Foo", &kWow64, "%Undefined%ProgramW6432%\\Foo",
       "an undefined name's closing sign opens the next"},
      {"%SystemDrive%ProgramFiles%", &kWow64, "%SystemDrive%ProgramFiles%",
       "a defined name takes its closing sign"},
      {"%ProgramFiles", &kWow64, "%ProgramFiles", "no closing sign"},
      {"%%ProgramFiles%", &kWow64, "%%ProgramW6432%", "an empty name is no reference"},
      {"%ProgramFilesX%", &kWow64, "%ProgramFilesX%", "only the whole name"},
      {"\x95\x5c%ProgramFiles%\\\x83\x5c", &kWow64, "\x95\x5c%ProgramW6432%\\\x83\x5c",
       "double-byte characters around it"},
  };
  for (const Row& r : rows) {
    const KvString out = WithVariablesOf64BitView(r.value, [&](const char* name) {
      return r.environment->count(name) > 0;  // the environment's names as the table spells them
    });
    EXPECT_STREQ(out.Text(), r.expected) << kvtest::Hex(r.value) << ": " << r.why;
  }
  EXPECT_STREQ(WithVariablesOf64BitView(nullptr, [](const char*) { return true; }).Text(), "");
}

}  // namespace
