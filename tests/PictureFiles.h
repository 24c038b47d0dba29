#ifndef TUMBLIX_TESTS_PICTUREFILES_H
#define TUMBLIX_TESTS_PICTUREFILES_H

// Picture files for the tests, encoded here so every colour type, depth and
// palette case can be made: PNG (stored, uncompressed deflate blocks) and
// GIF (LZW with a clear code often enough that every code stays 9 bits).

#include "brewlib/ByteWriter.h"

#include <cstdint>
#include <vector>

namespace pics {

enum PngColour { PNG_GREY = 0, PNG_RGB = 2, PNG_PALETTE = 3, PNG_RGBA = 6 };

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    PngColour colour = PNG_RGB;
    uint8_t bitDepth = 8;
    std::vector<uint8_t> rows;    // top row first, packed, no filter bytes
    std::vector<uint8_t> palette; // R, G, B per entry (PNG_PALETTE)
    std::vector<uint8_t> alphas;  // tRNS: alpha per palette entry (optional)
};
brew::Bytes EncodePNG(const PngImage& image);

// indices: width * height palette indices, top row first; palette: 256
// entries of R, G, B (shorter is padded with black).
brew::Bytes EncodeGIF(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices,
                      const std::vector<uint8_t>& palette);

} // namespace pics

#endif
