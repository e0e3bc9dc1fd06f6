#pragma once
// One effect in the studio: its settings, the live effect built from them, its own
// run of the engine's random sequence, the time simulated so far and the settings'
// history for undo and redo. Time advances in whole frames of at most FRAME_MS
// milliseconds, as qprender advances it, so any time shows the same particles as
// `qprender --state` does for the same settings and seed. The view turns with
// the frames at the View menu's speeds, and the billboards are built for it. No GL.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "effect/LiveEffect.h"
#include "math/QMatrix.h"
#include "math/Vec3.h"
#include "particles/QBillboardStream.h"
#include "particles/StateDigest.h"

class StudioSession {
public:
    static constexpr uint32_t FRAME_MS = 16;  // one editor frame as qprender steps it by default

    // The editor's default settings, seed 1, at time 0 with no history.
    StudioSession();

    // Reads an effect file's bytes as the editor reads a file at start-up and, when it
    // is accepted, makes its settings current as one change (undoable). `problems`
    // receives the inspection's sentences, one per line: why a refused file was
    // refused, or what an accepted file holds that the editor doesn't read. A refused
    // file changes nothing and returns its reason (never EFFECT_OK).
    EffectFileResult Load(const unsigned char* bytes, size_t count, std::string& problems);

    // Makes `next` the current settings as one change: the live effect hears of it
    // through the particle system's setters as the editor's value entry calls them,
    // so live batches keep what they were emitted with. Redo history after the
    // current point is dropped. Settings equal to the current ones change nothing.
    void Change(const EmitterSettings& next);
    // Step back or forward through the changes, applied as Change applies them; false
    // (and nothing changes) when there is nothing to undo or redo.
    bool Undo();
    bool Redo();
    bool CanUndo() const { return at > 0; }
    bool CanRedo() const { return at + 1 < history.size(); }

    // The seed of the effect's random sequence (1 is the editor's); restarts the run.
    void SetSeed(uint32_t seed);
    // Back to time 0: the live effect made afresh from the current settings.
    void Restart();
    // One frame of `ms` milliseconds (the editor's frame loop with that frame time): the
    // particles advance and the view turns by speed x ms / 1000 about X, then Y, then Z.
    void Advance(uint32_t ms);
    // Turn speeds in degrees per second about X, Y and Z, from the next frame on.
    void SetTurnSpeed(const Vec3& speed) { turnSpeed = speed; }
    const Vec3& TurnSpeed() const { return turnSpeed; }
    // Turns the view by hand, after the turn the frames have made: about the screen's
    // vertical axis by `across` degrees, then its horizontal axis by `down`. Kept
    // through restarts, so a scrub doesn't undo it.
    void TurnByHand(float across, float down);
    // The View menu's straighten: the turn speeds 0 and the view straight again.
    void Straighten();
    // Builds the billboards of the live particles as the view shows them now.
    void BuildBillboards();
    const QBillboardStream& Billboards() const { return billboards; }
    // The view the billboards were last built for: the frames' turn, then the hand's.
    const QMatrix& View() const { return shown; }
    // The state at `ms` as qprender reaches it: from time 0 in frames of FRAME_MS,
    // the last one shorter when `ms` is not a whole number of frames. Carries on from
    // the current time instead of restarting when that gives the same particles (no
    // change since the restart and `ms` not behind).
    void Seek(uint64_t ms);

    // "frame N time T particles C hash H", as `qprender --state` prints each frame.
    std::string StateLine() const;
    uint64_t LiveParticles() const;
    size_t PoolBytes() const { return effect->manager.PoolBytes(); }
    uint64_t Elapsed() const { return elapsed; }
    uint64_t Frames() const { return frames; }
    uint32_t Seed() const { return seed; }
    const EmitterSettings& Settings() const { return settings; }
    const LiveEffect& Effect() const { return *effect; }

private:
    // Passes the difference between `settings` and `next` to the live system, then
    // takes `next`.
    void Apply(const EmitterSettings& next);

    EmitterSettings settings;              // what the live effect was built from or told of
    std::unique_ptr<LiveEffect> effect;    // the manager and its one system
    std::vector<EmitterSettings> history;  // every state of the settings, oldest first
    size_t at;                             // index of `settings` in `history`
    uint32_t seed;                         // start of the random sequence at time 0
    uint32_t randomState;                  // the sequence's place between frames
    uint64_t elapsed;                      // milliseconds simulated since time 0
    uint64_t frames;                       // frames simulated since time 0
    bool changedSinceRestart;              // the run no longer follows from time 0 alone
    QMatrix view;                          // the frames' accumulated turn, the identity at time 0
    QMatrix handTurn;                      // turns made by hand on top of it
    QMatrix shown;                         // view, then handTurn: what the billboards face
    Vec3 turnSpeed;                        // degrees per second about X, Y, Z
    QBillboardStream billboards;           // rebuilt for each picture
};
