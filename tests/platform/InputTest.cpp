#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include <SDL2/SDL.h>

#include <X11/keysym.h>

#include "tests/platform/XHelpers.h"

// A layer window at the screen origin and a second client that plays the user
// and can take the focus.
class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, setupLL("input", LL_DOUBLEBUFFER, 0, 0, 640, 480));
        ASSERT_NE(nullptr, user.display);
        ASSERT_EQ(KEYBOARD_X11_KEYMAP, platformState.keyboardDevice);
        ASSERT_TRUE(pumpUntil([&] { return user.focus() == layerWindow(); }));
    }
    void TearDown() override { shutdownLL(); }
    static long keysDown()
    {
        const unsigned char* keys = platformState.keyboardState;
        return std::count_if(keys, keys + 256, [](unsigned char key) { return key & 0x80; });
    }

    OtherClient user;
};

TEST_F(Input, EachPumpReadsTheKeysDownThenWhicheverWindowHasFocus)
{
    const std::pair<KeySym, unsigned char> keys[] = {
        {XK_a, DIK_A},
        {XK_m, DIK_M},
        {XK_q, DIK_Q},
        {XK_z, DIK_Z},
        {XK_l, DIK_L},
        {XK_p, DIK_P},
        {XK_1, DIK_1},
        {XK_5, DIK_5},
        {XK_9, DIK_9},
        {XK_0, DIK_0},
        {XK_KP_0, DIK_NUMPAD0},
        {XK_KP_1, DIK_NUMPAD1},
        {XK_KP_5, DIK_NUMPAD5},
        {XK_KP_9, DIK_NUMPAD9},
        {XK_comma, DIK_COMMA},
        {XK_period, DIK_PERIOD},
        {XK_KP_Delete, DIK_DECIMAL},
        {XK_minus, DIK_MINUS},
        {XK_KP_Subtract, DIK_SUBTRACT},
        {XK_Return, DIK_RETURN},
        {XK_KP_Enter, DIK_NUMPADENTER},
        {XK_BackSpace, DIK_BACK},
        {XK_Delete, DIK_DELETE},
        {XK_Escape, DIK_ESCAPE},
        {XK_space, DIK_SPACE},
        {XK_Shift_L, DIK_LSHIFT},
        {XK_Control_R, DIK_RCONTROL},
        {XK_F1, DIK_F1},
        {XK_F12, DIK_F12},
        {XK_Up, DIK_UP},
        {XK_Next, DIK_NEXT},
        {XK_KP_Divide, DIK_DIVIDE},
    };
    for (const Window focus : {user.window, layerWindow()}) {
        user.giveFocus(focus);
        ASSERT_TRUE(pumpUntil([&] { return user.focus() == focus; }));
        for (const auto& k : keys) {
            const char* name = XKeysymToString(k.first);
            user.key(k.first, true);
            user.key(k.first, false);
            EXPECT_EQ(0, pumpLL(1));
            EXPECT_EQ(0, keysDown()) << name << " pressed and released between two pumps";
            user.key(k.first, true);
            pumpLL(1);
            EXPECT_EQ(0x80, platformState.keyboardState[k.second] & 0x80) << name;
            EXPECT_EQ(1, keysDown()) << name;
            user.key(k.first, false);
            pumpLL(1);
            EXPECT_EQ(0, keysDown()) << name;
        }
    }
}

TEST_F(Input, MouseFollowsThePumpsInTheForegroundOnly)
{
    user.moveTo(100, 150);
    user.button(1, true);
    pumpLL(1);
    EXPECT_EQ(std::make_pair(100 - 320, 150 - 240), std::make_pair(mouseXLL(), mouseYLL()));
    EXPECT_EQ(1u, mouseButtonLL(MOUSE_BUTTON0 | MOUSE_BUTTON1));
    user.button(3, true);
    user.button(1, false);
    pumpLL(1);
    EXPECT_EQ(2u, mouseButtonLL(MOUSE_BUTTON0 | MOUSE_BUTTON1));
    EXPECT_TRUE(mouseReleasedLL(MOUSE_BUTTON0));
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON1));
    user.button(3, false);
    pumpLL(1);
    EXPECT_TRUE(mouseReleasedLL(MOUSE_BUTTON1));
    pumpLL(1);
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON1)) << "a release is reported for one pump only";
    user.button(3, true);
    pumpLL(1);
    user.button(3, false);  // then more changes of the other button than the buffer holds
    for (int i = 0; i < 25; ++i) {
        user.button(1, i % 2 == 0);  // down, up, ..., down
    }
    pumpLL(1);
    EXPECT_EQ(1u, mouseButtonLL(MOUSE_BUTTON0 | MOUSE_BUTTON1)) << "the latest of 26 changes between two pumps";
    EXPECT_TRUE(mouseReleasedLL(MOUSE_BUTTON1));

    // A lock gives the movement since the previous pump and puts the cursor back.
    lockCursorLL(0, 0);
    user.moveTo(400, 300);
    pumpLL(1);
    EXPECT_EQ(std::make_pair(80, 60), std::make_pair(mouseXLL(), mouseYLL()));
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    EXPECT_EQ(std::make_pair(320, 240), std::make_pair(x, y)) << "the cursor is back on the lock point";
    // Kept only with the lock point inside the client area, both ends included.
    const short locks[][4] = {{320, 240, 640, 480}, {-320, -240, 0, 0}, {321, 0, -1, -1}, {0, -241, -1, -1}};
    for (const auto& l : locks) {
        lockCursorLL(l[0], l[1]);
        const MouseState& m = platformState.mouseState;
        EXPECT_EQ(std::make_pair(l[2], l[3]), std::make_pair(m.lockX, m.lockY)) << l[0] << "," << l[1];
    }

    user.giveFocus(user.window);
    ASSERT_TRUE(pumpUntil([&] { return user.focus() == user.window; }));
    const short seenX = platformState.mouseState.cursorX;
    user.moveTo(300, 200);
    pumpLL(1);
    EXPECT_EQ(seenX, platformState.mouseState.cursorX) << "motion in the background is not read";
}

TEST_F(Input, QuitIsReportedOnceWhileTheKeyboardAndTheQueueAreStillRead)
{
    user.key(XK_q, true);
    std::raise(SIGTERM);  // SDL turns it into its quit event
    EXPECT_EQ(QUIT_SEEN, pumpLL(1));
    EXPECT_EQ(0x80, platformState.keyboardState[DIK_Q] & 0x80);
    EXPECT_EQ(0, pumpLL(1)) << "a quit is reported once";

    SDL_Event quit = {}, press = {};
    quit.type = SDL_QUIT;
    press.button = {SDL_MOUSEBUTTONDOWN,
                    0,
                    SDL_GetWindowID(platformState.windowHandle),
                    0,
                    SDL_BUTTON_LEFT,
                    SDL_PRESSED,
                    1,
                    0,
                    0,
                    0};
    ASSERT_EQ(1, SDL_PushEvent(&quit));
    ASSERT_EQ(1, SDL_PushEvent(&press));
    EXPECT_EQ(QUIT_SEEN, pumpLL(1));
    EXPECT_NE(0u, mouseButtonLL(MOUSE_BUTTON0)) << "the press queued after the quit was handled";

    std::raise(SIGINT);
    EXPECT_EQ(QUIT_SEEN, pumpLL(0)) << "the waiting pump sees it too";
    ASSERT_EQ(1, SDL_PushEvent(&quit));
    EXPECT_EQ(QUIT_SEEN, pumpLL(1)) << "a quit queued after a waiting pump is seen by the next pump";
}
