#include "tools/qprender/AnimationFile.h"

#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>

// ---- GIF ----

struct GifBuilder::State {
    GifOutput output;
    std::vector<uint8_t> pending;  // bytes not yet handed to the output, under one buffer
    std::string outputError;       // the output's reason for the first failed write
    GifFileType* gif = nullptr;
    uint32_t width, height;
    int error = 0;  // giflib's code of the first failure
};

namespace {

const size_t gifBufferSize = 1 << 16;  // bytes gathered before each write to the output

bool FlushGifBytes(GifBuilder::State& state)
{
    if (state.pending.empty() || !state.outputError.empty())
        return state.outputError.empty();
    std::string problem;
    if (!state.output(state.pending.data(), state.pending.size(), problem))
        state.outputError = problem.empty() ? "write failed" : problem;
    state.pending.clear();
    return state.outputError.empty();
}

int AppendGifBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto& state = *static_cast<GifBuilder::State*>(gif->UserData);
    state.pending.insert(state.pending.end(), data, data + length);
    if (state.pending.size() >= gifBufferSize && !FlushGifBytes(state))
        return 0;
    return length;
}

std::string GifError(const GifBuilder::State& state, int code)
{
    if (!state.outputError.empty())
        return state.outputError;
    const char* text = GifErrorString(code);
    return std::string("GIF encoder: ") + (text ? text : "failed");
}

}  // namespace

GifBuilder::GifBuilder(uint32_t width, uint32_t height)
    : state(new State)
{
    state->width = width;
    state->height = height;
}

bool GifBuilder::Start(GifOutput output, std::string& error)
{
    state->output = std::move(output);
    state->gif = EGifOpen(state.get(), AppendGifBytes, &state->error);
    if (!state->gif) {
        error = GifError(*state, state->error);
        return false;
    }
    EGifSetGifVersion(state->gif, true);
    // The looping block (NETSCAPE2.0, loop count 0: forever) goes before any frame.
    static const GifByteType loop[3] = {1, 0, 0};
    if (EGifPutScreenDesc(state->gif, int(state->width), int(state->height), 8, 0, nullptr) == GIF_ERROR ||
        EGifPutExtensionLeader(state->gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(state->gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(state->gif, 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(state->gif) == GIF_ERROR) {
        state->error = state->gif->Error ? state->gif->Error : E_GIF_ERR_WRITE_FAILED;
        error = GifError(*state, state->error);
        return false;
    }
    return true;
}

GifBuilder::~GifBuilder()
{
    if (state->gif)
        EGifCloseFile(state->gif, nullptr);
}

bool GifBuilder::Add(const IndexedFrame& frame, uint32_t centiseconds, std::string& error)
{
    if (!state->gif || state->error) {
        error = GifError(*state, state->error);
        return false;
    }
    GraphicsControlBlock control = {};
    control.DisposalMode = frame.transparentIndex >= 0 ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = int(std::min<uint32_t>(centiseconds, 65535));
    control.TransparentColor = frame.transparentIndex >= 0 ? frame.transparentIndex : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);

    // A colour table has a power of two entries, 2 to 256.
    const int entries = int(frame.palette.size() / 3);
    int tableSize = 2;
    while (tableSize < entries)
        tableSize *= 2;
    std::vector<GifColorType> colours(size_t(tableSize), GifColorType{0, 0, 0});
    for (int i = 0; i < entries; ++i)
        colours[size_t(i)] = GifColorType{frame.palette[3 * i], frame.palette[3 * i + 1], frame.palette[3 * i + 2]};
    ColorMapObject* map = GifMakeMapObject(tableSize, colours.data());
    if (!map) {
        error = "GIF encoder: out of memory";
        return false;
    }
    const bool ok =
        EGifPutExtension(state->gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_ERROR &&
        EGifPutImageDesc(state->gif, 0, 0, int(state->width), int(state->height), false, map) != GIF_ERROR &&
        EGifPutLine(state->gif, const_cast<GifPixelType*>(frame.indices.data()), int(frame.indices.size())) !=
            GIF_ERROR;
    GifFreeMapObject(map);
    if (!ok) {
        state->error = state->gif->Error ? state->gif->Error : E_GIF_ERR_WRITE_FAILED;
        error = GifError(*state, state->error);
    }
    return ok;
}

bool GifBuilder::Finish(std::string& error)
{
    if (!state->gif || state->error) {
        error = GifError(*state, state->error);
        return false;
    }
    int code = 0;
    const int result = EGifCloseFile(state->gif, &code);
    state->gif = nullptr;
    if (result == GIF_ERROR || !FlushGifBytes(*state)) {
        error = GifError(*state, code);
        return false;
    }
    return true;
}

// ---- WebP ----

struct WebpBuilder::State {
    WebPAnimEncoder* encoder = nullptr;
    WebPConfig config;
    uint32_t width, height;
    int components;
};

WebpBuilder::WebpBuilder(uint32_t width, uint32_t height, int components, int quality)
    : state(new State)
{
    state->width = width;
    state->height = height;
    state->components = components;
    WebPAnimEncoderOptions options;
    WebPConfigInit(&state->config);
    if (!WebPAnimEncoderOptionsInit(&options))
        return;
    options.anim_params.loop_count = 0;
    options.anim_params.bgcolor = components == 4 ? 0x00000000u : 0xff000000u;
    if (quality < 0) {
        // Lossless at a low effort: frames of soft light pack well even so, and the
        // higher levels cost many times the time for a few per cent.
        WebPConfigLosslessPreset(&state->config, 1);
        state->config.exact = 1;  // keep the colour of fully transparent pixels too
    } else {
        state->config.lossless = 0;
        state->config.quality = float(quality);
        state->config.method = 2;
        options.allow_mixed = 0;
    }
    state->encoder = WebPAnimEncoderNew(int(width), int(height), &options);
}

WebpBuilder::~WebpBuilder()
{
    if (state->encoder)
        WebPAnimEncoderDelete(state->encoder);
}

bool WebpBuilder::Add(const uint8_t* pixels, uint32_t startMs, std::string& error)
{
    if (!state->encoder) {
        error = "WebP encoder: couldn't be made";
        return false;
    }
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) {
        error = "WebP encoder: version mismatch";
        return false;
    }
    picture.width = int(state->width);
    picture.height = int(state->height);
    picture.use_argb = 1;
    const int stride = int(state->width) * state->components;
    const int imported = state->components == 4 ? WebPPictureImportRGBA(&picture, pixels, stride)
                                                : WebPPictureImportRGB(&picture, pixels, stride);
    const bool ok = imported && WebPAnimEncoderAdd(state->encoder, &picture, int(startMs), &state->config);
    WebPPictureFree(&picture);
    if (!ok) {
        const char* text = WebPAnimEncoderGetError(state->encoder);
        error = std::string("WebP encoder: ") + (imported && text && *text ? text : "out of memory");
    }
    return ok;
}

bool WebpBuilder::Finish(uint32_t endMs, std::vector<uint8_t>& bytes, std::string& error)
{
    if (!state->encoder) {
        error = "WebP encoder: couldn't be made";
        return false;
    }
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(state->encoder, nullptr, int(endMs), nullptr) ||
        !WebPAnimEncoderAssemble(state->encoder, &data)) {
        const char* text = WebPAnimEncoderGetError(state->encoder);
        error = std::string("WebP encoder: ") + (text && *text ? text : "failed");
        WebPDataClear(&data);
        return false;
    }
    bytes.assign(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return true;
}
