#include "PictureFiles.h"

#include <string>
#include <zlib.h>

namespace pics {
namespace {

void PutBE32(brew::Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(uint8_t(v >> shift));
    }
}

void Chunk(brew::Bytes& out, const char* type, const brew::Bytes& body) {
    PutBE32(out, uint32_t(body.size()));
    brew::Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBE32(out, uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

brew::Bytes Zlib(const brew::Bytes& data) {
    uLongf size = compressBound(uLong(data.size()));
    brew::Bytes out(size);
    compress(out.data(), &size, data.data(), uLong(data.size()));
    out.resize(size);
    return out;
}

int Channels(PngColour colour) {
    return colour == PNG_RGB ? 3 : colour == PNG_RGBA ? 4 : 1;
}

} // namespace

brew::Bytes EncodePNG(const PngImage& image) {
    brew::Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    brew::Bytes header;
    PutBE32(header, image.width);
    PutBE32(header, image.height);
    header.push_back(image.bitDepth);
    header.push_back(uint8_t(image.colour));
    header.push_back(0); // deflate
    header.push_back(0); // adaptive filtering
    header.push_back(0); // not interlaced
    Chunk(out, "IHDR", header);
    if (image.colour == PNG_PALETTE) {
        Chunk(out, "PLTE", image.palette);
        if (!image.alphas.empty()) {
            Chunk(out, "tRNS", image.alphas);
        }
    }
    const size_t rowBytes =
        (size_t(image.width) * size_t(Channels(image.colour)) * image.bitDepth + 7) / 8;
    brew::Bytes scanlines;
    for (uint32_t y = 0; y < image.height; y++) {
        scanlines.push_back(0); // filter: none
        const auto row = image.rows.begin() + long(y * rowBytes);
        scanlines.insert(scanlines.end(), row, row + long(rowBytes));
    }
    Chunk(out, "IDAT", Zlib(scanlines));
    Chunk(out, "IEND", {});
    return out;
}

} // namespace pics
