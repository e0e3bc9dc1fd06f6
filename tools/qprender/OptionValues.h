#pragma once
// The values qprender's options take, read from their text: whole numbers, floats,
// comma lists, colours, frame sizes, and a file name's extension. Each parse is false
// (leaving its outputs alone or partly set) when the text is not wholly such a value;
// the option that asked words the message. Prints nothing.

#include <cstdint>
#include <string>
#include <vector>

// Digits alone (no sign, no blank), in [low, high].
bool ParseUnsigned(const std::string& text, uint32_t low, uint32_t high, uint32_t& value);

// Any text strtof reads whole to a finite float (leading blanks and hex included, as
// the options have always taken them).
bool ParseFloatText(const std::string& text, float& value);

// The pieces between commas; one piece (the whole text) when there is none.
std::vector<std::string> SplitCommas(const std::string& text);

// "R,G,B" with each 0 to 1, or "#RRGGBB".
bool ParseColour(const std::string& text, float rgb[3]);

// "WIDTHxHEIGHT", each 1 to RENDER_MAX_SIDE.
bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height);

// The name's extension from its last '.', lower case; empty when there is none.
std::string LowerExtension(const std::string& path);
