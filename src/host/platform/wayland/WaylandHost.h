#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDHOST_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDHOST_H

#include "host/platform/sdl/Runners.h"
#include "host/platform/wayland/SeatInput.h"
#include "host/platform/wayland/WaylandDisplay.h"
#include "host/platform/wayland/WaylandEgl.h"

#include <memory>
#include <string>
#include <vector>

class LayerSurface;
class TumblixView;
class WaylandOutput;

// The screen saver on a Wayland compositor: an overlay surface and a view
// on every output, added and taken away as outputs come and go, all driven
// on this thread every 1/35 s. The first output announced is the main one.
class WaylandHost {
  public:
    WaylandHost();
    ~WaylandHost();
    WaylandHost(const WaylandHost&) = delete;
    WaylandHost& operator=(const WaylandHost&) = delete;

    // Connects, and gives every output its surface and view: each view
    // takes its desktop capture before any surface shows. On false, error()
    // says why and nothing stays open.
    bool Open(const RunOptions& options);
    // Ticks until input, SIGTERM or SIGINT ends the saver (0), no output is
    // left (0), a view cannot set its scene up (1, once the rest end) or the
    // compositor goes away (1, error() says why).
    int Run();
    void Close();

    const std::string& error() const { return lastError; }

  private:
    struct Screen;
    bool AddOutput(WaylandOutput& output);
    bool WaitForConfigures();
    bool StartScreen(Screen& screen);
    void DropScreens(bool (*gone)(const Screen&, const WaylandDisplay&));
    void UpdateScreens();
    bool Place(const void* surface, int* x, int* y) const;
    bool WantsFrame(const Screen& screen) const;
    void Tick();

    WaylandDisplay display;
    WaylandEgl egl;
    SeatInput input;
    RunOptions options;
    std::vector<std::unique_ptr<Screen>> screens;
    int nextNumber = 0;
    int status = 0;
    std::string lastError;
};

#endif
