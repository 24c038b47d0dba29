#include "host/Diagnostics.h"
#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/wayland/ScreenCopy.h"
#include "host/platform/wayland/WaylandHost.h"
#include "host/platform/x11/DesktopCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

// One saver per Wayland session: idle daemons may start us twice. The lock
// lives in the session's runtime folder and goes with the process.
// 1: we hold it; 0: another saver does; -1: no lock could be made (then we
// run all the same rather than never).
int TakeSessionLock(int* fd) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (runtime == nullptr || runtime[0] != '/') {
        return -1;
    }
    std::string display = name != nullptr && name[0] != '\0' ? name : "wayland-0";
    // A display named by path: only its last part names the lock.
    display = display.substr(display.rfind('/') + 1);
    const std::string path = std::string(runtime) + "/tumblix-" + display + ".lock";
    *fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (*fd < 0) {
        return -1;
    }
    if (flock(*fd, LOCK_EX | LOCK_NB) == 0) {
        return 1;
    }
    const int held = errno == EWOULDBLOCK ? 0 : -1;
    close(*fd);
    *fd = -1;
    return held;
}

} // namespace

int RunWayland(const RunOptions& o) {
    int lock = -1;
    const int locked = TakeSessionLock(&lock);
    if (locked == 0) {
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
    if (lock >= 0) {
        close(lock);
    }
    return status;
}
