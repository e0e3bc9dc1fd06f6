// The editor's text on real pixels: a session started as qpedit starts, its overlay
// drawn into the back buffer and read back, against the same texts printed by hand
// where they belong. Needs the test command's Xvfb.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <GL/gl.h>
#include <unistd.h>

#include "app/Editor.h"
#include "app/EditorState.h"
#include "resources/QBitmapFont.h"

namespace {

using Lines = std::vector<std::pair<int, const char*>>;  // overlay y and text, all at x = 10
const int W = 640, H = 480;

class EditorScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, chdir(QP_ASSET_DIR));  // Font.QF comes from the working directory
        ResetEditorState();
        std::string program = "qpedit", texture = "Particle.qtex";
        char* argv[] = {&program[0], &texture[0], nullptr};
        ASSERT_EQ(0, session.Start(2, argv));
    }
    // The overlay as the editor draws it, then `lines` printed over it; bottom row first.
    std::vector<unsigned char> Frame(const Lines& lines = {})
    {
        std::vector<unsigned char> rgb(W * H * 3);
        glClear(GL_COLOR_BUFFER_BIT);
        session.DrawOverlay();
        for (const auto& [y, text] : lines)
            activeFont->DrawText(10, y, text);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }
    // The shown frame equals the texts printed at their places by hand, and its
    // pixels are black or white with some white within `x1` and rows [y0, y1).
    void Expect(const Lines& texts, int x1, int y0, int y1)
    {
        std::vector<unsigned char> shown = Frame();
        menuState = MenuState::Hidden;
        editField = EditField::None;
        std::vector<unsigned char> printed = Frame(texts);
        int differ = 0, white = 0, other = 0;
        for (int i = 0; i < W * H; ++i) {
            const unsigned char* p = &shown[i * 3];
            differ += std::memcmp(p, &printed[i * 3], 3) != 0;
            white += p[0] == 255 && p[1] == 255 && p[2] == 255 && i % W < x1 && i / W >= y0 && i / W < y1;
            other += (p[0] | p[1] | p[2]) && (p[0] & p[1] & p[2]) != 255;
        }
        EXPECT_EQ(0, differ) << "pixels unlike the texts printed by hand";
        EXPECT_GT(white, 100) << "white text where it belongs";
        EXPECT_EQ(0, other) << "pixels neither black nor opaque white";
    }

    EditorSession session;
};

// The edit menu's lines, from y = 285 down by 15 (the second line is empty).
const Lines editMenu = {{285, "Edit menu"},        {255, "(Z) Start color"},        {240, "(X) End color"},
                        {225, "(E)mitt per sec."}, {210, "Particle life(T)ime"},    {195, "(S)ize"},
                        {180, "(V)elocity"},       {165, "Toggle (C)one emitting"}, {150, "Cone (D)irection"},
                        {135, "Cone (A)ngle"}};

}  // namespace

TEST_F(EditorScreen, EachMenuAndThePromptArePrintedWhereTheyBelong)
{
    Expect({{285, "Main menu"}, {255, "(E)dit menu"}, {240, "(V)iew menu"}, {225, "(S)ave"}, {210, "(Q)uit"}}, W / 3,
           H / 2, H);
    EXPECT_TRUE(Frame() == std::vector<unsigned char>(W * H * 3)) << "no menu and no entry: no text";
    menuState = MenuState::View;
    Expect({{285, "View menu"}, {255, "Zoom (I)n"}, {240, "Zoom (O)ut"}, {225, "Set (R)otation"}, {210, "(C)lear"}},
           W / 3, H / 2, H);
    menuState = MenuState::Edit;
    Expect(editMenu, W / 2, H / 3, H);

    // The prompt at the bottom left, a blank, then the typed text.
    menuState = MenuState::Edit;
    editField = EditField::Lifetime;
    Frame();
    EXPECT_STREQ("Lifetime (mSec.): ", activeFont->GetPrintBuffer());
    std::strcpy(editBuffer, "250");
    editLength = 3;
    Lines texts = editMenu;
    texts.push_back({5, "Lifetime (mSec.): 250"});
    Expect(texts, W / 2, 0, H / 10);
}
