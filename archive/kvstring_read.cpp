// kvstring_read.cpp: KvString::ReadFrom, the stored-name form of .pak files
// in the archive: a u32 byte count n, taken as signed, then n bytes, no zero.
#include "archive/kvarchive.h"
#include "archive/pak_format.h"
#include "text/kvstring.h"

// A count of 0 leaves a string without a buffer; a negative count gives
// none either and consumes only the four count bytes. A positive count
// larger than what is left of the file is a broken archive: it is refused
// before anything is allocated.
void KvString::ReadFrom(KvArchive& file) {
  Empty();
  const uint32_t left = file.GetRemaining();
  uint32_t n = 0;
  if (!pak_format::ReadU32(file, n)) return;
  if (static_cast<int32_t>(n) <= 0) return;
  if (left < 4 || n > left - 4) pak_format::ThrowBroken(file.GetPath().Text());
  pak_format::ReadNameText(file, *this, n);
}
