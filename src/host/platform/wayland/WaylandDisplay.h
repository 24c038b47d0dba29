#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDDISPLAY_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDDISPLAY_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_compositor;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
class WaylandOutput;

// The connection to the compositor and the globals the saver uses: the
// compositor, shared memory, the layer shell, screencopy, the first seat
// and every output. Outputs come and go while it runs; the host looks at
// Outputs() and RemovedOutputs() after each dispatch.
class WaylandDisplay {
  public:
    WaylandDisplay();
    ~WaylandDisplay();
    WaylandDisplay(const WaylandDisplay&) = delete;
    WaylandDisplay& operator=(const WaylandDisplay&) = delete;

    // Connects to $WAYLAND_DISPLAY and learns the globals and every output's
    // description. On false, error() says why and nothing stays open.
    bool Connect();
    void Disconnect();

    // Reads and dispatches what the compositor sent, waiting at most
    // timeoutMs (0: not at all). False once the connection is lost;
    // error() then says why.
    bool Dispatch(int timeoutMs);
    // Sends what is queued and waits for the compositor to answer all of
    // it. False once the connection is lost.
    bool Roundtrip();

    wl_display* Display() const { return display; }
    wl_compositor* Compositor() const { return compositor; }
    wl_shm* Shm() const { return shm; }
    wl_seat* Seat() const { return seat; }
    zwlr_layer_shell_v1* LayerShell() const { return layerShell; }
    zwlr_screencopy_manager_v1* Screencopy() const { return screencopy; }
    uint32_t ScreencopyVersion() const { return screencopyVersion; }

    const std::vector<std::unique_ptr<WaylandOutput>>& Outputs() const { return outputs; }
    // Outputs the compositor took away since the last call; the caller
    // releases what it built on them before they are destroyed.
    std::vector<std::unique_ptr<WaylandOutput>> TakeRemovedOutputs();

    const std::string& error() const { return lastError; }

  private:
    static void Global(void* data, wl_registry*, uint32_t name, const char* interface,
                       uint32_t version);
    static void GlobalRemove(void* data, wl_registry*, uint32_t name);
    bool Lost(const char* what);

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopyVersion = 0;
    zxdg_output_manager_v1* layoutManager = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    std::vector<std::unique_ptr<WaylandOutput>> removed;
    std::string lastError;
};

// True when $WAYLAND_DISPLAY names a compositor that offers overlay layer
// surfaces (zwlr_layer_shell_v1): where `tumblix` with no mode runs there.
bool WaylandOffersLayerShell();

#endif
