#ifndef TUMBLIX_BREWLIB_IMAGE_H
#define TUMBLIX_BREWLIB_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brew {

// A picture as the generators draw it: 8-bit RGB or RGBA, top row first.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 3; // 3 (RGB) or 4 (RGBA)
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(uint32_t w, uint32_t h, uint32_t c)
        : width(w), height(h), channels(c), pixels(size_t(w) * h * c, 0) {}
    uint8_t* At(uint32_t x, uint32_t y) { return &pixels[(size_t(y) * width + x) * channels]; }
    const uint8_t* At(uint32_t x, uint32_t y) const {
        return &pixels[(size_t(y) * width + x) * channels];
    }
};

} // namespace brew

#endif
