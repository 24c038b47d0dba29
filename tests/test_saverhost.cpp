#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XorgDummyServer.h"
#include "XvfbServer.h"
#include "bottles/MainClass.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/DesktopCapture.h"
#include "host/platform/GLWindow.h"
#include "host/platform/PictureReader.h"
#include "host/platform/SaverHost.h"
#include "scene/SSMain.h"

#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <vector>

// The saver's own host on a real X server: a window, a context and a view
// per display. Xvfb shows SDL a single display, so the tests hand the host
// the displays themselves: the two halves of the server's screen.

namespace {

const RGBA kFallback{240, 0, 240, 255};

class SaverHostTest : public OnXvfb<320, 240> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        UseServerForSDL();
        saverfiles::UseUserFolders(tmp.path());
        resources = tmp.Subdir("res");
        saverfiles::WriteResources(resources, 3, kFallback);
        options.resources = resources;
        HostClock::UseSimulated(std::time(nullptr));
        InstallPictureReader();
        server->SetRootPicture({});
    }
    void TearDown() override {
        host.Close();
        SetDesktopGrabber(nullptr);
        HostClock::UseSystem();
    }

    // Opens the host on the two halves and keeps every drawn frame.
    void Open() {
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
    }
    void Run(int ticks) {
        host.Start();
        for (int t = 0; t < ticks; t++) {
            host.HandleEvents();
            host.Tick();
            HostClock::Advance(1.0 / 35.0);
        }
    }
    RGBA FrameAt(size_t view, int x, int yFromBottom) const {
        return frames[view][size_t(yFromBottom) * 160 + x];
    }
    // What the screen shows, read back from the X server.
    RGBA ScreenAt(int x, int y) const { return server->PixelAt(server->root(), x, y); }

    TempDir tmp;
    std::string resources;
    RunOptions options;
    SaverHost host;
    std::vector<std::vector<RGBA>> frames;
};

TEST_F(SaverHostTest, TwoDisplaysRunTwoScenesEachWithItsOwnBottles) {
    saverfiles::Prefs prefs;
    prefs.maxBottles = 5;
    prefs.colour = RGBA{40, 40, 40, 255};
    saverfiles::WritePreferences(prefs);
    Open();
    Run(12);
    const RGBA grey{40, 40, 40, 255};
    for (size_t i = 0; i < 2; i++) {
        TumblixView& view = host.View(i);
        EXPECT_EQ(view.screenNumber, int(i));
        EXPECT_EQ(view.mainScreenNumber, 0);
        ASSERT_NE(view.ssMain, nullptr) << "view " << i;
        ASSERT_NE(view.ssMain->bottleManager, nullptr);
        EXPECT_EQ(view.ssMain->bottleManager->numBottles, 5);
        EXPECT_GT(view.framesDrawn, 5);
        int bottlePixels = 0;
        for (const RGBA& p : frames[i]) {
            bottlePixels += saverfiles::Near(p, grey, 2) ? 0 : 1;
        }
        EXPECT_GT(bottlePixels, 50) << "view " << i << " shows no bottles";
    }
    EXPECT_NE(host.Window(0).Window(), host.Window(1).Window());
    // Set up in the same second, the two scenes still differ.
    const ONEBOTTLE* a = host.View(0).ssMain->bottleManager->bottles;
    const ONEBOTTLE* b = host.View(1).ssMain->bottleManager->bottles;
    int samePlaces = 0;
    for (int k = 0; k < 5; k++) {
        samePlaces += (a[k].pos.x == b[k].pos.x && a[k].pos.y == b[k].pos.y) ? 1 : 0;
    }
    EXPECT_EQ(samePlaces, 0);
    EXPECT_NE(frames[0], frames[1]);
    // Both windows are on the screen, side by side.
    EXPECT_FALSE(ScreenAt(80, 120) == RGBA({0, 0, 0, 255}));
    EXPECT_FALSE(ScreenAt(240, 120) == RGBA({0, 0, 0, 255}));
}

TEST_F(SaverHostTest, MainMonitorOnlyKeepsTheOtherDisplayBlack) {
    saverfiles::Prefs prefs;
    prefs.mainMonitorOnly = true;
    prefs.colour = RGBA{0, 200, 100, 255};
    saverfiles::WritePreferences(prefs);
    Open();
    Run(6);
    EXPECT_TRUE(saverfiles::Near(FrameAt(0, 80, 120), prefs.colour));
    EXPECT_EQ(host.View(1).ssMain, nullptr);
    EXPECT_EQ(host.View(1).framesDrawn, 0);
    EXPECT_TRUE(saverfiles::Near(ScreenAt(80, 120), prefs.colour)) << ScreenAt(80, 120);
    EXPECT_EQ(ScreenAt(240, 120), RGBA({0, 0, 0, 255}));
    EXPECT_EQ(ScreenAt(319, 0), RGBA({0, 0, 0, 255}));
}

// Each view captures the root over its own display; an all-black root is
// no picture, and the view shows the desktop picture instead.
TEST_F(SaverHostTest, EachViewShowsTheRootOverItsOwnDisplayOrTheDesktopPicture) {
    const RGBA topLeft{250, 30, 30, 255}, bottomLeft{30, 250, 30, 255}, topRight{30, 30, 250, 255},
        bottomRight{250, 250, 30, 255};
    const struct {
        std::vector<XServer::Area> root;
        int bgType;
        RGBA shows[2][2]; // per view: top, bottom
    } cases[] = {
        {{{0, 0, 160, 120, topLeft},
          {0, 120, 160, 120, bottomLeft},
          {160, 0, 160, 120, topRight},
          {160, 120, 160, 120, bottomRight}},
         BG_CAPTURE,
         {{topLeft, bottomLeft}, {topRight, bottomRight}}},
        {{}, BG_DESKTOP_PICTURE, {{kFallback, kFallback}, {kFallback, kFallback}}},
    };
    saverfiles::Prefs prefs;
    prefs.bgType = 0;
    saverfiles::WritePreferences(prefs);
    SetDesktopGrabber(GrabRootWindow);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bgType);
        server->SetRootPicture(c.root);
        Open();
        Run(4);
        for (size_t i = 0; i < 2; i++) {
            EXPECT_EQ(host.View(i).mySettings.BGTYPE, c.bgType);
            ASSERT_FALSE(frames[i].empty());
            EXPECT_TRUE(saverfiles::Near(FrameAt(i, 80, 200), c.shows[i][0]))
                << FrameAt(i, 80, 200);
            EXPECT_TRUE(saverfiles::Near(FrameAt(i, 80, 40), c.shows[i][1])) << FrameAt(i, 80, 40);
        }
        // And the screen shows those frames.
        EXPECT_TRUE(saverfiles::Near(ScreenAt(240, 40), c.shows[1][0])) << ScreenAt(240, 40);
        host.Close();
    }
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
    const RGBA left{250, 160, 0, 255}, right{0, 160, 250, 255}, black{0, 0, 0, 255};
    for (const bool mainOnly : {false, true}) {
        SCOPED_TRACE(mainOnly ? "main monitor only" : "every monitor");
        server.SetRootPicture({{0, 0, 320, 240, left}, {320, 0, 320, 240, right}});
        saverfiles::Prefs prefs;
        prefs.bgType = 0;
        prefs.maxBottles = 3;
        prefs.mainMonitorOnly = mainOnly;
        saverfiles::WritePreferences(prefs);
        ASSERT_TRUE(saver.Start({}));
        // Per monitor: pixels of its own desktop colour, of the other's,
        // black ones and the rest (bottles).
        int counts[2][4] = {};
        const bool shown = WaitFor(kPatience, [&] {
            const std::vector<RGBA> screen = server.Pixels(server.root(), 640, 240);
            std::fill(&counts[0][0], &counts[0][0] + 8, 0);
            for (size_t i = 0; i < screen.size(); i++) {
                const int m = int(i % 640) < 320 ? 0 : 1;
                const RGBA own = m == 0 ? left : right, other = m == 0 ? right : left;
                const int kind = saverfiles::Near(screen[i], own)     ? 0
                                 : saverfiles::Near(screen[i], other) ? 1
                                 : screen[i] == black                 ? 2
                                                                      : 3;
                counts[m][kind]++;
            }
            const int most = 320 * 240 * 8 / 10;
            const bool first = counts[0][0] > most && counts[0][3] > 50;
            const bool second =
                mainOnly ? counts[1][2] == 320 * 240 : counts[1][0] > most && counts[1][3] > 50;
            return first && second;
        });
        EXPECT_TRUE(shown) << "left: own " << counts[0][0] << ", other " << counts[0][1]
                           << ", black " << counts[0][2] << ", bottles " << counts[0][3]
                           << "; right: own " << counts[1][0] << ", other " << counts[1][1]
                           << ", black " << counts[1][2] << ", bottles " << counts[1][3] << "\n"
                           << saver.process.Output();
        saver.ExpectEndOnSigterm();
    }
}

TEST_F(SaverHostTest, OpeningFailsCleanlyWithoutDisplays) {
    EXPECT_FALSE(host.Open({}, options));
    EXPECT_FALSE(host.error().empty());
    EXPECT_EQ(host.Count(), 0u);
}

} // namespace
