#ifndef TUMBLIX_HOST_PLATFORM_KDE_KWINSCREENSHOT_H
#define TUMBLIX_HOST_PLATFORM_KDE_KWINSCREENSHOT_H

#include "host/DesktopServices.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The picture of one output through KWin's org.kde.KWin.ScreenShot2 on the
// session bus, as the desktop capture of a view: R, G, B, A, bottom row
// first. KWin grants the interface to a program whose installed .desktop
// file lists it in X-KDE-DBUS-Restricted-Interfaces and whose Exec names
// the running executable.
class KwinScreenShot {
  public:
    // How long KWin may take to answer and write the whole picture.
    static constexpr double kWaitSeconds = 3.0;

    // Takes what the output named `output` shows now, in its own pixels.
    // With `width` and `height` above 0, a picture of any other size is
    // refused. False, with *why, without KWin on the bus, when KWin refuses
    // (no permission, no such output), answers or writes too late, writes
    // less than it promised, or names a format we do not convert.
    static bool Capture(const std::string& output, int width, int height, DesktopPixels* out,
                        std::string* why);

    // Turns a picture as KWin writes it (QImage `format`, rows `stride`
    // bytes apart, top row first) into desktop pixels. False for a format we
    // do not convert, or sizes that do not fit the `size` bytes at `data`.
    static bool Convert(uint32_t format, int width, int height, int stride, const uint8_t* data,
                        size_t size, DesktopPixels* out);
};

#endif
