#include "XServer.h"

#include "RunTool.h"

#include <X11/Xutil.h>
#include <csignal>
#include <cstdlib>
#include <sstream>

bool XServer::Launch(std::vector<std::string> argv) {
    // The server writes its display number, on a line of its own, once it
    // accepts connections; before that it may report every number it found
    // taken.
    argv.insert(argv.begin() + 1, {"-displayfd", "1", "-noreset", "-nolisten", "tcp"});
    if (!server.Start(argv)) {
        return false;
    }
    WaitFor(kPatience, [&] {
        std::istringstream lines(server.Output());
        for (std::string line; std::getline(lines, line) && !lines.eof();) {
            if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
                displayName = ":" + line;
            }
        }
        return !displayName.empty() || !server.Running();
    });
    display = displayName.empty() ? nullptr : XOpenDisplay(displayName.c_str());
    return display != nullptr;
}

XServer::~XServer() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
    server.Signal(SIGTERM);
    server.WaitExit(kPatience, nullptr);
}

Pixmap XServer::Picture(int width, int height, const std::vector<Area>& areas, int depth) const {
    const Pixmap picture =
        XCreatePixmap(display, root(), unsigned(width), unsigned(height), unsigned(depth));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, picture, gc, 0, 0, unsigned(width), unsigned(height));
    for (const Area& a : areas) {
        XSetForeground(display, gc, (unsigned long)a.colour.r << 16 | a.colour.g << 8 | a.colour.b);
        XFillRectangle(display, picture, gc, a.x, a.y, unsigned(a.width), unsigned(a.height));
    }
    XFreeGC(display, gc);
    return picture;
}

void XServer::SetRootPicture(const std::vector<Area>& areas) {
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes size;
    XGetWindowAttributes(display, root(), &size);
    const Pixmap picture =
        Picture(size.width, size.height, areas, DefaultDepth(display, DefaultScreen(display)));
    XSetWindowBackgroundPixmap(display, root(), picture);
    XClearWindow(display, root());
    XFreePixmap(display, picture);
    XSync(display, False);
}

Window XServer::MakeWindow(int x, int y, int width, int height) {
    Window w = XCreateSimpleWindow(display, root(), x, y, width, height, 0, 0, 0);
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

std::vector<RGBA> XServer::Pixels(Window window, int width, int height, int x, int y) const {
    std::vector<RGBA> pixels;
    XSync(display, False); // every request sent is done
    XImage* image =
        XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    for (int row = 0; image != nullptr && row < height; row++) {
        for (int column = 0; column < width; column++) {
            const unsigned long p = XGetPixel(image, column, row);
            pixels.push_back(RGBA{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255});
        }
    }
    if (image != nullptr) {
        XDestroyImage(image);
    }
    return pixels;
}

RGBA XServer::PixelAt(Window window, int x, int y) const {
    const std::vector<RGBA> pixel = Pixels(window, 1, 1, x, y);
    return pixel.empty() ? RGBA{} : pixel[0];
}

bool XServer::Xdotool(const std::string& args) const {
    return RunTool("DISPLAY=" + displayName + " xdotool " + args).status == 0;
}

Window XServer::FindWindow(const std::string& title) const {
    // xdotool gives up when a window goes while it looks: then ask again.
    Window found = 0;
    WaitFor(kPatience, [&] {
        const ToolResult r =
            RunTool("DISPLAY=" + displayName + " xdotool search --onlyvisible --name " +
                    Quote("^" + title + "$") + " 2>/dev/null");
        found = Window(std::strtoul(r.out.c_str(), nullptr, 10));
        return found != 0;
    });
    return found;
}
