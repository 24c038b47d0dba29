#include "GLFixture.h"

#include <GL/glu.h>
#include <cstring>

// The rig itself: a real context whose drawing and state can be read back.

class GLRigTest : public GLFixture {
  protected:
    GLRigTest() : GLFixture(64, 32) {}
};

TEST_F(GLRigTest, IsACompatibilityContextOnTheHeadlessDriver) {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    // Fixed-function calls must be available.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 2.0, 1.0, 250.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << renderer;
    auto p = GetMatrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(p[11], -1.0f);
    EXPECT_EQ(GetInteger(GL_MATRIX_MODE), GL_PROJECTION);
}

TEST_F(GLRigTest, ReadsBackWhatWasDrawnBottomUp) {
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(ReadPixel(5, 5), (RGBA{255, 0, 0, 255}));

    // A green quad over the lower half only.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 32, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(64, 0);
    glVertex2f(64, 16);
    glVertex2f(0, 16);
    glEnd();

    EXPECT_EQ(ReadPixel(10, 2), (RGBA{0, 255, 0, 255}));
    EXPECT_EQ(ReadPixel(10, 30), (RGBA{255, 0, 0, 255}));
    auto all = ReadPixels();
    ASSERT_EQ(all.size(), 64u * 32u);
    EXPECT_EQ(all[0], (RGBA{0, 255, 0, 255}));
    EXPECT_EQ(all.back(), (RGBA{255, 0, 0, 255}));
    EXPECT_EQ(CountPixelsNot(RGBA{255, 0, 0, 255}), 64 * 16);
}
