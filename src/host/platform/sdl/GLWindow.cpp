#include "host/platform/sdl/GLWindow.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <cstdint>
#include <cstring>

GLWindow::~GLWindow() {
    Close();
}

bool GLWindow::StartVideo(std::string* error) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = std::string("cannot start SDL video: ") + SDL_GetError();
        return false;
    }
    static bool loaded = false;
    if (!loaded && SDL_GL_LoadLibrary(nullptr) != 0) {
        *error = std::string("cannot load OpenGL: ") + SDL_GetError();
        return false;
    }
    loaded = true;
    return true;
}

bool GLWindow::Open(const char* title, int width, int height, bool visible) {
    return OpenWith(title, width, height, visible ? VISIBLE : 0);
}

void GLWindow::DrawableSize(int* width, int* height) const {
    *width = *height = 0;
    if (window != nullptr) {
        SDL_GL_GetDrawableSize(window, width, height);
    }
}

bool GLWindow::OpenWith(const char* title, int width, int height, int options) {
    return OpenAt(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, options);
}

namespace {

Uint32 WindowFlags(int options) {
    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= (options & GLWindow::VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    if (options & GLWindow::FULL_SCREEN) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    if (options & GLWindow::RESIZABLE) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (options & GLWindow::BORDERLESS) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    return flags;
}

void RequestContext(int alphaBits) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    // Eight bits a colour, unless the screen has fewer (5-6-5 at depth 16,
    // as VNC servers run): no visual of eight would match it.
    int bits[3] = {8, 8, 8};
    SDL_DisplayMode mode;
    Uint32 masks[4] = {};
    int bpp = 0;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 &&
        SDL_PixelFormatEnumToMasks(mode.format, &bpp, &masks[0], &masks[1], &masks[2], &masks[3])) {
        for (int i = 0; i < 3; i++) {
            const int n = __builtin_popcount(masks[i]);
            if (n > 0 && n < 8) {
                bits[i] = n;
                alphaBits = 0;
            }
        }
    }
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, bits[0]);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits[1]);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, bits[2]);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
}

} // namespace

bool GLWindow::OpenAt(const char* title, int x, int y, int width, int height, int options) {
    Close();
    if (!StartVideo()) {
        return false;
    }
    RequestContext(8);
    return Create(title, x, y, width, height, WindowFlags(options));
}

bool GLWindow::OpenOnDisplay(const char* title, int display, int options) {
    Close();
    if (!StartVideo()) {
        return false;
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display, &bounds) != 0) {
        lastError = std::string("no display ") + std::to_string(display) + ": " + SDL_GetError();
        Close();
        return false;
    }
    RequestContext(8);
    return Create(title, SDL_WINDOWPOS_UNDEFINED_DISPLAY(display),
                  SDL_WINDOWPOS_UNDEFINED_DISPLAY(display), bounds.w, bounds.h,
                  WindowFlags(options));
}

bool GLWindow::OpenForeign(unsigned long xWindow) {
    Close();
    if (!StartVideo()) {
        return false;
    }
    // The host's window has whatever visual it was made with, usually
    // without alpha; asking for none lets SDL match it.
    RequestContext(0);
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(xWindow)));
    if (window == nullptr) {
        lastError = std::string("cannot draw into X window ") + std::to_string(xWindow) + ": " +
                    SDL_GetError();
        Close();
        return false;
    }
    // SDL listens to no events of a window it did not make. Its size
    // changes are wanted (they come as window events); its input is not.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        XSelectInput(info.info.x11.display, info.info.x11.window, StructureNotifyMask);
    }
    return CreateContext();
}

// Every window starts video the process-wide way, so the GL driver is never
// unloaded and loaded again between windows.
bool GLWindow::StartVideo() {
    return StartVideo(&lastError);
}

bool GLWindow::Create(const char* title, int x, int y, int width, int height, unsigned flags) {
    window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window == nullptr) {
        lastError = std::string("cannot open an OpenGL window: ") + SDL_GetError();
        Close();
        return false;
    }
    return CreateContext();
}

bool GLWindow::CreateContext() {
    const char* driver = SDL_GetCurrentVideoDriver();
    headless = driver != nullptr && std::strcmp(driver, "offscreen") == 0;
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        lastError = std::string("cannot create an OpenGL context: ") + SDL_GetError();
        Close();
        return false;
    }
    return MakeCurrent();
}

void GLWindow::Show() {
    if (window == nullptr) {
        return;
    }
    // No background: until the first frame is presented, the window shows
    // what was beneath it instead of a colour the X server paints.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        XSetWindowBackgroundPixmap(info.info.x11.display, info.info.x11.window, None);
    }
    SDL_ShowWindow(window);
}

void GLWindow::Close() {
    if (context != nullptr) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (initialisedVideo) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        initialisedVideo = false;
    }
}

bool GLWindow::MakeCurrent() {
    if (context == nullptr) {
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        lastError = std::string("cannot make the OpenGL context current: ") + SDL_GetError();
        return false;
    }
    return true;
}

void GLWindow::Swap() {
    if (window == nullptr) {
        return;
    }
    // A headless surface's swap presents nothing and so waits for nothing:
    // the driver would queue frame after frame, its memory growing with
    // the length of the run. Waiting here keeps one frame at a time.
    if (headless) {
        glFinish();
    }
    SDL_GL_SwapWindow(window);
}
