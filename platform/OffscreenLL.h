#pragma once
// A headless OpenGL context for tools that render without a window: Mesa through
// EGL (surfaceless platform, else a device platform) or, where EGL is missing or
// refuses, a hidden SDL window. Either way drawing goes into one RGBA8 framebuffer
// object of the asked size, which stays bound and is read back whole. One context
// per process, owned by this layer; it never touches the editor's PlatformState.

// Which kinds of context setupOffscreenLL may try.
enum : unsigned char {
    OFFSCREEN_ANY = 0,  // EGL surfaceless, then EGL devices, then a hidden SDL window
    OFFSCREEN_EGL = 1,  // EGL only (no X server needed)
    OFFSCREEN_SDL = 2,  // the hidden SDL window only (needs a display)
};

// Makes a compatibility-profile GL context current on the calling thread with a
// width x height RGBA8 framebuffer object bound for drawing and reading, and the
// viewport set to cover it. Returns 0 on success; 1 on failure, when nothing is
// left behind and offscreenErrorLL() tells what every kind tried said.
int setupOffscreenLL(int width, int height, unsigned char kinds);

// Why the last setupOffscreenLL failed; "" after a success.
const char* offscreenErrorLL();

// Copies the framebuffer into `rgba` (width x height x 4 bytes), rows from the
// bottom of the picture up, as GL stores them. Waits for drawing to finish.
// Returns false (and leaves `rgba` alone) when no context is set up.
bool readOffscreenLL(unsigned char* rgba);

// Deletes the framebuffer and the context and closes the hidden window. An EGL
// display, or SDL's video subsystem, stays initialised for the rest of the process.
// Safe to call when nothing is set up.
void shutdownOffscreenLL();
