#include "GLFixture.h"
#include "SceneFiles.h"
#include "scene/Background.h"
#include "scene/Settings.h"

#include <GL/gl.h>
#include <cmath>

namespace {

const double kStep = 0.03333333507180214;

void PutAtRest(BACKGROUND& mesh) {
    for (int i = 0; i < WOBBLE_COLUMNS; i++)
        for (int j = 0; j < WOBBLE_ROWS; j++)
            mesh.nodes[i][j] = {16.0f * i, 16.0f * j, 0.0f, 0.0f};
}

bool IsBorder(int i, int j) {
    return i == 0 || i == WOBBLE_COLUMNS - 1 || j == 0 || j == WOBBLE_ROWS - 1;
}

TEST(Wobble, StartsNudgedOffTheRestGridWithPinnedBorders) {
    BACKGROUND mesh;
    mesh.InitWobble();
    EXPECT_EQ(mesh.spacing, 16);
    EXPECT_FLOAT_EQ(mesh.restLength[0][1], 16.0f);
    EXPECT_FLOAT_EQ(mesh.restLength[1][0], 16.0f);
    EXPECT_EQ(mesh.restLength[1][1], 22.627424f) << "stored, a hair over 16 * sqrt(2)";
    EXPECT_EQ(mesh.restLength[2][2], 45.254848f);
    for (int i = 0; i < WOBBLE_COLUMNS; i++)
        for (int j = 0; j < WOBBLE_ROWS; j++) {
            const WOBBLENODE& n = mesh.nodes[i][j];
            EXPECT_TRUE(n.vx == 0.0f && n.vy == 0.0f);
            const float dx = std::fabs(n.x - 16.0f * i), dy = std::fabs(n.y - 16.0f * j);
            EXPECT_TRUE(IsBorder(i, j) ? dx == 0 && dy == 0 : dx <= 2.0f && dy <= 2.0f) << i << j;
        }

    // The phases run on over the mesh, rows outer: node (3, 2) is the 26th visited.
    float p0 = 0, p1 = 0, p2 = 0, p3 = 0;
    for (int visit = 0; visit < 2 * 11 + 3 + 1; visit++) {
        p0 += 0.081f;
        p1 += 0.083f;
        p2 += 0.085f;
        p3 += 0.087f;
    }
    const double dx =
        std::sin(p2 - 3.0f) + std::cos(p2 + 2.0f) + std::sin(p0 - 2.0f) - std::cos(p0 + 3.0f);
    const double dy =
        std::sin(p1 - 3.0f) + std::cos(p3 + 2.0f) + std::sin(p3 - 2.0f) - std::cos(p1 + 3.0f);
    EXPECT_FLOAT_EQ(mesh.nodes[3][2].x, float(48 + 0.5 * dx));
    EXPECT_FLOAT_EQ(mesh.nodes[3][2].y, float(32 + 0.5 * dy));
}

// One node moved off the rest grid, in x, in y or both, in the middle and
// beside the border: each of its eight neighbours gets the impulse of their
// spring (the displacement vector times (rest length - length) * step *
// 0.001), the node itself the opposite impulses of its free neighbours only,
// everything else nothing; then every free node moves by its velocity.
TEST(Wobble, EachSpringGivesTheNeighbourItsImpulseInBothAxes) {
    const float moves[][2] = {{4, 0}, {0, -3}, {2.5f, 1.5f}};
    const int nodes[][2] = {{5, 5}, {1, 1}, {9, 11}};
    for (const auto& m : moves) {
        for (const auto& at : nodes) {
            SCOPED_TRACE(testing::Message()
                         << m[0] << "," << m[1] << " at " << at[0] << "," << at[1]);
            BACKGROUND mesh;
            mesh.InitWobble();
            PutAtRest(mesh);
            const int ci = at[0], cj = at[1];
            mesh.nodes[ci][cj].x += m[0];
            mesh.nodes[ci][cj].y += m[1];
            const BACKGROUND before = mesh;
            mesh.RelaxWobble(kStep);
            double cvx = 0, cvy = 0;
            for (int i = 0; i < WOBBLE_COLUMNS; i++) {
                for (int j = 0; j < WOBBLE_ROWS; j++) {
                    const int a = std::abs(i - ci), b = std::abs(j - cj);
                    double vx = 0, vy = 0;
                    if (a <= 1 && b <= 1 && a + b > 0) {
                        const double dx = before.nodes[i][j].x - before.nodes[ci][cj].x,
                                     dy = before.nodes[i][j].y - before.nodes[ci][cj].y;
                        const double k = (before.restLength[a][b] - std::sqrt(dx * dx + dy * dy)) *
                                         kStep * 0.001;
                        vx = dx * k;
                        vy = dy * k;
                        if (!IsBorder(i, j)) { // as a centre, it drives the moved node back
                            cvx -= vx;
                            cvy -= vy;
                        }
                    }
                    const WOBBLENODE& n = mesh.nodes[i][j];
                    if (a + b > 0) {
                        EXPECT_NEAR(n.vx, vx, 1e-7) << i << "," << j;
                        EXPECT_NEAR(n.vy, vy, 1e-7) << i << "," << j;
                    }
                    const bool pinned = IsBorder(i, j);
                    EXPECT_EQ(n.x, before.nodes[i][j].x + (pinned ? 0 : n.vx)) << i << "," << j;
                    EXPECT_EQ(n.y, before.nodes[i][j].y + (pinned ? 0 : n.vy)) << i << "," << j;
                }
            }
            EXPECT_NEAR(mesh.nodes[ci][cj].vx, cvx, 1e-7);
            EXPECT_NEAR(mesh.nodes[ci][cj].vy, cvy, 1e-7);
        }
    }
}

TEST(Wobble, BordersNeverMove) {
    BACKGROUND mesh;
    mesh.InitWobble();
    PutAtRest(mesh);
    // However hard they are pulled, borders stay.
    for (int i = 1; i < WOBBLE_COLUMNS - 1; i++)
        for (int j = 1; j < WOBBLE_ROWS - 1; j++)
            mesh.nodes[i][j].x += (i + j) % 2 ? 6.0f : -6.0f;
    for (int s = 0; s < 2000; s++)
        mesh.RelaxWobble(kStep);
    for (int i = 0; i < WOBBLE_COLUMNS; i++) {
        for (int j = 0; j < WOBBLE_ROWS; j++) {
            if (IsBorder(i, j)) {
                EXPECT_TRUE(mesh.nodes[i][j].x == 16.0f * i && mesh.nodes[i][j].y == 16.0f * j);
            }
        }
    }
}

// Drawing, in the underlay's flat projection.
class BackgroundDraw : public GLFixture {
  protected:
    BackgroundDraw() : GLFixture(160, 120) {}
    void SetUp() override {
        GLFixture::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, viewWidth, 0, viewHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_TEXTURE_2D);
        glClearColor(0, 0, 1, 1);
        mesh.InitWobble();
        settings.BGTYPE = BG_CAPTURE;
        // Red grows to the right, green downward.
        brew::Image image(16, 16, 3);
        for (uint32_t y = 0; y < 16; y++)
            for (uint32_t x = 0; x < 16; x++) {
                uint8_t* p = image.At(x, y);
                p[0] = uint8_t(x * 16);
                p[1] = uint8_t(y * 16);
                p[2] = uint8_t((x ^ y) * 8);
            }
        picture = scenefiles::MakePicture(image);
    }
    void TearDown() override {
        glDeleteTextures(1, &picture);
        GLFixture::TearDown();
    }
    std::vector<RGBA> Frame(bool drunken) {
        settings.DRUNKENBG = drunken;
        glClear(GL_COLOR_BUFFER_BIT);
        DrawBackground(&settings, picture, &mesh, viewWidth, viewHeight, 0.03);
        return ReadPixels();
    }
    static int Differences(const std::vector<RGBA>& a, const std::vector<RGBA>& b, int tolerance) {
        int n = 0;
        for (size_t k = 0; k < a.size(); k++)
            n += std::abs(a[k].r - b[k].r) > tolerance || std::abs(a[k].g - b[k].g) > tolerance ||
                 std::abs(a[k].b - b[k].b) > tolerance;
        return n;
    }

    SETTINGS settings;
    BACKGROUND mesh;
    GLuint picture = 0;
};

TEST_F(BackgroundDraw, ThePictureCoversTheViewTopUpAndSwaysOnTheNudgedMesh) {
    const std::vector<RGBA> flat = Frame(false);
    EXPECT_LT(ReadPixel(10, 10).r, 40);
    EXPECT_GT(ReadPixel(10, 10).g, 190);
    EXPECT_LT(ReadPixel(10, viewHeight - 10).g, 60);
    EXPECT_GT(ReadPixel(viewWidth - 10, 10).r, 190);
    EXPECT_GT(ReadPixel(viewWidth - 10, viewHeight - 10).r, 190);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);

    const auto before = GetMatrix(GL_MODELVIEW_MATRIX);
    const std::vector<RGBA> swaying = Frame(true);
    EXPECT_GT(Differences(flat, swaying, 4), 100);
    EXPECT_EQ(CountPixelsNot({0, 0, 255, 255}, 0), viewWidth * viewHeight) << "no gap shows";
    EXPECT_EQ(GetMatrix(GL_MODELVIEW_MATRIX), before);
    PutAtRest(mesh);
    EXPECT_EQ(Differences(flat, Frame(true), 1), 0) << "a mesh at rest draws the flat picture";
}

} // namespace
