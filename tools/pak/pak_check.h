// pak_check.h: pak check, an update folder seen exactly as the updater will
// see it, before it ships.
#pragma once

#include <string>

#include "tools/pak/pak_cli.h"

namespace paktool {

// pak check [--strict] [--json] [DIR]: finds update.ini in DIR (default the
// current folder) as the updater does, reads its five settings with the
// updater's reader, splits the file list by its rule and reports where the
// profile came from, the settings, each item and the lines of the profile
// the reader never matches. Exit status: 0 when every item will be
// delivered, 1 when one will not (or, with --strict, when there are
// warnings), 2 when update.ini cannot be read at all or DIR is no folder.
int Check(const Invocation& inv);
// Its line in the tool's command table.
extern const CommandSpec kCheckCommand;

}  // namespace paktool
