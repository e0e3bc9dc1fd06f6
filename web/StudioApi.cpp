// The module's C interface for the studio page: sessions, their settings as effect
// file bytes and as `name=value` assignments, undo and redo, time in 16 ms frames,
// and the numbers the page shows. Text results live until the next call that makes
// text; byte results until the next change.

#include <emscripten/emscripten.h>

#include <cmath>
#include <string>

#include "effect/EffectFields.h"
#include "effect/EffectFile.h"
#include "effect/EffectText.h"
#include "effect/Presets.h"
#include "web/StudioSession.h"
#include "web/StudioTexture.h"

namespace {

StudioTexture& Texture()
{
    static StudioTexture texture;
    return texture;
}

std::string lastText;                          // the last text result
unsigned char encoded[EFFECT_FILE_CONE_SIZE];  // the last effect bytes

const char* Keep(const std::string& value)
{
    lastText = value;
    return lastText.c_str();
}

// A float as JSON: the shortest decimal that reads back to the same bits; NaN and
// the infinities, which JSON can't hold, as null.
std::string JsonFloat(float value)
{
    return std::isfinite(value) ? FormatFloat(value) : "null";
}

std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            json += '\\';
        if (c == '\n')
            json += "\\n";
        else
            json += c;
    }
    return json + "\"";
}

// One field's value: a number, true or false, or an array of its components.
std::string JsonValue(const EmitterSettings& s, const EffectField& f)
{
    if (f.kind == FIELD_INT)
        return std::to_string(s.*f.integer);
    if (f.kind == FIELD_SWITCH)
        return s.*f.flag ? "true" : "false";
    if (f.components == 1)
        return JsonFloat(FieldFloat(s, f, 0));
    std::string json = "[";
    for (int c = 0; c < f.components; ++c)
        json += (c ? "," : "") + JsonFloat(FieldFloat(s, f, c));
    return json + "]";
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

// Applies one `name=value` assignment, as `qptool set` takes it, as one change; 1
// when done, 0 with the reason in qp_text().
EMSCRIPTEN_KEEPALIVE int qp_set(StudioSession* session, const char* assignment)
{
    EmitterSettings next = session->Settings();
    std::string error;
    if (!ApplyAssignments(next, {assignment}, error)) {
        Keep(error);
        return 0;
    }
    session->Change(next);
    Keep("");
    return 1;
}

// A number typed into a control for `name` (a field, or one component such as
// "startColor.a"), kept as the editor's value entry keeps it (whole rate and lifetime,
// the cone angle within 0..90) and applied as one change; 1 when done, 0 with the
// reason in qp_text().
EMSCRIPTEN_KEEPALIVE int qp_set_typed(StudioSession* session, const char* name, const char* text)
{
    const std::string whole = name, field = whole.substr(0, whole.find('.'));
    float value = 0.0f;
    if (!ParseFloat(text, value)) {
        Keep(whole + ": not a number");
        return 0;
    }
    for (const EffectField& f : effectFields)
        if (field == f.name) {
            const float kept = KeptAsTyped(f, value);
            const std::string shown = f.kind == FIELD_INT ? std::to_string(static_cast<long>(kept)) : FormatFloat(kept);
            return qp_set(session, (whole + "=" + shown).c_str());
        }
    Keep(whole + ": no such field");
    return 0;
}

// Effect text as `qptool dump` prints it for the current settings.
EMSCRIPTEN_KEEPALIVE const char* qp_effect_text(StudioSession* session)
{
    return Keep(FormatEffect(session->Settings()));
}

// Reads effect text as `qptool new --from` does, on top of the current settings, as
// one change; 1 when done, 0 with "text:LINE: problem" in qp_text() and nothing
// changed.
EMSCRIPTEN_KEEPALIVE int qp_apply_text(StudioSession* session, const char* text)
{
    EmitterSettings next = session->Settings();
    std::string error;
    if (!ParseEffectText(text, "text", next, error)) {
        Keep(error);
        return 0;
    }
    session->Change(next);
    Keep("");
    return 1;
}

// The fields that differ between two sessions' settings, one `name: A -> B` line
// each, as `qptool diff` lists them.
EMSCRIPTEN_KEEPALIVE const char* qp_diff(StudioSession* a, StudioSession* b)
{
    std::string lines;
    for (const std::string& line : DiffEffects(a->Settings(), b->Settings()))
        lines += line + "\n";
    return Keep(lines);
}

// The settings as a JSON object, one member per field of the effect's field table.
EMSCRIPTEN_KEEPALIVE const char* qp_settings(StudioSession* session)
{
    std::string json = "{";
    for (const EffectField& f : effectFields)
        json += std::string(json.size() > 1 ? "," : "") + "\"" + f.name + "\":" + JsonValue(session->Settings(), f);
    return Keep(json + "}");
}

// The field table as JSON: per field its name, kind ("color", "float", "int",
// "switch", "vec3"), component letters, whether only a cone keeps it, the range
// that makes sense (null for no bound) and whether it may not be all zero.
EMSCRIPTEN_KEEPALIVE const char* qp_fields()
{
    static const char* const kinds[] = {"color", "float", "int", "switch", "vec3"};
    std::string json = "[";
    for (const EffectField& f : effectFields) {
        json += std::string(json.size() > 1 ? "," : "") + "{\"name\":\"" + f.name + "\",\"kind\":\"" + kinds[f.kind] +
                "\",\"letters\":\"" + f.letters + "\",\"coneOnly\":" + (f.coneOnly ? "true" : "false") +
                ",\"low\":" + JsonFloat(f.low) + ",\"high\":" + JsonFloat(f.high) +
                ",\"nonZero\":" + (f.nonZero ? "true" : "false") + "}";
    }
    return Keep(json + "]");
}

// The ready-made looks, as `qptool presets` lists them: a JSON array of
// {name, description}.
EMSCRIPTEN_KEEPALIVE const char* qp_presets()
{
    std::string json = "[";
    for (size_t i = 0; i < effectPresetCount; ++i)
        json += std::string(i ? "," : "") + "{\"name\":" + JsonString(effectPresets[i].name) +
                ",\"description\":" + JsonString(effectPresets[i].description) + "}";
    return Keep(json + "]");
}

// Makes the preset `name` the current settings, as `qptool new --preset` makes it
// (the defaults, then the preset's text), as one change; 0 when there is no such
// preset.
EMSCRIPTEN_KEEPALIVE int qp_use_preset(StudioSession* session, const char* name)
{
    const EffectPreset* preset = FindPreset(name);
    EmitterSettings next = DefaultEmitterSettings();
    std::string error;
    if (!preset || !ParseEffectText(preset->text, std::string("preset ") + name, next, error)) {
        Keep(preset ? error : std::string("no preset '") + name + "'");
        return 0;
    }
    session->Change(next);
    Keep("");
    return 1;
}

EMSCRIPTEN_KEEPALIVE const char* qp_text()
{
    return lastText.c_str();
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

// A decoded picture (RGBA, rows top first) made into the texture as qtex makes one
// from a PNG; 1 when taken.
EMSCRIPTEN_KEEPALIVE int qp_texture_from_pixels(const unsigned char* rgba, int width, int height, int components)
{
    if (width <= 0 || height <= 0)
        return 0;
    return Texture().LoadPixels(rgba, uint32_t(width), uint32_t(height), components) ? 1 : 0;
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
