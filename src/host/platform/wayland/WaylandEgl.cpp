#include "host/platform/wayland/WaylandEgl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace {

std::string EglError(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", unsigned(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

} // namespace

WaylandEgl::~WaylandEgl() {
    Close();
}

bool WaylandEgl::Open(wl_display* wayland) {
    Close();
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = getPlatformDisplay != nullptr
                         ? getPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, wayland, nullptr)
                         : eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(wayland));
    if (dpy == EGL_NO_DISPLAY) {
        lastError = EglError("eglGetPlatformDisplay");
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor)) {
        lastError = EglError("eglInitialize");
        return false;
    }
    display = dpy;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        lastError = EglError("eglBindAPI(OpenGL)");
        Close();
        return false;
    }
    // No alpha: the compositor must not blend what the glass leaves in
    // the alpha channel with the windows below.
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,   EGL_RED_SIZE,    8,
                                 EGL_GREEN_SIZE,   8,               EGL_BLUE_SIZE,
                                 8,                EGL_ALPHA_SIZE,  0,
                                 EGL_DEPTH_SIZE,   16,              EGL_NONE};
    EGLConfig chosen = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(dpy, attributes, &chosen, 1, &count) || count < 1) {
        lastError = EglError("eglChooseConfig (8-bit colour, depth, desktop OpenGL)");
        Close();
        return false;
    }
    config = chosen;
    return true;
}

void WaylandEgl::Close() {
    if (display != nullptr) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglTerminate(display);
        display = nullptr;
    }
    config = nullptr;
}

void* WaylandEgl::CreateContext() {
    if (display == nullptr) {
        return nullptr;
    }
    const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION,
                                    2,
                                    EGL_CONTEXT_MINOR_VERSION,
                                    1,
                                    EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) {
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    }
    if (context == EGL_NO_CONTEXT) {
        lastError = EglError("eglCreateContext (OpenGL 2.1 compatibility)");
        return nullptr;
    }
    return context;
}
