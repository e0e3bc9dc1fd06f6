#pragma once
// The user's side of the end-to-end tests: runs a program in a folder of its own,
// types through the X server (XTest), grabs a window's pixels and closes it as a
// window manager would. Keys are paced by the editor's own frames, counted with
// the DAMAGE extension, so a loaded machine makes the tests slower, never wrong.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstring>

#include <ctype.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/EffectRecord.h"
#include "tests/support/XClient.h"

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// One run of `program` in `folder`, its stdout and stderr going to folder/stdout.txt.
class EditorProcess {
public:
    EditorProcess(const std::string& program, std::vector<std::string> args, const std::string& folder)
        : out(folder + "/stdout.txt")
    {
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        if ((pid = fork()) == 0) {
            int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0 && chdir(folder.c_str()) == 0 && dup2(fd, 1) == 1 && dup2(fd, 2) == 2)
                execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~EditorProcess() { Wait(0); }

    // The exit code within `ms`, 128 + signal after a fatal one, or -1 on timeout (then killed).
    int Wait(int ms)
    {
        int status = 0;
        for (auto end = Clock::now() + Ms(ms); pid > 0 && Clock::now() <= end; usleep(20000))
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        pid = -1;
        return code;
    }
    std::string Output() const { return std::string(std::istreambuf_iterator<char>(std::ifstream(out).rdbuf()), {}); }

private:
    std::string out;  // the output file
    pid_t pid = -1;   // while running
    int code = -1;    // the exit code once seen
};

// An RGB image of a window, top row first.
struct Grab {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

class XHarness {
public:
    // A window being mapped or torn down refuses requests; the harness polls and
    // retries, so X errors are not fatal.
    XHarness()
    {
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XHarness()
    {
        if (dpy)
            XCloseDisplay(dpy);  // frees the DAMAGE object too
    }
    Display* const dpy = XOpenDisplay(nullptr);  // null when $DISPLAY can't be opened

    // Waits up to `ms` for a mapped top-level window with exactly this title and
    // counts its frames from then on; false when none showed.
    bool Attach(const char* title, int ms)
    {
        for (auto end = Clock::now() + Ms(ms); !window && Clock::now() < end; usleep(50000)) {
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
            for (unsigned i = 0; i < count && !window; ++i) {
                char* name = nullptr;
                if (XFetchName(dpy, children[i], &name) && std::strcmp(name, title) == 0 && Viewable(children[i]))
                    window = children[i];
                XFree(name);
            }
            XFree(children);
        }
        int errorBase = 0;
        if (window && XDamageQueryExtension(dpy, &damageEvent, &errorBase))
            damage = XDamageCreate(dpy, window, XDamageReportNonEmpty);
        XSync(dpy, False);
        return damage != 0;
    }

    // Waits until the window has presented `frames` frames begun after every request
    // sent so far; false after `ms` or once the window is gone.
    bool WaitFrames(int frames, int ms = 10000)
    {
        // A frame presented after the region is emptied here reports again with a serial
        // at or past this request's; older reports only get their region emptied. The
        // first frame counted may have begun before the requests sent, hence one more.
        unsigned long mark = NextRequest(dpy);
        XEvent event;
        for (auto end = Clock::now() + Ms(ms); frames >= 0; frames -= event.xany.serial >= mark) {
            XDamageSubtract(dpy, damage, None, None);
            XFlush(dpy);
            while (!XCheckTypedEvent(dpy, damageEvent + XDamageNotify, &event)) {
                if (Clock::now() > end || !Viewable(window))
                    return false;
                usleep(1000);
            }
        }
        return true;
    }

    // Taps each key, down for two whole frames and up for two, so the editor sees one
    // press: capital letters, digits, '.', '-', '\r' Enter, 27 Escape. Latin-1
    // keysyms are the characters themselves, letters in lower case.
    void Type(const char* keys)
    {
        for (; *keys; ++keys)
            for (bool down : {true, false}) {
                FakeKey(dpy, *keys == '\r' ? XK_Return : *keys == 27 ? XK_Escape : tolower(*keys), down);
                WaitFrames(2);
            }
    }

    bool GrabWindow(Grab& out)
    {
        XImage* image =
            Viewable(window) ? XGetImage(dpy, window, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap) : nullptr;
        if (!image)
            return false;
        out = Grab{attrs.width, attrs.height, {}};
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                unsigned long pixel = XGetPixel(image, x, y);
                for (unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask})
                    out.rgb.push_back(static_cast<unsigned char>((pixel & mask) >> __builtin_ctzl(mask)));
            }
        XDestroyImage(image);
        return true;
    }

    // Asks the window to close, as a window manager's close button does.
    void Close() { AskToClose(dpy, window); }

private:
    bool Viewable(Window w) { return XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable; }

    Window window = 0;             // the attached window
    XWindowAttributes attrs = {};  // of the window last asked about
    unsigned long damage = 0;      // the DAMAGE object on `window`
    int damageEvent = 0;           // the extension's first event code
};
