#ifndef TUMBLIX_TESTS_SAVERFILES_H
#define TUMBLIX_TESTS_SAVERFILES_H

#include "GLFixture.h"
#include "brewlib/ByteWriter.h"

#include <string>

// Preferences and resource folders for tests that run whole views.
namespace saverfiles {

// What the tests change; everything else keeps its default. The defaults
// here keep a frame plain: no bottles, no sway, no clock, no sound.
struct Prefs {
    bool mainMonitorOnly = false;
    int bgType = 3;
    int bgRes = 1;
    int maxBottles = 0;
    bool drunkenBG = false;
    RGBA colour = {255, 255, 255, 255}; // background kind 3
    bool showClock = false;
    bool goodShine = true;
    std::string switchedOff = ""; // bottle files left out: "name#name#...##"
    int idleMinutes = 5;          // the watcher's period
};

// Writes them into the store under $XDG_CONFIG_HOME, as the settings
// dialog would.
void WritePreferences(const Prefs& prefs);
// A resource folder: the scene container, `bottles` bottle types and a
// fallback desktop picture of one colour.
void WriteResources(const std::string& folder, int bottles, RGBA fallback);
// An 8 x 8 PNG of one colour.
void WritePlainPicture(const std::string& path, RGBA colour);
// A width x height PNG, its upper half `top` and its lower half `bottom`.
void WriteSplitPicture(const std::string& path, int width, int height, RGBA top, RGBA bottom);
// Points $XDG_CONFIG_HOME and $XDG_DATA_HOME into folder.
void UseUserFolders(const std::string& folder);
// Whether two colours differ by at most `tolerance` in every channel.
bool Near(RGBA a, RGBA b, int tolerance = 6);

} // namespace saverfiles

namespace pics {

enum PngColour { PNG_GREY = 0, PNG_RGB = 2, PNG_PALETTE = 3, PNG_RGBA = 6 };

// Eight bits a channel; a palette's indices take as few bits as its size
// allows.
struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    PngColour colour = PNG_RGB;
    std::vector<uint8_t> rows = {};    // top row first, packed, no filter bytes
    std::vector<uint8_t> palette = {}; // R, G, B per entry (PNG_PALETTE)
    std::vector<uint8_t> alphas = {};  // tRNS: alpha per palette entry (optional)
};
brew::Bytes EncodePNG(const PngImage& image);

} // namespace pics

#endif
