#ifndef TUMBLIX_TESTS_ASSETFILES_H
#define TUMBLIX_TESTS_ASSETFILES_H

#include "GLFixture.h"

#include <vector>

// Level 0 of a texture as OpenGL holds it, bottom row first, and its size.
inline std::vector<RGBA> TexturePixels(GLuint texID, GLint* width = nullptr,
                                       GLint* height = nullptr) {
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, texID);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    std::vector<RGBA> pixels(size_t(w) * size_t(h));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (width != nullptr && height != nullptr) {
        *width = w;
        *height = h;
    }
    return pixels;
}

#endif
