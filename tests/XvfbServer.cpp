#include "XvfbServer.h"

#include <X11/Xutil.h>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

XvfbServer::XvfbServer(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    server = fork();
    if (server == 0) {
        close(fds[0]);
        // Xvfb reports every display number it finds taken; keep it quiet.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen",
               "0", screen.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (server > 0 && poll(&p, 1, 10000) == 1) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        return;
    }
    displayName = ":" + number;
    display = XOpenDisplay(displayName.c_str());
}

XvfbServer::~XvfbServer() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
}

Window XvfbServer::root() const {
    return DefaultRootWindow(display);
}

namespace {
unsigned long PixelOf(RGBA c) {
    return (unsigned long)c.r << 16 | (unsigned long)c.g << 8 | c.b;
}
} // namespace

void XvfbServer::SetRootPicture(const std::vector<Area>& areas) {
    const int screen = DefaultScreen(display);
    const int w = DisplayWidth(display, screen), h = DisplayHeight(display, screen);
    Pixmap picture = XCreatePixmap(display, root(), w, h, DefaultDepth(display, screen));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, picture, gc, 0, 0, w, h);
    for (const Area& a : areas) {
        XSetForeground(display, gc, PixelOf(a.colour));
        XFillRectangle(display, picture, gc, a.x, a.y, a.width, a.height);
    }
    XFreeGC(display, gc);
    XSetWindowBackgroundPixmap(display, root(), picture);
    XClearWindow(display, root());
    XFreePixmap(display, picture);
    XSync(display, False);
}

Window XvfbServer::MakeWindow(int x, int y, int width, int height) {
    Window w = XCreateSimpleWindow(display, root(), x, y, width, height, 0, 0, 0);
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

RGBA XvfbServer::PixelAt(Window window, int x, int y) const {
    RGBA c;
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image != nullptr) {
        const unsigned long p = XGetPixel(image, 0, 0);
        c = RGBA{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255};
        XDestroyImage(image);
    }
    return c;
}

std::vector<RGBA> XvfbServer::Pixels(Window window, int width, int height) const {
    std::vector<RGBA> pixels;
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return pixels;
    }
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(RGBA{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255});
        }
    }
    XDestroyImage(image);
    return pixels;
}
