#pragma once
// EffectView: the one place that sets GL up for an effect and draws a frame of it, so
// that the editor and qprender's previews draw exactly alike: the two projections
// captured once from GL, modulated texturing and additive blending, the camera turn,
// and each frame's clear, camera and particles. Owns the captured projections; the
// accumulated turn and the particles belong to the caller. Every operation needs a
// current GL context except Turn.

#include "math/QMatrix.h"
#include "math/Vec3.h"
#include "particles/QParticleManager.h"

// The editor's texture object: a 128 x 128 RGB staging buffer, which only sizes the
// first load, and a pool of 8 GL names that covers every reload.
enum { EFFECT_TEXTURE_SIDE = 128, EFFECT_TEXTURE_COMPONENTS = 3, EFFECT_TEXTURE_NAMES = 8 };

class EffectView {
public:
    // The editor's start-up state: unpack alignment 1; glFrustum(-0.2, 0.2, -0.2, 0.2,
    // 0.5, 15) and glOrtho(0, 300, 0, 300, -1, 1) captured (column-major, as GL returns
    // them); modulated texturing and additive blending (overlapping particles brighten),
    // both enabled; the modelview matrix selected, at the identity.
    void SetUp();

    // Turns the accumulated view further by speed x seconds degrees about X, then Y,
    // then Z (speed in degrees per second).
    static void Turn(QMatrix& view, const Vec3& speed, float seconds);

    // One frame: clears to `background` (0..1 each, alpha 0), puts the point `aim` of the
    // effect `distance` in front of the eye, the effect turned by `view` about that point,
    // and draws every system of `manager` under the perspective projection. The editor
    // aims at the emitter, the origin. Leaves the projection matrix selected.
    void Draw(QParticleManager& manager, const QMatrix& view, float distance, const float background[3],
              const Vec3& aim = Vec3{0.0f, 0.0f, 0.0f}) const;

    // The 300 x 300 overlay projection, (0, 0) at the bottom left, for the editor's text.
    const float* Overlay() const { return ortho; }

private:
    float frustum[16] = {};  // the perspective projection the effect is drawn under
    float ortho[16] = {};    // the overlay projection
};
