#include "app/KeyReader.h"

#include "platform/Platform.h"

unsigned char lastKey = 0;

namespace {

// One row of the key table: any of its keys down gives its character.
struct KeyRow {
    unsigned char codes[3];  // key indices of KeyboardState; 0 ends a shorter list
    unsigned char character;
};

// Priority order, first row first. Letters precede digits so a menu key held while
// a digit is typed hides the digit, never the other way round.
const KeyRow keyTable[] = {
    {{DIK_M}, 'M'},
    {{DIK_E}, 'E'},
    {{DIK_V}, 'V'},
    {{DIK_S}, 'S'},
    {{DIK_Q}, 'Q'},
    {{DIK_I}, 'I'},
    {{DIK_O}, 'O'},
    {{DIK_C}, 'C'},
    {{DIK_Z}, 'Z'},
    {{DIK_X}, 'X'},
    {{DIK_T}, 'T'},
    {{DIK_D}, 'D'},
    {{DIK_A}, 'A'},
    {{DIK_R}, 'R'},
    {{DIK_0, DIK_NUMPAD0}, '0'},
    {{DIK_1, DIK_NUMPAD1}, '1'},
    {{DIK_2, DIK_NUMPAD2}, '2'},
    {{DIK_3, DIK_NUMPAD3}, '3'},
    {{DIK_4, DIK_NUMPAD4}, '4'},
    {{DIK_5, DIK_NUMPAD5}, '5'},
    {{DIK_6, DIK_NUMPAD6}, '6'},
    {{DIK_7, DIK_NUMPAD7}, '7'},
    {{DIK_8, DIK_NUMPAD8}, '8'},
    {{DIK_9, DIK_NUMPAD9}, '9'},
    {{DIK_COMMA, DIK_PERIOD, DIK_DECIMAL}, '.'},  // a decimal comma types a point too
    {{DIK_MINUS, DIK_SUBTRACT}, '-'},
    {{DIK_RETURN, DIK_NUMPADENTER}, KEY_ENTER},
    {{DIK_BACK, DIK_DELETE}, KEY_BACKSPACE},
    {{DIK_ESCAPE}, KEY_ESCAPE},
};

unsigned char TopDownKey(const unsigned char* keys)
{
    for (const KeyRow& row : keyTable)
        for (unsigned char code : row.codes) {
            if (code == 0)
                break;
            if (keys[code] & 0x80)
                return row.character;
        }
    return 0;
}

}  // namespace

unsigned char ReadKey()
{
    const unsigned char* keys = platformState.keyboardState;
    unsigned char candidate = keys ? TopDownKey(keys) : 0;
    if (candidate == lastKey)
        return 0;
    lastKey = candidate;
    return candidate;
}
