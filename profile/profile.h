// profile.h: the reader of update.ini, the updater's own profile format.
//
// The text is split into lines at every run of CR and LF bytes. A line that
// begins with "[" is a section header, one that begins with an apostrophe is
// a comment, any other line is a key line: the key runs to the first TAB or
// "=", the value follows after any TAB, space and "=" and runs to the next
// TAB or the end of the line. "\n" and "\t" in a key line stand for a line
// feed and a TAB. Names compare without regard to case.
#pragma once

#include "text/kvstring.h"

// Reads the whole of fileName through the archive layer (a loose file or a
// .pak entry) and looks key up in section. out is assigned the value when the
// key is present with a non-empty value and is left as it was otherwise.
void GetProfileValue(const char* section, const char* key, KvString& out, const char* fileName);

// Looks key up in section of text, starting at text.cursor. Same outcome for
// out. Afterwards text.cursor stands at the header line of the last section
// header that matched, when one did.
void FindProfileValue(const char* section, const char* key, KvString& out, KvString& text);

// The key-line escapes: "\n" becomes a line feed, then "\t" a TAB, both
// double-byte aware (a trail byte 5C is no backslash). Exposed for the tests,
// which hold it to the result of KvString::Replace.
void ExpandProfileEscapes(const char* begin, const char* end, KvString& out);
