#include "host/platform/DesktopCapture.h"

#include "host/platform/DesktopPicture.h"

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

bool Convert(XImage* image, DesktopPixels* out) {
    const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
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

std::string DesktopPicture(int screenNumber) {
    return GnomeDesktopPicture(screenNumber);
}

} // namespace

bool GrabRootWindow(const NSRect& area, DesktopPixels* out) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    bool ok = XGetWindowAttributes(display, root, &attributes) != 0;
    int x0 = 0, y0 = 0, x1 = ok ? attributes.width : 0, y1 = ok ? attributes.height : 0;
    if (area.width > 0 && area.height > 0) {
        x0 = std::max(x0, int(std::max(-1e9, std::floor(area.x))));
        y0 = std::max(y0, int(std::max(-1e9, std::floor(area.y))));
        x1 = std::min(x1, int(std::min(1e9, std::ceil(area.x + area.width))));
        y1 = std::min(y1, int(std::min(1e9, std::ceil(area.y + area.height))));
    }
    ok = ok && x1 > x0 && y1 > y0;
    if (ok) {
        // A failed read must not end the program through Xlib's default
        // handler; it only fails the capture.
        XSync(display, False);
        captureError = false;
        XErrorHandler previous = XSetErrorHandler(NoteError);
        XImage* image = XGetImage(display, root, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0),
                                  AllPlanes, ZPixmap);
        XSync(display, False);
        XSetErrorHandler(previous);
        ok = image != nullptr && !captureError && Convert(image, out);
        if (image != nullptr) {
            XDestroyImage(image);
        }
    }
    XCloseDisplay(display);
    return ok;
}

void InstallDesktopServices() {
    SetDesktopGrabber(GrabRootWindow);
    SetDesktopPictureSource(DesktopPicture);
}
