#include "SaverFiles.h"
#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

// The preference store under $XDG_CONFIG_HOME and the settings in it.

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
    void SetUp() override { saverfiles::UseUserFolders(home.path()); }
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
    // Size, bottles, kind, detail, volume, countdown hour and minute.
    EXPECT_EQ(std::tuple(s.LBOTTLESIZE, s.NUM_BOTTLES, s.BGTYPE, s.BGRES, s.VOLUME, s.thr, s.tmin),
              std::tuple(50, 5, 0, 1, 100, 17, 30));
    EXPECT_TRUE(s.GOODSHINE && s.DRUNKENBG && s.PLAYSOUND && s.SHOWCLOCK);
    EXPECT_FALSE(s.CLOCK12HRMODE || s.SHOWCOUNTDOWN);
    EXPECT_STREQ(s.BGPath, "/usr/share/backgrounds/");
    EXPECT_TRUE(s.BGCol.x == 1.0f && s.BGCol.y == 1.0f && s.BGCol.z == 1.0f);
}

TEST_F(StoreTest, FirstRunOtherVersionsAndUnreadableStoresGetDefaultsLoadBoundsValues) {
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
                            "ShowCountdown CDHr CDMin BGColR BGColG BGColB IdleMinutes ");
    EXPECT_EQ(Open()->stringForKey("version"), "1.0");
    EXPECT_EQ(LoadIdleMinutes(*Open()), 5);
    // A current store is read, not rewritten.
    const std::string before = Contents(StorePath());
    Record again;
    Load(again);
    EXPECT_EQ(Contents(StorePath()), before);

    WriteStore("[dwTumblixSS]\nversion=0.9\nBottleSize=80\nMainMonitorOnly=true\n"
               "BottleSelection=red.brew#blue.brew###\nBGPath=/home/me/pics/\n");
    Record old;
    Load(old);
    ExpectDefaults(old.s);
    EXPECT_FALSE(old.mainOnly);
    EXPECT_STREQ(old.s.bottleSelection, "red.brew#blue.brew###");
    EXPECT_EQ(old.s.selectionSize, 22);
    EXPECT_EQ(Open()->stringForKey("BottleSelection"), "red.brew#blue.brew###");

    // Values are converted and bounded on load only, and paths cut to fit.
    const std::string longPath(20000, 'p');
    WriteStore("[dwTumblixSS]\nversion=1.0\nMaxBottle=12\nVolume=70000\nBGType=4294967298\n"
               "CDHr=  23  \nCDMin=12abc\nGoodShine=yes\nDrunkenBG=1\nShowClock=1\nPlaySound=1\n"
               "BGColR=0.25\n"
               "BGColG=1e400\nBGPath=" +
               longPath + "\n");
    Record b;
    Load(b, longPath.c_str());
    // Bottles at most 5; the low 16 and 32 bits; spaces allowed; no number.
    EXPECT_EQ(std::tuple(b.s.NUM_BOTTLES, b.s.VOLUME, b.s.BGTYPE, b.s.thr, b.s.tmin),
              std::tuple(5, int16_t(70000 & 0xffff), 2, 23, 0));
    EXPECT_TRUE(!b.s.GOODSHINE && b.s.DRUNKENBG) << "\"yes\" is no boolean, 1 is";
    // Each switch from its own key.
    EXPECT_EQ(std::tuple(b.s.SHOWCLOCK, b.s.CLOCK12HRMODE, b.s.SHOWCOUNTDOWN, b.s.PLAYSOUND),
              std::tuple(true, false, false, true));
    EXPECT_EQ(b.s.BGCol.x, 0.25f);
    EXPECT_EQ(b.s.BGCol.y, 0.0f) << "out of float range";
    EXPECT_EQ(std::string(b.s.BGPath), longPath.substr(0, 16383));
    EXPECT_EQ(std::string(b.s.BottlePath), longPath.substr(0, 16383));
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 12) << "the store keeps what it said";

    // The watcher's minutes: a store from before the key existed (or of
    // another version) gives the default, not 0; bounded to the window's range.
    for (const auto& [text, minutes] : std::vector<std::pair<std::string, int>>{
             {"version=1.0\n", 5},
             {"version=0.9\nIdleMinutes=30\n", 5},
             {"version=1.0\nIdleMinutes=0\n", 0},
             {"version=1.0\nIdleMinutes=30\n", 30},
             {"version=1.0\nIdleMinutes=-3\n", 0},
             {"version=1.0\nIdleMinutes=99999\n", MAX_IDLE_MINUTES},
             {"version=1.0\nIdleMinutes=soon\n", 0}}) {
        WriteStore("[dwTumblixSS]\n" + text);
        EXPECT_EQ(LoadIdleMinutes(*Open()), minutes) << text;
    }

    // An unreadable store is kept aside, never written over.
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
    // With every name to keep it under taken, the store stays as it is.
    WriteStore("[dwTumblixSS\nversion=1.0\n");
    for (int n = 2; n < 100; n++) {
        std::ofstream(StorePath() + ".bad." + std::to_string(n)) << "earlier";
    }
    Record full;
    Load(full);
    ExpectDefaults(full.s);
    auto store = Open();
    store->setBool(true, "ShowClock");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->error().find("cannot be moved aside"), std::string::npos) << store->error();
    EXPECT_EQ(Contents(StorePath()), "[dwTumblixSS\nversion=1.0\n");
    EXPECT_EQ(Contents(StorePath() + ".bad.99"), "earlier");
    EXPECT_FALSE(fs::exists(StorePath() + ".bad.100"));
}

TEST_F(StoreTest, WritesAreAtomicInDialogOrderKeepWhatTheUserWroteAndReportFailures) {
    auto store = Open(); // the folder does not exist yet
    for (int n : {3, 4}) {
        store->setInteger(n, "MaxBottle");
        ASSERT_TRUE(store->synchronize()) << store->error();
    }
    EXPECT_EQ(fs::directory_iterator(Folder())->path(), StorePath()) << "nothing else left";
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 4);

    // Comments and other groups of a hand-edited store survive a write.
    WriteStore("# mine\n[other]\nx=1\n[dwTumblixSS]\nversion=1.0\n");
    auto edited = Open();
    edited->setInteger(2, "MaxBottle");
    ASSERT_TRUE(edited->synchronize());
    EXPECT_NE(Contents(StorePath()).find("# mine\n\n[other]\nx=1\n"), std::string::npos);
    EXPECT_NE(Contents(StorePath()).find("MaxBottle=2"), std::string::npos);

    // The dialog's round: a view loads, the dialog saves every key but the
    // version in its own order, the next view sees it.
    Record first;
    Load(first);
    first.s.LBOTTLESIZE = 120;
    first.s.NUM_BOTTLES = 40; // no limit on saving
    first.s.VOLUME = -5;
    first.s.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    std::strcpy(first.s.BGPath, "/ignored/");
    fs::remove(StorePath());
    ASSERT_TRUE(
        WriteSettings(*Open(), first.s, true, " /home/me/pics #1;\\n\n\r\t[g]=v ", "red.brew###"));
    EXPECT_EQ(KeysInFile(), "MainMonitorOnly BottleSize MaxBottle GoodShine DrunkenBG BGType "
                            "BGRes BGPath PlaySound Volume ShowClock Clock12Hr ShowCountdown "
                            "CDHr CDMin BGColR BGColG BGColB BottleSelection ");
    auto versioned = Open();
    versioned->setObject("1.0", "version");
    ASSERT_TRUE(versioned->synchronize());
    Record next;
    Load(next);
    EXPECT_TRUE(next.mainOnly);
    EXPECT_EQ(next.s.LBOTTLESIZE, 120);
    EXPECT_EQ(next.s.NUM_BOTTLES, 5);
    EXPECT_EQ(next.s.VOLUME, -5);
    EXPECT_EQ(next.s.BGCol.y, 0.4f);
    EXPECT_STREQ(next.s.BGPath, " /home/me/pics #1;\\n\n\r\t[g]=v ");
    EXPECT_STREQ(next.s.bottleSelection, "red.brew###");
    EXPECT_EQ(Open()->integerForKey("MaxBottle"), 40);

    std::ofstream(home / "file") << "x"; // a folder that cannot be made
    setenv("XDG_CONFIG_HOME", (home / "file").c_str(), 1);
    auto blocked = Open();
    Record r;
    EXPECT_FALSE(WriteSettings(*blocked, r.s, false, "", "##"));
    EXPECT_FALSE(blocked->error().empty());
}

// A store that is a symbolic link (a dotfile manager's) stays that link,
// however it points: the file it names is what a save writes, made when
// missing, kept aside and rewritten when damaged.
TEST_F(StoreTest, AStoreThatIsALinkStaysOneAndItsFileIsWritten) {
    const std::string target = home / "dotfiles/tumblix.ini";
    const struct {
        const char* shape;
        std::string link, before;
    } cases[] = {
        {"absolute", target, "[dwTumblixSS]\nversion=1.0\nMaxBottle=3\n"},
        {"relative", "../../dotfiles/tumblix.ini", "[dwTumblixSS]\nversion=1.0\nMaxBottle=3\n"},
        {"through another link", home / "dotfiles/current", "[dwTumblixSS]\nMaxBottle=3\n"},
        {"to a file not made yet", target, ""},
        {"to a damaged file", target, std::string("[dwTumblixSS\0\xff", 14)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        fs::remove_all(home / "dotfiles");
        fs::remove_all(Folder());
        fs::create_directories(home / "dotfiles");
        fs::create_directories(Folder());
        fs::create_symlink("tumblix.ini", home / "dotfiles/current");
        if (!c.before.empty()) {
            std::ofstream(target, std::ios::binary) << c.before;
        }
        fs::create_symlink(c.link, StorePath());
        auto store = Open();
        store->setInteger(7, "MaxBottle");
        ASSERT_TRUE(store->synchronize()) << store->error();
        EXPECT_EQ(fs::is_symlink(StorePath()) ? fs::read_symlink(StorePath()) : "no link", c.link);
        EXPECT_NE(Contents(target).find("MaxBottle=7"), std::string::npos) << Contents(target);
        EXPECT_EQ(Open()->integerForKey("MaxBottle"), 7);
        EXPECT_EQ(fs::exists(target + ".bad"), c.before.size() == 14);
        EXPECT_EQ(fs::directory_iterator(Folder())->path(), StorePath()) << "nothing else left";
    }
}

} // namespace
