#pragma once
// The GL side of the resource and tool tests: one 64 x 64 window with a current context
// for the whole program; drawing in window pixels and checking the picture.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Platform.h"

const int glTestSize = 64;             // window width and height in pixels
using Picture = std::vector<uint8_t>;  // red channel, row 0 at the bottom: [y * glTestSize + x]

class GlWindow : public ::testing::Environment {
    void SetUp() override { ASSERT_EQ(0, setupLL("test", LL_DOUBLEBUFFER, 0, 0, glTestSize, glTestSize)); }
    void TearDown() override { shutdownLL(); }
};
// Registered once per program before main runs; set up after gtest has parsed its flags.
inline ::testing::Environment* const glWindow = ::testing::AddGlobalTestEnvironment(new GlWindow);

// Clears to black, makes raster positions window pixels and the raster colour white.
inline void StartPixelFrame()
{
    glMatrixMode(GL_PROJECTION);  // the modelview matrix stays the identity
    glLoadIdentity();
    glOrtho(0, glTestSize, 0, glTestSize, -1, 1);
    glDisable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
}

inline float RasterX()  // x of the current raster position, in window pixels
{
    GLfloat position[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return position[0];
}

// The back buffer must equal want; a failure names the first pixel that differs.
inline void ExpectPicture(const Picture& want, const std::string& what)
{
    Picture red(want.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, glTestSize, glTestSize, GL_RED, GL_UNSIGNED_BYTE, red.data());
    size_t at = size_t(std::mismatch(want.begin(), want.end(), red.begin()).first - want.begin());
    EXPECT_EQ(want.size(), at) << what << ": pixel " << at % glTestSize << "," << at / glTestSize << " differs";
}
