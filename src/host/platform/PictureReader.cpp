#include "host/platform/PictureReader.h"

#include "assets/Pics.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cstring>

namespace {

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

} // namespace

bool ReadPicture(const char* path, PicBitmap* out) {
    if (path == nullptr || out == nullptr) {
        return false;
    }
    SDL_Surface* decoded = IMG_Load(path);
    if (decoded == nullptr) {
        return false;
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
