#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "assets/Texture.h"
#include "bottles/BottleData.h"
#include "bottles/MainClass.h"
#include "model/MilkshapeModel.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Quads of {width, height, z, group, x of the centre}, facing +z.
fixtures::BottleSpec Quads(std::vector<std::array<float, 5>> quads, std::vector<brew::Image> slots,
                           uint8_t alpha = 255) {
    fixtures::BottleSpec spec;
    for (const auto& q : quads)
        fixtures::AddQuad(spec.model, q[4], 0, q[2], q[0], q[1], int(q[3]));
    spec.slots = std::move(slots);
    spec.alpha = alpha;
    return spec;
}
brew::Image Solid(uint8_t r, uint8_t g, uint8_t b) {
    return fixtures::Solid(4, 4, r, g, b);
}

class BottleDrawTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        UseBottleState();
        manager.frustum.ExtractFrustumFaster();
        manager.playSound = false;
        Shine(0);
    }
    void TearDown() override {
        manager.Cleanup();
        manager.CleanupBottleList();
        glDeleteTextures(1, &manager.shineTex);
        GLFixture::TearDown();
    }

    // One still bottle per spec, in array order, at the given places.
    void Place(const std::vector<fixtures::BottleSpec>& specs, const std::vector<VECTOR3D>& places,
               bool goodShine = true) {
        const int n = int(specs.size());
        manager.types = new BOTTLEINFO[n];
        manager.numTypes = n;
        manager.bottles = new ONEBOTTLE[n];
        manager.numBottles = n;
        manager.goodShine = goodShine;
        for (int i = 0; i < n; i++) {
            const std::string file = "b" + std::to_string(i) + ".brew";
            fixtures::Write(tmp / file, specs[i]);
            BOTTLEINFO& type = manager.types[i];
            std::snprintf(type.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
            std::snprintf(type.fileName, BOTTLE_PATH_SIZE, "%s", file.c_str());
            ASSERT_TRUE(type.LoadData("", 1.0f, goodShine));
            ONEBOTTLE& b = manager.bottles[i];
            b.Load(&type);
            b.pos = places[i];
            b.vel = b.angle = b.spin = VECTOR3D(0, 0, 0);
            Turn(i, b.angle);
        }
    }
    void Turn(int i, VECTOR3D angle) {
        ONEBOTTLE& b = manager.bottles[i];
        b.rotation = MatrixFromAngle(angle);
        b.Rotate(b.rotation);
    }
    // A shine map of one grey level; level 0 is also fully transparent.
    void Shine(uint8_t level) {
        const std::vector<uint8_t> px(4 * 4 * 4, level);
        glDeleteTextures(1, &manager.shineTex);
        glGenTextures(1, &manager.shineTex);
        glBindTexture(GL_TEXTURE_2D, manager.shineTex);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }
    // The first bottle drawn alone, or a whole frame; the centre pixel.
    RGBA DrawOne() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        manager.bottles[0].Draw(&manager);
        return ReadPixel(64, 64);
    }
    RGBA Frame(double dt = 0.0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        manager.DrawBottles(dt);
        return ReadPixel(64, 64);
    }

    TempDir tmp;
    MAINCLASS manager;
};

} // namespace

TEST_F(BottleDrawTest, EachBottleAtItsPositionAndTurn) {
    // A wide red bar at 50 units, shifted right by 10 units.
    Place({Quads({{16, 4, 0, 0}}, {Solid(255, 0, 0)})}, {VECTOR3D(10, 0, -50)}, false);
    EXPECT_EQ(DrawOne(), (RGBA{0, 0, 0, 0})) << "the centre of the view is left of the bar";
    const int shift = int(64 + 10 / (50 * 0.41421356) * 64); // x of the bar's centre
    EXPECT_EQ(ReadPixel(shift, 64), (RGBA{255, 0, 0, 255}));
    EXPECT_EQ(ReadPixel(shift, 64 + 12).r, 0) << "the bar is only 4 units tall";

    // Turned a quarter about z the bar stands upright.
    manager.bottles[0].pos = VECTOR3D(0, 0, -50);
    Turn(0, VECTOR3D(0, 0, 90));
    DrawOne();
    EXPECT_EQ(ReadPixel(64, 64 + 12).r, 255);
    EXPECT_EQ(ReadPixel(64 + 12, 64).r, 0);

    // Lit from the viewer's side, the face turned towards it shows its full
    // colour by its normals; turned away, only the ambient light.
    const GLfloat towards[] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, towards);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    EXPECT_GT(DrawOne().r, 250);
    Turn(0, VECTOR3D(0, 180, 90));
    EXPECT_LT(DrawOne().r, 80);
}

TEST_F(BottleDrawTest, ANearBottleIsBlendedOverAFarOne) {
    // Listed near first: only the sort puts the red far sheet under the green
    // one. Back to front gives green over red; front to back would leave the
    // far sheet hidden behind the near one's depth.
    Place({Quads({{12, 12, 0, 0}}, {Solid(0, 255, 0)}, 128),
           Quads({{12, 12, 0, 0}}, {Solid(255, 0, 0)}, 128)},
          {VECTOR3D(0, 0, -50), VECTOR3D(0, 0, -80)});
    for (int frame = 0; frame < 3; frame++) {
        const RGBA c = Frame();
        EXPECT_NEAR(c.r, 64, 4) << "frame " << frame << ": " << c;
        EXPECT_NEAR(c.g, 128, 4) << "frame " << frame << ": " << c;
        EXPECT_LT(manager.bottles[0].pos.z, manager.bottles[1].pos.z) << "far first in the array";
    }
}

TEST_F(BottleDrawTest, GlassWithinABottleStaysBackToFrontFrameAfterFrame) {
    // Two green sheets, the near one first in the file. Blended back to front
    // both show (about 191); any frame that sorts them by the wrong
    // triangle's depth draws the near one first and shows only it (128).
    Place({Quads({{10, 10, 2, 0}, {10, 10, -2, 0}}, {Solid(0, 255, 0)}, 128)},
          {VECTOR3D(0, 0, -50)});
    for (int frame = 0; frame < 4; frame++)
        EXPECT_NEAR(Frame().g, 191, 4) << "frame " << frame;
    // Turned half round about y the file's far sheet is in front: still both.
    manager.bottles[0].angle = VECTOR3D(0, 180, 0);
    for (int frame = 0; frame < 3; frame++)
        EXPECT_NEAR(Frame().g, 191, 4) << "turned, frame " << frame;
}

TEST_F(BottleDrawTest, LabelsShowTheirTopUpAndTurnFromTheAnglesBeforeTheStep) {
    // An 8 by 8 label: top half red on the left and green on the right,
    // bottom half blue; in front of black glass.
    brew::Image label = fixtures::Solid(8, 8, 0, 0, 255);
    for (uint32_t y = 0; y < 4; y++)
        for (uint32_t x = 0; x < 8; x++) {
            uint8_t* p = label.At(x, y);
            p[0] = x < 4 ? 255 : 0;
            p[1] = x < 4 ? 0 : 255;
            p[2] = 0;
        }
    Place({Quads({{12, 12, 0, 0}, {12, 12, 0.5f, 1}}, {Solid(0, 0, 0), label}, 128)},
          {VECTOR3D(0, 0, -50)});
    const RGBA red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
    const int q = 9; // a quarter of the label, in pixels
    // Spinning a quarter turn a second about z; each frame draws the bottle
    // as it stood before that frame's step.
    manager.bottles[0].spin = VECTOR3D(0, 0, 90);
    Frame(1.0);
    EXPECT_EQ(ReadPixel(64 - q, 64 + q), red) << "top left";
    EXPECT_EQ(ReadPixel(64 + q, 64 + q), green) << "top right";
    EXPECT_EQ(ReadPixel(64 - q, 64 - q), blue) << "bottom";
    EXPECT_EQ(ReadPixel(64 + q, 64 - q), blue) << "bottom";
    // A quarter turn about z takes the label's top to the right.
    Frame(1.0);
    EXPECT_EQ(ReadPixel(64 + q, 64 + q), red);
    EXPECT_EQ(ReadPixel(64 + q, 64 - q), green);
    EXPECT_EQ(ReadPixel(64 - q, 64 + q), blue);
    EXPECT_EQ(ReadPixel(64 - q, 64 - q), blue);
}

TEST_F(BottleDrawTest, LabelFrontFacesAfterTheGlassBackFacesBeforeMissingSlotsNever) {
    // A glass sheet and, one unit in front of it, a blue label facing +z;
    // groups naming slot 5 (none) or -1 (never a label) beside it are glass.
    Place({Quads({{12, 12, 0, 0}, {6, 6, 1, 1}, {3, 3, 1, 5, 5}, {3, 3, 1, -1, -5}},
                 {Solid(0, 255, 0), Solid(0, 0, 255)}, 128)},
          {VECTOR3D(0, 0, -50)});
    // Seen from the front the label is drawn last, unblended by the glass.
    RGBA c = DrawOne();
    EXPECT_GT(c.b, 200) << c;
    EXPECT_LT(c.g, 40) << c;
    for (int x : {64 - 18, 64 + 18}) {
        const RGBA side = ReadPixel(x, 64); // outside the label only glass
        EXPECT_EQ(side.b, 0) << side;
        EXPECT_GT(side.g, 90) << side;
    }

    // Turned round, the label is behind the glass and shows its back face,
    // which is drawn before the glass and so shows through it.
    Turn(0, VECTOR3D(0, 180, 0));
    c = DrawOne();
    EXPECT_GT(c.b, 40) << "the back of the label shows through the glass " << c;
    EXPECT_GT(c.g, 60) << c;
}

TEST_F(BottleDrawTest, TheShinePassWithGoodShineTheSphereMapWithout) {
    // Red corners, blue elsewhere: the flat glass samples the corner texel,
    // the sphere map samples the middle for a surface facing the viewer.
    Place({Quads({{12, 12, 0, 0}},
                 {fixtures::WithCorners(fixtures::Solid(8, 8, 0, 0, 255), 255, 0, 0)})},
          {VECTOR3D(0, 0, -50)}, false);
    RGBA c = DrawOne();
    EXPECT_GT(c.b, 200) << c;
    EXPECT_LT(c.r, 40) << c;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

    manager.goodShine = true;
    manager.types[0].alpha = 1.0f;
    c = DrawOne();
    EXPECT_GT(c.r, 190) << c;
    EXPECT_LT(c.b, 40) << c;
    // A white shine over the glass adds an eighth of white.
    Shine(255);
    c = DrawOne();
    EXPECT_GT(c.r, 250) << c;
    EXPECT_NEAR(c.b, 32, 3) << c;
}

namespace {

class BottleTypeTest : public GLFixture {
  protected:
    // Writes the bottle and points a record at it.
    void Prepare(BOTTLEINFO& info, const fixtures::BottleSpec& spec) {
        fixtures::Write(tmp / "t.brew", spec);
        std::snprintf(info.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
        std::snprintf(info.fileName, BOTTLE_PATH_SIZE, "t.brew");
    }
    // The alpha bytes OpenGL holds for a texture, smallest first.
    std::vector<uint8_t> Alphas(unsigned texID) {
        std::vector<uint8_t> a;
        for (const RGBA& p : TexturePixels(texID))
            a.push_back(p.a);
        std::sort(a.begin(), a.end());
        return a;
    }

    TempDir tmp;
    ErrorLog log;
};

} // namespace

TEST_F(BottleTypeTest, LoadsOnceWithTheHeaderValuesOrFailsRetryably) {
    for (uint8_t alpha : {128, 0, 255}) {
        fixtures::BottleSpec spec = fixtures::Upright("Ale");
        spec.alpha = alpha;
        spec.tag = 9;
        spec.flags = 4;
        BOTTLEINFO info;
        Prepare(info, spec);
        ASSERT_TRUE(info.LoadData("ignored/", 0.5f, true));
        EXPECT_TRUE(info.loaded);
        EXPECT_FLOAT_EQ(info.alpha, float(alpha / 255.0));
        EXPECT_TRUE(info.tag == 9 && info.flags == 4 && info.numTextures == 2);
        EXPECT_EQ(info.numTris, int(spec.model.triangles.size()));
        // The second load does nothing, even with the file gone.
        const MS3D* model = info.model;
        std::remove((tmp / "t.brew").c_str());
        EXPECT_TRUE(info.LoadData("", 2.0f, false));
        EXPECT_EQ(info.model, model);
        EXPECT_FLOAT_EQ(info.size, 0.5f);
    }
    // A model and no texture lump fails, leaving the type unloaded and retryable.
    fixtures::BottleSpec lonely = fixtures::Upright("Lonely");
    lonely.slots.clear();
    BOTTLEINFO info;
    Prepare(info, lonely);
    EXPECT_FALSE(info.LoadData("", 1.0f, true));
    EXPECT_FALSE(info.loaded);

    std::snprintf(info.fileName, BOTTLE_PATH_SIZE, "gone.brew");
    EXPECT_FALSE(info.LoadData("", 1.0f, true));
    EXPECT_TRUE(log.Saw("Unable to load currency!"));

    // Once the file is good again the same record loads.
    Prepare(info, fixtures::Upright("Fixed"));
    EXPECT_TRUE(info.LoadData("", 1.0f, true));
    EXPECT_TRUE(info.loaded);
}

// The model is scaled by the size it is loaded at; then come each triangle's
// centre and the bounds, which start from plus and minus one: a mesh above
// y = 1 keeps bottom 1, one below y = -1 and left of x = -1 keeps top and
// radius. The top is lowered by 0.35 of the radius.
TEST_F(BottleTypeTest, TriangleCentresBoundsAndSlotsFromTheFile) {
    struct Case {
        float cx, cy, top, bottom, radius;
    };
    for (const Case& c : {Case{0, 5, 12 - 0.35f, 1, 1}, Case{-5, -5, -0.65f, -12, -1}}) {
        fixtures::BottleSpec spec;
        fixtures::AddQuad(spec.model, c.cx, c.cy, 2, 1, 2, 0);
        spec.slots = {fixtures::Solid(2, 2, 1, 1, 1)};
        BOTTLEINFO info;
        Prepare(info, spec);
        ASSERT_TRUE(info.LoadData("", 2.0f, true));
        ASSERT_EQ(info.numTris, 2);
        // Corners (x0, y0), (x1, y0), (x1, y1), then (x0, y0), (x1, y1), (x0, y1).
        for (int t = 0; t < 2; t++) {
            EXPECT_FLOAT_EQ(info.triCentres[t].x, 2 * c.cx + (t ? -1 : 1) / 3.0f);
            EXPECT_FLOAT_EQ(info.triCentres[t].y, 2 * c.cy + (t ? 2 : -2) / 3.0f);
            EXPECT_FLOAT_EQ(info.triCentres[t].z, 4);
        }
        EXPECT_FLOAT_EQ(info.top, c.top);
        EXPECT_FLOAT_EQ(info.bottom, c.bottom);
        EXPECT_FLOAT_EQ(info.radius, c.radius);
    }
    // Slots follow the lump types, and the shine pass makes only the glass opaque.
    fixtures::BottleSpec spec = fixtures::Upright("Slots");
    // Glass keyed on its first pixel, slot 1 not an image, slot 2 by brightness.
    brew::Image glass = fixtures::Solid(2, 2, 10, 20, 30);
    glass.At(1, 1)[0] = 200;
    brew::Image label = fixtures::Solid(2, 2, 0, 0, 0);
    label.At(1, 0)[1] = 200;
    spec.slots = {glass, brew::Image(), label};
    spec.alphaModes = {1, 0, 2};
    const std::vector<uint8_t> keyed = {0, 0, 0, 255}, bright = {0, 0, 0, 200};
    for (bool shine : {true, false}) {
        BOTTLEINFO info;
        Prepare(info, spec);
        ASSERT_TRUE(info.LoadData("", 1.0f, shine));
        ASSERT_EQ(info.numTextures, 3);
        EXPECT_EQ(info.textures[1].texID, 0u);
        EXPECT_EQ(Alphas(info.textures[0].texID), shine ? std::vector<uint8_t>(4, 255) : keyed)
            << "the shine pass wants opaque glass";
        EXPECT_EQ(Alphas(info.textures[2].texID), bright);
    }
}
