#include "assets/Texture.h"

#include "assets/ResFile.h"
#include "assets/TGALoader.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>

Texture::~Texture() {
    std::free(imageData);
    imageData = nullptr;
    if (texID != 0) {
        glDeleteTextures(1, &texID);
        texID = 0;
    }
}

bool BuildTexture(Texture* t, int alphaMode) {
    // Without pixels (already built, or never decoded) there is nothing to
    // upload and no first pixel to take the key colour from.
    if (t == nullptr || t->imageData == nullptr || t->width == 0 || t->height == 0) {
        return false;
    }
    const size_t components = t->type == GL_RGBA ? 4 : 3;
    const GLubyte* source = t->imageData;
    const GLubyte key[3] = {source[0], source[1], source[2]};

    glGenTextures(1, &t->texID);
    glBindTexture(GL_TEXTURE_2D, t->texID);

    const size_t pixels = size_t(t->width) * t->height;
    GLubyte* rgba = static_cast<GLubyte*>(std::malloc(pixels * 4));
    if (rgba == nullptr) {
        return false;
    }
    for (size_t p = 0; p < pixels; p++) {
        const GLubyte* in = source + p * components;
        GLubyte* out = rgba + p * 4;
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        if (alphaMode == ALPHA_COLOUR_KEY) {
            const bool keyed = in[0] == key[0] && in[1] == key[1] && in[2] == key[2];
            out[3] = keyed ? 0 : 255;
        } else if (alphaMode == ALPHA_BRIGHTNESS) {
            GLubyte brightest = in[0] > in[1] ? in[0] : in[1];
            out[3] = brightest > in[2] ? brightest : in[2];
        } else {
            out[3] = 255;
        }
    }

    glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(t->width), GLsizei(t->height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    std::free(t->imageData);
    t->imageData = nullptr;
    std::free(rgba);
    return true;
}

bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count) {
    if (textures == nullptr || count == nullptr) {
        return false;
    }
    RESFILE file;
    if (!file.Open(path) || file.header.numLumps > INT_MAX) {
        return false;
    }
    const int numLumps = int(file.header.numLumps);
    Texture* array = new (std::nothrow) Texture[numLumps];
    if (array == nullptr) {
        return false;
    }
    *count = numLumps;
    *textures = array;

    for (int i = 0; i < numLumps; i++) {
        const RESLUMP& lump = file.lumps[i];
        if (lump.type != 1) {
            continue;
        }
        if (!file.SeekLump(i) || !LoadTGA2(&array[i], &file.stream) ||
            !BuildTexture(&array[i], int(lump.alphaMode))) {
            return false;
        }
    }
    return true;
}
