#include "platform/OffscreenLL.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL2/SDL.h>

// EGL is reached through dlopen rather than linked, so that a machine without
// libEGL still starts the tool and gets the SDL fallback.
namespace {

struct EglApi {
    void* library;  // dlopen handle of libEGL, kept for the life of the process
    PFNEGLGETPROCADDRESSPROC GetProcAddress;
    PFNEGLQUERYSTRINGPROC QueryString;
    PFNEGLGETERRORPROC GetError;
    PFNEGLINITIALIZEPROC Initialize;
    PFNEGLBINDAPIPROC BindAPI;
    PFNEGLCHOOSECONFIGPROC ChooseConfig;
    PFNEGLCREATECONTEXTPROC CreateContext;
    PFNEGLDESTROYCONTEXTPROC DestroyContext;
    PFNEGLMAKECURRENTPROC MakeCurrent;
    PFNEGLRELEASETHREADPROC ReleaseThread;
    PFNEGLGETPLATFORMDISPLAYEXTPROC GetPlatformDisplay;  // null without EGL_EXT_platform_base
    PFNEGLQUERYDEVICESEXTPROC QueryDevices;              // null without device enumeration
};

// Framebuffer-object entry points: not part of GL 1.1, so fetched from the
// context's own loader once it is current.
struct FboApi {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus;
};

enum Kind : unsigned char { KIND_NONE, KIND_EGL, KIND_SDL };

struct OffscreenState {
    Kind kind;
    int width, height;      // pixels of the framebuffer
    EGLDisplay eglDisplay;  // EGL kinds only
    EGLContext eglContext;
    SDL_Window* sdlWindow;  // SDL kind only
    SDL_GLContext sdlContext;
    GLuint framebuffer, colorBuffer;
    FboApi fbo;
};

EglApi egl;
bool eglLoaded;  // dlopen attempted; egl.library is null when it failed
OffscreenState state;
std::string lastError;

bool HasWord(const char* list, const char* word)
{
    if (!list)
        return false;
    const size_t n = strlen(word);
    for (const char* p = list; (p = strstr(p, word)) != nullptr; p += n) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[n] == '\0' || p[n] == ' ';
        if (startOk && endOk)
            return true;
    }
    return false;
}

std::string EglErrorText()
{
    const EGLint code = egl.GetError ? egl.GetError() : EGL_SUCCESS;
    switch (code) {
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED: no usable driver";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    default: break;
    }
    char text[32];
    snprintf(text, sizeof text, "EGL error 0x%04X", unsigned(code));
    return text;
}

// Fills `egl` from libEGL; returns false with `why` set when there is none.
bool LoadEgl(std::string& why)
{
    if (!eglLoaded) {
        eglLoaded = true;
        egl.library = dlopen("libEGL.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!egl.library)
            egl.library = dlopen("libEGL.so", RTLD_NOW | RTLD_LOCAL);
        if (egl.library) {
            egl.GetProcAddress = reinterpret_cast<PFNEGLGETPROCADDRESSPROC>(dlsym(egl.library, "eglGetProcAddress"));
            egl.QueryString = reinterpret_cast<PFNEGLQUERYSTRINGPROC>(dlsym(egl.library, "eglQueryString"));
            egl.GetError = reinterpret_cast<PFNEGLGETERRORPROC>(dlsym(egl.library, "eglGetError"));
            egl.Initialize = reinterpret_cast<PFNEGLINITIALIZEPROC>(dlsym(egl.library, "eglInitialize"));
            egl.BindAPI = reinterpret_cast<PFNEGLBINDAPIPROC>(dlsym(egl.library, "eglBindAPI"));
            egl.ChooseConfig = reinterpret_cast<PFNEGLCHOOSECONFIGPROC>(dlsym(egl.library, "eglChooseConfig"));
            egl.CreateContext = reinterpret_cast<PFNEGLCREATECONTEXTPROC>(dlsym(egl.library, "eglCreateContext"));
            egl.DestroyContext = reinterpret_cast<PFNEGLDESTROYCONTEXTPROC>(dlsym(egl.library, "eglDestroyContext"));
            egl.MakeCurrent = reinterpret_cast<PFNEGLMAKECURRENTPROC>(dlsym(egl.library, "eglMakeCurrent"));
            egl.ReleaseThread = reinterpret_cast<PFNEGLRELEASETHREADPROC>(dlsym(egl.library, "eglReleaseThread"));
            const bool complete = egl.GetProcAddress && egl.QueryString && egl.GetError && egl.Initialize &&
                                  egl.BindAPI && egl.ChooseConfig && egl.CreateContext && egl.DestroyContext &&
                                  egl.MakeCurrent && egl.ReleaseThread;
            if (!complete) {
                egl = EglApi{};  // the handle is kept loaded; nothing of it is used
            } else {
                const char* clientExtensions = egl.QueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
                if (HasWord(clientExtensions, "EGL_EXT_platform_base"))
                    egl.GetPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
                        egl.GetProcAddress("eglGetPlatformDisplayEXT"));
                if (HasWord(clientExtensions, "EGL_EXT_device_enumeration") ||
                    HasWord(clientExtensions, "EGL_EXT_device_base"))
                    egl.QueryDevices =
                        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(egl.GetProcAddress("eglQueryDevicesEXT"));
            }
        }
    }
    if (!egl.GetProcAddress) {
        why = "libEGL could not be loaded";
        return false;
    }
    return true;
}

template <typename T> bool Fetch(T& slot, void* (*loader)(const char*), const char* name)
{
    slot = reinterpret_cast<T>(loader(name));
    return slot != nullptr;
}

void* EglLoader(const char* name)
{
    return reinterpret_cast<void*>(egl.GetProcAddress(name));
}
void* SdlLoader(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

// With a context current: fetches the framebuffer-object calls and makes the
// framebuffer. Returns false with `why` set, leaving no GL objects behind.
bool MakeFramebuffer(void* (*loader)(const char*), std::string& why)
{
    FboApi& f = state.fbo;
    const bool found = Fetch(f.GenFramebuffers, loader, "glGenFramebuffers") &&
                       Fetch(f.DeleteFramebuffers, loader, "glDeleteFramebuffers") &&
                       Fetch(f.BindFramebuffer, loader, "glBindFramebuffer") &&
                       Fetch(f.GenRenderbuffers, loader, "glGenRenderbuffers") &&
                       Fetch(f.DeleteRenderbuffers, loader, "glDeleteRenderbuffers") &&
                       Fetch(f.BindRenderbuffer, loader, "glBindRenderbuffer") &&
                       Fetch(f.RenderbufferStorage, loader, "glRenderbufferStorage") &&
                       Fetch(f.FramebufferRenderbuffer, loader, "glFramebufferRenderbuffer") &&
                       Fetch(f.CheckFramebufferStatus, loader, "glCheckFramebufferStatus");
    if (!found) {
        why = "the GL context has no framebuffer objects";
        return false;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (state.width > maxSize || state.height > maxSize) {
        why = "a " + std::to_string(state.width) + "x" + std::to_string(state.height) +
              " framebuffer is larger than this GL allows (" + std::to_string(maxSize) + " per side)";
        return false;
    }
    f.GenFramebuffers(1, &state.framebuffer);
    f.GenRenderbuffers(1, &state.colorBuffer);
    f.BindRenderbuffer(GL_RENDERBUFFER, state.colorBuffer);
    f.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, state.width, state.height);
    f.BindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    f.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, state.colorBuffer);
    const GLenum status = f.CheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        f.BindFramebuffer(GL_FRAMEBUFFER, 0);
        f.DeleteFramebuffers(1, &state.framebuffer);
        f.DeleteRenderbuffers(1, &state.colorBuffer);
        state.framebuffer = state.colorBuffer = 0;
        char text[64];
        snprintf(text, sizeof text, "the framebuffer is incomplete (status 0x%04X)", unsigned(status));
        why = text;
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, state.width, state.height);
    return true;
}

// Initialises `display` and makes a desktop-GL context current on it without a
// surface. Returns false with `why` set and no context left. Displays are never
// terminated: that would unload Mesa's driver, which a later set-up then loads
// again, and whatever the driver keeps for the process would lose its owner.
bool StartEglContext(EGLDisplay display, std::string& why)
{
    if (display == EGL_NO_DISPLAY) {
        why = "no display (" + EglErrorText() + ")";
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!egl.Initialize(display, &major, &minor)) {
        why = "eglInitialize failed (" + EglErrorText() + ")";
        return false;
    }
    if (!HasWord(egl.QueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        why = "the display has no surfaceless contexts";
        return false;
    }
    if (!egl.BindAPI(EGL_OPENGL_API)) {
        why = "desktop OpenGL is not offered (" + EglErrorText() + ")";
        return false;
    }
    // Any surface type: the context never gets a surface.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!egl.ChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1) {
        why = "no desktop OpenGL configuration";
        return false;
    }
    // No version asked: Mesa then gives a compatibility profile, which the
    // immediate-mode drawing of the engine needs.
    const EGLint contextAttributes[] = {EGL_NONE};
    EGLContext context = egl.CreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        why = "eglCreateContext failed (" + EglErrorText() + ")";
        return false;
    }
    if (!egl.MakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        why = "eglMakeCurrent failed (" + EglErrorText() + ")";
        egl.DestroyContext(display, context);
        return false;
    }
    state.eglDisplay = display;
    state.eglContext = context;
    if (!MakeFramebuffer(EglLoader, why)) {
        egl.MakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        egl.DestroyContext(display, context);
        state.eglDisplay = EGL_NO_DISPLAY;
        state.eglContext = EGL_NO_CONTEXT;
        return false;
    }
    return true;
}

bool TryEglSurfaceless(std::string& why)
{
    if (!LoadEgl(why))
        return false;
    if (!egl.GetPlatformDisplay ||
        !HasWord(egl.QueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless")) {
        why = "the surfaceless platform is not offered";
        return false;
    }
    EGLDisplay display = egl.GetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!StartEglContext(display, why))
        return false;
    state.kind = KIND_EGL;
    return true;
}

bool TryEglDevices(std::string& why)
{
    if (!LoadEgl(why))
        return false;
    if (!egl.GetPlatformDisplay || !egl.QueryDevices ||
        !HasWord(egl.QueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_EXT_platform_device")) {
        why = "the device platform is not offered";
        return false;
    }
    EGLDeviceEXT devices[16];
    EGLint deviceCount = 0;
    if (!egl.QueryDevices(16, devices, &deviceCount) || deviceCount < 1) {
        why = "no EGL devices";
        return false;
    }
    for (EGLint i = 0; i < deviceCount; ++i) {
        EGLDisplay display = egl.GetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        std::string deviceWhy;
        if (StartEglContext(display, deviceWhy)) {
            state.kind = KIND_EGL;
            return true;
        }
        why += (i ? "; device " : "device ") + std::to_string(i) + ": " + deviceWhy;
    }
    return false;
}

bool TrySdl(std::string& why)
{
    // Once up, SDL's video stays up (see shutdownOffscreenLL), failures included.
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("offscreen", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        why = std::string("SDL window: ") + SDL_GetError();
        return false;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context || SDL_GL_MakeCurrent(window, context) != 0) {
        why = std::string("SDL GL context: ") + SDL_GetError();
        if (context)
            SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        return false;
    }
    state.sdlWindow = window;
    state.sdlContext = context;
    if (!MakeFramebuffer(SdlLoader, why)) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        state.sdlWindow = nullptr;
        state.sdlContext = nullptr;
        return false;
    }
    state.kind = KIND_SDL;
    return true;
}

}  // namespace

int setupOffscreenLL(int width, int height, unsigned char kinds)
{
    shutdownOffscreenLL();
    lastError.clear();
    if (width < 1 || height < 1) {
        lastError = "the framebuffer size must be at least 1x1";
        return 1;
    }
    state = OffscreenState{};
    state.width = width;
    state.height = height;
    state.eglDisplay = EGL_NO_DISPLAY;
    state.eglContext = EGL_NO_CONTEXT;

    std::string report;
    std::string why;
    if (kinds == OFFSCREEN_ANY || kinds == OFFSCREEN_EGL) {
        if (TryEglSurfaceless(why))
            return 0;
        report += "EGL surfaceless: " + why;
        why.clear();
        if (TryEglDevices(why))
            return 0;
        report += "; EGL device: " + why;
        why.clear();
    }
    if (kinds == OFFSCREEN_ANY || kinds == OFFSCREEN_SDL) {
        if (TrySdl(why))
            return 0;
        report += (report.empty() ? "" : "; ") + std::string("hidden SDL window: ") + why;
    }
    lastError = "no OpenGL context could be made (" + report + ")";
    state = OffscreenState{};
    return 1;
}

const char* offscreenErrorLL()
{
    return lastError.c_str();
}

bool readOffscreenLL(unsigned char* rgba)
{
    if (state.kind == KIND_NONE)
        return false;
    GLint oldAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, state.width, state.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_PACK_ALIGNMENT, oldAlignment);
    return true;
}

void shutdownOffscreenLL()
{
    if (state.kind == KIND_NONE)
        return;
    state.fbo.BindFramebuffer(GL_FRAMEBUFFER, 0);
    state.fbo.DeleteFramebuffers(1, &state.framebuffer);
    state.fbo.DeleteRenderbuffers(1, &state.colorBuffer);
    if (state.kind == KIND_SDL) {
        SDL_GL_MakeCurrent(state.sdlWindow, nullptr);
        SDL_GL_DeleteContext(state.sdlContext);
        SDL_DestroyWindow(state.sdlWindow);
        // SDL's video stays up, as EGL displays do: quitting it unloads the
        // libraries it opened, and what they keep for the process with them.
    } else {
        egl.MakeCurrent(state.eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        egl.DestroyContext(state.eglDisplay, state.eglContext);
        egl.ReleaseThread();
    }
    state = OffscreenState{};
}
