#include "host/DesktopTexture.h"

#include "host/DesktopServices.h"

#include <GL/glu.h>
#include <cmath>
#include <vector>

int DesktopTextureLimit(int detail, int maxTextureSize) {
    if (detail == 0) {
        return 512;
    }
    if (detail == 1) {
        return 1024;
    }
    return maxTextureSize;
}

namespace {

int NearestPowerOfTwo(int edge) {
    const double exponent = std::floor(std::log(double(edge)) / std::log(2.0) + 0.5);
    // A 32-bit edge never rounds past 2^31; keep the result an int.
    return exponent >= 30.0 ? (1 << 30) : (1 << int(exponent));
}

} // namespace

bool DesktopTextureSize(int displayWidth, int displayHeight, int detail, int maxTextureSize,
                        int* textureWidth, int* textureHeight) {
    if (displayWidth < 1 || displayHeight < 1) {
        return false;
    }
    const int limit = DesktopTextureLimit(detail, maxTextureSize);
    int w = NearestPowerOfTwo(displayWidth);
    int h = NearestPowerOfTwo(displayHeight);
    if (w > limit) {
        w = limit;
    }
    if (h > limit) {
        h = limit;
    }
    *textureWidth = w;
    *textureHeight = h;
    return w > 0 && h > 0;
}

void BuildDesktopTexture(GLuint* texName, const DesktopPixels& pixels, int detail) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (*texName == 0) {
        glGenTextures(1, texName);
    }
    glBindTexture(GL_TEXTURE_2D, *texName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    int w = 0, h = 0;
    bool ok = pixels.rgba.size() >= size_t(pixels.width) * size_t(pixels.height) * 4 &&
              DesktopTextureSize(pixels.width, pixels.height, detail, maxSize, &w, &h);
    std::vector<GLubyte> scaled;
    if (ok) {
        scaled.resize(size_t(w) * size_t(h) * 4);
        ok = gluScaleImage(GL_RGBA, pixels.width, pixels.height, GL_UNSIGNED_BYTE,
                           pixels.rgba.data(), w, h, GL_UNSIGNED_BYTE, scaled.data()) == 0;
    }
    if (ok) {
        ok = false;
        for (size_t i = 0; i < scaled.size() && !ok; i += 4) {
            ok = scaled[i] != 0 || scaled[i + 1] != 0 || scaled[i + 2] != 0;
        }
    }
    if (!ok) {
        glDeleteTextures(1, texName);
        *texName = 0;
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, scaled.data());
}
