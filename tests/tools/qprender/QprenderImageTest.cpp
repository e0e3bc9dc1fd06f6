// qprender's pictures: centred, the right way up, additive; sheets and series
// byte-identical across runs and contexts; the failures it reports.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "tests/support/ToolRunner.h"
#include "tools/common/PngFile.h"

namespace {

const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

ToolResult Render(const std::string& arguments, const std::string& environment = "")
{
    return RunTool(Quote(qprender) + " " + Quote(texture) + " " + arguments, environment);
}

std::vector<uint8_t> Pixels(const std::string& path)
{
    PngImage image;
    std::string error;
    EXPECT_TRUE(ReadPng(path, image, error)) << error;
    return image.pixels;
}

// Renders `s` at `time` ms into `name` in `dir`, with `more` options; the pixels.
std::vector<uint8_t> RenderEffect(const ScratchFolder& dir, const EmitterSettings& s, int time, const std::string& name,
                                  const std::string& more = "")
{
    EXPECT_TRUE(WriteEffectFile(dir.Path("e.QP").c_str(), s));
    const ToolResult run =
        Render(Quote(dir.Path("e.QP")) + " --time " + std::to_string(time) + " -o " + Quote(dir.Path(name)) + more);
    EXPECT_EQ(0, run.exitCode) << run.err;
    return Pixels(dir.Path(name));
}

// Centre of the light of a 640x480 RGB picture, top row first.
void LightCentre(const std::vector<uint8_t>& rgb, double& x, double& y, uint32_t& border)
{
    ASSERT_EQ(640u * 480 * 3, rgb.size());
    double sum = 0, sumX = 0, sumY = 0;
    border = 0;
    for (uint32_t i = 0; i < 640 * 480; ++i) {
        const uint32_t px = i % 640, py = i / 640, v = rgb[i * 3];
        ASSERT_EQ(v, rgb[i * 3 + 1]) << "white particles stay grey: green at " << px << "," << py;
        ASSERT_EQ(v, rgb[i * 3 + 2]) << "white particles stay grey: blue at " << px << "," << py;
        border += v > 0 && (px < 50 || px >= 590 || py < 50 || py >= 430);
        sum += v, sumX += v * (px + 0.5), sumY += v * (py + 0.5);
    }
    x = sumX / sum, y = sumY / sum;
}

}  // namespace

TEST(QprenderImage, DefaultEffectIsCentredAndAnUpwardConeRisesOnScreen)
{
    ScratchFolder dir;
    EmitterSettings s = DefaultEmitterSettings();
    double x = 0, y = 0;
    uint32_t border = 0;
    LightCentre(RenderEffect(dir, s, 1000, "d.png"), x, y, border);
    EXPECT_EQ(0u, border) << "nothing reaches the outer 50 pixels";
    EXPECT_NEAR(320.0, x, 12.0) << "horizontal centre of the light";
    EXPECT_NEAR(240.0, y, 12.0) << "vertical centre of the light";
    s.coneEnabled = true;
    s.coneDirection = Vec3{0.0f, 1.0f, 0.0f};
    s.coneAngle = 0.0f;
    LightCentre(RenderEffect(dir, s, 1000, "up.png"), x, y, border);
    EXPECT_NEAR(320.0, x, 2.0) << "straight up";
    EXPECT_NEAR(205.0, y, 25.0) << "rises on screen, by less than the 120 pixels of 0.2 units";
}

// Particles that never move, so they all cover the same pixels; with 100 ms frames
// at 10 per second one more is alive each frame from the second on. Laid over a
// background, or made transparent, the same light adds on or becomes alpha.
TEST(QprenderImage, LightAddsUpPerParticleScalesWithAlphaAndAddsOntoTheBackground)
{
    ScratchFolder dir;
    EmitterSettings s = DefaultEmitterSettings();
    s.velocity = 0.0f;
    s.lifetime = 100000;
    s.emitRate = 10;
    s.size = 0.1f;
    s.startColor = s.endColor = Color4{0.1f, 0.1f, 0.1f, 1.0f};
    const std::string small = " --step 100 --size 64x48";
    const std::vector<uint8_t> one = RenderEffect(dir, s, 200, "one.png", small);
    const std::vector<uint8_t> five = RenderEffect(dir, s, 600, "five.png", small);
    const std::vector<uint8_t> bg = RenderEffect(dir, s, 600, "bg.png", small + " --background 0.5,0,0.25");
    const std::vector<uint8_t> clear = RenderEffect(dir, s, 600, "clear.png", small + " --transparent");
    s.startColor = s.endColor = Color4{0.2f, 0.2f, 0.2f, 0.5f};
    const std::vector<uint8_t> half = RenderEffect(dir, s, 600, "half.png", small);
    ASSERT_EQ(one.size(), five.size());
    ASSERT_EQ(one.size(), half.size());
    ASSERT_EQ(one.size(), bg.size());
    ASSERT_EQ(one.size() / 3 * 4, clear.size());
    EXPECT_GE(*std::max_element(one.begin(), one.end()), 20) << "the spot's centre is lit";
    for (size_t i = 0; i < one.size(); ++i) {
        ASSERT_NEAR(5 * one[i], five[i], 5) << "five particles on one spot, byte " << i;
        ASSERT_NEAR(five[i], half[i], 5) << "0.2 at alpha 0.5 adds as 0.1 at alpha 1, byte " << i;
        const int base[3] = {128, 0, 64};
        ASSERT_EQ(std::min(255, base[i % 3] + five[i]), bg[i]) << "light adds onto the background, byte " << i;
        ASSERT_EQ(five[i - i % 3], clear[i / 3 * 4 + 3]) << "alpha is the light, byte " << i;
    }
}

TEST(QprenderImage, SheetsAndSeriesAreByteIdenticalOnRerunsEitherContextAndToSinglePictures)
{
    ScratchFolder dir;
    const std::string args = "--size 80x60 --turn 0,90,30 ";
    const std::string sheet = args + "--frames 12 --interval 80 --sheet 4 -o ";
    ASSERT_EQ(0, Render(sheet + Quote(dir.Path("a.png"))).exitCode);
    ASSERT_EQ(0, Render(sheet + Quote(dir.Path("b.png"))).exitCode);
    const ToolResult headless = Render(sheet + Quote(dir.Path("egl.png")) + " --context egl", "env -u DISPLAY");
    ASSERT_EQ(0, headless.exitCode) << "no X server is needed: " << headless.err;
    ASSERT_EQ(0, Render(sheet + Quote(dir.Path("sdl.png")) + " --context sdl").exitCode);
    const std::vector<uint8_t> a = ReadBytes(dir.Path("a.png"));
    EXPECT_EQ(a, ReadBytes(dir.Path("b.png"))) << "a rerun";
    EXPECT_EQ(a, ReadBytes(dir.Path("egl.png"))) << "EGL with no X server";
    EXPECT_EQ(a, ReadBytes(dir.Path("sdl.png"))) << "a hidden SDL window";

    // The last cell (row 3, column 4) of the 320x180 sheet is the picture at 960 ms,
    // and so is the last frame of a series whose captures lie on the 16 ms grid.
    ASSERT_EQ(0, Render(args + "--time 960 -o " + Quote(dir.Path("single.png"))).exitCode);
    ASSERT_EQ(0, Render(args + "--time 0,480,960 -o " + Quote(dir.Path("f%02d.png"))).exitCode);
    EXPECT_EQ(Pixels(dir.Path("single.png")), Pixels(dir.Path("f03.png"))) << "series frames pack faster, same pixels";
    const std::vector<uint8_t> whole = Pixels(dir.Path("a.png")), single = Pixels(dir.Path("single.png"));
    ASSERT_EQ(320u * 180 * 3, whole.size());
    ASSERT_EQ(80u * 60 * 3, single.size());
    for (uint32_t y = 0; y < 60; ++y) {
        const uint8_t* cell = &whole[((120 + y) * 320 + 240) * 3];
        ASSERT_EQ(std::vector<uint8_t>(&single[y * 240], &single[y * 240 + 240]),
                  std::vector<uint8_t>(cell, cell + 240))
            << "row " << y;
    }
}

TEST(QprenderImage, FailuresAreReportedAndLeaveNoPicture)
{
    ScratchFolder dir;
    WriteBytes(dir.Path("junk.qtex"), {'Q', 'T', 'E', 'X', 9, 9});
    WriteBytes(dir.Path("bad.QP"), {'Q', 'P', 'A', 'R', 'T'});
    const std::pair<std::string, std::string> cases[] = {
        {Quote(texture) + " bad.QP -o x.png", "bad.QP: short file: 5 bytes"},
        {Quote(texture) + " --context sdl -o x.png", "no OpenGL context could be made (hidden SDL window:"},
        {"none.qtex -o x.png", "none.qtex: can't be read: No such file"},
        {"junk.qtex -o x.png", "junk.qtex: not a QTEX texture"},
        {Quote(texture) + " -o no/such/x.png", "no/such/x.png"},
    };
    for (const auto& c : cases) {
        const ToolResult run = RunTool(Quote(qprender) + " " + c.first,
                                       "cd " + Quote(dir.root) + " && env -u DISPLAY SDL_VIDEODRIVER=x11");
        EXPECT_EQ(1, run.exitCode) << c.first;
        EXPECT_TRUE(Has(run.err, c.second)) << run.err;
    }
    EXPECT_EQ("bad.QP\njunk.qtex\n", RunTool("ls -A " + Quote(dir.root)).out) << "no picture, no leftovers";
}

namespace {

const uint32_t labelBand = 30;  // rows at the top of a panel that its label may light

// Row `y` (top first) of panel `panel` of an RGB picture `panels` panels wide.
std::vector<uint8_t> PanelRow(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t panels, uint32_t panel,
                              uint32_t y)
{
    const auto start = rgb.begin() + (size_t(y) * width * panels + size_t(panel) * width) * 3;
    return std::vector<uint8_t>(start, start + width * 3);
}

// Pure white pixels in the label band of panel `panel`.
uint32_t LabelPixels(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t panel)
{
    uint32_t white = 0;
    for (uint32_t y = 0; y < labelBand; ++y) {
        const std::vector<uint8_t> row = PanelRow(rgb, width, 3, panel, y);
        for (uint32_t x = 0; x < width; ++x)
            white += row[3 * x] == 255 && row[3 * x + 1] == 255 && row[3 * x + 2] == 255;
    }
    return white;
}

}  // namespace

// Each panel of a comparison carries its label in its top band and is, below it,
// the picture of its own effect alone; the difference panel is labelled too.
TEST(QprenderTruth, ComparisonPanelsAreLabelledAndOtherwiseTheEffectsOwnPictures)
{
    ScratchFolder dir;
    EmitterSettings bigger = DefaultEmitterSettings();
    bigger.size = 0.04f;
    const std::vector<uint8_t> a = RenderEffect(dir, DefaultEmitterSettings(), 500, "a.png", " --size 200x150");
    const std::vector<uint8_t> b = RenderEffect(dir, bigger, 500, "b.png", " --size 200x150");
    ASSERT_TRUE(WriteEffectFile(dir.Path("a.QP").c_str(), DefaultEmitterSettings()));
    ASSERT_TRUE(WriteEffectFile(dir.Path("b.QP").c_str(), bigger));
    const std::string compare = Quote(dir.Path("a.QP")) + " --against " + Quote(dir.Path("b.QP")) +
                                " --time 500 --size 200x150 -o " + Quote(dir.Path("cmp.png"));
    const ToolResult run = Render(compare);
    ASSERT_EQ(1, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    const std::vector<uint8_t> composed = Pixels(dir.Path("cmp.png"));
    ASSERT_EQ(600u * 150 * 3, composed.size());
    for (uint32_t panel = 0; panel < 3; ++panel)
        EXPECT_LT(20u, LabelPixels(composed, 200, panel)) << "panel " << panel << " has no label";
    for (uint32_t y = labelBand; y < 150; ++y) {
        ASSERT_EQ(PanelRow(a, 200, 1, 0, y), PanelRow(composed, 200, 3, 0, y)) << "row " << y << " of A";
        ASSERT_EQ(PanelRow(b, 200, 1, 0, y), PanelRow(composed, 200, 3, 1, y)) << "row " << y << " of B";
    }

    // A copy of the program far from any installed or built font: unlabelled panels,
    // one warning, the same verdict.
    ASSERT_EQ(0, RunTool("mkdir -p " + Quote(dir.Path("bin")) + " && cp " + Quote(qprender) + " " +
                         Quote(dir.Path("bin/qprender")))
                     .exitCode);
    const ToolResult bare = RunTool(Quote(dir.Path("bin/qprender")) + " " + Quote(texture) + " " + compare);
    EXPECT_EQ(1, bare.exitCode) << bare.err;
    EXPECT_EQ(0u, bare.err.find("qprender: no font at ")) << bare.err;
    EXPECT_EQ(bare.err.find('\n') + 1, bare.err.size()) << "one line: " << bare.err;
    const std::vector<uint8_t> unlabelled = Pixels(dir.Path("cmp.png"));
    for (uint32_t y = 0; y < 150; ++y)
        ASSERT_EQ(PanelRow(a, 200, 1, 0, y), PanelRow(unlabelled, 200, 3, 0, y)) << "row " << y << " of A";

    const ToolResult badFont = Render(compare + " --font " + Quote(dir.Path("a.QP")));
    EXPECT_EQ(2, badFont.exitCode) << badFont.err;
    EXPECT_TRUE(Has(badFont.err, "a.QP: not a QBMFONT font that can be loaded")) << badFont.err;
}

// --fit brings a rising effect's light to the middle of the frame, and the options
// it prints give the same picture again.
TEST(QprenderTruth, FitFramesARisingEffectAndItsPrintedOptionsRepeatTheShot)
{
    ScratchFolder dir;
    EmitterSettings rising = DefaultEmitterSettings();
    rising.coneEnabled = true;
    rising.coneDirection = {0.0f, 1.0f, 0.0f};
    rising.coneAngle = 15.0f;
    rising.velocity = 0.6f;
    double x = 0, y = 0;
    uint32_t border = 0;
    LightCentre(RenderEffect(dir, rising, 1000, "plain.png"), x, y, border);
    EXPECT_GT(170.0, y) << "from the emitter the light is high in the frame";
    const ToolResult fitted = Render(Quote(dir.Path("e.QP")) + " --time 1000 --fit -o " + Quote(dir.Path("fit.png")));
    ASSERT_EQ(0, fitted.exitCode) << fitted.err;
    const std::vector<uint8_t> fit = Pixels(dir.Path("fit.png"));
    LightCentre(fit, x, y, border);
    EXPECT_NEAR(240.0, y, 50.0) << "fitted, the light is in the middle";
    EXPECT_NEAR(320.0, x, 30.0);
    EXPECT_EQ(0u, border) << "fitted, nothing reaches the frame's border";

    const std::string head = "qprender: --fit: ";
    ASSERT_EQ(0u, fitted.err.find(head)) << fitted.err;
    const std::string chosen = fitted.err.substr(head.size(), fitted.err.find('\n') - head.size());
    const ToolResult again =
        Render(Quote(dir.Path("e.QP")) + " --time 1000 " + chosen + " -o " + Quote(dir.Path("again.png")));
    ASSERT_EQ(0, again.exitCode) << again.err;
    EXPECT_TRUE(fit == Pixels(dir.Path("again.png"))) << "the printed options " << chosen << " draw another picture";
}

// A series makes its missing folders (0777 less the umask); a folder that can't be
// made is named.
TEST(QprenderTruth, SeriesMakesItsFolderAndNamesOneItCantMake)
{
    ScratchFolder dir;
    const ToolResult made = Render("--frames 2 --size 16x16 -o " + Quote(dir.Path("new/deeper/f%02d.png")));
    ASSERT_EQ(0, made.exitCode) << made.err;
    EXPECT_EQ(16u * 16 * 3, Pixels(dir.Path("new/deeper/f02.png")).size());
    const mode_t mask = umask(022);
    umask(mask);
    struct stat folder;
    ASSERT_EQ(0, stat(dir.Path("new").c_str(), &folder));
    EXPECT_EQ(0777u & ~mask, folder.st_mode & 0777u);

    WriteBytes(dir.Path("blocker"), Bytes{1});
    const ToolResult blocked = Render("--frames 2 --size 16x16 -o " + Quote(dir.Path("blocker/sub/f%d.png")));
    EXPECT_EQ(1, blocked.exitCode) << blocked.err;
    EXPECT_TRUE(Has(blocked.err, "blocker/sub: can't make the folder: Not a directory")) << blocked.err;
}
