// test_support.cpp
#include "tests/unit/test_support.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace kvtest {

namespace {
int gScratchCount = 0;

std::string CurrentFolder() {
  char buffer[4096];
  const uint32_t n = plat::CurrentDirectory(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) throw std::runtime_error("no current folder");
  return buffer;
}
}  // namespace

ScratchFolder::ScratchFolder() : previous_(CurrentFolder()) {
  std::string name;
  for (int attempt = 0;; ++attempt) {
    char n[64];
    std::snprintf(n, sizeof n, "kvscratch_%d_%d", ++gScratchCount, attempt);
    name = previous_ + "\\" + n;
    if (plat::MakeDirectory(name.c_str())) break;
    if (attempt > 1000) throw std::runtime_error("cannot make a scratch folder");
  }
  path_ = name;
  if (!plat::ChangeDirectory(path_.c_str())) throw std::runtime_error("cannot enter " + path_);
}

ScratchFolder::~ScratchFolder() {
  plat::ChangeDirectory(previous_.c_str());
  RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
  plat::FileFind find;
  plat::FindData data;
  std::vector<plat::FindData> entries;
  for (bool ok = find.First((path + "\\*").c_str(), data); ok; ok = find.Next(data)) {
    if (data.name != "." && data.name != "..") entries.push_back(data);
  }
  find.Close();
  for (const auto& e : entries) {
    const std::string child = path + "\\" + e.name;
    if (e.attributes & plat::kAttrDirectory) RemoveTree(child);
    else plat::RemoveFile(child.c_str());
  }
  plat::RemoveFolder(path.c_str());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = plat::OpenStream(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write " + path);
  const std::size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != bytes.size()) throw std::runtime_error("short write " + path);
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::FILE* f = plat::OpenStream(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return true;
}

UnopenableFile::UnopenableFile(const std::string& name) : name_(name) {
#ifdef _WIN32
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot lock " + name);
  handle_ = reinterpret_cast<intptr_t>(h);
#else
  // The scratch folders are entered, so the name is relative to this
  // process's folder, which the socket's address is too.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.size() >= sizeof address.sun_path) throw std::runtime_error("name too long: " + name);
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (s < 0) throw std::runtime_error("no socket for " + name);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(s);
    throw std::runtime_error("cannot bind " + name);
  }
  handle_ = s;
#endif
  held_ = true;
}

UnopenableFile::~UnopenableFile() {
  End();
  plat::RemoveFile(name_.c_str());
}

void UnopenableFile::End() {
  if (!held_) return;
  held_ = false;
#ifdef _WIN32
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
  ::close(static_cast<int>(handle_));
  ::unlink(name_.c_str());
#endif
}

void UnopenableFile::Release(const std::string& bytes) {
  End();
  WriteFile(name_, bytes);
}

PromptAnswers::PromptAnswers(std::vector<int> answers) : answers_(std::move(answers)) {
  previous_ = plat::SetMessageHandler([this](const char* text, const char* caption, unsigned style) {
    boxes_.push_back(Box{text ? text : "", caption ? caption : "", style});
    const std::size_t i = boxes_.size() - 1;
    if (answers_.empty()) return plat::kIdIgnore;
    return answers_[i < answers_.size() ? i : answers_.size() - 1];
  });
}

PromptAnswers::~PromptAnswers() { plat::SetMessageHandler(previous_); }

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, out.empty() ? "%02x" : " %02x", c);
    out += b;
  }
  return out;
}

}  // namespace kvtest
