#include "BottleFiles.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "model/MilkshapeModel.h"
#include "scene/Settings.h"

#include <GL/glu.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

// What a bottle looks like on screen: its place, its turn, and the order of
// its label, glass and shine passes.

namespace {

class BottleDrawTest : public GLFixture {
  protected:
    BottleDrawTest() : GLFixture(128, 128) {}

    void SetUp() override {
        GLFixture::SetUp();
        UseBottleState();
        manager.frustum.ExtractFrustumFaster();
    }
    void TearDown() override {
        manager.Cleanup();
        manager.CleanupBottleList();
        if (shine != 0)
            glDeleteTextures(1, &shine);
        GLFixture::TearDown();
    }

    // One bottle of the given type at pos, turned by angle, not moving.
    void Place(const fixtures::BottleSpec& spec, VECTOR3D pos, VECTOR3D angle, bool goodShine) {
        fixtures::Write(tmp / "b.brew", spec);
        manager.types = new BOTTLEINFO[1];
        manager.numTypes = 1;
        std::snprintf(manager.types[0].folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
        std::snprintf(manager.types[0].fileName, BOTTLE_PATH_SIZE, "b.brew");
        manager.goodShine = goodShine;
        ASSERT_TRUE(manager.types[0].LoadData("", 1.0f, goodShine));
        manager.bottles = new ONEBOTTLE[1];
        manager.numBottles = 1;
        ONEBOTTLE& b = manager.bottles[0];
        b.Load(&manager.types[0]);
        b.pos = pos;
        b.angle = angle;
        b.vel = VECTOR3D(0, 0, 0);
        b.spin = VECTOR3D(0, 0, 0);
        b.rotation = MatrixFromAngle(angle);
        b.Rotate(b.rotation);
    }
    // A shine map of one grey level; level 0 is also fully transparent.
    void ShineTexture(uint8_t level) {
        std::vector<uint8_t> px(16 * 16 * 4, level);
        glGenTextures(1, &shine);
        glBindTexture(GL_TEXTURE_2D, shine);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        manager.shineTex = shine;
    }
    RGBA Centre() const { return ReadPixel(64, 64); }

    TempDir tmp;
    MAINCLASS manager;
    GLuint shine = 0;
};

fixtures::BottleSpec OneQuad(float w, float h, uint8_t r, uint8_t g, uint8_t b) {
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, w, h, 0);
    spec.slots = {fixtures::Solid(4, 4, r, g, b)};
    return spec;
}

} // namespace

TEST_F(BottleDrawTest, EachBottleAtItsPositionAndTurn) {
    // A wide red bar at 50 units, shifted right by 10 units.
    Place(OneQuad(16, 4, 255, 0, 0), VECTOR3D(10, 0, -50), VECTOR3D(0, 0, 0), false);
    manager.bottles[0].Draw(&manager);
    const int shift = int(64 + 10 / (50 * 0.41421356) * 64); // x of the bar's centre
    EXPECT_EQ(ReadPixel(shift, 64), (RGBA{255, 0, 0, 255}));
    EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0})) << "the centre of the view is left of the bar";
    EXPECT_EQ(ReadPixel(shift, 64 + 12).r, 0) << "the bar is only 4 units tall";

    // Turned a quarter about z the bar stands upright.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ONEBOTTLE& b = manager.bottles[0];
    b.pos = VECTOR3D(0, 0, -50);
    b.rotation = MatrixFromAngle(VECTOR3D(0, 0, 90));
    b.Rotate(b.rotation);
    b.Draw(&manager);
    EXPECT_EQ(ReadPixel(64, 64 + 12).r, 255);
    EXPECT_EQ(ReadPixel(64 + 12, 64).r, 0);
}

TEST_F(BottleDrawTest, GlassCoversEveryTriangleBackToFront) {
    // Two half-transparent glass sheets, the near one first in the file.
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 2, 10, 10, 0);
    fixtures::AddQuad(spec.model, 0, 0, -2, 10, 10, 0);
    spec.slots = {fixtures::Solid(4, 4, 0, 255, 0)};
    spec.alpha = 128;
    Place(spec, VECTOR3D(0, 0, -50), VECTOR3D(0, 0, 0), true);
    ShineTexture(0);
    manager.bottles[0].Draw(&manager);
    // Back to front both sheets blend: 0.5 * 255 over 0.5 * 255 over black
    // gives about 191; front to back the far sheet would fail the depth test.
    const RGBA c = Centre();
    EXPECT_NEAR(c.g, 191, 4) << c;
}

TEST_F(BottleDrawTest, LabelFrontFacesAfterTheGlassBackFacesBefore) {
    // A glass sheet and, one unit in front of it, a blue label facing +z.
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, 12, 12, 0);
    fixtures::AddQuad(spec.model, 0, 0, 1, 6, 6, 1);
    spec.slots = {fixtures::Solid(4, 4, 0, 255, 0), fixtures::Solid(4, 4, 0, 0, 255)};
    spec.alpha = 128;
    Place(spec, VECTOR3D(0, 0, -50), VECTOR3D(0, 0, 0), true);
    ShineTexture(0);
    manager.bottles[0].Draw(&manager);
    // Seen from the front the label is drawn last, unblended by the glass.
    RGBA c = Centre();
    EXPECT_GT(c.b, 200) << c;
    EXPECT_LT(c.g, 40) << c;
    // Outside the label only glass.
    RGBA side = ReadPixel(64 + 18, 64);
    EXPECT_EQ(side.b, 0) << side;
    EXPECT_GT(side.g, 90) << side;

    // Turned round, the label is behind the glass and shows its back face,
    // which is drawn before the glass and so shows through it.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ONEBOTTLE& b = manager.bottles[0];
    b.rotation = MatrixFromAngle(VECTOR3D(0, 180, 0));
    b.Rotate(b.rotation);
    b.Draw(&manager);
    c = Centre();
    EXPECT_GT(c.b, 40) << "the back of the label shows through the glass " << c;
    EXPECT_GT(c.g, 60) << c;
}

TEST_F(BottleDrawTest, ShinePassOnlyWithGoodShine) {
    // Black glass, white shine: with the shine pass the glass lightens by 1/8.
    Place(OneQuad(12, 12, 0, 0, 0), VECTOR3D(0, 0, -50), VECTOR3D(0, 0, 0), true);
    ShineTexture(255);
    manager.bottles[0].Draw(&manager);
    EXPECT_NEAR(Centre().r, 32, 3);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    manager.goodShine = false;
    manager.bottles[0].Draw(&manager);
    EXPECT_EQ(Centre().r, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(BottleDrawTest, GlassIsSphereMappedOnlyWithoutShine) {
    // Red corners, blue elsewhere: the flat glass samples the corner texel,
    // the sphere map samples the middle for a surface facing the viewer.
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, 12, 12, 0);
    spec.slots = {fixtures::WithCorners(fixtures::Solid(8, 8, 0, 0, 255), 255, 0, 0)};
    Place(spec, VECTOR3D(0, 0, -50), VECTOR3D(0, 0, 0), false);
    manager.bottles[0].Draw(&manager);
    RGBA c = Centre();
    EXPECT_GT(c.b, 200) << c;
    EXPECT_LT(c.r, 40) << c;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    manager.goodShine = true;
    ShineTexture(0);
    manager.types[0].alpha = 1.0f;
    manager.bottles[0].Draw(&manager);
    c = Centre();
    EXPECT_GT(c.r, 190) << c;
    EXPECT_LT(c.b, 40) << c;
}

TEST_F(BottleDrawTest, LabelGroupsWithoutASlotAreSkipped) {
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, 12, 12, 0);
    fixtures::AddQuad(spec.model, 0, 0, 1, 6, 6, 5);  // no slot 5
    fixtures::AddQuad(spec.model, 0, 0, 1, 6, 6, -1); // never a label
    spec.slots = {fixtures::Solid(4, 4, 0, 255, 0), fixtures::Solid(4, 4, 0, 0, 255)};
    Place(spec, VECTOR3D(0, 0, -50), VECTOR3D(0, 0, 0), false);
    manager.bottles[0].Draw(&manager);
    const RGBA c = Centre();
    EXPECT_EQ(c.b, 0) << c;
    EXPECT_GT(c.g, 200) << "those groups still take part in the glass pass " << c;
}

// The vertex-array drawing against a plain immediate-mode drawer of the same
// passes, on the default content's bottle types with the scene's lighting.
// Both submit the same corners in the same order with the same state, so a
// rasteriser gives the same pixels; a channel may differ by one step where a
// driver rounds an interpolation or a blend of differently batched vertices
// differently (llvmpipe matches exactly). A wrong order, corner, normal or
// texture coordinate moves whole pixels by far more.
namespace {

void ReferenceDraw(const ONEBOTTLE& b, const MAINCLASS& m) {
    const MS3D& model = *b.model;
    const BOTTLEINFO& info = *b.info;
    auto labels = [&] {
        for (int g = 0; g < model.numGroups; g++) {
            const MS3DGROUP& group = model.groups[g];
            const int slot = group.materialIndex;
            if (slot <= 0 || slot >= info.numTextures)
                continue;
            glBindTexture(GL_TEXTURE_2D, info.textures[slot].texID);
            glBegin(GL_TRIANGLES);
            for (int j = 0; j < group.numTriangles; j++) {
                const MS3DTRIANGLE& tri = model.triangles[group.triangleIndices[j]];
                for (int k = 0; k < 3; k++) {
                    glNormal3fv(tri.vertexNormals[k]);
                    glTexCoord2f(tri.s[k], -tri.t[k]);
                    glVertex3fv(model.vertices[tri.vertexIndices[k]].location);
                }
            }
            glEnd();
        }
    };
    auto sorted = [&](bool texCoords) {
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < b.numMids; i++) {
            const MS3DTRIANGLE& tri = model.triangles[b.mids[i].tri];
            for (int k = 0; k < 3; k++) {
                glNormal3fv(tri.vertexNormals[k]);
                if (texCoords)
                    glTexCoord2f(tri.s[k], -tri.t[k]);
                glVertex3fv(model.vertices[tri.vertexIndices[k]].location);
            }
        }
        glEnd();
    };
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(b.pos.x, b.pos.y, b.pos.z);
    glMultMatrixd(b.rotation.m);
    glColor4f(1, 1, 1, 1);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    labels();
    glDisable(GL_CULL_FACE);
    glColor4f(1, 1, 1, info.alpha);
    glBindTexture(GL_TEXTURE_2D, info.textures[0].texID);
    if (!m.goodShine) {
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
    }
    glTexCoord2f(0, 0);
    sorted(false);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    if (m.goodShine) {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glBindTexture(GL_TEXTURE_2D, m.shineTex);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 0.125f);
        sorted(true);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
        glDisable(GL_CULL_FACE);
    }
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    labels();
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    glDisable(GL_BLEND);
}

class BottleArraysTest : public GLFixture, public ::testing::WithParamInterface<bool> {
  protected:
    BottleArraysTest() : GLFixture(320, 240) {}

    void SetUp() override {
        GLFixture::SetUp();
        // The scene's state around the bottles (frame pump and set-up).
        glShadeModel(GL_SMOOTH);
        glClearColor(0.2f, 0.3f, 0.5f, 0);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 320.0 / 240.0, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat specular[] = {0.3f, 0.3f, 0.3f, 1}, position[] = {0, 5, 5, 1};
        const GLfloat ambient[] = {0, 0, 0, 0}, diffuse[] = {1, 1, 1, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_TEXTURE_2D);

        // A shine map whose colour and alpha vary across it.
        std::vector<uint8_t> px(64 * 64 * 4);
        for (int i = 0; i < 64 * 64; i++) {
            px[i * 4] = uint8_t(i % 64 * 4);
            px[i * 4 + 1] = uint8_t(i / 64 * 4);
            px[i * 4 + 2] = 200;
            px[i * 4 + 3] = uint8_t((i % 64 + i / 64) * 2);
        }
        glGenTextures(1, &shine);
        glBindTexture(GL_TEXTURE_2D, shine);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

        const char* build = std::getenv("TUMBLIX_BUILD_DIR");
        settings.NUM_BOTTLES = 5;
        settings.LBOTTLESIZE = 100;
        settings.GOODSHINE = GetParam();
        std::snprintf(settings.BottlePath, sizeof settings.BottlePath, "%s/share/tumblix/",
                      build != nullptr ? build : ".");
        settings.bottleSelection = new char[3]{'#', '#', 0};
        settings.selectionSize = 3;
        std::srand(5);
        ASSERT_TRUE(manager.Setup(&settings)) << settings.BottlePath;
        ASSERT_EQ(manager.numBottles, 5);
        manager.shineTex = shine;
    }
    void TearDown() override {
        manager.Cleanup();
        manager.CleanupBottleList();
        delete[] settings.bottleSelection;
        glDeleteTextures(1, &shine);
        GLFixture::TearDown();
    }

    SETTINGS settings;
    MAINCLASS manager;
    GLuint shine = 0;
};

} // namespace

TEST_P(BottleArraysTest, SamePixelsAsImmediateMode) {
    for (int step = 0; step < 4; step++) {
        // Five bottles in a row, overlapping, each turned its own way.
        for (int i = 0; i < 5; i++) {
            ONEBOTTLE& b = manager.bottles[i];
            b.pos = VECTOR3D(-16.0f + 8.0f * i, 2.0f * (i % 2) - 1.0f, -38.0f - 3.0f * i);
            const VECTOR3D angle(37.0f * i + 71.0f * step, 53.0f * step - 20.0f * i, 90.0f * i);
            b.rotation = MatrixFromAngle(angle);
            b.Rotate(b.rotation);
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 4; i >= 0; i--)
            manager.bottles[i].Draw(&manager);
        const std::vector<RGBA> drawn = ReadPixels();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 4; i >= 0; i--)
            ReferenceDraw(manager.bottles[i], manager);
        const std::vector<RGBA> reference = ReadPixels();

        ASSERT_GT(CountPixelsNot(RGBA{51, 77, 128, 0}, 2), 320 * 240 / 8)
            << "the bottles cover a good part of the view";
        int differing = 0, largest = 0;
        for (size_t p = 0; p < drawn.size(); p++) {
            const int d = std::max(
                {std::abs(drawn[p].r - reference[p].r), std::abs(drawn[p].g - reference[p].g),
                 std::abs(drawn[p].b - reference[p].b), std::abs(drawn[p].a - reference[p].a)});
            largest = std::max(largest, d);
            differing += d > 1;
        }
        EXPECT_EQ(differing, 0) << "step " << step << ", largest difference " << largest;
    }
}

INSTANTIATE_TEST_SUITE_P(Shine, BottleArraysTest, ::testing::Bool());
