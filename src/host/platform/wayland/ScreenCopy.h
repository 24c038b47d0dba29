#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_SCREENCOPY_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_SCREENCOPY_H

#include "host/DesktopServices.h"

#include <cstddef>
#include <cstdint>
#include <string>

class WaylandDisplay;
class WaylandOutput;

// The picture of an output through wlr-screencopy, as the desktop capture
// of a view: R, G, B, A, bottom row first.
class ScreenCopy {
  public:
    // Copies what `output` shows now. False, with *why, when the compositor
    // has no screencopy, refuses or fails the copy, offers only formats we
    // do not read, or offers a buffer that is not the output's size.
    static bool Capture(WaylandDisplay& display, const WaylandOutput& output, DesktopPixels* out,
                        std::string* why);
    // The desktop capture of an output: screencopy where the compositor
    // offers it, else KWin's screenshot interface (KDE Plasma).
    static bool CaptureDesktop(WaylandDisplay& display, const WaylandOutput& output,
                               DesktopPixels* out, std::string* why);

    // Turns a copied buffer (wl_shm `format`, rows `stride` bytes apart, top
    // row first unless yInverted) into desktop pixels. False for a format we
    // do not read, or sizes that do not fit the `size` bytes at `data`.
    static bool Convert(uint32_t format, int width, int height, int stride, bool yInverted,
                        const uint8_t* data, size_t size, DesktopPixels* out);
    static bool Readable(uint32_t format);
};

// A desktop grabber (SetDesktopGrabber) on $WAYLAND_DISPLAY: the output
// whose desktop frame `area` overlaps (the first output for an empty area),
// over its own connection. False without a compositor, or when neither
// screencopy nor KWin gives the picture.
bool GrabWaylandOutput(const NSRect& area, DesktopPixels* out);

#endif
