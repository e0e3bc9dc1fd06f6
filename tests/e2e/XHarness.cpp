#include "tests/e2e/XHarness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/common/PngFile.h"

namespace {

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Code(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// A window that is being mapped or torn down refuses GetImage and the like; the
// harness polls and retries, so errors are counted instead of ending the test.
int xErrors = 0;
int CountError(Display*, XErrorEvent*)
{
    ++xErrors;
    return 0;
}

bool Viewable(Display* dpy, Window w)
{
    XWindowAttributes attrs;
    return XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable;
}

}  // namespace

EditorProcess::EditorProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder)
    : pid(-1), folder(folder), status(0), done(false)
{
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::string outPath = folder + "/stdout.txt";
    pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(&w[0]);
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

EditorProcess::~EditorProcess()
{
    if (pid > 0 && !done) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

bool EditorProcess::Running()
{
    if (pid <= 0 || done)
        return false;
    if (waitpid(pid, &status, WNOHANG) == pid)
        done = true;
    return !done;
}

int EditorProcess::Wait(int ms)
{
    for (int waited = 0; Running(); waited += 20) {
        if (waited >= ms) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            done = true;
            return -1;
        }
        Sleep(20);
    }
    return pid > 0 ? Code(status) : -1;
}

std::string EditorProcess::Output() const
{
    std::ifstream in(folder + "/stdout.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

XHarness::XHarness() : dpy(XOpenDisplay(nullptr))
{
    XSetErrorHandler(CountError);
}

XHarness::~XHarness()
{
    if (dpy && damage)
        XDamageDestroy(dpy, damage);
    if (dpy)
        XCloseDisplay(dpy);
}

Window XHarness::FindWindow(const char* title, int ms)
{
    for (int waited = 0; waited <= ms; waited += 50) {
        Window root = DefaultRootWindow(dpy), parent, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(dpy, root, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                char* name = nullptr;
                if (XFetchName(dpy, children[i], &name) && name) {
                    if (std::strcmp(name, title) == 0 && Viewable(dpy, children[i]))
                        found = children[i];
                    XFree(name);
                }
            }
            if (children)
                XFree(children);
        }
        if (found)
            return found;
        Sleep(50);
    }
    return 0;
}

void XHarness::Watch(Window w)
{
    int errorBase = 0;
    if (damage)
        XDamageDestroy(dpy, damage);
    damage = 0;
    watched = w;
    if (XDamageQueryExtension(dpy, &damageEvent, &errorBase))
        damage = XDamageCreate(dpy, w, XDamageReportNonEmpty);
    XSync(dpy, False);
}

bool XHarness::WaitFrames(int frames, int ms)
{
    if (!damage) {
        Sleep(100 * frames);  // no DAMAGE extension: a guess at a slow frame
        return true;
    }
    // A frame presented after the region was emptied here reports again, carrying
    // a serial at or past this request's; earlier reports still queued carry older
    // serials and only get their region emptied. The first frame counted may have
    // begun before the requests sent so far, hence one frame more.
    unsigned long mark = NextRequest(dpy);
    XDamageSubtract(dpy, damage, None, None);
    XFlush(dpy);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto nextLook = std::chrono::steady_clock::now();
    XEvent event;
    for (int seen = 0; seen < frames + 1;) {
        if (XCheckTypedEvent(dpy, damageEvent + XDamageNotify, &event)) {
            seen += event.xany.serial >= mark;
            XDamageSubtract(dpy, damage, None, None);
            XFlush(dpy);
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now > deadline)
            return false;
        if (now > nextLook) {
            if (!Viewable(dpy, watched))
                return false;
            nextLook = now + std::chrono::milliseconds(100);
        }
        Sleep(1);
    }
    return true;
}

void XHarness::Tap(unsigned long keysym)
{
    KeyCode code = XKeysymToKeycode(dpy, keysym);
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    WaitFrames(2);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    WaitFrames(2);
}

void XHarness::Type(const char* keys)
{
    for (; *keys; ++keys) {
        char c = *keys;
        if (c == '\r')
            Tap(XK_Return);
        else if (c == 27)
            Tap(XK_Escape);
        else if (c == '.')
            Tap(XK_period);
        else if (c == '-')
            Tap(XK_minus);
        else if (c >= 'A' && c <= 'Z')
            Tap(XK_a + (c - 'A'));
        else if (c >= '0' && c <= '9')
            Tap(XK_0 + (c - '0'));
    }
}

bool XHarness::GrabWindow(Window w, Grab& out)
{
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, w, &attrs) || attrs.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(dpy, w, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap);
    XSync(dpy, False);
    if (!image)
        return false;
    out.width = attrs.width;
    out.height = attrs.height;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            unsigned char* d = &out.rgb[(static_cast<size_t>(y) * out.width + x) * 3];
            d[0] = static_cast<unsigned char>((p & image->red_mask) >> __builtin_ctzl(image->red_mask));
            d[1] = static_cast<unsigned char>((p & image->green_mask) >> __builtin_ctzl(image->green_mask));
            d[2] = static_cast<unsigned char>((p & image->blue_mask) >> __builtin_ctzl(image->blue_mask));
        }
    XDestroyImage(image);
    return true;
}

void XHarness::Close(Window w)
{
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &event);
    XFlush(dpy);
}

bool SavePng(const Grab& grab, const std::string& path)
{
    std::string error;
    return WritePng(path, static_cast<uint32_t>(grab.width), static_cast<uint32_t>(grab.height), 3, grab.rgb.data(),
                    error);
}
