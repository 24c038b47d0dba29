#ifndef TUMBLIX_HOST_PLATFORM_SESSION_DESKTOPSESSION_H
#define TUMBLIX_HOST_PLATFORM_SESSION_DESKTOPSESSION_H

#include <string>

// What the settings window asks of the running session about the watcher.
namespace DesktopSession {

// Starts `program --watch` for this session, on its own (it outlives the
// window); false with the reason when it cannot start.
bool StartWatcher(const std::string& program, std::string* error);
// After how many seconds of idle GNOME blanks the screen itself
// (org.gnome.desktop.session idle-delay); 0 outside GNOME, where its
// settings are not installed, or where it never blanks.
int GnomeBlankSeconds();

} // namespace DesktopSession

#endif
