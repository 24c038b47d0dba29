#include "host/SettingsIO.h"

#include "host/platform/files/PreferenceStore.h"
#include "host/platform/files/UserFolders.h"

#include <cstring>
#include <new>
#include <optional>

const char* const MODULE_NAME = "dwTumblixSS";
const char* const SETTINGS_VERSION = "1.0";
const char* const DEFAULT_BG_PATH = "/usr/share/backgrounds/";

namespace {

enum { MAX_BOTTLES = 5 };

int16_t Low16(int64_t value) {
    return int16_t(uint16_t(uint64_t(value)));
}

// The first run and a store of another version get every default, written
// in the order of the key table.
void WriteDefaults(ScreenSaverDefaults& store, const SETTINGS& d, bool mainMonitorOnly) {
    store.setObject(SETTINGS_VERSION, "version");
    store.setBool(mainMonitorOnly, "MainMonitorOnly");
    store.setInteger(d.LBOTTLESIZE, "BottleSize");
    store.setInteger(d.NUM_BOTTLES, "MaxBottle");
    store.setBool(d.GOODSHINE, "GoodShine");
    store.setBool(d.DRUNKENBG, "DrunkenBG");
    store.setInteger(d.BGTYPE, "BGType");
    store.setInteger(d.BGRES, "BGRes");
    store.setBool(d.PLAYSOUND, "PlaySound");
    store.setObject(d.BGPath, "BGPath");
    store.setInteger(d.VOLUME, "Volume");
    store.setBool(d.SHOWCLOCK, "ShowClock");
    store.setBool(d.CLOCK12HRMODE, "Clock12Hr");
    store.setBool(d.SHOWCOUNTDOWN, "ShowCountdown");
    store.setInteger(d.thr, "CDHr");
    store.setInteger(d.tmin, "CDMin");
    store.setFloat(d.BGCol.x, "BGColR");
    store.setFloat(d.BGCol.y, "BGColG");
    store.setFloat(d.BGCol.z, "BGColB");
    store.setInteger(DEFAULT_IDLE_MINUTES, "IdleMinutes");
    store.synchronize();
}

} // namespace

void CopyPath(char* field, const char* text) {
    const size_t length = text != nullptr ? strnlen(text, SETTINGS_PATH_SIZE - 1) : 0;
    if (length > 0) {
        std::memcpy(field, text, length);
    }
    field[length] = '\0';
}

int32_t Low32(int64_t value) {
    return int32_t(uint32_t(uint64_t(value)));
}

std::string UserBottleFolder() {
    return UserDataHome() + "/" + MODULE_NAME + "/bottles/";
}

void DefaultSettings(SETTINGS* settings, bool* mainMonitorOnly) {
    if (mainMonitorOnly != nullptr) {
        *mainMonitorOnly = false;
    }
    if (settings == nullptr) {
        return;
    }
    settings->LBOTTLESIZE = 50;
    settings->NUM_BOTTLES = 5;
    settings->GOODSHINE = true;
    settings->DRUNKENBG = true;
    settings->BGTYPE = BG_CAPTURE;
    settings->BGRES = 1;
    settings->PLAYSOUND = true;
    CopyPath(settings->BGPath, DEFAULT_BG_PATH);
    settings->VOLUME = 100;
    settings->SHOWCLOCK = true;
    settings->CLOCK12HRMODE = false;
    settings->SHOWCOUNTDOWN = false;
    settings->thr = 17;
    settings->tmin = 30;
    settings->BGCol = VECTOR3D(1.0f, 1.0f, 1.0f);
}

void LoadSettings(ScreenSaverDefaults& store, const char* resourcePath, SETTINGS* settings,
                  bool* mainMonitorOnly) {
    if (settings == nullptr) {
        return;
    }
    const std::optional<std::string> version = store.stringForKey("version");
    bool mainOnly = store.boolForKey("MainMonitorOnly");

    CopyPath(settings->BottlePath, resourcePath);
    CopyPath(settings->BottlePath2, UserBottleFolder().c_str());

    const std::string selection = store.stringForKey("BottleSelection").value_or("");
    delete[] settings->bottleSelection;
    settings->selectionSize = int64_t(selection.size()) + 1;
    settings->bottleSelection = new char[selection.size() + 1];
    std::memcpy(settings->bottleSelection, selection.c_str(), selection.size() + 1);

    settings->LBOTTLESIZE = store.integerForKey("BottleSize");
    settings->NUM_BOTTLES = store.integerForKey("MaxBottle");
    settings->GOODSHINE = store.boolForKey("GoodShine");
    settings->DRUNKENBG = store.boolForKey("DrunkenBG");
    settings->BGTYPE = Low32(store.integerForKey("BGType"));
    settings->BGRES = Low32(store.integerForKey("BGRes"));
    settings->PLAYSOUND = store.boolForKey("PlaySound");
    CopyPath(settings->BGPath, store.stringForKey("BGPath").value_or("").c_str());
    settings->VOLUME = Low16(store.integerForKey("Volume"));
    settings->SHOWCLOCK = store.boolForKey("ShowClock");
    settings->CLOCK12HRMODE = store.boolForKey("Clock12Hr");
    settings->SHOWCOUNTDOWN = store.boolForKey("ShowCountdown");
    settings->thr = Low32(store.integerForKey("CDHr"));
    settings->tmin = Low32(store.integerForKey("CDMin"));
    settings->BGCol = VECTOR3D(store.floatForKey("BGColR"), store.floatForKey("BGColG"),
                               store.floatForKey("BGColB"));

    if (!version || *version != SETTINGS_VERSION) {
        DefaultSettings(settings, &mainOnly);
        WriteDefaults(store, *settings, mainOnly);
    }

    // The live-bottle array is this long: at most five, and never negative.
    if (settings->NUM_BOTTLES > MAX_BOTTLES) {
        settings->NUM_BOTTLES = MAX_BOTTLES;
    } else if (settings->NUM_BOTTLES < 0) {
        settings->NUM_BOTTLES = 0;
    }
    if (mainMonitorOnly != nullptr) {
        *mainMonitorOnly = mainOnly;
    }
}

int LoadIdleMinutes(const ScreenSaverDefaults& store) {
    // A store of another version is reset to the defaults when a view loads it.
    if (store.stringForKey("version") != SETTINGS_VERSION || !store.stringForKey("IdleMinutes")) {
        return DEFAULT_IDLE_MINUTES;
    }
    const int64_t minutes = store.integerForKey("IdleMinutes");
    return minutes < 0 ? 0 : minutes > MAX_IDLE_MINUTES ? MAX_IDLE_MINUTES : int(minutes);
}

bool WriteSettings(ScreenSaverDefaults& store, const SETTINGS& settings, bool mainMonitorOnly,
                   const std::string& bgPathTitle, const std::string& selectionText) {
    store.setBool(mainMonitorOnly, "MainMonitorOnly");
    store.setInteger(settings.LBOTTLESIZE, "BottleSize");
    store.setInteger(settings.NUM_BOTTLES, "MaxBottle");
    store.setBool(settings.GOODSHINE, "GoodShine");
    store.setBool(settings.DRUNKENBG, "DrunkenBG");
    store.setInteger(settings.BGTYPE, "BGType");
    store.setInteger(settings.BGRES, "BGRes");
    bool stored = store.setObject(bgPathTitle, "BGPath");
    store.setBool(settings.PLAYSOUND, "PlaySound");
    store.setInteger(settings.VOLUME, "Volume");
    store.setBool(settings.SHOWCLOCK, "ShowClock");
    store.setBool(settings.CLOCK12HRMODE, "Clock12Hr");
    store.setBool(settings.SHOWCOUNTDOWN, "ShowCountdown");
    store.setInteger(settings.thr, "CDHr");
    store.setInteger(settings.tmin, "CDMin");
    store.setFloat(settings.BGCol.x, "BGColR");
    store.setFloat(settings.BGCol.y, "BGColG");
    store.setFloat(settings.BGCol.z, "BGColB");
    stored = store.setObject(selectionText, "BottleSelection") && stored;
    return store.synchronize() && stored;
}
