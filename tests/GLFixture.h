#ifndef TUMBLIX_TESTS_GLFIXTURE_H
#define TUMBLIX_TESTS_GLFIXTURE_H

#include "host/platform/sdl/GLWindow.h"

#include <GL/gl.h>
#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

// Puts the tests on SDL's headless drivers; call before SDL starts. The GL
// fixture calls it itself, tests that start SDL otherwise call it first.
void UseHeadlessDrivers();

struct RGBA {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const RGBA& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& os, const RGBA& c);

// A real OpenGL compatibility context on SDL's offscreen driver, fresh for
// every test. A machine without OpenGL fails the test: drawing code must never
// pass untested.
class GLFixture : public ::testing::Test {
  protected:
    explicit GLFixture(int width = 128, int height = 128) : viewWidth(width), viewHeight(height) {}
    void SetUp() override;
    void TearDown() override;

    // Pixels of the back buffer; (0, 0) is the bottom-left corner as in OpenGL.
    RGBA ReadPixel(int x, int y) const {
        RGBA c;
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &c);
        return c;
    }
    std::vector<RGBA> ReadPixels() const; // viewWidth * viewHeight, bottom row first
    std::array<float, 16> GetMatrix(GLenum which) const {
        std::array<float, 16> m{};
        glGetFloatv(which, m.data());
        return m;
    }
    GLint GetInteger(GLenum which) const {
        GLint v = 0;
        glGetIntegerv(which, &v);
        return v;
    }
    // Count of pixels whose colour differs from `background` by more than tolerance.
    int CountPixelsNot(RGBA background, int tolerance = 0) const;
    // A cleared frame with the state the scene leaves for the bottles: depth
    // test, sphere-map generation, alpha blending, a square 45-degree view.
    void UseBottleState() const;

    GLWindow window;
    int viewWidth;
    int viewHeight;
};

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
