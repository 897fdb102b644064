// kvpath.cpp: path tests, the directory part, and folder creation.
#include "app/kvpath.h"

#include "platform/platform.h"

void KvPath::Assign(const char* value) {
  text.Assign(value);
  if (text.Buffer() == nullptr) text.Reserve(0);
  text.cursor = text.Buffer();
}

void KvPath::GetDirectory(KvString& out) {
  if (HasTrailingBackslash(text.Buffer())) {
    out.Assign(text);
    return;
  }
  char* last = text.ReverseFind('\\');
  if (last == nullptr) {
    out.Assign(text);
    return;
  }
  out.Assign(text.Buffer(), static_cast<int32_t>(last - text.Buffer()));
  if (out.Buffer() == nullptr) out.Reserve(0);  // "\file" has an empty directory part
}

bool HasTrailingBackslash(const char* value) {
  if (value == nullptr) return false;
  KvString copy(value);
  const char* end = copy.Buffer() + copy.Length();
  copy.cursor = const_cast<char*>(plat::PrevChar(copy.Buffer(), end));
  return copy.CurrentChar() == '\\';
}

bool IsRootedPath(const char* value) {
  if (value == nullptr) return false;
  if (value[0] == '\\') return true;
  return *plat::NextChar(value) == ':' && value[0] != '\0';
}

bool PathExists(const char* path) {
  if (path == nullptr) return false;
  KvString copy(path);
  if (copy.Buffer()[0] != '\\' && copy.Buffer()[0] != '\0') {
    const char* colon = plat::NextChar(copy.Buffer());
    if (*colon == ':') {
      // The drive, its colon and the character after it: the volume root.
      const char* cut = plat::NextChar(plat::NextChar(colon));
      copy.Delete(0, static_cast<int32_t>(cut - copy.Buffer()));
      if (!plat::VolumeAnswers(copy.Text())) return false;
    }
  }
  uint32_t attributes = plat::FileAttributes(path);
  // The ANSI call takes no full path of MAX_PATH characters or more; such a
  // file exists all the same, and whoever asks must hear that it does (the
  // update run names it as not delivered rather than passing it over).
  if (attributes == plat::kInvalidAttributes &&
      plat::LastError() == plat::kErrorFilenameTooLong) {
    attributes = plat::LongPathAttributes(path);
  }
  return attributes != plat::kInvalidAttributes;
}

void CreateDirectoryChain(const char* path) {
  if (path == nullptr) return;
  KvString work(path);
  KvString built;
  built.Reserve(0);
  char* p = work.Buffer();
  if (p[0] == '\\' && p[1] == '\\') {
    // \\server\share is the root: it is not a folder that can be made.
    built.Append("\\\\");
    work.cursor = p + 2;
    for (int part = 0; part < 2; ++part) {
      KvString name;
      if (work.Tokenize(name, "\\") == nullptr) return;
      built.Append(name.Text()).Append("\\");
    }
  } else if (p[0] == '\\') {
    built.Append("\\");
  }
  for (;;) {
    KvString component;
    if (work.Tokenize(component, "\\") == nullptr) return;
    built.Append(component.Text());
    if (!IsRootedPath(component.Text())) plat::MakeDirectory(built.Text());
    built.Append("\\");
  }
}
