// delivery.h: copying the listed files into the destination folder.
#pragma once

#include <cstdint>
#include <vector>

#include "text/kvstring.h"

struct DeliveryResult {
  // The system's error code when the destination folder could not be made
  // or reached (nothing was copied then); 0 when it was there.
  uint32_t folderError = 0;
  // The items that exist but were not delivered.
  std::vector<KvString> notDelivered;
};

// Copies every item that exists into destination with the shell's copy
// engine, one request per item, after making the destination folder. Items
// that do not exist are passed over. An item is not delivered when the
// shell failed or was cancelled, when what is in the destination afterwards
// is not the item byte for byte (a file held open by another process, a
// folder where a file should go), or when a path is longer than the shell
// takes. A destination that cannot be made or reached ends the delivery
// before the first copy, with its error code. While what arrived is compared
// with the item, a window under caption keeps the user informed when the
// comparison has much to read or takes a while.
DeliveryResult DeliverFiles(const std::vector<KvString>& items, const KvString& destination,
                            const char* caption);

// Whether the copy of the item from (a path as ShellPath gives it) arrived
// whole in the folder to: the same bytes for a file, every file and folder
// below it for a folder. The comparison reads every delivered byte again;
// while it runs, a window under caption keeps the user informed when it has
// much to read or takes a while.
bool Arrived(const KvString& from, const KvString& to, const char* caption);

// The path as the copy request carries it: a path with a drive letter or a
// UNC path as it is, any other made full against the current folder. Empty
// when it cannot be made full.
KvString ShellPath(const char* path);
