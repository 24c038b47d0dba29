#include "assets/Pics.h"

#include "assets/Texture.h"

#include <GL/gl.h>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

namespace {

enum { PIC_SIZE = 512 };

PictureReader pictureReader = nullptr;

bool Matches(const char* name, const char* extension) {
    const size_t n = std::strlen(name), e = std::strlen(extension);
    return n > e && std::memcmp(name + n - e, extension, e) == 0;
}

// Whether the reader's bitmap holds every pixel the resampling may read.
bool Complete(const PicBitmap& bmp, size_t components) {
    if (bmp.pixelsWide <= 0 || bmp.pixelsHigh <= 0 || bmp.bytesPerRow <= 0) {
        return false;
    }
    const size_t row = size_t(bmp.bytesPerRow);
    if (row < size_t(bmp.pixelsWide) * components) {
        return false;
    }
    return bmp.bitmapData.size() / row >= size_t(bmp.pixelsHigh);
}

} // namespace

void SetPictureReader(PictureReader reader) {
    pictureReader = reader;
}

int CountFiles(const char* folder, const char* extension) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (Matches(entry->d_name, extension)) {
            count++;
        }
    }
    closedir(dir);
    return count;
}

bool FindNthFile(const char* folder, char* name, const char* extension, int n) {
    const int count = CountFiles(folder, extension);
    if (count < 1 || count < n) {
        return false;
    }
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return false;
    }
    int index = 0;
    while (const dirent* entry = readdir(dir)) {
        if (!Matches(entry->d_name, extension)) {
            continue;
        }
        if (index == n) {
            const size_t length = strnlen(entry->d_name, PIC_NAME_SIZE - 1);
            std::memcpy(name, entry->d_name, length);
            name[length] = '\0';
            closedir(dir);
            return true;
        }
        index++;
    }
    // The folder changed since it was counted.
    closedir(dir);
    return false;
}

bool ChooseRandomImageFile(const char* folder, char* name) {
    const int jpg = CountFiles(folder, ".jpg");
    const int gif = CountFiles(folder, ".gif");
    const int png = CountFiles(folder, ".png");
    const int total = jpg + gif + png;
    if (total < 1) {
        return false;
    }
    int r = std::rand() % total;
    if (r < jpg) {
        return FindNthFile(folder, name, ".jpg", r);
    }
    r -= jpg;
    if (r < gif) {
        return FindNthFile(folder, name, ".gif", r);
    }
    r -= gif;
    if (r < png) {
        return FindNthFile(folder, name, ".png", r);
    }
    return false;
}

bool LoadPicture(const char* folder, Texture* texture) {
    char name[PIC_NAME_SIZE];
    if (!ChooseRandomImageFile(folder, name)) {
        return false;
    }
    std::string path = folder;
    if (path.size() >= 3 && path.back() != '/') {
        path += '/';
    }
    path += name;
    return loadPicFile(path.c_str(), texture);
}

bool loadPicFile(const char* path, Texture* texture) {
    if (pictureReader == nullptr || path == nullptr || texture == nullptr) {
        return false;
    }
    PicBitmap bmp;
    if (!pictureReader(path, &bmp)) {
        return false;
    }
    // Only 8-bit RGB and RGBA are resampled; anything else is refused
    // rather than read at the wrong spacing.
    if (bmp.bitsPerPixel != 24 && bmp.bitsPerPixel != 32) {
        return false;
    }
    const bool rgba = bmp.bitsPerPixel == 32;
    const size_t c = rgba ? 4 : 3;
    if (!Complete(bmp, c)) {
        return false;
    }

    GLubyte* pixels = static_cast<GLubyte*>(std::malloc(size_t(PIC_SIZE) * PIC_SIZE * c));
    if (pixels == nullptr) {
        return false;
    }
    const float sx = float(double(bmp.pixelsWide) * (1.0 / PIC_SIZE));
    const float sy = float(double(bmp.pixelsHigh) * (1.0 / PIC_SIZE));
    const uint8_t* source = bmp.bitmapData.data();
    for (int x = 0; x < PIC_SIZE; x++) {
        int column = int(float(x) * sx);
        if (column >= bmp.pixelsWide) {
            column = bmp.pixelsWide - 1;
        }
        for (int j = 0; j < PIC_SIZE; j++) {
            int row = int(float(j) * sy);
            if (row >= bmp.pixelsHigh) {
                row = bmp.pixelsHigh - 1;
            }
            // The picture's top row lands on the last row: the top of the
            // texture as OpenGL reads it.
            const uint8_t* in = source + size_t(row) * size_t(bmp.bytesPerRow) + size_t(column) * c;
            GLubyte* out = pixels + (size_t(PIC_SIZE - 1 - j) * PIC_SIZE + size_t(x)) * c;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }

    // The record now describes the new pixels; whatever it held before goes.
    std::free(texture->imageData);
    texture->imageData = pixels;
    if (texture->texID != 0) {
        glDeleteTextures(1, &texture->texID);
        texture->texID = 0;
    }
    texture->type = rgba ? GL_RGBA : GL_RGB;
    texture->bpp = rgba ? 32 : 24;
    texture->width = PIC_SIZE;
    texture->height = PIC_SIZE;

    const bool built = BuildTexture(texture, ALPHA_OPAQUE);
    if (!built) {
        // The pixels no longer match the size the record is about to say.
        std::free(texture->imageData);
        texture->imageData = nullptr;
    }
    texture->width = GLuint(bmp.pixelsWide);
    texture->height = GLuint(bmp.pixelsHigh);
    return built;
}
