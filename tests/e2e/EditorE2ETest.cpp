// The real qpedit under the test command's X server: typed keys, saved bytes,
// loaded effects, start-up failures, the two ways out, and what the screen shows.
#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

#include "app/Editor.h"
#include "tests/e2e/XHarness.h"

namespace {

const std::string assets = QP_ASSET_DIR, texture = assets + "/Particle.qtex";

bool White(const unsigned char* p)
{
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}
bool Lit(const unsigned char* p)
{
    return p[0] > 40 || p[1] > 40 || p[2] > 40;
}
bool NotRed(const unsigned char* p)
{
    return p[1] + p[2] > 0;
}

// Pixels of `g` in [x0, x1) x [y0, y1), rows from the top, that pass `test`.
int Count(const Grab& g, int x0, int y0, int x1, int y1, bool (*test)(const unsigned char*))
{
    int n = 0;
    for (int y = y0; y < std::min(y1, g.height); ++y)
        for (int x = x0; x < std::min(x1, g.width); ++x)
            n += test(&g.rgb[(static_cast<size_t>(y) * g.width + x) * 3]);
    return n;
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, x.dpy) << "the test command provides an X server in DISPLAY";
        std::filesystem::copy_file(assets + "/Font.QF", folder.Path("Font.QF"));
    }
    // Starts qpedit in the test's folder and waits until a frame shows the main
    // menu, so that the keys typed next reach a running frame loop.
    void Start(const std::vector<std::string>& args)
    {
        editor = std::make_unique<EditorProcess>(QPEDIT_PATH, args, folder.root);
        ASSERT_TRUE(x.Attach(editorWindowTitle, 30000)) << "no window: " << editor->Output();
        ASSERT_TRUE(ScreenWhen([](const Grab& g) { return Count(g, 0, 0, 320, 160, White) > 0; })) << "no menu";
    }
    // Grabs the window into `screen` until `ready` holds for it; false when not within 30 s.
    bool ScreenWhen(bool (*ready)(const Grab&))
    {
        for (auto end = Clock::now() + Ms(30000); Clock::now() < end; usleep(20000))
            if (x.GrabWindow(screen) && ready(screen))
                return true;
        return false;
    }

    XHarness x;
    ScratchFolder folder;
    std::unique_ptr<EditorProcess> editor;
    Grab screen;
};

}  // namespace

TEST_F(Editor, TheRoadOfOneEditShowsMenuPromptAndParticlesAndSavesThe65Bytes)
{
    Start({texture});
    ASSERT_TRUE(ScreenWhen([](const Grab& g) { return Count(g, 270, 190, 370, 290, Lit) > 100; })) << "particles";
    EXPECT_GT(Count(screen, 0, 0, 213, 160, White), 100) << "main menu at the top left";
    x.Type("EE250");
    EXPECT_TRUE(ScreenWhen([](const Grab& g) { return Count(g, 0, 420, 320, 480, White) > 50; })) << "prompt";
    EXPECT_EQ(0, Count(screen, 320, 420, 640, 480, White)) << "the prompt is at the left";
    x.Type("\r\033S");
    EmitterSettings expected = DefaultEmitterSettings();
    expected.emitRate = 250;
    // Saved within the frame that saw S, so by the time Type returns; 65 bytes.
    EXPECT_EQ(Record(expected), ReadBytes(folder.Path("Out.QP"))) << "without an effect name Save writes Out.QP";
    x.Type("QMQ");
    EXPECT_EQ(0, editor->Wait(10000)) << "Q quits from the main menu only";
    EXPECT_EQ("", editor->Output());
}

TEST_F(Editor, ASavedEffectIsLiveFromTheFirstFrameAndTheConeOnSaves81Bytes)
{
    // Red, 400 a second, along a 20-degree cone into the screen.
    const EmitterSettings red = {{1, 0, 0, 1}, {1, 0, 0, 1}, 0.02f, 0.2f, 1000, 400, true, {0, 0, -1}, 20};
    ASSERT_TRUE(WriteEffectFile(folder.Path("red.QP").c_str(), red));
    Start({texture, "red.QP"});
    // From the first frame on, every particle is red and leaves along the narrow
    // cone into the screen: over more than a lifetime none drifts out of the
    // 200 x 200 pixels at the centre (without the cone they spread twice as far).
    for (auto end = Clock::now() + Ms(1500); Clock::now() < end; usleep(20000)) {
        ASSERT_TRUE(x.GrabWindow(screen));
        EXPECT_EQ(0, Count(screen, 160, 120, 480, 360, NotRed)) << "a particle in the default white";
        EXPECT_EQ(Count(screen, 0, 170, 640, 480, Lit), Count(screen, 220, 170, 420, 340, Lit)) << "one off the cone";
    }
    EXPECT_GT(Count(screen, 220, 140, 420, 340, Lit), 50) << "particles";
    // The cone off and on again: Save writes the 81 bytes where the effect came from.
    ASSERT_TRUE(std::filesystem::remove(folder.Path("red.QP")));
    x.Type("ECC\033S");
    EXPECT_EQ(Record(red), ReadBytes(folder.Path("red.QP"))) << "the cone keeps its axis and angle";
    x.Close();
    EXPECT_EQ(0, editor->Wait(10000)) << "closing the window ends with 0";
}

TEST_F(Editor, EachStartupFailurePrintsItsLineAndEndsWithOne)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QPEDIT_PATH}, "Not enought arguments. Must at least specify texture.\n"},
        {{QPEDIT_PATH, "missing.qtex"}, "Couldn't load texture missing.qtex\n"},
        // Without a display no window opens: the platform layer says why, and start-up ends there.
        {{"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11", QPEDIT_PATH, texture},
         "Error: Was not able to get instance handle.\n"},
        {{QPEDIT_PATH, texture}, "Couldn't load font Font.QF!\n"},  // Font.QF removed first
    };
    for (const auto& c : cases) {
        if (c.first.size() == 2 && c.first[1] == texture)
            std::filesystem::remove(folder.Path("Font.QF"));
        EditorProcess p("/usr/bin/env", c.first, folder.root);
        EXPECT_EQ(1, p.Wait(20000)) << c.second;
        EXPECT_EQ(c.second, p.Output());
    }
    EXPECT_EQ(1, folder.Count()) << "only stdout.txt: a failed start saves nothing";
}

TEST_F(Editor, TheFirstSaveOverAFileStartUpRefusedKeepsItAsBak)
{
    // A texture named as the effect: not an effect file, so start-up runs the defaults.
    std::filesystem::copy_file(texture, folder.Path("tex.QP"));
    const Bytes before = ReadBytes(folder.Path("tex.QP"));
    Start({texture, "tex.QP"});
    x.Type("MS");
    EXPECT_EQ(before, ReadBytes(folder.Path("tex.QP.bak"))) << "the texture's bytes kept";
    EXPECT_EQ(Record(DefaultEmitterSettings()), ReadBytes(folder.Path("tex.QP"))) << "the 65 bytes of the defaults";
    x.Type("MS");  // the file is the editor's own now: no second copy
    EXPECT_EQ(before, ReadBytes(folder.Path("tex.QP.bak"))) << "the second Save keeps the .bak";
    x.Close();
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("tex.QP isn't an effect file; Save will keep it as tex.QP.bak\nKept the earlier tex.QP as tex.QP.bak\n",
              editor->Output());
}

TEST_F(Editor, SaveOverAFifoFailsAndLeavesTheFifo)
{
    ASSERT_EQ(0, mkfifo(folder.Path("pipe.QP").c_str(), 0600));
    Start({texture, "pipe.QP"});
    x.Type("MS");
    struct stat info;
    ASSERT_EQ(0, lstat(folder.Path("pipe.QP").c_str(), &info));
    EXPECT_EQ(unsigned(S_IFIFO), info.st_mode & S_IFMT) << "still a FIFO";
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("pipe.QP can't be read: not a regular file\nCouldn't save effect pipe.QP\n", editor->Output());
    EXPECT_EQ(3, folder.Count()) << "Font.QF, pipe.QP and stdout.txt: no .bak, no temporary file";
}
