#pragma once
// What the platform tests do to the X server from outside the layer, as a user
// or a window manager would: a second client with a small window of its own,
// XTest key and pointer events, and the close message of a window manager.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "tests/support/XClient.h"

inline Window layerWindow()
{
    return reinterpret_cast<Window>(platformState.deviceContext);
}

struct OtherClient {
    Display* display = XOpenDisplay(nullptr);
    Window window = 0;

    OtherClient()
    {
        if (!display)
            return;
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 700, 500, 80, 80, 0, 0, 0);
        XSelectInput(display, window, StructureNotifyMask);
        XMapWindow(display, window);
        XEvent e;
        do
            XNextEvent(display, &e);
        while (e.type != MapNotify);
    }
    // Leaves no key or button down for the next test.
    ~OtherClient()
    {
        if (!display)
            return;
        for (int code = 8; code < 256; ++code)
            XTestFakeKeyEvent(display, code, False, CurrentTime);
        for (unsigned int b = 1; b <= 3; ++b)
            XTestFakeButtonEvent(display, b, False, CurrentTime);
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }

    void giveFocus(Window to)
    {
        XSetInputFocus(display, to, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    Window focus()
    {
        Window to = 0;
        int revert = 0;
        XGetInputFocus(display, &to, &revert);
        return to;
    }
    void key(KeySym sym, bool down) { FakeKey(display, sym, down); }
    void button(unsigned b, bool down)
    {
        XTestFakeButtonEvent(display, b, down, CurrentTime);
        XSync(display, False);
    }
    void moveTo(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    }
    void closeWindow(Window of) { AskToClose(display, of); }
};

// Pumps until `done` holds or about two seconds have passed; true when it held.
template <typename Done> bool pumpUntil(Done done)
{
    for (int i = 0; i < 200; ++i, usleep(10000)) {
        pumpLL(1);
        if (done())
            return true;
    }
    return false;
}
