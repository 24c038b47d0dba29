#include "host/Diagnostics.h"
#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/sdl/SaverHost.h"
#include "host/platform/wayland/ScreenCopy.h"
#include "host/platform/wayland/WaylandDisplay.h"
#include "host/platform/x11/DesktopCapture.h"
#include "host/platform/x11/XWindows.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

// In a Wayland session whose compositor offers no overlay surfaces (GNOME),
// the full-screen windows open on X11 through XWayland where the session
// has it, else on SDL's Wayland driver; either way the desktop is the
// compositor's to give, never XWayland's root window, which reads black.
bool ChooseWaylandSessionDriver() {
    if (!Set("WAYLAND_DISPLAY")) {
        return false;
    }
    std::string how;
    if (Set("SDL_VIDEODRIVER")) {
        how = std::string("on SDL's ") + std::getenv("SDL_VIDEODRIVER") + " driver, as asked";
    } else if (Set("DISPLAY")) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        how = "on X11 through XWayland";
    } else {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
        how = "on SDL's Wayland driver";
    }
    // Full-screen windows want no decorations, and libdecor's fallback
    // gives mutter a window geometry before the first buffer, which mutter
    // warns will end the client in future versions.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    Diagnostics::Note("the Wayland compositor offers no overlay surfaces: running full screen " +
                      how);
    return true;
}

// SDL's Wayland driver tells of a compositor gone only as a quit: asked
// then, it is gone when it takes no new connection.
bool CompositorGone(std::string* why) {
    WaylandDisplay display;
    if (display.Connect()) {
        return false;
    }
    *why = "the Wayland compositor went away";
    return true;
}

} // namespace

int RunSaver(const RunOptions& o) {
    const bool waylandSession = ChooseWaylandSessionDriver();
    // A screen saver never holds the session awake: SDL would otherwise
    // suspend the X server's saver, reset its idle time every few seconds
    // and ask the desktop over D-Bus to inhibit idle, so the desktop's lock
    // and screen-off would never come while the bottles are up.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "tumblix: cannot reach the screens: %s\n", SDL_GetError());
        return 1;
    }
    const bool onWayland = std::string(SDL_GetCurrentVideoDriver()) == "wayland";
    if (std::string(SDL_GetCurrentVideoDriver()) == "x11") {
        EndOnXServerLoss();
    }
    const std::vector<SaverHost::Display> displays = SDLDisplays();
    InstallDesktopServices();
    if (waylandSession) {
        SetDesktopGrabber(GrabWaylandOutput);
    }
    MixerSound::Open();
    int status = 1;
    {
        SaverHost host;
        host.monitorsOff = XMonitorsOff;
        if (onWayland) {
            host.displayLost = CompositorGone;
        }
        if (host.Open(displays, o)) {
            status = host.Run();
        } else {
            std::fprintf(stderr, "tumblix: %s\n", host.error().c_str());
        }
    }
    MixerSound::Close();
    SetDesktopGrabber(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return status;
}
