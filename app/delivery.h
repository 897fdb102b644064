// delivery.h: copying the listed files into the destination folder.
#pragma once

#include <vector>

#include "text/kvstring.h"

// Copies every item that exists into destination with the shell's copy
// engine, one request per item, after making the destination folder. Items
// that do not exist are passed over. Returns the items that exist but were
// not delivered: the shell failed or was cancelled, what is in the
// destination afterwards is not the item byte for byte (a file held open by
// another process, a folder where a file should go), a path is longer than
// the shell takes, or the destination folder cannot be made.
std::vector<KvString> DeliverFiles(const std::vector<KvString>& items, const KvString& destination);

// The path as the copy request carries it: a path with a drive letter or a
// UNC path as it is, any other made full against the current folder. Empty
// when it cannot be made full.
KvString ShellPath(const char* path);
