#pragma once
// What the platform tests do to the X server from outside the layer, as a
// user or a window manager would: a second client with its own window, XTest
// key and pointer events, and reads of window properties.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Platform.h"

// A second X client holding a small window of its own at (x, y).
struct OtherClient {
    Display* display = nullptr;
    Window window = 0;

    OtherClient() {
        display = XOpenDisplay(nullptr);
        if (display) {
            window = XCreateSimpleWindow(display, DefaultRootWindow(display), 700, 500, 80, 80, 0, 0, 0);
            XSelectInput(display, window, StructureNotifyMask);
            XMapWindow(display, window);
            XEvent event;
            do {
                XNextEvent(display, &event);
            } while (event.type != MapNotify);
        }
    }
    ~OtherClient() {
        if (display) {
            releaseEverything();
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }

    // Takes the keyboard focus from the layer's window.
    void takeFocus() { giveFocus(window); }
    void giveFocus(Window to) {
        XSetInputFocus(display, to, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    Window focus() {
        Window focused = 0;
        int revert = 0;
        XGetInputFocus(display, &focused, &revert);
        return focused;
    }
    KeyCode code(KeySym sym) { return XKeysymToKeycode(display, sym); }
    void key(KeySym sym, bool down) {
        XTestFakeKeyEvent(display, code(sym), down ? True : False, CurrentTime);
        XSync(display, False);
    }
    void button(unsigned int button, bool down) {
        XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
        XSync(display, False);
    }
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    }
    void pointer(int& x, int& y) {
        Window root, child;
        int wx, wy;
        unsigned int mask;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    }
    void releaseEverything() {
        for (int code = 8; code < 256; ++code) {
            XTestFakeKeyEvent(display, code, False, CurrentTime);
        }
        for (unsigned int b = 1; b <= 3; ++b) {
            XTestFakeButtonEvent(display, b, False, CurrentTime);
        }
        XSync(display, False);
    }
    // The window's title as a window manager reads it.
    std::string title(Window of) {
        Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
        Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string text;
        if (XGetWindowProperty(display, of, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                               &data) == Success && data) {
            text.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
        return text;
    }
    // What a window manager sends when the user closes a window.
    void closeWindow(Window of) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = of;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, of, False, NoEventMask, &event);
        XSync(display, False);
    }
};

inline Window layerWindow() {
    return static_cast<Window>(reinterpret_cast<unsigned long>(platformState.deviceContext));
}

// Pumps until `done` holds or about two seconds have passed; true when it held.
template <typename Done>
bool pumpUntil(Done done) {
    for (int i = 0; i < 200; ++i) {
        pumpLL(1);
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
