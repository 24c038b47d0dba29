#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "bottles/MainClass.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/files/PictureReader.h"
#include "host/platform/sdl/GLWindow.h"
#include "host/platform/sdl/InputWatch.h"
#include "host/platform/sdl/SaverHost.h"
#include "host/platform/x11/XWindows.h"
#include "scene/SSMain.h"

#include <SDL.h>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <vector>

// The saver's own host on a real X server: a window, a context and a view
// per display, and the input that ends it. The tests hand the host the
// displays themselves: the two halves of the server's screen.

namespace {

const RGBA kFallback{240, 0, 240, 255}, kBlack{0, 0, 0, 255};

class SaverHostTest : public OnXvfb<320, 240> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        setenv("DISPLAY", server->name().c_str(), 1); // SDL draws there and plays nothing
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
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
    // Opens the host on the two halves: side by side, or one above the other.
    void Open(bool stacked = false) {
        std::vector<SaverHost::Display> displays(2);
        displays[0].frame = stacked ? NSRect{0, 0, 320, 120} : NSRect{0, 0, 160, 240};
        displays[1].frame = stacked ? NSRect{0, 120, 320, 120} : NSRect{160, 0, 160, 240};
        ASSERT_TRUE(host.Open(displays, options)) << host.error();
        ASSERT_EQ(host.Count(), 2u);
    }
    // Opens it, runs it and keeps each last frame.
    void Run(int ticks) {
        ASSERT_NO_FATAL_FAILURE(Open());
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
    // Handles events until the host ends or has seen the pointer at (x, y)
    // (desktop pixels), moved there by real input (XTEST) when `move`. True
    // when it ended.
    bool HandleUntil(int toX, int toY, bool move = true) {
        EXPECT_TRUE(!move || server->Xdotool("mousemove " + std::to_string(toX) + " " +
                                             std::to_string(toY)));
        bool quit = false;
        EXPECT_TRUE(WaitFor(kPatience, [&] {
            quit = host.HandleEvents() || quit;
            int wx = 0, wy = 0, x = 0, y = 0;
            SDL_Window* window = SDL_GetMouseFocus();
            if (quit || window == nullptr) {
                return quit;
            }
            SDL_GetWindowPosition(window, &wx, &wy);
            SDL_GetMouseState(&x, &y);
            return wx + x == toX && wy + y == toY;
        })) << "the host never saw the input";
        return quit;
    }

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

// While the monitors are off no view draws; the tick after they wake
// restarts the clock of a scene that was off for over 2 s, and the next one
// draws. Xvfb has no DPMS: its monitor counts as on.
bool monitorsOff = false;
TEST_F(SaverHostTest, NothingDrawnWhileTheMonitorsAreOff) {
    EXPECT_FALSE(XMonitorsOff()) << "a server without DPMS is always on";
    saverfiles::Prefs prefs;
    prefs.maxBottles = 2;
    saverfiles::WritePreferences(prefs);
    host.monitorsOff = [] { return monitorsOff; };
    Run(6);
    const long before = host.View(0).framesDrawn;
    ASSERT_GT(before, 2);
    monitorsOff = true;
    for (int t = 0; t < 35 * 3; t++) {
        host.Tick();
        HostClock::Advance(1.0 / 35.0);
    }
    EXPECT_EQ(host.View(0).framesDrawn, before);
    EXPECT_EQ(host.View(1).framesDrawn, before);
    monitorsOff = false;
    host.Tick();
    HostClock::Advance(1.0 / 35.0);
    host.Tick();
    EXPECT_EQ(host.View(0).framesDrawn, before + 1);
    EXPECT_EQ(host.View(1).framesDrawn, before + 1);
}

// Real moves, as VNC and RDP servers deliver a remote user's mouse, end it
// once its windows have settled, on either display, beyond the slack. Each
// window reports motion from its own corner, which the host places on the
// desktop: across displays side by side that is x, across stacked ones y.
TEST_F(SaverHostTest, RealMovesOnEitherDisplayEndTheSaverOnceSettled) {
    saverfiles::WritePreferences({});
    const int over = InputWatch::SLACK_PIXELS + 1;
    const struct {
        const char* what;
        bool stacked;
        int start[2], settling[2]; // the pointer as the windows appear, and while they settle
        int to[2];                 // afterwards
        bool ends;
    } cases[] = {
        {"move onto the other display", false, {80, 120}, {80, 120}, {240, 120}, true},
        {"move over the border, in the slack", false, {155, 120}, {155, 120}, {165, 120}, false},
        {"twitch after settling elsewhere", false, {80, 120}, {240, 120}, {230, 130}, false},
        {"move after settling elsewhere", false, {80, 120}, {240, 120}, {240 - over, 120}, true},
        {"stacked: move onto the lower display", true, {160, 60}, {160, 60}, {160, 180}, true},
        {"stacked: move down over the border, in the slack",
         true,
         {160, 115},
         {160, 115},
         {160, 125},
         false},
        {"stacked: twitch below after settling there",
         true,
         {160, 60},
         {100, 180},
         {110, 170},
         false},
        {"stacked: move up after settling below",
         true,
         {160, 60},
         {100, 180},
         {100, 180 - over},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(server->Xdotool("mousemove " + std::to_string(c.start[0]) + " " +
                                    std::to_string(c.start[1])));
        ASSERT_NO_FATAL_FAILURE(Open(c.stacked));
        host.Start();
        EXPECT_FALSE(HandleUntil(c.start[0], c.start[1], false)) << "ended as its windows appeared";
        EXPECT_FALSE(HandleUntil(c.settling[0], c.settling[1])) << "ended on a move while settling";
        HostClock::Advance(InputWatch::SETTLE_SECONDS + 0.1);
        EXPECT_EQ(HandleUntil(c.to[0], c.to[1]), c.ends);
        host.Close();
    }
}

// Where the pointer is stays unknown until its first event (Wayland tells a
// client only over its own surfaces): that event places it, whenever it
// comes; later moves count by the same slack and settle time.
TEST(InputWatchTest, AnUnplacedPointerIsPlacedByItsFirstEvent) {
    const int over = InputWatch::SLACK_PIXELS + 1;
    const double settled = InputWatch::SETTLE_SECONDS + 0.1;
    const struct {
        const char* what;
        double firstAt, nextAt; // seconds after the start
        int dx;                 // the next event's distance from the first
        bool ends;
    } cases[] = {
        {"first event after settling, no move", settled, settled, 0, false},
        {"first event after settling, then a move", settled, settled + 0.1, over, true},
        {"a move in the slack", 0.0, settled, InputWatch::SLACK_PIXELS, false},
        {"a move while settling", 0.0, 0.1, 5 * over, false},
    };
    for (const auto& c : cases) {
        InputWatch watch;
        watch.BeginUnplaced(10.0);
        EXPECT_FALSE(watch.PointerAt(10.0 + c.firstAt, 500, 300)) << c.what;
        EXPECT_EQ(watch.PointerAt(10.0 + c.nextAt, 500 + c.dx, 300), c.ends) << c.what;
        EXPECT_EQ(watch.PointerAt(10.0 + settled + 1.0, 500, 300 + over), true) << c.what;
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

} // namespace
