// The headless GL context: a framebuffer of the asked size that reads back
// exactly on either kind of context, set-up again after shutdown, and refusals.

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "platform/OffscreenLL.h"

namespace {

// Clears, draws an immediate-mode quad over the left half, checks every byte.
void ExpectClearAndQuad(int width, int height)
{
    glClearColor(1.0f, 0.5f, 0.25f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glRectf(0.0f, 0.0f, float(width / 2), float(height));
    std::vector<unsigned char> pixels(size_t(width) * height * 4 + 4, 0xee);
    ASSERT_TRUE(readOffscreenLL(pixels.data()));
    for (int i = 0; i < width * height; ++i) {
        const bool quad = i % width < width / 2;
        const std::vector<unsigned char> expected = quad ? std::vector<unsigned char>{0, 255, 0, 255}
                                                         : std::vector<unsigned char>{255, 128, 64, 0};
        ASSERT_EQ(expected, std::vector<unsigned char>(&pixels[i * 4], &pixels[i * 4 + 4])) << "pixel " << i;
    }
    EXPECT_EQ(0xee, pixels.back()) << "wrote past the frame";
}

}  // namespace

TEST(Offscreen, EitherKindReadsBackExactlyAndSetsUpAgain)
{
    // An odd width catches a pack alignment other than 1.
    ASSERT_EQ(0, setupOffscreenLL(17, 9, OFFSCREEN_EGL)) << offscreenErrorLL();
    EXPECT_EQ(std::string("EGL surfaceless"), offscreenKindLL());
    ExpectClearAndQuad(17, 9);
    ASSERT_EQ(0, setupOffscreenLL(33, 20, OFFSCREEN_SDL)) << "replaces the first: " << offscreenErrorLL();
    EXPECT_EQ(std::string("hidden SDL window"), offscreenKindLL());
    ExpectClearAndQuad(33, 20);
    shutdownOffscreenLL();
    unsigned char pixel[4];
    EXPECT_FALSE(readOffscreenLL(pixel)) << "no context after shutdown";
    shutdownOffscreenLL();  // twice is harmless
    ASSERT_EQ(0, setupOffscreenLL(8, 8, OFFSCREEN_ANY)) << offscreenErrorLL();
    ExpectClearAndQuad(8, 8);
    shutdownOffscreenLL();
}

TEST(Offscreen, RefusesAnEmptyOrOversizedFramebufferAndLeavesNothing)
{
    EXPECT_EQ(1, setupOffscreenLL(0, 10, OFFSCREEN_ANY));
    EXPECT_NE(std::string::npos, std::string(offscreenErrorLL()).find("at least 1x1"));
    EXPECT_EQ(1, setupOffscreenLL(100000, 10, OFFSCREEN_EGL));
    EXPECT_NE(std::string::npos, std::string(offscreenErrorLL()).find("larger than this GL allows"))
        << offscreenErrorLL();
    EXPECT_EQ(std::string(""), offscreenKindLL());
    unsigned char pixel[4];
    EXPECT_FALSE(readOffscreenLL(pixel));
}
