// test_support.h: scratch folders, prompt answers and byte helpers for the
// unit tests, the same on Linux and under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace kvtest {

// Makes a fresh folder below the current one, enters it, and on destruction
// leaves it and removes it with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's full path in the Windows form (code page 932).
  const std::string& Path() const { return path_; }

 private:
  std::string previous_;
  std::string path_;
};

// Removes a folder and everything in it (a path in the system's form).
void RemoveTree(const std::string& path);
// Writes bytes to a file (a path in the system's form); creates it anew.
void WriteFile(const std::string& path, const std::string& bytes);
// Reads a whole file; false when it cannot be opened.
bool ReadFile(const std::string& path, std::string& bytes);

// A file in the current folder that is listed like any other but that no
// one can open while the holder lives: on Windows a file held open without
// sharing (as a program that locks its file does), on Linux a socket, which
// no process opens as a file, root included (to whom a file without read
// permission is readable all the same).
// Release() ends that and leaves a plain file with the given bytes in its
// place; the destructor ends it and removes the file.
class UnopenableFile {
 public:
  explicit UnopenableFile(const std::string& name);
  ~UnopenableFile();
  UnopenableFile(const UnopenableFile&) = delete;
  UnopenableFile& operator=(const UnopenableFile&) = delete;

  void Release(const std::string& bytes);

 private:
  void End();

  std::string name_;
  bool held_ = false;
  intptr_t handle_ = -1;  // the Windows handle, or the socket
};

// Answers message boxes while alive: each box takes the next answer (the last
// one repeats) and is recorded.
class PromptAnswers {
 public:
  explicit PromptAnswers(std::vector<int> answers);
  ~PromptAnswers();
  PromptAnswers(const PromptAnswers&) = delete;
  PromptAnswers& operator=(const PromptAnswers&) = delete;

  struct Box {
    std::string text;
    std::string caption;
    unsigned style;
  };
  const std::vector<Box>& Boxes() const { return boxes_; }

 private:
  std::vector<int> answers_;
  std::vector<Box> boxes_;
  plat::MessageHandler previous_;
};

// Gives a process-wide variable (QuietOpen, SearchPaths) a value for the life
// of the holder and its old value back on destruction, also when a failed
// assertion ends the test early.
template <typename T>
class ScopedValue {
 public:
  ScopedValue(T& global, T value) : global_(global), previous_(std::move(global)) {
    global_ = std::move(value);
  }
  ~ScopedValue() { global_ = std::move(previous_); }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  T& global_;
  T previous_;
};

// The message handler, the same way.
class ScopedMessageHandler {
 public:
  explicit ScopedMessageHandler(plat::MessageHandler handler)
      : previous_(plat::SetMessageHandler(std::move(handler))) {}
  ~ScopedMessageHandler() { plat::SetMessageHandler(previous_); }
  ScopedMessageHandler(const ScopedMessageHandler&) = delete;
  ScopedMessageHandler& operator=(const ScopedMessageHandler&) = delete;

 private:
  plat::MessageHandler previous_;
};

// Bytes as hex, for readable failure messages: "95 5c 00".
std::string Hex(const std::string& bytes);

}  // namespace kvtest
