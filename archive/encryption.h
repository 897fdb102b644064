// encryption.h: the version-3 XOR transforms, the table that picks one by
// archive version, and the read-time transform of entry bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "text/exceptions.h"
#include "text/kvstring.h"

class KvArchiveEntry;

// The parameters of one read handed to a transform.
class KvEncryptionParam {
 public:
  KvEncryptionParam(unsigned char* buffer, uint32_t position, uint32_t length, const char* keyText,
                    uint32_t entrySize)
      : buffer(buffer), position(position), length(length), keyText(keyText), entrySize(entrySize) {}
  virtual ~KvEncryptionParam() = default;
  virtual uint32_t GetVersion() const = 0;

  unsigned char* buffer;
  uint32_t position;  // low 32 bits of the entry position of buffer[0]
  uint32_t length;
  KvString keyText;
  // The size of the whole entry: the bytes of an entry under 16 bytes are
  // keyed by the tail rule of that size, however the reads are split.
  uint32_t entrySize;
};

class KvEncryptionParamV0 : public KvEncryptionParam {
 public:
  using KvEncryptionParam::KvEncryptionParam;
  uint32_t GetVersion() const override { return 0; }
};

class KvEncryptionParamV1 : public KvEncryptionParam {
 public:
  using KvEncryptionParam::KvEncryptionParam;
  uint32_t GetVersion() const override { return 1; }
  virtual unsigned char* GetBuffer() const { return buffer; }
  virtual uint32_t GetPosition() const { return position; }
  virtual uint32_t GetLength() const { return length; }
  virtual const char* GetKeyText() const { return keyText.Text(); }
};

class IEncryption {
 public:
  // Raised when a transform receives a parameter block of the wrong version.
  class KvVersionDiffelentException : public KvException {
   public:
    KvVersionDiffelentException() : KvException(0) {}
  };

  virtual ~IEncryption() = default;
  virtual void Transform(unsigned char* out, const unsigned char* in, int32_t length, uint32_t key,
                         int32_t startIndex) const = 0;
  virtual uint32_t MakeKey(const char* text) const = 0;
  virtual void Encrypt(KvEncryptionParam& param) const = 0;
  virtual void Decrypt(KvEncryptionParam& param) const = 0;
};

class KvNoEncryption : public IEncryption {
 public:
  void Transform(unsigned char*, const unsigned char*, int32_t, uint32_t, int32_t) const override {}
  uint32_t MakeKey(const char*) const override { return 0; }
  void Encrypt(KvEncryptionParam&) const override {}
  void Decrypt(KvEncryptionParam&) const override {}
};

class KvXorEncryption : public IEncryption {
 public:
  void Transform(unsigned char* out, const unsigned char* in, int32_t length, uint32_t key,
                 int32_t startIndex) const override;
  uint32_t MakeKey(const char* text) const override;
  // Both transform the bytes of the block that lie in entry positions 0 to 15.
  void Encrypt(KvEncryptionParam& param) const override;
  void Decrypt(KvEncryptionParam& param) const override;

  // MakeKey over exactly n bytes (a key block need not hold a zero byte).
  static uint32_t MakeKeyN(const char* text, uint32_t n);
};

// The process-wide table: KvNoEncryption at 0, KvXorEncryption at 1, made by
// the first KvArchiveHeader and never destroyed.
std::vector<IEncryption*>& EncryptionTable();
void EnsureEncryptionTable();
// Index 1 for versions above 2, else 0.
inline uint32_t EncryptionIndex(uint32_t version) { return version > 2 ? 1u : 0u; }

// A new parameter block for version, owned by the caller.
KvEncryptionParam* CreateEncryptionParam(uint32_t version, unsigned char* buffer, uint32_t position,
                                         uint32_t length, const char* keyText, uint32_t entrySize);

// The read-time transform of entry bytes just read at position.
void DecryptRead(unsigned char* buffer, uint32_t length, uint32_t position,
                 const KvArchiveEntry& entry);
