#include "KwinServer.h"

#include "SaverFiles.h"
#include "TempDir.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Hex(RGBA c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
    return text;
}

// What KWin reads to grant a program its restricted D-Bus interfaces: the
// .desktop file whose Exec names the program's executable.
void WriteGrant(const std::string& applications, int number, const std::string& program) {
    std::ofstream entry(applications + "/tumblix-test-" + std::to_string(number) + ".desktop");
    entry << "[Desktop Entry]\nType=Application\nName=Test program " << number
          << "\nExec=" << program << "\nNoDisplay=true\n"
          << "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n";
}

} // namespace

KwinServer::KwinServer(const Layout& layout) : shape(layout) {
    if (RunTool("for p in kwin_wayland dbus-run-session swaybg; do command -v $p || exit 1; done")
            .status != 0) {
        reason = "kwin_wayland, dbus-run-session or swaybg is missing (scripts/setup installs "
                 "kwin-wayland, dbus and swaybg)";
        return;
    }
    char pattern[] = "/tmp/tumblix-kwin-XXXXXX"; // a socket's path must stay short
    if (mkdtemp(pattern) == nullptr) {
        reason = "no temporary folder";
        return;
    }
    folder = pattern;
    runtime = folder + "/run";
    std::string program = RunTool("command -v kwin_wayland").out;
    program.erase(program.find_last_not_of('\n') + 1);
    std::error_code error;
    std::filesystem::create_directories(folder + "/share/applications", error);
    std::filesystem::create_directories(folder + "/home", error);
    if (error || mkdir(runtime.c_str(), 0700) != 0 ||
        !std::filesystem::copy_file(program, folder + "/kwin_wayland", error)) {
        reason = "cannot make the compositor's folders";
        return;
    }
    if (!Start()) {
        const std::string said = session.Output(); // its last words say why
        reason += "\n" + said.substr(said.size() > 800 ? said.size() - 800 : 0);
    }
}

bool KwinServer::Start() {
    std::vector<std::string> trusted = shape.trusted;
    trusted.push_back(BuildPath("bin/tumblix-kwinshot"));
    for (size_t i = 0; i < trusted.size(); i++) {
        WriteGrant(folder + "/share/applications", int(i), trusted[i]);
    }
    // The shell tells the bus's address and becomes KWin. A fresh home
    // means a fresh service cache, which KWin builds from the data folders.
    const std::string script =
        "echo \"$DBUS_SESSION_BUS_ADDRESS\" >\"$0/bus.new\" && mv \"$0/bus.new\" \"$0/bus\" && "
        "echo $$ >\"$0/pid\" && exec \"$0/kwin_wayland\" --virtual --width \"$1\" --height "
        "\"$2\" --output-count 2 --socket wayland-0 --no-lockscreen --no-global-shortcuts "
        "--no-kactivities";
    Env kwinEnv = {{"XDG_RUNTIME_DIR", runtime},
                   {"HOME", folder + "/home"},
                   {"-XDG_CONFIG_HOME", ""},
                   {"-XDG_CACHE_HOME", ""},
                   {"-XDG_DATA_HOME", ""},
                   {"XDG_DATA_DIRS", folder + "/share:/usr/local/share:/usr/share"},
                   // The tests' input device, KWin's fake input, is offered
                   // only to programs it trusts, or to all with this.
                   {"KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1"},
                   {"-KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", ""},
                   {"-DISPLAY", ""},
                   {"-WAYLAND_DISPLAY", ""},
                   {"-WAYLAND_SOCKET", ""},
                   {"-DBUS_SESSION_BUS_ADDRESS", ""},
                   {"-QT_QPA_PLATFORM", ""}};
    if (shape.anyoneMayCapture) {
        kwinEnv.push_back({"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1"});
    }
    if (!session.Start({"dbus-run-session", "--", "sh", "-c", script, folder,
                        std::to_string(shape.width), std::to_string(shape.height)},
                       kwinEnv)) {
        reason = "dbus-run-session did not start";
        return false;
    }
    std::string bus;
    WaitFor(kPatience, [&] {
        bus = Contents(folder + "/bus");
        return (!bus.empty() && std::filesystem::exists(runtime + "/wayland-0")) ||
               !session.Running();
    });
    kwin = pid_t(std::atoi(Contents(folder + "/pid").c_str()));
    if (bus.empty() || kwin <= 0 || !std::filesystem::exists(runtime + "/wayland-0")) {
        reason = "KWin made no Wayland socket";
        return false;
    }
    bus.erase(bus.find_last_not_of('\n') + 1);
    clientEnv = {{"WAYLAND_DISPLAY", "wayland-0"},  {"XDG_RUNTIME_DIR", runtime},
                 {"DBUS_SESSION_BUS_ADDRESS", bus}, {"-DISPLAY", ""},
                 {"-WAYLAND_SOCKET", ""},           {"-SWAYSOCK", ""}};
    for (int i = 0; i < 2; i++) {
        std::vector<std::string> argv = {"swaybg", "-o", OutputName(i), "-c",
                                         Hex(shape.colours[i])};
        if (shape.split) { // a picture of the output's own size, shown as it is
            const std::string picture = folder + "/desktop-" + std::to_string(i) + ".png";
            saverfiles::WriteSplitPicture(picture, shape.width, shape.height, shape.colours[i],
                                          shape.lower[i]);
            argv.insert(argv.end(), {"-i", picture, "-m", "center"});
        }
        backgrounds[i].Start(argv, clientEnv);
    }
    for (int i = 0; i < 2; i++) { // swaybg paints the desktops on its own time
        Picture p;
        if (!WaitFor(kPatience, [&] {
                p = Screenshot(i);
                return p.Halves(shape.colours[i], shape.BottomOf(i)) || !session.Running();
            })) {
            p.Keep("kwin-desktop-" + OutputName(i) + "-failed");
            reason = OutputName(i) + " never showed its desktop colour";
            return false;
        }
    }
    return session.Running();
}

KwinServer::~KwinServer() {
    if (kwin > 0 && session.Running()) {
        kill(kwin, SIGTERM);
        if (!session.WaitExit(kPatience, nullptr)) {
            kill(kwin, SIGKILL);
            session.WaitExit(kPatience, nullptr);
        }
    }
    for (ChildProcess& background : backgrounds) {
        background.Signal(SIGTERM);
        background.WaitExit(kPatience, nullptr);
    }
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

ToolResult KwinServer::Run(const std::string& commandLine) const {
    return RunToolIn(clientEnv, commandLine);
}

KwinServer::Picture KwinServer::Screenshot(int output) const {
    const ToolResult r =
        Run(Quote(BuildPath("bin/tumblix-kwinshot")) + " " + OutputName(output) + " 2>/dev/null");
    return r.status == 0 ? Picture::FromPpm(r.out) : Picture{};
}

void KwinServer::Kill() {
    if (kwin > 0) {
        kill(kwin, SIGKILL);
        session.WaitExit(kPatience, nullptr);
    }
}
