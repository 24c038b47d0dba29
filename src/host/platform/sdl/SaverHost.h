#ifndef TUMBLIX_HOST_PLATFORM_SDL_SAVERHOST_H
#define TUMBLIX_HOST_PLATFORM_SDL_SAVERHOST_H

#include "host/DesktopServices.h"
#include "host/platform/sdl/InputWatch.h"
#include "host/platform/sdl/Runners.h"

#include <memory>
#include <string>
#include <vector>

class GLWindow;
class TumblixView;

// The screen saver's own host: one window, OpenGL context and view per
// display, all driven on this thread. Display 0 is the main screen.
class SaverHost {
  public:
    struct Display {
        NSRect frame;        // desktop pixels, y down
        int sdlDisplay = -1; // full screen on this SDL display; -1: a plain window over frame
    };

    SaverHost();
    ~SaverHost();
    SaverHost(const SaverHost&) = delete;
    SaverHost& operator=(const SaverHost&) = delete;

    // Opens every window hidden and creates every view, so each view takes
    // its desktop capture before any of them shows. On false, error() says
    // why and nothing stays open.
    bool Open(const std::vector<Display>& displays, const RunOptions& options);
    // Shows the windows and starts every view (each clears to black, but
    // only a view whose screen stays off shows it: the others show the
    // desktop until their first frame).
    void Start();
    // One tick of every animating view, in display order, never overlapping.
    void Tick();
    // Handles what is waiting in the event queue; true when the person at
    // the screen asked the saver to go (see InputWatch).
    bool HandleEvents();
    // Start, then a tick every 1/35 s until input or SIGTERM/SIGINT asks to
    // end. 0, or 1 when a view could not set its scene up.
    int Run();
    // Stops every view and tears it down with its context current, then
    // closes the windows. Safe to repeat.
    void Close();

    // Asked every tick: while it says the monitors are off no view draws.
    bool (*monitorsOff)() = nullptr;
    // Asked when SDL reports a quit (its Wayland driver reports the
    // compositor's end so): where it says the display is gone, with why, Run
    // says so on stderr and ends with 1.
    bool (*displayLost)(std::string* why) = nullptr;

    size_t Count() const { return views.size(); }
    TumblixView& View(size_t i) { return *views[i]; }
    GLWindow& Window(size_t i) { return *windows[i]; }
    const std::string& error() const { return lastError; }

  private:
    void ReportSetupErrors();

    std::vector<std::unique_ptr<GLWindow>> windows;
    std::vector<std::unique_ptr<TumblixView>> views;
    std::vector<bool> reported;
    InputWatch input;
    bool startedVideo = false;
    bool hidCursor = false;
    int status = 0;
    std::string lastError;
};

// Every display SDL knows, each to be covered by a full-screen view.
std::vector<SaverHost::Display> SDLDisplays();
// The screens of a display list, numbered in its order (the main one is 0).
std::vector<NSScreen> ScreensOf(const std::vector<SaverHost::Display>& displays);

// Sleeps until the tick after the one due at *next, which it then becomes;
// after a stall of more than a second the ticks start afresh.
void WaitForNextTick(double* next, double interval);

#endif
