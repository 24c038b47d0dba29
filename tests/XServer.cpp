#include "XServer.h"

#include <X11/Xatom.h>
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

bool XServer::Attach(const std::string& name) {
    displayName = name;
    display = XOpenDisplay(name.c_str());
    return display != nullptr;
}

void XServer::Detach() {
    if (display != nullptr) {
        XCloseDisplay(display);
        display = nullptr;
    }
}

XServer::~XServer() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
    server.Signal(SIGTERM);
    server.WaitExit(kPatience, nullptr);
}

namespace {

// The masks of the screen's TrueColor visual of a depth: the pixel layout of
// its drawables (5-6-5 at 16, 10 bits a channel at 30).
XVisualInfo VisualOfDepth(Display* display, int depth) {
    XVisualInfo info{};
    XMatchVisualInfo(display, DefaultScreen(display), depth, TrueColor, &info);
    return info;
}

int Shift(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && ((mask >> shift) & 1) == 0) {
        shift++;
    }
    return shift;
}

// A channel of 8 bits scaled to the mask's width, rounded, and back.
unsigned long ToMask(uint8_t v, unsigned long mask) {
    const unsigned long top = mask >> Shift(mask);
    return ((v * top + 127) / 255) << Shift(mask);
}
uint8_t FromMask(unsigned long pixel, unsigned long mask) {
    const unsigned long top = mask >> Shift(mask);
    return uint8_t((((pixel & mask) >> Shift(mask)) * 255 + top / 2) / top);
}

// A colour as a pixel of the TrueColor visual of a depth.
unsigned long PixelOf(Display* display, RGBA c, int depth) {
    const XVisualInfo v = VisualOfDepth(display, depth);
    return ToMask(c.r, v.red_mask) | ToMask(c.g, v.green_mask) | ToMask(c.b, v.blue_mask);
}

} // namespace

Pixmap XServer::Picture(int width, int height, const std::vector<Area>& areas) const {
    const int depth = DefaultDepth(display, DefaultScreen(display));
    const Pixmap picture =
        XCreatePixmap(display, root(), unsigned(width), unsigned(height), unsigned(depth));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, picture, gc, 0, 0, unsigned(width), unsigned(height));
    for (const Area& a : areas) {
        XSetForeground(display, gc, PixelOf(display, a.colour, depth));
        XFillRectangle(display, picture, gc, a.x, a.y, unsigned(a.width), unsigned(a.height));
    }
    XFreeGC(display, gc);
    return picture;
}

void XServer::SetRootPicture(const std::vector<Area>& areas) {
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes size;
    XGetWindowAttributes(display, root(), &size);
    const Pixmap picture = Picture(size.width, size.height, areas);
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
    const XVisualInfo v = VisualOfDepth(display, DefaultDepth(display, DefaultScreen(display)));
    XSync(display, False); // every request sent is done
    XImage* image =
        XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    for (int row = 0; image != nullptr && row < height; row++) {
        for (int column = 0; column < width; column++) {
            const unsigned long p = XGetPixel(image, column, row);
            pixels.push_back(RGBA{FromMask(p, v.red_mask), FromMask(p, v.green_mask),
                                  FromMask(p, v.blue_mask), 255});
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

void XServer::NameScreenshot(Window window, Pixmap picture) const {
    XChangeProperty(display, window, XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False),
                    XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&picture), 1);
    XSync(display, False);
}
