#ifndef TUMBLIX_TESTS_REFERENCEREADERS_H
#define TUMBLIX_TESTS_REFERENCEREADERS_H

// Small readers of our file formats, for tests that check what the writers
// and generators made: a malformed file makes them return false, never crash.
// Images are decoded as the saver decodes them.

#include "TempDir.h"
#include "assets/TGALoader.h"
#include "brewlib/ContainerWriter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ref {

using Bytes = std::vector<uint8_t>;

inline uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
inline uint16_t U16(const Bytes& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
inline void PutU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        b[at + i] = uint8_t(v >> (8 * i));
    }
}
inline float F32(const Bytes& b, size_t at) {
    const uint32_t u = U32(b, at);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

struct Lump {
    uint32_t size = 0, offset = 0, type = 0, alphaMode = 0;
    Bytes Body(const Bytes& file) const {
        if (offset > file.size() || size > file.size() - offset) {
            return {};
        }
        return Bytes(file.begin() + offset, file.begin() + offset + size);
    }
};

// Directory of a bottle data file (header 76, entries 16) or a resource
// container (header 24, entries 28).
inline bool ReadDirectory(const Bytes& file, bool bottle, std::vector<Lump>* lumps) {
    const size_t header = bottle ? 76 : 24, entry = bottle ? 16 : 28;
    if (file.size() < header) {
        return false;
    }
    const uint32_t n = U32(file, bottle ? 60 : 12);
    const uint32_t dir = U32(file, bottle ? 68 : 20);
    if (dir > file.size() || n > (file.size() - dir) / entry) {
        return false;
    }
    lumps->clear();
    for (uint32_t i = 0; i < n; i++) {
        const size_t at = dir + i * entry;
        lumps->push_back({U32(file, at), U32(file, at + 4), U32(file, at + 8), U32(file, at + 12)});
    }
    return true;
}

// A TGA as the saver decodes it: pixels R, G, B (, A) in file order.
struct Tga {
    int width = 0, height = 0, channels = 0;
    Bytes pixels;
    const uint8_t* At(int x, int fileRow) const {
        return &pixels[(size_t(fileRow) * width + x) * channels];
    }
};

inline bool DecodeTga(const Bytes& b, Tga* out) {
    TempDir dir;
    if (!brew::WriteFileBytes(dir / "image.tga", b, nullptr)) {
        return false;
    }
    std::ifstream s(dir / "image.tga", std::ios::binary);
    Texture t;
    if (!LoadTGA2(&t, &s)) {
        return false;
    }
    out->width = int(t.width);
    out->height = int(t.height);
    out->channels = int(t.bpp / 8);
    out->pixels.assign(t.imageData, t.imageData + out->width * out->height * out->channels);
    return true;
}

inline bool ReadFile(const std::string& path, Bytes* out) {
    return brew::ReadFileBytes(path, out, nullptr);
}

// A fresh, empty folder that removes itself.
struct TempFolder : TempDir {
    const std::string path = TempDir::path();
};

// A program of the build, by name: beside this test program, or in the
// build folder that CTest names.
inline std::string BuildProgram(const char* name) {
    if (const char* dir = std::getenv("TUMBLIX_BUILD_DIR")) {
        return std::string(dir) + "/bin/" + name;
    }
    std::error_code ignored;
    return (std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / name).string();
}

} // namespace ref

#endif
