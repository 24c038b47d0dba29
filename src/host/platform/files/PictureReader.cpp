#include "host/platform/files/PictureReader.h"

#include "assets/Pics.h"
#include "host/platform/files/RegularFile.h"
#include "maths/Misc.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t Big16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t Big32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t Little16(const uint8_t* p) {
    return uint32_t(p[1]) << 8 | p[0];
}

bool ReadAt(SDL_RWops* rw, Sint64 at, uint8_t* into, size_t count) {
    return SDL_RWseek(rw, at, RW_SEEK_SET) == at && SDL_RWread(rw, into, 1, count) == count;
}

// The largest edge the header of a PNG, GIF, JPEG or BMP claims, read
// without decoding; 0 when the format is another one or the header cannot be
// read (the decoder then judges the file). The stream is left at its start.
uint32_t ClaimedEdge(SDL_RWops* rw) {
    uint8_t b[32] = {};
    uint32_t edge = 0;
    const auto claim = [&edge](uint32_t w, uint32_t h) { edge = SDL_max(edge, SDL_max(w, h)); };
    if (ReadAt(rw, 0, b, 24) && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) {
        claim(Big32(b + 16), Big32(b + 20));
    } else if (ReadAt(rw, 0, b, 13) && std::memcmp(b, "GIF8", 4) == 0) {
        // The logical screen, then every image descriptor's own size.
        claim(Little16(b + 6), Little16(b + 8));
        Sint64 at = 13 + ((b[10] & 0x80) ? 3 * (2 << (b[10] & 7)) : 0);
        for (int blocks = 0; blocks < 100000 && ReadAt(rw, at, b, 1) && b[0] != 0x3B; blocks++) {
            if (b[0] == 0x21) { // extension: label, then sub-blocks
                at += 2;
            } else if (b[0] == 0x2C && ReadAt(rw, at, b, 10)) {
                claim(Little16(b + 5), Little16(b + 7));
                at += 10 + ((b[9] & 0x80) ? 3 * (2 << (b[9] & 7)) : 0) + 1; // + LZW size
            } else {
                break;
            }
            uint8_t size = 0;
            while (ReadAt(rw, at, &size, 1) && size != 0) {
                at += 1 + size;
            }
            at++;
        }
    } else if (ReadAt(rw, 0, b, 2) && b[0] == 0xFF && b[1] == 0xD8) {
        // Markers up to the first frame header.
        Sint64 at = 2;
        while (ReadAt(rw, at, b, 4) && b[0] == 0xFF) {
            const uint8_t marker = b[1];
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC) {
                if (ReadAt(rw, at + 5, b, 4)) {
                    claim(Big16(b + 2), Big16(b));
                }
                break;
            }
            if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                at += 2;
            } else if (marker == 0xFF) {
                at += 1;
            } else {
                at += 2 + Big16(b + 2);
            }
        }
    } else if (ReadAt(rw, 0, b, 26) && b[0] == 'B' && b[1] == 'M') {
        const uint32_t header = b[14] | uint32_t(b[15]) << 8 | uint32_t(b[16]) << 16;
        if (header == 12) {
            claim(Little16(b + 18), Little16(b + 20));
        } else {
            const int32_t w = int32_t(b[18] | b[19] << 8 | b[20] << 16 | uint32_t(b[21]) << 24);
            const int32_t h = int32_t(b[22] | b[23] << 8 | b[24] << 16 | uint32_t(b[25]) << 24);
            claim(w < 0 ? 0u - uint32_t(w) : uint32_t(w), h < 0 ? 0u - uint32_t(h) : uint32_t(h));
        }
    }
    SDL_RWseek(rw, 0, RW_SEEK_SET);
    return edge;
}

bool HasTransparency(SDL_Surface* surface) {
    if (SDL_ISPIXELFORMAT_ALPHA(surface->format->format) || SDL_HasColorKey(surface)) {
        return true;
    }
    const SDL_Palette* palette = surface->format->palette;
    if (palette != nullptr) {
        for (int i = 0; i < palette->ncolors; i++) {
            if (palette->colors[i].a != SDL_ALPHA_OPAQUE) {
                return true;
            }
        }
    }
    return false;
}

// Hands the reason to the engine's error hook (shown with --verbose).
bool Fail(const char* path) {
    ERRORCLOSE((std::string("Could not read the picture ") + path + ": " + SDL_GetError()).c_str());
    return false;
}

} // namespace

bool ReadPicture(const char* path, PicBitmap* out) {
    if (path == nullptr || out == nullptr) {
        return false;
    }
    SDL_RWops* rw = OpenRegularFileStream(path);
    if (rw == nullptr) {
        return Fail(path);
    }
    const uint32_t claimed = ClaimedEdge(rw);
    if (claimed > kMaxPictureEdge) {
        SDL_RWclose(rw);
        SDL_SetError("it claims %u pixels on an edge, more than %u", claimed, kMaxPictureEdge);
        return Fail(path);
    }
    SDL_Surface* decoded = IMG_Load_RW(rw, 1);
    if (decoded == nullptr) {
        return Fail(path);
    }
    if (uint32_t(decoded->w) > kMaxPictureEdge || uint32_t(decoded->h) > kMaxPictureEdge) {
        SDL_FreeSurface(decoded); // a format whose header was not read
        SDL_SetError("it is larger than %u pixels on an edge", kMaxPictureEdge);
        return Fail(path);
    }
    const bool alpha = HasTransparency(decoded);
    // RGB24 and RGBA32 are byte orders: R, G, B (, A) in memory.
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(
        decoded, alpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(decoded);
    if (converted == nullptr) {
        return false;
    }
    bool ok = false;
    if (converted->w > 0 && converted->h > 0 && SDL_LockSurface(converted) == 0) {
        out->bitsPerPixel = alpha ? 32 : 24;
        out->bytesPerRow = converted->pitch;
        out->pixelsWide = converted->w;
        out->pixelsHigh = converted->h;
        const size_t bytes = size_t(converted->pitch) * size_t(converted->h);
        const uint8_t* pixels = static_cast<const uint8_t*>(converted->pixels);
        out->bitmapData.assign(pixels, pixels + bytes);
        SDL_UnlockSurface(converted);
        ok = true;
    }
    SDL_FreeSurface(converted);
    return ok;
}

void InstallPictureReader() {
    SetPictureReader(&ReadPicture);
}
