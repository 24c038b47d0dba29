#ifndef TUMBLIX_TESTS_KWINSERVER_H
#define TUMBLIX_TESTS_KWINSERVER_H

#include "ChildProcess.h"
#include "SwayServer.h"

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A private KDE Plasma compositor: kwin_wayland on its virtual backend with
// two outputs, Virtual-0 left of Virtual-1, in a D-Bus session of its own.
// swaybg paints each output's desktop a plain colour, or two (KWin takes
// layer-shell backgrounds); KWin's own org.kde.KWin.ScreenShot2 takes the screenshots,
// through tumblix-kwinshot, which the rig grants it as an installed
// .desktop file does. Debian's kwin_wayland carries a file capability that
// an unprivileged container refuses to exec, so a plain copy of it runs.
// Where it cannot start, ok() is false and whyNot() says why: the tests then
// fail, KWin being part of the setup.
class KwinServer {
  public:
    using Env = SwayServer::Env;
    using Picture = SwayServer::Picture;
    struct Layout {
        int width = 320, height = 240; // of each output
        RGBA colours[2] = {{32, 64, 128, 255}, {128, 96, 32, 255}};
        // KWin hands its screenshots to anyone (its own test variable).
        bool anyoneMayCapture = false;
        // Programs (absolute paths) that a .desktop file in KWin's data
        // folders grants the screenshot interface, as an installed one does.
        std::vector<std::string> trusted;
        // Each desktop its colour above and its lower colour below.
        bool split = false;
        RGBA lower[2] = {{220, 200, 40, 255}, {40, 200, 200, 255}};
        RGBA BottomOf(int output) const { return split ? lower[output] : colours[output]; }
    };
    explicit KwinServer(const Layout& layout);
    KwinServer() : KwinServer(Layout{}) {}
    ~KwinServer();
    KwinServer(const KwinServer&) = delete;
    KwinServer& operator=(const KwinServer&) = delete;

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    const Layout& layout() const { return shape; }
    static std::string OutputName(int index) { return "Virtual-" + std::to_string(index); }
    // WAYLAND_DISPLAY, XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS (KWin's
    // session bus), and no X display.
    const Env& env() const { return clientEnv; }
    // A shell command line run as a client of this compositor; `out` holds
    // its stderr too.
    ToolResult Run(const std::string& commandLine) const;
    // What an output shows now, top row first, in its own pixels; empty
    // when KWin gave none.
    Picture Screenshot(int output) const;
    // What KWin printed so far.
    std::string Log() const { return session.Output(); }

    // Kills the compositor as a crash would.
    void Kill();

  private:
    bool Start();
    ChildProcess session; // dbus-run-session, whose child is KWin
    ChildProcess backgrounds[2];
    pid_t kwin = -1;
    Layout shape;
    std::string folder, runtime;
    Env clientEnv;
    std::string reason;
};

#endif
