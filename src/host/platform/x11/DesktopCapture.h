#ifndef TUMBLIX_HOST_PLATFORM_X11_DESKTOPCAPTURE_H
#define TUMBLIX_HOST_PLATFORM_X11_DESKTOPCAPTURE_H

#include "host/DesktopServices.h"

// Reads the root window of the X server that $DISPLAY names over `area`
// (clipped to the root; an empty area is the whole root), bottom row first.
// False without an X server, for an area off the root, or for a visual
// without colour masks.
bool GrabRootWindow(const NSRect& area, DesktopPixels* out);

// The picture XScreenSaver (6 and later) took of the desktop before it
// blanked it, which it names in the _SCREENSAVER_SCREENSHOT property of the
// window it hands a screen saver, over `area` in root coordinates (clipped
// to the picture; empty: all of it), bottom row first. A picture the size of
// the screen starts at the root's origin; a smaller one (XScreenSaver takes
// one per monitor) at the window's. False when the
// window has no such property, or the pixmap it names is gone, is not on
// this screen or has a depth without a TrueColor visual. Never blocks and
// never ends the program on an X error.
bool GrabScreenshotProperty(unsigned long window, const NSRect& area, DesktopPixels* out);

// The monitors RandR reports, as screens numbered in that order: the
// primary one is 0. Empty without an X server.
std::vector<NSScreen> MonitorScreens();

// Connects the views to this desktop: the capture (the screenshot of
// `window` when a host made one, else the root window) and the desktop
// picture. Modes that show on a screen install it; headless runs do not,
// so their frames never depend on the desktop.
void InstallDesktopServices(unsigned long window = 0);

#endif
