#ifndef TUMBLIX_HOST_PLATFORM_GTK_SETTINGSDIALOG_H
#define TUMBLIX_HOST_PLATFORM_GTK_SETTINGSDIALOG_H

#include "host/platform/sdl/Runners.h"

// tumblix --configure: the settings in a GTK window beside a live preview of
// the saver. Save writes the preference store and closes the window; Cancel,
// Escape and closing the window leave the store as it was. Returns the
// process's exit status.
int RunConfigure(const RunOptions& options);

#endif
