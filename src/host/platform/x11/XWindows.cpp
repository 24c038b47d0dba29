#include "host/platform/x11/XWindows.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

unsigned long drawingWindow = 0;
bool windowGone = false;
bool reported = false;

int OnXError(Display* display, XErrorEvent* e) {
    if ((e->error_code == BadWindow || e->error_code == BadDrawable) &&
        e->resourceid == drawingWindow) {
        windowGone = true; // the host took its window away: time to go
        return 0;
    }
    if (!reported) {
        char text[256] = {};
        XGetErrorText(display, e->error_code, text, sizeof text - 1);
        std::fprintf(stderr, "tumblix: X error (ignored): %s, request %d\n", text,
                     int(e->request_code));
        reported = true;
    }
    return 0;
}

} // namespace

bool ParseWindowId(const char* text, unsigned long* id) {
    if (text == nullptr) {
        return false;
    }
    int base = 10;
    const char* digits = text;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits += 2;
    }
    // strtoul would take signs and spaces; ids are plain digits.
    if (*digits == '\0') {
        return false;
    }
    for (const char* c = digits; *c != '\0'; c++) {
        const bool ok = base == 16 ? std::strchr("0123456789abcdefABCDEF", *c) != nullptr
                                   : (*c >= '0' && *c <= '9');
        if (!ok) {
            return false;
        }
    }
    errno = 0;
    const unsigned long long v = std::strtoull(digits, nullptr, base);
    if (errno != 0 || v == 0 || v > 0xFFFFFFFFull) {
        return false;
    }
    *id = static_cast<unsigned long>(v);
    return true;
}

bool RootDrawingWindow(unsigned long* id, std::string* error) {
    if (const char* given = std::getenv("XSCREENSAVER_WINDOW")) {
        if (ParseWindowId(given, id)) {
            return true;
        }
        *error = std::string("XSCREENSAVER_WINDOW is not a window id: ") + given;
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        *error = "cannot reach the X server (is DISPLAY set?)";
        return false;
    }
    *id = DefaultRootWindow(display);
    XCloseDisplay(display);
    return true;
}

namespace {

int OnXServerLost(Display* display) {
    std::fprintf(stderr, "tumblix: lost the X display %s\n", DisplayString(display));
    // Nothing can reach the server any more, and what runs at exit (the
    // GL driver's and SDL's clean-up) would try.
    _exit(1);
}

} // namespace

void EndOnXServerLoss() {
    XSetIOErrorHandler(OnXServerLost);
}

void ForgiveXErrors(unsigned long window) {
    drawingWindow = window;
    windowGone = false;
    XSetErrorHandler(OnXError);
}

bool DrawingWindowGone() {
    return windowGone;
}

namespace {

// Xlib's default handler would end the program on an error of a request
// below (a window that went away meanwhile); they only fail instead.
bool queryError = false;
int NoteQueryError(Display*, XErrorEvent*) {
    queryError = true;
    return 0;
}

bool Overlaps(const NSRect& a, const NSRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

} // namespace

std::vector<XMonitor> XMonitors() {
    std::vector<XMonitor> monitors;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return monitors;
    }
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase)) {
        const Window root = DefaultRootWindow(display);
        const RROutput primary = XRRGetOutputPrimary(display, root);
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        for (int i = 0; resources != nullptr && i < resources->noutput; i++) {
            XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
            if (output == nullptr) {
                continue;
            }
            XRRCrtcInfo* crtc =
                output->crtc != None ? XRRGetCrtcInfo(display, resources, output->crtc) : nullptr;
            if (crtc != nullptr && crtc->width > 0 && crtc->height > 0) {
                XMonitor m;
                m.name.assign(output->name, size_t(output->nameLen));
                m.frame.x = crtc->x;
                m.frame.y = crtc->y;
                m.frame.width = crtc->width;
                m.frame.height = crtc->height;
                const bool first = resources->outputs[i] == primary;
                monitors.insert(first ? monitors.begin() : monitors.end(), m);
            }
            if (crtc != nullptr) {
                XRRFreeCrtcInfo(crtc);
            }
            XRRFreeOutputInfo(output);
        }
        if (resources != nullptr) {
            XRRFreeScreenResources(resources);
        }
    }
    XCloseDisplay(display);
    return monitors;
}

std::string MonitorNameAt(const NSRect& frame) {
    for (const XMonitor& m : XMonitors()) {
        if (Overlaps(m.frame, frame)) {
            return m.name;
        }
    }
    return std::string();
}

bool WindowFrameOnRoot(unsigned long window, NSRect* frame) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XSync(display, False);
    queryError = false;
    XErrorHandler previous = XSetErrorHandler(NoteQueryError);
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = None;
    bool ok = XGetWindowAttributes(display, window, &attributes) != 0 &&
              XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    ok = ok && !queryError;
    if (ok) {
        frame->x = x;
        frame->y = y;
        frame->width = attributes.width;
        frame->height = attributes.height;
    }
    XCloseDisplay(display);
    return ok;
}

bool XMonitorsOff() {
    // Opened once: the saver asks every tick. A server without DPMS is not
    // asked again.
    static Display* display = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        display = XOpenDisplay(nullptr);
        int event = 0, error = 0;
        if (display != nullptr && !DPMSQueryExtension(display, &event, &error)) {
            XCloseDisplay(display);
            display = nullptr;
        }
    }
    if (display == nullptr) {
        return false;
    }
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (!DPMSInfo(display, &level, &enabled)) {
        return false;
    }
    return enabled && level != DPMSModeOn;
}
