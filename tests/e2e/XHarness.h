#pragma once
// What the end-to-end tests do as the user: start qpedit in a folder of their own,
// find its window, press keys through the X server (XTest), grab the window's
// pixels and close it as a window manager would. Key presses are paced by the
// editor's own frames (the DAMAGE extension reports each presented frame), so a
// slow or loaded machine only makes the tests slower, never wrong.

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include <sys/types.h>

// One run of the editor binary, its standard output captured to a file.
class EditorProcess {
public:
    // Starts `program` with `args` in `folder`; stdout and stderr go to folder/stdout.txt.
    EditorProcess(const std::string& program, const std::vector<std::string>& args, const std::string& folder);
    ~EditorProcess();  // kills the process if it still runs

    // Waits up to `ms` for the exit; the exit code, or -1 on timeout (then killed), or
    // 128 + signal when it died of one.
    int Wait(int ms);
    bool Running();
    std::string Output() const;

private:
    pid_t pid;
    std::string folder;
    int status;
    bool done;
};

// An RGB image of a window, top row first.
struct Grab {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

class XHarness {
public:
    XHarness();  // opens $DISPLAY; display() is null when that fails
    ~XHarness();

    Display* display() const { return dpy; }

    // The top-level window with this exact title, waiting up to `ms`; 0 if none.
    Window FindWindow(const char* title, int ms);
    // Counts the frames that `w` presents from now on (for WaitFrames and Tap).
    void Watch(Window w);
    // Waits until the watched window has presented `frames` frames that began after
    // every request sent so far; false after `ms` or once the window is gone.
    bool WaitFrames(int frames, int ms = 10000);
    // Presses the key of `keysym` and holds it for two whole frames of the watched
    // window, then releases it for two more, so the editor sees one press.
    void Tap(unsigned long keysym);
    // Taps each character: capital letters, digits, '.', '-', '\r' Enter, 27 Escape.
    void Type(const char* keys);
    bool GrabWindow(Window w, Grab& out);
    // Asks the window to close, as a window manager's close button does.
    void Close(Window w);

private:
    Display* dpy;
    Window watched = 0;
    unsigned long damage = 0;  // the DAMAGE object on `watched`, 0 without the extension
    int damageEvent = -1;      // the extension's first event code
};

// Writes an RGB grab as a PNG (for screenshots); false when it can't.
bool SavePng(const Grab& grab, const std::string& path);
