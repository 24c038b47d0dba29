#ifndef TUMBLIX_TESTS_MUTTERSERVER_H
#define TUMBLIX_TESTS_MUTTERSERVER_H

#include "ChildProcess.h"
#include "XServer.h"

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A private GNOME compositor: mutter on its headless backend with one or
// two virtual monitors side by side, in a D-Bus session of its own, with
// Xwayland when asked (mutter starts it on the first X client). The rig is
// then an X server of the tests too: it lets local clients in, so that
// Pixels(), FindWindow() and Xdotool() read and drive X windows there
// (mutter itself has no screenshot interface without GNOME Shell). Where it
// cannot start, ok() is false and whyNot() says why: the tests then fail,
// mutter being part of the setup.
class MutterServer : public XServer {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    struct Layout {
        int width = 320, height = 240; // of each monitor
        int monitors = 1;
        bool xwayland = true;
    };
    explicit MutterServer(const Layout& layout);
    MutterServer() : MutterServer(Layout{}) {}
    ~MutterServer();

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    const Layout& layout() const { return shape; }
    // WAYLAND_DISPLAY, XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS (mutter's
    // session bus), and DISPLAY with XAUTHORITY where Xwayland runs (else
    // none).
    const Env& env() const { return clientEnv; }
    // A shell command line run as a client of this compositor; `out` holds
    // its stderr too.
    ToolResult Run(const std::string& commandLine) const;
    // What mutter printed so far (its warnings about clients among it).
    std::string Log() const { return session.Output(); }

    // Kills the compositor as a crash would (and lets go of Xwayland first).
    void Kill();

  private:
    bool Start();
    ChildProcess session;           // dbus-run-session, whose child is mutter
    pid_t mutter = -1, waiter = -1; // mutter runs as long as its command, the waiter
    Layout shape;
    std::string folder, runtime;
    Env clientEnv;
    std::string reason;
};

#endif
