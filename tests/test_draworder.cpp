#include "BottleFiles.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "bottles/MainClass.h"

#include <GL/glu.h>
#include <string>
#include <vector>

// What whole frames of bottles look like: glass blends back to front, between
// bottles and within one, frame after frame; labels keep their top up and
// turn the way the angles say, from the angles before each step.

namespace {

// An 8 by 8 label: top half red on the left and green on the right, bottom
// half blue.
brew::Image Label() {
    brew::Image image = fixtures::Solid(8, 8, 0, 0, 255);
    for (uint32_t y = 0; y < 4; y++)
        for (uint32_t x = 0; x < 8; x++) {
            uint8_t* p = image.At(x, y);
            p[0] = x < 4 ? 255 : 0;
            p[1] = x < 4 ? 0 : 255;
            p[2] = 0;
        }
    return image;
}

// A half-transparent glass sheet of one colour.
fixtures::BottleSpec Sheet(uint8_t r, uint8_t g, uint8_t b) {
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, 12, 12, 0);
    spec.slots = {fixtures::Solid(4, 4, r, g, b)};
    spec.alpha = 128;
    return spec;
}

class DrawOrderTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        UseBottleState();
        manager.frustum.ExtractFrustumFaster();
        // Flat glass at the type's alpha under a shine that adds nothing.
        const std::vector<uint8_t> clear(4 * 4 * 4, 0);
        glGenTextures(1, &shine);
        glBindTexture(GL_TEXTURE_2D, shine);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        manager.shineTex = shine;
        manager.goodShine = true;
        manager.playSound = false;
    }
    void TearDown() override {
        manager.Cleanup();
        manager.CleanupBottleList();
        glDeleteTextures(1, &shine);
        GLFixture::TearDown();
    }

    // One still bottle per spec, in array order, at the given places.
    void Place(const std::vector<fixtures::BottleSpec>& specs,
               const std::vector<VECTOR3D>& places) {
        const int n = int(specs.size());
        manager.types = new BOTTLEINFO[n];
        manager.numTypes = n;
        manager.bottles = new ONEBOTTLE[n];
        manager.numBottles = n;
        for (int i = 0; i < n; i++) {
            const std::string file = "b" + std::to_string(i) + ".brew";
            fixtures::Write(tmp / file, specs[i]);
            BOTTLEINFO& type = manager.types[i];
            std::snprintf(type.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
            std::snprintf(type.fileName, BOTTLE_PATH_SIZE, "%s", file.c_str());
            ASSERT_TRUE(type.LoadData("", 1.0f, true));
            ONEBOTTLE& b = manager.bottles[i];
            b.Load(&type);
            b.pos = places[i];
            b.vel = b.angle = b.spin = VECTOR3D(0, 0, 0);
        }
    }
    RGBA Frame(double dt = 0.0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        manager.DrawBottles(dt);
        return ReadPixel(64, 64);
    }

    TempDir tmp;
    MAINCLASS manager;
    GLuint shine = 0;
};

} // namespace

TEST_F(DrawOrderTest, ANearBottleIsBlendedOverAFarOne) {
    // Listed near first: only the sort puts the red far sheet under the green
    // one. Back to front gives green over red; front to back would leave the
    // far sheet hidden behind the near one's depth.
    Place({Sheet(0, 255, 0), Sheet(255, 0, 0)}, {VECTOR3D(0, 0, -50), VECTOR3D(0, 0, -80)});
    for (int frame = 0; frame < 3; frame++) {
        const RGBA c = Frame();
        EXPECT_NEAR(c.r, 64, 4) << "frame " << frame << ": " << c;
        EXPECT_NEAR(c.g, 128, 4) << "frame " << frame << ": " << c;
        EXPECT_LT(manager.bottles[0].pos.z, manager.bottles[1].pos.z) << "far first in the array";
    }
}

TEST_F(DrawOrderTest, GlassWithinABottleStaysBackToFrontFrameAfterFrame) {
    // Two green sheets, the near one first in the file. Blended back to front
    // both show (about 191); any frame that sorts them by the wrong
    // triangle's depth draws the near one first and shows only it (128).
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 2, 10, 10, 0);
    fixtures::AddQuad(spec.model, 0, 0, -2, 10, 10, 0);
    spec.slots = {fixtures::Solid(4, 4, 0, 255, 0)};
    spec.alpha = 128;
    Place({spec}, {VECTOR3D(0, 0, -50)});
    for (int frame = 0; frame < 4; frame++)
        EXPECT_NEAR(Frame().g, 191, 4) << "frame " << frame;

    // Turned half round about y the file's far sheet is in front: still both.
    manager.bottles[0].angle = VECTOR3D(0, 180, 0);
    for (int frame = 0; frame < 3; frame++)
        EXPECT_NEAR(Frame().g, 191, 4) << "turned, frame " << frame;
}

TEST_F(DrawOrderTest, LabelsShowTheirTopUpAndTurnFromTheAnglesBeforeTheStep) {
    fixtures::BottleSpec spec;
    fixtures::AddQuad(spec.model, 0, 0, 0, 12, 12, 0);
    fixtures::AddQuad(spec.model, 0, 0, 0.5f, 12, 12, 1);
    spec.slots = {fixtures::Solid(4, 4, 0, 0, 0), Label()};
    spec.alpha = 128;
    Place({spec}, {VECTOR3D(0, 0, -50)});
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
