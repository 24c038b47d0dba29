// The preference file as the settings loader reads it, then written back and
// read again: whatever was loaded and saved must come back unchanged.
#include "FuzzInput.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"

#include <cstring>
#include <fstream>

using fuzzinput::Check;

namespace {

struct Record {
    SETTINGS s;
    bool mainOnly = false;
    ~Record() { delete[] s.bottleSelection; }
};

std::unique_ptr<ScreenSaverDefaults> Store() {
    std::unique_ptr<ScreenSaverDefaults> store =
        ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    Check(store != nullptr, "the store opens");
    return store;
}

void Load(Record& r) {
    LoadSettings(*Store(), "/res/", &r.s, &r.mainOnly);
    Check(r.s.NUM_BOTTLES >= 0 && r.s.NUM_BOTTLES <= 5, "bottle count within 0 to 5");
    Check(r.s.bottleSelection != nullptr &&
              int64_t(std::strlen(r.s.bottleSelection)) + 1 == r.s.selectionSize,
          "selection size");
    Check(strnlen(r.s.BGPath, SETTINGS_PATH_SIZE) < SETTINGS_PATH_SIZE, "BGPath terminated");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", fuzzinput::Folder().c_str(), 1);
    setenv("XDG_DATA_HOME", fuzzinput::Folder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzzinput::Folder() + "/dwTumblixSS";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored); // damaged files kept aside last run
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/preferences.ini", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    Record first;
    Load(first);
    if (!WriteSettings(*Store(), first.s, first.mainOnly, first.s.BGPath,
                       first.s.bottleSelection)) {
        return 0; // a text cut inside a character cannot be stored
    }
    Record again;
    Load(again);
    const SETTINGS &a = first.s, &b = again.s;
    Check(first.mainOnly == again.mainOnly && a.PLAYSOUND == b.PLAYSOUND &&
              a.NUM_BOTTLES == b.NUM_BOTTLES && a.LBOTTLESIZE == b.LBOTTLESIZE &&
              a.GOODSHINE == b.GOODSHINE && a.DRUNKENBG == b.DRUNKENBG &&
              a.SHOWCLOCK == b.SHOWCLOCK && a.CLOCK12HRMODE == b.CLOCK12HRMODE &&
              a.SHOWCOUNTDOWN == b.SHOWCOUNTDOWN && a.thr == b.thr && a.tmin == b.tmin &&
              a.BGTYPE == b.BGTYPE && a.BGRES == b.BGRES && a.VOLUME == b.VOLUME,
          "numbers and flags come back");
    Check(std::memcmp(&a.BGCol, &b.BGCol, sizeof a.BGCol) == 0, "colour comes back exactly");
    Check(std::strcmp(a.BGPath, b.BGPath) == 0, "BGPath comes back");
    Check(std::strcmp(a.bottleSelection, b.bottleSelection) == 0, "selection comes back");
    return 0;
}
