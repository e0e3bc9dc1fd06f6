#pragma once
// The platform layer: the one window and its OpenGL context, the keyboard and
// mouse, the message pump and the millisecond clock, as free functions over one
// process-wide PlatformState. The only code of the program that touches SDL or X11;
// callers see opaque handles and never include either.

#include "platform/ScanCodes.h"

struct SDL_Window;
struct SDL_Cursor;
struct SDL_Surface;
struct _XDisplay;
union SDL_Event;

// setupLL flags (other bits are ignored).
enum : unsigned char {
    LL_FULLSCREEN = 1,    // full-screen window of the asked size, display switched to it at 32 bpp
    LL_DOUBLEBUFFER = 2,  // double-buffered GL surface
    LL_DEPTH = 4,         // 16-bit depth buffer
    LL_ACCUM = 8,         // 24-bit accumulation buffer
    LL_STENCIL = 16,      // 8-bit stencil buffer
};

enum { QUIT_SEEN = 2 };  // pumpLL's result when a quit message arrived

// Where pumpLL reads the keyboard from.
enum : int {
    KEYBOARD_NONE = 0,        // no keyboard device
    KEYBOARD_X11_KEYMAP = 1,  // the X server's global key map: every key, focus or not
    KEYBOARD_SDL_STATE = 2,   // SDL's key state (other video drivers): keys typed into our window
};

// Mouse buttons of MouseState::buttons and the mouse queries.
enum : unsigned char {
    MOUSE_BUTTON0 = 1,  // left button
    MOUSE_BUTTON1 = 2,  // right button
};

struct MouseState {
    short cursorX, cursorY;         // last known cursor position, screen pixels (low 16 bits)
    short lockX, lockY;             // lock target in pixels from (windowX, windowY); both -1 = no lock
    unsigned char buttons;          // MOUSE_BUTTON0 | MOUSE_BUTTON1 bits of the buttons down
    unsigned char previousButtons;  // buttons as they were when the latest pumpLL began
};

// The layer's process-wide record, all zero at program start. A handle is
// non-null exactly while the layer holds what it names; shutdownLL nulls each
// one it releases, so the record always tells what is left to release.
struct PlatformState {
    const char* instanceHandle;     // name of the SDL video driver once SDL's video is up, else null
    SDL_Cursor* arrowCursor;        // the window's arrow cursor, or null
    SDL_Surface* windowIcon;        // the window's icon (drawn by the layer), or null
    int windowClass;                // 1 while the OpenGL library for our windows is loaded
    SDL_Window* windowHandle;       // the window, or null
    void* deviceContext;            // the window's native drawable (the X window id on X11), or null
    _XDisplay* x11Display;          // SDL's connection to the X server, null under other drivers
    void* renderContext;            // the GL context (an SDL_GLContext), or null
    int windowX, windowY;           // position given to setupLL: outer top-left corner, screen pixels
    int clientWidth, clientHeight;  // client-area size given to setupLL, pixels
    int fullscreen;                 // 1 when the successful setupLL had LL_FULLSCREEN, else 0

    int directInput;               // 1 while the layer holds SDL's event subsystem
    int keyboardDevice;            // KEYBOARD_NONE, KEYBOARD_X11_KEYMAP or KEYBOARD_SDL_STATE
    int mouseDevice;               // 1 while the window's mouse events are collected
    unsigned char* keyboardState;  // 256 bytes, byte i = DIK_ code i, bit 7 = down;
                                   // overwritten whole by every pumpLL; null before setupLL
    MouseState mouseState;
};
extern PlatformState platformState;

// Opens the window titled `title` with a current compatibility-profile GL
// context, shows it and sets up the input devices. x, y place the outer
// top-left corner; width, height are the client size (and the display mode in
// full screen). Returns 0 on success. On failure shows one "Error" box (or
// writes "Error: <text>" to stderr when no box can be shown) and returns 1:
// failures from the window on tear the layer down, earlier ones leave what was
// done in place. The caller then ends the program.
int setupLL(const char* title, unsigned char flags, int x, int y, int width, int height);
// Shows the frame drawn into the back buffer.
void swapBuffersLL();
// Releases everything the layer holds, in reverse order of setupLL; skips what
// it never got, so it is safe after a failed setup and when called twice.
void shutdownLL();
// The window's message handler, called by pumpLL for every event but a quit.
// A close of the window runs shutdownLL and ends the process with exit code 0.
int windowProcLL(const SDL_Event* event);

// Takes the keyboard and mouse for the window. 0 when both are ready; 1 on the
// first failure, leaving what was made for releaseInputLL. Called by setupLL.
int initInputLL();
// Releases what initInputLL made (and only that). Called by shutdownLL.
void releaseInputLL();
// peek != 0: handles every pending event; peek == 0: waits for one event.
// Then refreshes keyboardState and the mouse state. Returns QUIT_SEEN when a
// quit (SDL's quit event: also SIGINT, SIGTERM) was taken, else 0.
int pumpLL(int peek);

int mouseXLL();                                  // cursorX - clientWidth / 2
int mouseYLL();                                  // cursorY - clientHeight / 2
void setCursorLL(short dx, short dy);            // cursor to window centre + (dx, dy), screen pixels
void lockCursorLL(short dx, short dy);           // lock at centre + (dx, dy); outside the client area: no lock
unsigned int mouseButtonLL(unsigned char mask);  // buttons & mask
bool mouseReleasedLL(unsigned char mask);        // a masked button went up during the latest pump
void showCursorLL(bool show);

unsigned int timeLL();              // milliseconds of a steady clock, wraps modulo 2^32
void waitFrameLL(unsigned int ms);  // spins until ms have passed since its previous return
extern unsigned int lastFrameTime;  // timeLL at waitFrameLL's latest return; 0 = never ran

// Test seams. None is used by the editor.
// The clock timeLL reads; null restores the system's monotonic clock.
void setClockLL(unsigned int (*clock)());
// Makes setupLL take its failure number `failure` (1..12, the order of the
// messages) at the step where it would really happen; 0 = no forced failure.
void failSetupLL(int failure);
// Receives setupLL's error messages instead of the box or stderr; null restores them.
void setMessageBoxLL(void (*box)(const char* caption, const char* text));
