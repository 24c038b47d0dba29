#include "host/platform/XWindows.h"

#include <X11/Xlib.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void ForgiveXErrors(unsigned long window) {
    drawingWindow = window;
    windowGone = false;
    XSetErrorHandler(OnXError);
}

bool DrawingWindowGone() {
    return windowGone;
}
