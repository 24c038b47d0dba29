#include "GLFixture.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "XorgDummyServer.h"
#include "XvfbServer.h"
#include "host/DesktopServices.h"
#include "host/DesktopTexture.h"
#include "host/SettingsIO.h"
#include "host/TumblixView.h"
#include "host/platform/files/PreferenceStore.h"
#include "host/platform/wayland/ScreenCopy.h"
#include "host/platform/x11/DesktopCapture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

// The desktop capture: which screen, what size, what the texture holds,
// and XScreenSaver's picture read on a real X server.

namespace {

// The nearest power of two on a logarithmic scale, lowered to the detail's
// limit (detail 0: 512, 1: 1024, any other: the implementation's maximum).
TEST(DesktopTextureSize, NearestPowerOfTwoLoweredToTheDetailLimit) {
    const struct {
        int w, h, detail, maxSize, texW, texH;
    } cases[] = {
        {1440, 900, 1, 8192, 1024, 1024},
        {1440, 900, 0, 8192, 512, 512},
        {3840, 2160, -1, 2048, 2048, 2048},
        {3840, 2160, 7, 16384, 4096, 2048},
        // 1448 lies just below 1024 * sqrt(2), 1449 just above.
        {1448, 1, 2, 8192, 1024, 1},
        {1449, 1, 2, 8192, 2048, 1},
        {0, 100, 1, 8192, 7, 7}, // refused
    };
    for (const auto& c : cases) {
        int w = 7, h = 7;
        EXPECT_EQ(DesktopTextureSize(c.w, c.h, c.detail, c.maxSize, &w, &h), c.texW != 7);
        EXPECT_EQ(std::pair(w, h), std::pair(c.texW, c.texH))
            << c.w << "x" << c.h << " " << c.detail;
    }
}

std::vector<NSScreen> TwoScreens() {
    return {NSScreen{NSRect{0, 0, 1920, 1080}, 0}, NSScreen{NSRect{1920, 0, 1280, 1024}, 1}};
}

TEST(ScreenForFrame, FirstScreenTheFrameOverlapsElseTheMainOne) {
    const std::vector<NSScreen> stacked = {NSScreen{NSRect{0, 0, 1920, 1080}, 0},
                                           NSScreen{NSRect{0, 1080, 1280, 1024}, 1}};
    for (const bool sideBySide : {true, false}) {
        SCOPED_TRACE(sideBySide ? "side by side" : "stacked");
        const std::vector<NSScreen> screens = sideBySide ? TwoScreens() : stacked;
        // (a, b) in the layout's own direction: along it, across it.
        const auto at = [&](double a, double b, double w, double h) {
            return sideBySide ? NSRect{a, b, w, h} : NSRect{b, a, h, w};
        };
        EXPECT_EQ(ScreenForFrame(screens, 0, screens[1].frame)->number, 1);
        // Across both: the first in the list wins, not the larger share.
        EXPECT_EQ(ScreenForFrame(screens, 0, at(sideBySide ? 1900 : 1060, 0, 1000, 100))->number,
                  0);
        // Touching an edge is no overlap; nothing overlapping means the main screen.
        EXPECT_EQ(ScreenForFrame(screens, 1, at(0, sideBySide ? 1080 : 1920, 100, 100))->number, 1);
        EXPECT_EQ(ScreenForFrame(screens, 1, at(sideBySide ? 3200 : 2104, 0, 10, 10))->number, 1);
        EXPECT_EQ(ScreenForFrame(screens, 7, NSRect{-500, -500, 10, 10}), nullptr);
    }
}

// A capture of w x h pixels, bottom row first: the lower half `bottom`.
DesktopPixels Capture(int w, int h, RGBA bottom, RGBA top) {
    DesktopPixels p{w, h, {}};
    for (int i = 0; i < w * h; i++) {
        const RGBA c = i < w * (h / 2) ? bottom : top;
        p.rgba.insert(p.rgba.end(), {c.r, c.g, c.b, c.a});
    }
    return p;
}

using DesktopTextureGL = GLFixture;

// The view's own capture at creation, with a stand-in for the desktop.
struct FakeDesktop {
    static inline std::vector<NSRect> asked;
    static inline DesktopPixels pixels;
    static bool Grab(const NSRect& area, DesktopPixels* out) {
        asked.push_back(area);
        *out = pixels;
        return true;
    }
};

// At creation the view reads its own screen, the main one when off every
// screen, into a texture bottom row first; the preview at detail 0. A
// black desktop turns it to the desktop picture, and the store keeps the
// kind the user chose.
TEST_F(DesktopTextureGL, TheViewCapturesItsOwnScreenAtCreationOrTurnsToTheDesktopPicture) {
    TempDir tmp;
    saverfiles::UseUserFolders(tmp.path());
    saverfiles::Prefs prefs;
    prefs.bgType = 0;
    saverfiles::WritePreferences(prefs);
    SetDesktopGrabber(FakeDesktop::Grab);
    const RGBA bottom{10, 200, 10, 255}, top{10, 10, 200, 255};
    const DesktopPixels desktop = Capture(1440, 900, bottom, top),
                        black = Capture(64, 48, {0, 0, 0, 255}, {0, 0, 0, 255});
    const struct {
        NSRect frame;
        bool preview;
        const DesktopPixels* desktop;
        double askedX, askedWidth;
        int type, textureSize; // 0: no texture
    } cases[] = {
        {{1920, 0, 1280, 1024}, false, &desktop, 1920, 1280, BG_CAPTURE, 1024},
        {{-4000, -4000, 320, 200}, true, &desktop, 0, 1920, BG_CAPTURE, 512},
        {{0, 0, 640, 480}, false, &black, 0, 1920, BG_DESKTOP_PICTURE, 0},
    };
    SetScreens(TwoScreens(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeDesktop::asked.clear();
        FakeDesktop::pixels = *c.desktop;
        TumblixView view(c.frame, c.preview, &window, tmp.path());
        ASSERT_EQ(FakeDesktop::asked.size(), 1u);
        EXPECT_EQ(FakeDesktop::asked[0].x, c.askedX);
        EXPECT_EQ(FakeDesktop::asked[0].width, c.askedWidth);
        EXPECT_EQ(view.mySettings.BGTYPE, c.type);
        int w = 0, h = 0;
        if (view.DeskTex.texID != 0) {
            const std::vector<RGBA> texels = TexturePixels(view.DeskTex.texID, &w, &h);
            EXPECT_TRUE(saverfiles::Near(texels[0], bottom, 20)) << texels[0];
            EXPECT_TRUE(saverfiles::Near(texels.back(), top, 20)) << texels.back();
        }
        EXPECT_EQ(std::pair(w, h), std::pair(c.textureSize, c.textureSize));
    }
    EXPECT_EQ(ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME)->integerForKey("BGType"),
              0);
    SetDesktopGrabber(nullptr);
    SetScreens({}, 0);
}

// Two monitors stacked on one screen of 400 x 440, the lower one wider,
// each quarter of each monitor its own colour: the red says which monitor,
// the green left or right, the blue top or bottom.
const NSRect kStacked[2] = {{0, 0, 320, 240}, {0, 240, 400, 200}};
RGBA Quarter(int monitor, bool right, bool bottom) {
    return RGBA{uint8_t(monitor ? 255 : 0), uint8_t(right ? 255 : 90), uint8_t(bottom ? 255 : 0),
                255};
}
std::vector<XServer::Area> Quarters(const NSRect& m, int monitor, int dx = 0, int dy = 0) {
    std::vector<XServer::Area> areas;
    const int w = int(m.width) / 2, h = int(m.height) / 2;
    for (int q = 0; q < 4; q++) {
        areas.push_back({int(m.x) - dx + (q & 1) * w, int(m.y) - dy + (q >> 1) * h, w, h,
                         Quarter(monitor, q & 1, q >> 1)});
    }
    return areas;
}

// Whether a capture, bottom row first, is w x h and shows the monitor's
// quarters, each the right way round and up.
void ExpectQuarters(const DesktopPixels& p, int w, int h, int monitor) {
    ASSERT_EQ(std::pair(p.width, p.height), std::pair(w, h));
    ASSERT_EQ(p.rgba.size(), size_t(w) * h * 4);
    for (int q = 0; q < 4; q++) {
        const int x = w / 4 + (q & 1) * w / 2, y = h / 4 + (q >> 1 ? 0 : h / 2);
        const uint8_t* c = &p.rgba[(size_t(y) * w + x) * 4];
        const RGBA got{c[0], c[1], c[2], c[3]}, want = Quarter(monitor, q & 1, q >> 1);
        // Within a step of 5 bits a channel, but full scale kept full.
        EXPECT_TRUE(saverfiles::Near(got, want, 3))
            << got << " for " << want << " at " << x << ", " << y;
    }
}

// Whether a window of w x h pixels shows, within `f`, the desktop's areas
// there at their middles and more than 50 pixels of no desktop colour
// (bottles); or, for `black`, nothing but black. What it saw is in `seen`.
bool ShowsDesktop(const XServer& server, Window window, int w, int h,
                  const std::vector<XServer::Area>& desktop, const NSRect& f, bool black,
                  std::string* seen) {
    const std::vector<RGBA> shown = server.Pixels(window, w, h);
    int bottle = 0, dark = 0;
    for (int y = int(f.y); y < int(f.y + f.height); y++) {
        for (int x = int(f.x); x < int(f.x + f.width); x++) {
            const RGBA c = shown[size_t(y) * w + x];
            dark += c == RGBA{0, 0, 0, 255};
            bottle += !(c == RGBA{0, 0, 0, 255}) &&
                      std::none_of(desktop.begin(), desktop.end(), [&](const XServer::Area& a) {
                          return saverfiles::Near(c, a.colour, 8);
                      });
        }
    }
    *seen = "bottle " + std::to_string(bottle) + ", black " + std::to_string(dark) + " ";
    if (black) {
        return dark == int(f.width * f.height);
    }
    bool all = bottle > 50;
    for (const XServer::Area& a : desktop) {
        const int x = a.x + a.width / 2, y = a.y + a.height / 2;
        if (x >= f.x && x < f.x + f.width && y >= f.y && y < f.y + f.height) {
            const RGBA got = shown[size_t(y) * w + x];
            all = all && saverfiles::Near(got, a.colour, 8);
            *seen += std::to_string(x) + "," + std::to_string(y) + ": " +
                     ::testing::PrintToString(got) + " ";
        }
    }
    return all;
}

// The root window, and XScreenSaver's picture of the desktop as it leaves
// it on the window it hands a screen saver (a pixmap of the whole screen,
// or of the window's monitor, named by a property), read bottom row first
// at every depth a server may run at: 24, 16 (5-6-5, as VNC servers run)
// and 30 (10 bits a channel). The real saver draws that desktop and its
// bottles at each, in its own window and in XScreenSaver's.
TEST(ScreenshotProperty, ReadsThePictureTheWindowNamesCutToTheAreaAtEveryDepth) {
    for (const int depth : {24, 16, 30}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        XvfbServer server(400, 440, depth);
        ASSERT_TRUE(server.ok()) << "Xvfb did not start";
        Display* d = server.connection();
        setenv("DISPLAY", server.name().c_str(), 1);
        std::vector<XServer::Area> screen = Quarters(kStacked[0], 0),
                                   lower = Quarters(kStacked[1], 1);
        screen.insert(screen.end(), lower.begin(), lower.end());
        server.SetRootPicture(screen);
        DesktopPixels p;
        for (int m = 0; m < 2; m++) {
            ASSERT_TRUE(GrabRootWindow(kStacked[m], &p));
            ExpectQuarters(p, int(kStacked[m].width), int(kStacked[m].height), m);
        }
        SaverProgram saver(server, RGBA{240, 0, 240, 255});
        saver.Prefer(0, 3);
        std::string seen;
        const auto drawn = [&](Window w) {
            return WaitFor(kPatience, [&] {
                return ShowsDesktop(server, w, 400, 440, screen, NSRect{0, 0, 400, 440}, false,
                                    &seen);
            });
        };
        ASSERT_TRUE(saver.Start({}));
        EXPECT_TRUE(drawn(server.root())) << seen << saver.process.Output();
        saver.ExpectEndOnSigterm();
        server.SetRootPicture({});
        const Pixmap whole = server.Picture(400, 440, screen);
        const Window full = server.MakeWindow(0, 0, 400, 440);
        server.NameScreenshot(full, whole);
        ASSERT_TRUE(saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", std::to_string(full)}}));
        EXPECT_TRUE(drawn(full)) << "in XScreenSaver's window: " << seen << saver.process.Output();
        saver.ExpectEndOnSigterm();
        XDestroyWindow(d, full);
        for (int m = 0; m < 2; m++) {
            const NSRect& f = kStacked[m];
            const Window window =
                server.MakeWindow(int(f.x), int(f.y), int(f.width), int(f.height));
            EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << "no property";
            // With several monitors the picture is of the window's monitor
            // alone, and starts where the window does.
            const Pixmap own =
                server.Picture(int(f.width), int(f.height), Quarters(f, m, int(f.x), int(f.y)));
            for (const Pixmap picture : {whole, own}) {
                SCOPED_TRACE(picture == whole ? "whole screen" : "monitor");
                server.NameScreenshot(window, picture);
                ASSERT_TRUE(GrabScreenshotProperty(window, f, &p));
                ExpectQuarters(p, int(f.width), int(f.height), m);
            }
            // Cut to the area, and to the picture: the lowest band of the
            // monitor, from left of the screen.
            ASSERT_TRUE(GrabScreenshotProperty(
                window, NSRect{-20, f.y + f.height - 20, f.width / 2 + 20, 40}, &p));
            ASSERT_EQ(std::pair(p.width, p.height), std::pair(int(f.width) / 2, 20));
            EXPECT_TRUE(saverfiles::Near(RGBA{p.rgba[0], p.rgba[1], p.rgba[2], 255},
                                         Quarter(m, false, true), 3));
            XDestroyWindow(d, window);
            XFreePixmap(d, own);
        }
        XFreePixmap(d, whole);
        unsetenv("DISPLAY");
    }
}

// The real saver on monitors stacked one above the other and side by side,
// of different sizes (Xorg's dummy driver): each monitor shows its own part
// of the desktop the right way round and up, taken before any window of
// ours covered it; with "main monitor only" the other stays black. Under
// XScreenSaver, on the window it made over the lower or right monitor, the
// picture it took of that monitor or of the whole screen.
TEST(MonitorLayouts, EachMonitorShowsItsOwnPartOfTheDesktop) {
    using Monitor = XorgDummyServer::Monitor;
    const std::pair<Monitor, Monitor> layouts[] = {
        {{0, 0, 320, 240}, {0, 240, 400, 200}},  // the wider one below
        {{0, 60, 320, 240}, {320, 0, 240, 180}}, // a smaller one on the right, higher up
    };
    const RGBA fallback{240, 0, 240, 255};
    for (const auto& [first, second] : layouts) {
        XorgDummyServer server(first, second);
        if (!server.ok()) {
            GTEST_SKIP() << server.whyNot();
        }
        const NSRect frames[2] = {
            {double(first.x), double(first.y), double(first.width), double(first.height)},
            {double(second.x), double(second.y), double(second.width), double(second.height)}};
        SCOPED_TRACE(std::to_string(second.x) + "," + std::to_string(second.y));
        std::vector<XServer::Area> desktop = Quarters(frames[0], 0), other = Quarters(frames[1], 1);
        desktop.insert(desktop.end(), other.begin(), other.end());
        SaverProgram saver(server, fallback);
        const int screenWidth = std::max(first.x + first.width, second.x + second.width),
                  screenHeight = std::max(first.y + first.height, second.y + second.height);
        std::string seen;
        const auto shows = [&](int monitor, bool black = false) {
            return ShowsDesktop(server, server.root(), screenWidth, screenHeight, desktop,
                                frames[monitor], black, &seen);
        };
        server.SetRootPicture(desktop);
        for (const bool mainOnly : {false, true}) {
            saver.Prefer(0, 3, mainOnly);
            ASSERT_TRUE(saver.Start({}));
            EXPECT_TRUE(WaitFor(kPatience, [&] { return shows(0) && shows(1, mainOnly); }))
                << (mainOnly ? "main monitor only: " : "") << seen << saver.process.Output();
            saver.ExpectEndOnSigterm();
        }
        // Xfce's picture of each monitor, found by the output's name (the
        // other monitor's named first, so a name not found shows the wrong one).
        const RGBA walls[2] = {{30, 200, 90, 255}, {200, 90, 30, 255}};
        for (int m = 0; m < 2; m++) {
            saverfiles::WritePlainPicture(saver.home / ("wall" + std::to_string(m) + ".png"),
                                          walls[m]);
        }
        saver.WriteXfceSettings(
            {{"DUMMY0", 0, saver.home / "wall0.png"}, {"DUMMY1", 0, saver.home / "wall1.png"}});
        saver.Prefer(1, 3);
        ASSERT_TRUE(saver.Start({}, {{"XDG_CURRENT_DESKTOP", "XFCE"}}));
        for (int m = 0; m < 2; m++) {
            EXPECT_TRUE(saver.Shows(server.root(), int(frames[m].x + frames[m].width / 2),
                                    int(frames[m].y + 10), walls[m]))
                << m << saver.process.Output();
        }
        saver.ExpectEndOnSigterm();
        saver.Prefer(0, 3);

        server.SetRootPicture({});
        const Pixmap whole = server.Picture(screenWidth, screenHeight, desktop);
        const Pixmap own =
            server.Picture(second.width, second.height, Quarters(frames[1], 1, second.x, second.y));
        for (const Pixmap picture : {whole, own}) {
            SCOPED_TRACE(picture == whole ? "the whole screen's picture" : "the monitor's picture");
            const Window w = server.MakeWindow(second.x, second.y, second.width, second.height);
            server.NameScreenshot(w, picture);
            ASSERT_TRUE(saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", std::to_string(w)}}));
            EXPECT_TRUE(WaitFor(kPatience, [&] { return shows(1); }))
                << seen << saver.process.Output();
            saver.ExpectEndOnSigterm();
            XDestroyWindow(server.connection(), w);
        }
        XFreePixmap(server.connection(), whole);
        XFreePixmap(server.connection(), own);
    }
}

// A Wayland compositor's copy of an output, in each format it may choose,
// comes out as R, G, B, A bottom row first, whichever way up it was sent.
TEST(WaylandCopy, EveryFormatInBothRowOrders) {
    // Two by two, each pixel its own colour, rows padded past the pixels;
    // sent top row first unless flagged inverted, read bottom row first.
    const uint8_t rgb[2][2][3] = {{{250, 100, 1}, {0, 255, 0}}, {{3, 60, 200}, {16, 32, 48}}};
    const struct {
        uint32_t format;
        bool redLow, tenBits;
    } formats[] = {
        {WL_SHM_FORMAT_XRGB8888, false, false},   {WL_SHM_FORMAT_ARGB8888, false, false},
        {WL_SHM_FORMAT_XBGR8888, true, false},    {WL_SHM_FORMAT_ABGR8888, true, false},
        {WL_SHM_FORMAT_XRGB2101010, false, true}, {WL_SHM_FORMAT_ARGB2101010, false, true},
        {WL_SHM_FORMAT_XBGR2101010, true, true},  {WL_SHM_FORMAT_ABGR2101010, true, true},
    };
    for (const auto& f : formats) {
        const int bits = f.tenBits ? 10 : 8;
        auto wide = [&](uint32_t v) { return f.tenBits ? v << 2 | v >> 6 : v; };
        for (bool inverted : {false, true}) {
            std::vector<uint8_t> buffer(24, 0xee), want;
            for (int y = 0; y < 2; y++) {
                for (int x = 0; x < 2; x++) {
                    const uint8_t* c = rgb[inverted ? 1 - y : y][x];
                    const uint32_t v = wide(f.redLow ? c[2] : c[0]) << (2 * bits) |
                                       wide(c[1]) << bits | wide(f.redLow ? c[0] : c[2]);
                    for (int i = 0; i < 4; i++) {
                        buffer[y * 12 + x * 4 + i] = uint8_t(v >> (8 * i));
                    }
                    const uint8_t* w = rgb[1 - y][x];
                    want.insert(want.end(), {w[0], w[1], w[2], 255});
                }
            }
            DesktopPixels out;
            EXPECT_TRUE(ScreenCopy::Convert(f.format, 2, 2, 12, inverted, buffer.data(), 24, &out));
            EXPECT_EQ(out.rgba, want)
                << "format " << std::hex << f.format << " inverted " << inverted;
        }
    }
    // What we cannot read, or a buffer its sizes do not fit, is refused.
    const struct {
        uint32_t format;
        int width, height, stride;
        bool read;
    } sizes[] = {{WL_SHM_FORMAT_RGB565, 2, 2, 8, false},
                 {WL_SHM_FORMAT_XRGB8888, 4, 2, 12, false},
                 {WL_SHM_FORMAT_XRGB8888, 4, 5, 16, false},
                 {WL_SHM_FORMAT_XRGB8888, 0, 2, 16, false},
                 {WL_SHM_FORMAT_XRGB8888, 4, 4, 16, true}};
    const std::vector<uint8_t> buffer(64, 0x80);
    for (const auto& c : sizes) {
        DesktopPixels out;
        EXPECT_EQ(ScreenCopy::Convert(c.format, c.width, c.height, c.stride, false, buffer.data(),
                                      64, &out),
                  c.read)
            << c.width << "x" << c.height << ", stride " << c.stride;
    }
}

} // namespace
