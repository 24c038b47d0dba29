#include "host/Diagnostics.h"
#include "host/platform/files/SessionLock.h"
#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/wayland/ScreenCopy.h"
#include "host/platform/wayland/WaylandHost.h"
#include "host/platform/x11/DesktopCapture.h"

#include <cstdio>
#include <cstdlib>

int RunWayland(const RunOptions& o) {
    // One saver per Wayland session: idle daemons may start us twice.
    const char* name = std::getenv("WAYLAND_DISPLAY");
    SessionLock lock;
    if (lock.Take("tumblix", name != nullptr && name[0] != '\0' ? name : "wayland-0") ==
        SessionLock::HELD_ELSEWHERE) {
        Diagnostics::Note("wayland: a saver already runs in this session");
        return 0;
    }
    // The desktop picture comes from the desktop's own settings, as on X11;
    // the capture from the compositor.
    InstallDesktopServices();
    SetDesktopGrabber(GrabWaylandOutput);
    MixerSound::Open();
    int status = 1;
    {
        WaylandHost host;
        if (host.Open(o)) {
            status = host.Run();
        } else {
            std::fprintf(stderr, "tumblix: %s\n", host.error().c_str());
        }
    }
    MixerSound::Close();
    SetDesktopGrabber(nullptr);
    return status;
}
