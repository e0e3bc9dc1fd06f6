#pragma once
// The editable settings of the one effect: what value entry changes, what the
// effect file stores and what the particle system is built from. A plain record
// with no behaviour: the editor keeps one copy, the tools make their own.

#include "math/Color4.h"
#include "math/Vec3.h"

struct EmitterSettings {
    Color4 startColor;   // colour of a particle when emitted, nominally 0..1 per channel (not clamped)
    Color4 endColor;     // colour at the end of a particle's life
    float size;          // half-extent of a particle's quad along each camera axis, world units
    float velocity;      // emission speed, world units per second
    int lifetime;        // particle lifetime, milliseconds (the system lives a negative one as 0)
    int emitRate;        // particles per second (a negative rate emits nothing)
    bool coneEnabled;    // emission is limited to the cone below
    Vec3 coneDirection;  // cone axis, not normalised
    float coneAngle;     // cone half-angle in degrees; value entry keeps it within 0..90
};

// The settings of a new effect: white fading to transparent white, size 0.02,
// speed 0.2, 1000 ms, 100 per second, cone off with axis (0, 0, -1) and 90 degrees.
EmitterSettings DefaultEmitterSettings();
