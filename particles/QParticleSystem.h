#pragma once
// One emitter: its settings and its live batches of particles. The nodes it holds are
// borrowed from the QParticleManager it is attached to and go back there when batches
// die or the system is removed. It owns neither its manager nor its texture, and it is
// only updated and drawn through its manager.

#include "math/Color4.h"
#include "math/Vec3.h"

#include <cstdint>

class QParticleBatch;
class QParticleManager;

class QParticleSystem {
public:
    QParticleSystem(const Vec3* position, float velocity, uint32_t texture, const Color4* startColor,
                    const Color4* endColor, float size, uint32_t lifetime, bool removeWhenEmpty, uint32_t emitRate);
    // Copies the settings only: the copy has no particles and no manager.
    QParticleSystem(const QParticleSystem& other);
    // Gives its batches back to its manager, if attached.
    ~QParticleSystem();
    // Assigning would share batches between two systems; use CopySettings.
    QParticleSystem& operator=(const QParticleSystem&) = delete;

    // Copies every setting; batches, emission counters, manager and next stay as they are.
    QParticleSystem& CopySettings(const QParticleSystem& other);

    // Emits what the rate has made due, then ages every batch by t milliseconds.
    // Called by QParticleManager::UpdateAll, only while attached.
    void Update(uint32_t t);
    // Emits up to count particles as one new batch at the head of the list; creates
    // fewer (or none) when the manager's pools can't supply them. Called by Update.
    void Emit(uint16_t count);

    // Setters change only the fields named; live batches keep what they were emitted with.
    // A lifetime or rate past 2^31 - 1 is a signed count's negative bits: it becomes 0.
    void SetColors(const Color4* start, const Color4* end);
    void SetSize(float size);
    void SetTexture(uint32_t texture);
    void SetLifetime(uint32_t lifetime);
    void SetEmitRate(uint32_t rate);  // the current second's counters go on with the new rate
    void SetVelocity(float velocity);
    void SetCone(const Vec3* direction, float degrees);
    void DisableCone();  // the other cone fields keep their values
    void SetRemoveWhenEmpty(bool remove);
    void SetPosition(const Vec3* position);

    QParticleBatch* batches;    // live batches, newest first; null when none
    Vec3 position;              // emitter position: every particle starts here
    Color4 startColor;          // colour of a batch when emitted
    Color4 endColor;            // colour a batch reaches at the end of its life
    bool coneEnabled;           // emission is limited to the cone
    Vec3 coneDirection;         // cone axis as passed to SetCone; not normalised
    float coneTangent;          // tangent of coneAngle
    float coneAngle;            // degrees, as passed to SetCone
    Vec3 coneSpread;            // per-axis spread: length of the axis projected across each axis
    float size;                 // half-extent of a particle's quad along each camera axis
    uint32_t texture;           // GL texture name; owned by the texture object
    uint32_t lifetime;          // life of a new batch, milliseconds, 0 .. 2^31 - 1
    bool removeWhenEmpty;       // leave the manager when the last batch dies
    float velocity;             // emission speed, world units per second
    uint32_t emitRate;          // particles per second, 0 .. 2^31 - 1
    uint32_t secondElapsed;     // milliseconds counted into the current emission second
    int32_t secondEmitted;      // particles emitted against the current second; may be negative
    QParticleManager* manager;  // the manager attached to, or null
    QParticleSystem* next;      // next system in the manager's list
};
