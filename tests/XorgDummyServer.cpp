#include "XorgDummyServer.h"

#include "RunTool.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

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

XorgDummyServer::XorgDummyServer(int width, int height) {
    if (RunTool("command -v Xorg >/dev/null && test -e /usr/lib/xorg/modules/drivers/dummy_drv.so")
            .status != 0) {
        reason = "Xorg or its dummy driver (xserver-xorg-video-dummy) is not installed";
        return;
    }
    char pattern[] = "/tmp/tumblix-xorg-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        reason = "no temporary folder";
        return;
    }
    folder = pattern;
    std::ofstream(folder + "/xorg.conf") << kConfig;
    const std::string snippets = folder + "/xorg.conf.d"; // none: only ours
    mkdir(snippets.c_str(), 0700);
    const std::string config = folder + "/xorg.conf", log = folder + "/Xorg.log";
    if (!Launch({"Xorg", "-config", config, "-configdir", snippets, "-logfile", log})) {
        reason = "Xorg did not start for this user";
        return;
    }
    if (!Arrange(width, height)) {
        XCloseDisplay(display);
        display = nullptr;
        reason = "the dummy driver did not give two monitors";
    }
}

// DUMMY0 and DUMMY1 side by side, both of one new mode. The plain query at
// the end makes the server poll its outputs, so clients see both.
bool XorgDummyServer::Arrange(int width, int height) {
    const std::string mode = std::to_string(width) + "x" + std::to_string(height) + "_test";
    const std::string xrandr = "DISPLAY=" + name() + " xrandr ";
    // A mode line at 60 Hz with small blanking; the dummy driver shows any.
    const int htotal = width + 80, vtotal = height + 10;
    const std::string modeline = std::to_string(htotal * vtotal * 60 / 1000000.0) + " " +
                                 std::to_string(width) + " " + std::to_string(width + 16) + " " +
                                 std::to_string(width + 48) + " " + std::to_string(htotal) + " " +
                                 std::to_string(height) + " " + std::to_string(height + 3) + " " +
                                 std::to_string(height + 6) + " " + std::to_string(vtotal);
    for (const std::string& args :
         {"--newmode " + mode + " " + modeline, "--addmode DUMMY0 " + mode,
          "--addmode DUMMY1 " + mode, "--output DUMMY0 --mode " + mode + " --pos 0x0 --primary",
          "--output DUMMY1 --mode " + mode + " --right-of DUMMY0",
          "--fb " + std::to_string(2 * width) + "x" + std::to_string(height), std::string()}) {
        if (RunTool(xrandr + args + " >/dev/null 2>&1").status != 0) {
            return false;
        }
    }
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes root;
    return XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
           root.width == 2 * width && root.height == height;
}

XorgDummyServer::~XorgDummyServer() {
    if (!folder.empty()) {
        RunTool("rm -rf '" + folder + "'");
    }
}
