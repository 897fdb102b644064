// pak_check.cpp: pak check. Every answer comes from the updater's own code:
// KvArchive::Open finds update.ini (a loose file, else the first entry whose
// name begins with it in the folder's archives, in lstrcmpiA order),
// FindProfileValue reads the settings, KvString::Tokenize splits the file
// list and PathExists decides which items exist. What the tool adds is the
// view of everything the updater passes over without a word: the other
// copies of update.ini, the items it skips, and the profile lines its
// reader never matches.
#include "tools/pak/pak_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/kvpath.h"
#include "archive/kvarchive.h"
#include "archive/records.h"
#include "platform/collation.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "text/exceptions.h"
#include "text/kvstring.h"
#include "tools/pak/pak_inputs.h"
#include "tools/pak/pak_names.h"
#include "tools/pak/pak_reader.h"
#include "tools/pak/pak_system.h"

namespace paktool {

namespace {

const char kProfile[] = "update.ini";
const char kSection[] = "update";
// The copy request holds a path of at most this many bytes (MAX_PATH less
// its NUL); the updater refuses a longer one.
constexpr std::size_t kShellPathLimit = 259;
// Folders deeper than this are not walked (a link may loop on Linux).
constexpr int kMaxFolderDepth = 64;

struct Setting {
  const char* key;
  const char* initial;  // the updater's value when the profile gives none
  KvString value;
  bool byDefault = true;
};

// One place that holds a profile: an archive (its file name) and entry, or
// the loose file when archive is empty.
struct Place {
  std::string archive;
  std::string archivePath;  // full path, as the lookup sorts it
  std::string entry;
};

struct Item {
  std::string text;
  const char* status = "";
  bool haveBytes = false;
  uint64_t bytes = 0;
  uint64_t files = 0;
};

struct Report {
  Place source;
  bool loose = false;
  std::vector<Place> shadowed;
  std::vector<Setting> settings;
  std::vector<Item> items;
  std::vector<std::string> errors;    // what stops the update working as meant
  std::vector<std::string> warnings;  // what may
};

std::string Shown(const std::string& ansi) {
  std::string out;
  ToTerminalText(ansi, out);
  return out;
}

// A text on one line: line feeds and TABs as \n and \t.
std::string Visible(const std::string& ansi) {
  std::string out;
  for (const char c : ansi) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

bool EqualNoCase(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  return a.size() == n && kvtext::CompareNoCaseN(a.c_str(), b, static_cast<int32_t>(n)) == 0;
}

bool BeginsNoCase(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  return a.size() >= n && kvtext::CompareNoCaseN(a.c_str(), b, static_cast<int32_t>(n)) == 0;
}

std::string FileNameOf(const std::string& path) {
  std::size_t cut = 0;
  for (const char* p = path.c_str(); *p != '\0'; p = plat::NextChar(p)) {
    if (*p == '\\') cut = static_cast<std::size_t>(p - path.c_str()) + 1;
  }
  return path.substr(cut);
}

std::string CurrentFolder() {
  char buffer[4096];
  const uint32_t n = plat::CurrentDirectory(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

// --- where update.ini lies

// The folder's *.pak files in the order the lookup tries them.
std::vector<std::string> Candidates(const std::string& folder) {
  std::string dir = folder;
  if (HasTrailingBackslash(dir.c_str())) dir.pop_back();
  std::vector<std::string> out;
  plat::FileFind find;
  plat::FindData found;
  const std::string pattern = dir + "\\*.pak";
  for (bool ok = find.First(pattern.c_str(), found); ok; ok = find.Next(found)) {
    if ((found.attributes & plat::kAttrDirectory) == 0) out.push_back(dir + "\\" + found.name);
  }
  std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    return plat::CompareNoCase(a.c_str(), b.c_str()) < 0;
  });
  return out;
}

std::string ExceptionText() {
  try {
    throw;
  } catch (const ToolError& e) {
    return e.what();
  } catch (const KvErrorException& e) {
    return Shown(e.message.Text());
  } catch (const KvException& e) {
    return "archive error, code " + std::to_string(e.code);
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& e) {
    return e.what();
  }
}

// Every entry of every archive whose name begins with update.ini, in the
// order the lookup would reach them.
std::vector<Place> ArchivedProfiles(const std::string& folder, Report& report) {
  std::vector<Place> places;
  for (const std::string& path : Candidates(folder)) {
    try {
      PakReader reader(path);
      for (const KvArchiveEntry& record : reader.Records()) {
        const std::string name = record.name.Text();
        if (BeginsNoCase(name, kProfile)) places.push_back(Place{FileNameOf(path), path, name});
      }
    } catch (...) {
      report.warnings.push_back("archive " + FileNameOf(path) + " cannot be read: " + ExceptionText());
    }
  }
  return places;
}

// The archive update.ini is read from (places[0]) and another that holds it
// too, whose order this system may not see as Windows does: the other one
// might be read on Windows.
void WarnUncertainOrder(const std::vector<Place>& places, Report& report) {
  for (std::size_t j = 1; j < places.size(); ++j) {
    const Place& source = places[0];
    if (source.archivePath == places[j].archivePath) continue;
    bool exact = true;
    const int model =
        plat::CollateNoCase932(source.archivePath.c_str(), places[j].archivePath.c_str(), &exact);
    const int here = plat::CompareNoCase(source.archivePath.c_str(), places[j].archivePath.c_str());
    const bool agree = (model < 0) == (here < 0) && (model > 0) == (here > 0);
    if (!exact || !agree || model == 0) {
      report.warnings.push_back("archives " + source.archive + " and " + places[j].archive +
                                " both hold update.ini and may be tried in the other order on "
                                "Windows: keep update.ini in one archive");
    }
  }
}

// --- the profile's lines

struct Line {
  int number;
  std::string text;
};

// Physical lines, numbered from 1, without their CR and LF.
std::vector<Line> LinesOf(const std::string& text) {
  std::vector<Line> lines;
  int number = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      if (i > start) lines.push_back(Line{number, text.substr(start, i - start)});
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++number;
      start = i + 1;
    }
  }
  return lines;
}

// The text of s up to the first character of set (double-byte aware).
std::size_t FindOneOf(const std::string& s, std::size_t from, const char* set) {
  for (const char* p = s.c_str() + from; *p != '\0'; p = plat::NextChar(p)) {
    if (std::strchr(set, *p) != nullptr && !plat::IsLeadByte(static_cast<unsigned char>(*p))) {
      return static_cast<std::size_t>(p - s.c_str());
    }
  }
  return s.size();
}

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

std::string LineRef(const Line& line) {
  return "line " + std::to_string(line.number) + " \"" + Visible(line.text) + "\"";
}

// The lines that look like settings but that the reader never matches, or
// matches where the publisher would not expect it.
void ScanProfile(const std::string& text, std::vector<Setting>& settings, Report& report) {
  enum class Where { AboveHeaders, Update, Other };
  Where where = Where::AboveHeaders;
  std::string otherName;
  bool sawUpdate = false;
  std::vector<int> firstLine(settings.size(), 0);
  for (const Line& line : LinesOf(text)) {
    if (line.text[0] == '[') {
      const std::string& s = line.text;
      const std::size_t close = FindOneOf(s, 1, "]");
      std::string name;
      if (close < s.size()) {
        name = s.substr(1, close - 1);
      } else {
        name = s.size() > 2 ? s.substr(1, s.size() - 2) : std::string();
        if (BeginsNoCase(s.substr(1), kSection)) {
          report.warnings.push_back(LineRef(line) + ": a section header without \"]\" names [" +
                                    Visible(name) + "], not [update]");
        }
      }
      if (EqualNoCase(name, kSection)) {
        where = Where::Update;
        sawUpdate = true;
      } else {
        if (EqualNoCase(Trimmed(name), kSection)) {
          report.warnings.push_back(LineRef(line) + ": the section name has blanks; the reader "
                                    "takes it for [" + Visible(name) + "], not [update]");
        }
        where = Where::Other;
        otherName = name;
      }
      continue;
    }
    if (line.text[0] == '\'') continue;
    // The reader turns \n and \t into a line feed and a TAB before it
    // splits a key line.
    KvString expanded;
    ExpandProfileEscapes(line.text.data(), line.text.data() + line.text.size(), expanded);
    const std::string s = expanded.Text();
    std::size_t at = 0;
    while (at < s.size() && s[at] == '\t') ++at;
    if (at == s.size()) continue;
    const std::size_t end = FindOneOf(s, at, "\t=");
    const std::string key = s.substr(at, end - at);
    if (end == s.size()) {
      const std::string t = Trimmed(s);
      if (!t.empty() && t[0] == '[' && BeginsNoCase(t.substr(1), kSection)) {
        report.warnings.push_back(LineRef(line) + ": a section header must begin the line; the "
                                  "reader takes this for a key line");
      }
      continue;
    }
    std::size_t index = settings.size();
    for (std::size_t k = 0; k < settings.size(); ++k) {
      if (EqualNoCase(key, settings[k].key)) index = k;
    }
    if (index == settings.size()) {
      for (std::size_t k = 0; k < settings.size(); ++k) {
        if (EqualNoCase(Trimmed(key), settings[k].key)) {
          report.warnings.push_back(LineRef(line) + ": the key is \"" + Visible(key) +
                                    "\" with its blanks, which matches no setting; write " +
                                    settings[k].key + "=");
        }
      }
      continue;
    }
    std::size_t value = end;
    while (value < s.size() && (s[value] == '\t' || s[value] == ' ' || s[value] == '=')) ++value;
    const bool empty = value == s.size() || s[value] == '\t';
    const char* keyName = settings[index].key;
    if (where == Where::Other) {
      report.warnings.push_back(LineRef(line) + ": " + keyName + " is in section [" +
                                Visible(otherName) + "], which the updater never reads");
      continue;
    }
    if (where == Where::AboveHeaders && !empty) {
      report.warnings.push_back(LineRef(line) + ": " + keyName +
                                " stands above every section header; the reader takes it for "
                                "[update] and before [update]'s own");
    }
    if (empty) {
      report.warnings.push_back(LineRef(line) + ": the empty value is passed over, it clears "
                                "nothing: " + keyName + " keeps " +
                                (firstLine[index] != 0 ? "the value of line " + std::to_string(firstLine[index])
                                                       : "a later line's value or its default"));
      continue;
    }
    if (firstLine[index] != 0) {
      report.warnings.push_back(LineRef(line) + ": " + keyName + " was given on line " +
                                std::to_string(firstLine[index]) + "; the reader takes that one");
    } else {
      firstLine[index] = line.number;
    }
  }
  if (!sawUpdate) report.warnings.push_back("the profile has no [update] section header");
}

// --- the items of the file list

void WalkFolder(const std::string& path, int depth, Item& item, Report& report) {
  if (depth > kMaxFolderDepth) {
    report.warnings.push_back("folder " + item.text + " is deeper than " +
                              std::to_string(kMaxFolderDepth) + " levels; its count stops there");
    return;
  }
  plat::FileFind find;
  plat::FindData found;
  const std::string pattern = path + "\\*";
  for (bool ok = find.First(pattern.c_str(), found); ok; ok = find.Next(found)) {
    if (found.name == "." || found.name == "..") continue;
    const std::string child = path + "\\" + found.name;
    if (found.attributes & plat::kAttrDirectory) {
      WalkFolder(child, depth + 1, item, report);
    } else {
      uint64_t bytes = 0;
      if (FileBytes(child, bytes)) item.bytes += bytes;
      ++item.files;
    }
  }
}

bool HasWildcard(const std::string& s) { return FindOneOf(s, 0, "*?") < s.size(); }

Item Classify(const std::string& text, const std::string& folder, Report& report) {
  Item item;
  item.text = text;
  std::string local = text;  // the item as a path relative to the folder
  const bool rooted = IsRootedPath(text.c_str());
  std::string prefix = folder;
  if (!HasTrailingBackslash(prefix.c_str())) prefix += "\\";
  if (rooted && BeginsNoCase(text, prefix.c_str())) local = text.substr(prefix.size());
  const std::size_t fullLength = rooted && local == text ? text.size() : prefix.size() + local.size();
  if (HasWildcard(text)) {
    item.status = "wildcard";
    report.errors.push_back("item " + text + " has a wildcard: the updater skips it");
  } else if (rooted && local == text) {
    item.status = "absolute";
    report.warnings.push_back("item " + text + " lies outside the update folder: it is copied "
                              "from that path on the user's machine, if it exists there");
  } else if (fullLength > kShellPathLimit) {
    item.status = "too-long";
    report.errors.push_back("item " + text + " makes a path of " + std::to_string(fullLength) +
                            " bytes here, more than the " + std::to_string(kShellPathLimit) +
                            " the shell's copy takes");
  } else if (!PathExists(local.c_str())) {
    item.status = "missing";
    report.errors.push_back("item " + text + " does not exist: the updater skips it without a word");
  } else if (plat::FileAttributes(local.c_str()) & plat::kAttrDirectory) {
    item.status = "folder";
    item.haveBytes = true;
    std::string path = local;
    while (HasTrailingBackslash(path.c_str())) path.pop_back();
    WalkFolder(path, 0, item, report);
  } else {
    item.status = "file";
    item.haveBytes = FileBytes(local, item.bytes);
    item.files = 1;
  }
  return item;
}

// --- output

void PrintText(const Report& report, bool strict, int status) {
  if (report.loose) {
    std::printf("update.ini: the loose file\n");
  } else {
    std::printf("update.ini: entry %s of %s\n", Shown(report.source.entry).c_str(),
                Shown(report.source.archive).c_str());
  }
  for (const Place& p : report.shadowed) {
    if (p.archive.empty()) std::printf("  also (not read): the loose file\n");
    else std::printf("  also (not read): entry %s of %s\n", Shown(p.entry).c_str(), Shown(p.archive).c_str());
  }
  std::printf("settings:\n");
  for (const Setting& s : report.settings) {
    std::printf("  %-8s %s%s\n", s.key, Shown(Visible(s.value.Text())).c_str(),
                s.byDefault ? "  (default)" : "");
  }
  std::printf("items:\n");
  if (report.items.empty()) std::printf("  (none)\n");
  for (const Item& item : report.items) {
    std::string detail;
    if (std::strcmp(item.status, "folder") == 0) {
      detail = "  (" + std::to_string(item.files) + (item.files == 1 ? " file, " : " files, ") +
               std::to_string(item.bytes) + " bytes)";
    } else if (std::strcmp(item.status, "file") == 0 && item.haveBytes) {
      detail = "  (" + std::to_string(item.bytes) + " bytes)";
    }
    std::printf("  %-9s %s%s\n", item.status, Shown(item.text).c_str(), detail.c_str());
  }
  for (const std::string& e : report.errors) std::printf("error: %s\n", Shown(e).c_str());
  for (const std::string& w : report.warnings) std::printf("warning: %s\n", Shown(w).c_str());
  std::printf("%s: %zu error%s, %zu warning%s%s\n", status == 0 ? "ok" : "not ok",
              report.errors.size(), report.errors.size() == 1 ? "" : "s", report.warnings.size(),
              report.warnings.size() == 1 ? "" : "s", strict ? " (--strict: warnings count)" : "");
}

std::string JsonPlace(const Place& p) {
  return "{\"archive\": " + (p.archive.empty() ? std::string("null") : JsonText(p.archive)) +
         ", \"entry\": " + (p.archive.empty() ? std::string("null") : JsonText(p.entry)) + "}";
}

std::string JsonList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + JsonText(texts[i]);
  return out + "]";
}

void PrintJson(const Report& report, bool strict, int status) {
  std::string out = "{\"source\": {\"kind\": ";
  if (report.loose) {
    out += "\"loose\", \"archive\": null, \"entry\": null}";
  } else {
    out += "\"archive\", \"archive\": " + JsonText(report.source.archive) +
           ", \"entry\": " + JsonText(report.source.entry) + "}";
  }
  out += ",\n \"shadowed\": [";
  for (std::size_t i = 0; i < report.shadowed.size(); ++i) {
    out += (i ? ", " : "") + JsonPlace(report.shadowed[i]);
  }
  out += "],\n \"settings\": {";
  for (std::size_t i = 0; i < report.settings.size(); ++i) {
    const Setting& s = report.settings[i];
    out += std::string(i ? ", " : "") + "\"" + s.key + "\": {\"value\": " + JsonText(s.value.Text()) +
           ", \"default\": " + (s.byDefault ? "true" : "false") + "}";
  }
  out += "},\n \"items\": [";
  for (std::size_t i = 0; i < report.items.size(); ++i) {
    const Item& item = report.items[i];
    out += std::string(i ? ",\n   " : "") + "{\"item\": " + JsonText(item.text) + ", \"status\": \"" +
           item.status + "\", \"bytes\": " + (item.haveBytes ? std::to_string(item.bytes) : "null");
    if (std::strcmp(item.status, "folder") == 0) out += ", \"files\": " + std::to_string(item.files);
    out += "}";
  }
  out += "],\n \"warnings\": " + JsonList(report.warnings) +
         ",\n \"ok\": " + (status == 0 ? "true" : "false") +
         ",\n \"errors\": " + JsonList(report.errors) +
         ",\n \"strict\": " + (strict ? "true" : "false") + "}\n";
  std::fputs(out.c_str(), stdout);
}


}  // namespace

const CommandSpec kCheckCommand = {
    "check", "[DIR]",
    "Shows update.ini, its settings and each item of its file list as the updater will see them "
    "in DIR (default: the current folder); exit 1 when an item will not be delivered, 2 when "
    "update.ini cannot be read.",
    {{"--strict", nullptr, "warnings count too: exit 1 when there are any"},
     {"--json", nullptr, "print the report as one JSON object"}},
    0, 1, &Check};

int Check(const Invocation& inv) {
  const bool strict = inv.Has("--strict"), json = inv.Has("--json");
  if (!inv.operands.empty()) {
    const std::string& dir = inv.operands[0];
    std::string ansi;
    if (!ToArchiveText(dir, ansi)) throw UsageError("folder has no code page 932 form: " + dir);
    for (char& c : ansi) {
      if (c == '/') c = '\\';
    }
    const uint32_t attributes = plat::FileAttributes(ansi.c_str());
    if (attributes == plat::kInvalidAttributes || !(attributes & plat::kAttrDirectory) ||
        !plat::ChangeDirectory(ansi.c_str())) {
      std::fprintf(stderr, "pak: no such folder: %s\n", dir.c_str());
      return 2;
    }
  }
  const std::string folder = CurrentFolder();

  Report report;
  QuietOpen = true;
  std::string text;
  try {
    KvArchive file;
    if (!file.Open(kProfile, OpenRead)) {
      std::fprintf(stderr, "pak: no update.ini in %s: no loose file, and no archive holds an entry "
                           "whose name begins with update.ini\n",
                   Shown(folder).c_str());
      return 2;
    }
    report.loose = !file.InArchive();
    if (!report.loose) {
      const std::string path = file.GetPath().Text();
      report.source = Place{FileNameOf(path), path, file.GetEntry().name.Text()};
    }
    const uint32_t size = file.GetSize();
    text.assign(size, '\0');
    const uint32_t got = size != 0 ? file.Read(size, &text[0]) : 0;
    text.resize(got < size ? got : size);
    // As the reader loads it: a NUL byte ends the text.
    text.resize(std::strlen(text.c_str()));
  } catch (...) {
    std::fprintf(stderr, "pak: update.ini cannot be read: %s\n", ExceptionText().c_str());
    return 2;
  }

  const std::vector<Place> archived = ArchivedProfiles(folder, report);
  bool sourceSeen = report.loose;
  for (const Place& p : archived) {
    if (!sourceSeen && plat::CompareNoCase(p.archivePath.c_str(), report.source.archivePath.c_str()) == 0 &&
        p.entry == report.source.entry) {
      sourceSeen = true;
      continue;
    }
    report.shadowed.push_back(p);
  }
  // A loose update.ini is read whatever the archives' order.
  if (!report.loose) {
    std::vector<Place> all{report.source};
    all.insert(all.end(), report.shadowed.begin(), report.shadowed.end());
    WarnUncertainOrder(all, report);
  }

  report.settings = {{"GUID", "guid", {}}, {"SubDir", "", {}}, {"Title", "アップデート", {}},
                     {"Version", "1.01", {}}, {"file", "", {}}};
  for (Setting& s : report.settings) {
    KvString copy(text.c_str());
    copy.cursor = copy.Buffer();
    KvString value;
    FindProfileValue(kSection, s.key, value, copy);
    s.byDefault = value.IsEmpty();
    s.value = s.byDefault ? KvString(s.initial) : value;
  }
  ScanProfile(text, report.settings, report);
  if (report.settings[0].byDefault) {
    report.warnings.push_back("GUID is not set: the updater looks for the product \"guid\", "
                              "finds none and offers the Program Files folder");
  }

  KvString list(report.settings[4].value);
  list.cursor = list.Buffer();
  KvString item;
  while (list.Tokenize(item, ";") != nullptr) report.items.push_back(Classify(item.Text(), folder, report));
  if (report.items.empty()) report.errors.push_back("the file list is empty: the update delivers nothing");

  const int status = !report.errors.empty() || (strict && !report.warnings.empty()) ? 1 : 0;
  if (json) PrintJson(report, strict, status);
  else PrintText(report, strict, status);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "pak: cannot write the report\n");
    return 2;
  }
  return status;
}

}  // namespace paktool
