#include "host/platform/wayland/LayerSurface.h"

#include "host/platform/wayland/WaylandDisplay.h"
#include "host/platform/wayland/WaylandEgl.h"
#include "host/platform/wayland/LayerShellProtocol.h"
#include "host/platform/wayland/WaylandOutput.h"

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>

namespace {

// No output is larger; beyond it the compositor's size is not believed.
const int kMaxEdge = 16384;

} // namespace

LayerSurface::LayerSurface(WaylandDisplay& d, WaylandEgl& e, const WaylandOutput& o)
    : display(d), egl(e), output(o) {}

LayerSurface::~LayerSurface() {
    EGLDisplay dpy = egl.Display();
    if (dpy != nullptr) {
        if (eglGetCurrentContext() == context) {
            eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        if (context != nullptr) {
            eglDestroyContext(dpy, context);
        }
        if (eglSurface != nullptr) {
            eglDestroySurface(dpy, eglSurface);
        }
    }
    if (window != nullptr) {
        wl_egl_window_destroy(window);
    }
    if (frameCallback != nullptr) {
        wl_callback_destroy(frameCallback);
    }
    if (layer != nullptr) {
        zwlr_layer_surface_v1_destroy(layer);
    }
    if (surface != nullptr) {
        wl_surface_destroy(surface);
    }
}

bool LayerSurface::Create() {
    if (display.LayerShell() == nullptr) {
        lastError = "the compositor offers no layer shell";
        return false;
    }
    surface = wl_compositor_create_surface(display.Compositor());
    layer = zwlr_layer_shell_v1_get_layer_surface(display.LayerShell(), surface, output.Output(),
                                                  ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "tumblix");
    static const zwlr_layer_surface_v1_listener listener = {Configure, Close};
    zwlr_layer_surface_v1_add_listener(layer, &listener, this);
    zwlr_layer_surface_v1_set_size(layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer, 1);
    scale = output.Scale();
    if (wl_surface_get_version(surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) {
        wl_surface_set_buffer_scale(surface, scale);
    } else {
        scale = 1;
    }
    wl_surface_commit(surface);
    return true;
}

void LayerSurface::Configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial,
                             uint32_t w, uint32_t h) {
    auto* self = static_cast<LayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    // Anchored to every edge, the surface is as large as the output; a
    // compositor that leaves the size to us gets the output's.
    int ow = 0, oh = 0;
    self->output.LogicalSize(&ow, &oh);
    const int width = w > 0 ? int(std::min<uint32_t>(w, kMaxEdge)) : ow;
    const int height = h > 0 ? int(std::min<uint32_t>(h, kMaxEdge)) : oh;
    self->pendingWidth = std::max(1, std::min(width, kMaxEdge / self->scale));
    self->pendingHeight = std::max(1, std::min(height, kMaxEdge / self->scale));
    self->configuredOnce = true;
}

void LayerSurface::Close(void* data, zwlr_layer_surface_v1*) {
    static_cast<LayerSurface*>(data)->closed = true;
}

void LayerSurface::FrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* self = static_cast<LayerSurface*>(data);
    wl_callback_destroy(callback);
    self->frameCallback = nullptr;
    self->framePending = false;
}

void LayerSurface::SetOpaque() {
    wl_region* region = wl_compositor_create_region(display.Compositor());
    wl_region_add(region, 0, 0, width, height);
    wl_surface_set_opaque_region(surface, region);
    wl_region_destroy(region);
}

bool LayerSurface::PrepareGL() {
    if (!Configured()) {
        lastError = "the compositor never sized the surface";
        return false;
    }
    width = pendingWidth;
    height = pendingHeight;
    window = wl_egl_window_create(surface, PixelWidth(), PixelHeight());
    if (window == nullptr) {
        lastError = "cannot make an EGL window";
        return false;
    }
    EGLDisplay dpy = egl.Display();
    eglSurface = eglCreateWindowSurface(dpy, egl.Config(),
                                        reinterpret_cast<EGLNativeWindowType>(window), nullptr);
    if (eglSurface == EGL_NO_SURFACE) {
        eglSurface = nullptr;
        lastError = "cannot make an EGL surface";
        return false;
    }
    context = egl.CreateContext();
    if (context == nullptr) {
        lastError = egl.error();
        return false;
    }
    if (!MakeCurrent()) {
        lastError = "cannot make the EGL context current";
        return false;
    }
    // Presenting must never wait for the compositor (see the class).
    eglSwapInterval(dpy, 0);
    SetOpaque();
    return true;
}

bool LayerSurface::TakeResize() {
    if (window == nullptr || (pendingWidth == width && pendingHeight == height)) {
        return false;
    }
    width = pendingWidth;
    height = pendingHeight;
    wl_egl_window_resize(window, PixelWidth(), PixelHeight(), 0, 0);
    SetOpaque();
    return true;
}

bool LayerSurface::MakeCurrent() {
    return eglSurface != nullptr && context != nullptr &&
           eglMakeCurrent(egl.Display(), eglSurface, eglSurface, context) == EGL_TRUE;
}

void LayerSurface::Swap() {
    if (eglSurface == nullptr || closed) {
        return;
    }
    // The frame callback asked for here rides on the commit the swap makes.
    if (frameCallback == nullptr) {
        static const wl_callback_listener listener = {FrameDone};
        frameCallback = wl_surface_frame(surface);
        wl_callback_add_listener(frameCallback, &listener, this);
    }
    framePending = true;
    eglSwapBuffers(egl.Display(), eglSurface);
}
