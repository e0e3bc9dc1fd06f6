#pragma once
// Three 32-bit floats: positions, velocities, the cone axis, turn speeds.
// A plain record with no behaviour; the particle system and the editor copy it by value.

struct Vec3 {
    float x;  // world units (or units per second, or degrees per second, by use)
    float y;
    float z;
};
