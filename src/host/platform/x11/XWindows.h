#ifndef TUMBLIX_HOST_PLATFORM_X11_XWINDOWS_H
#define TUMBLIX_HOST_PLATFORM_X11_XWINDOWS_H

#include "host/ScreenSaverView.h"

#include <string>
#include <vector>

// X window ids as screen-saver hosts hand them over: decimal, or hex after
// "0x". False for anything else, for 0 and for values beyond 32 bits.
bool ParseWindowId(const char* text, unsigned long* id);

// The window --root draws into: $XSCREENSAVER_WINDOW when set, else the
// root window of $DISPLAY's default screen. False with a reason when there
// is none.
bool RootDrawingWindow(unsigned long* id, std::string* error);

// While drawing into a window we do not own, an X error must not end the
// program (Xlib's default handler exits); errors are reported once on
// stderr, except one that says the window is gone, which is remembered.
void ForgiveXErrors(unsigned long window);
bool DrawingWindowGone();

// From now on the X server going away (killed, or its session ended) ends
// the program at once with one line on stderr and status 1, whichever of
// our connections finds it first; Xlib's own handler says it in several.
void EndOnXServerLoss();

// The monitors of $DISPLAY's default screen as RandR reports them: each
// output that shows a picture, its name ("HDMI-1") and where it is in root
// coordinates; the primary one first. Empty without an X server or RandR.
struct XMonitor {
    std::string name;
    NSRect frame;
};
std::vector<XMonitor> XMonitors();
// The name of the first monitor whose area overlaps `frame`; empty if none.
std::string MonitorNameAt(const NSRect& frame);

// Where `window` lies on its screen, in root coordinates. False when it
// is gone or there is no X server.
bool WindowFrameOnRoot(unsigned long window, NSRect* frame);

// True while the X server's DPMS extension says the monitor is in standby,
// suspend or off. False without an X server, on a server without DPMS (Xvfb,
// Xorg's dummy driver) and with DPMS disabled: the monitor then counts as on.
// Keeps a connection of its own to $DISPLAY from the first call on.
bool XMonitorsOff();

#endif
