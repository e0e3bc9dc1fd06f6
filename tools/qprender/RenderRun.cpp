#include "tools/qprender/RenderRun.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effect/EffectCheck.h"
#include "effect/EffectText.h"
#include "effect/EffectView.h"
#include "effect/EmitterSettings.h"
#include "files/NameText.h"
#include "platform/OffscreenLL.h"
#include "resources/QBitmapFont.h"
#include "resources/QTexture.h"
#include "tools/qprender/FrameFit.h"
#include "tools/qprender/OutputSink.h"
#include "tools/qprender/PanelLabels.h"
#include "tools/qprender/PreviewRenderer.h"
#include "tools/qprender/ProgressLine.h"
#include "resources/QTextureChain.h"

namespace {

// Reads the effect as the editor's start-up does; a file the editor would replace
// with the defaults is an error here, since the picture would not show it.
bool ReadSettings(const std::string& path, EmitterSettings& settings, FILE* messages)
{
    if (path.empty()) {
        settings = DefaultEmitterSettings();
        return true;
    }
    const EffectReport report = InspectEffectFile(path.c_str());
    for (const std::string& problem : report.problems)
        fprintf(messages, "qprender: %s: %s\n", EscapedName(path).c_str(), problem.c_str());
    if (report.result != EFFECT_OK)
        return false;
    settings = report.settings;
    return true;
}

unsigned char ContextKinds(RenderContext context)
{
    switch (context) {
    case RenderContext::Egl: return OFFSCREEN_EGL;
    case RenderContext::Sdl: return OFFSCREEN_SDL;
    case RenderContext::Any: break;
    }
    return OFFSCREEN_ANY;
}

// The GL context for the whole run; gone when the run ends, whichever way.
struct OffscreenScope {
    bool active = false;
    ~OffscreenScope()
    {
        if (active)
            shutdownOffscreenLL();
    }
};

// Lays two frames (bottom-up RGBA, width x height) side by side with their
// difference, every channel's absolute difference times the scale.
void ComposeComparison(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t width, uint32_t height,
                       std::vector<uint8_t>& out)
{
    const size_t row = size_t(width) * 4;
    out.resize(row * 3 * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* ra = a.data() + y * row;
        const uint8_t* rb = b.data() + y * row;
        uint8_t* to = out.data() + y * row * 3;
        std::copy(ra, ra + row, to);
        std::copy(rb, rb + row, to + row);
        uint8_t* difference = to + 2 * row;
        for (size_t i = 0; i < row; ++i) {
            const int d = std::abs(int(ra[i]) - int(rb[i])) * int(RENDER_DIFFERENCE_SCALE);
            difference[i] = uint8_t(std::min(255, d));
        }
    }
}

// The GL context and the texture, for a run that writes pictures. False after
// saying why on `messages`.
bool SetUpGL(const RenderOptions& o, OffscreenScope& scope, std::unique_ptr<QTexture>& texture, FILE* messages)
{
    if (setupOffscreenLL(int(o.width), int(o.height), ContextKinds(o.context)) != 0) {
        fprintf(messages, "qprender: %s\n", offscreenErrorLL());
        return false;
    }
    scope.active = true;
    texture.reset(
        new QTexture(EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_COMPONENTS, EFFECT_TEXTURE_NAMES));
    TextureFailure failure;
    if (!texture->Load(o.texturePath.c_str(), nullptr, &failure)) {
        if (failure.fault == TextureFault::Unreadable)
            fprintf(messages, "qprender: %s: can't be read: %s\n", EscapedName(o.texturePath).c_str(),
                    failure.reason.c_str());
        else
            fprintf(messages, "qprender: %s: not a QTEX texture that the engine can load\n",
                    EscapedName(o.texturePath).c_str());
        return false;
    }
    const std::string broken = BrokenMipmapChain(o.texturePath.c_str());
    if (!broken.empty())
        fprintf(messages, "qprender: %s: warning: %s\n", EscapedName(o.texturePath).c_str(), broken.c_str());
    return true;
}

// Where a comparison's two effects part: the first simulated frame and the first
// capture that differ.
struct Comparison {
    uint64_t frames = 0;                 // frames simulated so far
    uint64_t firstDifferentFrame = 0;    // 1 up; 0: the simulations agree so far
    uint64_t firstDifferentTime = 0;     // ms, of that frame
    uint32_t firstDifferentCapture = 0;  // 1 up; 0: the pictures agree so far
};

// One run's effects (the second only in a comparison), its output and what it
// has found so far.
struct Run {
    const RenderOptions& o;
    PreviewRenderer& preview;
    PreviewRenderer* against;  // null unless comparing
    OutputSink* sink;          // null when no pictures are written
    FILE* stateOut;
    const PanelLabels* labels;  // a comparison's panel names; null when unlabelled
    Comparison comparison;
    std::vector<uint8_t> frame, againstFrame, composed;  // RGBA, bottom row first
    ProgressLine* stepProgress = nullptr;                // counts simulation steps when captures are few
};

// Simulates both effects in steps of at most --step up to `target` ms, printing
// the digests and noting the first frame where the two differ.
void StepTo(Run& r, uint64_t target)
{
    while (r.preview.Elapsed() < target) {
        const uint64_t left = target - r.preview.Elapsed();
        const uint32_t ms = uint32_t(left < r.o.stepMs ? left : r.o.stepMs);
        r.preview.Advance(ms);
        const uint64_t frame = ++r.comparison.frames;
        if (r.stepProgress)
            r.stepProgress->Update(uint32_t(frame));
        const StateDigest d = r.preview.Digest();
        if (r.o.printState)
            fprintf(r.stateOut, "frame %" PRIu64 " time %" PRIu64 " particles %" PRIu64 " hash %016" PRIx64 "\n", frame,
                    r.preview.Elapsed(), d.particles, d.hash);
        if (!r.against)
            continue;
        r.against->Advance(ms);
        const StateDigest e = r.against->Digest();
        if (!r.comparison.firstDifferentFrame && (d.particles != e.particles || d.hash != e.hash)) {
            r.comparison.firstDifferentFrame = frame;
            r.comparison.firstDifferentTime = r.preview.Elapsed();
        }
    }
}

// Draws capture `index` (of both effects, side by side with their difference in a
// comparison) and hands it to the sink. False once the output has failed.
bool Capture(Run& r, uint32_t index)
{
    r.preview.Draw(r.o.background);
    readOffscreenLL(r.frame.data());
    if (!r.against)
        return r.sink->Add(index, r.frame.data());
    r.against->Draw(r.o.background);
    readOffscreenLL(r.againstFrame.data());
    if (!r.comparison.firstDifferentCapture && r.frame != r.againstFrame)
        r.comparison.firstDifferentCapture = index + 1;
    ComposeComparison(r.frame, r.againstFrame, r.o.width, r.o.height, r.composed);
    if (r.labels)
        r.labels->Stamp(r.composed.data());
    return r.sink->Add(index, r.composed.data());
}

const uint32_t fewCaptures = 10;  // under this many captures, progress counts simulation steps

// Steps to every capture time and captures there; then lets the sink finish. False
// after saying why on `messages`.
bool RenderCaptures(Run& r, FILE* messages)
{
    const uint32_t captureCount = uint32_t(r.o.times.size());
    // A few captures far apart would leave the line still for minutes: then it counts
    // the simulation's steps to the last capture instead.
    const uint32_t steps = captureCount ? uint32_t((uint64_t(r.o.times.back()) + r.o.stepMs - 1) / r.o.stepMs) : 0;
    const bool bySteps = captureCount < fewCaptures && steps > captureCount;
    ProgressLine progress(messages, bySteps ? steps : captureCount, bySteps ? "steps" : "frames");
    r.stepProgress = bySteps ? &progress : nullptr;
    const auto done = [&](uint32_t captures) { return bySteps ? uint32_t(r.comparison.frames) : captures; };
    bool going = true;
    for (uint32_t capture = 0; capture < captureCount && going; ++capture) {
        StepTo(r, r.o.times[capture]);
        if (r.sink)
            going = Capture(r, capture);
        progress.Update(done(r.sink ? r.sink->Handled() : capture + 1));
    }
    r.stepProgress = nullptr;
    if (!r.sink)
        return true;
    // The last frames may still be encoding: keep the progress line going.
    while (!r.sink->Settle(std::chrono::milliseconds(200)))
        progress.Update(done(r.sink->Handled()));
    std::string error;
    const bool written = r.sink->Finish(error);
    progress.Clear();
    if (!written)
        fprintf(messages, "qprender: %s\n", EscapedName(error).c_str());
    return written;
}

// Prints where a comparison's simulations and pictures differ, and which settings
// do (as `name: A -> B` lines under the simulations' line); the exit code, from the
// simulations and pictures alone.
int ReportComparison(const Run& r, const std::vector<std::string>& settingsDiffer)
{
    const Comparison& c = r.comparison;
    std::string names;
    for (const std::string& line : settingsDiffer)
        names += (names.empty() ? "" : ", ") + line.substr(0, line.find(':'));
    // The digests cover the particles' positions and colours; a setting such as the
    // size is drawn, not simulated, so equal digests don't make equal effects.
    const std::string settings = names.empty() ? "" : "; settings differ: " + names;
    if (c.firstDifferentFrame)
        fprintf(r.stateOut, "simulations: differ from frame %" PRIu64 " (%" PRIu64 " ms) on%s\n", c.firstDifferentFrame,
                c.firstDifferentTime, settings.c_str());
    else if (!names.empty())
        fprintf(r.stateOut, "simulations: same particles over %" PRIu64 " frames%s\n", c.frames, settings.c_str());
    else
        fprintf(r.stateOut, "simulations: same over %" PRIu64 " frames\n", c.frames);
    for (const std::string& line : settingsDiffer)
        fprintf(r.stateOut, "  %s\n", line.c_str());
    if (r.o.writeImages && c.firstDifferentCapture)
        fprintf(r.stateOut, "pictures: differ from capture %u (%u ms) on\n", c.firstDifferentCapture,
                r.o.times[c.firstDifferentCapture - 1]);
    else if (r.o.writeImages)
        fprintf(r.stateOut, "pictures: same over %u captures\n", uint32_t(r.o.times.size()));
    return c.firstDifferentFrame || c.firstDifferentCapture ? RENDER_DIFFERENT : RENDER_SAME;
}

// With --fit: runs the effects (both in a comparison) to every capture time with
// the same seed but without GL, and chooses the aim and distance that frame their
// particles; says what it chose on `messages`, as options that repeat the shot.
void FitCamera(const RenderOptions& o, const EmitterSettings& settings, const EmitterSettings* againstSettings,
               Vec3& aim, float& distance, FILE* messages)
{
    RenderOptions quiet = o;
    quiet.printState = false;
    PreviewRenderer preview(settings, 0, o.cameraDistance, o.turnSpeed, o.seed);
    std::unique_ptr<PreviewRenderer> against;
    if (againstSettings)
        against.reset(new PreviewRenderer(*againstSettings, 0, o.cameraDistance, o.turnSpeed, o.seed));
    Run run{quiet, preview, against.get(), nullptr, nullptr, nullptr, {}, {}, {}, {}, nullptr};
    FrameFit fit;
    for (uint32_t t : o.times) {
        StepTo(run, t);
        fit.Add(preview.Particles(), preview.ViewTurn(), settings.size);
        if (against)
            fit.Add(against->Particles(), against->ViewTurn(), againstSettings->size);
    }
    if (fit.Choose(o.cameraDistance, aim, distance))
        fprintf(messages, "qprender: --fit: %s\n", FrameFit::Options(aim, distance).c_str());
    else
        fprintf(messages, "qprender: --fit: no particle at the capture times; keeping %s\n",
                FrameFit::Options(aim, distance).c_str());
}

// A comparison's panel labels, drawn with the bitmap font; the font is looked for
// and, when none loads, the panels go unlabelled after a warning. False after
// saying why, when the font named by --font can't be loaded.
bool MakeLabels(const RenderOptions& o, PanelLabels& labels, bool& made, FILE* messages)
{
    std::string tried;
    std::unique_ptr<QBitmapFont> font(LoadLabelFont(o.fontPath, tried));
    if (!font && !o.fontPath.empty()) {
        fprintf(messages, "qprender: %s: not a QBMFONT font that can be loaded\n", EscapedName(o.fontPath).c_str());
        return false;
    }
    if (!font) {
        fprintf(messages, "qprender: no font at %s: the panels go unlabelled (--font PATH names one)\n",
                EscapedName(tried).c_str());
        return true;
    }
    const std::string texts[3] = {o.effectPath.empty() ? "(defaults)" : EscapedName(o.effectPath),
                                  EscapedName(o.againstPath), "difference"};
    labels.Make(*font, texts, o.width, o.height);
    made = true;
    return true;
}

}  // namespace

int RunRender(const RenderOptions& o, FILE* stateOut, FILE* messages, const RenderTuning& tuning)
{
    const bool comparing = !o.againstPath.empty();
    const int trouble = RenderFailure(comparing);
    EmitterSettings settings, againstSettings;
    std::string error;
    if (o.writeImages && !OutputIsNoInput(o, error)) {
        fprintf(messages, "qprender: %s\n", error.c_str());
        return trouble;
    }
    if (!ReadSettings(o.effectPath, settings, messages) ||
        (comparing && !ReadSettings(o.againstPath, againstSettings, messages)))
        return trouble;

    Vec3 aim = o.lookAt;
    float distance = o.cameraDistance;
    if (o.fit)
        FitCamera(o, settings, comparing ? &againstSettings : nullptr, aim, distance, messages);

    OffscreenScope scope;
    std::unique_ptr<QTexture> texture;
    if (o.writeImages && !SetUpGL(o, scope, texture, messages))
        return trouble;
    PanelLabels labels;
    bool labelled = false;
    if (o.writeImages && comparing && !MakeLabels(o, labels, labelled, messages))
        return trouble;
    const uint32_t textureName = texture ? texture->GetID() : 0;
    PreviewRenderer preview(settings, textureName, o.cameraDistance, o.turnSpeed, o.seed);
    preview.Aim(aim, distance);
    std::unique_ptr<PreviewRenderer> against;
    if (comparing) {
        against.reset(new PreviewRenderer(againstSettings, textureName, o.cameraDistance, o.turnSpeed, o.seed));
        against->Aim(aim, distance);
    }
    if (o.writeImages) {
        preview.SetUpEditorGL();
        if (against)
            against->SetUpEditorGL();  // each keeps the projection it draws with
    }

    std::unique_ptr<OutputSink> sink;
    if (o.writeImages) {
        sink = MakeOutputSink(o, o.width * (comparing ? 3 : 1), tuning);
        if (!sink->Begin(messages, error)) {
            fprintf(messages, "qprender: %s\n", EscapedName(error).c_str());
            return trouble;
        }
    }
    Run run{o, preview, against.get(), sink.get(), stateOut, labelled ? &labels : nullptr, {}, {}, {}, {}, nullptr};
    run.frame.resize(o.writeImages ? size_t(o.width) * o.height * 4 : 0);
    run.againstFrame.resize(comparing ? run.frame.size() : 0);
    if (!RenderCaptures(run, messages))
        return trouble;
    const int code = comparing ? ReportComparison(run, DiffEffects(settings, againstSettings)) : RENDER_DONE;
    if ((o.printState || comparing) && fflush(stateOut) != 0) {
        fprintf(messages, "qprender: couldn't write to standard output\n");
        return trouble;
    }
    return code;
}
