#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <csignal>

#include <SDL2/SDL.h>

#include <X11/keysym.h>

#include "tests/platform/XHelpers.h"

namespace {

// A layer window at the screen origin plus a second client that holds the
// focus or plays the user.
class Input : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, setupLL("input", LL_DOUBLEBUFFER, 0, 0, 640, 480));
        ASSERT_NE(nullptr, user.display);
        ASSERT_EQ(KEYBOARD_X11_KEYMAP, platformState.keyboardDevice);
    }
    void TearDown() override {
        if (user.display) {
            user.releaseEverything();
        }
        shutdownLL();
    }
    int keysDown() {
        int down = 0;
        for (int i = 0; i < 256; ++i) {
            down += (platformState.keyboardState[i] & 0x80) ? 1 : 0;
        }
        return down;
    }
    bool windowHasFocus() { return user.focus() == layerWindow(); }

    OtherClient user;
};

}  // namespace

TEST_F(Input, KeyHeldWhileAnotherWindowHasFocusIsDown) {
    user.takeFocus();
    ASSERT_EQ(user.window, user.focus());
    EXPECT_EQ(0, pumpLL(1));
    EXPECT_EQ(0, keysDown());

    user.key(XK_e, true);
    EXPECT_EQ(0, pumpLL(1));
    EXPECT_EQ(0x80, platformState.keyboardState[DIK_E] & 0x80);
    EXPECT_EQ(1, keysDown());
    EXPECT_EQ(0x80, platformState.keyboardState[DIK_E] & 0x80) << "held keys stay down";
    pumpLL(1);
    EXPECT_EQ(0x80, platformState.keyboardState[DIK_E] & 0x80) << "still held on the next pump";

    user.key(XK_e, false);
    pumpLL(1);
    EXPECT_EQ(0, keysDown());
}

TEST_F(Input, KeyPressedAndReleasedBetweenPumpsIsNeverSeen) {
    user.takeFocus();
    pumpLL(1);
    user.key(XK_s, true);
    user.key(XK_s, false);
    pumpLL(1);
    EXPECT_EQ(0, keysDown());
    // With our own window focused too: the state is read, not the events.
    user.giveFocus(layerWindow());
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    user.key(XK_Escape, true);
    user.key(XK_Escape, false);
    pumpLL(1);
    EXPECT_EQ(0, keysDown());
}

TEST_F(Input, EveryKeyOfTheReaderLandsOnItsScanCode) {
    struct Key {
        KeySym sym;
        unsigned char dik;
    };
    const Key keys[] = {
        {XK_a, DIK_A}, {XK_m, DIK_M}, {XK_q, DIK_Q}, {XK_z, DIK_Z}, {XK_l, DIK_L}, {XK_p, DIK_P},
        {XK_1, DIK_1}, {XK_5, DIK_5}, {XK_9, DIK_9}, {XK_0, DIK_0},
        {XK_KP_0, DIK_NUMPAD0}, {XK_KP_1, DIK_NUMPAD1}, {XK_KP_5, DIK_NUMPAD5}, {XK_KP_9, DIK_NUMPAD9},
        {XK_comma, DIK_COMMA}, {XK_period, DIK_PERIOD}, {XK_KP_Delete, DIK_DECIMAL},
        {XK_minus, DIK_MINUS}, {XK_KP_Subtract, DIK_SUBTRACT},
        {XK_Return, DIK_RETURN}, {XK_KP_Enter, DIK_NUMPADENTER},
        {XK_BackSpace, DIK_BACK}, {XK_Delete, DIK_DELETE}, {XK_Escape, DIK_ESCAPE},
        {XK_space, DIK_SPACE}, {XK_Shift_L, DIK_LSHIFT}, {XK_Control_R, DIK_RCONTROL},
        {XK_F1, DIK_F1}, {XK_F12, DIK_F12}, {XK_Up, DIK_UP}, {XK_Next, DIK_NEXT},
        {XK_KP_Divide, DIK_DIVIDE},
    };
    for (const Key& k : keys) {
        ASSERT_NE(0, user.code(k.sym)) << XKeysymToString(k.sym);
        user.key(k.sym, true);
        pumpLL(1);
        EXPECT_EQ(0x80, platformState.keyboardState[k.dik] & 0x80) << XKeysymToString(k.sym);
        EXPECT_EQ(1, keysDown()) << XKeysymToString(k.sym);
        user.key(k.sym, false);
        pumpLL(1);
        EXPECT_EQ(0, keysDown()) << XKeysymToString(k.sym);
    }
}

TEST_F(Input, MotionTakesTheRealCursorPositionOnlyInTheForeground) {
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    user.moveTo(100, 150);
    pumpLL(1);
    EXPECT_EQ(100, platformState.mouseState.cursorX);
    EXPECT_EQ(150, platformState.mouseState.cursorY);
    EXPECT_EQ(100 - 320, mouseXLL());
    EXPECT_EQ(150 - 240, mouseYLL());
    pumpLL(1);
    EXPECT_EQ(100, platformState.mouseState.cursorX) << "no motion: the position stays";

    user.takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !windowHasFocus(); }));
    user.moveTo(300, 200);
    pumpLL(1);
    EXPECT_EQ(100, platformState.mouseState.cursorX) << "motion in the background is not read";
    EXPECT_EQ(150, platformState.mouseState.cursorY);
}

TEST_F(Input, ButtonsAndReleasesFollowThePumps) {
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    user.moveTo(50, 50);
    user.button(1, true);
    pumpLL(1);
    EXPECT_NE(0u, mouseButtonLL(MOUSE_BUTTON0));
    EXPECT_EQ(0u, mouseButtonLL(MOUSE_BUTTON1));
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON0));

    user.button(3, true);
    pumpLL(1);
    EXPECT_EQ(3u, mouseButtonLL(MOUSE_BUTTON0 | MOUSE_BUTTON1));

    user.button(1, false);
    pumpLL(1);
    EXPECT_EQ(0u, mouseButtonLL(MOUSE_BUTTON0));
    EXPECT_TRUE(mouseReleasedLL(MOUSE_BUTTON0));
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON1));
    pumpLL(1);
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON0)) << "reported for one pump only";

    user.button(3, false);
    pumpLL(1);
    EXPECT_TRUE(mouseReleasedLL(MOUSE_BUTTON1));

    // Pressed and released between two pumps: the buttons end as they were.
    user.button(1, true);
    user.button(1, false);
    pumpLL(1);
    EXPECT_EQ(0u, mouseButtonLL(MOUSE_BUTTON0 | MOUSE_BUTTON1));
    EXPECT_FALSE(mouseReleasedLL(MOUSE_BUTTON0));
}

TEST_F(Input, ManyClicksBetweenTwoPumpsEndInTheLatestState) {
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    user.moveTo(60, 60);
    pumpLL(1);
    for (int i = 0; i < 12; ++i) {
        user.button(1, true);
        user.button(1, false);
    }
    user.button(1, true);
    pumpLL(1);
    EXPECT_NE(0u, mouseButtonLL(MOUSE_BUTTON0)) << "the last press of 25 changes survives";
}

TEST_F(Input, LockedCursorGivesMovementSinceThePreviousPump) {
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    lockCursorLL(0, 0);
    EXPECT_EQ(320, platformState.mouseState.lockX);
    EXPECT_EQ(240, platformState.mouseState.lockY);
    user.moveTo(400, 300);
    pumpLL(1);
    EXPECT_EQ(80, mouseXLL());
    EXPECT_EQ(60, mouseYLL());
    int x = 0, y = 0;
    user.pointer(x, y);
    EXPECT_EQ(320, x) << "the pump puts the cursor back on the lock point";
    EXPECT_EQ(240, y);
    ASSERT_TRUE(pumpUntil([&] { return mouseXLL() == 0 && mouseYLL() == 0; }));
    lockCursorLL(400, 0);  // right of the client area: no lock
    EXPECT_EQ(-1, platformState.mouseState.lockX);
    EXPECT_EQ(-1, platformState.mouseState.lockY);
}

TEST_F(Input, QuitSignalIsSeenByPumpAndKeyboardStillRefreshed) {
    EXPECT_EQ(0, pumpLL(1));
    user.key(XK_q, true);
    std::raise(SIGTERM);  // SDL turns it into its quit event
    EXPECT_EQ(QUIT_SEEN, pumpLL(1));
    EXPECT_EQ(0x80, platformState.keyboardState[DIK_Q] & 0x80);
    EXPECT_EQ(0, pumpLL(1)) << "a quit is reported once";
    std::raise(SIGINT);
    EXPECT_EQ(QUIT_SEEN, pumpLL(0)) << "the waiting pump sees it too";
}

TEST_F(Input, QuitAmongOtherEventsStillDrainsTheQueue) {
    ASSERT_TRUE(pumpUntil([&] { return windowHasFocus(); }));
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_Event press = {};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.windowID = SDL_GetWindowID(platformState.windowHandle);
    press.button.button = SDL_BUTTON_LEFT;
    press.button.state = SDL_PRESSED;
    ASSERT_EQ(1, SDL_PushEvent(&quit));
    ASSERT_EQ(1, SDL_PushEvent(&press));
    EXPECT_EQ(QUIT_SEEN, pumpLL(1));
    EXPECT_NE(0u, mouseButtonLL(MOUSE_BUTTON0)) << "the press queued after the quit was handled";
    EXPECT_EQ(0, pumpLL(1));
}

TEST(CursorLock, KeptOnlyInsideTheClientAreaBothEndsIncluded) {
    platformState = PlatformState{};
    platformState.clientWidth = 640;
    platformState.clientHeight = 480;
    struct Case {
        short dx, dy;
        short lockX, lockY;
    };
    const Case cases[] = {
        {0, 0, 320, 240},       {320, 240, 640, 480},  {-320, -240, 0, 0},
        {321, 0, -1, -1},       {0, 241, -1, -1},      {-321, 0, -1, -1},
        {0, -241, -1, -1},      {32767, 0, -1, -1},    {-32768, -32768, -1, -1},
    };
    for (const Case& c : cases) {
        platformState.mouseState.lockX = platformState.mouseState.lockY = 7;
        lockCursorLL(c.dx, c.dy);
        EXPECT_EQ(c.lockX, platformState.mouseState.lockX) << c.dx << "," << c.dy;
        EXPECT_EQ(c.lockY, platformState.mouseState.lockY) << c.dx << "," << c.dy;
    }
}
