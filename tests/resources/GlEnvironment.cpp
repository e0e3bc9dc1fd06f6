#include "tests/resources/GlEnvironment.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/Platform.h"

namespace {
class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(0, setupLL("test", LL_DOUBLEBUFFER, 0, 0, glTestSize, glTestSize)); }
    void TearDown() override { shutdownLL(); }
};

// Registered before main runs; set up once, after gtest has parsed its flags.
::testing::Environment* const glEnvironment = ::testing::AddGlobalTestEnvironment(new GlEnvironment);
}  // namespace

void StartPixelFrame()
{
    glViewport(0, 0, glTestSize, glTestSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, glTestSize, 0, glTestSize, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
}

std::vector<uint8_t> ReadRed()
{
    std::vector<uint8_t> red(glTestSize * glTestSize);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, glTestSize, glTestSize, GL_RED, GL_UNSIGNED_BYTE, red.data());
    return red;
}

float RasterX()
{
    GLfloat position[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return position[0];
}
