#include "AssetFiles.h"
#include "GLFixture.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "host/DesktopServices.h"
#include "host/DesktopTexture.h"
#include "host/SettingsIO.h"
#include "host/TumblixView.h"
#include "host/platform/DesktopCapture.h"
#include "host/platform/PreferenceStore.h"
#include "host/platform/wayland/ScreenCopy.h"

#include <X11/Xatom.h>
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
    const std::vector<NSScreen> screens = TwoScreens();
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{1920, 0, 1280, 1024})->number, 1);
    // Across both: the first in the list wins, not the larger share.
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{1900, 0, 1000, 100})->number, 0);
    // Touching an edge is no overlap; nothing overlapping means the main screen.
    EXPECT_EQ(ScreenForFrame(screens, 1, NSRect{0, 1080, 100, 100})->number, 1);
    EXPECT_EQ(ScreenForFrame(screens, 7, NSRect{-500, -500, 10, 10}), nullptr);
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

// XScreenSaver's picture of the desktop as it leaves it on the window it
// hands a screen saver: a pixmap of the whole screen (or of the window's
// monitor) named by a property, read bottom row first.
using ScreenshotProperty = OnXvfb<320, 240>;

TEST_F(ScreenshotProperty, ReadsThePictureTheWindowNamesCutToTheArea) {
    Display* d = server->connection();
    setenv("DISPLAY", server->name().c_str(), 1);
    const auto name = [&](Window w, unsigned long id) {
        XChangeProperty(d, w, XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&id), 1);
        XSync(d, False);
    };
    // Whether p is w x h with these colours at (x, y from the bottom).
    const auto expect = [](const DesktopPixels& p, int w, int h,
                           const std::vector<std::tuple<int, int, RGBA>>& colours) {
        ASSERT_EQ(std::pair(p.width, p.height), std::pair(w, h));
        ASSERT_EQ(p.rgba.size(), size_t(w) * h * 4);
        for (const auto& [x, y, colour] : colours) {
            const uint8_t* c = &p.rgba[(size_t(y) * p.width + x) * 4];
            EXPECT_EQ((RGBA{c[0], c[1], c[2], c[3]}), colour) << x << ", " << y;
        }
    };
    const RGBA left{10, 120, 250, 255}, right{250, 120, 10, 255};
    const Window window = server->MakeWindow(40, 30, 100, 80);
    const Pixmap screen =
        server->Picture(320, 240, {{0, 0, 160, 240, left}, {160, 0, 160, 240, right}});
    DesktopPixels p;
    EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << "no property";
    name(window, screen);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{150, 200, 100, 100}, &p));
    expect(p, 100, 40, {{9, 0, left}, {10, 0, right}});
    // With several monitors the picture is of the window's monitor alone,
    // and starts where the window does; it is clipped to the picture.
    const Pixmap monitor =
        server->Picture(100, 80, {{0, 0, 100, 80, left}, {0, 60, 100, 20, right}});
    name(window, monitor);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{0, 0, 320, 240}, &p));
    expect(p, 100, 80, {{0, 0, right}, {99, 79, left}});
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{40, 90, 100, 20}, &p)); // its lowest band
    expect(p, 100, 20, {{0, 0, right}, {99, 19, right}});
    XDestroyWindow(d, window);
    XFreePixmap(d, monitor);
    XFreePixmap(d, screen);
    unsetenv("DISPLAY");
}

// A Wayland compositor's copy of an output, in each format it may choose,
// comes out as R, G, B, A bottom row first, whichever way up it was sent.
TEST(WaylandCopy, EveryFormatInBothRowOrders) {
    // Three by two, every pixel its own colour; rows padded past the pixels.
    const uint8_t rgb[2][3][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                                  {{16, 32, 48}, {200, 100, 50}, {1, 2, 254}}};
    const int width = 3, height = 2, stride = 16;
    const struct {
        uint32_t format;
        bool redLow, tenBits;
    } formats[] = {
        {WL_SHM_FORMAT_XRGB8888, false, false},    {WL_SHM_FORMAT_ARGB8888, false, false},
        {WL_SHM_FORMAT_XBGR8888, true, false},     {WL_SHM_FORMAT_ABGR8888, true, false},
        {WL_SHM_FORMAT_XRGB2101010, false, true},  {WL_SHM_FORMAT_ARGB2101010, false, true},
        {WL_SHM_FORMAT_XBGR2101010, true, true},   {WL_SHM_FORMAT_ABGR2101010, true, true},
    };
    for (const auto& f : formats) {
        for (bool inverted : {false, true}) {
            std::vector<uint8_t> buffer(stride * height, 0xee);
            for (int y = 0; y < height; y++) {
                for (int x = 0; x < width; x++) {
                    // Sent top row first, unless the compositor flags it inverted.
                    const uint8_t* c = rgb[inverted ? height - 1 - y : y][x];
                    const int bits = f.tenBits ? 10 : 8;
                    auto wide = [&](uint32_t v) { return f.tenBits ? v << 2 | v >> 6 : v; };
                    const uint32_t low = wide(f.redLow ? c[0] : c[2]),
                                   high = wide(f.redLow ? c[2] : c[0]);
                    const uint32_t v = (f.tenBits ? 3u << 30 : 0xffu << 24) |
                                       high << (2 * bits) | wide(c[1]) << bits | low;
                    for (int i = 0; i < 4; i++) {
                        buffer[y * stride + x * 4 + i] = uint8_t(v >> (8 * i));
                    }
                }
            }
            DesktopPixels out;
            ASSERT_TRUE(ScreenCopy::Convert(f.format, width, height, stride, inverted,
                                            buffer.data(), buffer.size(), &out));
            ASSERT_EQ(std::pair(out.width, out.height), std::pair(width, height));
            for (int y = 0; y < height; y++) {
                for (int x = 0; x < width; x++) {
                    const uint8_t* got = &out.rgba[(y * width + x) * 4];
                    const uint8_t* want = rgb[height - 1 - y][x]; // bottom row first
                    EXPECT_EQ(std::vector<int>(got, got + 4),
                              (std::vector<int>{want[0], want[1], want[2], 255}))
                        << "format " << std::hex << f.format << std::dec << " inverted "
                        << inverted << " pixel " << x << "," << y;
                }
            }
        }
    }
    // What we cannot read, or a buffer its sizes do not fit, is refused.
    std::vector<uint8_t> buffer(64, 0x80);
    DesktopPixels out;
    EXPECT_FALSE(ScreenCopy::Convert(WL_SHM_FORMAT_RGB565, 2, 2, 8, false, buffer.data(), 64, &out));
    EXPECT_FALSE(ScreenCopy::Convert(WL_SHM_FORMAT_XRGB8888, 4, 2, 12, false, buffer.data(), 64,
                                     &out)); // stride shorter than a row
    EXPECT_FALSE(ScreenCopy::Convert(WL_SHM_FORMAT_XRGB8888, 4, 5, 16, false, buffer.data(), 64,
                                     &out)); // more rows than bytes
    EXPECT_FALSE(ScreenCopy::Convert(WL_SHM_FORMAT_XRGB8888, 0, 2, 16, false, buffer.data(), 64,
                                     &out));
    EXPECT_TRUE(ScreenCopy::Convert(WL_SHM_FORMAT_XRGB8888, 4, 4, 16, false, buffer.data(), 64,
                                    &out)); // exactly fits
}

} // namespace
