#include "web/StudioSession.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "effect/EffectCheck.h"
#include "files/ReplaceFile.h"
#include "math/QRandom.h"

namespace {

// The in-memory file system's one scratch file: the effect inspection reads bytes
// from a file, as every tool does.
const char* const scratchEffect = "/studio-effect.QP";

bool Same(const void* a, const void* b, size_t size)
{
    return memcmp(a, b, size) == 0;
}

// Compares bit patterns, so a NaN set in place of another NaN still counts as a change.
bool SameSettings(const EmitterSettings& a, const EmitterSettings& b)
{
    return Same(&a.startColor, &b.startColor, sizeof a.startColor) &&
           Same(&a.endColor, &b.endColor, sizeof a.endColor) && Same(&a.size, &b.size, sizeof a.size) &&
           Same(&a.velocity, &b.velocity, sizeof a.velocity) && a.lifetime == b.lifetime && a.emitRate == b.emitRate &&
           a.coneEnabled == b.coneEnabled && Same(&a.coneDirection, &b.coneDirection, sizeof a.coneDirection) &&
           Same(&a.coneAngle, &b.coneAngle, sizeof a.coneAngle);
}

}  // namespace

StudioSession::StudioSession()
    : settings(DefaultEmitterSettings()),
      effect(new LiveEffect(settings, 0)),
      history(1, settings),
      at(0),
      seed(1),
      randomState(1),
      elapsed(0),
      frames(0),
      changedSinceRestart(false),
      turnSpeed{0.0f, 0.0f, 0.0f}
{}

EffectFileResult StudioSession::Load(const unsigned char* bytes, size_t count, std::string& problems)
{
    problems.clear();
    std::string why;
    if (!ReplaceFileWhole(scratchEffect, bytes, count, why)) {
        problems = "can't be read: " + why;
        return EFFECT_UNREADABLE;
    }
    const EffectReport report = InspectEffectFile(scratchEffect);
    remove(scratchEffect);
    for (const std::string& problem : report.problems)
        problems += problem + "\n";
    if (report.result == EFFECT_OK)
        Change(report.settings);
    return report.result;
}

void StudioSession::Change(const EmitterSettings& next)
{
    if (SameSettings(settings, next))
        return;
    history.resize(at + 1);
    history.push_back(next);
    ++at;
    Apply(next);
}

bool StudioSession::Undo()
{
    if (!CanUndo())
        return false;
    --at;
    Apply(history[at]);
    return true;
}

bool StudioSession::Redo()
{
    if (!CanRedo())
        return false;
    ++at;
    Apply(history[at]);
    return true;
}

void StudioSession::Apply(const EmitterSettings& next)
{
    QParticleSystem& system = effect->system;
    if (!Same(&settings.startColor, &next.startColor, sizeof next.startColor) ||
        !Same(&settings.endColor, &next.endColor, sizeof next.endColor))
        system.SetColors(&next.startColor, &next.endColor);
    if (settings.emitRate != next.emitRate)
        system.SetEmitRate(static_cast<uint32_t>(next.emitRate));
    if (settings.lifetime != next.lifetime)
        system.SetLifetime(static_cast<uint32_t>(next.lifetime));
    if (!Same(&settings.size, &next.size, sizeof next.size))
        system.SetSize(next.size);
    if (!Same(&settings.velocity, &next.velocity, sizeof next.velocity))
        system.SetVelocity(next.velocity);
    const bool coneChanged = !Same(&settings.coneDirection, &next.coneDirection, sizeof next.coneDirection) ||
                             !Same(&settings.coneAngle, &next.coneAngle, sizeof next.coneAngle);
    if (next.coneEnabled && (coneChanged || !settings.coneEnabled))
        system.SetCone(&next.coneDirection, next.coneAngle);
    else if (!next.coneEnabled && settings.coneEnabled)
        system.DisableCone();
    settings = next;
    changedSinceRestart = true;
}

void StudioSession::SetSeed(uint32_t newSeed)
{
    seed = newSeed;
    Restart();
}

void StudioSession::Restart()
{
    effect.reset();  // the old manager goes before the new one takes its memory
    effect.reset(new LiveEffect(settings, 0));
    randomState = seed;
    elapsed = 0;
    frames = 0;
    changedSinceRestart = false;
    view.Identity();
}

void StudioSession::Advance(uint32_t ms)
{
    QSeedRandom(randomState);
    effect->manager.UpdateAll(ms);
    randomState = QRandomState();
    const float seconds = float(ms / 1000.0);
    view.RotateX(turnSpeed.x * seconds);
    view.RotateY(turnSpeed.y * seconds);
    view.RotateZ(turnSpeed.z * seconds);
    elapsed += ms;
    ++frames;
}

void StudioSession::Seek(uint64_t ms)
{
    // Frames of FRAME_MS from time 0 reach only multiples of FRAME_MS; from any other
    // time the frames after it would fall elsewhere than a run from time 0 puts them.
    if (ms == elapsed && !changedSinceRestart)
        return;
    if (changedSinceRestart || ms < elapsed || elapsed % FRAME_MS != 0)
        Restart();
    while (elapsed < ms) {
        const uint64_t left = ms - elapsed;
        Advance(uint32_t(left < FRAME_MS ? left : FRAME_MS));
    }
}

std::string StudioSession::StateLine() const
{
    const StateDigest d = DigestParticles(effect->manager);
    char line[128];
    snprintf(line, sizeof line, "frame %" PRIu64 " time %" PRIu64 " particles %" PRIu64 " hash %016" PRIx64, frames,
             elapsed, d.particles, d.hash);
    return line;
}

void StudioSession::TurnByHand(float across, float down)
{
    handTurn.RotateY(across);
    handTurn.RotateX(down);
}

void StudioSession::Straighten()
{
    turnSpeed = Vec3{0.0f, 0.0f, 0.0f};
    view.Identity();
    handTurn.Identity();
}

void StudioSession::BuildBillboards()
{
    shown = view;
    shown.Multiply(handTurn);
    billboards.Build(effect->manager, shown);
}

uint64_t StudioSession::LiveParticles() const
{
    uint64_t count = 0;
    for (const QParticleBatch* batch = effect->system.batches; batch; batch = batch->next)
        for (const QParticle* p = batch->particles; p; p = p->next)
            ++count;
    return count;
}
