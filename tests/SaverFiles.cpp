#include "SaverFiles.h"

#include "BottleFiles.h"
#include "PictureFiles.h"
#include "SceneFiles.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"
#include "scene/Settings.h"

#include <cstdlib>
#include <stdexcept>

namespace saverfiles {

void WritePreferences(const Prefs& p) {
    auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    SETTINGS s;
    DefaultSettings(&s, nullptr);
    s.BGTYPE = p.bgType;
    s.BGRES = p.bgRes;
    s.NUM_BOTTLES = p.maxBottles;
    s.DRUNKENBG = p.drunkenBG;
    s.SHOWCLOCK = p.showClock;
    s.GOODSHINE = p.goodShine;
    s.PLAYSOUND = false;
    s.BGCol = VECTOR3D(p.colour.r / 255.0f, p.colour.g / 255.0f, p.colour.b / 255.0f);
    store->setObject(SETTINGS_VERSION, "version");
    if (!WriteSettings(*store, s, p.mainMonitorOnly, s.BGPath, p.switchedOff)) {
        throw std::runtime_error("cannot write the test preferences: " + store->error());
    }
}

void WriteResources(const std::string& folder, int bottles, RGBA fallback) {
    scenefiles::WriteResources(folder);
    scenefiles::WriteBottles(folder, bottles);
    WritePlainPicture(folder + "/default-background.png", fallback);
}

void WritePlainPicture(const std::string& path, RGBA colour) {
    pics::PngImage png{8, 8, pics::PNG_RGB};
    for (int i = 0; i < 64; i++) {
        png.rows.insert(png.rows.end(), {colour.r, colour.g, colour.b});
    }
    fixtures::WriteBytes(path, pics::EncodePNG(png));
}

void UseUserFolders(const std::string& folder) {
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
}

bool Near(RGBA a, RGBA b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

} // namespace saverfiles
