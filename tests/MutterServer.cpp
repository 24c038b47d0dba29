#include "MutterServer.h"

#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

MutterServer::MutterServer(const Layout& layout) : shape(layout) {
    if (RunTool("for p in mutter dbus-run-session xhost; do command -v $p || exit 1; done")
                .status != 0 ||
        (shape.xwayland && RunTool("command -v Xwayland").status != 0)) {
        reason = "mutter, dbus-run-session, xhost or Xwayland is missing (scripts/setup installs "
                 "mutter, dbus, x11-xserver-utils and xwayland)";
        return;
    }
    char pattern[] = "/tmp/tumblix-mutter-XXXXXX"; // a socket's path must stay short
    if (mkdtemp(pattern) == nullptr) {
        reason = "no temporary folder";
        return;
    }
    folder = pattern;
    runtime = folder + "/run";
    if (mkdir(runtime.c_str(), 0700) != 0 || mkdir((folder + "/home").c_str(), 0700) != 0) {
        reason = "cannot make the compositor's folders";
        return;
    }
    if (!Start()) {
        const std::string said = session.Output(); // its last words say why
        reason += "\n" + said.substr(said.size() > 800 ? said.size() - 800 : 0);
    }
}

bool MutterServer::Start() {
    // The outer shell tells the bus's address and becomes mutter; mutter runs
    // the inner one once it is ready, which tells the X display mutter
    // offers its clients and waits: mutter ends when it ends.
    const std::string command =
        "echo $$ >\"$0/waiter\" && printf '%s\\n%s\\n' \"$DISPLAY\" \"$XAUTHORITY\" "
        ">\"$0/x11.new\" && mv \"$0/x11.new\" \"$0/x11\" && exec sleep 100000";
    std::string script =
        "echo \"$DBUS_SESSION_BUS_ADDRESS\" >\"$0/bus\" && echo $$ >\"$0/pid\" && exec mutter "
        "--headless --wayland --wayland-display wayland-0";
    for (int i = 0; i < shape.monitors; i++) {
        script += " --virtual-monitor " + std::to_string(shape.width) + "x" +
                  std::to_string(shape.height);
    }
    script +=
        std::string(shape.xwayland ? "" : " --no-x11") + " -- sh -c " + Quote(command) + " \"$0\"";
    if (!session.Start({"dbus-run-session", "--", "sh", "-c", script, folder},
                       {{"XDG_RUNTIME_DIR", runtime},
                        {"HOME", folder + "/home"},
                        {"-XDG_CONFIG_HOME", ""},
                        {"-XDG_CACHE_HOME", ""},
                        {"-XDG_DATA_HOME", ""},
                        {"-DISPLAY", ""},
                        {"-XAUTHORITY", ""},
                        {"-WAYLAND_DISPLAY", ""},
                        {"-WAYLAND_SOCKET", ""},
                        {"-DBUS_SESSION_BUS_ADDRESS", ""}})) {
        reason = "dbus-run-session did not start";
        return false;
    }
    std::string x11;
    WaitFor(kPatience, [&] {
        x11 = Contents(folder + "/x11");
        return !x11.empty() || !session.Running();
    });
    std::string bus = Contents(folder + "/bus");
    mutter = pid_t(std::atoi(Contents(folder + "/pid").c_str()));
    waiter = pid_t(std::atoi(Contents(folder + "/waiter").c_str()));
    if (x11.empty() || bus.empty() || mutter <= 0 || waiter <= 0) {
        reason = "mutter did not start its clients";
        return false;
    }
    bus.erase(bus.find_last_not_of('\n') + 1);
    clientEnv = {{"WAYLAND_DISPLAY", "wayland-0"},
                 {"XDG_RUNTIME_DIR", runtime},
                 {"DBUS_SESSION_BUS_ADDRESS", bus},
                 {"-WAYLAND_SOCKET", ""},
                 {"-SWAYSOCK", ""}};
    std::istringstream lines(x11);
    std::string display, authority;
    std::getline(lines, display);
    std::getline(lines, authority);
    if (!shape.xwayland) {
        clientEnv.push_back({"-DISPLAY", ""});
        clientEnv.push_back({"-XAUTHORITY", ""});
        return true;
    }
    clientEnv.push_back({"DISPLAY", display});
    clientEnv.push_back({"XAUTHORITY", authority});
    // The first X client starts Xwayland; this one also lets the test's own
    // connections in without mutter's cookie.
    if (display.empty() || Run("xhost +local: >/dev/null").status != 0 || !Attach(display)) {
        reason = "mutter's Xwayland did not let the tests in";
        return false;
    }
    return true;
}

MutterServer::~MutterServer() {
    Detach(); // before Xwayland goes, which Xlib would not survive
    if (waiter > 0 && session.Running()) {
        kill(waiter, SIGTERM); // mutter ends with its command
        if (!session.WaitExit(kPatience, nullptr)) {
            kill(mutter, SIGKILL);
            session.WaitExit(kPatience, nullptr);
        }
    }
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

ToolResult MutterServer::Run(const std::string& commandLine) const {
    return RunToolIn(clientEnv, commandLine);
}

void MutterServer::Kill() {
    Detach();
    if (mutter > 0) {
        kill(mutter, SIGKILL);
        session.WaitExit(kPatience, nullptr);
    }
    if (waiter > 0) {
        kill(waiter, SIGKILL); // orphaned by the crash
        waiter = -1;
    }
}
