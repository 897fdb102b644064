// records.cpp: the in-memory header; the readers are in pak_format.cpp.
#include "archive/records.h"

#include "archive/encryption.h"

KvArchiveHeader::KvArchiveHeader() { EnsureEncryptionTable(); }
