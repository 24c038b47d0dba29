#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "assets/Texture.h"
#include "bottles/BottleData.h"
#include "model/MilkshapeModel.h"

#include "brewlib/TgaWriter.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class BottleTypeTest : public GLFixture {
  protected:
    // Writes the bottle and points a fresh record at it.
    void Prepare(const fixtures::BottleSpec& spec) {
        fixtures::Write(tmp / "t.brew", spec);
        std::snprintf(info.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
        std::snprintf(info.fileName, BOTTLE_PATH_SIZE, "t.brew");
    }
    // The alpha bytes OpenGL holds for a texture.
    std::vector<uint8_t> Alphas(unsigned texID, int w, int h) {
        std::vector<uint8_t> rgba(size_t(w) * h * 4);
        glBindTexture(GL_TEXTURE_2D, texID);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        std::vector<uint8_t> a;
        for (size_t i = 3; i < rgba.size(); i += 4)
            a.push_back(rgba[i]);
        return a;
    }

    TempDir tmp;
    ErrorLog log;
    BOTTLEINFO info;
};

} // namespace

TEST_F(BottleTypeTest, LoadsOnceWithScaledModelAndHeaderValues) {
    fixtures::BottleSpec spec = fixtures::Upright("Ale", 20.0f, 3.0f);
    spec.alpha = 128;
    spec.tag = 9;
    spec.flags = 4;
    Prepare(spec);

    ASSERT_TRUE(info.LoadData("ignored/", 0.5f, true));
    EXPECT_TRUE(info.loaded);
    EXPECT_FLOAT_EQ(info.alpha, float(128 / 255.0));
    EXPECT_EQ(info.tag, 9);
    EXPECT_EQ(info.flags, 4u);
    EXPECT_FLOAT_EQ(info.size, 0.5f);
    EXPECT_EQ(info.numTextures, 2);
    EXPECT_EQ(info.numTris, int(spec.model.triangles.size()));
    // Box from -10..10 in y and -3..3 in x, the label at x up to 2.25: scaled by 0.5.
    EXPECT_FLOAT_EQ(info.bottom, -5.0f);
    EXPECT_FLOAT_EQ(info.radius, 1.5f);
    EXPECT_FLOAT_EQ(info.top, float(5.0 + 1.5 * -0.35));
    EXPECT_FLOAT_EQ(info.model->vertices[0].location[0], -1.5f);

    // The second load does nothing, even with the file gone.
    const MS3D* model = info.model;
    std::remove((tmp / "t.brew").c_str());
    EXPECT_TRUE(info.LoadData("", 2.0f, false));
    EXPECT_EQ(info.model, model);
    EXPECT_FLOAT_EQ(info.size, 0.5f);
}

TEST_F(BottleTypeTest, HeaderAlphaEnds) {
    for (int a : {0, 255}) {
        fixtures::BottleSpec spec = fixtures::Upright("Clear");
        spec.alpha = uint8_t(a);
        Prepare(spec);
        BOTTLEINFO fresh;
        std::snprintf(fresh.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
        std::snprintf(fresh.fileName, BOTTLE_PATH_SIZE, "t.brew");
        ASSERT_TRUE(fresh.LoadData("", 1.0f, true));
        EXPECT_EQ(fresh.alpha, a == 0 ? 0.0f : 1.0f);
    }
}

TEST_F(BottleTypeTest, TriangleCentresAndBoundsFromTheScaledMesh) {
    fixtures::BottleSpec spec;
    brew::Ms3dVertex v;
    const float points[][3] = {{0, 0, 3}, {3, 0, 0}, {0, 3, 0}, {0.2f, -0.5f, 0}, {0, 0.5f, 0}};
    for (auto& p : points) {
        v.location[0] = p[0];
        v.location[1] = p[1];
        v.location[2] = p[2];
        spec.model.vertices.push_back(v);
    }
    brew::Ms3dTriangle t;
    t.vertexIndices[0] = 0;
    t.vertexIndices[1] = 1;
    t.vertexIndices[2] = 2;
    spec.model.triangles.push_back(t);
    spec.slots = {fixtures::Solid(2, 2, 9, 9, 9)};
    Prepare(spec);

    ASSERT_TRUE(info.LoadData("", 1.0f, true));
    ASSERT_EQ(info.numTris, 1);
    EXPECT_FLOAT_EQ(info.triCentres[0].x, 1.0f);
    EXPECT_FLOAT_EQ(info.triCentres[0].y, 1.0f);
    EXPECT_FLOAT_EQ(info.triCentres[0].z, 1.0f);
    EXPECT_FLOAT_EQ(info.top, float(3.0 + 3.0 * -0.35));
    EXPECT_FLOAT_EQ(info.bottom, -0.5f);
    EXPECT_FLOAT_EQ(info.radius, 3.0f);
}

TEST_F(BottleTypeTest, BoundsStartFromPlusMinusOne) {
    // Everything above y = 1: bottom keeps 1.0. Everything below y = -1 and
    // left of x = -1: top and radius keep their starting values.
    fixtures::BottleSpec high;
    fixtures::AddQuad(high.model, 0, 5, 0, 1, 2, 0);
    high.slots = {fixtures::Solid(2, 2, 1, 1, 1)};
    Prepare(high);
    ASSERT_TRUE(info.LoadData("", 1.0f, true));
    EXPECT_FLOAT_EQ(info.bottom, 1.0f);

    fixtures::BottleSpec low;
    fixtures::AddQuad(low.model, -5, -5, 0, 1, 2, 0);
    low.slots = {fixtures::Solid(2, 2, 1, 1, 1)};
    fixtures::Write(tmp / "low.brew", low);
    BOTTLEINFO other;
    std::snprintf(other.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
    std::snprintf(other.fileName, BOTTLE_PATH_SIZE, "low.brew");
    ASSERT_TRUE(other.LoadData("", 1.0f, true));
    EXPECT_FLOAT_EQ(other.radius, -1.0f);
    EXPECT_FLOAT_EQ(other.top, float(-1.0 + -1.0 * -0.35));
}

TEST_F(BottleTypeTest, SlotsFollowLumpTypesAndShineMakesTheGlassOpaque) {
    fixtures::BottleSpec spec = fixtures::Upright("Slots");
    // Glass keyed on its first pixel, slot 1 not an image, slot 2 by brightness.
    brew::Image glass = fixtures::Solid(2, 2, 10, 20, 30);
    glass.At(1, 1)[0] = 200;
    brew::Image label = fixtures::Solid(2, 2, 0, 0, 0);
    label.At(1, 0)[1] = 200;
    spec.slots = {glass, brew::Image(), label};
    spec.alphaModes = {1, 0, 2};
    Prepare(spec);

    ASSERT_TRUE(info.LoadData("", 1.0f, true));
    ASSERT_EQ(info.numTextures, 3);
    EXPECT_NE(info.textures[0].texID, 0u);
    EXPECT_EQ(info.textures[1].texID, 0u);
    EXPECT_NE(info.textures[2].texID, 0u);
    for (uint8_t a : Alphas(info.textures[0].texID, 2, 2))
        EXPECT_EQ(a, 255) << "the shine pass wants opaque glass";
    std::vector<uint8_t> labelAlpha = Alphas(info.textures[2].texID, 2, 2);
    EXPECT_EQ(*std::max_element(labelAlpha.begin(), labelAlpha.end()), 200);
    EXPECT_EQ(*std::min_element(labelAlpha.begin(), labelAlpha.end()), 0);

    // Without the shine pass the glass keeps its own alpha mode.
    BOTTLEINFO plain;
    std::snprintf(plain.folder, BOTTLE_PATH_SIZE, "%s", tmp.slash().c_str());
    std::snprintf(plain.fileName, BOTTLE_PATH_SIZE, "t.brew");
    ASSERT_TRUE(plain.LoadData("", 1.0f, false));
    std::vector<uint8_t> keyed = Alphas(plain.textures[0].texID, 2, 2);
    EXPECT_EQ(std::count(keyed.begin(), keyed.end(), 0), 3);
    EXPECT_EQ(std::count(keyed.begin(), keyed.end(), 255), 1);
}

TEST_F(BottleTypeTest, FailuresLeaveTheTypeUnloadedAndRetryable) {
    // A model and no texture lump.
    fixtures::BottleSpec lonely = fixtures::Upright("Lonely");
    lonely.slots.clear();
    Prepare(lonely);
    EXPECT_FALSE(info.LoadData("", 1.0f, true));
    EXPECT_FALSE(info.loaded);

    // A missing file.
    std::snprintf(info.fileName, BOTTLE_PATH_SIZE, "gone.brew");
    EXPECT_FALSE(info.LoadData("", 1.0f, true));
    EXPECT_TRUE(log.Saw("Unable to load currency!"));

    // A label that does not decode: the decoder says so, the type stays unloaded.
    fixtures::BottleSpec broken = fixtures::Upright("Broken");
    broken.slots[1].channels = 3;
    brew::Bytes bytes = fixtures::Encode(broken);
    // Turn the second texture lump's image type into a colour-mapped one.
    brew::Bytes tga = brew::EncodeTGA(broken.slots[1], false);
    auto where = std::search(bytes.begin() + 200, bytes.end(), tga.begin(), tga.begin() + 18);
    ASSERT_NE(where, bytes.end());
    where[2] = 1;
    std::string error;
    ASSERT_TRUE(brew::WriteFileBytes(tmp / "t.brew", bytes, &error)) << error;
    std::snprintf(info.fileName, BOTTLE_PATH_SIZE, "t.brew");
    EXPECT_FALSE(info.LoadData("", 1.0f, true));
    EXPECT_FALSE(info.loaded);
    EXPECT_FALSE(log.alerts().empty());

    // Once the file is good again the same record loads.
    Prepare(fixtures::Upright("Fixed"));
    EXPECT_TRUE(info.LoadData("", 1.0f, true));
    EXPECT_TRUE(info.loaded);
}
