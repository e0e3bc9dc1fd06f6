#include "platform/Platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/platform/XHelpers.h"

namespace {

// What the stand-in message box saw, and the layer's state at that moment.
struct BoxSeen {
    std::string caption;
    std::string text;
    bool windowAlive;   // windowHandle was non-null while the box showed
    bool contextAlive;  // renderContext was non-null while the box showed
};
std::vector<BoxSeen> boxes;

void recordBox(const char* caption, const char* text) {
    boxes.push_back({caption, text, platformState.windowHandle != nullptr,
                     platformState.renderContext != nullptr});
}

class SetupFailure : public ::testing::Test {
protected:
    void SetUp() override {
        platformState = PlatformState{};  // as at program start, whatever ran before in this process
        boxes.clear();
        setMessageBoxLL(recordBox);
    }
    void TearDown() override {
        failSetupLL(0);
        setMessageBoxLL(nullptr);
        shutdownLL();  // failures 1 to 5 leave what they did for the caller's exit
    }
};

// Starts the platform_child program with `mode`; `reader` gets its stdout
// while it runs. Returns its wait status; `errors` gets its stderr.
template <typename Reader>
int runChild(const char* mode, Reader reader, std::string& errors) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        execl(QP_PLATFORM_CHILD, QP_PLATFORM_CHILD, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    FILE* output = fdopen(out[0], "r");
    reader(output);
    fclose(output);
    char buffer[512];
    ssize_t got;
    while ((got = read(err[0], buffer, sizeof buffer)) > 0) {
        errors.append(buffer, static_cast<size_t>(got));
    }
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST(Window, EditorRequestOpensTitledWindowWithCurrentCompatibilityContext) {
    ASSERT_EQ(0, setupLL("Particle editor", LL_DOUBLEBUFFER, 0, 0, 640, 480));
    EXPECT_EQ(0, platformState.windowX);
    EXPECT_EQ(640, platformState.clientWidth);
    EXPECT_EQ(480, platformState.clientHeight);
    EXPECT_EQ(0, platformState.fullscreen);
    ASSERT_NE(nullptr, platformState.x11Display);

    OtherClient wm;
    ASSERT_NE(nullptr, wm.display);
    EXPECT_EQ("Particle editor", wm.title(layerWindow()));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(wm.display, layerWindow(), &attributes));
    EXPECT_EQ(640, attributes.width);
    EXPECT_EQ(480, attributes.height);
    EXPECT_EQ(IsViewable, attributes.map_state);

    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(doubleBuffered);
    // Fixed-function calls of OpenGL 1.1 work: the context is a compatibility one.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0, 1, 0);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(0, 0);
    glVertex2f(0, 20);
    glVertex2f(20, 0);
    glVertex2f(20, 20);
    glEnd();
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    unsigned char pixel[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(0, pixel[0]);
    EXPECT_EQ(255, pixel[1]);
    swapBuffersLL();

    shutdownLL();
    EXPECT_EQ(nullptr, platformState.windowHandle);
    EXPECT_EQ(nullptr, platformState.renderContext);
    EXPECT_EQ(nullptr, platformState.keyboardState);
    EXPECT_EQ(0, platformState.windowClass);
    EXPECT_EQ(0, platformState.directInput);
}

TEST(Window, BufferFlagsReachTheContext) {
    ASSERT_EQ(0, setupLL("buffers", LL_DOUBLEBUFFER | LL_DEPTH | LL_STENCIL, 10, 20, 320, 200));
    GLint depth = 0, stencil = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    EXPECT_GE(depth, 16);
    EXPECT_GE(stencil, 8);
    EXPECT_EQ(10, platformState.windowX);
    EXPECT_EQ(20, platformState.windowY);
    shutdownLL();
    EXPECT_EQ(0, platformState.fullscreen);
}

TEST(Window, FullScreenTakesTheDisplayAndShutdownGivesItBack) {
    // The test server's one mode is 1024x768.
    ASSERT_EQ(0, setupLL("full", LL_FULLSCREEN | LL_DOUBLEBUFFER, 0, 0, 1024, 768));
    EXPECT_EQ(1, platformState.fullscreen);
    OtherClient wm;
    ASSERT_NE(nullptr, wm.display);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(wm.display, layerWindow(), &attributes));
    EXPECT_EQ(1024, attributes.width);
    EXPECT_EQ(768, attributes.height);
    shutdownLL();
    EXPECT_EQ(0, platformState.fullscreen);
    EXPECT_EQ(nullptr, platformState.windowHandle);
}

TEST(Window, ShutdownTwiceAndSetupAgainWork) {
    ASSERT_EQ(0, setupLL("first", LL_DOUBLEBUFFER, 0, 0, 64, 64));
    shutdownLL();
    shutdownLL();
    ASSERT_EQ(0, setupLL("second", LL_DOUBLEBUFFER, 0, 0, 64, 64));
    EXPECT_EQ(0, pumpLL(1));
    shutdownLL();
}

TEST_F(SetupFailure, EachFailureShowsItsMessageOnceWithItsTeardown) {
    struct Case {
        int failure;
        unsigned char flags;
        const char* text;
    };
    const Case cases[] = {
        {1, LL_DOUBLEBUFFER, "Was not able to get instance handle."},
        {2, LL_DOUBLEBUFFER, "Cursor and/or Icon not loaded properly."},
        {3, LL_DOUBLEBUFFER, "Wasn't able to regiser windowclass."},
        {4, LL_DOUBLEBUFFER | LL_FULLSCREEN, "Wasn't able to change screen mode."},
        {5, LL_DOUBLEBUFFER, "Was not able to calculate proper size of window."},
        {6, LL_DOUBLEBUFFER, "Could not create window."},
        {7, LL_DOUBLEBUFFER, "Could not get the device context for window."},
        {8, LL_DOUBLEBUFFER, "Could not find a good pixel format."},
        {9, LL_DOUBLEBUFFER, "Could not set pixel format."},
        {10, LL_DOUBLEBUFFER, "Wasn't able to create rendering context."},
        {11, LL_DOUBLEBUFFER, "Could not activate rendering context."},
        {12, LL_DOUBLEBUFFER, "setupLL failed!!"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        failSetupLL(c.failure);
        platformState = PlatformState{};
        EXPECT_EQ(1, setupLL("failing", c.flags, 0, 0, 640, 480)) << "failure " << c.failure;
        ASSERT_EQ(1u, boxes.size()) << "failure " << c.failure;
        EXPECT_EQ("Error", boxes[0].caption);
        EXPECT_EQ(c.text, boxes[0].text) << "failure " << c.failure;
        // Nothing of a failed setup is recorded.
        EXPECT_EQ(0, platformState.clientWidth) << "failure " << c.failure;
        EXPECT_EQ(0, platformState.fullscreen) << "failure " << c.failure;

        if (c.failure <= 5) {
            // Nothing is undone: the display connection stays, and after 4 and 5 the class too.
            EXPECT_EQ(c.failure > 1, platformState.instanceHandle != nullptr) << "failure " << c.failure;
            EXPECT_EQ(c.failure >= 4 ? 1 : 0, platformState.windowClass) << "failure " << c.failure;
        } else {
            // The box shows over the window (6 to 11); for 12 the window is gone first.
            EXPECT_EQ(c.failure >= 7 && c.failure <= 11, boxes[0].windowAlive) << "failure " << c.failure;
            EXPECT_EQ(c.failure == 11, boxes[0].contextAlive) << "failure " << c.failure;
            EXPECT_EQ(nullptr, platformState.windowHandle) << "failure " << c.failure;
            EXPECT_EQ(nullptr, platformState.renderContext) << "failure " << c.failure;
            EXPECT_EQ(nullptr, platformState.keyboardState) << "failure " << c.failure;
            EXPECT_EQ(0, platformState.directInput) << "failure " << c.failure;
            EXPECT_EQ(0, platformState.windowClass) << "failure " << c.failure;
            EXPECT_EQ(nullptr, platformState.arrowCursor) << "failure " << c.failure;
        }
        shutdownLL();
    }
}

TEST_F(SetupFailure, SizesNoWindowCanHaveAreRefused) {
    const int sizes[][2] = {{0, 480}, {640, 0}, {-640, 480}, {640, -1}, {40000, 480}};
    for (const auto& size : sizes) {
        boxes.clear();
        EXPECT_EQ(1, setupLL("bad size", LL_DOUBLEBUFFER, 0, 0, size[0], size[1]));
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("Was not able to calculate proper size of window.", boxes[0].text)
            << size[0] << "x" << size[1];
        EXPECT_EQ(nullptr, platformState.windowHandle);
        shutdownLL();
    }
}

TEST_F(SetupFailure, FullScreenModeTheDisplayLacksIsRefused) {
    // The test server has one mode, 1024x768.
    EXPECT_EQ(1, setupLL("full", LL_FULLSCREEN | LL_DOUBLEBUFFER, 0, 0, 640, 480));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Wasn't able to change screen mode.", boxes[0].text);
    EXPECT_EQ(nullptr, platformState.windowHandle);
    EXPECT_EQ(1, platformState.windowClass);
}

TEST(Window, WithoutDisplayTheFirstMessageGoesToStderr) {
    std::string errors;
    const int status = runChild("no-display", [](FILE*) {}, errors);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "setupLL did not return 1";
    // The one line of ours comes last; a client library may have said why it
    // found no display before it.
    const std::string line = "Error: Was not able to get instance handle.\n";
    ASSERT_GE(errors.size(), line.size()) << errors;
    EXPECT_EQ(line, errors.substr(errors.size() - line.size())) << errors;
    EXPECT_EQ(errors.find("Error:"), errors.size() - line.size()) << errors;
}

TEST(Window, CloseEndsTheProcessWithCodeZeroFromInsidePump) {
    std::string errors;
    OtherClient wm;
    ASSERT_NE(nullptr, wm.display);
    const int status = runChild(
        "close",
        [&](FILE* output) {
            unsigned long id = 0;
            ASSERT_EQ(1, fscanf(output, "%lu", &id));
            wm.closeWindow(static_cast<Window>(id));
        },
        errors);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << errors;
    EXPECT_EQ("exit handlers ran", errors);
}
