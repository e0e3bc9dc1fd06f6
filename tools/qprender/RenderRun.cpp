#include "tools/qprender/RenderRun.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effect/EffectCheck.h"
#include "effect/EffectView.h"
#include "effect/EmitterSettings.h"
#include "platform/OffscreenLL.h"
#include "resources/QTexture.h"
#include "tools/common/PngFile.h"
#include "tools/qprender/PreviewRenderer.h"
#include "tools/qprender/SheetImage.h"

namespace {

// Reads the effect as the editor's start-up does; a file the editor would replace
// with the defaults is an error here, since the picture would not show it.
bool ReadSettings(const RenderOptions& o, EmitterSettings& settings, FILE* messages)
{
    if (o.effectPath.empty()) {
        settings = DefaultEmitterSettings();
        return true;
    }
    const EffectReport report = InspectEffectFile(o.effectPath.c_str());
    for (const std::string& problem : report.problems)
        fprintf(messages, "qprender: %s: %s\n", o.effectPath.c_str(), problem.c_str());
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

bool WriteImage(const std::string& path, const SheetImage& image, FILE* messages)
{
    std::string error;
    if (WritePng(path, image.Width(), image.Height(), image.Components(), image.Pixels().data(), error))
        return true;
    fprintf(messages, "qprender: %s\n", error.c_str());
    return false;
}

}  // namespace

int RunRender(const RenderOptions& o, FILE* stateOut, FILE* messages)
{
    EmitterSettings settings;
    if (!ReadSettings(o, settings, messages))
        return 1;

    OffscreenScope scope;
    std::unique_ptr<QTexture> texture;
    uint32_t textureName = 0;
    if (o.writeImages) {
        if (setupOffscreenLL(int(o.width), int(o.height), ContextKinds(o.context)) != 0) {
            fprintf(messages, "qprender: %s\n", offscreenErrorLL());
            return 1;
        }
        scope.active = true;
        texture.reset(
            new QTexture(EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_COMPONENTS, EFFECT_TEXTURE_NAMES));
        if (!texture->Load(o.texturePath.c_str(), nullptr)) {
            FILE* probe = fopen(o.texturePath.c_str(), "rb");
            if (!probe) {
                fprintf(messages, "qprender: %s: can't be read: %s\n", o.texturePath.c_str(), strerror(errno));
            } else {
                fclose(probe);
                fprintf(messages, "qprender: %s: not a QTEX texture that the engine can load\n", o.texturePath.c_str());
            }
            return 1;
        }
        textureName = texture->GetID();
    }

    PreviewRenderer preview(settings, textureName, o.cameraDistance, o.turnSpeed);
    if (o.writeImages)
        preview.SetUpEditorGL();

    const uint32_t captureCount = uint32_t(o.times.size());
    const bool series = captureCount > 1 && o.sheetColumns == 0;
    std::unique_ptr<SheetImage> sheet;
    if (o.writeImages && !series)
        sheet.reset(new SheetImage(captureCount, o.sheetColumns ? o.sheetColumns : 1, o.width, o.height, o.background,
                                   o.transparent));
    std::vector<uint8_t> frame(o.writeImages ? size_t(o.width) * o.height * 4 : 0);

    uint64_t frameNumber = 0;
    for (uint32_t capture = 0; capture < captureCount; ++capture) {
        const uint64_t target = o.times[capture];
        while (preview.Elapsed() < target) {
            const uint64_t left = target - preview.Elapsed();
            preview.Advance(uint32_t(left < o.stepMs ? left : o.stepMs));
            ++frameNumber;
            if (o.printState) {
                const StateDigest d = preview.Digest();
                fprintf(stateOut, "frame %" PRIu64 " time %" PRIu64 " particles %" PRIu64 " hash %016" PRIx64 "\n",
                        frameNumber, preview.Elapsed(), d.particles, d.hash);
            }
        }
        if (!o.writeImages)
            continue;
        preview.Draw(o.background);
        readOffscreenLL(frame.data());
        if (!series) {
            sheet->Place(capture, frame.data());
            continue;
        }
        SheetImage single(1, 1, o.width, o.height, o.background, o.transparent);
        single.Place(0, frame.data());
        std::string name;
        ExpandSeriesName(o.outputPath, capture + 1, name);
        if (!WriteImage(name, single, messages))
            return 1;
    }
    if (o.printState && fflush(stateOut) != 0) {
        fprintf(messages, "qprender: couldn't write the state digests\n");
        return 1;
    }
    if (sheet && !WriteImage(o.outputPath, *sheet, messages))
        return 1;
    return 0;
}
