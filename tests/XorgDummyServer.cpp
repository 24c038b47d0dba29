#include "XorgDummyServer.h"

#include "RunTool.h"

#include <X11/Xutil.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    const std::string fd = std::to_string(fds[1]);
    const std::string config = folder + "/xorg.conf", log = folder + "/Xorg.log";
    server = fork();
    if (server == 0) {
        close(fds[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("Xorg", "Xorg", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-config",
               config.c_str(), "-configdir", snippets.c_str(), "-logfile", log.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (server > 0 && poll(&p, 1, 20000) == 1) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        reason = "Xorg did not start for this user";
        return;
    }
    displayName = ":" + number;
    display = XOpenDisplay(displayName.c_str());
    if (display != nullptr && !Arrange(width, height)) {
        XCloseDisplay(display);
        display = nullptr;
        reason = "the dummy driver did not give two monitors";
    }
}

// DUMMY0 and DUMMY1 side by side, both of one new mode. The plain query at
// the end makes the server poll its outputs, so clients see both.
bool XorgDummyServer::Arrange(int width, int height) {
    const std::string mode = std::to_string(width) + "x" + std::to_string(height) + "_test";
    const std::string xrandr = "DISPLAY=" + displayName + " xrandr ";
    // A mode line at 60 Hz with small blanking; the dummy driver shows any.
    const int htotal = width + 80, vtotal = height + 10;
    const std::string modeline = std::to_string(htotal * vtotal * 60 / 1000000.0) + " " +
                                 std::to_string(width) + " " + std::to_string(width + 16) + " " +
                                 std::to_string(width + 48) + " " + std::to_string(htotal) + " " +
                                 std::to_string(height) + " " + std::to_string(height + 3) + " " +
                                 std::to_string(height + 6) + " " + std::to_string(vtotal);
    const bool ok =
        RunTool(xrandr + "--newmode " + mode + " " + modeline + " >/dev/null 2>&1").status == 0 &&
        RunTool(xrandr + "--addmode DUMMY0 " + mode + " 2>/dev/null").status == 0 &&
        RunTool(xrandr + "--addmode DUMMY1 " + mode + " 2>/dev/null").status == 0 &&
        RunTool(xrandr + "--output DUMMY0 --mode " + mode + " --pos 0x0 --primary 2>/dev/null")
                .status == 0 &&
        RunTool(xrandr + "--output DUMMY1 --mode " + mode + " --right-of DUMMY0 2>/dev/null")
                .status == 0 &&
        RunTool(xrandr + "--fb " + std::to_string(2 * width) + "x" + std::to_string(height) +
                " 2>/dev/null")
                .status == 0 &&
        RunTool(xrandr + ">/dev/null 2>&1").status == 0;
    screenWidth = 2 * width;
    screenHeight = height;
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes root;
    return ok && XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
           root.width == screenWidth && root.height == screenHeight;
}

XorgDummyServer::~XorgDummyServer() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    if (!folder.empty()) {
        RunTool("rm -rf '" + folder + "'");
    }
}

void XorgDummyServer::PaintMonitors(RGBA left, RGBA right) {
    const Window root = DefaultRootWindow(display);
    const Pixmap picture = XCreatePixmap(display, root, unsigned(screenWidth),
                                         unsigned(screenHeight), DefaultDepth(display, 0));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, (unsigned long)left.r << 16 | left.g << 8 | left.b);
    XFillRectangle(display, picture, gc, 0, 0, unsigned(screenWidth / 2), unsigned(screenHeight));
    XSetForeground(display, gc, (unsigned long)right.r << 16 | right.g << 8 | right.b);
    XFillRectangle(display, picture, gc, screenWidth / 2, 0, unsigned(screenWidth / 2),
                   unsigned(screenHeight));
    XFreeGC(display, gc);
    XSetWindowBackgroundPixmap(display, root, picture);
    XClearWindow(display, root);
    XFreePixmap(display, picture);
    XSync(display, False);
}

std::vector<RGBA> XorgDummyServer::Screen() const {
    std::vector<RGBA> pixels;
    XSync(display, False);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, unsigned(screenWidth),
                              unsigned(screenHeight), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return pixels;
    }
    for (int y = 0; y < screenHeight; y++) {
        for (int x = 0; x < screenWidth; x++) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(RGBA{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255});
        }
    }
    XDestroyImage(image);
    return pixels;
}
