// fuzz_profile.cpp: FindProfileValue over a text, a section and a key taken
// from the input. The value found must be one the rules can give (no line
// break other than an escaped one, no TAB, never longer than the text), the
// text must come back unchanged with its cursor at a section header or where
// the scan began, and a second lookup must give the same.
//
// Input: flags (bit 0: start the scan at an offset taken from the next
// byte), the section up to a NUL, the key up to a NUL, then the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "profile/profile.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/kvstring.h"

namespace {

const char kDefault[] = "<default>";

bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Whether ch occurs in text as a character of its own, not as the second
// byte of a double-byte character (even an invalid one: a lead byte takes the
// byte after it along, as CharNextA does).
bool HasChar(const std::string& text, char ch) {
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ch) return true;
    i += Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  return false;
}

void CheckInvariants(const KvString& s) {
  if (s.Buffer() == nullptr) {
    KVFUZZ_CHECK(s.Capacity() == 0 && s.Size() == 0 && s.cursor == nullptr);
    return;
  }
  KVFUZZ_CHECK(s.Capacity() > s.Size() && s.Capacity() % 64 == 0);
  KVFUZZ_CHECK(static_cast<std::size_t>(s.Size()) == std::strlen(s.Buffer()));
  KVFUZZ_CHECK(s.cursor >= s.Buffer() && s.cursor <= s.Buffer() + s.Size());
}

std::string Lookup(const std::string& section, const std::string& key, KvString& text,
                   std::size_t start) {
  text.cursor = text.Buffer() != nullptr ? text.Buffer() + start : nullptr;
  KvString out(kDefault);
  FindProfileValue(section.c_str(), key.c_str(), out, text);
  CheckInvariants(out);
  CheckInvariants(text);
  const std::string value = out.Text();
  if (value != kDefault) {
    KVFUZZ_CHECK(!value.empty());
    KVFUZZ_CHECK(!HasChar(value, '\r'));
    KVFUZZ_CHECK(!HasChar(value, '\t'));
    KVFUZZ_CHECK(value.size() <= static_cast<std::size_t>(text.Size()));
  }
  if (text.Buffer() != nullptr && text.cursor != text.Buffer() + start) KVFUZZ_CHECK(*text.cursor == '[');
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::Input in(data, size);
  const uint8_t flags = in.Byte();
  const uint8_t offset = (flags & 1) ? in.Byte() : 0;
  const std::string section = in.UntilNul();
  const std::string key = in.UntilNul();
  const std::string bytes = in.Rest();

  // The text as the reader loads a file: every byte, the text ending at the
  // first NUL.
  KvString text;
  std::memcpy(text.Room(static_cast<int32_t>(bytes.size())), bytes.data(), bytes.size());
  text.TakeWritten(static_cast<int32_t>(bytes.size()));
  const std::string before = text.Text();
  const std::size_t start = offset % (static_cast<std::size_t>(text.Size()) + 1);

  const std::string first = Lookup(section, key, text, start);
  KVFUZZ_CHECK(before == text.Text());
  const std::string second = Lookup(section, key, text, start);
  KVFUZZ_CHECK(first == second);
  return 0;
}
