#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_LAYERSURFACE_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_LAYERSURFACE_H

#include "host/GLSurface.h"

#include <cstdint>
#include <string>

struct wl_callback;
struct wl_egl_window;
struct wl_surface;
struct zwlr_layer_surface_v1;
class WaylandDisplay;
class WaylandEgl;
class WaylandOutput;

// A full-output surface on the compositor's overlay layer, above every
// window and panel, taking the keyboard, with its own EGL surface and
// context. It shows nothing until its first frame is presented.
//
// Presenting never waits for the compositor: a frame is drawn only once the
// one before it was shown (ReadyForFrame), so an output that shows nothing
// (switched off, or hidden) holds up neither the others nor input.
class LayerSurface : public GLSurface {
  public:
    LayerSurface(WaylandDisplay& display, WaylandEgl& egl, const WaylandOutput& output);
    ~LayerSurface() override;
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    // Asks for the surface; the compositor answers with its size (Configured).
    bool Create();
    bool Configured() const { return configuredOnce; }
    // Once configured: the EGL window, surface and context, at the size the
    // compositor gave times the output's scale. False, with error().
    bool PrepareGL();
    // Applies a size the compositor sent since; true when the size changed.
    bool TakeResize();

    bool MakeCurrent() override;
    void Swap() override;

    bool ReadyForFrame() const { return !framePending; }
    bool Closed() const { return closed; }
    // The drawable's size in pixels.
    int PixelWidth() const { return width * scale; }
    int PixelHeight() const { return height * scale; }
    int Width() const { return width; }
    int Height() const { return height; }
    wl_surface* Surface() const { return surface; }
    const WaylandOutput& Output() const { return output; }
    const std::string& error() const { return lastError; }

  private:
    static void Configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                          uint32_t height);
    static void Close(void* data, zwlr_layer_surface_v1*);
    static void FrameDone(void* data, wl_callback* callback, uint32_t);
    void SetOpaque();

    WaylandDisplay& display;
    WaylandEgl& egl;
    const WaylandOutput& output;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wl_egl_window* window = nullptr;
    void* eglSurface = nullptr;
    void* context = nullptr;
    wl_callback* frameCallback = nullptr;
    bool configuredOnce = false;
    int width = 0, height = 0;                // desktop units, as configured
    int pendingWidth = 0, pendingHeight = 0;  // the compositor's latest size
    int scale = 1;
    bool framePending = false;
    bool closed = false;
    std::string lastError;
};

#endif
