// The editor's text and frame on real pixels: a session started as qpedit starts,
// drawn into the back buffer and read back. Needs the test command's Xvfb.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <GL/gl.h>
#include <unistd.h>

#include "app/Editor.h"
#include "app/EditorState.h"
#include "app/KeyReader.h"
#include "resources/QBitmapFont.h"

// Every C++ allocation of the process is counted, so a frame can be shown to make
// none. The sanitizer build keeps its own allocator; there the count stays 0.
static std::atomic<long> allocations{0};  // the GL driver may allocate on its own threads
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#endif

namespace {

const int W = 640, H = 480;

// Overlay units to window pixels: the overlay spans 300 x 300 whatever the window.
int PixelX(int x) { return x * W / 300; }
int PixelY(int y) { return y * H / 300; }

class EditorScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, chdir(QP_ASSET_DIR));  // Font.QF comes from the working directory
        ResetEditorState();
        lastKey = 0;
        std::string program = "qpedit", texture = "Particle.qtex";
        char* argv[] = {&program[0], &texture[0], nullptr};
        ASSERT_EQ(0, session.Start(2, argv));
    }

    // Draws the overlay alone (or after the effect) and reads the frame back,
    // bottom row first.
    void Draw(bool effect = false)
    {
        if (!effect)
            glClear(GL_COLOR_BUFFER_BIT);
        session.DrawOverlay();
        glFinish();
        rgb.resize(static_cast<size_t>(W) * H * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    }
    const unsigned char* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * W + x) * 3]; }
    int Lit(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += (At(x, y)[0] | At(x, y)[1] | At(x, y)[2]) != 0;
        return n;
    }
    // The first and last lit column among rows [y0, y1), or {-1, -1}.
    std::pair<int, int> Span(int y0, int y1) const
    {
        std::pair<int, int> span(-1, -1);
        for (int x = 0; x < W; ++x)
            if (Lit(x, y0, x + 1, y1)) {
                span.first = span.first < 0 ? x : span.first;
                span.second = x;
            }
        return span;
    }
    // Glyph rows of a line whose baseline is at overlay y.
    static int Low(int y) { return PixelY(y) - 4; }
    static int High(int y) { return PixelY(y) + 14; }

    // Each line from y = 285 down by 15 at x = 10, printed whole; empty lines dark.
    void ExpectMenu(MenuState state, const std::vector<const char*>& lines)
    {
        menuState = state;
        Draw();
        int y = 285;
        for (const char* line : lines) {
            std::pair<int, int> span = Span(Low(y), High(y));
            int width = static_cast<int>(activeFont->GetTextWidth(line));
            if (width == 0) {
                EXPECT_EQ(-1, span.first) << "empty line at y " << y;
            } else {
                EXPECT_NEAR(PixelX(10) + 2, span.first, 2) << "\"" << line << "\" starts at x 10";
                EXPECT_NEAR(PixelX(10) + width - 4, span.second, 5) << "\"" << line << "\" is printed whole";
            }
            y -= 15;
        }
        EXPECT_EQ(0, Lit(0, 0, W, Low(y + 15))) << "nothing below the last line";
    }

    EditorSession session;
    std::vector<unsigned char> rgb;
};

}  // namespace

TEST_F(EditorScreen, EachMenuIsPrintedInWhiteLineByLineFromTheTopLeft)
{
    menuState = MenuState::Hidden;
    Draw();
    EXPECT_EQ(0, Lit(0, 0, W, H)) << "no menu and no entry: no text";

    ExpectMenu(MenuState::Main, {"Main menu", "", "(E)dit menu", "(V)iew menu", "(S)ave", "(Q)uit"});
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] | rgb[i + 1] | rgb[i + 2]) {
            ASSERT_TRUE(rgb[i] == 255 && rgb[i + 1] == 255 && rgb[i + 2] == 255) << "opaque white, pixel " << i / 3;
        }
    }
    ExpectMenu(MenuState::View, {"View menu", "", "Zoom (I)n", "Zoom (O)ut", "Set (R)otation", "(C)lear"});
    ExpectMenu(MenuState::Edit, {"Edit menu", "", "(Z) Start color", "(X) End color", "(E)mitt per sec.",
                                 "Particle life(T)ime", "(S)ize", "(V)elocity", "Toggle (C)one emitting",
                                 "Cone (D)irection", "Cone (A)ngle"});
}

TEST_F(EditorScreen, ThePromptShowsAtTheBottomLeftWithTheTypedText)
{
    menuState = MenuState::Edit;
    editField = EditField::Lifetime;
    Draw();
    EXPECT_STREQ("Lifetime (mSec.): ", activeFont->GetPrintBuffer()) << "prompt, a blank, the empty buffer";
    std::pair<int, int> empty = Span(0, High(5));
    EXPECT_NEAR(PixelX(10) + 2, empty.first, 2);
    EXPECT_GT(Lit(0, Low(135), W, H), 0) << "the menu stays drawn above the prompt";

    std::strcpy(editBuffer, "250");
    editLength = 3;
    Draw();
    EXPECT_STREQ("Lifetime (mSec.): 250", activeFont->GetPrintBuffer());
    EXPECT_GT(Span(0, High(5)).second, empty.second + 10) << "the typed digits follow the prompt";
}

TEST_F(EditorScreen, UpdateAndTextAllocateNothingPerFrameAndTheViewTurnsBySpeedTimesFrameTime)
{
    menuState = MenuState::Edit;
    editField = EditField::Lifetime;
    std::strcpy(editBuffer, "250");
    editLength = 3;
    // After a warm-up (the effect at its steady size, the GL driver's programs
    // built) the particle update and the text make no allocation. The view turn
    // is left out: a QMatrix keeps its floats on the heap, temporaries included.
    long made = 0;
    for (int i = 0; i < 150; ++i) {
        long start = allocations;
        session.Update(16);
        long updated = allocations;
        session.DrawEffect(0.016f);
        long turned = allocations;
        session.DrawOverlay();
        made += i < 120 ? 0 : (updated - start) + (allocations - turned);
    }
    EXPECT_EQ(0, made) << "allocations in 30 frames";

    // Two half-second frames at 90 degrees per second turn the view 90 degrees
    // about Y; a frame without time turns nothing.
    viewRotation.Identity();
    rotationSpeed = {0.0f, 90.0f, 0.0f};
    session.DrawEffect(0.5f);
    session.DrawEffect(0.5f);
    session.DrawEffect(0.0f);
    QMatrix expected;
    expected.RotateY(90.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected.Get(i), viewRotation.Get(i), 1e-5f) << "element " << i;
}
