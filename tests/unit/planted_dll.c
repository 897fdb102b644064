/* planted_dll.c: a DLL of a name no system folder holds, placed beside the
 * test program as an attacker would place one beside the updater. */
#include <windows.h>

__declspec(dllexport) int KvPlantedMarker(void) { return 42; }
