#include "GLFixture.h"

#include <GL/glu.h>
#include <SDL.h>
#include <cstdlib>
#include <ostream>

void UseHeadlessDrivers() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (std::getenv("SDL_AUDIODRIVER") == nullptr) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
}

std::ostream& operator<<(std::ostream& os, const RGBA& c) {
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

void GLFixture::SetUp() {
    UseHeadlessDrivers();
    // SDL video stays up for the whole test program: the GL driver is then
    // loaded once, and stays loaded for the leak checker to name it.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_EQ(SDL_GL_LoadLibrary(nullptr), 0) << SDL_GetError();
    }
    ASSERT_TRUE(window.Open("tumblix test", viewWidth, viewHeight, false))
        << "no OpenGL context on the offscreen driver: " << window.error();
    ASSERT_NE(glGetString(GL_VERSION), nullptr) << "the context answers no GL_VERSION";
    glViewport(0, 0, viewWidth, viewHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
}

void GLFixture::TearDown() {
    if (window.IsOpen()) {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR))
            << "a test left a GL error behind";
    }
    window.Close();
}

std::vector<RGBA> GLFixture::ReadPixels() const {
    std::vector<RGBA> pixels(static_cast<size_t>(viewWidth) * viewHeight);
    glReadPixels(0, 0, viewWidth, viewHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

int GLFixture::CountPixelsNot(RGBA background, int tolerance) const {
    int n = 0;
    for (const RGBA& p : ReadPixels()) {
        if (std::abs(p.r - background.r) > tolerance || std::abs(p.g - background.g) > tolerance ||
            std::abs(p.b - background.b) > tolerance) {
            n++;
        }
    }
    return n;
}

void GLFixture::UseBottleState() const {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
