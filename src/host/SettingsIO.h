#ifndef TUMBLIX_HOST_SETTINGSIO_H
#define TUMBLIX_HOST_SETTINGSIO_H

#include "scene/Settings.h"

#include <cstdint>
#include <string>

class ScreenSaverDefaults;

// The module's name: its preference store and its per-user folders.
extern const char* const MODULE_NAME; // "dwTumblixSS"
// The version text a store must carry for its values to be used.
extern const char* const SETTINGS_VERSION; // "1.0"
// The folder of background pictures until the user chooses one.
extern const char* const DEFAULT_BG_PATH; // "/usr/share/backgrounds/"

// The minutes of idle after which the watcher starts the saver ("IdleMinutes";
// 0: never), and the most the settings window offers.
constexpr int DEFAULT_IDLE_MINUTES = 5;
constexpr int MAX_IDLE_MINUTES = 720;

// Copies text (null reads as empty) into one of the record's path fields,
// cut to SETTINGS_PATH_SIZE - 1 bytes and always terminated.
void CopyPath(char* field, const char* text);

// A stored integer as the record's 32-bit field holds it: its low 32 bits.
int32_t Low32(int64_t value);

// Where the user's own bottle types live (downloads go there):
// $XDG_DATA_HOME/dwTumblixSS/bottles/, with the trailing "/".
std::string UserBottleFolder();

// The default of every stored setting: the keyed fields of the record
// (BGPath included) and the main-monitor flag (when given). The folders
// BottlePath and BottlePath2 and the selection text are left alone.
void DefaultSettings(SETTINGS* settings, bool* mainMonitorOnly);

// Fills a view's record from the store. A store without version "1.0" is
// reset to the defaults (and written back); the selection text survives the
// reset. BottlePath becomes resourcePath, BottlePath2 the user's bottle
// folder, every path cut to 16383 bytes. NUM_BOTTLES is kept within 0 to 5;
// the store keeps what it says. A selection text the record still holds is
// released first.
void LoadSettings(ScreenSaverDefaults& store, const char* resourcePath, SETTINGS* settings,
                  bool* mainMonitorOnly);

// "IdleMinutes" within 0 to MAX_IDLE_MINUTES. A store without the key (one
// written before the watcher existed) reads as the default, not as 0, so
// that the saver keeps coming for people who never touched the setting.
int LoadIdleMinutes(const ScreenSaverDefaults& store);

// Writes every setting but "version" back, in the order the configuration
// dialog saves them, then synchronizes. "BGPath" comes from bgPathTitle (what
// the dialog shows), not from the record. False when the store could not be
// made durable (the store's error() says why) or a text could not be stored.
bool WriteSettings(ScreenSaverDefaults& store, const SETTINGS& settings, bool mainMonitorOnly,
                   const std::string& bgPathTitle, const std::string& selectionText);

#endif
