#include "FileContents.h"
#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>

// The preference store under $XDG_CONFIG_HOME and the settings read from
// and written to it.

namespace {

namespace fs = std::filesystem;

// A record that frees its selection text, as the host view does.
struct Record {
    SETTINGS s;
    bool mainOnly = true;
    ~Record() { delete[] s.bottleSelection; }
};

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    }
    std::string Folder() const { return home / "config/dwTumblixSS"; }
    std::string StorePath() const { return Folder() + "/preferences.ini"; }
    static std::unique_ptr<ScreenSaverDefaults> Open() {
        return ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    }
    void WriteStore(const std::string& text) const {
        fs::create_directories(Folder());
        std::ofstream(StorePath(), std::ios::binary) << text;
    }
    // The keys of the file's group, in the order the file lists them.
    std::string KeysInFile() const {
        std::istringstream in(Contents(StorePath()));
        std::string line, keys;
        while (std::getline(in, line)) {
            keys += line.find('=') != std::string::npos ? line.substr(0, line.find('=')) + " " : "";
        }
        return keys;
    }
    void Load(Record& r, const char* resources = "/res/tumblix/") const {
        LoadSettings(*Open(), resources, &r.s, &r.mainOnly);
    }

    TempDir home;
};

void ExpectDefaults(const SETTINGS& s) {
    EXPECT_EQ(s.LBOTTLESIZE, 50);
    EXPECT_EQ(s.NUM_BOTTLES, 5);
    EXPECT_TRUE(s.GOODSHINE && s.DRUNKENBG && s.PLAYSOUND && s.SHOWCLOCK);
    EXPECT_FALSE(s.CLOCK12HRMODE || s.SHOWCOUNTDOWN);
    EXPECT_EQ(s.BGTYPE, 0);
    EXPECT_EQ(s.BGRES, 1);
    EXPECT_STREQ(s.BGPath, "/usr/share/backgrounds/");
    EXPECT_EQ(s.VOLUME, 100);
    EXPECT_EQ(s.thr, 17);
    EXPECT_EQ(s.tmin, 30);
    EXPECT_TRUE(s.BGCol.x == 1.0f && s.BGCol.y == 1.0f && s.BGCol.z == 1.0f);
}

TEST_F(StoreTest, FirstRunOrAnotherVersionWritesEveryDefaultInTableOrderKeepingTheSelection) {
    Record r;
    Load(r);
    ExpectDefaults(r.s);
    EXPECT_FALSE(r.mainOnly);
    EXPECT_STREQ(r.s.BottlePath, "/res/tumblix/");
    EXPECT_EQ(std::string(r.s.BottlePath2), home / "data/dwTumblixSS/bottles/");
    EXPECT_STREQ(r.s.bottleSelection, "");
    EXPECT_EQ(r.s.selectionSize, 1);
    EXPECT_EQ(KeysInFile(), "version MainMonitorOnly BottleSize MaxBottle GoodShine DrunkenBG "
                            "BGType BGRes PlaySound BGPath Volume ShowClock Clock12Hr "
                            "ShowCountdown CDHr CDMin BGColR BGColG BGColB ");
    EXPECT_EQ(Open()->stringForKey("version"), "1.0");
    // A current store is read, not rewritten.
    const std::string before = Contents(StorePath());
    Record again;
    Load(again);
    EXPECT_EQ(Contents(StorePath()), before);
    // The dialog's Defaults button gets the same values.
    Record d;
    DefaultSettings(&d.s, &d.mainOnly);
    ExpectDefaults(d.s);
    EXPECT_FALSE(d.mainOnly);

    WriteStore("[dwTumblixSS]\nversion=0.9\nBottleSize=80\nMainMonitorOnly=true\n"
               "BottleSelection=red.brew#blue.brew###\nBGPath=/home/me/pics/\n");
    Record old;
    Load(old);
    ExpectDefaults(old.s);
    EXPECT_FALSE(old.mainOnly);
    EXPECT_STREQ(old.s.bottleSelection, "red.brew#blue.brew###");
    EXPECT_EQ(old.s.selectionSize, 22);
    auto store = Open();
    EXPECT_EQ(store->stringForKey("version"), "1.0");
    EXPECT_EQ(store->integerForKey("BottleSize"), 50);
    EXPECT_EQ(store->stringForKey("BottleSelection"), "red.brew#blue.brew###");
}

TEST_F(StoreTest, ValuesAreConvertedAndBoundedOnLoadOnlyAndPathsCutToFit) {
    const std::string longPath(20000, 'p');
    WriteStore("[dwTumblixSS]\nversion=1.0\nMaxBottle=12\nVolume=70000\nBGType=4294967298\n"
               "BGRes=-1\nBottleSize=9000000000\nCDHr=  23  \nCDMin=12abc\nGoodShine=yes\n"
               "DrunkenBG=1\nShowClock=false\nBGColR=0.25\nBGColG=1e400\nBGColB=nan\n"
               "PlaySound=true\nBGPath=" +
               longPath + "\n");
    Record r;
    Load(r, longPath.c_str());
    EXPECT_EQ(r.s.NUM_BOTTLES, 5);
    EXPECT_EQ(r.s.VOLUME, int16_t(70000 & 0xffff));
    EXPECT_EQ(r.s.BGTYPE, 2) << "low 32 bits";
    EXPECT_EQ(r.s.BGRES, -1);
    EXPECT_EQ(r.s.LBOTTLESIZE, 9000000000);
    EXPECT_EQ(r.s.thr, 23);
    EXPECT_EQ(r.s.tmin, 0) << "not an integer";
    EXPECT_FALSE(r.s.GOODSHINE) << "not a boolean";
    EXPECT_TRUE(r.s.DRUNKENBG && r.s.PLAYSOUND && !r.s.SHOWCLOCK);
    EXPECT_EQ(r.s.BGCol.x, 0.25f);
    EXPECT_EQ(r.s.BGCol.y, 0.0f) << "out of float range";
    EXPECT_EQ(r.s.BGCol.z, 0.0f) << "not a number";
    EXPECT_EQ(std::string(r.s.BGPath), longPath.substr(0, 16383));
    EXPECT_EQ(std::string(r.s.BottlePath), longPath.substr(0, 16383));
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 12) << "the store keeps what it said";

    WriteStore("[dwTumblixSS]\nversion=1.0\nMaxBottle=-3\n");
    Record negative;
    Load(negative, nullptr);
    EXPECT_EQ(negative.s.NUM_BOTTLES, 0) << "never a negative number of bottles";
    EXPECT_STREQ(negative.s.BGPath, "") << "absent text";
    EXPECT_STREQ(negative.s.BottlePath, "");
}

TEST_F(StoreTest, AnUnreadableStoreIsKeptAsideNeverWrittenOver) {
    // Parses as far as the NUL, which no text file holds.
    const char bytes[] = "[dwTumblixSS]\nversion=1.0\nMaxBottle=3\nBGPath=/a\0\xff\xfe\n";
    const std::string damaged(bytes, sizeof bytes - 1);
    for (const std::string& text : {damaged, std::string("not a store\n")}) {
        WriteStore(text);
        Record r;
        Load(r);
        ExpectDefaults(r.s);
    }
    EXPECT_EQ(Contents(StorePath() + ".bad"), damaged) << "kept byte for byte";
    EXPECT_EQ(Contents(StorePath() + ".bad.1"), "not a store\n") << "the first kept stays";
    // Something that is no file at all: moved aside without hanging on it.
    fs::remove(StorePath());
    ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    Record fifo;
    Load(fifo);
    EXPECT_TRUE(fs::is_fifo(StorePath() + ".bad.2"));
    EXPECT_TRUE(fs::is_regular_file(StorePath()));

    // With every name to keep it under taken, the store stays as it is.
    WriteStore("[dwTumblixSS\nversion=1.0\n");
    for (int n = 3; n < 100; n++) {
        std::ofstream(StorePath() + ".bad." + std::to_string(n)) << "earlier";
    }
    Record full;
    Load(full);
    ExpectDefaults(full.s);
    auto store = Open();
    EXPECT_TRUE(store->keptDamagedAs().empty());
    store->setBool(true, "ShowClock");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->error().find("cannot be moved aside"), std::string::npos) << store->error();
    EXPECT_EQ(Contents(StorePath()), "[dwTumblixSS\nversion=1.0\n");
    EXPECT_EQ(Contents(StorePath() + ".bad.99"), "earlier");
    EXPECT_FALSE(fs::exists(StorePath() + ".bad.100"));
}

TEST_F(StoreTest, WritesAreAtomicKeepWhatTheUserWroteAndReportFailures) {
    auto store = Open(); // the folder does not exist yet
    for (int n : {3, 4}) {
        store->setInteger(n, "MaxBottle");
        ASSERT_TRUE(store->synchronize()) << store->error();
    }
    EXPECT_EQ(fs::directory_iterator(Folder())->path(), StorePath()) << "nothing else left";
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 4);

    // Comments and other groups of a hand-edited store survive a write; a
    // store that links to a file elsewhere is written there.
    const std::string elsewhere = home / "dotfiles.ini";
    std::ofstream(elsewhere) << "# mine\n[other]\nx=1\n[dwTumblixSS]\nversion=1.0\n";
    fs::remove(StorePath());
    fs::create_symlink(elsewhere, StorePath());
    auto linked = Open();
    linked->setInteger(2, "MaxBottle");
    ASSERT_TRUE(linked->synchronize());
    EXPECT_TRUE(fs::is_symlink(StorePath()));
    EXPECT_NE(Contents(elsewhere).find("# mine\n\n[other]\nx=1\n"), std::string::npos);
    EXPECT_NE(Contents(elsewhere).find("MaxBottle=2"), std::string::npos);

    std::ofstream(home / "file") << "x"; // a folder that cannot be made
    setenv("XDG_CONFIG_HOME", (home / "file").c_str(), 1);
    auto blocked = Open();
    Record r;
    EXPECT_FALSE(WriteSettings(*blocked, r.s, false, "", "##"));
    EXPECT_FALSE(blocked->error().empty());
}

TEST_F(StoreTest, TextsAndNumbersComeBackExactly) {
    const std::string texts[] = {" /pics;with;semicolons/ ",
                                 "line\nbreaks\r\tand tabs",
                                 "#not a comment",
                                 "back\\slash\\n",
                                 "[group]=value",
                                 "caf\xc3\xa9 ##a.brew#",
                                 ""};
    auto store = Open();
    for (const std::string& t : texts) {
        ASSERT_TRUE(store->setObject(t, t.empty() ? "empty" : std::to_string(t.size()).c_str()));
    }
    store->setFloat(-3.4028235e38f, "f1");
    store->setFloat(1.17549435e-38f, "f2");
    store->setInteger(INT64_MIN, "i1");
    store->setInteger(INT64_MAX, "i2");
    store->setBool(true, "b");
    EXPECT_FALSE(store->setObject("not \xff text", "empty")) << "only UTF-8 is stored";
    EXPECT_FALSE(store->setObject(std::string("nul\0inside", 10), "empty"));
    ASSERT_TRUE(store->synchronize());

    auto back = Open();
    for (const std::string& t : texts) {
        EXPECT_EQ(back->stringForKey(t.empty() ? "empty" : std::to_string(t.size()).c_str()), t);
    }
    EXPECT_EQ(back->floatForKey("f1"), -3.4028235e38f);
    EXPECT_EQ(back->floatForKey("f2"), 1.17549435e-38f);
    EXPECT_EQ(back->integerForKey("i1"), INT64_MIN);
    EXPECT_EQ(back->integerForKey("i2"), INT64_MAX);
    EXPECT_TRUE(back->boolForKey("b"));
    EXPECT_FALSE(back->boolForKey("absent") || back->integerForKey("absent") ||
                 back->floatForKey("absent") || back->stringForKey("absent"));
    EXPECT_EQ(back->integerForKey("empty"), 0) << "a text is no number";
}

// The dialog's round: a view loads, the dialog saves every key but the
// version in its own order, the next view sees it.
TEST_F(StoreTest, SavingWritesEveryKeyButVersionInDialogOrder) {
    Record first;
    Load(first);
    first.s.LBOTTLESIZE = 120;
    first.s.NUM_BOTTLES = 40; // no limit on saving
    first.s.GOODSHINE = false;
    first.s.BGTYPE = 2;
    first.s.VOLUME = -5;
    first.s.thr = 8;
    first.s.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    std::strcpy(first.s.BGPath, "/ignored/");
    fs::remove(StorePath());
    ASSERT_TRUE(WriteSettings(*Open(), first.s, true, "/home/me/pics #1;\n", "red.brew###"));
    EXPECT_EQ(KeysInFile(), "MainMonitorOnly BottleSize MaxBottle GoodShine DrunkenBG BGType "
                            "BGRes BGPath PlaySound Volume ShowClock Clock12Hr ShowCountdown "
                            "CDHr CDMin BGColR BGColG BGColB BottleSelection ");
    auto store = Open();
    store->setObject("1.0", "version");
    ASSERT_TRUE(store->synchronize());
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
