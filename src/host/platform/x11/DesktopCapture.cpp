#include "host/platform/x11/DesktopCapture.h"

#include "host/platform/files/DesktopPicture.h"
#include "host/platform/x11/XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool captureError = false;
int NoteError(Display*, XErrorEvent*) {
    captureError = true;
    return 0;
}

struct Channel {
    unsigned long mask = 0;
    int shift = 0;
    unsigned long maximum = 0;

    explicit Channel(unsigned long m) : mask(m) {
        if (mask == 0) {
            return;
        }
        while (((mask >> shift) & 1) == 0) {
            shift++;
        }
        maximum = mask >> shift;
    }
    uint8_t Of(unsigned long pixel) const {
        const unsigned long v = (pixel & mask) >> shift;
        return maximum == 255 ? uint8_t(v) : uint8_t((v * 255 + maximum / 2) / maximum);
    }
};

// Turns an image of a TrueColor drawable into RGBA, bottom row first. The
// masks come from the drawable's visual: an image of a pixmap has none.
bool Convert(XImage* image, const Visual* visual, DesktopPixels* out) {
    const Channel red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    if (red.mask == 0 || green.mask == 0 || blue.mask == 0) {
        return false; // a palette visual: no colours without the colour map
    }
    const int w = image->width, h = image->height;
    out->width = w;
    out->height = h;
    out->rgba.assign(size_t(w) * size_t(h) * 4, 255);
    const uint32_t one = 1;
    const bool hostOrder =
        (*reinterpret_cast<const uint8_t*>(&one) == 1) == (image->byte_order == LSBFirst);
    const bool direct = image->bits_per_pixel == 32 && hostOrder;
    for (int y = 0; y < h; y++) {
        uint8_t* row = &out->rgba[size_t(h - 1 - y) * size_t(w) * 4];
        const char* source = image->data + size_t(y) * size_t(image->bytes_per_line);
        for (int x = 0; x < w; x++) {
            unsigned long pixel;
            if (direct) {
                uint32_t v;
                std::memcpy(&v, source + size_t(x) * 4, 4);
                pixel = v;
            } else {
                pixel = XGetPixel(image, x, y);
            }
            row[x * 4] = red.Of(pixel);
            row[x * 4 + 1] = green.Of(pixel);
            row[x * 4 + 2] = blue.Of(pixel);
        }
    }
    return true;
}

// Xlib's default handler ends the program on any error; a read of the
// desktop only fails instead. Installed for one connection's requests,
// which XSync flushes before and after.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* d) : display(d) {
        XSync(display, False);
        captureError = false;
        previous = XSetErrorHandler(NoteError);
    }
    ~ErrorTrap() {
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    bool Failed() {
        XSync(display, False);
        return captureError;
    }

  private:
    Display* display;
    XErrorHandler previous;
};

// The pixels of `area` (clipped to the drawable's width x height) from a
// drawable of the given visual.
bool ReadDrawable(Display* display, Drawable drawable, int width, int height, const Visual* visual,
                  const NSRect& area, DesktopPixels* out) {
    int x0 = 0, y0 = 0, x1 = width, y1 = height;
    if (area.width > 0 && area.height > 0) {
        x0 = std::max(x0, int(std::max(-1e9, std::floor(area.x))));
        y0 = std::max(y0, int(std::max(-1e9, std::floor(area.y))));
        x1 = std::min(x1, int(std::min(1e9, std::ceil(area.x + area.width))));
        y1 = std::min(y1, int(std::min(1e9, std::ceil(area.y + area.height))));
    }
    if (x1 <= x0 || y1 <= y0) {
        return false;
    }
    ErrorTrap trap(display);
    XImage* image = XGetImage(display, drawable, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0),
                              AllPlanes, ZPixmap);
    const bool ok = image != nullptr && !trap.Failed() && Convert(image, visual, out);
    if (image != nullptr) {
        XDestroyImage(image);
    }
    return ok;
}

// A TrueColor visual of the screen with this depth: the default one when it
// has that depth.
const Visual* VisualOfDepth(Display* display, int depth) {
    const int screen = DefaultScreen(display);
    if (DefaultDepth(display, screen) == depth) {
        return DefaultVisual(display, screen);
    }
    XVisualInfo info;
    if (XMatchVisualInfo(display, screen, depth, TrueColor, &info) != 0) {
        return info.visual;
    }
    return nullptr;
}

// The pixmap a window's _SCREENSAVER_SCREENSHOT property names; None when
// it has no such property of the right type.
Pixmap ScreenshotPixmap(Display* display, Window window) {
    const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", True);
    if (property == None) {
        return None; // no client ever named it: nobody took a picture
    }
    ErrorTrap trap(display); // the window may be gone
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type, &format,
                           &count, &after, &data) == Success &&
        !trap.Failed() && type == XA_PIXMAP && format == 32 && count == 1 && data != nullptr) {
        pixmap = Pixmap(reinterpret_cast<unsigned long*>(data)[0]);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return pixmap;
}

// The window a host made for us, whose screenshot property is read first.
unsigned long screenshotWindow = 0;

bool GrabDesktop(const NSRect& area, DesktopPixels* out) {
    return GrabScreenshotProperty(screenshotWindow, area, out) || GrabRootWindow(area, out);
}

} // namespace

bool GrabRootWindow(const NSRect& area, DesktopPixels* out) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    bool ok = false;
    {
        ErrorTrap trap(display);
        ok = XGetWindowAttributes(display, root, &attributes) != 0 && !trap.Failed();
    }
    ok = ok && ReadDrawable(display, root, attributes.width, attributes.height, attributes.visual,
                            area, out);
    XCloseDisplay(display);
    return ok;
}

bool GrabScreenshotProperty(unsigned long window, const NSRect& area, DesktopPixels* out) {
    if (window == 0) {
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    bool ok = false;
    const Pixmap pixmap = ScreenshotPixmap(display, window);
    if (pixmap != None) {
        // The pixmap may have been freed since, or the id may name something
        // else by now: its geometry is asked with errors trapped.
        Window root = None;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        bool known = false;
        {
            ErrorTrap trap(display);
            known = XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border,
                                 &depth) != 0 &&
                    !trap.Failed();
        }
        // A screen's picture; anything far larger is not one, and would
        // cost gigabytes to read.
        known = known && width <= 32768 && height <= 32768 && width * height <= (1u << 27);
        const Visual* visual = known ? VisualOfDepth(display, int(depth)) : nullptr;
        // With several monitors XScreenSaver keeps one picture per monitor,
        // of the monitor its window covers: it starts where our window does.
        NSRect part = area;
        if (visual != nullptr && root == DefaultRootWindow(display) &&
            (int(width) != DisplayWidth(display, DefaultScreen(display)) ||
             int(height) != DisplayHeight(display, DefaultScreen(display)))) {
            ErrorTrap trap(display);
            int originX = 0, originY = 0;
            Window child = None;
            if (XTranslateCoordinates(display, window, root, 0, 0, &originX, &originY, &child) ==
                    0 ||
                trap.Failed()) {
                visual = nullptr;
            }
            part.x -= originX;
            part.y -= originY;
        }
        ok = visual != nullptr && root == DefaultRootWindow(display) &&
             ReadDrawable(display, pixmap, int(width), int(height), visual, part, out);
    }
    XCloseDisplay(display);
    return ok;
}

std::vector<NSScreen> MonitorScreens() {
    std::vector<NSScreen> screens;
    for (const XMonitor& m : XMonitors()) {
        NSScreen s;
        s.frame = m.frame;
        s.number = int(screens.size());
        screens.push_back(s);
    }
    return screens;
}

void InstallDesktopServices(unsigned long window) {
    screenshotWindow = window;
    SetDesktopGrabber(GrabDesktop);
    SetDesktopPictureSource(CurrentDesktopPicture);
}
