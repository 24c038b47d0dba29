#include "XorgDummyServer.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const char* kConfig = R"(Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 32000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1600 1200
  EndSubSection
EndSection
)";

} // namespace

XorgDummyServer::XorgDummyServer(const Monitor& primary, const Monitor& other)
    : monitors{primary, other} {
    if (RunTool("command -v Xorg >/dev/null && test -e /usr/lib/xorg/modules/drivers/dummy_drv.so")
            .status != 0) {
        reason = "Xorg or its dummy driver (xserver-xorg-video-dummy) is not installed";
        return;
    }
    const std::string config = folder / "xorg.conf", log = folder / "Xorg.log";
    std::ofstream(config) << kConfig;
    const std::string snippets = folder.Subdir("xorg.conf.d"); // none: only ours
    if (!Launch({"Xorg", "-config", config, "-configdir", snippets, "-logfile", log})) {
        reason = "Xorg did not start for this user";
        return;
    }
    if (!Arrange()) {
        XCloseDisplay(display);
        display = nullptr;
        reason = "the dummy driver did not give two monitors";
    }
}

// A mode of each monitor's size and the monitors in their places. The plain
// query at the end makes the server poll its outputs, so clients see both.
bool XorgDummyServer::Arrange() {
    const std::string xrandr = "DISPLAY=" + name() + " xrandr ";
    std::vector<std::string> steps;
    int screenWidth = 0, screenHeight = 0;
    for (int i = 0; i < 2; i++) {
        const Monitor& m = monitors[i];
        const std::string mode = std::to_string(m.width) + "x" + std::to_string(m.height) + "_test";
        // A mode line at 60 Hz with small blanking; the dummy driver shows any.
        const int htotal = m.width + 80, vtotal = m.height + 10;
        std::ostringstream modeline;
        modeline << htotal * vtotal * 60 / 1e6 << " " << m.width << " " << m.width + 16 << " "
                 << m.width + 48 << " " << htotal << " " << m.height << " " << m.height + 3 << " "
                 << m.height + 6 << " " << vtotal;
        const std::string output = "DUMMY" + std::to_string(i);
        if (i == 0 || m.width != monitors[0].width || m.height != monitors[0].height) {
            steps.push_back("--newmode " + mode + " " + modeline.str());
        }
        steps.push_back("--addmode " + output + " " + mode);
        steps.push_back("--output " + output + " --mode " + mode + " --pos " + std::to_string(m.x) +
                        "x" + std::to_string(m.y) + (i == 0 ? " --primary" : ""));
        screenWidth = std::max(screenWidth, m.x + m.width);
        screenHeight = std::max(screenHeight, m.y + m.height);
    }
    steps.push_back("--fb " + std::to_string(screenWidth) + "x" + std::to_string(screenHeight));
    steps.push_back(std::string());
    for (const std::string& args : steps) {
        if (RunTool(xrandr + args + " >/dev/null 2>&1").status != 0) {
            return false;
        }
    }
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes root;
    return XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
           root.width == screenWidth && root.height == screenHeight;
}
