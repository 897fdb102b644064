// process_guard.h: what the updater does to its own process before anything
// else, because it runs elevated from a folder that other programs can write
// to (often the user's Downloads folder).
#pragma once

// Restricts the search for DLLs loaded by name to the system folder, so that
// a DLL planted beside the program (one the shell or the common controls load
// on demand) is never loaded, and keeps the system from showing its own error
// boxes (an empty drive's "no disk") to the user. Where the system has no
// SetDefaultDllDirectories, at least the current folder leaves the search.
void RestrictProcess();
