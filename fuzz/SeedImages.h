#ifndef TUMBLIX_FUZZ_SEEDIMAGES_H
#define TUMBLIX_FUZZ_SEEDIMAGES_H

// Small images and file writing for the seed programs.

#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "brewlib/TgaWriter.h"

#include <cstdio>
#include <string>

namespace seeds {

// Stripes and a flat area, so the run-length writer makes runs and raw packets.
inline brew::Image Picture(uint32_t w, uint32_t h, uint32_t channels) {
    brew::Image image(w, h, channels);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = image.At(x, y);
            const bool flat = x < w / 2;
            for (uint32_t c = 0; c < channels; c++) {
                p[c] = flat ? uint8_t(40 * c) : uint8_t(x * 7 + y * 13 + c);
            }
        }
    }
    return image;
}

// A picture a few megabytes large once encoded: the fuzzers run with inputs
// of up to 4 MB, and the decoders must be seen at the sizes files reach.
inline brew::Image LargePicture() {
    return Picture(1024, 768, 4);
}

inline brew::Lump ImageLump(const brew::Image& image, bool rle, uint32_t alphaMode) {
    brew::Lump lump;
    lump.body = brew::EncodeTGA(image, rle);
    lump.type = brew::LUMP_TGA;
    lump.alphaMode = alphaMode;
    return lump;
}

inline brew::Lump OtherLump(size_t size) {
    brew::Lump lump;
    for (size_t i = 0; i < size; i++) {
        lump.body.push_back(uint8_t(i * 31));
    }
    return lump;
}

inline bool Write(const std::string& folder, const std::string& name, const brew::Bytes& bytes) {
    std::string error;
    if (!brew::WriteFileBytes(folder + "/" + name, bytes, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace seeds

#endif
