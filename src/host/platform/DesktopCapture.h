#ifndef TUMBLIX_HOST_PLATFORM_DESKTOPCAPTURE_H
#define TUMBLIX_HOST_PLATFORM_DESKTOPCAPTURE_H

#include "host/DesktopServices.h"

// Reads the root window of the X server that $DISPLAY names over `area`
// (clipped to the root; an empty area is the whole root), bottom row first.
// False without an X server, for an area off the root, or for a visual
// without colour masks.
bool GrabRootWindow(const NSRect& area, DesktopPixels* out);

// Connects the views to this desktop: GrabRootWindow for the capture and
// the GNOME desktop picture. Modes that show on a screen install it;
// headless runs do not, so their frames never depend on the desktop.
void InstallDesktopServices();

#endif
