// install_folder.h: where the product is installed, from the registry.
#pragma once

#include "text/kvstring.h"

// The install folder of the product whose Uninstall key is named guid, with
// subDir below it, into destination. The key is looked for in the default
// view of HKEY_LOCAL_MACHINE, then in its 64-bit view, then in
// HKEY_CURRENT_USER; the first with a non-empty InstallLocation wins. False,
// destination unchanged, when none has one.
bool FindInstallFolder(const KvString& guid, const KvString& subDir, KvString& destination);

// The system's Program Files folder as the registry holds it, or empty.
void ReadProgramFilesFolder(KvString& destination);
