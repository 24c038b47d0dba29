#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDOUTPUT_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDOUTPUT_H

#include <cstdint>
#include <string>

struct wl_output;
struct wl_registry;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// One monitor as the compositor describes it: where it sits in the desktop,
// its mode in pixels, its scale and transform. The compositor's values are
// taken as they come but never trusted for arithmetic: Size() and Frame()
// stay within sane bounds whatever it sends.
class WaylandOutput {
  public:
    // Binds the registry's global `name`, offered at `version`.
    WaylandOutput(wl_registry* registry, uint32_t name, uint32_t version);
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    // Asks where the output sits in the desktop and how large it is there
    // (xdg-output): compositors of the wlroots family send 0,0 as every
    // output's position in wl_output.
    void WatchLayout(zxdg_output_manager_v1* manager);

    wl_output* Output() const { return output; }
    uint32_t GlobalName() const { return globalName; }
    // The output's own name ("HEADLESS-1", "DP-2") where the compositor
    // tells it, else "output N".
    const std::string& Name() const { return name; }
    // True once the compositor has sent the output's whole description.
    bool Described() const { return described && (layout == nullptr || placed); }
    int X() const { return x; }
    int Y() const { return y; }
    int Scale() const { return scale; }
    // The current mode in pixels as the output shows it (turned for a
    // rotated output); 0 x 0 when no mode was announced.
    void PixelSize(int* width, int* height) const;
    // The mode as the output's hardware scans it out, before any turn.
    int ModeWidth() const { return modeWidth; }
    int ModeHeight() const { return modeHeight; }
    int Transform() const { return transform; }
    // The size in desktop (logical) units: pixels over the scale.
    void LogicalSize(int* width, int* height) const;

    // Set by the host: the number of the screen this output is.
    int number = -1;

  private:
    static void Geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                         const char*, const char*, int32_t transform);
    static void Mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height,
                     int32_t refresh);
    static void Done(void* data, wl_output*);
    static void ScaleEvent(void* data, wl_output*, int32_t factor);
    static void NameEvent(void* data, wl_output*, const char* name);
    static void Description(void* data, wl_output*, const char*);
    static void LogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y);
    static void LogicalSizeEvent(void* data, zxdg_output_v1*, int32_t width, int32_t height);
    static void XdgDone(void* data, zxdg_output_v1*);
    static void XdgName(void*, zxdg_output_v1*, const char*);
    static void XdgDescription(void*, zxdg_output_v1*, const char*);

    wl_output* output = nullptr;
    zxdg_output_v1* layout = nullptr;
    uint32_t globalName = 0;
    std::string name;
    bool described = false;
    bool placed = false; // xdg-output's description is complete
    int x = 0, y = 0;
    int modeWidth = 0, modeHeight = 0;
    int transform = 0;
    int scale = 1;
    int logicalWidth = 0, logicalHeight = 0; // from xdg-output; 0: not told
};

#endif
