#ifndef TUMBLIX_TESTS_PICTUREFILES_H
#define TUMBLIX_TESTS_PICTUREFILES_H

// PNG files for the tests, written with libpng, of every colour type the
// saver may meet: grey, RGB, a palette (with or without alphas), RGBA.

#include "brewlib/ByteWriter.h"

#include <cstdint>
#include <vector>

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
