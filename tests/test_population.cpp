#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "scene/Settings.h"

#include <cstdlib>
#include <cstring>

namespace {

class PopulationTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        res = tmp.Subdir("res");
        settings.NUM_BOTTLES = 5;
        settings.LBOTTLESIZE = 50;
        settings.GOODSHINE = true;
        std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s", res.c_str());
        std::snprintf(settings.BottlePath2, SETTINGS_PATH_SIZE, "ab");
        for (int i = 0; i < 3; i++)
            fixtures::Write(res + "/t" + std::to_string(i) + ".brew",
                            fixtures::Upright("Type " + std::to_string(i)));
    }
    void TearDown() override {
        delete[] settings.bottleSelection;
        manager.Cleanup();
        manager.CleanupBottleList();
        GLFixture::TearDown();
    }
    // A fresh manager set up with the given selection text.
    bool Populate(const std::string& selection, unsigned seed = 42) {
        manager.Cleanup();
        manager.CleanupBottleList();
        delete[] settings.bottleSelection;
        settings.bottleSelection = new char[selection.size() + 1];
        std::memcpy(settings.bottleSelection, selection.c_str(), selection.size() + 1);
        settings.selectionSize = int64_t(selection.size()) + 1;
        std::srand(seed);
        return manager.Setup(&settings);
    }
    int Loaded() const {
        int n = 0;
        for (int i = 0; i < manager.numTypes; i++)
            n += manager.types[i].loaded ? 1 : 0;
        return n;
    }

    TempDir tmp;
    std::string res;
    SETTINGS settings;
    MAINCLASS manager;
    ErrorLog log;
};

} // namespace

TEST_F(PopulationTest, TheStartFollowsTheRandomDrawsInOrder) {
    settings.NUM_BOTTLES = 4;
    ASSERT_TRUE(Populate("##", 5));
    EXPECT_EQ(settings.bottleSelection, nullptr) << "the selection text is consumed";
    EXPECT_FLOAT_EQ(manager.bottleScale, 0.5f);
    EXPECT_STREQ(manager.bottlePath, (res + "/").c_str()) << "a folder gets its slash";
    std::srand(5);
    // Per bottle: the pick among the switched-on types (all three, in
    // catalogue order), then pos (z, y, x), vel (z, y, x), angle and spin.
    for (int i = 0; i < 4; i++) {
        int r[13];
        for (int& v : r)
            v = std::rand();
        const ONEBOTTLE& b = manager.bottles[i];
        EXPECT_EQ(b.info, &manager.types[r[0] % 3]) << "bottle " << i;
        EXPECT_TRUE(b.info->loaded && b.model == b.info->model);
        const VECTOR3D pos(float(r[3] % 50 - 25), float(r[2] % 50 - 25), float(-(r[1] % 100) - 50));
        const VECTOR3D vel(float(r[6] % 20 - 10), float(r[5] % 20 - 10), float(r[4] % 20 - 10));
        const VECTOR3D angle(float(r[9] % 360), float(r[8] % 360), float(r[7] % 360));
        const VECTOR3D spin(float(r[12] % 60 - 30), float(r[11] % 60 - 30), float(r[10] % 60 - 30));
        for (auto [got, want] :
             {std::pair{b.pos, pos}, {b.vel, vel}, {b.angle, angle}, {b.spin, spin}}) {
            EXPECT_EQ(got.x, want.x) << "bottle " << i;
            EXPECT_EQ(got.y, want.y) << "bottle " << i;
            EXPECT_EQ(got.z, want.z) << "bottle " << i;
        }
    }
}

TEST_F(PopulationTest, TypesLoadOnlyWhenABottleTakesThem) {
    // Switch off two of the three, whatever order the folder listed them in.
    ASSERT_TRUE(Populate("t0.brew#t2.brew###"));
    const int only = manager.FindBottle("t1.brew");
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(manager.bottles[i].info, &manager.types[only]);
    EXPECT_EQ(Loaded(), 1);

    settings.NUM_BOTTLES = 1;
    ASSERT_TRUE(Populate("##"));
    EXPECT_EQ(Loaded(), 1) << "one bottle loads one type";
    settings.NUM_BOTTLES = -3;
    ASSERT_TRUE(Populate("##"));
    EXPECT_EQ(manager.numBottles, 0);
    EXPECT_EQ(Loaded(), 0);
}

TEST_F(PopulationTest, TypesThatFailToLoadAreNeverGiven) {
    // A type that validates as a container but whose model is garbage.
    fixtures::BottleSpec bad = fixtures::Upright("Bad");
    bad.model.version = 9;
    fixtures::Write(res + "/bad.brew", bad);
    for (unsigned seed = 0; seed < 8; seed++) {
        ASSERT_TRUE(Populate("t1.brew#t2.brew###", seed));
        for (int i = 0; i < 5; i++) {
            ASSERT_TRUE(manager.bottles[i].info->loaded);
            EXPECT_STREQ(manager.bottles[i].info->fileName, "t0.brew");
        }
    }
    // With only broken types there is no scene.
    EXPECT_FALSE(Populate("t0.brew#t1.brew#t2.brew###"));
}
