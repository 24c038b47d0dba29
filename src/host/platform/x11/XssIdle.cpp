#include "host/platform/x11/XssIdle.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <glib-unix.h>

#include <algorithm>
#include <sys/socket.h>

XssIdle::XssIdle() = default;

XssIdle::~XssIdle() {
    Close();
}

bool XssIdle::Connect() {
    Close();
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        lastError = std::string("cannot reach the X server ") + XDisplayName(nullptr);
        return false;
    }
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        lastError = "the X server has no MIT-SCREEN-SAVER extension to tell idle time";
        Close();
        return false;
    }
    watchId = g_unix_fd_add(ConnectionNumber(display), GIOCondition(G_IO_IN | G_IO_ERR | G_IO_HUP),
                            Readable, this);
    return true;
}

bool XssIdle::XScreenSaverRuns() const {
    if (display == nullptr) {
        return false;
    }
    const Atom version = XInternAtom(display, "_SCREENSAVER_VERSION", True);
    if (version == None) {
        return false;
    }
    // XScreenSaver names its version on a window of its own among the
    // root's children, where xscreensaver-command looks for it.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return false;
    }
    bool found = false;
    for (unsigned i = 0; i < count && !found; i++) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        found = XGetWindowProperty(display, children[i], version, 0, 64, False, XA_STRING, &type,
                                   &format, &items, &after, &data) == Success &&
                type != None;
        if (data != nullptr) {
            XFree(data);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

bool XssIdle::Arm(unsigned seconds, const Listener& l) {
    Disarm();
    if (display == nullptr) {
        lastError = "not connected to an X server";
        return false;
    }
    listener = l;
    periodMs = seconds > 4000000 ? 4000000000u : seconds * 1000u;
    idle = false;
    lastIdleMs = 0;
    Schedule(0);
    return true;
}

void XssIdle::Disarm() {
    if (timer != 0) {
        g_source_remove(timer);
        timer = 0;
    }
    listener = Listener{};
    idle = false;
}

void XssIdle::Schedule(unsigned ms) {
    if (timer != 0) {
        g_source_remove(timer);
    }
    timer = g_timeout_add(ms, Tick, this);
}

int XssIdle::Tick(void* data) {
    auto* self = static_cast<XssIdle*>(data);
    self->timer = 0;
    XScreenSaverInfo info{};
    if (!XScreenSaverQueryInfo(self->display, DefaultRootWindow(self->display), &info)) {
        self->Lost();
        return G_SOURCE_REMOVE;
    }
    const unsigned long now = info.idle;
    const unsigned long before = self->lastIdleMs;
    self->lastIdleMs = now;
    if (self->idle) {
        if (now < before) { // input came, or a program reset the server's saver
            self->idle = false;
            self->Schedule(unsigned(self->periodMs - std::min<unsigned long>(now, self->periodMs)));
            if (self->listener.active) {
                self->listener.active();
            }
        } else {
            self->Schedule(ACTIVE_POLL_MS);
        }
    } else if (now >= self->periodMs) {
        self->idle = true;
        self->Schedule(ACTIVE_POLL_MS);
        if (self->listener.idle) {
            self->listener.idle();
        }
    } else {
        // Sleep until the period would be up; input meanwhile only means a
        // longer wait next time.
        self->Schedule(unsigned(self->periodMs - now) + 10);
    }
    return G_SOURCE_REMOVE;
}

int XssIdle::Readable(int fd, GIOCondition condition, void* data) {
    auto* self = static_cast<XssIdle*>(data);
    char byte = 0;
    // The server gone: the socket reads as ended. Seen here, before Xlib's
    // own handler would end the process.
    if ((condition & (G_IO_ERR | G_IO_HUP)) != 0 ||
        recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
        self->watchId = 0;
        self->Lost();
        return G_SOURCE_REMOVE;
    }
    while (XPending(self->display) > 0) { // nothing is asked for; drop what comes
        XEvent event;
        XNextEvent(self->display, &event);
    }
    return G_SOURCE_CONTINUE;
}

void XssIdle::Lost() {
    lastError = "the X server went away";
    if (timer != 0) {
        g_source_remove(timer);
        timer = 0;
    }
    if (listener.lost) {
        listener.lost(lastError);
    }
}

void XssIdle::Close() {
    Disarm();
    if (watchId != 0) {
        g_source_remove(watchId);
        watchId = 0;
    }
    if (display != nullptr) {
        XCloseDisplay(display);
        display = nullptr;
    }
}
