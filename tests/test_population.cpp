#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "scene/Settings.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

namespace {

class PopulationTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        res = tmp.Subdir("res");
        user = tmp.Subdir("user");
        settings.NUM_BOTTLES = 5;
        settings.LBOTTLESIZE = 50;
        settings.GOODSHINE = true;
        settings.PLAYSOUND = false;
        std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s", res.c_str());
        std::snprintf(settings.BottlePath2, SETTINGS_PATH_SIZE, "%s", user.c_str());
        Select("##");
        std::srand(42);
    }
    void TearDown() override {
        delete[] settings.bottleSelection;
        manager.Cleanup();
        manager.CleanupBottleList();
        GLFixture::TearDown();
    }
    void Select(const std::string& text) {
        delete[] settings.bottleSelection;
        settings.bottleSelection = new char[text.size() + 1];
        std::memcpy(settings.bottleSelection, text.c_str(), text.size() + 1);
        settings.selectionSize = int64_t(text.size()) + 1;
    }
    void Types(int n) {
        for (int i = 0; i < n; i++)
            fixtures::Write(res + "/t" + std::to_string(i) + ".brew",
                            fixtures::Upright("Type " + std::to_string(i)));
    }
    int Loaded() const {
        int n = 0;
        for (int i = 0; i < manager.numTypes; i++)
            n += manager.types[i].loaded ? 1 : 0;
        return n;
    }

    TempDir tmp;
    std::string res, user;
    SETTINGS settings;
    MAINCLASS manager;
    ErrorLog log;
};

} // namespace

TEST_F(PopulationTest, BottlesStartInFrontOfTheViewerWithLoadedTypes) {
    Types(3);
    ASSERT_TRUE(manager.Setup(&settings));
    EXPECT_EQ(settings.bottleSelection, nullptr) << "the selection text is consumed";
    EXPECT_FLOAT_EQ(manager.bottleScale, 0.5f);
    EXPECT_EQ(manager.numBottles, 5);
    EXPECT_STREQ(manager.bottlePath, (res + "/").c_str());
    for (int i = 0; i < 5; i++) {
        const ONEBOTTLE& b = manager.bottles[i];
        ASSERT_NE(b.info, nullptr);
        EXPECT_TRUE(b.info->loaded);
        EXPECT_EQ(b.model, b.info->model);
        EXPECT_EQ(b.lastPlane, -1);
        ASSERT_EQ(b.numMids, b.info->numTris);
        EXPECT_EQ(b.mids[3].tri, 3);
        EXPECT_FLOAT_EQ(b.mids[3].mid.x, b.info->triCentres[3].x);
    }
}

TEST_F(PopulationTest, TheStartFollowsTheRandomDrawsInOrder) {
    Types(3);
    settings.NUM_BOTTLES = 4;
    std::srand(5);
    ASSERT_TRUE(manager.Setup(&settings));
    std::srand(5);
    // Per bottle: the pick among the switched-on types (all three, in
    // catalogue order), then pos (z, y, x), vel (z, y, x), angle and spin.
    for (int i = 0; i < 4; i++) {
        int r[13];
        for (int& v : r)
            v = std::rand();
        const ONEBOTTLE& b = manager.bottles[i];
        EXPECT_EQ(b.info, &manager.types[r[0] % 3]) << "bottle " << i;
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

TEST_F(PopulationTest, TypesLoadLazilyFromTheSelection) {
    Types(3);
    settings.NUM_BOTTLES = 1;
    ASSERT_TRUE(manager.Setup(&settings));
    EXPECT_EQ(Loaded(), 1) << "one bottle loads one type";
}

TEST_F(PopulationTest, ASingleSwitchedOnTypeMakesEveryBottle) {
    Types(3);
    // Switch off two of the three, whatever order the folder listed them in.
    Select("t0.brew#t2.brew###");
    ASSERT_TRUE(manager.Setup(&settings));
    const int only = manager.FindBottle("t1.brew");
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(manager.bottles[i].info, &manager.types[only]);
    EXPECT_EQ(Loaded(), 1);
}

TEST_F(PopulationTest, NoBottlesLoadsNoType) {
    Types(2);
    settings.NUM_BOTTLES = 0;
    ASSERT_TRUE(manager.Setup(&settings));
    EXPECT_EQ(manager.numTypes, 2);
    EXPECT_EQ(Loaded(), 0);

    MAINCLASS negative;
    Select("##");
    settings.NUM_BOTTLES = -3;
    ASSERT_TRUE(negative.Setup(&settings));
    EXPECT_EQ(negative.numBottles, 0);
}

TEST_F(PopulationTest, TypesThatFailToLoadAreNeverGiven) {
    Types(1);
    // A type that validates as a container but whose model is garbage.
    fixtures::BottleSpec bad = fixtures::Upright("Bad");
    bad.model.version = 9;
    fixtures::Write(res + "/bad.brew", bad);
    settings.NUM_BOTTLES = 5;
    for (unsigned seed = 0; seed < 8; seed++) {
        MAINCLASS m;
        Select("##");
        std::srand(seed);
        ASSERT_TRUE(m.Setup(&settings));
        for (int i = 0; i < 5; i++) {
            ASSERT_TRUE(m.bottles[i].info->loaded);
            EXPECT_STREQ(m.bottles[i].info->fileName, "t0.brew");
        }
    }
    // With only broken types there is no scene.
    std::remove((res + "/t0.brew").c_str());
    Select("##");
    EXPECT_FALSE(manager.Setup(&settings));
}

TEST_F(PopulationTest, FolderTextsGetTheirSlash) {
    Types(1);
    std::snprintf(settings.BottlePath2, SETTINGS_PATH_SIZE, "ab");
    ASSERT_TRUE(manager.Setup(&settings));
    EXPECT_STREQ(manager.bottlePath2, "ab");

    // A folder text that fills the whole field stays as it is.
    MAINCLASS full;
    Select("##");
    std::string longest(SETTINGS_PATH_SIZE - 1, 'x');
    std::memcpy(settings.BottlePath2, longest.c_str(), longest.size() + 1);
    ASSERT_TRUE(full.Setup(&settings));
    EXPECT_EQ(std::strlen(full.bottlePath2), longest.size());
}
