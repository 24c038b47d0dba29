#ifndef TUMBLIX_HOST_DESKTOPSERVICES_H
#define TUMBLIX_HOST_DESKTOPSERVICES_H

#include "host/ScreenSaverView.h"

#include <cstdint>
#include <string>
#include <vector>

// What a view may ask of the desktop it runs on: the screens, what they
// show, and the desktop's own picture. The platform layer connects these;
// without it there are no screens, no capture and no desktop picture, which
// is what headless runs want.

// A screen in desktop pixels (origin at the top left of the desktop, y
// down), with the number the views compare.
struct NSScreen {
    NSRect frame;
    int number = 0;
};

void SetScreens(const std::vector<NSScreen>& screens, int mainScreenNumber);
const std::vector<NSScreen>& Screens();
int MainScreenNumber();

// The first screen whose frame overlaps `frame`; when none does, the main
// screen; null when the main screen is not in the list either.
const NSScreen* ScreenForFrame(const std::vector<NSScreen>& screens, int mainScreenNumber,
                               const NSRect& frame);

// Desktop pixels: R, G, B, A per pixel, bottom row first.
struct DesktopPixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// Reads what the desktop shows over `area`; an empty area means the whole
// main screen. False when there is no desktop to read.
using DesktopGrabber = bool (*)(const NSRect& area, DesktopPixels* out);
void SetDesktopGrabber(DesktopGrabber grabber); // nullptr disconnects
DesktopGrabber CurrentDesktopGrabber();

// The picture file the desktop shows on the screen with this number and
// frame; empty when the desktop names none.
using DesktopPictureSource = std::string (*)(int screenNumber, const NSRect& screenFrame);
void SetDesktopPictureSource(DesktopPictureSource source); // nullptr disconnects
DesktopPictureSource CurrentDesktopPictureSource();

#endif
