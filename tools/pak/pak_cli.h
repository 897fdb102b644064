// pak_cli.h: the command line of the pak tool: each command with its
// options and their help, one parser for all of them, and the progress and
// summary lines of long runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/pak/pak_inputs.h"

namespace paktool {

// Bad usage: reported in one line with a pointer to the command's help.
class UsageError : public ToolError {
 public:
  using ToolError::ToolError;
};

struct OptionSpec {
  const char* name;   // "--level"
  const char* value;  // the value's name in the help ("N"), or null for a switch
  const char* help;   // one line
};

// What the parser made of one command's arguments.
struct Invocation {
  std::string command;
  std::map<std::string, std::string> options;  // name -> value ("" for a switch)
  std::vector<std::string> operands;
  bool quiet = false;

  bool Has(const char* name) const { return options.count(name) != 0; }
  const std::string& Value(const char* name) const { return options.at(name); }
};

struct CommandSpec {
  const char* name;
  const char* operands;  // "ARCHIVE PATH..."
  const char* summary;   // one line
  std::vector<OptionSpec> options;
  std::size_t minOperands;
  std::size_t maxOperands;  // SIZE_MAX: no limit
  int (*run)(const Invocation&);
};

// Options every command takes.
extern const std::vector<OptionSpec> kCommonOptions;

// Parses args (after the command name) against command_def. Options and operands
// may come in any order; "--" ends the options; "--name=value" and
// "--name value" are the same. Any other word that starts with "-" (one
// dash included) is an unknown option. Throws UsageError.
Invocation ParseArguments(const CommandSpec& command_def, const std::vector<std::string>& args);

// The help text of one command, every option described.
std::string CommandHelp(const CommandSpec& command_def);
// The overview: each command's synopsis and summary.
std::string OverviewHelp(const std::vector<CommandSpec>& commands);

// A number for an option: decimal or 0x hex, at most highest.
uint32_t ParseNumber(const std::string& text, const char* what, uint32_t highest);

// Set by SIGINT and SIGTERM (Ctrl-C, Ctrl-Break on Windows); long loops
// ask and stop, and the temporary files are removed on the way out.
void WatchInterruptions();
bool Interrupted();
// Throws Interruption when an interruption came in.
void StopIfInterrupted();
class Interruption : public ToolError {
 public:
  Interruption() : ToolError("interrupted") {}
};

// Counts a long run's work; shows a progress line on standard error when it
// is a terminal (at most a few times a second) and prints the summary line.
class Progress {
 public:
  Progress(const char* verb, bool quiet);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void SetTotal(uint64_t files) { totalFiles_ = files; }
  void Add(uint64_t files, uint64_t bytesIn, uint64_t bytesOut);
  // "created x.pak: 12 files, 3.4 MB in, 1.2 MB out, 0.8 s" on standard output.
  void Summary(const std::string& what);

 private:
  void Show(bool force);
  void Clear();

  const char* verb_;
  bool quiet_;
  bool terminal_;
  bool shown_ = false;
  uint64_t totalFiles_ = 0;
  uint64_t files_ = 0;
  uint64_t bytesIn_ = 0;
  uint64_t bytesOut_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_;
};

// "1.2 MB", "345 bytes".
std::string Bytes(uint64_t n);

}  // namespace paktool
