// browse.cpp: the shell's folder browser for KvPath.
#include <windows.h>
#include <shlobj.h>

#include "app/kvpath.h"

namespace {

// BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT. Without BIF_BROWSEFORCOMPUTER: with
// it some shells grey OK for every folder, whatever the callback says.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;

// The shell's allocator, released on destruction.
class KvShellAllocator {
 public:
  KvShellAllocator() = default;
  ~KvShellAllocator() {
    if (allocator_ != nullptr) allocator_->Release();
  }
  KvShellAllocator(const KvShellAllocator&) = delete;
  KvShellAllocator& operator=(const KvShellAllocator&) = delete;

  bool Get() { return SUCCEEDED(::SHGetMalloc(&allocator_)) && allocator_ != nullptr; }

 private:
  IMalloc* allocator_ = nullptr;
};

// An item list the browser returned, freed on destruction.
class KvItemList {
 public:
  explicit KvItemList(LPITEMIDLIST list) : list_(list) {}
  ~KvItemList() { ::CoTaskMemFree(list_); }
  KvItemList(const KvItemList&) = delete;
  KvItemList& operator=(const KvItemList&) = delete;

  LPITEMIDLIST Get() const { return list_; }

 private:
  LPITEMIDLIST list_;
};

// data is the path to open at, as text. OK is offered only for folders of
// the file system, whose path the status line shows.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    ::SetWindowTextA(window, "フォルダの指定");
    const char* start = reinterpret_cast<const char*>(data);
    if (start != nullptr && *start != '\0') {
      ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start));
    }
  } else if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH];
    if (lParam != 0 && ::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path)) {
      ::SendMessageA(window, BFFM_ENABLEOK, 1, 1);
      ::SendMessageA(window, BFFM_SETSTATUSTEXTA, 1, reinterpret_cast<LPARAM>(path));
    } else {
      ::SendMessageA(window, BFFM_ENABLEOK, 1, 0);
    }
  }
  return 0;
}

}  // namespace

void KvPath::Browse(void* owner, const char* instruction) {
  // SHGetPathFromIDListA writes up to MAX_PATH bytes; this holds 321.
  KvString buffer;
  char* room = buffer.Room(260);
  KvShellAllocator allocator;
  if (!allocator.Get()) return;

  BROWSEINFOA info = {};
  info.hwndOwner = static_cast<HWND>(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = room;
  info.lpszTitle = instruction;
  info.ulFlags = kBrowseFlags;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(text.Text());

  LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
  if (chosen == nullptr) return;  // cancelled
  KvItemList list(chosen);
  if (::SHGetPathFromIDListA(list.Get(), room)) {
    buffer.TakeWritten(buffer.Capacity());
    Assign(buffer.Text());
  }
}
