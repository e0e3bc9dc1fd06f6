// qprender's animations and comparisons: GIF and WebP decoded back with giflib and
// libwebp and held against the PNG frames of the same run; every format the same
// bytes on reruns and with any number of encoding workers; --against on equal and
// differing effects, and its diff-like exit codes.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <webp/demux.h>

#include <cmath>
#include <cstdlib>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "tests/support/ToolRunner.h"
#include "tools/common/PngFile.h"
#include "tools/qprender/RenderOptions.h"
#include "tools/qprender/RenderRun.h"

namespace {

const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

ToolResult Render(const std::string& arguments, const std::string& environment = "")
{
    return RunTool(Quote(qprender) + " " + Quote(texture) + " " + arguments, environment);
}

struct Animation {
    uint32_t width = 0, height = 0;
    int loops = -1;                          // -1: no looping block
    std::vector<std::vector<uint8_t>> rgba;  // every frame as shown, top row first
    std::vector<int> delays;                 // GIF: hundredths; WebP: ms
};

// The NETSCAPE2.0 block's loop count, or -1.
int GifLoops(const SavedImage& image)
{
    for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
        const ExtensionBlock& b = image.ExtensionBlocks[e];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::string(reinterpret_cast<char*>(b.Bytes), 11) == "NETSCAPE2.0")
            return image.ExtensionBlocks[e + 1].Bytes[1] | image.ExtensionBlocks[e + 1].Bytes[2] << 8;
    }
    return -1;
}

// Full frames only (what qprender writes); a transparent entry decodes to alpha 0.
Animation DecodeGif(const std::string& path)
{
    Animation a;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(nullptr, gif) << path;
    if (!gif)
        return a;
    EXPECT_EQ(GIF_OK, DGifSlurp(gif)) << path;
    a.width = uint32_t(gif->SWidth), a.height = uint32_t(gif->SHeight);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        if (i == 0)
            a.loops = GifLoops(image);
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(gif, i, &control);
        a.delays.push_back(control.DelayTime);
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        std::vector<uint8_t> rgba;
        for (int p = 0; p < image.ImageDesc.Width * image.ImageDesc.Height; ++p) {
            const int index = image.RasterBits[p];
            const GifColorType c = map->Colors[index];
            rgba.insert(rgba.end(), {c.Red, c.Green, c.Blue, uint8_t(index == control.TransparentColor ? 0 : 255)});
        }
        a.rgba.push_back(rgba);
    }
    DGifCloseFile(gif, &error);
    return a;
}

Animation DecodeWebp(const std::string& path)
{
    Animation a;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    WebPData data = {bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    EXPECT_NE(nullptr, decoder) << path;
    if (!decoder)
        return a;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    a.width = info.canvas_width, a.height = info.canvas_height, a.loops = int(info.loop_count);
    int previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        EXPECT_TRUE(WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) << path;
        a.rgba.emplace_back(pixels, pixels + size_t(a.width) * a.height * 4);
        a.delays.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    return a;
}

PngImage ReadFrame(const std::string& path)
{
    PngImage image;
    std::string error;
    EXPECT_TRUE(ReadPng(path, image, error, 4)) << error;
    return image;
}

// Mean absolute error per channel and PSNR (dB, over R, G, B) of an animation
// frame against a PNG frame, both RGBA.
struct Fidelity {
    double mae[3] = {0, 0, 0};
    double psnr = 0;
};
Fidelity Compare(const std::vector<uint8_t>& shown, const std::vector<uint8_t>& png)
{
    Fidelity f;
    double squares = 0;
    const size_t pixels = png.size() / 4;
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = double(shown[4 * i + c]) - png[4 * i + c];
            f.mae[c] += std::fabs(d) / double(pixels);
            squares += d * d;
        }
    const double mse = squares / double(3 * pixels);
    f.psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
    return f;
}

void WriteEffect(const ScratchFolder& dir, const std::string& name, const EmitterSettings& s)
{
    ASSERT_TRUE(WriteEffectFile(dir.Path(name).c_str(), s)) << name;
}

}  // namespace

// The default effect (white light: at most 256 greys, so its GIF frames are exact)
// and a red-to-blue effect whose colours must share 256 entries; 12 frames 80 ms
// apart, compared frame by frame with the PNG series of the same run.
TEST(QprenderAnimation, GifAndWebpHoldThePngFramesWithTheirDelaysAndLoopForever)
{
    ScratchFolder dir;
    EmitterSettings colourful = DefaultEmitterSettings();
    colourful.startColor = Color4{1.0f, 0.3f, 0.1f, 1.0f};
    colourful.endColor = Color4{0.1f, 0.2f, 1.0f, 0.2f};
    colourful.size = 0.08f;
    colourful.emitRate = 400;
    WriteEffect(dir, "default.QP", DefaultEmitterSettings());
    WriteEffect(dir, "colourful.QP", colourful);
    struct Case {
        const char* effect;
        double minPsnr;  // GIF against PNG
        double maxMae;   // GIF, per channel
    } cases[] = {{"default.QP", 99.0, 0.0}, {"colourful.QP", 40.0, 0.5}};
    for (const Case& c : cases) {
        const std::string args = Quote(dir.Path(c.effect)) + " --size 160x120 --frames 12 --interval 80 -o ";
        ASSERT_EQ(0, Render(args + Quote(dir.Path("f%02d.png"))).exitCode) << c.effect;
        ASSERT_EQ(0, Render(args + Quote(dir.Path("a.gif"))).exitCode) << c.effect;
        ASSERT_EQ(0, Render(args + Quote(dir.Path("a.webp"))).exitCode) << c.effect;
        const Animation gif = DecodeGif(dir.Path("a.gif")), webp = DecodeWebp(dir.Path("a.webp"));
        for (const Animation* a : {&gif, &webp}) {
            const bool isGif = a == &gif;
            ASSERT_EQ(12u, a->rgba.size()) << c.effect << (isGif ? " gif" : " webp");
            EXPECT_EQ(160u, a->width) << c.effect;
            EXPECT_EQ(120u, a->height) << c.effect;
            EXPECT_EQ(0, a->loops) << c.effect << ": loops forever";
            for (int delay : a->delays)
                EXPECT_EQ(isGif ? 8 : 80, delay) << c.effect << (isGif ? " gif" : " webp");
        }
        Fidelity worst;
        worst.psnr = 1000;
        for (int i = 0; i < 12; ++i) {
            char name[16];
            snprintf(name, sizeof name, "f%02d.png", i + 1);
            const PngImage png = ReadFrame(dir.Path(name));
            EXPECT_EQ(png.pixels, webp.rgba[i]) << c.effect << ": lossless WebP frame " << i + 1;
            const Fidelity f = Compare(gif.rgba[i], png.pixels);
            worst.psnr = std::min(worst.psnr, f.psnr);
            for (int k = 0; k < 3; ++k)
                worst.mae[k] = std::max(worst.mae[k], f.mae[k]);
        }
        EXPECT_GE(worst.psnr, c.minPsnr) << c.effect << ": worst GIF frame's PSNR";
        for (int k = 0; k < 3; ++k)
            EXPECT_LE(worst.mae[k], c.maxMae) << c.effect << ": worst GIF frame's mean error, channel " << k;
        RecordProperty(std::string(c.effect) + "_gif_worst_psnr", std::to_string(worst.psnr));
        RecordProperty(std::string(c.effect) + "_gif_worst_mae_rgb", std::to_string(worst.mae[0]) + "," +
                                                                         std::to_string(worst.mae[1]) + "," +
                                                                         std::to_string(worst.mae[2]));
    }
}

// Transparent: WebP keeps the PNG's RGBA exactly; a GIF makes unlit pixels
// transparent and shows lit ones in their colour over black.
TEST(QprenderAnimation, TransparentFramesKeepAlpha)
{
    ScratchFolder dir;
    const std::string args = "--transparent --size 96x72 --frames 3 --interval 200 -o ";
    ASSERT_EQ(0, Render(args + Quote(dir.Path("f%d.png"))).exitCode);
    ASSERT_EQ(0, Render(args + Quote(dir.Path("a.gif"))).exitCode);
    ASSERT_EQ(0, Render(args + Quote(dir.Path("a.webp"))).exitCode);
    const Animation gif = DecodeGif(dir.Path("a.gif")), webp = DecodeWebp(dir.Path("a.webp"));
    ASSERT_EQ(3u, gif.rgba.size());
    ASSERT_EQ(3u, webp.rgba.size());
    for (int i = 0; i < 3; ++i) {
        const PngImage png = ReadFrame(dir.Path("f" + std::to_string(i + 1) + ".png"));
        EXPECT_EQ(png.pixels, webp.rgba[i]) << "WebP frame " << i + 1;
        for (size_t p = 0; p < png.pixels.size(); p += 4) {
            const uint8_t alpha = png.pixels[p + 3];
            ASSERT_EQ(alpha ? 255 : 0, gif.rgba[i][p + 3]) << "GIF frame " << i + 1 << " pixel " << p / 4;
            for (int c = 0; c < 3 && alpha; ++c)
                ASSERT_NEAR(png.pixels[p + c] * alpha / 255.0, gif.rgba[i][p + c], 1.0)
                    << "GIF frame " << i + 1 << " pixel " << p / 4 << " channel " << c;
        }
    }
}

namespace {

// One run inside the test with `workers` encoding threads (a seam the command line
// doesn't have); the exit code, with what it said on `messages`.
int RenderWithWorkers(std::vector<std::string> args, int workers, std::string& messages)
{
    args.insert(args.begin(), {"qprender", texture});
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    RenderOptions options;
    if (!ParseRenderOptions(int(argv.size()), argv.data(), options, messages))
        return -1;
    FILE* out = tmpfile();
    FILE* said = tmpfile();
    RenderTuning tuning;
    tuning.workers = workers;
    const int code = RunRender(options, out, said, tuning);
    messages.assign(size_t(ftell(said)), '\0');
    rewind(said);
    messages.resize(fread(&messages[0], 1, messages.size(), said));
    fclose(out);
    fclose(said);
    return code;
}

}  // namespace

TEST(QprenderAnimation, EveryFormatIsTheSameBytesOnRerunsAndWithAnyWorkerCount)
{
    ScratchFolder dir;
    EmitterSettings b = DefaultEmitterSettings();
    b.velocity = 0.3f;
    WriteEffect(dir, "b.QP", b);
    const std::vector<std::string> outputs[] = {
        {"s%02d.png"},
        {"a.gif"},
        {"a.webp"},
        {"q.webp", "--quality", "60"},
        {"c.gif", "--against", dir.Path("b.QP"), "--font", std::string(QP_ASSET_DIR) + "/Font.QF"}};
    for (const std::vector<std::string>& output : outputs) {
        std::vector<uint8_t> first;
        for (int workers : {0, 1, 3}) {
            ScratchFolder run;
            std::vector<std::string> args = {"--size", "120x90",     "--turn", "0,90,0", "--frames",
                                             "10",     "--interval", "48",     "-o",     run.Path(output[0])};
            args.insert(args.end(), output.begin() + 1, output.end());
            std::string messages;
            ASSERT_EQ(output.size() > 1 && output[1] == "--against" ? 1 : 0, RenderWithWorkers(args, workers, messages))
                << output[0] << ": " << messages;
            EXPECT_EQ("", messages) << output[0] << ": no progress line off a terminal";
            std::vector<uint8_t> bytes;
            for (const char* name : {"s01.png", "s05.png", "s10.png", "a.gif", "a.webp", "q.webp", "c.gif"}) {
                const std::vector<uint8_t> file = ReadBytes(run.Path(name));
                bytes.insert(bytes.end(), file.begin(), file.end());
            }
            ASSERT_FALSE(bytes.empty()) << output[0];
            if (first.empty())
                first = bytes;
            EXPECT_EQ(first, bytes) << output[0] << " with " << workers << " workers";
        }
    }
}

// Three panels per frame: A | B | difference, each labelled at its top. Equal
// effects give a black third panel (below its label) and exit 0; a change of size
// leaves the particles alone but not the pictures, and is named; a change of start
// colour shows from the first particle, frame 2.
TEST(QprenderCompare, SaysWhetherAndFromWhereTwoEffectsDifferAndExitsLikeDiff)
{
    ScratchFolder dir;
    EmitterSettings bigger = DefaultEmitterSettings(), red = DefaultEmitterSettings();
    bigger.size = 0.04f;
    red.startColor = Color4{1.0f, 0.0f, 0.0f, 1.0f};
    WriteEffect(dir, "a.QP", DefaultEmitterSettings());
    WriteEffect(dir, "a2.QP", DefaultEmitterSettings());
    WriteEffect(dir, "bigger.QP", bigger);
    WriteEffect(dir, "red.QP", red);
    struct Case {
        const char* against;
        int exitCode;
        const char* out;
    } cases[] = {
        {"a2.QP", 0, "simulations: same over 25 frames\npictures: same over 5 captures\n"},
        {"bigger.QP", 1,
         "simulations: same particles over 25 frames; settings differ: size\n  size: 0.02 -> 0.04\n"
         "pictures: differ from capture 1 (80 ms) on\n"},
        {"red.QP", 1,
         "simulations: differ from frame 2 (32 ms) on; settings differ: startColor\n"
         "  startColor: 1, 1, 1, 1 -> 1, 0, 0, 1\npictures: differ from capture 1 (80 ms) on\n"},
    };
    for (const Case& c : cases) {
        const ToolResult r =
            Render(Quote(dir.Path("a.QP")) + " --against " + Quote(dir.Path(c.against)) +
                   " --size 80x60 --step 16 --frames 5 --interval 80 --sheet 5 -o " + Quote(dir.Path("cmp.png")));
        EXPECT_EQ(c.exitCode, r.exitCode) << c.against << ": " << r.err;
        EXPECT_EQ(c.out, r.out) << c.against;
        PngImage sheet;
        std::string error;
        ASSERT_TRUE(ReadPng(dir.Path("cmp.png"), sheet, error)) << error;
        ASSERT_EQ(5u * 240, sheet.width) << c.against;
        uint64_t lit[3] = {0, 0, 0};  // bytes above zero in each panel, below the labels' top half
        for (size_t i = 0; i < sheet.pixels.size(); ++i)
            lit[(i / 3 % 240) / 80] += sheet.pixels[i] > 0 && i / (3 * sheet.width) % 60 >= 30;
        EXPECT_GT(lit[0], 0u) << c.against << ": panel A is lit";
        EXPECT_GT(lit[1], 0u) << c.against << ": panel B is lit";
        EXPECT_EQ(c.exitCode ? 1 : 0, lit[2] > 0) << c.against << ": the difference panel";
    }
    // Same colour all life long, lifetimes 1 s and 2 s: the same particles until the
    // first one, born in frame 2, dies in frame 64. No GL is needed to say so.
    EmitterSettings shortLived = DefaultEmitterSettings();
    shortLived.endColor = shortLived.startColor;
    EmitterSettings longLived = shortLived;
    longLived.lifetime = 2000;
    WriteEffect(dir, "short.QP", shortLived);
    WriteEffect(dir, "long.QP", longLived);
    const ToolResult sim = RunTool(Quote(qprender) + " none.qtex " + Quote(dir.Path("short.QP")) + " --against " +
                                   Quote(dir.Path("long.QP")) + " --no-image --frames 100");
    EXPECT_EQ(1, sim.exitCode) << sim.err;
    EXPECT_EQ("simulations: differ from frame 64 (1024 ms) on; settings differ: lifetime\n  lifetime: 1000 -> 2000\n",
              sim.out);

    const std::pair<std::string, std::string> troubles[] = {
        {Quote(dir.Path("a.QP")) + " --against " + Quote(dir.Path("none.QP")), "none.QP"},
        {Quote(dir.Path("a.QP")) + " --against " + Quote(dir.Path("red.QP")) + " --bogus", "unknown option --bogus"},
        {Quote(dir.Path("a.QP")) + " --size 0x5 --against " + Quote(dir.Path("red.QP")), "bad --size '0x5'"},
        {Quote(dir.Path("a.QP")) + " --against=" + Quote(dir.Path("red.QP")) + " --state", "--state"},
        {Quote(dir.Path("a.QP")) + " --against " + Quote(dir.Path("red.QP")) + " -o " + Quote(dir.Path("no/x.gif")),
         "no/x.gif"},
    };
    for (const auto& t : troubles) {
        const ToolResult r = Render(t.first);
        EXPECT_EQ(2, r.exitCode) << t.first;
        EXPECT_TRUE(Has(r.err, t.second)) << t.first << ": " << r.err;
    }
}
