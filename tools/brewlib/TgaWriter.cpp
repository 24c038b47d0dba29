#include "brewlib/TgaWriter.h"

#include <stdexcept>

namespace brew {

Bytes EncodeTGA(const Image& image, bool rle) {
    if (image.width == 0 || image.height == 0 || image.width > 0xffff || image.height > 0xffff ||
        (image.channels != 3 && image.channels != 4) ||
        image.pixels.size() != size_t(image.width) * image.height * image.channels) {
        throw std::invalid_argument(
            "EncodeTGA: image must be 1 to 65535 pixels a side, RGB or RGBA");
    }
    Bytes out;
    ByteWriter w(out);
    const uint8_t fixed[12] = {0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    w.Raw(fixed, sizeof fixed);
    w.U16(uint16_t(image.width));
    w.U16(uint16_t(image.height));
    w.U8(uint8_t(image.channels * 8));
    w.U8(image.channels == 4 ? 8 : 0); // alpha bits; bottom-up

    const uint32_t c = image.channels;
    auto pixelOf = [&](size_t index) {
        const uint32_t x = uint32_t(index % image.width);
        const uint32_t y = image.height - 1 - uint32_t(index / image.width);
        return image.At(x, y);
    };
    auto putPixel = [&](const uint8_t* p) {
        w.U8(p[2]);
        w.U8(p[1]);
        w.U8(p[0]);
        if (c == 4) {
            w.U8(p[3]);
        }
    };
    auto same = [&](const uint8_t* a, const uint8_t* b) {
        for (uint32_t k = 0; k < c; k++)
            if (a[k] != b[k])
                return false;
        return true;
    };

    const size_t total = size_t(image.width) * image.height;
    if (!rle) {
        for (size_t i = 0; i < total; i++) {
            putPixel(pixelOf(i));
        }
        return out;
    }
    // Packets may cross rows; each holds 1 to 128 pixels.
    size_t i = 0;
    while (i < total) {
        size_t run = 1;
        while (i + run < total && run < 128 && same(pixelOf(i), pixelOf(i + run))) {
            run++;
        }
        if (run >= 2) {
            w.U8(uint8_t(0x80 | (run - 1)));
            putPixel(pixelOf(i));
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < total && raw < 128 &&
               !(i + raw + 1 < total && same(pixelOf(i + raw), pixelOf(i + raw + 1)))) {
            raw++;
        }
        w.U8(uint8_t(raw - 1));
        for (size_t k = 0; k < raw; k++) {
            putPixel(pixelOf(i + k));
        }
        i += raw;
    }
    return out;
}

} // namespace brew
