#pragma once
// One effect running as it runs in the editor, without the editor: the live effect
// the editor's start-up builds from the settings, advanced by fixed frame times,
// the view turned at the View menu's speeds, and drawn with the editor's
// projection, camera distance and blending. The GL part (SetUpEditorGL, Draw)
// needs a current context; simulation alone needs none.
// Owns the live effect and the view turn; not the texture.

#include <cstdint>

#include "effect/EffectView.h"
#include "effect/EmitterSettings.h"
#include "effect/LiveEffect.h"
#include "math/QMatrix.h"
#include "math/Vec3.h"
#include "particles/StateDigest.h"

class PreviewRenderer {
public:
    // The effect draws from its own run of the engine's random sequence, started
    // from `seed`; seed 1 is the editor's start-up seed, so the preview draws the
    // same particles as a freshly started editor with these settings. Two renderers
    // can advance in turn without taking each other's draws.
    // `texture` is the GL name to draw with (0 when nothing is drawn).
    PreviewRenderer(const EmitterSettings& settings, uint32_t texture, float cameraDistance, Vec3 turnSpeed,
                    uint32_t seed = 1);
    PreviewRenderer(const PreviewRenderer&) = delete;
    PreviewRenderer& operator=(const PreviewRenderer&) = delete;

    // One editor frame of `ms` milliseconds: the particles advance by ms and the
    // view turns by speed x ms / 1000 about X, then Y, then Z.
    void Advance(uint32_t ms);

    // Clears to `background` (alpha 0, as the editor clears) and draws the particles
    // as the editor's frame loop does, under the captured projection.
    void Draw(const float background[3]);

    // The fixed GL state of the editor's start-up (EffectView::SetUp).
    void SetUpEditorGL();

    // Aims the camera at `point` (the view turns about it) from `distance`; the
    // editor's aim is the emitter, the origin.
    void Aim(const Vec3& point, float distance);

    const QParticleManager& Particles() const { return effect.manager; }
    const QMatrix& ViewTurn() const { return viewRotation; }

    StateDigest Digest() const { return DigestParticles(effect.manager); }
    uint64_t Elapsed() const { return elapsed; }

private:
    LiveEffect effect;     // the manager and its one system, as the editor's start-up makes them
    QMatrix viewRotation;  // accumulated view turn, as the editor's
    float cameraDistance;  // world units from the eye to the aim point
    Vec3 aim;              // the point of the effect the camera looks at
    Vec3 turnSpeed;        // degrees per second about X, Y, Z
    EffectView view;       // the projections captured by SetUpEditorGL, and the drawing
    uint64_t elapsed;      // milliseconds simulated so far
    uint32_t randomState;  // this effect's place in the random sequence between frames
};
