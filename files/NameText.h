#pragma once
// File and entry names as a message shows them: a name comes from the user, an archive
// or a folder listing and may hold bytes a terminal acts on (an escape sequence can
// retitle or clear it). Pure text work.

#include <string>

// `name` with every control byte (0x00-0x1f, 0x7f, and the C1 controls U+0080-U+009F
// as UTF-8), every byte that is not part of valid UTF-8, and the backslash written
// as \xNN (two lower-case hex digits); everything else, UTF-8 letters included, as it is.
std::string EscapedName(const std::string& name);
