// tumblix-brew preview DIR FILE...: every image lump of bottle types and
// resource containers as a PNG file, to look at without running the saver.

#include "Commands.h"

#include "assets/DataFile.h"
#include "assets/ResFile.h"
#include "assets/TGALoader.h"
#include "assets/Texture.h"
#include "maths/Misc.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

std::string lastAlert;
void KeepAlert(const char*, const char* text) {
    lastAlert = text;
}

// The decoded image is in file order, bottom row first for the usual TGA;
// the PNG shows it the way the saver puts it on screen, top row first.
bool SavePNG(const Texture& t, const std::string& path) {
    const int channels = t.bpp / 8;
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormat(0, int(t.width), int(t.height), 32, SDL_PIXELFORMAT_RGBA32);
    if (s == nullptr) {
        return false;
    }
    for (unsigned y = 0; y < t.height; y++) {
        const uint8_t* src = t.imageData + size_t(t.height - 1 - y) * t.width * channels;
        uint8_t* dst = static_cast<uint8_t*>(s->pixels) + size_t(y) * s->pitch;
        for (unsigned x = 0; x < t.width; x++) {
            dst[x * 4 + 0] = src[x * channels + 0];
            dst[x * 4 + 1] = src[x * channels + 1];
            dst[x * 4 + 2] = src[x * channels + 2];
            dst[x * 4 + 3] = 255; // the saver makes alpha by the lump's mode, not from the file
        }
    }
    const bool ok = IMG_SavePNG(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return ok;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

template <typename Reader>
int PreviewLumps(Reader& file, const std::string& dir, const std::string& base) {
    int failures = 0;
    for (size_t i = 0; i < file.lumps.size(); i++) {
        if (file.lumps[i].type != 1) {
            continue;
        }
        Texture t;
        lastAlert.clear();
        if (!file.SeekLump(int(i)) || !LoadTGA2(&t, &file.stream)) {
            std::fprintf(stderr, "tumblix-brew: %s lump %zu: %s\n", base.c_str(), i,
                         lastAlert.empty() ? "cannot be read" : lastAlert.c_str());
            file.stream.clear();
            failures++;
            continue;
        }
        const std::string out = dir + "/" + base + "-lump" + std::to_string(i) + ".png";
        if (!SavePNG(t, out)) {
            std::fprintf(stderr, "tumblix-brew: cannot write %s\n", out.c_str());
            failures++;
            continue;
        }
        std::printf("%s\n", out.c_str());
    }
    return failures;
}

} // namespace

int PreviewCommand(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[0], "--help") == 0) {
        std::fputs("Usage: tumblix-brew preview DIR FILE...\n"
                   "Writes every image lump of the files as DIR/NAME-lumpN.png.\n",
                   argc < 2 ? stderr : stdout);
        return argc < 2 ? EXIT_USAGE : EXIT_DONE;
    }
    const std::string dir = argv[0];
    mkdir(dir.c_str(), 0755);
    SetAlertPresenter(KeepAlert);
    int failures = 0;
    for (int i = 1; i < argc; i++) {
        const std::string base = BaseName(argv[i]);
        DATAFILE bottle;
        RESFILE resources;
        if (bottle.Open(argv[i])) {
            failures += PreviewLumps(bottle, dir, base);
        } else if (resources.Open(argv[i])) {
            failures += PreviewLumps(resources, dir, base);
        } else {
            std::fprintf(stderr,
                         "tumblix-brew: %s is not a bottle type or resource container that opens "
                         "(tumblix-brew inspect says why)\n",
                         argv[i]);
            failures++;
        }
    }
    SetAlertPresenter(nullptr);
    return failures == 0 ? EXIT_DONE : EXIT_FAILED;
}
