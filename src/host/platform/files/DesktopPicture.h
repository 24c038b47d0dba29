#ifndef TUMBLIX_HOST_PLATFORM_FILES_DESKTOPPICTURE_H
#define TUMBLIX_HOST_PLATFORM_FILES_DESKTOPPICTURE_H

#include "host/ScreenSaverView.h"

#include <string>

struct _GSettingsSchemaSource;
struct _GSettingsBackend;

// Where to look for the picture a desktop shows on one monitor.
struct DesktopPictureQuery {
    std::string desktops;   // as $XDG_CURRENT_DESKTOP: names separated by ':'
    std::string configHome; // $XDG_CONFIG_HOME, else ~/.config
    // GSettings' schemas and settings; null: GLib's own.
    _GSettingsSchemaSource* schemas = nullptr;
    _GSettingsBackend* backend = nullptr;
    int monitor = 0;         // among the screens, 0 the main one
    std::string monitorName; // its RandR output ("HDMI-1"); may be empty
};

// The picture file the desktop named by `desktops` shows on the monitor,
// read from that desktop's own settings: GNOME (and desktops built on it,
// or none named), Cinnamon and MATE through GSettings when their schemas
// are installed, Xfce from its xfce4-desktop channel file, KDE Plasma from
// its desktop's applet settings. A file:// address or an absolute path.
// Empty when the desktop names none, or names something that is not a
// regular file; a damaged or oversized settings file names none.
std::string DesktopPictureFor(const DesktopPictureQuery& query);

// The same for this session's desktop, for the screen with this number and
// frame (desktop pixels).
std::string CurrentDesktopPicture(int screenNumber, const NSRect& screenFrame);

#endif
