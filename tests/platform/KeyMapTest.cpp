#include "platform/KeyMap.h"

#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>

#include "platform/ScanCodes.h"

// The X server's key names are checked key by key through XTest in InputTest;
// these are SDL's scan codes, read under other video drivers, and the names'
// edge cases.
TEST(KeyMap, SdlScancodesAndXkbNamesGiveTheStandardScanCodes)
{
    const int keys[][2] = {
        {SDL_SCANCODE_A, DIK_A},
        {SDL_SCANCODE_M, DIK_M},
        {SDL_SCANCODE_1, DIK_1},
        {SDL_SCANCODE_0, DIK_0},
        {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
        {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
        {SDL_SCANCODE_COMMA, DIK_COMMA},
        {SDL_SCANCODE_PERIOD, DIK_PERIOD},
        {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
        {SDL_SCANCODE_RETURN, DIK_RETURN},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {SDL_SCANCODE_BACKSPACE, DIK_BACK},
        {SDL_SCANCODE_DELETE, DIK_DELETE},
        {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_RALT, DIK_RMENU},
        {SDL_SCANCODE_APPLICATION, DIK_APPS},
        {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
        {SDL_SCANCODE_UNKNOWN, 0},
        {SDL_SCANCODE_AUDIONEXT, 0},
        {-1, 0},
        {SDL_NUM_SCANCODES, 0},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(k[1], dikFromSdlScancode(k[0])) << "scancode " << k[0];
    }
    // A name of four characters has no terminator.
    const char row[8] = {'K', 'P', '7', '\0', 'A', 'C', '0', '2'};
    const std::pair<const char*, int> names[] = {
        {row, DIK_NUMPAD7}, {row + 4, DIK_S}, {"LSGT", DIK_OEM_102}, {"KP70", 0}, {"LVL3", 0}, {"", 0}, {nullptr, 0}};
    for (const auto& n : names) {
        EXPECT_EQ(n.second, dikFromXkbName(n.first)) << "name " << &n - names;
    }
}
