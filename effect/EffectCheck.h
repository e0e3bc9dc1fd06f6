#pragma once
// Reads an effect file exactly as the editor does (through the effect-file code)
// and says in plain words what is wrong with it: why it is refused, or which parts
// the editor doesn't read (fields the end of a short file doesn't reach, an
// incomplete cone axis, trailing bytes). Prints nothing itself.

#include <cstddef>
#include <string>
#include <vector>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"

struct EffectReport {
    EffectFileResult result;            // EFFECT_OK when the editor accepts the file
    EmitterSettings settings;           // what the editor runs after loading it at start-up
    size_t fileSize;                    // bytes in the file; 0 when unreadable
    bool partial;                       // accepted, but not every byte is a whole field it reads
    std::vector<std::string> problems;  // one plain sentence each; empty for a whole file
};

// One sentence per value the engine can't use as it stands, from the ranges of the
// field table: a component outside its field's range, or a cone axis of all zeros,
// for the fields the settings hold (the cone's only while it is on). Each names the
// field and the value and says what the engine does with it, e.g. "coneAngle = 120 is
// outside 0..90; the engine spreads ...". Not-a-number values are left out: no range
// holds them or excludes them. Empty for sensible settings.
std::vector<std::string> RangeWarnings(const EmitterSettings& s);

// Never fails as such: a refused or unreadable file gives result != EFFECT_OK and
// one sentence in `problems`.
EffectReport InspectEffectFile(const char* name);
