#include "assets/TGALoader.h"

#include "maths/Misc.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The first 12 bytes of the two kinds of TGA we read: no image ID, no colour
// map, origin 0; image type 2 (uncompressed) or 10 (run-length encoded).
const unsigned char uTGAcompare[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const unsigned char cTGAcompare[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

bool Alert(const char* text, const char* title = "ERROR") {
    MessageBox(nullptr, text, title, 0);
    return false;
}

void ReleasePixels(Texture* texture) {
    std::free(texture->imageData);
    texture->imageData = nullptr;
}

bool ReadBytes(std::ifstream* s, unsigned char* into, uint64_t count) {
    return bool(s->read(reinterpret_cast<char*>(into), std::streamsize(count)));
}

// Bytes between the stream's position and its end; 0 when that cannot be told.
uint64_t RemainingBytes(std::ifstream* s) {
    const std::streamoff here = s->tellg();
    if (here < 0) {
        return 0;
    }
    s->seekg(0, std::ios::end);
    const std::streamoff end = s->tellg();
    s->seekg(here, std::ios::beg);
    if (!*s || end < here) {
        return 0;
    }
    return uint64_t(end - here);
}

// The run-length packets of an image of `total` pixels, decoded into
// `pixels` (bytesPerPixel each), or only read through when `pixels` is null.
// Null when they fill the image, else the message the decoding ends with.
const char* DecodePackets(std::ifstream* s, uint64_t bytesPerPixel, uint64_t total,
                          GLubyte* pixels) {
    uint64_t count = 0;
    unsigned char pixel[4] = {};
    // Packets may cross rows but never run past the last pixel.
    auto store = [&]() {
        if (count == total) {
            return false;
        }
        if (pixels != nullptr) {
            GLubyte* at = pixels + count * bytesPerPixel;
            at[0] = pixel[2];
            at[1] = pixel[1];
            at[2] = pixel[0];
            if (bytesPerPixel == 4) {
                at[3] = pixel[3];
            }
        }
        count++;
        return true;
    };
    while (count < total) {
        unsigned char packet;
        if (!ReadBytes(s, &packet, 1)) {
            return "Could not read RLE header";
        }
        if (packet < 128) {
            for (int n = packet + 1; n > 0; n--) {
                if (!ReadBytes(s, pixel, bytesPerPixel)) {
                    return "Could not read image data";
                }
                if (!store()) {
                    return "Too many pixels read";
                }
            }
        } else {
            if (!ReadBytes(s, pixel, bytesPerPixel)) {
                return "Could not read from file";
            }
            for (int n = packet - 127; n > 0; n--) {
                if (!store()) {
                    return "Too many pixels read";
                }
            }
        }
    }
    return nullptr;
}

// What both body readers start with: the six info bytes, their checks and the
// pixel buffer. No image in our containers needs more than kMaxTgaEdge pixels
// on an edge, so larger ones are refused before anything is allocated. An
// image the rest of the stream cannot fill is refused too, with the message
// its decoding would end in (found by reading the packets through without
// storing them), so a damaged header costs nothing. A run packet supplies at
// most 128 pixels for its header byte and one pixel.
bool BeginBody(Texture* texture, std::ifstream* s, bool compressed) {
    ReleasePixels(texture);
    unsigned char info[6];
    if (!ReadBytes(s, info, sizeof info)) {
        return Alert("Could not read info header");
    }
    texture->width = info[0] + 256u * info[1];
    texture->height = info[2] + 256u * info[3];
    texture->bpp = info[4];
    if (texture->width == 0 || texture->height == 0 || (texture->bpp != 24 && texture->bpp != 32)) {
        return Alert("Invalid texture information");
    }
    if (texture->width > kMaxTgaEdge || texture->height > kMaxTgaEdge) {
        const std::string text = "Image too large: " + std::to_string(texture->width) + " x " +
                                 std::to_string(texture->height) + " pixels (at most " +
                                 std::to_string(kMaxTgaEdge) + " on an edge)";
        return Alert(text.c_str());
    }
    texture->type = texture->bpp == 24 ? GL_RGB : GL_RGBA;

    const uint64_t bytesPerPixel = texture->bpp / 8;
    const uint64_t pixels = uint64_t(texture->width) * texture->height;
    const uint64_t imageSize = pixels * bytesPerPixel;
    const uint64_t remaining = RemainingBytes(s);
    if (compressed) {
        const uint64_t fewestPackets = (pixels + 127) / 128;
        if (fewestPackets * (1 + bytesPerPixel) > remaining) {
            const char* failure = DecodePackets(s, bytesPerPixel, pixels, nullptr);
            return Alert(failure != nullptr ? failure : "Could not read RLE header");
        }
    } else if (imageSize > remaining) {
        return Alert("Could not read image data");
    }

    texture->imageData = static_cast<GLubyte*>(std::malloc(imageSize));
    if (texture->imageData == nullptr) {
        return Alert("Could not allocate memory for image");
    }
    return true;
}

bool FailBody(Texture* texture, const char* text) {
    ReleasePixels(texture);
    return Alert(text);
}

} // namespace

bool LoadTGA2(Texture* texture, std::ifstream* s) {
    if (texture == nullptr) {
        return false;
    }
    ReleasePixels(texture);
    if (s == nullptr || !s->is_open()) {
        return Alert("Could not open texture file");
    }
    unsigned char fixed[12];
    if (!ReadBytes(s, fixed, sizeof fixed)) {
        return Alert("Could not read file header");
    }
    if (std::memcmp(fixed, uTGAcompare, sizeof fixed) == 0) {
        return LoadUncompressedTGA2(texture, s);
    }
    if (std::memcmp(fixed, cTGAcompare, sizeof fixed) == 0) {
        return LoadCompressedTGA2(texture, s);
    }
    return Alert("TGA file be type 2 or type 10 ", "Invalid Image");
}

bool LoadUncompressedTGA2(Texture* texture, std::ifstream* s) {
    if (texture == nullptr || s == nullptr) {
        return false;
    }
    if (!BeginBody(texture, s, false)) {
        return false;
    }
    const uint64_t bytesPerPixel = texture->bpp / 8;
    const uint64_t imageSize = uint64_t(texture->width) * texture->height * bytesPerPixel;
    if (!ReadBytes(s, texture->imageData, imageSize)) {
        return FailBody(texture, "Could not read image data");
    }
    // B, G, R (A) in the file; R, G, B (A) in memory.
    for (uint64_t i = 0; i < imageSize; i += bytesPerPixel) {
        const GLubyte b = texture->imageData[i];
        texture->imageData[i] = texture->imageData[i + 2];
        texture->imageData[i + 2] = b;
    }
    return true;
}

bool LoadCompressedTGA2(Texture* texture, std::ifstream* s) {
    if (texture == nullptr || s == nullptr) {
        return false;
    }
    if (!BeginBody(texture, s, true)) {
        return false;
    }
    const char* failure = DecodePackets(
        s, texture->bpp / 8, uint64_t(texture->width) * texture->height, texture->imageData);
    return failure == nullptr || FailBody(texture, failure);
}
