#include "BottleFiles.h"
#include "ErrorLog.h"
#include "TempDir.h"
#include "bottles/MainClass.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

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

} // namespace
