#include "effect/Presets.h"

// Particles leave the emitter at speeds spread evenly from 0 up to the velocity, so
// the slow ones crowd the emitter: the softer looks start nearly transparent and
// gain alpha with age, which keeps that crowd from burning out to white.
const EffectPreset effectPresets[] = {
    {"fire", "a torch flame: yellow at the base, licking up and dying out red",
     "startColor = 1, 0.6, 0.15, 0.15\n"
     "endColor = 0.6, 0.05, 0, 0\n"
     "size = 0.06\n"
     "velocity = 0.6\n"
     "lifetime = 800\n"
     "emitRate = 300\n"
     "cone = on\n"
     "coneDirection = 0, 1, 0\n"
     "coneAngle = 15\n"},
    {"smoke", "a slow grey plume that spreads and thins as it rises",
     "startColor = 0.3, 0.3, 0.3, 0\n"
     "endColor = 0.5, 0.5, 0.5, 0.15\n"
     "size = 0.1\n"
     "velocity = 0.25\n"
     "lifetime = 3000\n"
     "emitRate = 40\n"
     "cone = on\n"
     "coneDirection = 0, 1, 0\n"
     "coneAngle = 30\n"},
    {"sparks", "white-hot specks sprayed upward, cooling to orange",
     "startColor = 1, 0.95, 0.6, 1\n"
     "endColor = 1, 0.3, 0, 0.2\n"
     "size = 0.01\n"
     "velocity = 0.8\n"
     "lifetime = 600\n"
     "emitRate = 400\n"
     "cone = on\n"
     "coneDirection = 0, 1, 0\n"
     "coneAngle = 60\n"},
    {"fountain", "a jet of blue droplets shooting up and fanning out",
     "startColor = 0.6, 0.9, 1, 0.3\n"
     "endColor = 0.3, 0.5, 1, 0.8\n"
     "size = 0.012\n"
     "velocity = 0.5\n"
     "lifetime = 900\n"
     "emitRate = 600\n"
     "cone = on\n"
     "coneDirection = 0, 1, 0\n"
     "coneAngle = 20\n"},
    {"snow", "white flakes drifting down and apart, brightening as they fall",
     "startColor = 1, 1, 1, 0.1\n"
     "endColor = 1, 1, 1, 1\n"
     "size = 0.014\n"
     "velocity = 0.3\n"
     "lifetime = 3000\n"
     "emitRate = 50\n"
     "cone = on\n"
     "coneDirection = 0, -1, 0\n"
     "coneAngle = 60\n"},
    {"magic", "a cyan burst spreading flat across the view, turning violet",
     "startColor = 0.3, 1, 1, 0.2\n"
     "endColor = 0.9, 0.2, 1, 0.6\n"
     "size = 0.02\n"
     "velocity = 0.35\n"
     "lifetime = 1200\n"
     "emitRate = 250\n"
     "cone = on\n"
     "coneDirection = 0, 0, -1\n"
     "coneAngle = 90\n"},
};
const size_t effectPresetCount = sizeof effectPresets / sizeof effectPresets[0];

const EffectPreset* FindPreset(const std::string& name)
{
    for (size_t i = 0; i < effectPresetCount; ++i)
        if (name == effectPresets[i].name)
            return &effectPresets[i];
    return nullptr;
}
