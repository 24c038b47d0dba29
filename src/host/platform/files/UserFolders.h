#ifndef TUMBLIX_HOST_PLATFORM_FILES_USERFOLDERS_H
#define TUMBLIX_HOST_PLATFORM_FILES_USERFOLDERS_H

#include <string>

// The user's base folders as the XDG base directory rules name them, read
// from the environment on every call (tests change it while running):
// $XDG_CONFIG_HOME or ~/.config, $XDG_DATA_HOME or ~/.local/share. An unset,
// empty or relative variable is ignored. No trailing "/" (the root folder
// is the empty text).
std::string UserConfigHome();
std::string UserDataHome();

#endif
