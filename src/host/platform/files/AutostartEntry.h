#ifndef TUMBLIX_HOST_PLATFORM_FILES_AUTOSTARTENTRY_H
#define TUMBLIX_HOST_PLATFORM_FILES_AUTOSTARTENTRY_H

#include <string>

// The user's own XDG autostart entry for the watcher,
// $XDG_CONFIG_HOME/autostart/tumblix-watch.desktop: the desktop starts
// `tumblix --watch` at every login while it is there. It overrides the
// system's entry of the same name, which the package installs switched off.
namespace AutostartEntry {

std::string Path();
// Whether the user's entry is there and switched on.
bool Enabled();
// Writes the entry, running `program --watch`; false with the reason when
// it cannot be written.
bool Enable(const std::string& program, std::string* error);
// Removes the entry; true when it is gone (or never was).
bool Disable(std::string* error);
// This program's own path (what the entry runs).
std::string ThisProgram();

} // namespace AutostartEntry

#endif
