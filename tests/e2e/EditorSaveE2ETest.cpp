// The real qpedit's Save under a file-size limit, over a file it read only in part or
// that another program changed while it ran, and what it says at start-up about the
// effect file it was given.
#include <gtest/gtest.h>

#include <memory>

#include "tests/e2e/XHarness.h"

namespace {

const std::string assets = QP_ASSET_DIR, texture = assets + "/Particle.qtex";

class EditorSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, x.dpy) << "the test command provides an X server in DISPLAY";
        std::filesystem::copy_file(assets + "/Font.QF", folder.Path("Font.QF"));
    }
    // Runs `command` (qpedit, or a program that starts it) in the test's folder and
    // waits until a frame shows the main menu, so the keys typed next reach the loop.
    void Start(const std::vector<std::string>& command)
    {
        editor = std::make_unique<EditorProcess>("/usr/bin/env", command, folder.root);
        ASSERT_TRUE(x.Attach("QParticleSystem - Editor 0.8 Beta", 30000)) << "no window: " << editor->Output();
        Grab screen;
        auto menuShows = [&] {
            if (!x.GrabWindow(screen))
                return false;
            for (size_t i = 0; i + 2 < screen.rgb.size(); i += 3)
                if (screen.rgb[i] == 255 && screen.rgb[i + 1] == 255 && screen.rgb[i + 2] == 255)
                    return true;
            return false;
        };
        auto end = Clock::now() + Ms(30000);
        while (!menuShows() && Clock::now() < end)
            usleep(20000);
    }

    XHarness x;
    ScratchFolder folder;
    std::unique_ptr<EditorProcess> editor;
};

const EmitterSettings red = {{1, 0, 0, 1}, {1, 0, 0, 1}, 0.02f, 0.2f, 1000, 400, true, {0, 0, -1}, 20};

}  // namespace

TEST_F(EditorSave, OverTheFileSizeLimitSaveFailsAndTheEditorGoesOn)
{
    ASSERT_TRUE(WriteEffectFile(folder.Path("e.QP").c_str(), red));
    // 40 bytes: room for the editor's one line on its output, not for an effect.
    Start({"prlimit", "--fsize=40:40", QPEDIT_PATH, texture, "e.QP"});
    x.Type("MS");
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000)) << "the editor went on to Quit";
    EXPECT_EQ("Couldn't save effect e.QP\n", editor->Output());
    EXPECT_EQ(Record(red), ReadBytes(folder.Path("e.QP")));
    EXPECT_EQ(3, folder.Count()) << "Font.QF, e.QP and stdout.txt: no temporary file";
}

TEST_F(EditorSave, AFileReadInPartIsKeptAsBak)
{
    Bytes trail100 = Record(red);
    trail100.resize(100, 'T');
    WriteBytes(folder.Path("trail100.QP"), trail100);
    Start({QPEDIT_PATH, texture, "trail100.QP"});
    x.Type("MS");
    EXPECT_EQ(trail100, ReadBytes(folder.Path("trail100.QP.bak")));
    EXPECT_EQ(Record(red), ReadBytes(folder.Path("trail100.QP"))) << "the 81 bytes the editor read";
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("Kept the earlier trail100.QP as trail100.QP.bak\n", editor->Output());
}

TEST_F(EditorSave, AFileChangedWhileTheEditorRunsIsKeptAsBak)
{
    ASSERT_TRUE(WriteEffectFile(folder.Path("e.QP").c_str(), DefaultEmitterSettings()));
    WriteBytes(folder.Path("e.QP.bak"), Bytes{'m', 'i', 'n', 'e'});  // the user's own
    Start({QPEDIT_PATH, texture, "e.QP"});
    ASSERT_TRUE(WriteEffectFile(folder.Path("e.QP").c_str(), red));  // another program writes meanwhile
    x.Type("MS");
    EXPECT_EQ(Record(red), ReadBytes(folder.Path("e.QP.bak.1")));
    EXPECT_EQ((Bytes{'m', 'i', 'n', 'e'}), ReadBytes(folder.Path("e.QP.bak")));
    EXPECT_EQ(Record(DefaultEmitterSettings()), ReadBytes(folder.Path("e.QP")));
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("Kept the earlier e.QP as e.QP.bak.1\n", editor->Output());
}

TEST_F(EditorSave, AMissingEffectFileIsNamedAtStartUpAndCreatedBySave)
{
    Start({QPEDIT_PATH, texture, "new.QP"});
    x.Type("MS");
    EXPECT_EQ(Record(DefaultEmitterSettings()), ReadBytes(folder.Path("new.QP")));
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ("new.QP doesn't exist yet; Save will create it\n", editor->Output());
}

// A texture that loads but whose chain stops short draws black: one line says so at
// start-up, and nothing else changes.
TEST_F(EditorSave, ATextureWithABrokenMipmapChainIsNamedAtStartUp)
{
    Bytes stub = {'Q', 'T', 'E', 'X', 0, 1, 3, 2, 4, 0, 4, 0};
    stub.insert(stub.end(), 4 * 4 * 3, 0xff);
    stub.insert(stub.end(), {2, 0, 2, 0});
    stub.insert(stub.end(), 2 * 2 * 3, 0xff);
    WriteBytes(folder.Path("short.qtex"), stub);
    Start({QPEDIT_PATH, "short.qtex", "new.QP"});
    x.Type("MQ");
    EXPECT_EQ(0, editor->Wait(10000));
    EXPECT_EQ(
        "short.qtex loads, but its mipmap chain stops at 2 x 2, not 1 x 1; GL draws it black\n"
        "new.QP doesn't exist yet; Save will create it\n",
        editor->Output());
}
