#include "ChildProcess.h"
#include "RunTool.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "host/platform/XWindows.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

// tumblix as X hosts run it, end to end on a private X server: the full
// screen saver, and drawing into a window someone else made (--window-id,
// --root as XScreenSaver runs it).

namespace {

const RGBA kFallback{230, 0, 230, 255};

std::string Hex(unsigned long id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

class XHostsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server = new XvfbServer(400, 300); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server->ok()) << "Xvfb did not start";
        saverfiles::UseUserFolders(tmp.path());
        resources = tmp.Subdir("res");
        saverfiles::WriteResources(resources, 2, kFallback);
        server->SetRootPicture({});
        env = {{"DISPLAY", server->name()},
               {"XDG_CONFIG_HOME", tmp.path() + "/config"},
               {"XDG_DATA_HOME", tmp.path() + "/data"},
               // No desktop settings schemas: kind 1 shows the fallback picture.
               {"XDG_DATA_DIRS", tmp.Subdir("no-schemas")},
               {"GSETTINGS_BACKEND", "memory"},
               {"SDL_AUDIODRIVER", "dummy"},
               {"-SDL_VIDEODRIVER", ""},
               {"-XSCREENSAVER_WINDOW", ""}};
    }
    void Start(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {BuildProgram("tumblix"), "--resources", resources};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(saver.Start(argv, env));
    }
    // Waits until the window shows the colour at (x, y).
    bool Shows(Window w, int x, int y, RGBA colour, double seconds = 15.0) {
        return WaitFor(seconds, [&] {
            XSync(server->connection(), False);
            return saverfiles::Near(server->PixelAt(w, x, y), colour);
        });
    }
    // SIGTERM must end it at once, with status 0.
    void ExpectCleanEndOnSigterm() {
        const auto start = std::chrono::steady_clock::now();
        saver.Signal(SIGTERM);
        int status = -2;
        ASSERT_TRUE(saver.WaitExit(1.0, &status)) << "still running a second after SIGTERM";
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  1.0);
        EXPECT_EQ(status, 0) << saver.Output();
    }

    static inline XvfbServer* server = nullptr;
    TempDir tmp;
    std::string resources;
    std::vector<std::pair<std::string, std::string>> env;
    ChildProcess saver;
};

saverfiles::Prefs Plain(int bgType) {
    saverfiles::Prefs p;
    p.bgType = bgType;
    p.colour = RGBA{20, 120, 220, 255};
    return p;
}

TEST_F(XHostsTest, WindowIdDrawsIntoTheGivenWindowAndFollowsItsSize) {
    saverfiles::WritePreferences(Plain(1));
    const Window w = server->MakeWindow(10, 10, 200, 150);
    Start({"--window-id", Hex(w)});
    ASSERT_TRUE(Shows(w, 100, 75, kFallback)) << saver.Output();
    EXPECT_TRUE(saverfiles::Near(server->PixelAt(w, 198, 148), kFallback));

    XResizeWindow(server->connection(), w, 360, 260);
    XSync(server->connection(), False);
    EXPECT_TRUE(Shows(w, 355, 255, kFallback, 5.0))
        << "the picture does not fill the larger window";
    EXPECT_TRUE(saverfiles::Near(server->PixelAt(w, 5, 5), kFallback));

    ExpectCleanEndOnSigterm();
    XDestroyWindow(server->connection(), w);
}

TEST_F(XHostsTest, RootDrawsIntoTheXScreensaverWindow) {
    saverfiles::WritePreferences(Plain(3));
    const Window w = server->MakeWindow(50, 40, 120, 90);
    env.push_back({"XSCREENSAVER_WINDOW", std::to_string(w)}); // decimal, as some hosts give it
    Start({"--root"});
    EXPECT_TRUE(Shows(w, 60, 45, RGBA{20, 120, 220, 255})) << saver.Output();
    EXPECT_TRUE(saverfiles::Near(server->PixelAt(server->root(), 10, 10), RGBA{0, 0, 0, 255}))
        << "drew outside the window";
    ExpectCleanEndOnSigterm();
    XDestroyWindow(server->connection(), w);
}

TEST_F(XHostsTest, RootWithoutAHostDrawsOnTheRootWindow) {
    saverfiles::WritePreferences(Plain(3));
    Start({"--root"});
    EXPECT_TRUE(Shows(server->root(), 200, 150, RGBA{20, 120, 220, 255})) << saver.Output();
    ExpectCleanEndOnSigterm();
}

TEST_F(XHostsTest, TheSaverShowsTheDesktopItCapturedAndEndsOnSigterm) {
    const RGBA top{240, 200, 20, 255}, bottom{20, 200, 240, 255};
    server->SetRootPicture({{0, 0, 400, 150, top}, {0, 150, 400, 150, bottom}});
    saverfiles::Prefs prefs = Plain(0);
    prefs.maxBottles = 3;
    saverfiles::WritePreferences(prefs);
    Start({});
    // A new window shows what was under it until it is drawn: wait for the
    // bottles, then the rest must be the capture, the right way up.
    int topCount = 0, bottomCount = 0, other = 0;
    const bool drawn = WaitFor(15.0, [&] {
        const std::vector<RGBA> screen = server->Pixels(server->root(), 400, 300);
        topCount = bottomCount = other = 0;
        for (size_t i = 0; i < screen.size(); i++) {
            const bool upper = i < screen.size() / 2;
            if (saverfiles::Near(screen[i], upper ? top : bottom)) {
                (upper ? topCount : bottomCount)++;
            } else {
                other++;
            }
        }
        return other > 100 && topCount > 400 * 150 * 8 / 10 && bottomCount > 400 * 150 * 8 / 10;
    });
    ASSERT_TRUE(drawn) << "top " << topCount << ", bottom " << bottomCount << ", other " << other
                       << ": " << saver.Output();
    ExpectCleanEndOnSigterm();
    EXPECT_EQ(server->PixelAt(server->root(), 200, 20), top) << "the root is as it was";
}

TEST_F(XHostsTest, AWindowIdEndsWhenItsWindowIsDestroyed) {
    saverfiles::WritePreferences(Plain(3));
    const Window w = server->MakeWindow(0, 0, 100, 100);
    Start({"--window-id", std::to_string(w)});
    ASSERT_TRUE(Shows(w, 50, 50, RGBA{20, 120, 220, 255})) << saver.Output();
    XDestroyWindow(server->connection(), w);
    XSync(server->connection(), False);
    int status = -2;
    ASSERT_TRUE(saver.WaitExit(3.0, &status)) << "kept running without its window";
    EXPECT_EQ(status, 0) << saver.Output();
}

TEST_F(XHostsTest, RefusesWindowIdsThatAreNotWindows) {
    const std::string tumblix = Quote(BuildProgram("tumblix"));
    for (const char* bad : {"", "12abc", "0", "0x", "-5", "0xZZ", " 42", "99999999999"}) {
        EXPECT_EQ(RunTool(tumblix + " --window-id " + Quote(bad) + " 2>/dev/null").status, 2)
            << bad;
    }
    EXPECT_EQ(RunTool(tumblix + " --window-id 2>/dev/null").status, 2);
    const ToolResult junk = RunTool("DISPLAY=" + server->name() + " XSCREENSAVER_WINDOW=junk " +
                                    tumblix + " --root 2>&1");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.out.find("XSCREENSAVER_WINDOW"), std::string::npos) << junk.out;
}

TEST(ParseWindowId, DecimalOrHexAfter0x) {
    unsigned long id = 0;
    EXPECT_TRUE(ParseWindowId("4194311", &id));
    EXPECT_EQ(id, 4194311ul);
    EXPECT_TRUE(ParseWindowId("0x400007", &id));
    EXPECT_EQ(id, 0x400007ul);
    EXPECT_TRUE(ParseWindowId("0XFFFFFFFF", &id));
    EXPECT_EQ(id, 0xFFFFFFFFul);
    id = 7;
    for (const char* bad : {"", "0", "0x0", "0x", "x10", "010x", "+5", "-5", "1e3", "0x1FFFFFFFF",
                            "4294967296", "12 "}) {
        EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
    }
    EXPECT_FALSE(ParseWindowId(nullptr, &id));
    EXPECT_EQ(id, 7ul);
}

} // namespace
