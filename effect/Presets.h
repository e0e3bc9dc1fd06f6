#pragma once
// Ready-made looks for `qptool new --preset`: each is effect text as dump prints
// it, tuned to read as its name on the default particle texture at the editor's
// camera. The engine has no gravity, so rising and falling are cone axes and
// fading is the start-to-end colour ramp.

#include <cstddef>
#include <string>

struct EffectPreset {
    const char* name;
    const char* description;  // one short line for `qptool presets`
    const char* text;         // `name = value` lines, every field of the effect
};

extern const EffectPreset effectPresets[];
extern const size_t effectPresetCount;

// The preset called `name`, or null.
const EffectPreset* FindPreset(const std::string& name);
