#include "platform/Platform.h"

#include <cstdint>
#include <cstring>
#include <new>

#include <SDL.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/KeyMap.h"
#include "platform/PlatformInternal.h"

namespace {

const int mouseBufferSize = 16;  // button changes kept between two pumps

struct ButtonChange {
    unsigned char bit;  // MOUSE_BUTTON0 or MOUSE_BUTTON1
    bool down;
};

// The mouse device's event buffer. Motion needs no queue: a motion only says
// "read the real cursor position", so any number of them between two pumps is
// one read. Button changes keep their order; past mouseBufferSize the oldest
// is folded into `folded` instead of being lost, so each button still ends in
// its latest state whichever button the later changes belong to.
struct MouseBuffer {
    ButtonChange changes[mouseBufferSize];
    int first;                 // index of the oldest change
    int count;                 // changes held
    unsigned char foldedMask;  // buttons with a change folded out of `changes`
    unsigned char folded;      // those buttons' state after their latest folded change
    bool moved;                // a motion arrived since the last pump
    bool foreground;           // the window had the keyboard focus when the pump began
};
MouseBuffer mouseBuffer;

unsigned char keycodeToDik[256];                 // X key code -> DIK_ index, 0 = none
unsigned char scancodeToDik[SDL_NUM_SCANCODES];  // SDL_Scancode -> DIK_ index, 0 = none

// Fills keycodeToDik from the server's XKB key names. False when the server
// gives no names or none of them is a key we know.
bool readX11KeyNames(Display* display)
{
    std::memset(keycodeToDik, 0, sizeof keycodeToDik);
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
        return false;
    }
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (!keyboard) {
        return false;
    }
    if (XkbGetNames(display, XkbKeyNamesMask, keyboard) != Success) {
        XkbFreeKeyboard(keyboard, 0, True);
        return false;
    }
    bool any = false;
    if (keyboard->names && keyboard->names->keys) {
        for (int code = keyboard->min_key_code; code <= keyboard->max_key_code && code < 256; ++code) {
            keycodeToDik[code] = dikFromXkbName(keyboard->names->keys[code].name);
            any = any || keycodeToDik[code] != 0;
        }
    }
    XkbFreeKeyboard(keyboard, 0, True);
    return any;
}

void fillScancodeTable()
{
    for (int code = 0; code < SDL_NUM_SCANCODES; ++code) {
        scancodeToDik[code] = dikFromSdlScancode(code);
    }
}

void clearMouseBuffer()
{
    mouseBuffer.first = 0;
    mouseBuffer.count = 0;
    mouseBuffer.foldedMask = 0;
    mouseBuffer.folded = 0;
    mouseBuffer.moved = false;
}

void readCursor(short& x, short& y)
{
    int screenX = 0, screenY = 0;
    SDL_GetGlobalMouseState(&screenX, &screenY);
    x = static_cast<short>(screenX);
    y = static_cast<short>(screenY);
}

void readKeyboard(unsigned char* state)
{
    const PlatformState& s = platformState;
    if (s.keyboardDevice == KEYBOARD_X11_KEYMAP && s.x11Display) {
        char keys[32];
        XQueryKeymap(s.x11Display, keys);
        std::memset(state, 0, 256);
        for (int code = 0; code < 256; ++code) {
            if ((keys[code >> 3] >> (code & 7)) & 1) {
                if (unsigned char dik = keycodeToDik[code]) {
                    state[dik] = 0x80;
                }
            }
        }
    } else if (s.keyboardDevice == KEYBOARD_SDL_STATE) {
        int count = 0;
        const Uint8* keys = SDL_GetKeyboardState(&count);
        std::memset(state, 0, 256);
        for (int code = 0; code < count && code < SDL_NUM_SCANCODES; ++code) {
            if (keys[code] && scancodeToDik[code]) {
                state[scancodeToDik[code]] = 0x80;
            }
        }
    }
}

// Whether our window has the keyboard focus now. On X11 the server is asked:
// SDL reports focus changes only after a settling delay.
bool windowInForeground()
{
    const PlatformState& s = platformState;
    if (!s.windowHandle) {
        return false;
    }
    if (s.x11Display) {
        Window focused = 0;
        int revertTo = 0;
        XGetInputFocus(s.x11Display, &focused, &revertTo);
        return focused == static_cast<Window>(reinterpret_cast<std::uintptr_t>(s.deviceContext));
    }
    return (SDL_GetWindowFlags(s.windowHandle) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

// Offers one event to the mouse device (kept only when the window has the focus).
void collectMouseEvent(const SDL_Event& event)
{
    if (!platformState.mouseDevice) {
        return;
    }
    if (!mouseBuffer.foreground) {
        return;
    }
    if (event.type == SDL_MOUSEMOTION) {
        mouseBuffer.moved = true;
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        unsigned char bit = 0;
        if (event.button.button == SDL_BUTTON_LEFT) {
            bit = MOUSE_BUTTON0;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            bit = MOUSE_BUTTON1;
        } else {
            return;  // middle and extra buttons are not part of the mouse state
        }
        if (mouseBuffer.count == mouseBufferSize) {
            const ButtonChange& oldest = mouseBuffer.changes[mouseBuffer.first];
            unsigned char& folded = mouseBuffer.folded;
            folded = oldest.down ? (folded | oldest.bit) : (folded & ~oldest.bit);
            mouseBuffer.foldedMask |= oldest.bit;
            mouseBuffer.first = (mouseBuffer.first + 1) % mouseBufferSize;
            --mouseBuffer.count;
        }
        ButtonChange& change = mouseBuffer.changes[(mouseBuffer.first + mouseBuffer.count) % mouseBufferSize];
        change.bit = bit;
        change.down = event.type == SDL_MOUSEBUTTONDOWN;
        ++mouseBuffer.count;
    }
}

void handleEvent(const SDL_Event& event, int& result)
{
    if (event.type == SDL_QUIT) {
        result = QUIT_SEEN;  // not dispatched; the draining goes on
        return;
    }
    collectMouseEvent(event);
    windowProcLL(&event);
}

}  // namespace

int initInputLL()
{
    PlatformState& s = platformState;
    s.keyboardState = nullptr;

    // The input binding: SDL's event subsystem, held for the devices.
    if (setupFailureForced(12) || SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
        return 1;
    }
    s.directInput = 1;

    // The keyboard, read in the background: on X11 the server's global key map,
    // translated by the server's key names; elsewhere, or when the server names
    // no keys, SDL's key state of our window.
    if (s.x11Display && readX11KeyNames(s.x11Display)) {
        s.keyboardDevice = KEYBOARD_X11_KEYMAP;
    } else {
        fillScancodeTable();
        s.keyboardDevice = KEYBOARD_SDL_STATE;
    }

    // The 256-byte state block, all keys up until the first pump.
    s.keyboardState = new (std::nothrow) unsigned char[256]();
    if (!s.keyboardState) {
        return 1;
    }

    // The mouse: the window's mouse events, collected by the pump while the
    // window has the focus, buffered up to mouseBufferSize button changes.
    // It starts unlocked, where the cursor is now, with no button down.
    clearMouseBuffer();
    s.mouseDevice = 1;
    s.mouseState.lockX = s.mouseState.lockY = -1;
    readCursor(s.mouseState.cursorX, s.mouseState.cursorY);
    s.mouseState.buttons = s.mouseState.previousButtons = 0;
    return 0;
}

void releaseInputLL()
{
    PlatformState& s = platformState;
    s.keyboardDevice = KEYBOARD_NONE;
    if (s.mouseDevice) {
        clearMouseBuffer();
        s.mouseDevice = 0;
    }
    if (s.directInput) {
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
        s.directInput = 0;
    }
    delete[] s.keyboardState;
    s.keyboardState = nullptr;
}

int pumpLL(int peek)
{
    PlatformState& s = platformState;
    int result = 0;

    // Window messages. A close of the window ends the process in here.
    SDL_Event event;
    mouseBuffer.foreground = windowInForeground();
    if (peek) {
        // One pump of the system's queue, then everything queued. SDL_PollEvent
        // is not used: it stops at the end-of-cycle marker that SDL_WaitEvent
        // leaves behind, so after a waiting pump it would take nothing and leave
        // a queued quit or click to the pump after.
        SDL_PumpEvents();
        while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
            handleEvent(event, result);
        }
    } else if (SDL_WaitEvent(&event)) {
        handleEvent(event, result);
    }

    // The keyboard, whatever the messages were, a quit included.
    if (s.keyboardState) {
        readKeyboard(s.keyboardState);
    }

    // The mouse.
    MouseState& m = s.mouseState;
    if (m.lockX != -1) {
        m.cursorX = m.lockX;
        m.cursorY = m.lockY;
    }
    m.previousButtons = m.buttons;
    if (s.mouseDevice) {
        if (mouseBuffer.moved) {
            readCursor(m.cursorX, m.cursorY);  // the real position, not the motion's amounts
        }
        // The folded changes came before every held one.
        m.buttons = (m.buttons & ~mouseBuffer.foldedMask) | mouseBuffer.folded;
        for (int i = 0; i < mouseBuffer.count; ++i) {
            const ButtonChange& change = mouseBuffer.changes[(mouseBuffer.first + i) % mouseBufferSize];
            m.buttons = change.down ? (m.buttons | change.bit) : (m.buttons & ~change.bit);
        }
        clearMouseBuffer();
    }
    if (m.lockX != -1 && (m.cursorX != m.lockX || m.cursorY != m.lockY)) {
        setCursorLL(static_cast<short>(m.lockX - (s.clientWidth >> 1)),
                    static_cast<short>(m.lockY - (s.clientHeight >> 1)));
    }
    return result;
}

int mouseXLL()
{
    return platformState.mouseState.cursorX - (platformState.clientWidth >> 1);
}

int mouseYLL()
{
    return platformState.mouseState.cursorY - (platformState.clientHeight >> 1);
}

void setCursorLL(short dx, short dy)
{
    const PlatformState& s = platformState;
    SDL_WarpMouseGlobal(s.windowX + (s.clientWidth >> 1) + dx, s.windowY + (s.clientHeight >> 1) + dy);
}

void lockCursorLL(short dx, short dy)
{
    PlatformState& s = platformState;
    const short x = static_cast<short>(dx + (s.clientWidth >> 1));
    const short y = static_cast<short>(dy + (s.clientHeight >> 1));
    if (x > s.clientWidth || x < 0 || y > s.clientHeight || y < 0) {
        s.mouseState.lockX = s.mouseState.lockY = -1;
    } else {
        s.mouseState.lockX = x;
        s.mouseState.lockY = y;
    }
}

unsigned int mouseButtonLL(unsigned char mask)
{
    return platformState.mouseState.buttons & mask;
}

bool mouseReleasedLL(unsigned char mask)
{
    const MouseState& m = platformState.mouseState;
    return (m.previousButtons & mask) != 0 && (m.buttons & mask) == 0;
}

void showCursorLL(bool show)
{
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}
