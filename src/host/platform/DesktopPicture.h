#ifndef TUMBLIX_HOST_PLATFORM_DESKTOPPICTURE_H
#define TUMBLIX_HOST_PLATFORM_DESKTOPPICTURE_H

#include <string>

struct _GSettingsSchemaSource;
struct _GSettingsBackend;

// The picture file of the GNOME desktop (org.gnome.desktop.background
// picture-uri, or picture-uri-dark under the dark style), read only when
// that schema is installed. GNOME shows one picture on every screen. Empty
// when there is no such setting or it does not name a local file.
std::string GnomeDesktopPicture(int screenNumber);

// The same lookup in the given schema source and settings backend (null:
// GLib's defaults).
std::string GnomeDesktopPictureFrom(_GSettingsSchemaSource* source, _GSettingsBackend* backend);

#endif
