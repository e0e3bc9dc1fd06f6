#pragma once
// The platform layer: the one window and its OpenGL context, the keyboard and
// mouse, the message pump and the millisecond clock, as free functions over one
// process-wide PlatformState. The only code of the program that touches SDL or X11.

#include "ScanCodes.h"

// setupLL flags (other bits are ignored).
enum : unsigned char {
    LL_FULLSCREEN = 1,
    LL_DOUBLEBUFFER = 2,
    LL_DEPTH = 4,
    LL_ACCUM = 8,
    LL_STENCIL = 16,
};

enum { QUIT_SEEN = 2 };  // pumpLL's result when a quit message arrived

// The layer's process-wide record, all zero at program start.
struct PlatformState {
    // ... window, context, device and mouse fields ...
    unsigned char* keyboardState;  // 256 bytes, byte i = DIK_ code i, bit 7 = down;
                                   // overwritten whole by every pumpLL; null before setupLL
};
extern PlatformState platformState;

int setupLL(const char* title, unsigned char flags, int x, int y, int width, int height);  // 0 ok, 1 failed
void swapBuffersLL();
void shutdownLL();
int pumpLL(int peek);  // QUIT_SEEN or 0

unsigned int timeLL();              // milliseconds, wraps modulo 2^32
void waitFrameLL(unsigned int ms);  // spins until ms have passed since its previous return
