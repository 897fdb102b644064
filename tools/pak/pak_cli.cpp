// pak_cli.cpp: option parsing, help texts, interruptions and the progress
// and summary lines of the pak tool.
#include "tools/pak/pak_cli.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "tools/pak/pak_system.h"

namespace paktool {

const std::vector<OptionSpec> kCommonOptions = {
    {"--quiet", nullptr, "no progress line and no summary line (errors are still reported)"},
    {"--help", nullptr, "show this help and do nothing else"},
};

namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>& options, const std::string& name) {
  for (const OptionSpec& o : options) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

std::string Synopsis(const CommandSpec& command_def) {
  std::string s = std::string("pak ") + command_def.name;
  if (!command_def.options.empty()) s += " [OPTION...]";
  if (command_def.operands[0] != '\0') s += std::string(" ") + command_def.operands;
  return s;
}

void AddOptionLines(std::string& out, const std::vector<OptionSpec>& options) {
  for (const OptionSpec& o : options) {
    std::string left = std::string("  ") + o.name;
    if (o.value != nullptr) left += std::string(" ") + o.value;
    if (left.size() < 24) left.resize(24, ' ');
    else left += "  ";
    out += left + o.help + "\n";
  }
}

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int signal) {
  gInterrupted = 1;
  // A second Ctrl-C ends the process at once, as with other tools.
  std::signal(signal, SIG_DFL);
}

}  // namespace

Invocation ParseArguments(const CommandSpec& command_def, const std::vector<std::string>& args) {
  Invocation inv;
  inv.command = command_def.name;
  const std::string see = std::string("; see pak help ") + command_def.name;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      inv.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool inlineValue = false;
    const std::string::size_type eq = a.find('=');
    if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    if (name == "-q") name = "--quiet";
    if (name == "-h") name = "--help";
    const OptionSpec* o = FindOption(command_def.options, name);
    if (o == nullptr) o = FindOption(kCommonOptions, name);
    if (o == nullptr) throw UsageError("unknown option " + a + " for " + command_def.name + see);
    if (o->value == nullptr) {
      if (inlineValue) throw UsageError(name + " takes no value" + see);
      value.clear();
    } else if (!inlineValue) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value (" + o->value + ")" + see);
      value = args[++i];
    }
    inv.options[name] = value;
  }
  inv.quiet = inv.Has("--quiet");
  if (inv.Has("--help")) return inv;
  if (inv.operands.size() < command_def.minOperands || inv.operands.size() > command_def.maxOperands) {
    throw UsageError("usage: " + Synopsis(command_def) + see);
  }
  return inv;
}

std::string CommandHelp(const CommandSpec& command_def) {
  std::string out = "usage: " + Synopsis(command_def) + "\n\n" + command_def.summary + "\n";
  if (!command_def.options.empty()) {
    out += "\nOptions:\n";
    AddOptionLines(out, command_def.options);
  }
  out += "\nOptions of every command:\n";
  AddOptionLines(out, kCommonOptions);
  return out;
}

std::string OverviewHelp(const std::vector<CommandSpec>& commands) {
  std::string out = "usage: pak COMMAND [OPTION...] ARGUMENTS\n\nCommands:\n";
  for (const CommandSpec& c : commands) {
    out += "  " + Synopsis(c) + "\n      " + c.summary + "\n";
  }
  out +=
      "\npak help COMMAND or pak COMMAND --help describes a command and each of its options.\n"
      "pak --version prints the version.\n";
  return out;
}

uint32_t ParseNumber(const std::string& text, const char* what, uint32_t highest) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
    throw UsageError(std::string("bad ") + what + ": " + text);
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > highest) {
    throw UsageError(std::string("bad ") + what + ": " + text);
  }
  return static_cast<uint32_t>(v);
}

void WatchInterruptions() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#ifdef SIGBREAK
  std::signal(SIGBREAK, OnInterrupt);
#endif
}

bool Interrupted() { return gInterrupted != 0; }

void StopIfInterrupted() {
  if (gInterrupted != 0) throw Interruption();
}

std::string Bytes(uint64_t n) {
  char text[64];
  if (n < 1000) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(n));
  } else if (n < 1000ull * 1000) {
    std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(n) / 1e3);
  } else if (n < 1000ull * 1000 * 1000) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(n) / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(n) / 1e9);
  }
  return text;
}

Progress::Progress(const char* verb, bool quiet)
    : verb_(verb),
      quiet_(quiet),
      terminal_(!quiet && IsTerminal(stderr)),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

Progress::~Progress() { Clear(); }

void Progress::Add(uint64_t files, uint64_t bytesIn, uint64_t bytesOut) {
  files_ += files;
  bytesIn_ += bytesIn;
  bytesOut_ += bytesOut;
  Show(false);
}

void Progress::Show(bool force) {
  if (!terminal_) return;
  const auto now = std::chrono::steady_clock::now();
  // Nothing for the first half second: short runs stay quiet.
  if (!force && (now - start_ < std::chrono::milliseconds(500) ||
                 now - lastShown_ < std::chrono::milliseconds(200))) {
    return;
  }
  lastShown_ = now;
  std::string line = std::string(verb_) + " " + std::to_string(files_);
  if (totalFiles_ != 0) line += "/" + std::to_string(totalFiles_);
  line += " files, " + Bytes(bytesIn_);
  std::fprintf(stderr, "\r%-70s", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%-70s\r", "");
  std::fflush(stderr);
  shown_ = false;
}

void Progress::Summary(const std::string& what) {
  Clear();
  if (quiet_) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::printf("%s: %llu files, %s in, %s out, %.1f s\n", what.c_str(),
              static_cast<unsigned long long>(files_), Bytes(bytesIn_).c_str(),
              Bytes(bytesOut_).c_str(), seconds);
  std::fflush(stdout);
}

}  // namespace paktool
