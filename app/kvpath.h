// kvpath.h: the path holder and the path tests shared by the update run and
// the archive layer. Paths are code page 932 bytes with "\" as the only
// separator; no trail byte 0x5C is ever taken for one.
#pragma once

#include "text/kvstring.h"

class KvPath {
 public:
  KvPath() = default;
  virtual ~KvPath() = default;

  // A copy of text (null gives an empty text), the cursor at its start.
  void Assign(const char* text);
  // The directory part: the whole text when it ends in a backslash, else the
  // text before its last backslash (from the cursor on), else the whole text.
  void GetDirectory(KvString& out);
  // Lets the user pick a folder with the shell's browser (Windows only).
  void Browse(void* owner, const char* instruction);

  KvString text;
};

bool HasTrailingBackslash(const char* text);
bool IsRootedPath(const char* text);
// True when the path names an existing file or folder, however long the
// path; a path that begins with a drive letter must first be on a volume
// that answers.
bool PathExists(const char* path);
// Makes every missing folder along path. A UNC root (\\server\share) and the
// root of a root-relative path (\) are kept as they are; only the folders
// below them are made.
void CreateDirectoryChain(const char* path);
