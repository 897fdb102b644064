// platform_posix.cpp: the platform layer on Linux, standing in for the Win32
// calls the core makes. Paths arrive in the Windows form and in code page 932;
// they are converted to UTF-8, drive letters are led to folders of our own
// (C: is the root folder unless told otherwise) and backslashes become
// slashes. Names that differ only in case from an existing one are found, as
// on a Windows file system.
#include "platform/platform.h"
#include "platform/collation.h"

#include <dirent.h>
#include <errno.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

thread_local uint32_t tLastError = 0;

uint32_t ErrorFromErrno(int e) {
  switch (e) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOMEM: return kErrorNotEnoughMemory;
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    default: return 31;              // ERROR_GEN_FAILURE
  }
}

void SetErrno() { tLastError = ErrorFromErrno(errno); }

// --- code page 932 byte rules
bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// --- text conversion
// The conversions opened so far on this thread, kept open: opening one
// costs more than converting a file name (a listing of 20,000 names spent
// most of its time there).
class Converters {
 public:
  ~Converters() {
    for (const Open& o : open_) iconv_close(o.cd);
  }
  iconv_t Get(const char* to, const char* from) {
    for (const Open& o : open_) {
      if (o.to == to && o.from == from) return o.cd;
    }
    const iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) open_.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Open {
    std::string to;
    std::string from;
    iconv_t cd;
  };
  std::vector<Open> open_;
};

bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
  thread_local Converters converters;
  iconv_t cd = converters.Get(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state, whatever the last call left
  out.assign(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = &out[0];
  std::size_t dstLeft = out.size();
  const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  if (r == static_cast<std::size_t>(-1) || srcLeft != 0) return false;
  out.resize(out.size() - dstLeft);
  return true;
}

// --- drives
std::mutex gDriveLock;
std::map<char, std::string>& Drives() {
  static std::map<char, std::string> drives{{'C', "/"}};
  return drives;
}

bool DriveFolder(char letter, std::string& folder) {
  std::lock_guard<std::mutex> lock(gDriveLock);
  auto it = Drives().find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  if (it == Drives().end()) return false;
  folder = it->second;
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string LowerAscii(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// What one folder held when it was read, by the lower-case form of each
// name, with the folder's identity and change time then. Kept only while
// KeepFolderListings is on (an extract into one folder would otherwise read
// the whole folder again for every new file: quadratic in its files).
struct Listing {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec changed = {};
  std::unordered_map<std::string, std::string> byLower;
};

std::atomic<bool> gKeepListings{false};
std::mutex gListingLock;
std::unordered_map<std::string, Listing>& Listings() {
  static std::unordered_map<std::string, Listing> listings;
  return listings;
}

bool SameStamp(const struct stat& st, const Listing& l) {
  return st.st_dev == l.device && st.st_ino == l.inode && st.st_mtim.tv_sec == l.changed.tv_sec &&
         st.st_mtim.tv_nsec == l.changed.tv_nsec;
}

void Stamp(const struct stat& st, Listing& l) {
  l.device = st.st_dev;
  l.inode = st.st_ino;
  l.changed = st.st_mtim;
}

// The name in folder ("" for the current one, else ending in "/") that
// equals part without regard to case; false when there is none. known, when
// given, is what stat said of the folder just now.
bool FindNoCase(const std::string& folder, const std::string& part, std::string& found,
                const struct stat* known = nullptr) {
  const char* path = folder.empty() ? "." : folder.c_str();
  if (!gKeepListings.load()) {
    DIR* dir = ::opendir(path);
    if (dir == nullptr) return false;
    bool hit = false;
    while (dirent* e = ::readdir(dir)) {
      if (EqualNoCase(e->d_name, part)) {
        found = e->d_name;
        hit = true;
        break;
      }
    }
    ::closedir(dir);
    return hit;
  }
  std::lock_guard<std::mutex> lock(gListingLock);
  struct stat st;
  if (known != nullptr) {
    st = *known;
  } else if (::stat(path, &st) != 0) {
    Listings().erase(folder);
    return false;
  }
  Listing& listing = Listings()[folder];
  if (!SameStamp(st, listing)) {
    listing = Listing();
    DIR* dir = ::opendir(path);
    if (dir == nullptr) {
      Listings().erase(folder);
      return false;
    }
    while (dirent* e = ::readdir(dir)) listing.byLower.emplace(LowerAscii(e->d_name), e->d_name);
    ::closedir(dir);
    Stamp(st, listing);
  }
  const auto it = listing.byLower.find(LowerAscii(part));
  if (it == listing.byLower.end()) return false;
  found = it->second;
  return true;
}

// Keeps a kept listing in step with a change this layer made: posix (a
// resolved path) was added to or removed from its folder. restamp false:
// the folder's stamp was taken after the change already (a rename within
// one folder, noted twice).
void NoteChange(const std::string& posix, bool added, bool restamp = true) {
  if (!gKeepListings.load()) return;
  const std::string::size_type slash = posix.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : posix.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? posix : posix.substr(slash + 1);
  std::lock_guard<std::mutex> lock(gListingLock);
  const auto it = Listings().find(folder);
  if (it == Listings().end()) return;
  struct stat st;
  if (restamp) {
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) {
      Listings().erase(it);
      return;
    }
    Stamp(st, it->second);
  }
  const std::string lower = LowerAscii(name);
  if (added) {
    it->second.byLower.emplace(lower, name);
  } else {
    const auto entry = it->second.byLower.find(lower);
    if (entry != it->second.byLower.end() && entry->second == name) it->second.byLower.erase(entry);
  }
}

// Finds, component by component, an existing path that differs from posix
// only in the case of its letters. From the first part that exists in no
// case on, the rest is kept as given, below the folders found: a new file
// in a folder that exists in another case goes into that folder.
void ResolveCase(std::string& posix) {
  struct stat st;
  if (posix.empty() || ::lstat(posix.c_str(), &st) == 0) return;
  // Most often only the last part is missing (a new file in a folder that
  // is there as given): then every folder above it exists exactly as
  // given, and only that part is looked for in another case.
  const std::size_t last = posix.rfind('/');
  if (last != std::string::npos && last > 0 && last + 1 < posix.size()) {
    const std::string parent = posix.substr(0, last);
    if (::lstat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::string found;
      // A folder, not a link to one: what lstat said is what stat would say.
      if (FindNoCase(parent + "/", posix.substr(last + 1), found, &st)) posix = parent + "/" + found;
      return;
    }
  }
  std::string done = posix[0] == '/' ? "/" : "";
  std::size_t i = posix[0] == '/' ? 1 : 0;
  while (i <= posix.size()) {
    std::size_t slash = posix.find('/', i);
    if (slash == std::string::npos) slash = posix.size();
    std::string part = posix.substr(i, slash - i);
    if (!part.empty()) {
      std::string candidate = done + part;
      if (::lstat(candidate.c_str(), &st) != 0) {
        std::string found;
        if (!FindNoCase(done, part, found)) {
          posix = done + posix.substr(i);
          return;
        }
        candidate = done + found;
      }
      done = candidate;
      if (slash < posix.size()) done += '/';
    }
    i = slash + 1;
  }
  posix = done;
}

// The POSIX form of a Windows path in code page 932. False (with the last
// error set) when it has none: a name without a UTF-8 form, a drive that does
// not exist, or a network path.
bool ToPosix(const char* path, std::string& posix) {
  if (path == nullptr) {
    tLastError = kErrorPathNotFound;
    return false;
  }
  std::string text;
  if (!Convert("UTF-8", "CP932", path, text)) {
    tLastError = kErrorInvalidName;
    return false;
  }
  std::string prefix;
  std::size_t rest = 0;
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') {
    if (!DriveFolder(text[0], prefix)) {
      tLastError = kErrorPathNotFound;
      return false;
    }
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    rest = 2;
    while (rest < text.size() && (text[rest] == '\\' || text[rest] == '/')) ++rest;
  } else if (text.size() >= 2 && (text[0] == '\\' || text[0] == '/') &&
             (text[1] == '\\' || text[1] == '/')) {
    tLastError = 53;  // ERROR_BAD_NETPATH: no network here
    return false;
  } else if (!text.empty() && (text[0] == '\\' || text[0] == '/')) {
    DriveFolder('C', prefix);  // the root of the current drive
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    rest = 1;
  }
  posix = prefix + text.substr(rest);
  std::replace(posix.begin(), posix.end(), '\\', '/');
  if (posix.empty()) posix = prefix.empty() ? "" : prefix;
  ResolveCase(posix);
  return true;
}

// The Windows form of a POSIX path: the drive whose folder holds it, longest first.
bool ToWindows(const std::string& posix, std::string& windows) {
  std::string best;
  char letter = 0;
  {
    std::lock_guard<std::mutex> lock(gDriveLock);
    for (const auto& d : Drives()) {
      std::string root = d.second;
      if (root.size() > 1 && root.back() == '/') root.pop_back();
      const bool under = root == "/" || posix == root ||
                         (posix.compare(0, root.size(), root) == 0 && posix[root.size()] == '/');
      if (under && (letter == 0 || root.size() > best.size())) {
        best = root;
        letter = d.first;
      }
    }
  }
  if (letter == 0) return false;
  std::string tail = best == "/" ? posix.substr(1) : posix.substr(best.size());
  if (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
  std::replace(tail.begin(), tail.end(), '/', '\\');
  std::string utf8 = std::string(1, letter) + ":\\" + tail;
  return Convert("CP932", "UTF-8", utf8, windows);
}

// Windows wildcard match, without regard to case, character by character
// under the double-byte rules.
bool Match(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    while (*pattern == '*') ++pattern;
    if (*pattern == '\0') return true;
    for (const char* n = name;; n = NextChar(n)) {
      if (Match(pattern, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  const char* pNext = NextChar(pattern);
  const char* nNext = NextChar(name);
  if (*pattern == '?') return Match(pNext, nNext);
  if (pNext - pattern != nNext - name) return false;
  if (pNext - pattern == 1) {
    if (std::tolower(static_cast<unsigned char>(*pattern)) !=
        std::tolower(static_cast<unsigned char>(*name)))
      return false;
  } else if (std::memcmp(pattern, name, 2) != 0) {
    return false;
  }
  return Match(pNext, nNext);
}

uint32_t AttributesOf(const struct stat& st) {
  uint32_t a = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) a |= kAttrReadOnly;
  return a;
}

struct FindState {
  std::vector<FindData> results;
  std::size_t next = 0;
};

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

}  // namespace

uint32_t LastError() { return tLastError; }
void SetLastErrorCode(uint32_t code) { tLastError = code; }

bool IsLeadByte(unsigned char byte) { return Lead(byte); }
bool IsTrailByte(unsigned char lead, unsigned char trail) { return Lead(lead) && Trail(trail); }

const char* NextChar(const char* p) {
  if (*p == '\0') return p;
  if (Lead(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

const char* PrevChar(const char* start, const char* p) {
  while (*start != '\0' && start < p) {
    const char* next = NextChar(start);
    if (next >= p) break;
    start = next;
  }
  return start;
}

unsigned ActiveCodePage() { return 932; }

// lstrcmpiA is Windows' linguistic comparison under the user's locale; the
// Japanese locale's order is modelled in collation.cpp.
int CompareNoCase(const char* a, const char* b) { return CollateNoCase932(a, b); }

uint32_t FileAttributes(const char* path) {
  std::string posix;
  if (path == nullptr || !ToPosix(path, posix)) return kInvalidAttributes;
  if (HasWildcard(posix)) {
    tLastError = kErrorInvalidName;
    return kInvalidAttributes;
  }
  struct stat st;
  if (posix.empty() || ::stat(posix.c_str(), &st) != 0) {
    SetErrno();
    return kInvalidAttributes;
  }
  return AttributesOf(st);
}

// POSIX paths have no limit of the ANSI calls' kind.
uint32_t LongPathAttributes(const char* path) { return FileAttributes(path); }

bool VolumeAnswers(const char* root) {
  if (root == nullptr || !IsAsciiLetter(root[0]) || root[1] != ':' || root[2] != '\\' ||
      root[3] != '\0') {
    tLastError = kErrorInvalidName;
    return false;
  }
  std::string folder;
  struct stat st;
  if (!DriveFolder(root[0], folder) || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    tLastError = kErrorNotReady;
    return false;
  }
  return true;
}

bool MakeDirectory(const char* path) {
  std::string posix;
  if (!ToPosix(path, posix)) return false;
  if (::mkdir(posix.c_str(), 0777) != 0) {
    SetErrno();
    return false;
  }
  NoteChange(posix, true);
  return true;
}

uint32_t CurrentDirectory(uint32_t size, char* buffer) {
  std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
  std::string windows;
  if (!cwd || !ToWindows(cwd.get(), windows)) {
    tLastError = kErrorPathNotFound;
    return 0;
  }
  if (windows.size() + 1 > size) return static_cast<uint32_t>(windows.size() + 1);
  std::memcpy(buffer, windows.c_str(), windows.size() + 1);
  return static_cast<uint32_t>(windows.size());
}

bool ChangeDirectory(const char* path) {
  std::string posix;
  if (!ToPosix(path, posix)) return false;
  if (::chdir(posix.c_str()) != 0) {
    SetErrno();
    return false;
  }
  return true;
}

std::string FullPathName(const char* path) {
  if (path == nullptr || *path == '\0') return std::string();
  std::string full;
  if (IsAsciiLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    full = path;
  } else if ((path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
    return path;
  } else {
    char cwd[4096];
    const uint32_t n = CurrentDirectory(sizeof cwd, cwd);
    if (n == 0 || n >= sizeof cwd) return std::string();
    full = cwd;
    if (path[0] == '\\' || path[0] == '/') full = full.substr(0, 2) + path;
    else full += std::string("\\") + path;
  }
  std::replace(full.begin(), full.end(), '/', '\\');
  // Fold "." and ".." components, never above the drive root.
  std::vector<std::string> parts;
  std::size_t i = 3;
  while (i <= full.size()) {
    std::size_t slash = full.find('\\', i);
    if (slash == std::string::npos) slash = full.size();
    const std::string part = full.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = slash + 1;
  }
  std::string out = full.substr(0, 3);
  for (std::size_t k = 0; k < parts.size(); ++k) out += (k ? "\\" : "") + parts[k];
  if (full.size() > 3 && full.back() == '\\' && !parts.empty()) out += '\\';
  return out;
}

std::FILE* OpenStream(const char* path, const char* mode) {
  std::string posix;
  if (!ToPosix(path, posix)) return nullptr;
  // A folder is not a file to open (writing to one fails by itself).
  struct stat st;
  if (mode[0] == 'r' && ::stat(posix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    tLastError = kErrorAccessDenied;
    return nullptr;
  }
  std::FILE* f = std::fopen(posix.c_str(), mode);
  if (f == nullptr && errno == EISDIR) {
    tLastError = kErrorAccessDenied;
  } else if (f == nullptr) {
    SetErrno();
  } else if (mode[0] != 'r') {
    NoteChange(posix, true);
  }
  return f;
}

// The build defines _FILE_OFFSET_BITS=64, so off_t is 64 bits everywhere.
static_assert(sizeof(off_t) == 8, "64-bit file positions");

bool SeekStream(std::FILE* stream, int64_t offset, int origin) {
  return ::fseeko(stream, static_cast<off_t>(offset), origin) == 0;
}

int64_t TellStream(std::FILE* stream) { return static_cast<int64_t>(::ftello(stream)); }

bool RemoveFile(const char* path) {
  std::string posix;
  if (!ToPosix(path, posix)) return false;
  if (::unlink(posix.c_str()) != 0) {
    SetErrno();
    return false;
  }
  NoteChange(posix, false);
  return true;
}

bool RemoveFolder(const char* path) {
  std::string posix;
  if (!ToPosix(path, posix)) return false;
  if (::rmdir(posix.c_str()) != 0) {
    SetErrno();
    return false;
  }
  NoteChange(posix, false);
  return true;
}

bool MoveReplacing(const char* from, const char* to) {
  std::string a, b;
  if (!ToPosix(from, a) || !ToPosix(to, b)) return false;
  if (::rename(a.c_str(), b.c_str()) != 0) {
    SetErrno();
    return false;
  }
  NoteChange(a, false);
  const std::string::size_type slashA = a.rfind('/'), slashB = b.rfind('/');
  const bool sameFolder = slashA == slashB && a.compare(0, slashA == std::string::npos ? 0 : slashA, b, 0,
                                                        slashB == std::string::npos ? 0 : slashB) == 0;
  NoteChange(b, true, !sameFolder);
  return true;
}

FileFind::~FileFind() { Close(); }

// The folder is read at once and its matches kept in the order of names
// without regard to case, the order a Windows file system lists them in.
bool FileFind::First(const char* pattern, FindData& out) {
  Close();
  if (pattern == nullptr) {
    tLastError = kErrorPathNotFound;
    return false;
  }
  // Split at the last separator, double-byte aware, in the code page form.
  const char* cut = nullptr;
  for (const char* p = pattern; *p != '\0'; p = NextChar(p)) {
    if (*p == '\\' || *p == '/' || (p == pattern + 1 && *p == ':')) cut = p;
  }
  std::string folder = cut ? std::string(pattern, static_cast<std::size_t>(cut - pattern + 1)) : "";
  const std::string namePattern = cut ? std::string(cut + 1) : std::string(pattern);
  std::string posixFolder;
  if (folder.empty()) {
    posixFolder = ".";
  } else if (!ToPosix(folder.c_str(), posixFolder)) {
    return false;
  }
  if (posixFolder.empty()) posixFolder = ".";
  DIR* dir = ::opendir(posixFolder.c_str());
  if (dir == nullptr) {
    tLastError = kErrorPathNotFound;
    return false;
  }
  // "*.*" matches every name, with or without a dot.
  const std::string effective = namePattern == "*.*" ? "*" : namePattern;
  auto state = std::make_unique<FindState>();
  while (dirent* e = ::readdir(dir)) {
    std::string name;
    if (!Convert("CP932", "UTF-8", e->d_name, name)) continue;  // no code page form
    if (!Match(effective.c_str(), name.c_str())) continue;
    struct stat st;
    const std::string full = posixFolder + "/" + e->d_name;
    if (::stat(full.c_str(), &st) != 0) continue;
    state->results.push_back(FindData{name, AttributesOf(st)});
  }
  ::closedir(dir);
  std::sort(state->results.begin(), state->results.end(),
            [](const FindData& a, const FindData& b) {
              const int c = CompareNoCase(a.name.c_str(), b.name.c_str());
              return c != 0 ? c < 0 : a.name < b.name;
            });
  if (state->results.empty()) {
    tLastError = kErrorFileNotFound;
    return false;
  }
  out = state->results[0];
  state->next = 1;
  handle_ = state.release();
  return true;
}

bool FileFind::Next(FindData& out) {
  auto* state = static_cast<FindState*>(handle_);
  if (state == nullptr || state->next >= state->results.size()) {
    tLastError = kErrorNoMoreFiles;
    return false;
  }
  out = state->results[state->next++];
  return true;
}

void FileFind::Close() {
  delete static_cast<FindState*>(handle_);
  handle_ = nullptr;
}

// Zeroed memory that the release frees by its address alone, as VirtualFree
// does. It comes from the C library's heap rather than a mapping of its own:
// the lookup takes a directory block per candidate archive, and fresh pages
// cost a fault each (about 10 us apiece on our virtual machines: a 500 KB
// directory took 1.4 ms more than zlib alone needs to inflate it), while the
// heap hands the same pages back from one lookup to the next.
void* VirtualAllocate(std::size_t size) {
  if (size == 0) {
    tLastError = 87;  // ERROR_INVALID_PARAMETER
    return nullptr;
  }
  void* block = std::calloc(size, 1);
  if (block == nullptr) tLastError = kErrorNotEnoughMemory;
  return block;
}

void VirtualRelease(void* address) { std::free(address); }

// The size prefixes as the Windows runtime reads them, in glibc's words.
// There I64 is a 64-bit integer (ll), I32 a 32-bit one (none), I alone the
// size of a pointer (z), hh the same as h; F and N (far and near pointers)
// and L mean nothing and are dropped: a %Ld reads an int, a %Lf a double. Left
// to glibc they would put the arguments out of step (it reads the I as a flag,
// %Lf as a long double, F as a conversion of its own).
namespace {
bool NeedsRewrite(const char* format) {
  for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 1, '%')) {
    ++p;
    if (*p == '%') continue;
    while (*p != '\0' && std::strchr("#*-+0 .123456789", *p) != nullptr) ++p;
    for (; *p != '\0' && std::strchr("IhlLFNzjt", *p) != nullptr; ++p) {
      if (*p == 'I' || *p == 'L' || *p == 'F' || *p == 'N' || (p[0] == 'h' && p[1] == 'h')) {
        return true;
      }
    }
    if (*p == '\0') break;
  }
  return false;
}

std::string RewriteSizePrefixes(const char* format) {
  std::string out;
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    out += *p++;
    if (*p == '%') {
      out += *p++;
      continue;
    }
    while (*p != '\0' && std::strchr("#*-+0 .123456789", *p) != nullptr) out += *p++;
    for (bool more = true; more && *p != '\0';) {
      if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        out += "ll";
        p += 3;
      } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
      } else if (*p == 'I') {
        out += 'z';
        ++p;
      } else if (p[0] == 'h' && p[1] == 'h') {
        out += 'h';
        p += 2;
      } else if (*p == 'L' || *p == 'F' || *p == 'N') {
        ++p;
      } else if (std::strchr("hlzjt", *p) != nullptr) {
        out += *p++;
      } else {
        more = false;
      }
    }
  }
  return out;
}
}  // namespace

int FormatBounded(char* buffer, std::size_t size, const char* format, std::va_list args) {
  std::string rewritten;
  const char* fmt = format;
  if (NeedsRewrite(format)) {
    rewritten = RewriteSizePrefixes(format);
    fmt = rewritten.c_str();
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return std::vsnprintf(buffer, size, fmt, args);
#pragma GCC diagnostic pop
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
  MessageHandler handler = Handler();
  if (handler) return handler(text, caption, style);
  return (style & 0xF) == kMbAbortRetryIgnore ? kIdIgnore : kIdOk;
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  MessageHandler previous = Handler();
  Handler() = std::move(handler);
  return previous;
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
  return Convert("UTF-8", "CP932", ansi, utf8);
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  return Convert("CP932", "UTF-8", utf8, ansi);
}

void KeepFolderListings(bool keep) {
  std::lock_guard<std::mutex> lock(gListingLock);
  gKeepListings.store(keep);
  if (!keep) Listings().clear();
}

void SetDriveRoot(char letter, const char* posixFolder) {
  std::lock_guard<std::mutex> lock(gDriveLock);
  const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (posixFolder == nullptr) Drives().erase(key);
  else Drives()[key] = posixFolder;
}

}  // namespace plat
