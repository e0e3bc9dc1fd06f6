#include "platform/Platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <SDL.h>
#include <SDL_syswm.h>
#include <GL/glx.h>

#include "platform/PlatformInternal.h"

namespace {

// What setupLL asks of the GL surface, in bits, filled from the flags before
// anything else is done.
struct PixelFormatRequest {
    bool doubleBuffer;
    int colorBits;    // 24: 8 each for red, green, blue; no alpha
    int depthBits;    // 16 with LL_DEPTH, else 0
    int stencilBits;  // 8 with LL_STENCIL, else 0
    int accumBits;    // 24 with LL_ACCUM (8 per colour channel), else 0
};

int forcedFailure;                                          // failSetupLL's number, 0 = none
void (*messageBox)(const char* caption, const char* text);  // failSetupLL's stand-in box, or null

void showError(const char* text)
{
    if (messageBox) {
        messageBox("Error", text);
        return;
    }
    // Without a display SDL can't show a box; the user still reads why on the console.
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text, nullptr) != 0) {
        std::fprintf(stderr, "Error: %s\n", text);
    }
}

// The window's icon: a soft white dot on black, the look of one particle.
SDL_Surface* makeIcon()
{
    const int size = 32;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_RGBA32);
    if (!icon) {
        return nullptr;
    }
    for (int y = 0; y < size; ++y) {
        unsigned char* row = static_cast<unsigned char*>(icon->pixels) + y * icon->pitch;
        for (int x = 0; x < size; ++x) {
            const float dx = (x - 15.5f) / 16.0f, dy = (y - 15.5f) / 16.0f;
            float glow = 1.0f - (dx * dx + dy * dy);
            glow = glow < 0.0f ? 0.0f : glow * glow;
            const unsigned char level = static_cast<unsigned char>(255.0f * glow);
            row[4 * x + 0] = level;
            row[4 * x + 1] = level;
            row[4 * x + 2] = level;
            row[4 * x + 3] = 255;
        }
    }
    return icon;
}

// The GLX description of the visual SDL gave an OpenGL window, or null when
// the window has no visual that GL can draw to. The caller XFree()s it.
XVisualInfo* windowVisual(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || !attributes.visual) {
        return nullptr;
    }
    XVisualInfo wanted;
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    if (info && count < 1) {
        XFree(info);
        info = nullptr;
    }
    return info;
}

int glxValue(Display* display, XVisualInfo* visual, int attribute)
{
    int value = 0;
    return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

// SDL picks the X visual (the pixel format) when it creates an OpenGL window,
// from the attributes set before; hand it the request.
void requestPixelFormat(const PixelFormatRequest& request)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, request.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, request.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, request.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, request.doubleBuffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, request.accumBits / 3);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, request.accumBits / 3);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, request.accumBits / 3);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    // Every OpenGL 1.1 call the system makes needs the compatibility profile.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// False for SDL's video drivers that put nothing on a screen.
bool driverShowsWindows(const char* driver)
{
    const char* const headless[] = {"offscreen", "dummy", "evdev"};
    for (const char* name : headless) {
        if (SDL_strcasecmp(driver, name) == 0) {
            return false;
        }
    }
    return true;
}

// Failures 6 to 11: the box first, then the teardown.
int failAndTearDown(const char* text)
{
    showError(text);
    shutdownLL();
    return 1;
}

}  // namespace

bool setupFailureForced(int failure)
{
    return forcedFailure == failure;
}

void failSetupLL(int failure)
{
    forcedFailure = failure;
}

void setMessageBoxLL(void (*box)(const char* caption, const char* text))
{
    messageBox = box;
}

int setupLL(const char* title, unsigned char flags, int x, int y, int width, int height)
{
    PlatformState& s = platformState;

    // 1. The pixel format request.
    PixelFormatRequest request;
    request.doubleBuffer = (flags & LL_DOUBLEBUFFER) != 0;
    request.colorBits = 24;
    request.depthBits = (flags & LL_DEPTH) ? 16 : 0;
    request.stencilBits = (flags & LL_STENCIL) ? 8 : 0;
    request.accumBits = (flags & LL_ACCUM) ? 24 : 0;
    const bool wantFullscreen = (flags & LL_FULLSCREEN) != 0;

    // 2. The program's hold on the window system: SDL's video subsystem (the
    //    connection to the display).
    //    The mouse is read as a device: a click that brings the window to the
    //    front counts like any other.
    //    Without a display SDL falls back to a driver that shows nothing
    //    (offscreen, dummy); for the user that is no display at all.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (setupFailureForced(1) || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        showError("Was not able to get instance handle.");
        return 1;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || !driverShowsWindows(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        showError("Was not able to get instance handle.");
        return 1;
    }
    s.instanceHandle = driver;

    // 3. The arrow cursor and the window icon.
    s.arrowCursor = setupFailureForced(2) ? nullptr : SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    s.windowIcon = setupFailureForced(2) ? nullptr : makeIcon();
    if (!s.arrowCursor || !s.windowIcon) {
        showError("Cursor and/or Icon not loaded properly.");
        return 1;
    }

    // 4. The class of our windows: windows drawn by OpenGL, which needs the GL
    //    library loaded before such a window is made.
    if (setupFailureForced(3) || SDL_GL_LoadLibrary(nullptr) != 0) {
        showError("Wasn't able to regiser windowclass.");
        return 1;
    }
    s.windowClass = 1;

    // 5. Full screen: the display mode of exactly width x height at 32 bits per
    //    pixel (SDL switches to it when the window is shown); a frameless window.
    //    Windowed: a captioned window with a sizing frame.
    SDL_DisplayMode mode = {};
    Uint32 style = SDL_WINDOW_RESIZABLE;
    if (wantFullscreen) {
        SDL_DisplayMode wanted = {SDL_PIXELFORMAT_RGB888, width, height, 0, nullptr};
        if (setupFailureForced(4) || !SDL_GetClosestDisplayMode(0, &wanted, &mode) || mode.w != width ||
            mode.h != height) {
            showError("Wasn't able to change screen mode.");
            return 1;
        }
        style = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS;
    }

    // 6. The window's size. SDL takes the client size and adds the frame
    //    itself; what remains to check is that the size is one a window can have.
    const int maxSide = 32767;  // X11 window sides are 16-bit
    if (setupFailureForced(5) || width < 1 || height < 1 || width > maxSide || height > maxSide) {
        showError("Was not able to calculate proper size of window.");
        return 1;
    }

    // 7. The window, hidden until its context is ready; it takes its pixel
    //    format as it is made.
    requestPixelFormat(request);
    s.windowHandle = setupFailureForced(6) ? nullptr
                                           : SDL_CreateWindow(title ? title : "", x, y, width, height,
                                                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | style);
    if (!s.windowHandle) {
        return failAndTearDown("Could not create window.");
    }
    SDL_SetWindowIcon(s.windowHandle, s.windowIcon);
    SDL_SetCursor(s.arrowCursor);
    if (wantFullscreen) {
        SDL_SetWindowDisplayMode(s.windowHandle, &mode);
    }

    // 8. The window's native drawable, and on X11 SDL's display connection
    //    (the keyboard reads the server's key map through it).
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (setupFailureForced(7) || !SDL_GetWindowWMInfo(s.windowHandle, &info)) {
        return failAndTearDown("Could not get the device context for window.");
    }
    if (info.subsystem == SDL_SYSWM_X11) {
        s.x11Display = info.info.x11.display;
        s.deviceContext = reinterpret_cast<void*>(static_cast<std::uintptr_t>(info.info.x11.window));
    } else {
        s.deviceContext = s.windowHandle;
    }

    // 9. The pixel format found for the request: on X11 the window's visual
    //    must be one GL draws to in RGBA. Other drivers refuse the window instead.
    XVisualInfo* visual = nullptr;
    if (s.x11Display) {
        visual = windowVisual(s.x11Display, static_cast<Window>(info.info.x11.window));
    }
    if (setupFailureForced(8) || (s.x11Display && (!visual || !glxValue(s.x11Display, visual, GLX_USE_GL) ||
                                                   !glxValue(s.x11Display, visual, GLX_RGBA)))) {
        if (visual) {
            XFree(visual);
        }
        return failAndTearDown("Could not find a good pixel format.");
    }

    // 10. The format set on the window has every buffer asked for.
    bool formatHolds = true;
    if (visual) {
        Display* d = s.x11Display;
        formatHolds = (!request.doubleBuffer || glxValue(d, visual, GLX_DOUBLEBUFFER)) &&
                      glxValue(d, visual, GLX_RED_SIZE) + glxValue(d, visual, GLX_GREEN_SIZE) +
                              glxValue(d, visual, GLX_BLUE_SIZE) >=
                          request.colorBits &&
                      glxValue(d, visual, GLX_DEPTH_SIZE) >= request.depthBits &&
                      glxValue(d, visual, GLX_STENCIL_SIZE) >= request.stencilBits &&
                      glxValue(d, visual, GLX_ACCUM_RED_SIZE) + glxValue(d, visual, GLX_ACCUM_GREEN_SIZE) +
                              glxValue(d, visual, GLX_ACCUM_BLUE_SIZE) >=
                          request.accumBits;
        XFree(visual);
    }
    if (setupFailureForced(9) || !formatHolds) {
        return failAndTearDown("Could not set pixel format.");
    }

    // 11. The rendering context.
    s.renderContext = setupFailureForced(10) ? nullptr : SDL_GL_CreateContext(s.windowHandle);
    if (!s.renderContext) {
        return failAndTearDown("Wasn't able to create rendering context.");
    }

    // 12. Made current on this thread.
    if (setupFailureForced(11) || SDL_GL_MakeCurrent(s.windowHandle, s.renderContext) != 0) {
        return failAndTearDown("Could not activate rendering context.");
    }

    // 13. Shown, raised, and given the keyboard focus.
    SDL_ShowWindow(s.windowHandle);
    SDL_RaiseWindow(s.windowHandle);
    SDL_SetWindowInputFocus(s.windowHandle);

    // 14. The keyboard and mouse. Here the window goes before the box shows.
    if (initInputLL() != 0) {
        shutdownLL();
        showError("setupLL failed!!");
        return 1;
    }

    // 15. Recorded only now that every step has succeeded.
    s.windowX = x;
    s.windowY = y;
    s.clientWidth = width;
    s.clientHeight = height;
    s.fullscreen = wantFullscreen ? 1 : 0;
    return 0;
}

void swapBuffersLL()
{
    if (platformState.windowHandle) {
        SDL_GL_SwapWindow(platformState.windowHandle);
    }
}

void shutdownLL()
{
    PlatformState& s = platformState;

    // 1. Back to the desktop's display mode.
    if (s.fullscreen == 1 && s.windowHandle) {
        SDL_SetWindowFullscreen(s.windowHandle, 0);
    }
    s.fullscreen = 0;

    // 2. No context current on this thread, always.
    if (s.instanceHandle) {
        SDL_GL_MakeCurrent(s.windowHandle, nullptr);
    }

    // 3. The rendering context.
    if (s.renderContext) {
        SDL_GL_DeleteContext(s.renderContext);
        s.renderContext = nullptr;
    }

    // 4. The native drawable belongs to the window; only our record of it goes.
    s.deviceContext = nullptr;
    s.x11Display = nullptr;

    // 5. The window.
    if (s.windowHandle) {
        SDL_DestroyWindow(s.windowHandle);
        s.windowHandle = nullptr;
    }

    // 6. The class of our windows: the GL library, the cursor and the icon.
    if (s.windowClass) {
        SDL_GL_UnloadLibrary();
        s.windowClass = 0;
    }
    if (s.arrowCursor) {
        SDL_FreeCursor(s.arrowCursor);
        s.arrowCursor = nullptr;
    }
    if (s.windowIcon) {
        SDL_FreeSurface(s.windowIcon);
        s.windowIcon = nullptr;
    }

    // 7. The input devices, always (releaseInputLL skips what it never made).
    releaseInputLL();

    // SDL's video subsystem (instanceHandle) stays up until the process ends,
    // like a program's module handle: closing the display would unload the GL
    // driver while code of it may still be referenced (exit handlers, leak checks).
}

int windowProcLL(const SDL_Event* event)
{
    if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_CLOSE && platformState.windowHandle &&
        event->window.windowID == SDL_GetWindowID(platformState.windowHandle)) {
        // The close box or the window manager's close: the program ends here,
        // from inside the pump, with its exit handlers run.
        shutdownLL();
        std::exit(0);
    }
    return 0;  // SDL has already done the default handling of every other event
}
