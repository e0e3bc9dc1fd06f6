#pragma once
// How the editor shows the effect, shared by the editor and by qprender so a preview
// is drawn exactly as the editor draws it: the two projections captured once from GL,
// the fixed blending and texturing state, the camera turn, and one frame's camera and
// particles. Every function needs a current GL context except TurnView.

#include "math/QMatrix.h"
#include "math/Vec3.h"
#include "particles/QParticleManager.h"

// The editor's texture object: a 128 x 128 RGB staging buffer, which only sizes the
// first load, and a pool of 8 GL names that covers every reload.
enum { EFFECT_TEXTURE_SIDE = 128, EFFECT_TEXTURE_COMPONENTS = 3, EFFECT_TEXTURE_NAMES = 8 };

// Captures glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15) and glOrtho(0, 300, 0, 300, -1, 1)
// (column-major, as GL returns them) and leaves the modelview matrix selected, at the identity.
void CaptureProjections(float frustum[16], float ortho[16]);

// Modulated texturing and additive blending (overlapping particles brighten), both enabled.
void SetEffectState();

// Turns the accumulated view further by speed x seconds degrees about X, then Y, then Z.
void TurnView(QMatrix& view, const Vec3& speed, float seconds);

// Clears the colour buffer, puts the effect `distance` in front of the eye turned by `view`,
// and draws every system of `manager` under `frustum`. Leaves the projection matrix selected.
void DrawEffectView(QParticleManager& manager, const QMatrix& view, float distance, const float frustum[16]);
