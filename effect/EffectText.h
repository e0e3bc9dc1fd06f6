#pragma once
// The effect settings as text: one canonical `name = value` line per field, the
// `name=value` assignments that `qptool new` and `qptool set` take, and the list
// of fields that differ between two effects. Floats are printed so that they read
// back to the same bits. Works on EmitterSettings only; bytes and files are the
// effect-file code's business.

#include <string>
#include <vector>

#include "effect/EmitterSettings.h"

// Canonical text of `s`, fields in the settings' own order, one line each, '\n'
// after every line. The cone's axis and angle appear only with `cone = on`, since
// a file without a cone stores neither.
std::string FormatEffect(const EmitterSettings& s);

// Applies every assignment to `s`, or none: on the first bad one `s` is left as it
// was, `error` names the assignment and what is wrong, and false is returned.
// Accepted names: the whole fields (startColor=1,0.5,0,1 with commas and/or
// blanks between components, cone=on|off, coneDirection=0,0,-1, ...) and single
// components (startColor.g=0.5, coneDirection.z=-1). Setting the cone's axis or
// angle while the cone ends up off is refused: the file wouldn't keep them.
// Values are taken as the file can hold them, unclamped (the editor's value entry
// clamps a typed cone angle to 0..90, but a file may hold any float there, and
// what dump prints must write back to the same bytes).
bool ApplyAssignments(EmitterSettings& s, const std::vector<std::string>& assignments, std::string& error);

// Reads effect text as FormatEffect prints it into `s`: one assignment of any form
// ApplyAssignments takes per line, blanks around the '=' allowed; blank lines and
// lines whose first non-blank is '#' are skipped (dump --textconv's problem lines).
// Fields the text doesn't name keep their value in `s`; a field named twice takes
// the later value. On the first bad line, or a text with no assignment at all, `s`
// is left as it was, `error` is "SOURCE:LINE: problem" ("SOURCE: problem" for an
// empty text) and false is returned.
bool ParseEffectText(const std::string& text, const std::string& source, EmitterSettings& s, std::string& error);

// One line per field that differs (bit for bit), "name: A -> B", in the order of
// FormatEffect. Cone axis and angle count as absent on a side whose cone is off.
std::vector<std::string> DiffEffects(const EmitterSettings& a, const EmitterSettings& b);

// The text of a float: for finite values the shortest decimal that reads back to
// the same bits ("0.2", "-0", "1e-45", "3.4028235e+38"); "inf", "-inf", "nan" for
// the quiet NaN 0x7fc00000, and "nan(0xXXXXXXXX)" with the whole bit pattern for
// every other NaN.
std::string FormatFloat(float value);

// Parses what FormatFloat prints, and any decimal or hexadecimal float that
// strtof takes, the whole text and nothing else. False on anything else,
// leaving `value` alone.
bool ParseFloat(const std::string& text, float& value);
