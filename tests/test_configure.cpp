#include "BottleFiles.h"
#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

// tumblix --configure on a real X server: the window opens, its preview
// moves, and the keyboard saves or cancels.

namespace {

namespace fs = std::filesystem;

const int kPreviewWidth = 400, kPreviewHeight = 250;
const RGBA kFallback{230, 0, 230, 255};
const char* const kStore = "[dwTumblixSS]\nversion=1.0\nBottleSize=500\nMaxBottle=3\nVolume=70\n"
                           "CDHr=30\nShowCountdown=true\nBGType=3\nBGColR=0.25\nBGColG=0.5\n"
                           "BGColB=0.75\nBottleSelection=dark-stout.brew###\n";

// Where two pictures of the window differ.
struct Change {
    int pixels = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

class ConfigureTest : public OnXvfb<1280, 900> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        saver.resources = BuildProgram("../share/tumblix");
        // Steady pictures: no blinking text cursor, no animated widgets.
        fs::create_directories(saver.home / "config/gtk-3.0");
        std::ofstream(saver.home / "config/gtk-3.0/settings.ini")
            << "[Settings]\ngtk-cursor-blink=false\ngtk-enable-animations=false\n";
        fs::create_directories(saver.home / "config/dwTumblixSS");
    }
    std::string StorePath() const { return saver.home / "config/dwTumblixSS/preferences.ini"; }
    // Starts the window (GTK needs the system's schemas) and finds it.
    std::string Open(SaverProgram::Env env = {}) {
        env.push_back({"-XDG_DATA_DIRS", ""});
        EXPECT_TRUE(saver.Start({"--configure"}, env));
        window = server->FindWindow("Tumblix Settings");
        return window == 0 ? "" : std::to_string(window);
    }
    // Puts the keyboard and the pointer on the window, then presses keys.
    void Keys(const std::string& keys) const {
        const std::string id = std::to_string(window);
        ASSERT_TRUE(server->Xdotool("windowfocus --sync " + id + " mousemove --window " + id +
                                    " 4 4 key --clearmodifiers " + keys));
    }
    std::vector<RGBA> Shot(int* width = nullptr) const {
        XWindowAttributes a{};
        XGetWindowAttributes(server->connection(), window, &a);
        if (width != nullptr) {
            *width = a.width;
        }
        return server->Pixels(window, a.width, a.height);
    }
    Change Compare(const std::vector<RGBA>& a, const std::vector<RGBA>& b, int width) const {
        Change c;
        for (size_t i = 0; i < a.size() && a.size() == b.size(); i++) {
            if (!(a[i] == b[i])) {
                const int x = int(i % size_t(width)), y = int(i / size_t(width));
                c.pixels++;
                c.left = std::min(c.left, x);
                c.right = std::max(c.right, x);
                c.top = std::min(c.top, y);
                c.bottom = std::max(c.bottom, y);
            }
        }
        return c;
    }
    void ExpectEnd() { EXPECT_EQ(saver.End(), 0) << saver.process.Output(); }

    SaverProgram saver{*server, kFallback};
    Window window = 0;
};

TEST_F(ConfigureTest, ThePreviewMovesAndSaveStoresWhatTheWindowShows) {
    std::ofstream(StorePath()) << kStore;
    ASSERT_NE(Open(), "") << saver.process.Output();
    // Once the window has drawn itself, only the preview changes from one
    // picture to the next. The window may still be drawing its controls when
    // it is first found, so a change that spans more than the preview moves
    // the comparison on to the next picture.
    int width = 0;
    std::vector<RGBA> first = Shot(&width);
    Change change;
    EXPECT_TRUE(WaitFor(kPatience,
                        [&] {
                            std::vector<RGBA> next = Shot();
                            change = Compare(first, next, width);
                            first = next;
                            return change.pixels > 50 &&
                                   change.right - change.left < kPreviewWidth &&
                                   change.bottom - change.top < kPreviewHeight;
                        }))
        << change.pixels << " pixels changed, " << change.right - change.left << " x "
        << change.bottom - change.top;

    Keys("alt+s");
    ExpectEnd();
    const auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    EXPECT_EQ(store->integerForKey("BottleSize"), 200) << "shown at the top of its range";
    EXPECT_EQ(store->integerForKey("CDHr"), 23);
    EXPECT_EQ(store->floatForKey("BGColB"), 0.75f);
    EXPECT_EQ(store->stringForKey("BottleSelection"), "dark-stout.brew###");
}

// The preview shows what the saver would: the desktop as it was before the
// window opened, or the desktop's own picture (here Xfce's).
TEST_F(ConfigureTest, ThePreviewShowsTheDesktopOrTheDesktopsPicture) {
    const RGBA desktop{40, 170, 90, 255}, picture{200, 120, 30, 255};
    server->SetRootPicture({{0, 0, 1280, 900, desktop}});
    saverfiles::WritePlainPicture(saver.home / "wall.png", picture);
    saver.WriteXfceSettings({{"screen", 0, saver.home / "wall.png"}});
    for (const auto& c : {std::pair{0, desktop}, std::pair{1, picture}}) {
        saverfiles::Prefs prefs; // no bottles: the whole preview is background
        prefs.bgType = c.first;
        saverfiles::WritePreferences(prefs);
        ASSERT_NE(Open({{"XDG_CURRENT_DESKTOP", "XFCE"}}), "") << saver.process.Output();
        int shown = 0;
        const auto previewed = [&] {
            const std::vector<RGBA> shot = Shot();
            shown = int(std::count_if(shot.begin(), shot.end(),
                                      [&](RGBA p) { return saverfiles::Near(p, c.second); }));
            return shown > kPreviewWidth * kPreviewHeight * 9 / 10;
        };
        EXPECT_TRUE(WaitFor(kPatience, previewed))
            << "kind " << c.first << ": " << shown << " pixels\n"
            << saver.process.Output();
        saver.ExpectEndOnSigterm();
    }
}

// Bottle types from a loopback site, through the window's own buttons.
class ConfigureDownloadTest : public ConfigureTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ConfigureTest::SetUp());
        fs::create_directories(saver.home / "in");
        fixtures::Write(saver.home / "in/porter.brew", fixtures::Upright("Porter"));
        ASSERT_TRUE(loopback.Start(saver.home.Subdir("site")));
        const ToolResult site = RunTool(
            Quote(BuildProgram("tumblix-brew")) + " site " + Quote(saver.home / "site") + " " +
            Quote(saver.home / "in/porter.brew") + " --base " + loopback.Address() + " 2>&1");
        ASSERT_EQ(site.status, 0) << site.out;
    }
    std::string Folder() const { return saver.home / "data/dwTumblixSS/bottles"; }
    // Keys pressed while the window is still busy fetching the list can go
    // unheard, as they would for a person: press again until it shows.
    bool PressUntil(const std::string& keys, const std::function<bool()>& done) {
        for (int tries = 0; tries < 5; tries++) {
            Keys(keys);
            if (WaitFor(3, done)) {
                return true;
            }
        }
        return false;
    }
    bool Served(const char* name) const { return fs::exists(saver.home / "site/" + name); }
    LoopbackServer loopback;
};

// Check then Download puts the type in the bottle folder, and Escape still
// writes nothing. The preview moves while a slow server holds the list back
// for 8 s, within the 10 s the fetch may take.
TEST_F(ConfigureDownloadTest, DownloadFillsTheBottleFolderAndThePreviewMovesMeanwhile) {
    std::ofstream(StorePath()) << "[dwTumblixSS]\nversion=1.0\nWebServer=" << loopback.Address()
                               << "\n";
    ASSERT_NE(Open(), "") << saver.process.Output();
    Keys("alt+h");
    EXPECT_TRUE(PressUntil("alt+o", [&] {
        return Contents(Folder() + "/porter.brew") == Contents(saver.home / "in/porter.brew");
    })) << saver.process.Output();
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), {}), 1) << "nothing left beside it";
    const std::string store = Contents(StorePath());
    Keys("Escape");
    ExpectEnd();
    EXPECT_EQ(Contents(StorePath()), store);

    // Bottles that move, and the slow list.
    std::ofstream(StorePath()) << kStore << "WebServer=" << loopback.Address("/_/slow/8") << "\n";
    ASSERT_NE(Open(), "") << saver.process.Output();
    ASSERT_TRUE(PressUntil("alt+h", [&] { return Served("slow.arrived"); }));
    int width = 0;
    const std::vector<RGBA> first = Shot(&width);
    Change change;
    while (change.pixels == 0 && !Served("slow.answered")) {
        change = Compare(first, Shot(), width);
    }
    EXPECT_GT(change.pixels, 50) << "the preview stood still while the list was fetched";
    EXPECT_FALSE(Served("slow.answered"));
    Keys("Escape");
    ExpectEnd();
}

} // namespace
