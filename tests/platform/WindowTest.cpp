#include "platform/Platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/platform/XHelpers.h"

// One letter for each thing the layer holds: instance (SDL's video), cursor,
// icon, window class, window, rendering context, event input, keyboard state.
static std::string held()
{
    const PlatformState& s = platformState;
    return std::string(s.instanceHandle ? "i" : "") + (s.arrowCursor ? "c" : "") + (s.windowIcon ? "n" : "") +
           (s.windowClass ? "C" : "") + (s.windowHandle ? "w" : "") + (s.renderContext ? "r" : "") +
           (s.directInput ? "D" : "") + (s.keyboardState ? "k" : "");
}

TEST(Window, OpensTitledAtItsSizeWithACurrentCompatibilityContextAndShutsDownTwice)
{
    const struct {
        const char* title;
        unsigned char flags;
        int x, y, width, height;
    } opens[] = {
        {"Particle editor", LL_DOUBLEBUFFER, 0, 0, 640, 480},
        {"buffers", LL_DOUBLEBUFFER | LL_DEPTH | LL_STENCIL, 10, 20, 320, 200},
        {"full", LL_DOUBLEBUFFER | LL_FULLSCREEN, 0, 0, 1024, 768},  // the test server's one mode
    };
    OtherClient wm;
    ASSERT_NE(nullptr, wm.display);
    for (const auto& o : opens) {
        ASSERT_EQ(0, setupLL(o.title, o.flags, o.x, o.y, o.width, o.height)) << o.title;
        EXPECT_EQ(o.width, platformState.clientWidth) << o.title;
        EXPECT_EQ((o.flags & LL_FULLSCREEN) ? 1 : 0, platformState.fullscreen) << o.title;
        char* name = nullptr;
        XFetchName(wm.display, layerWindow(), &name);
        EXPECT_STREQ(o.title, name);
        XFree(name);
        XWindowAttributes window;
        ASSERT_TRUE(XGetWindowAttributes(wm.display, layerWindow(), &window));
        EXPECT_EQ(std::make_pair(o.width, o.height), std::make_pair(window.width, window.height)) << o.title;
        EXPECT_EQ(IsViewable, window.map_state) << o.title;
        const auto gl = [](GLenum value) {
            GLint v = 0;
            glGetIntegerv(value, &v);
            return v;
        };
        EXPECT_EQ(1, gl(GL_DOUBLEBUFFER)) << o.title;
        EXPECT_GE(gl(GL_DEPTH_BITS), (o.flags & LL_DEPTH) ? 16 : 0) << o.title;
        EXPECT_GE(gl(GL_STENCIL_BITS), (o.flags & LL_STENCIL) ? 8 : 0) << o.title;
        glRectf(-1, -1, 1, 1);  // immediate mode: an error unless the context is a compatibility one
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError()) << o.title;
        swapBuffersLL();
        shutdownLL();
        shutdownLL();
        EXPECT_EQ("i", held()) << o.title;
        EXPECT_EQ(0, platformState.fullscreen) << o.title;
    }
}

TEST(SetupFailure, EachFailureShowsItsOneMessageThenTearsDownAsItsStepRequires)
{
    // Per step: its message, what the layer held while the box showed, and after.
    // Up to 5 nothing is undone (the caller's exit does it); from 6 on all but the
    // video subsystem is, after the box, but for 12 where the window goes first.
    const struct {
        const char *text, *atBox, *after;
    } steps[] = {
        {"Was not able to get instance handle.", "", ""},
        {"Cursor and/or Icon not loaded properly.", "i", "i"},
        {"Wasn't able to regiser windowclass.", "icn", "icn"},
        {"Wasn't able to change screen mode.", "icnC", "icnC"},
        {"Was not able to calculate proper size of window.", "icnC", "icnC"},
        {"Could not create window.", "icnC", "i"},
        {"Could not get the device context for window.", "icnCw", "i"},
        {"Could not find a good pixel format.", "icnCw", "i"},
        {"Could not set pixel format.", "icnCw", "i"},
        {"Wasn't able to create rendering context.", "icnCw", "i"},
        {"Could not activate rendering context.", "icnCwr", "i"},
        {"setupLL failed!!", "i", "i"},
    };
    // Each step forced (in full screen for 4, the mode switch), then real failures: a
    // full-screen mode the test server (1024x768 only) lacks, sizes no window can have.
    struct Case {
        int step, forced, width, height;
    };
    std::vector<Case> cases = {{4, 0, 640, 480}, {5, 0, 0, 480}, {5, 0, 640, -1}, {5, 0, 40000, 480}};
    for (int step = 1; step <= 12; ++step) {
        cases.push_back({step, step, step == 4 ? 1024 : 640, step == 4 ? 768 : 480});
    }
    static std::vector<std::string> boxes;  // caption, text, what was held then
    setMessageBoxLL([](const char* caption, const char* text) { boxes.insert(boxes.end(), {caption, text, held()}); });
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << c.step << (c.forced ? " forced" : " ") << c.width);
        platformState = PlatformState{};
        boxes.clear();
        failSetupLL(c.forced);
        const unsigned char flags = c.step == 4 ? LL_DOUBLEBUFFER | LL_FULLSCREEN : LL_DOUBLEBUFFER;
        EXPECT_EQ(1, setupLL("failing", flags, 0, 0, c.width, c.height));
        EXPECT_EQ((std::vector<std::string>{"Error", steps[c.step - 1].text, steps[c.step - 1].atBox}), boxes);
        EXPECT_EQ(steps[c.step - 1].after, held());
        EXPECT_EQ(0, platformState.clientWidth + platformState.fullscreen) << "a failed setup records nothing";
        shutdownLL();
    }
    failSetupLL(0);
    setMessageBoxLL(nullptr);
}

TEST(SetupFailure, WithoutDisplayTheFirstMessageGoesToStderr)
{
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");  // SDL's own choice: it falls back to a driver that shows nothing
            std::exit(setupLL("no display", LL_DOUBLEBUFFER, 0, 0, 640, 480));
        },
        ::testing::ExitedWithCode(1), "Error: Was not able to get instance handle\\.\n$");
}

TEST(Window, CloseEndsTheProcessWithCodeZeroFromInsidePump)
{
    EXPECT_EXIT(
        {
            if (setupLL("closing", LL_DOUBLEBUFFER, 0, 0, 200, 100) == 0) {
                std::atexit([] { std::fputs("exit handlers ran", stderr); });
                OtherClient().closeWindow(layerWindow());
                for (int i = 0; i < 500; ++i, usleep(10000))
                    pumpLL(1);
            }
            std::exit(30);
        },
        ::testing::ExitedWithCode(0), "^exit handlers ran$");
}
