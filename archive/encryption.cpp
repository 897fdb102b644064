// encryption.cpp: name keys, the XOR transform, and the read-time transform
// of the first 16 bytes of version-3 entries.
#include "archive/encryption.h"

#include <cstring>
#include <memory>

#include "archive/pak_format.h"
#include "archive/records.h"

namespace {

constexpr uint32_t kScrambled = pak_format::kScrambledBytes;  // positions 0 to 15

unsigned char KeyByte(uint32_t key, uint32_t index) {
  return static_cast<unsigned char>(key >> (8 * (index & 3)));
}

}  // namespace

// Whole words take k0..k3; the tail bytes after the last whole word are
// transformed where they stand in out with k((j - length + 2) mod 4), so a
// tail of one byte takes k1, of two k0 k1, of three k3 k0 k1. The tail rule
// is part of the archive format. A start index s shifts the key as if the
// bytes began at entry position s.
void KvXorEncryption::Transform(unsigned char* out, const unsigned char* in, int32_t length,
                                uint32_t key, int32_t startIndex) const {
  if (length <= 0) return;
  const uint32_t shift = static_cast<uint32_t>(startIndex) & 3;
  const int32_t body = length & ~3;
  for (int32_t j = 0; j < body; ++j) {
    out[j] = static_cast<unsigned char>(in[j] ^ KeyByte(key, shift + static_cast<uint32_t>(j)));
  }
  for (int32_t j = body; j < length; ++j) {
    const uint32_t index = static_cast<uint32_t>(((j - length + 2) % 4 + 4) % 4);
    out[j] = static_cast<unsigned char>(out[j] ^ KeyByte(key, shift + index));
  }
}

uint32_t KvXorEncryption::MakeKey(const char* text) const {
  return text != nullptr ? MakeKeyN(text, static_cast<uint32_t>(std::strlen(text))) : 0;
}

// h = h * 137 + c over the bytes (taken as signed), modulo 2^32. Four bytes
// make one step, h * 137^4 + c0 * 137^3 + c1 * 137^2 + c2 * 137 + c3: the
// same value, but only one multiplication a step waits for the one before.
// The lookup keys every record's name, and one byte a step made this key most
// of the cost of decoding a record.
uint32_t KvXorEncryption::MakeKeyN(const char* text, uint32_t n) {
  constexpr uint32_t k1 = 137u, k2 = k1 * k1, k3 = k2 * k1, k4 = k3 * k1;
  const auto c = [text](uint32_t i) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
  };
  uint32_t h = 0;
  uint32_t i = 0;
  for (; n - i >= 4; i += 4) h = h * k4 + c(i) * k3 + c(i + 1) * k2 + c(i + 2) * k1 + c(i + 3);
  for (; i < n; ++i) h = h * k1 + c(i);
  return h;
}

// Each byte at entry position i < 16 is decoded exactly as a read of the
// whole entry from position 0 decodes it: the key pattern of the entry's
// first min(size, 16) bytes is made once, and the read's bytes take theirs.
void KvXorEncryption::Encrypt(KvEncryptionParam& param) const { Decrypt(param); }

void KvXorEncryption::Decrypt(KvEncryptionParam& block) const {
  if (block.GetVersion() != 1) throw IEncryption::KvVersionDiffelentException();
  auto& param = static_cast<KvEncryptionParamV1&>(block);
  const uint32_t p = param.GetPosition();
  if (p >= kScrambled) return;
  const uint32_t end = p + param.GetLength() < kScrambled ? p + param.GetLength() : kScrambled;
  if (end <= p) return;
  const uint32_t key = MakeKey(param.GetKeyText());
  const uint32_t patternLength = param.entrySize < kScrambled ? param.entrySize : kScrambled;
  unsigned char pattern[kScrambled] = {};
  Transform(pattern, pattern, static_cast<int32_t>(patternLength), key, 0);
  unsigned char* bytes = param.GetBuffer();
  for (uint32_t i = p; i < end; ++i) {
    // Past the entry's end (a size that lies) there is no key byte: as stored.
    if (i < patternLength) bytes[i - p] ^= pattern[i];
  }
}

// The table lives until the process ends: it is never destroyed, not even
// by the static destructors at exit, so its members stay reachable to the
// end (and leak checkers see no leak).
std::vector<IEncryption*>& EncryptionTable() {
  static std::vector<IEncryption*>* const table = new std::vector<IEncryption*>();
  return *table;
}

void EnsureEncryptionTable() {
  std::vector<IEncryption*>& table = EncryptionTable();
  if (!table.empty()) return;
  table.push_back(new KvNoEncryption());
  table.push_back(new KvXorEncryption());
}

KvEncryptionParam* CreateEncryptionParam(uint32_t version, unsigned char* buffer, uint32_t position,
                                         uint32_t length, const char* keyText, uint32_t entrySize) {
  if (EncryptionIndex(version) == 1) {
    return new KvEncryptionParamV1(buffer, position, length, keyText, entrySize);
  }
  return new KvEncryptionParamV0(buffer, position, length, keyText, entrySize);
}

void DecryptRead(unsigned char* buffer, uint32_t length, uint32_t position,
                 const KvArchiveEntry& entry) {
  const uint32_t version = entry.header.version;
  // Versions 0 to 2 leave the bytes as read: no block, no work.
  if (EncryptionIndex(version) == 0 || position >= kScrambled) return;
  EnsureEncryptionTable();
  std::unique_ptr<KvEncryptionParam> param(
      CreateEncryptionParam(version, buffer, position, length, entry.name.Text(), entry.size));
  EncryptionTable()[EncryptionIndex(version)]->Decrypt(*param);
}
