#include "BottleFiles.h"
#include "ErrorLog.h"
#include "TempDir.h"
#include "bottles/MainClass.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        first = tmp.Subdir("res") + "/";
        second = tmp.Subdir("user") + "/";
    }
    void Bottle(const std::string& folder, const std::string& file, const std::string& name) {
        fixtures::Write(folder + file, fixtures::Upright(name));
    }
    void Text(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    bool Build() {
        std::snprintf(manager.bottlePath, sizeof manager.bottlePath, "%s", first.c_str());
        std::snprintf(manager.bottlePath2, sizeof manager.bottlePath2, "%s", second.c_str());
        return manager.BuildBottleList();
    }
    std::set<std::string> FileNames() const {
        std::set<std::string> names;
        for (int i = 0; i < manager.numTypes; i++)
            names.insert(manager.types[i].fileName);
        return names;
    }

    TempDir tmp;
    std::string first, second;
    MAINCLASS manager;
    ErrorLog log;
};

} // namespace

TEST_F(CatalogueTest, NoBottleDataAnywhere) {
    EXPECT_FALSE(Build());
    EXPECT_TRUE(log.Saw("No Bottle Data Found!"));
    EXPECT_EQ(manager.numTypes, 0);

    MAINCLASS missing;
    std::snprintf(missing.bottlePath, sizeof missing.bottlePath, "%s", (tmp / "nowhere/").c_str());
    EXPECT_FALSE(missing.BuildBottleList());
    missing.CleanupBottleList();
    missing.CleanupBottleList();
}

TEST_F(CatalogueTest, OnlyValidBrewFilesAreListed) {
    Bottle(first, "stout.brew", "Stout");
    Text(first + "notes.txt", "not a bottle");
    Text(first + "fake.brew", "not a bottle either");
    Bottle(first, "Lager.BREW", "Lager"); // extension is case-sensitive
    // A bottle whose size check no longer matches: one byte appended.
    Bottle(first, "broken.brew", "Broken");
    std::ofstream(first + "broken.brew", std::ios::app | std::ios::binary) << 'x';

    ASSERT_TRUE(Build());
    ASSERT_EQ(manager.numTypes, 1);
    EXPECT_STREQ(manager.types[0].fileName, "stout.brew");
    EXPECT_STREQ(manager.types[0].folder, first.c_str());
    EXPECT_STREQ(manager.types[0].name, "Stout");
    EXPECT_FALSE(manager.types[0].loaded);
    EXPECT_TRUE(manager.types[0].selected);
}

TEST_F(CatalogueTest, HeaderValuesAndBothFoldersInOrder) {
    fixtures::BottleSpec spec =
        fixtures::Upright("A name of exactly forty-nine characters, no more!");
    spec.tag = 7;
    spec.flags = 6;
    fixtures::Write(first + "a.brew", spec);
    Bottle(second, "b.brew", "User Bottle");
    Bottle(second, "a.brew", "Same file name, other folder");

    ASSERT_TRUE(Build());
    ASSERT_EQ(manager.numTypes, 3);
    // The resource folder comes first.
    EXPECT_STREQ(manager.types[0].folder, first.c_str());
    EXPECT_STREQ(manager.types[0].name, "A name of exactly forty-nine characters, no more!");
    EXPECT_EQ(manager.types[0].tag, 7);
    EXPECT_EQ(manager.types[0].flags, 6u);
    EXPECT_STREQ(manager.types[1].folder, second.c_str());
    EXPECT_STREQ(manager.types[2].folder, second.c_str());

    // A selection switches off only the first entry of a duplicated name.
    EXPECT_EQ(manager.FindBottle("a.brew"), 0);
    ASSERT_TRUE(manager.FindBottleSelection("a.brew###", 10));
    EXPECT_FALSE(manager.types[0].selected);
    int userA = std::string(manager.types[1].fileName) == "a.brew" ? 1 : 2;
    EXPECT_TRUE(manager.types[userA].selected);
    EXPECT_EQ(manager.numSelected, 2);
}

TEST_F(CatalogueTest, ExactlyDotBrewIsListedButNotCounted) {
    Bottle(first, "real.brew", "Real");
    Bottle(first, ".brew", "Hidden");
    ASSERT_TRUE(Build());
    // Counting sees one file, so whichever the listing meets first fills the
    // single place; never more entries than counted.
    EXPECT_EQ(manager.numTypes, 1);
}

TEST_F(CatalogueTest, SelectionTextSwitchesTypesOff) {
    Bottle(first, "a.brew", "A");
    ASSERT_TRUE(Build());
    manager.CleanupBottleList();
    // Build a three-entry catalogue in a known order by hand.
    manager.types = new BOTTLEINFO[3];
    manager.numTypes = 3;
    std::snprintf(manager.types[0].fileName, BOTTLE_PATH_SIZE, "a.brew");
    std::snprintf(manager.types[1].fileName, BOTTLE_PATH_SIZE, "b.brew");
    std::snprintf(manager.types[2].fileName, BOTTLE_PATH_SIZE, "c.brew");
    // Each text with the length it is given, and the indices left on.
    const char all[] = "a.brew#b.brew#c.brew###";
    struct Row {
        const char* text;
        int64_t length;
        std::vector<int> on;
    } rows[] = {
        {"a.brew#b.brew###", 17, {2}},
        {"##", 3, {0, 1, 2}},
        {all, sizeof all, {0, 1, 2}},       // everything off switches everything on
        {"#a.brew#", 9, {0, 1, 2}},         // a leading empty name ends the list
        {"zzz.brew#b.brew", 16, {0, 1, 2}}, // unknown, and without its "#"
        {"c.brew#a.brew#", 7, {0, 1}},      // the length bounds the reading
        {nullptr, 0, {0, 1, 2}},
    };
    for (const Row& r : rows) {
        for (int i = 0; i < 3; i++)
            manager.types[i].selected = true;
        ASSERT_TRUE(manager.FindBottleSelection(r.text, r.length));
        EXPECT_EQ(std::vector<int>(manager.selection, manager.selection + manager.numSelected),
                  r.on)
            << (r.text != nullptr ? r.text : "(none)");
    }
}

TEST_F(CatalogueTest, LongSelectionNamesMatchWholeOrNotAtAll) {
    const std::string longName(60, 'x');
    Bottle(first, longName + ".brew", "Long");
    Bottle(first, "short.brew", "Short");
    ASSERT_TRUE(Build());
    const int index = manager.FindBottle((longName + ".brew").c_str());
    ASSERT_GE(index, 0);

    // A prefix of the long name must not switch it off.
    std::string text = longName.substr(0, 39) + "#" + std::string(5000, 'y') + "###";
    ASSERT_TRUE(manager.FindBottleSelection(text.c_str(), int64_t(text.size()) + 1));
    EXPECT_TRUE(manager.types[index].selected);
    EXPECT_EQ(manager.numSelected, 2);

    text = longName + ".brew###";
    ASSERT_TRUE(manager.FindBottleSelection(text.c_str(), int64_t(text.size()) + 1));
    EXPECT_FALSE(manager.types[index].selected);
    EXPECT_EQ(manager.numSelected, 1);
}

TEST_F(CatalogueTest, BottleFileExistsComparesDisplayNamesInTheUserFolderOnly) {
    Bottle(first, "lager.brew", "Golden Lager");
    Bottle(second, "whatever.brew", "Dark Stout");
    std::snprintf(manager.bottlePath, sizeof manager.bottlePath, "%s", first.c_str());
    std::snprintf(manager.bottlePath2, sizeof manager.bottlePath2, "%s", second.c_str());
    EXPECT_TRUE(manager.BottleFileExists("Dark Stout"));
    EXPECT_FALSE(manager.BottleFileExists("Dark Stou"));
    EXPECT_FALSE(manager.BottleFileExists("Dark Stout "));
    EXPECT_FALSE(manager.BottleFileExists("Golden Lager")); // only in the resource folder
    EXPECT_FALSE(manager.BottleFileExists("whatever.brew"));

    std::snprintf(manager.bottlePath2, sizeof manager.bottlePath2, "%s", (tmp / "none/").c_str());
    EXPECT_FALSE(manager.BottleFileExists("Dark Stout"));
}

TEST_F(CatalogueTest, CountFilesNeedsANameBeforeTheExtension) {
    Bottle(first, "one.brew", "One");
    Bottle(first, ".brew", "Dot");
    Bottle(second, "two.brew", "Two");
    EXPECT_EQ(CountFiles(first.c_str(), second.c_str(), ".brew"), 2);
    EXPECT_EQ(CountFiles(first.c_str(), (tmp / "missing/").c_str(), ".brew"), 1);
}
