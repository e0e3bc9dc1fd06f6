// The module's C interface for the studio page: sessions, their settings as effect
// file bytes and as `name=value` assignments, undo and redo, time in 16 ms frames,
// and the numbers the page shows. Text results live until the next call that makes
// text; byte results until the next change.

#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "effect/EffectFile.h"
#include "web/SettingAssignment.h"
#include "web/StudioSession.h"
#include "web/StudioTexture.h"

namespace {

StudioTexture& Texture()
{
    static StudioTexture texture;
    return texture;
}

std::string text;                              // the last text result
unsigned char encoded[EFFECT_FILE_CONE_SIZE];  // the last effect bytes

const char* Keep(const std::string& value)
{
    text = value;
    return text.c_str();
}

// The shortest decimal that reads back to the same float; NaN and the infinities,
// which JSON can't hold, as null.
std::string FloatText(float value)
{
    if (!std::isfinite(value))
        return "null";
    char number[32];
    for (int digits = 1; digits <= 9; ++digits) {
        snprintf(number, sizeof number, "%.*g", digits, double(value));
        if (strtof(number, nullptr) == value)
            break;
    }
    return number;
}

void AddNumbers(std::string& json, const char* name, const float* values, int count)
{
    json += std::string("\"") + name + "\":" + (count > 1 ? "[" : "");
    for (int i = 0; i < count; ++i)
        json += (i ? "," : "") + FloatText(values[i]);
    json += count > 1 ? "]," : ",";
}

}  // namespace

extern "C" {

// A session of its own: an effect with its settings, history, time and view. Each
// function below that takes one works on that session alone.
EMSCRIPTEN_KEEPALIVE StudioSession* qp_session_new()
{
    return new StudioSession;
}

EMSCRIPTEN_KEEPALIVE void qp_session_delete(StudioSession* session)
{
    delete session;
}

// Loads an effect file's bytes; returns 0 when accepted, else the refusal's code
// (nothing changes then). qp_text() holds the inspection's sentences either way.
EMSCRIPTEN_KEEPALIVE int qp_load(StudioSession* session, const unsigned char* bytes, int count)
{
    std::string problems;
    const EffectFileResult result = session->Load(bytes, size_t(count < 0 ? 0 : count), problems);
    Keep(problems);
    return int(result);
}

// The bytes the editor's Save writes for the current settings (65 or 81 of them);
// qp_encode returns their count and qp_encoded where they are.
EMSCRIPTEN_KEEPALIVE int qp_encode(StudioSession* session)
{
    return int(EncodeEffect(session->Settings(), encoded));
}

EMSCRIPTEN_KEEPALIVE const unsigned char* qp_encoded()
{
    return encoded;
}

// Applies one `name=value` assignment as one change; 1 when done, 0 with the reason
// in qp_text().
EMSCRIPTEN_KEEPALIVE int qp_set(StudioSession* session, const char* assignment)
{
    EmitterSettings next = session->Settings();
    std::string error;
    if (!AssignSetting(next, assignment, error)) {
        Keep(error);
        return 0;
    }
    session->Change(next);
    Keep("");
    return 1;
}

// The settings as a JSON object with one member per field (NaN as null).
EMSCRIPTEN_KEEPALIVE const char* qp_settings(StudioSession* session)
{
    const EmitterSettings& s = session->Settings();
    std::string json = "{";
    AddNumbers(json, "startColor", &s.startColor.r, 4);
    AddNumbers(json, "endColor", &s.endColor.r, 4);
    AddNumbers(json, "size", &s.size, 1);
    AddNumbers(json, "velocity", &s.velocity, 1);
    json += "\"lifetime\":" + std::to_string(s.lifetime) + ",\"emitRate\":" + std::to_string(s.emitRate) + ",";
    json += std::string("\"cone\":") + (s.coneEnabled ? "true" : "false") + ",";
    AddNumbers(json, "coneDirection", &s.coneDirection.x, 3);
    AddNumbers(json, "coneAngle", &s.coneAngle, 1);
    json.back() = '}';
    return Keep(json);
}

EMSCRIPTEN_KEEPALIVE const char* qp_text()
{
    return text.c_str();
}

EMSCRIPTEN_KEEPALIVE int qp_undo(StudioSession* session)
{
    return session->Undo() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qp_redo(StudioSession* session)
{
    return session->Redo() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qp_can_undo(StudioSession* session)
{
    return session->CanUndo() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qp_can_redo(StudioSession* session)
{
    return session->CanRedo() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void qp_set_seed(StudioSession* session, unsigned seed)
{
    session->SetSeed(seed);
}

EMSCRIPTEN_KEEPALIVE unsigned qp_seed(StudioSession* session)
{
    return session->Seed();
}

EMSCRIPTEN_KEEPALIVE void qp_restart(StudioSession* session)
{
    session->Restart();
}

// Frames of StudioSession::FRAME_MS, as live playback advances.
EMSCRIPTEN_KEEPALIVE void qp_step(StudioSession* session, int count)
{
    for (int i = 0; i < count; ++i)
        session->Advance(StudioSession::FRAME_MS);
}

// Times past a day of effect time (qprender's limit too) are a day; NaN and
// negative times are 0.
EMSCRIPTEN_KEEPALIVE void qp_seek(StudioSession* session, double ms)
{
    const double longest = 86400000.0;
    session->Seek(ms > 0 ? uint64_t(ms < longest ? ms : longest) : 0);
}

EMSCRIPTEN_KEEPALIVE const char* qp_state(StudioSession* session)
{
    return Keep(session->StateLine());
}

EMSCRIPTEN_KEEPALIVE double qp_elapsed(StudioSession* session)
{
    return double(session->Elapsed());
}

EMSCRIPTEN_KEEPALIVE double qp_particles(StudioSession* session)
{
    return double(session->LiveParticles());
}

EMSCRIPTEN_KEEPALIVE double qp_pool_bytes(StudioSession* session)
{
    return double(session->PoolBytes());
}

// Builds the billboards of the live particles for the current view and returns the
// vertex count; the vertices (36 bytes each: x y z, s t, r g b a), the systems'
// strips and the view's 16 floats stay where the functions below say until the next
// build or frame.
EMSCRIPTEN_KEEPALIVE int qp_billboards(StudioSession* session)
{
    session->BuildBillboards();
    return session->Billboards().VertexCount();
}

EMSCRIPTEN_KEEPALIVE const QBillboardVertex* qp_billboard_vertices(StudioSession* session)
{
    return session->Billboards().Vertices();
}

EMSCRIPTEN_KEEPALIVE int qp_billboard_systems(StudioSession* session)
{
    return int(session->Billboards().Systems().size());
}

EMSCRIPTEN_KEEPALIVE int qp_billboard_first(StudioSession* session, int system)
{
    return session->Billboards().Systems()[size_t(system)].first;
}

EMSCRIPTEN_KEEPALIVE int qp_billboard_count(StudioSession* session, int system)
{
    return session->Billboards().Systems()[size_t(system)].count;
}

EMSCRIPTEN_KEEPALIVE const float* qp_view(StudioSession* session)
{
    return session->View().GetData();
}

EMSCRIPTEN_KEEPALIVE void qp_set_turn(StudioSession* session, float x, float y, float z)
{
    session->SetTurnSpeed(Vec3{x, y, z});
}

EMSCRIPTEN_KEEPALIVE void qp_turn_by_hand(StudioSession* session, float across, float down)
{
    session->TurnByHand(across, down);
}

EMSCRIPTEN_KEEPALIVE void qp_straighten(StudioSession* session)
{
    session->Straighten();
}

// The texture the page draws with: the built-in particle spot, or a QTEX file's
// bytes (1 when taken; 0 and the earlier texture stays when the loader would refuse
// them). Its levels, largest first, for the page to upload one by one.
EMSCRIPTEN_KEEPALIVE int qp_texture_default()
{
    return Texture().LoadDefault() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qp_texture_load(const unsigned char* bytes, int count)
{
    return Texture().Load(bytes, size_t(count < 0 ? 0 : count)) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qp_texture_components()
{
    return Texture().Components();
}

EMSCRIPTEN_KEEPALIVE int qp_texture_levels()
{
    return int(Texture().Levels().size());
}

EMSCRIPTEN_KEEPALIVE int qp_texture_width(int level)
{
    return int(Texture().Levels()[size_t(level)].width);
}

EMSCRIPTEN_KEEPALIVE int qp_texture_height(int level)
{
    return int(Texture().Levels()[size_t(level)].height);
}

EMSCRIPTEN_KEEPALIVE const unsigned char* qp_texture_pixels(int level)
{
    return Texture().Pixels(size_t(level));
}

}  // extern "C"
