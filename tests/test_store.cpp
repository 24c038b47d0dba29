#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const std::vector<std::string> TABLE_ORDER = {
    "version",   "MainMonitorOnly", "BottleSize", "MaxBottle",     "GoodShine",
    "DrunkenBG", "BGType",          "BGRes",      "PlaySound",     "BGPath",
    "Volume",    "ShowClock",       "Clock12Hr",  "ShowCountdown", "CDHr",
    "CDMin",     "BGColR",          "BGColG",     "BGColB"};

// A record that frees its selection text, as the host view does.
struct Record {
    SETTINGS s;
    bool mainOnly = true;
    ~Record() { delete[] s.bottleSelection; }
};

// Points the user's folders at a temporary folder for the test's life.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    }

    std::string Folder() const { return home / "config/dwTumblixSS"; }
    std::string StorePath() const { return Folder() + "/preferences.ini"; }
    std::unique_ptr<ScreenSaverDefaults> Open() const {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
        EXPECT_NE(store, nullptr);
        return store;
    }
    void WriteStore(const std::string& text) const {
        std::filesystem::create_directories(Folder());
        std::ofstream(StorePath(), std::ios::binary) << text;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The keys of the file's group, in the order the file lists them.
    std::vector<std::string> KeysInFile() const {
        std::vector<std::string> keys;
        std::istringstream in(Contents(StorePath()));
        std::string line;
        bool inGroup = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] == '[') {
                inGroup = line == "[dwTumblixSS]";
            } else if (inGroup && line.find('=') != std::string::npos) {
                keys.push_back(line.substr(0, line.find('=')));
            }
        }
        return keys;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Folder())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void Load(Record& r, const char* resources = "/res/tumblix/") const {
        auto store = Open();
        LoadSettings(*store, resources, &r.s, &r.mainOnly);
    }

    TempDir home;
};

void ExpectDefaults(const SETTINGS& s) {
    EXPECT_EQ(s.LBOTTLESIZE, 50);
    EXPECT_EQ(s.NUM_BOTTLES, 5);
    EXPECT_TRUE(s.GOODSHINE);
    EXPECT_TRUE(s.DRUNKENBG);
    EXPECT_EQ(s.BGTYPE, 0);
    EXPECT_EQ(s.BGRES, 1);
    EXPECT_TRUE(s.PLAYSOUND);
    EXPECT_STREQ(s.BGPath, "/usr/share/backgrounds/");
    EXPECT_EQ(s.VOLUME, 100);
    EXPECT_TRUE(s.SHOWCLOCK);
    EXPECT_FALSE(s.CLOCK12HRMODE);
    EXPECT_FALSE(s.SHOWCOUNTDOWN);
    EXPECT_EQ(s.thr, 17);
    EXPECT_EQ(s.tmin, 30);
    EXPECT_EQ(s.BGCol.x, 1.0f);
    EXPECT_EQ(s.BGCol.y, 1.0f);
    EXPECT_EQ(s.BGCol.z, 1.0f);
}

TEST_F(StoreTest, FirstRunWritesEveryDefaultOnceAndInTableOrder) {
    Record r;
    Load(r);
    ExpectDefaults(r.s);
    EXPECT_FALSE(r.mainOnly);
    EXPECT_STREQ(r.s.BottlePath, "/res/tumblix/");
    EXPECT_EQ(std::string(r.s.BottlePath2), home / "data/dwTumblixSS/bottles/");
    ASSERT_NE(r.s.bottleSelection, nullptr);
    EXPECT_STREQ(r.s.bottleSelection, "");
    EXPECT_EQ(r.s.selectionSize, 1);

    EXPECT_EQ(KeysInFile(), TABLE_ORDER) << "no BottleSelection, nothing else";
    auto store = Open();
    EXPECT_EQ(store->stringForKey("version"), std::optional<std::string>("1.0"));
    EXPECT_EQ(store->integerForKey("CDHr"), 17);
    EXPECT_EQ(store->floatForKey("BGColG"), 1.0f);
    EXPECT_EQ(store->stringForKey("BGPath"), std::optional<std::string>("/usr/share/backgrounds/"));
    EXPECT_FALSE(store->stringForKey("BottleSelection").has_value());

    // A current store is read, not rewritten.
    const std::string before = Contents(StorePath());
    Record again;
    Load(again);
    ExpectDefaults(again.s);
    EXPECT_EQ(Contents(StorePath()), before);

    // The dialog's Defaults button gets the same values.
    Record d;
    DefaultSettings(&d.s, &d.mainOnly);
    ExpectDefaults(d.s);
    EXPECT_FALSE(d.mainOnly);
}

TEST_F(StoreTest, OtherVersionIsResetButTheSelectionSurvives) {
    WriteStore("[dwTumblixSS]\nversion=0.9\nBottleSize=80\nMainMonitorOnly=true\n"
               "BottleSelection=red.brew#blue.brew###\nBGPath=/home/me/pics/\n");
    Record r;
    Load(r);
    ExpectDefaults(r.s);
    EXPECT_FALSE(r.mainOnly);
    EXPECT_STREQ(r.s.bottleSelection, "red.brew#blue.brew###");
    EXPECT_EQ(r.s.selectionSize, 22);

    auto store = Open();
    EXPECT_EQ(store->stringForKey("version"), std::optional<std::string>("1.0"));
    EXPECT_EQ(store->integerForKey("BottleSize"), 50);
    EXPECT_FALSE(store->boolForKey("MainMonitorOnly"));
    EXPECT_EQ(store->stringForKey("BottleSelection"),
              std::optional<std::string>("red.brew#blue.brew###"));
}

TEST_F(StoreTest, ValuesAreConvertedAndBoundedOnLoadOnly) {
    WriteStore("[dwTumblixSS]\nversion=1.0\nMaxBottle=12\nVolume=70000\nBGType=4294967298\n"
               "BGRes=-1\nBottleSize=9000000000\nCDHr=  23  \nCDMin=12abc\nGoodShine=yes\n"
               "DrunkenBG=1\nShowClock=false\nBGColR=0.25\nBGColG=1e400\nBGColB=nan\n"
               "PlaySound=true\n");
    Record r;
    Load(r);
    EXPECT_EQ(r.s.NUM_BOTTLES, 5);
    EXPECT_EQ(r.s.VOLUME, int16_t(70000 & 0xffff));
    EXPECT_EQ(r.s.BGTYPE, 2) << "low 32 bits";
    EXPECT_EQ(r.s.BGRES, -1);
    EXPECT_EQ(r.s.LBOTTLESIZE, 9000000000);
    EXPECT_EQ(r.s.thr, 23);
    EXPECT_EQ(r.s.tmin, 0) << "not an integer";
    EXPECT_FALSE(r.s.GOODSHINE) << "not a boolean";
    EXPECT_TRUE(r.s.DRUNKENBG);
    EXPECT_FALSE(r.s.SHOWCLOCK);
    EXPECT_TRUE(r.s.PLAYSOUND);
    EXPECT_EQ(r.s.BGCol.x, 0.25f);
    EXPECT_EQ(r.s.BGCol.y, 0.0f) << "out of float range";
    EXPECT_EQ(r.s.BGCol.z, 0.0f) << "not a number";
    EXPECT_STREQ(r.s.BGPath, "") << "absent text";
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 12) << "the store keeps what it said";

    WriteStore("[dwTumblixSS]\nversion=1.0\nMaxBottle=-3\n");
    Record negative;
    Load(negative);
    EXPECT_EQ(negative.s.NUM_BOTTLES, 0) << "never a negative number of bottles";
}

TEST_F(StoreTest, UnreadableStoreIsKeptAsideAndReplacedByDefaults) {
    // Parses as far as the NUL, which no text file holds.
    const char bytes[] = "[dwTumblixSS]\nversion=1.0\nMaxBottle=3\nBGPath=/a\0\xff\xfe\n";
    const std::string damaged(bytes, sizeof bytes - 1);
    WriteStore(damaged);
    Record r;
    Load(r);
    ExpectDefaults(r.s);
    EXPECT_EQ(Contents(StorePath() + ".bad"), damaged) << "kept byte for byte";

    // A second damaged store does not replace the first one kept.
    WriteStore("not a store\n");
    Record again;
    Load(again);
    EXPECT_EQ(Contents(StorePath() + ".bad"), damaged);
    EXPECT_EQ(Contents(StorePath() + ".bad.1"), "not a store\n");

    // Something that is no file at all: moved aside without hanging on it.
    std::filesystem::remove(StorePath());
    ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    Record fifo;
    Load(fifo);
    ExpectDefaults(fifo.s);
    EXPECT_TRUE(std::filesystem::is_fifo(StorePath() + ".bad.2"));
    EXPECT_TRUE(std::filesystem::is_regular_file(StorePath()));
}

TEST_F(StoreTest, StoreThatCannotBeKeptAsideIsNeverWrittenOver) {
    WriteStore("[dwTumblixSS\nversion=1.0\n");
    std::ofstream(StorePath() + ".bad") << "earlier";
    for (int n = 1; n < 100; n++) {
        std::ofstream(StorePath() + ".bad." + std::to_string(n)) << "earlier";
    }
    Record r;
    Load(r);
    ExpectDefaults(r.s);
    auto store = Open();
    EXPECT_TRUE(store->keptDamagedAs().empty());
    store->setBool(true, "ShowClock");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->error().find("cannot be moved aside"), std::string::npos) << store->error();
    EXPECT_EQ(Contents(StorePath()), "[dwTumblixSS\nversion=1.0\n");
    EXPECT_EQ(Contents(StorePath() + ".bad.99"), "earlier");
    EXPECT_FALSE(std::filesystem::exists(StorePath() + ".bad.100"));
}

TEST_F(StoreTest, WritesAreAtomicAndFailuresAreReported) {
    // The folder does not exist yet; nothing but the store is left in it.
    auto store = Open();
    store->setInteger(3, "MaxBottle");
    ASSERT_TRUE(store->synchronize()) << store->error();
    store->setInteger(4, "MaxBottle");
    ASSERT_TRUE(store->synchronize()) << store->error();
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"preferences.ini"});
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 4);

    // Comments and other groups of a hand-edited store survive a write.
    WriteStore("# mine\n[other]\nx=1\n[dwTumblixSS]\nversion=1.0\n");
    auto edited = Open();
    edited->setBool(true, "ShowClock");
    ASSERT_TRUE(edited->synchronize());
    const std::string text = Contents(StorePath());
    EXPECT_NE(text.find("# mine"), std::string::npos);
    EXPECT_NE(text.find("[other]\nx=1"), std::string::npos);

    // A store that links to a file elsewhere is written there; the link stays.
    const std::string elsewhere = home / "dotfiles.ini";
    std::ofstream(elsewhere) << "[dwTumblixSS]\nversion=1.0\n";
    std::filesystem::remove(StorePath());
    std::filesystem::create_symlink(elsewhere, StorePath());
    auto linked = Open();
    linked->setInteger(2, "MaxBottle");
    ASSERT_TRUE(linked->synchronize());
    EXPECT_TRUE(std::filesystem::is_symlink(StorePath()));
    EXPECT_NE(Contents(elsewhere).find("MaxBottle=2"), std::string::npos);

    // A folder that cannot be made.
    std::ofstream(home / "file") << "x";
    setenv("XDG_CONFIG_HOME", (home / "file").c_str(), 1);
    auto blocked = Open();
    blocked->setBool(true, "ShowClock");
    EXPECT_FALSE(blocked->synchronize());
    EXPECT_FALSE(blocked->error().empty());
    Record r;
    EXPECT_FALSE(WriteSettings(*blocked, r.s, false, "", "##"));
}

TEST_F(StoreTest, PathsAreCutToFit) {
    const std::string longPath(20000, 'p');
    WriteStore("[dwTumblixSS]\nversion=1.0\nBGPath=" + longPath + "\n");
    Record r;
    Load(r, longPath.c_str());
    EXPECT_EQ(std::string(r.s.BGPath), longPath.substr(0, 16383));
    EXPECT_EQ(std::string(r.s.BottlePath), longPath.substr(0, 16383));

    Record none;
    Load(none, nullptr);
    EXPECT_STREQ(none.s.BottlePath, "");
}

TEST_F(StoreTest, TextsAndNumbersComeBackExactly) {
    const std::vector<std::string> texts = {" /pics;with;semicolons/ ",
                                            "line\nbreaks\r\tand tabs",
                                            "#not a comment",
                                            "back\\slash\\n",
                                            "[group]=value",
                                            "caf\xc3\xa9 ##a.brew#",
                                            ""};
    auto store = Open();
    for (size_t i = 0; i < texts.size(); i++) {
        ASSERT_TRUE(store->setObject(texts[i], ("text" + std::to_string(i)).c_str()));
    }
    store->setFloat(0.1f, "f1");
    store->setFloat(-3.4028235e38f, "f2");
    store->setFloat(1.17549435e-38f, "f3");
    store->setInteger(INT64_MIN, "i1");
    store->setInteger(INT64_MAX, "i2");
    store->setBool(true, "b");
    EXPECT_FALSE(store->setObject("not \xff text", "text0")) << "only UTF-8 is stored";
    EXPECT_FALSE(store->setObject(std::string("nul\0inside", 10), "text0"));
    ASSERT_TRUE(store->synchronize());

    auto back = Open();
    for (size_t i = 0; i < texts.size(); i++) {
        EXPECT_EQ(back->stringForKey(("text" + std::to_string(i)).c_str()),
                  std::optional<std::string>(texts[i]));
    }
    EXPECT_EQ(back->floatForKey("f1"), 0.1f);
    EXPECT_EQ(back->floatForKey("f2"), -3.4028235e38f);
    EXPECT_EQ(back->floatForKey("f3"), 1.17549435e-38f);
    EXPECT_EQ(back->integerForKey("i1"), INT64_MIN);
    EXPECT_EQ(back->integerForKey("i2"), INT64_MAX);
    EXPECT_TRUE(back->boolForKey("b"));
    EXPECT_FALSE(back->boolForKey("absent"));
    EXPECT_EQ(back->integerForKey("absent"), 0);
    EXPECT_EQ(back->floatForKey("absent"), 0.0f);
    EXPECT_FALSE(back->stringForKey("absent").has_value());
    EXPECT_EQ(back->integerForKey("text0"), 0) << "a text is no number";
}

TEST_F(StoreTest, SavingWritesEveryKeyButVersionInDialogOrder) {
    Record r;
    DefaultSettings(&r.s, nullptr);
    r.s.LBOTTLESIZE = 120;
    r.s.NUM_BOTTLES = 40; // no limit on saving
    r.s.GOODSHINE = false;
    r.s.BGTYPE = 2;
    r.s.VOLUME = -5;
    r.s.thr = 8;
    r.s.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    std::strcpy(r.s.BGPath, "/ignored/");
    auto store = Open();
    ASSERT_TRUE(WriteSettings(*store, r.s, true, "/home/me/pics #1;\n", "red.brew###"));
    EXPECT_EQ(KeysInFile(),
              (std::vector<std::string>{"MainMonitorOnly", "BottleSize", "MaxBottle", "GoodShine",
                                        "DrunkenBG", "BGType", "BGRes", "BGPath", "PlaySound",
                                        "Volume", "ShowClock", "Clock12Hr", "ShowCountdown", "CDHr",
                                        "CDMin", "BGColR", "BGColG", "BGColB", "BottleSelection"}));

    // The dialog's round: a view loads, the dialog saves, the next view sees it.
    std::filesystem::remove(StorePath());
    Record first;
    Load(first);
    auto dialog = Open();
    ASSERT_TRUE(WriteSettings(*dialog, r.s, true, "/home/me/pics #1;\n", "red.brew###"));
    Record next;
    Load(next);
    EXPECT_TRUE(next.mainOnly);
    EXPECT_EQ(next.s.LBOTTLESIZE, 120);
    EXPECT_EQ(next.s.NUM_BOTTLES, 5);
    EXPECT_FALSE(next.s.GOODSHINE);
    EXPECT_EQ(next.s.BGTYPE, 2);
    EXPECT_EQ(next.s.VOLUME, -5);
    EXPECT_EQ(next.s.thr, 8);
    EXPECT_EQ(next.s.BGCol.y, 0.4f);
    EXPECT_STREQ(next.s.BGPath, "/home/me/pics #1;\n");
    EXPECT_STREQ(next.s.bottleSelection, "red.brew###");
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 40);
}

} // namespace
