#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "XorgDummyServer.h"
#include "XvfbServer.h"
#include "bottles/MainClass.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/GLWindow.h"
#include "host/platform/PictureReader.h"
#include "host/platform/SaverHost.h"
#include "scene/SSMain.h"

#include <SDL.h>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <vector>

// The saver's own host on a real X server: a window, a context and a view
// per display. The tests hand the host the displays themselves: the two
// halves of the server's screen.

namespace {

const RGBA kFallback{240, 0, 240, 255}, kBlack{0, 0, 0, 255};

class SaverHostTest : public OnXvfb<320, 240> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        UseServerForSDL();
        saverfiles::UseUserFolders(tmp.path());
        options.resources = tmp.Subdir("res");
        saverfiles::WriteResources(options.resources, 3, kFallback);
        HostClock::UseSimulated(std::time(nullptr));
        InstallPictureReader();
        server->SetRootPicture({});
    }
    void TearDown() override {
        host.Close();
        HostClock::UseSystem();
    }
    // Opens the host on the two halves, runs it and keeps each last frame.
    void Run(int ticks) {
        std::vector<SaverHost::Display> displays(2);
        displays[0].frame = NSRect{0, 0, 160, 240};
        displays[1].frame = NSRect{160, 0, 160, 240};
        ASSERT_TRUE(host.Open(displays, options)) << host.error();
        ASSERT_EQ(host.Count(), 2u);
        frames.assign(2, {});
        for (size_t i = 0; i < 2; i++) {
            host.View(i).onFrameDrawn = [this, i] {
                frames[i].assign(160 * 240, RGBA{});
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glReadPixels(0, 0, 160, 240, GL_RGBA, GL_UNSIGNED_BYTE, frames[i].data());
            };
        }
        host.Start();
        for (int t = 0; t < ticks; t++) {
            host.HandleEvents();
            host.Tick();
            HostClock::Advance(1.0 / 35.0);
        }
    }
    RGBA ScreenAt(int x, int y) const { return server->PixelAt(server->root(), x, y); }

    TempDir tmp;
    RunOptions options;
    SaverHost host;
    std::vector<std::vector<RGBA>> frames;
};

TEST_F(SaverHostTest, TwoDisplaysRunTwoScenesEachWithItsOwnBottles) {
    saverfiles::Prefs prefs;
    prefs.maxBottles = 5;
    prefs.colour = RGBA{40, 40, 40, 255};
    saverfiles::WritePreferences(prefs);
    Run(12);
    for (size_t i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(host.View(i).screenNumber, int(i));
        ASSERT_NE(host.View(i).ssMain, nullptr);
        EXPECT_EQ(host.View(i).ssMain->bottleManager->numBottles, 5);
        EXPECT_GT(host.View(i).framesDrawn, 5);
        EXPECT_GT(std::count_if(frames[i].begin(), frames[i].end(),
                                [&](RGBA p) { return !saverfiles::Near(p, prefs.colour, 2); }),
                  50)
            << "no bottles";
        EXPECT_FALSE(ScreenAt(80 + 160 * int(i), 120) == kBlack) << "not on the screen";
    }
    EXPECT_NE(host.Window(0).Window(), host.Window(1).Window());
    // Set up in the same second, the two scenes still differ.
    const ONEBOTTLE* a = host.View(0).ssMain->bottleManager->bottles;
    const ONEBOTTLE* b = host.View(1).ssMain->bottleManager->bottles;
    for (int k = 0; k < 5; k++) {
        EXPECT_FALSE(a[k].pos.x == b[k].pos.x && a[k].pos.y == b[k].pos.y) << k;
    }
}

// The real saver starts over the desktop as it was: from its launch until
// its first frame, a client reading the screen every few milliseconds never
// sees it black (no cleared window shown while the scene sets up).
TEST_F(SaverHostTest, TheRealSaverShowsTheDesktopNotBlackUntilItsFirstFrame) {
    const RGBA desktop{0, 200, 90, 255};
    server->SetRootPicture({{0, 0, 320, 240, desktop}});
    SaverProgram saver(*server, kFallback); // its home holds the preferences
    saverfiles::Prefs prefs;
    prefs.maxBottles = 3;
    prefs.colour = RGBA{40, 60, 250, 255}; // the first frame, told from the desktop
    saverfiles::WritePreferences(prefs);
    ASSERT_TRUE(saver.Start({}));
    std::string seen; // the black share of every look at the screen until the frame
    double mostBlack = 0.0;
    const bool framed = WaitFor(kPatience, [&] {
        const std::vector<RGBA> screen = server->Pixels(server->root(), 320, 240);
        const auto share = [&](RGBA c) {
            return double(std::count_if(screen.begin(), screen.end(),
                                        [&](RGBA p) { return saverfiles::Near(p, c); })) /
                   double(screen.size());
        };
        if (share(prefs.colour) > 0.5) {
            return true;
        }
        mostBlack = std::max(mostBlack, share(kBlack));
        seen += std::to_string(int(share(kBlack) * 100.0 + 0.5)) + "% ";
        return false;
    });
    ASSERT_TRUE(framed) << saver.process.Output();
    ASSERT_FALSE(seen.empty()) << "the first frame came before the first look";
    EXPECT_LE(mostBlack, 0.05) << "black, per look until the first frame: " << seen;
    saver.ExpectEndOnSigterm();
}

// The real saver on a real two-monitor server: each monitor gets its own
// scene over its own part of the desktop, taken before any window of ours
// covered it; with "main monitor only" the other stays black.
TEST(TwoMonitors, EachShowsItsOwnDesktopAndBottlesOrStaysBlack) {
    XorgDummyServer server(320, 240);
    if (!server.ok()) {
        GTEST_SKIP() << server.whyNot();
    }
    SaverProgram saver(server, kFallback);
    const RGBA sides[2] = {{250, 160, 0, 255}, {0, 160, 250, 255}};
    for (const bool mainOnly : {false, true}) {
        SCOPED_TRACE(mainOnly ? "main monitor only" : "every monitor");
        server.SetRootPicture({{0, 0, 320, 240, sides[0]}, {320, 0, 320, 240, sides[1]}});
        saverfiles::Prefs prefs;
        prefs.bgType = 0;
        prefs.maxBottles = 3;
        prefs.mainMonitorOnly = mainOnly;
        saverfiles::WritePreferences(prefs);
        ASSERT_TRUE(saver.Start({}));
        // Per monitor: pixels of its own desktop, of the other's, black ones
        // and the rest (bottles).
        int counts[2][4] = {};
        const bool shown = WaitFor(kPatience, [&] {
            const std::vector<RGBA> screen = server.Pixels(server.root(), 640, 240);
            std::fill(&counts[0][0], &counts[0][0] + 8, 0);
            for (size_t i = 0; i < screen.size(); i++) {
                const int m = int(i % 640) / 320;
                counts[m][saverfiles::Near(screen[i], sides[m])       ? 0
                          : saverfiles::Near(screen[i], sides[1 - m]) ? 1
                          : screen[i] == kBlack                       ? 2
                                                                      : 3]++;
            }
            const bool first = counts[0][0] > 61440 && counts[0][3] > 50;
            return first && (mainOnly ? counts[1][2] == 320 * 240
                                      : counts[1][0] > 61440 && counts[1][3] > 50);
        });
        EXPECT_TRUE(shown) << "own, other, black, bottles: left " << counts[0][0] << ", "
                           << counts[0][1] << ", " << counts[0][2] << ", " << counts[0][3]
                           << "; right " << counts[1][0] << ", " << counts[1][1] << ", "
                           << counts[1][2] << ", " << counts[1][3] << "\n"
                           << saver.process.Output();
        saver.ExpectEndOnSigterm();
    }
}

} // namespace
