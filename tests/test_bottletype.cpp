#include "AssetFiles.h"
#include "BottleFiles.h"
#include "ErrorLog.h"
#include "TempDir.h"
#include "assets/Texture.h"
#include "bottles/BottleData.h"
#include "model/MilkshapeModel.h"

#include <algorithm>
#include <cstdio>

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

TEST_F(BottleTypeTest, LoadsOnceWithTheHeaderValues) {
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
}

// The model is scaled by the size it is loaded at; then come each triangle's
// centre and the bounds, which start from plus and minus one: a mesh above
// y = 1 keeps bottom 1, one below y = -1 and left of x = -1 keeps top and
// radius. The top is lowered by 0.35 of the radius.
TEST_F(BottleTypeTest, TriangleCentresAndBoundsFromTheScaledMesh) {
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
}

TEST_F(BottleTypeTest, SlotsFollowLumpTypesAndShineMakesOnlyTheGlassOpaque) {
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

TEST_F(BottleTypeTest, FailuresLeaveTheTypeUnloadedAndRetryable) {
    // A model and no texture lump.
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
