#include "platform/KeyMap.h"

#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>

#include "platform/ScanCodes.h"

TEST(KeyMap, XkbNamesAndSdlScancodesAgreeOnTheReadersKeys) {
    struct Key {
        const char* xkb;
        int sdl;
        unsigned char dik;
    };
    const Key keys[] = {
        {"AC01", SDL_SCANCODE_A, DIK_A},          {"AB07", SDL_SCANCODE_M, DIK_M},
        {"AE01", SDL_SCANCODE_1, DIK_1},          {"AE10", SDL_SCANCODE_0, DIK_0},
        {"KP0", SDL_SCANCODE_KP_0, DIK_NUMPAD0},  {"KP9", SDL_SCANCODE_KP_9, DIK_NUMPAD9},
        {"AB08", SDL_SCANCODE_COMMA, DIK_COMMA},  {"AB09", SDL_SCANCODE_PERIOD, DIK_PERIOD},
        {"KPDL", SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {"KPSU", SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
        {"RTRN", SDL_SCANCODE_RETURN, DIK_RETURN}, {"KPEN", SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {"BKSP", SDL_SCANCODE_BACKSPACE, DIK_BACK}, {"DELE", SDL_SCANCODE_DELETE, DIK_DELETE},
        {"ESC", SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {"RALT", SDL_SCANCODE_RALT, DIK_RMENU},
        {"COMP", SDL_SCANCODE_APPLICATION, DIK_APPS}, {"LSGT", SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    };
    for (const Key& k : keys) {
        EXPECT_EQ(k.dik, dikFromXkbName(k.xkb)) << k.xkb;
        EXPECT_EQ(k.dik, dikFromSdlScancode(k.sdl)) << k.xkb;
    }
}

TEST(KeyMap, FourCharacterNamesNeedNoTerminator) {
    const char row[8] = {'K', 'P', '7', '\0', 'A', 'C', '0', '2'};
    EXPECT_EQ(DIK_NUMPAD7, dikFromXkbName(row));
    EXPECT_EQ(DIK_S, dikFromXkbName(row + 4));
    const char longer[5] = {'K', 'P', '7', '0', '\0'};
    EXPECT_EQ(0, dikFromXkbName(longer)) << "KP70 is not KP7";
}

TEST(KeyMap, UnknownKeysHaveNoIndex) {
    EXPECT_EQ(0, dikFromXkbName("LVL3"));
    EXPECT_EQ(0, dikFromXkbName(""));
    EXPECT_EQ(0, dikFromXkbName(nullptr));
    EXPECT_EQ(0, dikFromSdlScancode(SDL_SCANCODE_UNKNOWN));
    EXPECT_EQ(0, dikFromSdlScancode(SDL_SCANCODE_AUDIONEXT));
    EXPECT_EQ(0, dikFromSdlScancode(-1));
    EXPECT_EQ(0, dikFromSdlScancode(SDL_NUM_SCANCODES));
}
