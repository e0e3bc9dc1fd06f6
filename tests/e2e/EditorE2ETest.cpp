// The real qpedit under the test command's X server: typed keys, saved bytes,
// loaded effects, start-up failures, the two ways out, and what the screen shows.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/EffectFile.h"
#include "tests/app/TempFolder.h"
#include "tests/e2e/XHarness.h"

namespace {

using Bytes = std::vector<unsigned char>;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the editor should have written: the settings through the tested writer.
Bytes Record(const EmitterSettings& s)
{
    unsigned char bytes[EFFECT_FILE_CONE_SIZE];
    return Bytes(bytes, bytes + EncodeEffect(s, bytes));
}

using PixelTest = bool (*)(const unsigned char*);
bool White(const unsigned char* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }
bool Lit(const unsigned char* p) { return p[0] > 40 || p[1] > 40 || p[2] > 40; }

// Pixels of `g` in [x0, x1) x [y0, y1), rows from the top, that pass `test`.
int Count(const Grab& g, int x0, int y0, int x1, int y1, PixelTest test)
{
    int n = 0;
    for (int y = y0; y < std::min(y1, g.height); ++y)
        for (int px = x0; px < std::min(x1, g.width); ++px)
            n += test(&g.rgb[(static_cast<size_t>(y) * g.width + px) * 3]);
    return n;
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, x.display()) << "the test command provides an X server in DISPLAY";
        std::ifstream font(std::string(QP_ASSET_DIR) + "/Font.QF", std::ios::binary);
        std::ofstream(folder.Path("Font.QF"), std::ios::binary) << font.rdbuf();
    }

    // Starts qpedit in the test's folder and waits until a frame shows the main
    // menu, so that the keys typed next reach a running frame loop.
    void Start(const std::vector<std::string>& args)
    {
        editor.reset(new EditorProcess(QPEDIT_PATH, args, folder.Root()));
        window = x.FindWindow("QParticleSystem - Editor 0.8 Beta", 30000);
        ASSERT_NE(0u, window) << "no editor window; output: " << editor->Output();
        x.Watch(window);
        auto menuShown = [](const Grab& g) { return Count(g, 0, 0, 320, 160, White) > 0; };
        ASSERT_TRUE(menuShown(ScreenWhen(menuShown))) << "the main menu never showed";
    }
    // Grabs the window until `ready` holds for a grab and `minMs` have passed, up to
    // 30 s, checking every grab with `each`; returns the last grab.
    Grab ScreenWhen(bool (*ready)(const Grab&), void (*each)(const Grab&) = nullptr, int minMs = 0)
    {
        using Clock = std::chrono::steady_clock;
        Clock::time_point start = Clock::now();
        auto passed = [start](int ms) { return Clock::now() - start >= std::chrono::milliseconds(ms); };
        Grab g;
        while (!passed(30000)) {
            if (x.GrabWindow(window, g)) {
                if (each)
                    each(g);
                if (ready(g) && passed(minMs))
                    break;
            }
            Sleep(20);
        }
        return g;
    }
    // Waits until `name` holds `size` bytes; the editor writes it whole, by rename.
    bool WaitForFile(const std::string& name, size_t size)
    {
        for (int tries = 0; tries < 500 && ReadFile(folder.Path(name)).size() != size; ++tries)
            Sleep(20);
        return ReadFile(folder.Path(name)).size() == size;
    }

    XHarness x;
    TempFolder folder;
    std::unique_ptr<EditorProcess> editor;
    Window window = 0;
};

}  // namespace

TEST_F(Editor, TheRoadOfOneEditSavesThe65BytesAndQuitWorksOnlyInTheMainMenu)
{
    Start({texture});
    x.Type("EE250\r\x1bS");
    ASSERT_TRUE(WaitForFile("Out.QP", 65)) << "without an effect name Save writes Out.QP";
    EmitterSettings expected = DefaultEmitterSettings();
    expected.emitRate = 250;
    EXPECT_EQ(Record(expected), ReadFile(folder.Path("Out.QP")));
    x.Type("QMVQ\x1b" "EQ");
    EXPECT_TRUE(x.WaitFrames(2)) << "Q in the hidden, view and edit menus does nothing";
    x.Type("\x1bQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("", editor->Output());
}

TEST_F(Editor, ConeOnSaves81BytesToTheNamedFileAndClosingTheWindowEndsWithZero)
{
    std::ofstream(folder.Path("cone.QP")) << "QPARTICLESYSTEM, but no version word";
    Start({texture, "cone.QP"});
    x.Type("EC\x1bS");
    ASSERT_TRUE(WaitForFile("cone.QP", 81)) << "a file that didn't load gives the defaults and is where Save writes";
    EmitterSettings expected = DefaultEmitterSettings();
    expected.coneEnabled = true;
    EXPECT_EQ(Record(expected), ReadFile(folder.Path("cone.QP")));
    x.Close(window);
    EXPECT_EQ(0, editor->Wait(10000));
}

TEST_F(Editor, ASavedEffectIsLiveFromTheFirstFrame)
{
    EmitterSettings red = DefaultEmitterSettings();
    red.startColor = red.endColor = {1, 0, 0, 1};
    red.emitRate = 400;
    red.coneEnabled = true;
    red.coneAngle = 20;
    ASSERT_TRUE(WriteEffectFile(folder.Path("red.QP").c_str(), red));
    Start({texture, "red.QP"});
    // From the first frame on, every particle is red and leaves along the narrow
    // cone into the screen: over more than a lifetime none drifts out of the
    // 200 x 200 pixels at the centre (without the cone they spread twice as far).
    Grab g = ScreenWhen([](const Grab& g) { return Count(g, 220, 140, 420, 340, Lit) > 50; },
                        [](const Grab& g) {
                            EXPECT_EQ(0, Count(g, 160, 120, 480, 360, [](const unsigned char* p) {
                                          return p[1] + p[2] > 0;
                                      })) << "a particle in the default white";
                            EXPECT_EQ(0, Count(g, 0, 170, 640, 480, Lit) - Count(g, 220, 170, 420, 340, Lit))
                                << "a particle outside the cone";
                        },
                        1500);
    EXPECT_GT(Count(g, 220, 140, 420, 340, Lit), 50) << "particles";
    ASSERT_EQ(0, std::remove(folder.Path("red.QP").c_str()));
    x.Type("S");
    ASSERT_TRUE(WaitForFile("red.QP", 81));
    EXPECT_EQ(Record(red), ReadFile(folder.Path("red.QP"))) << "Save writes back the very settings loaded";
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
}

TEST_F(Editor, EachStartupFailurePrintsItsLineAndEndsWithOne)
{
    const struct {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{}, "Not enought arguments. Must at least specify texture.\n"},
        {{"missing.qtex"}, "Couldn't load texture missing.qtex\n"},
        {{texture}, "Couldn't load font Font.QF!\n"},  // Font.QF removed first
    };
    for (const auto& c : cases) {
        if (c.args.size() == 1 && c.args[0] == texture)
            std::remove(folder.Path("Font.QF").c_str());
        EditorProcess p(QPEDIT_PATH, c.args, folder.Root());
        EXPECT_EQ(1, p.Wait(20000)) << c.line;
        EXPECT_EQ(c.line, p.Output());
    }
    // No window can open without a display: the platform layer says why, and
    // start-up ends there.
    EditorProcess headless("/usr/bin/env",
                           {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11", QPEDIT_PATH, texture},
                           folder.Root());
    EXPECT_EQ(1, headless.Wait(20000));
    EXPECT_NE(std::string::npos, headless.Output().find("Error: ")) << headless.Output();
    EXPECT_EQ(std::string::npos, headless.Output().find("Couldn't")) << headless.Output();
    EXPECT_EQ(std::vector<std::string>{"stdout.txt"}, folder.List()) << "a failed start saves nothing";
}

TEST_F(Editor, TheScreenShowsMenuTopLeftPromptBottomLeftParticlesInTheMiddle)
{
    Start({texture});
    Grab g = ScreenWhen([](const Grab& g) { return Count(g, 270, 190, 370, 290, Lit) > 100; });
    EXPECT_GT(Count(g, 270, 190, 370, 290, Lit), 100) << "particles in the middle";
    EXPECT_GT(Count(g, 0, 0, 213, 160, White), 100) << "main menu at the top left";
    EXPECT_EQ(0, Count(g, 0, 420, 640, 480, White)) << "no prompt before typing";
    x.Type("ET250");
    g = ScreenWhen([](const Grab& g) { return Count(g, 0, 420, 320, 480, White) > 50; });
    EXPECT_GT(Count(g, 0, 420, 320, 480, White), 50) << "prompt at the bottom left";
    EXPECT_EQ(0, Count(g, 320, 420, 640, 480, White)) << "the prompt is short";
    x.Type("\x1b\x1bQ");
    EXPECT_EQ(0, editor->Wait(10000));
}
