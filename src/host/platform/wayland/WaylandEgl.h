#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDEGL_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDEGL_H

#include <string>

struct wl_display;

// EGL on the compositor's display: desktop OpenGL (the engine draws with
// the fixed-function pipeline), opaque 8-bit colour with a depth buffer.
// Each surface makes its own context from it.
class WaylandEgl {
  public:
    WaylandEgl() = default;
    ~WaylandEgl();
    WaylandEgl(const WaylandEgl&) = delete;
    WaylandEgl& operator=(const WaylandEgl&) = delete;

    bool Open(wl_display* display);
    void Close();
    // A 2.1 compatibility context (or what the driver gives for a plain
    // desktop GL request); null on failure, with error() saying why.
    void* CreateContext();

    void* Display() const { return display; }
    void* Config() const { return config; }
    const std::string& error() const { return lastError; }

  private:
    void* display = nullptr;
    void* config = nullptr;
    std::string lastError;
};

#endif
