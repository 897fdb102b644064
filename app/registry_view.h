// registry_view.h: what an expandable registry value from the 64-bit view
// means to this program.
#pragma once

#include <functional>

#include "text/kvstring.h"

// Whether the environment defines a variable of this name.
using KvVariableDefined = std::function<bool(const char* name)>;

// A value of the registry's 64-bit view names the 64-bit Program Files
// folders with %ProgramFiles% and %CommonProgramFiles%; a 32-bit program on
// a 64-bit system, expanding them in its own environment, would get the
// (x86) folders instead. Returns the value with those two references
// changed to %ProgramW6432% and %CommonProgramW6432%, which name the 64-bit
// folders in every process of a 64-bit system, so that expanding the result
// gives what the value meant. A reference is left as it is when the
// environment lacks its 64-bit name (a 32-bit system, which has one view).
// References are found the way the expansion finds them: a name between
// two percent signs, compared without regard to case; a name the
// environment does not define is no reference, and its closing percent sign
// may open the next one.
KvString WithVariablesOf64BitView(const char* value, const KvVariableDefined& defined);
