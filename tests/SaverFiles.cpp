#include "SaverFiles.h"

#include "BottleFiles.h"
#include "SceneFiles.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"
#include "scene/Settings.h"

#include <cstdlib>
#include <png.h>
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
    store->setInteger(p.idleMinutes, "IdleMinutes");
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

void WriteSplitPicture(const std::string& path, int width, int height, RGBA top, RGBA bottom) {
    pics::PngImage png{uint32_t(width), uint32_t(height), pics::PNG_RGB};
    for (int y = 0; y < height; y++) {
        const RGBA c = y < height / 2 ? top : bottom;
        for (int x = 0; x < width; x++) {
            png.rows.insert(png.rows.end(), {c.r, c.g, c.b});
        }
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

namespace pics {

brew::Bytes EncodePNG(const PngImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = image.colour == PNG_GREY   ? PNG_FORMAT_GRAY
                 : image.colour == PNG_RGBA ? PNG_FORMAT_RGBA
                                            : PNG_FORMAT_RGB;
    // A palette (and its tRNS alphas) as the colour map of a mapped image.
    std::vector<uint8_t> map;
    if (image.colour == PNG_PALETTE) {
        const bool alpha = !image.alphas.empty();
        png.format = alpha ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
        png.colormap_entries = png_uint_32(image.palette.size() / 3);
        for (size_t i = 0; i < png.colormap_entries; i++) {
            map.insert(map.end(), &image.palette[3 * i], &image.palette[3 * i + 3]);
            if (alpha) {
                map.push_back(i < image.alphas.size() ? image.alphas[i] : 255);
            }
        }
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, image.rows.data(), 0, map.data());
    brew::Bytes out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, image.rows.data(), 0, map.data())) {
        out.clear();
    }
    out.resize(size);
    return out;
}

} // namespace pics
