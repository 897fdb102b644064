// fuzz_input.h: takes a fuzz input apart into numbers, byte strings and
// texts, and the check that turns a broken rule into a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kvfuzz {

// A broken rule is a finding: say which, then abort so that libFuzzer keeps
// the input.
[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

#define KVFUZZ_CHECK(cond) \
  do {                     \
    if (!(cond)) ::kvfuzz::Fail(__FILE__, __LINE__, #cond); \
  } while (0)

// Reads the input front to back; past its end every number is 0 and every
// string empty, so any input is a valid program.
class Input {
 public:
  Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Done() const { return at_ >= size_; }
  std::size_t Left() const { return size_ - at_; }

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }

  // A number in [low, high], from one or two bytes.
  int32_t Range(int32_t low, int32_t high) {
    const uint32_t span = static_cast<uint32_t>(high - low) + 1;
    uint32_t v = Byte();
    if (span > 256) v |= static_cast<uint32_t>(Byte()) << 8;
    return low + static_cast<int32_t>(v % span);
  }

  // A length byte, then that many bytes (fewer at the end of the input).
  std::string Bytes() {
    const std::size_t n = Byte();
    return Take(n);
  }

  // Like Bytes, cut at its first NUL: what a C text of those bytes holds.
  std::string Text() {
    const std::string b = Bytes();
    return std::string(b.c_str());
  }

  // Bytes up to the next NUL (consumed) or the end of the input.
  std::string UntilNul() {
    std::string out;
    while (at_ < size_) {
      const char c = static_cast<char>(data_[at_++]);
      if (c == '\0') break;
      out.push_back(c);
    }
    return out;
  }

  std::string Take(std::size_t n) {
    if (n > Left()) n = Left();
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

  std::string Rest() { return Take(Left()); }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace kvfuzz
