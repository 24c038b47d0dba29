#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "scene/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void Bottle(const std::string& path, const std::string& name) {
        fixtures::Write(path, fixtures::Upright(name));
    }
    bool Build(const std::string& second) {
        std::snprintf(manager.bottlePath, sizeof manager.bottlePath, "%s", first.c_str());
        std::snprintf(manager.bottlePath2, sizeof manager.bottlePath2, "%s", second.c_str());
        return manager.BuildBottleList();
    }
    std::vector<int> Selected() const {
        return std::vector<int>(manager.selection, manager.selection + manager.numSelected);
    }

    TempDir tmp;
    std::string first = tmp.Subdir("res") + "/", user = tmp.Subdir("user") + "/";
    MAINCLASS manager;
    ErrorLog log;
};

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

TEST_F(PopulationTest, TypesLoadOnlyWhenABottleTakesThemAndNeverWhenTheyFail) {
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

    // A type that validates as a container but whose model is garbage is never given.
    settings.NUM_BOTTLES = 5;
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

TEST_F(CatalogueTest, ValidBrewFilesOfBothFoldersInOrderWithTheirHeaders) {
    fixtures::BottleSpec spec =
        fixtures::Upright("A name of exactly forty-nine characters, no more!");
    spec.tag = 7;
    spec.flags = 6;
    fixtures::Write(first + "a.brew", spec);
    std::ofstream(first + "notes.txt") << "not a bottle";
    std::ofstream(first + "fake.brew") << "not a bottle either";
    Bottle(first + "Lager.BREW", "Lager"); // the extension is case-sensitive
    // A bottle whose size check no longer matches: one byte appended.
    Bottle(first + "broken.brew", "Broken");
    std::ofstream(first + "broken.brew", std::ios::app | std::ios::binary) << 'x';
    Bottle(user + "a.brew", "Same file name, other folder");

    ASSERT_TRUE(Build(user));
    ASSERT_EQ(manager.numTypes, 2);
    EXPECT_STREQ(manager.types[0].folder, first.c_str()) << "the resource folder comes first";
    EXPECT_STREQ(manager.types[0].fileName, "a.brew");
    EXPECT_STREQ(manager.types[0].name, "A name of exactly forty-nine characters, no more!");
    EXPECT_EQ(manager.types[0].tag, 7);
    EXPECT_EQ(manager.types[0].flags, 6u);
    EXPECT_STREQ(manager.types[1].folder, user.c_str());
    EXPECT_STREQ(manager.types[1].name, "Same file name, other folder");

    // A selection switches off only the first entry of a duplicated name.
    ASSERT_TRUE(manager.FindBottleSelection("a.brew###", 10));
    EXPECT_EQ(Selected(), std::vector<int>{1});

    // ".brew" alone is no name: not counted, so it never adds an entry.
    Bottle(user + ".brew", "Hidden");
    EXPECT_EQ(CountFiles(first.c_str(), user.c_str(), ".brew"), 2);
    EXPECT_EQ(CountFiles(first.c_str(), (tmp / "missing/").c_str(), ".brew"), 1);
    manager.CleanupBottleList();
    ASSERT_TRUE(Build(user));
    EXPECT_EQ(manager.numTypes, 2);
}

TEST_F(CatalogueTest, SelectionTextSwitchesTypesOff) {
    const std::string longName(60, 'x');
    for (const char* name : {"a.brew", "b.brew", "c.brew"}) {
        Bottle(first + name, name);
    }
    Bottle(user + longName + ".brew", "Long");
    ASSERT_TRUE(Build(user));
    ASSERT_EQ(manager.numTypes, 4);
    const int a = manager.FindBottle("a.brew"), b = manager.FindBottle("b.brew"),
              c = manager.FindBottle("c.brew"),
              l = manager.FindBottle((longName + ".brew").c_str());
    ASSERT_EQ(l, 3) << "the user's folder comes last";
    // Each text with the length it is given, and the types left on.
    const std::string all = "a.brew#b.brew#c.brew#" + longName + ".brew###";
    const std::string prefix = longName.substr(0, 39) + "#" + std::string(5000, 'y') + "###";
    const struct {
        std::string text;
        int64_t length;
        std::vector<int> on;
    } rows[] = {
        {"a.brew#b.brew###", 17, {c, l}},
        {"##", 3, {a, b, c, l}},
        {all, int64_t(all.size()) + 1, {a, b, c, l}},       // everything off switches everything on
        {"#a.brew#", 9, {a, b, c, l}},                      // a leading empty name ends the list
        {"zzz.brew#b.brew", 16, {a, b, c, l}},              // unknown, and without its "#"
        {"c.brew#a.brew#", 7, {a, b, l}},                   // the length bounds the reading
        {prefix, int64_t(prefix.size()) + 1, {a, b, c, l}}, // a prefix does not match
        {longName + ".brew#", 66, {a, b, c}},
        {"", 0, {a, b, c, l}}, // no text at all
    };
    for (const auto& r : rows) {
        for (int i = 0; i < manager.numTypes; i++) {
            manager.types[i].selected = true;
        }
        ASSERT_TRUE(manager.FindBottleSelection(r.length > 0 ? r.text.c_str() : nullptr, r.length));
        std::vector<int> on = r.on;
        std::sort(on.begin(), on.end());
        EXPECT_EQ(Selected(), on) << r.text.substr(0, 40);
    }
}
