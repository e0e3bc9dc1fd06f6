#pragma once
// What a test does to the X server from outside the program under test, as the user
// or a window manager would: XTest key events and the window manager's close message.
// Each call waits until the server has handled it.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

// Presses (down) or releases the key that types `sym` on the server's keyboard.
inline void FakeKey(Display* display, KeySym sym, bool down)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down, CurrentTime);
    XSync(display, False);
}

// Asks `window` to close, as a window manager's close button does.
inline void AskToClose(Display* display, Window window)
{
    XEvent event = {};
    event.xclient = {ClientMessage, 0, False, display, window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}
