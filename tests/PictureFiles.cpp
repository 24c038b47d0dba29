#include "PictureFiles.h"

#include <algorithm>
#include <string>

namespace pics {
namespace {

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < size; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xffffffffu;
}

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
    PutBE32(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored deflate blocks.
brew::Bytes Zlib(const brew::Bytes& data) {
    brew::Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(65535, data.size() - at);
        out.push_back(at + n == data.size() ? 1 : 0);
        out.push_back(uint8_t(n));
        out.push_back(uint8_t(n >> 8));
        out.push_back(uint8_t(~n));
        out.push_back(uint8_t(~n >> 8));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
        at += n;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(out, b << 16 | a);
    return out;
}

int Channels(PngColour colour) {
    switch (colour) {
    case PNG_RGB:
        return 3;
    case PNG_RGBA:
        return 4;
    default:
        return 1;
    }
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

brew::Bytes EncodeGIF(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices,
                      const std::vector<uint8_t>& palette) {
    brew::Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    brew::ByteWriter w(out);
    w.U16(uint16_t(width));
    w.U16(uint16_t(height));
    w.U8(0xf7); // global colour table of 256 entries
    w.U8(0);    // background colour
    w.U8(0);    // aspect
    for (size_t i = 0; i < 256 * 3; i++) {
        w.U8(i < palette.size() ? palette[i] : 0);
    }
    w.U8(0x2c); // image descriptor
    w.U16(0);
    w.U16(0);
    w.U16(uint16_t(width));
    w.U16(uint16_t(height));
    w.U8(0);
    w.U8(8); // minimum code size: codes start at 9 bits

    // Every pixel a literal code; a clear code every 200 literals keeps the
    // table from growing past 9-bit codes.
    const uint32_t clear = 256, end = 257;
    brew::Bytes codes;
    uint32_t buffer = 0;
    int bits = 0;
    auto emit = [&](uint32_t code) {
        buffer |= code << bits;
        bits += 9;
        while (bits >= 8) {
            codes.push_back(uint8_t(buffer));
            buffer >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); i++) {
        if (i % 200 == 0) {
            emit(clear);
        }
        emit(indices[i]);
    }
    emit(end);
    if (bits > 0) {
        codes.push_back(uint8_t(buffer));
    }
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        w.U8(uint8_t(n));
        out.insert(out.end(), codes.begin() + long(at), codes.begin() + long(at + n));
    }
    w.U8(0);    // end of the image data
    w.U8(0x3b); // trailer
    return out;
}

} // namespace pics
