#pragma once
// FrameFit: where to aim the camera, and from how far, so that an effect's particles
// fill the frame: the bounds of the particles at every capture, each kept with the
// view turn of that moment, then the centre of all of them as the aim and the
// smallest distance (1 to 10, as the View menu keeps it) at which every capture's
// bounds, billboards included, fall inside the projection. No GL.

#include <string>
#include <vector>

#include "math/QMatrix.h"
#include "math/Vec3.h"
#include "particles/QParticleManager.h"

class FrameFit {
public:
    // Notes the bounds of every particle of `particles` (quads `size` world units
    // from their centre along each camera axis) as the view turned by `view` sees them.
    // Particles at infinite or undefined places are left out.
    void Add(const QParticleManager& particles, const QMatrix& view, float size);

    // The aim and distance, as short decimals that read back to the values used, so
    // that the printed options repeat the shot exactly. False when no capture held
    // a particle: the aim stays the emitter and the distance `fallback`.
    bool Choose(float fallback, Vec3& aim, float& distance) const;

    // "--look-at X,Y,Z --distance D" for the aim and distance.
    static std::string Options(const Vec3& aim, float distance);

private:
    struct Seen {
        Vec3 low, high;  // the particles' centres, world units
        float turn[9];   // the view's rotation, row r column c at 3r + c
        float size;      // billboard half-extent
    };
    std::vector<Seen> seen;  // one per capture (per effect in a comparison) with particles
};
