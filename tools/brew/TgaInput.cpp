#include "TgaInput.h"

#include <cstring>

namespace {

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

} // namespace

bool ReadTgaImage(const brew::Bytes& file, brew::Image* image, std::string* error) {
    if (file.size() < 18) {
        return Fail(error, "not a TGA image: shorter than a TGA header");
    }
    const uint8_t* h = file.data();
    const unsigned idLength = h[0];
    const unsigned colourMapType = h[1];
    const unsigned imageType = h[2];
    const uint32_t width = h[12] | (h[13] << 8);
    const uint32_t height = h[14] | (h[15] << 8);
    const unsigned bpp = h[16];
    const bool topDown = (h[17] & 0x20) != 0;
    const bool rightToLeft = (h[17] & 0x10) != 0;

    if (colourMapType != 0 || imageType == 1 || imageType == 9) {
        return Fail(error, "colour-mapped TGA images cannot be packed; save it as true colour "
                           "(24 or 32 bits)");
    }
    if (imageType != 2 && imageType != 10) {
        return Fail(error, "only true-colour TGA images (uncompressed or RLE) can be packed; "
                           "greyscale and other kinds must be saved as 24 or 32-bit colour");
    }
    if (width == 0 || height == 0) {
        return Fail(error, "the TGA image has no pixels (zero width or height)");
    }
    if (bpp != 24 && bpp != 32) {
        return Fail(error, "the TGA image must have 24 or 32 bits per pixel");
    }
    const size_t bytesPerPixel = bpp / 8;
    const size_t total = size_t(width) * height;
    size_t at = 18 + idLength;
    if (at > file.size()) {
        return Fail(error, "the TGA image ends inside its image ID");
    }
    // Never allocate more than the rest of the file could describe.
    const size_t left = file.size() - at;
    if (imageType == 2 ? total > left / bytesPerPixel
                       : total / 128 > left / (1 + bytesPerPixel) + 1) {
        return Fail(error, "the TGA image ends before all of its pixels");
    }

    std::vector<uint8_t> ordered(total * bytesPerPixel);
    if (imageType == 2) {
        std::memcpy(ordered.data(), file.data() + at, ordered.size());
    } else {
        size_t count = 0;
        while (count < total) {
            if (at >= file.size()) {
                return Fail(error, "the TGA image ends before all of its pixels");
            }
            const uint8_t packet = file[at++];
            const size_t n = (packet & 0x7f) + 1;
            if (n > total - count) {
                return Fail(error, "a run-length packet of the TGA image runs past its last pixel");
            }
            const bool run = (packet & 0x80) != 0;
            const size_t need = run ? bytesPerPixel : n * bytesPerPixel;
            if (need > file.size() - at) {
                return Fail(error, "the TGA image ends before all of its pixels");
            }
            for (size_t k = 0; k < n; k++) {
                const uint8_t* src = file.data() + at + (run ? 0 : k * bytesPerPixel);
                std::memcpy(&ordered[(count + k) * bytesPerPixel], src, bytesPerPixel);
            }
            at += need;
            count += n;
        }
    }

    brew::Image out(width, height, uint32_t(bytesPerPixel));
    for (size_t i = 0; i < total; i++) {
        const uint32_t row = uint32_t(i / width);
        const uint32_t column = uint32_t(i % width);
        const uint32_t y = topDown ? row : height - 1 - row;
        const uint32_t x = rightToLeft ? width - 1 - column : column;
        const uint8_t* src = &ordered[i * bytesPerPixel];
        uint8_t* dst = out.At(x, y);
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        if (bytesPerPixel == 4) {
            dst[3] = src[3];
        }
    }
    *image = std::move(out);
    return true;
}
