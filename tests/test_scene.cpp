#include "BottleFiles.h"
#include "GLFixture.h"
#include "SceneFiles.h"
#include "SoundCounter.h"
#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "scene/Background.h"
#include "scene/Settings.h"
#include "scene/Text.h"

#include <GL/gl.h>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const double kStep = 0.03333333507180214;

class SceneTest : public SceneFixture {
  protected:
    // Lighting, its light and culling, as set.
    std::vector<bool> Lights() const {
        return {bool(glIsEnabled(GL_LIGHTING)), bool(glIsEnabled(GL_LIGHT0)),
                bool(glIsEnabled(GL_CULL_FACE))};
    }
    std::vector<float> Get(GLenum light, GLenum which) const {
        std::vector<float> v(4);
        light ? glGetLightfv(light, which, v.data()) : glGetFloatv(which, v.data());
        return v;
    }
};

TEST_F(SceneTest, SetupBuildsTheSceneAndItsGLStateCleanupFreesItABrokenContainerStops) {
    SoundCounter sounds;
    settings.PLAYSOUND = true;
    settings.VOLUME = 255;
    settings.BGCol = VECTOR3D(0.25f, 0.5f, 0.75f);
    ASSERT_TRUE(scene.Setup(true, 200, 100, &settings, resources.c_str()));
    EXPECT_TRUE(scene.preview && scene.width == 200 && scene.height == 100);
    ASSERT_EQ(scene.numSceneTextures, 9);
    EXPECT_EQ(scene.bottleManager->shineTex, scene.sceneTextures[8].texID);
    EXPECT_EQ(scene.bottleManager->numBottles, 5);
    EXPECT_EQ(settings.bottleSelection, nullptr);
    ASSERT_EQ(sounds.loaded.size(), 8u);
    EXPECT_EQ(sounds.loaded[0], resources + "clink1.wav");
    EXPECT_FLOAT_EQ(sounds.levels[7], 1.0f);

    GLint mode = 0;
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(Lights(), (std::vector<bool>{true, true, false})) << "culling is the bottles'";
    EXPECT_EQ(GetInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(Get(GL_LIGHT0, GL_POSITION), (std::vector<float>{0, 5, 5, 1}));
    EXPECT_EQ(Get(GL_LIGHT0, GL_SPECULAR), (std::vector<float>{0.3f, 0.3f, 0.3f, 1}));
    EXPECT_EQ(Get(GL_LIGHT0, GL_AMBIENT), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(Get(0, GL_COLOR_CLEAR_VALUE), (std::vector<float>{0.25f, 0.5f, 0.75f, 0}));
    EXPECT_FLOAT_EQ(FontData[33][0], 1 * 0.0625f); // 'A': column 1, row 2
    EXPECT_FLOAT_EQ(FontData[33][1], 2 * 0.125f);

    // Cleanup frees the scene's textures and the background picture, turns
    // lighting and culling off, and may run again.
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    std::vector<GLuint> names = {scene.bgTexture};
    for (int i = 0; i < scene.numSceneTextures; i++)
        names.push_back(scene.sceneTextures[i].texID);
    glEnable(GL_CULL_FACE);
    scene.Cleanup();
    EXPECT_TRUE(scene.background == nullptr && scene.bottleManager == nullptr &&
                scene.sceneTextures == nullptr && scene.bgTexture == 0u);
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name)) << name;
    EXPECT_EQ(Lights(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(sounds.released, 8);

    // A broken container stops the set-up before the lights.
    std::vector<brew::Lump> lumps = scenefiles::ResourceLumps();
    lumps.pop_back();
    scenefiles::WriteResources(resources, lumps);
    EXPECT_FALSE(SetUpScene());
    EXPECT_TRUE(log.Saw("The resource file has too few textures!"));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    scene.Cleanup();

    // Lumps 2 and 3 are not drawn and need not be pictures; the others must.
    for (int index : {2, 0, 1, 4, 7, 8}) {
        std::vector<brew::Lump> broken = scenefiles::ResourceLumps();
        broken[index].type = brew::LUMP_OTHER;
        broken[index].body = {1, 2, 3};
        scenefiles::WriteResources(resources, broken);
        EXPECT_EQ(SetUpScene(), index == 2) << "lump " << index;
        EXPECT_EQ(glIsEnabled(GL_LIGHTING), index == 2);
        scene.Cleanup();
    }
    EXPECT_TRUE(log.Saw("The resource file is missing a scene picture!"));
}

TEST_F(SceneTest, UpdateTakesAtMostOneWobbleStepAFrameAndTheBackgroundShows) {
    settings.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    settings.SHOWCLOCK = false;
    settings.NUM_BOTTLES = 0;
    ASSERT_TRUE(SetUpScene());
    BACKGROUND reference;
    reference.InitWobble();
    auto same = [&]() {
        return std::memcmp(scene.background->nodes, reference.nodes, sizeof reference.nodes) == 0;
    };
    ASSERT_TRUE(same());
    scene.wobbleTimer = 0.0f; // as a fresh driver starts

    // A timer of exactly 0 takes no step; the timer is set, not added to; a
    // long frame still takes one step.
    for (auto [dt, steps] :
         {std::pair{0.0, false}, {1e-6, true}, {0.02, false}, {0.02, true}, {2.0, true}}) {
        scene.Update(dt);
        if (steps) {
            reference.RelaxWobble(kStep);
            EXPECT_EQ(scene.wobbleTimer, 0.033333335f);
        }
        EXPECT_TRUE(same()) << dt;
        EXPECT_DOUBLE_EQ(scene.frameTime, dt);
    }

    // At 35 drawn frames a second every second frame steps.
    int steps = 0;
    for (int f = 0; f < 70; f++) {
        BACKGROUND before = *scene.background;
        scene.Update(1.0 / 35.0);
        steps += std::memcmp(before.nodes, scene.background->nodes, sizeof before.nodes) != 0;
    }
    EXPECT_EQ(steps, 35);

    // The colour background shows the clear colour, a picture kind the picture.
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    for (bool drunken : {true, false}) {
        settings.DRUNKENBG = drunken;
        Run(1.0 / 35.0);
        EXPECT_EQ(CountPixelsNot({51, 102, 153, 0}, 1), 0) << "drunken " << drunken;
        EXPECT_EQ(ReadPixel(5, 5).a, 0) << "cleared with alpha 0";
    }
    settings.BGTYPE = BG_FOLDER_PICTURE;
    Run(1.0 / 35.0);
    EXPECT_EQ(ReadPixel(viewWidth / 2, 3), (RGBA{255, 0, 0, 255}));
}

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
// everything else nothing; then every free node moves by its velocity, and
// no border node, however hard its springs pull.
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
