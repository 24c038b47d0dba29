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

#include <X11/Xatom.h>
#include <gtest/gtest.h>

// The desktop capture: which screen, what size, what the texture holds,
// and the root window or XScreenSaver's picture read on a real X server.

namespace {

// The nearest power of two on a logarithmic scale, lowered to the detail's
// limit (detail 0: 512, 1: 1024, any other: the implementation's maximum).
TEST(DesktopTextureSize, NearestPowerOfTwoLoweredToTheDetailLimit) {
    const struct {
        int w, h, detail, maxSize, texW, texH;
    } cases[] = {
        {1440, 900, 1, 8192, 1024, 1024},
        {1440, 900, 0, 8192, 512, 512},
        {1920, 1200, 2, 8192, 2048, 1024},
        {3840, 2160, -1, 2048, 2048, 2048},
        {3840, 2160, 7, 16384, 4096, 2048},
        {100, 60, 1, 8192, 128, 64},
        // 1448 lies just below 1024 * sqrt(2), 1449 just above.
        {1448, 1, 2, 8192, 1024, 1},
        {1449, 1, 2, 8192, 2048, 1},
        {0, 100, 1, 8192, 7, 7},
        {100, -5, 1, 8192, 7, 7}, // refused
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
    EXPECT_EQ(ScreenForFrame(screens, 1, NSRect{3200, 0, 100, 100})->number, 1);
    EXPECT_EQ(ScreenForFrame(screens, 1, NSRect{100, 100, 0, 0})->number, 1);
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

// The width, height and texels of a texture.
std::vector<RGBA> Texels(GLuint name, int* w, int* h) {
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
    std::vector<RGBA> texels(size_t(*w) * size_t(*h));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

using DesktopTextureGL = GLFixture;

TEST_F(DesktopTextureGL, ScalesTheCaptureBottomRowFirstAndRefusesABlackOrTornOne) {
    const RGBA red{200, 20, 20, 255}, blue{20, 20, 200, 255}, black{0, 0, 0, 255};
    GLuint name = 0;
    BuildDesktopTexture(&name, Capture(100, 60, red, blue), 1);
    int w = 0, h = 0;
    const std::vector<RGBA> texels = Texels(name, &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(128, 64));
    EXPECT_TRUE(saverfiles::Near(texels[0], red)) << texels[0];
    EXPECT_TRUE(saverfiles::Near(texels.back(), blue)) << texels.back();

    const GLuint given = name;
    BuildDesktopTexture(&name, Capture(64, 64, black, black), 1);
    EXPECT_EQ(name, 0u);
    EXPECT_FALSE(glIsTexture(given)) << "the name handed in is deleted";
    DesktopPixels almost = Capture(64, 64, RGBA{}, RGBA{}); // one dark pixel is a picture
    almost.rgba[4 * 100 + 2] = 1;
    BuildDesktopTexture(&name, almost, 1);
    EXPECT_NE(name, 0u);
    glDeleteTextures(1, &name);
    name = 0;
    DesktopPixels torn = Capture(64, 64, red, red);
    torn.rgba.resize(100); // fewer pixels than the size says
    BuildDesktopTexture(&name, torn, 1);
    EXPECT_EQ(name, 0u);
}

// The view's own capture at creation, with a stand-in for the desktop.
struct FakeDesktop {
    static inline std::vector<NSRect> asked;
    static inline DesktopPixels pixels;
    static inline bool works = true;
    static bool Grab(const NSRect& area, DesktopPixels* out) {
        asked.push_back(area);
        *out = pixels;
        return works;
    }
};

// At creation the view reads its own screen, the main one when off every
// screen, the whole main screen without screens; the preview at detail 0.
// No desktop or a black one turns it to the desktop picture, and the store
// keeps the kind the user chose.
TEST_F(DesktopTextureGL, TheViewCapturesItsOwnScreenAtCreationOrTurnsToTheDesktopPicture) {
    TempDir tmp;
    saverfiles::UseUserFolders(tmp.path());
    saverfiles::Prefs prefs;
    prefs.bgType = 0;
    saverfiles::WritePreferences(prefs);
    SetDesktopGrabber(FakeDesktop::Grab);
    const DesktopPixels desktop = Capture(1440, 900, {10, 200, 10, 255}, {10, 10, 200, 255}),
                        black = Capture(64, 48, {0, 0, 0, 255}, {0, 0, 0, 255});
    const struct {
        NSRect frame;
        bool screens, preview, works;
        const DesktopPixels* desktop;
        double askedX, askedWidth;
        int type, textureSize; // 0: no texture
    } cases[] = {
        {{1920, 0, 1280, 1024}, true, false, true, &desktop, 1920, 1280, BG_CAPTURE, 1024},
        {{-4000, -4000, 320, 200}, true, true, true, &desktop, 0, 1920, BG_CAPTURE, 512},
        {{0, 0, 640, 480}, false, false, true, &desktop, 0, 0, BG_CAPTURE, 1024},
        {{0, 0, 640, 480}, true, false, false, &desktop, 0, 1920, BG_DESKTOP_PICTURE, 0},
        {{0, 0, 640, 480}, true, false, true, &black, 0, 1920, BG_DESKTOP_PICTURE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetScreens(c.screens ? TwoScreens() : std::vector<NSScreen>{}, 0);
        FakeDesktop::asked.clear();
        FakeDesktop::works = c.works;
        FakeDesktop::pixels = *c.desktop;
        TumblixView view(c.frame, c.preview, &window, tmp.path());
        ASSERT_EQ(FakeDesktop::asked.size(), 1u);
        EXPECT_EQ(FakeDesktop::asked[0].x, c.askedX);
        EXPECT_EQ(FakeDesktop::asked[0].width, c.askedWidth);
        EXPECT_EQ(view.mySettings.BGTYPE, c.type);
        int w = 0, h = 0;
        if (view.DeskTex.texID != 0) {
            Texels(view.DeskTex.texID, &w, &h);
        }
        EXPECT_EQ(std::pair(w, h), std::pair(c.textureSize, c.textureSize));
    }
    EXPECT_EQ(ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME)->integerForKey("BGType"),
              0);
    SetDesktopGrabber(nullptr);
    SetScreens({}, 0);
}

// The root window of a real X server, and XScreenSaver's picture of the
// desktop as it leaves it on the window it hands a screen saver: a pixmap
// of the whole screen (or of the window's monitor) named by a property.
class RootGrab : public OnXvfb<320, 240> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        setenv("DISPLAY", server->name().c_str(), 1);
        property = XInternAtom(server->connection(), "_SCREENSAVER_SCREENSHOT", False);
        server->SetRootPicture({{0, 0, 160, 120, kTopLeft},
                                {0, 120, 160, 120, kBottomLeft},
                                {160, 0, 160, 120, kTopRight},
                                {160, 120, 160, 120, kBottomRight}});
    }
    void TearDown() override { unsetenv("DISPLAY"); }
    // Whether p is w x h with these colours at (x, y from the bottom).
    static void Expect(const DesktopPixels& p, int w, int h,
                       const std::vector<std::tuple<int, int, RGBA>>& colours) {
        ASSERT_EQ(std::pair(p.width, p.height), std::pair(w, h));
        ASSERT_EQ(p.rgba.size(), size_t(w) * h * 4);
        for (const auto& [x, y, colour] : colours) {
            const uint8_t* c = &p.rgba[(size_t(y) * p.width + x) * 4];
            EXPECT_EQ((RGBA{c[0], c[1], c[2], c[3]}), colour) << x << ", " << y;
        }
    }
    void Name(Window w, unsigned long id, Atom type = XA_PIXMAP) {
        XChangeProperty(server->connection(), w, property, type, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&id), 1);
        XSync(server->connection(), False);
    }
    static constexpr RGBA kTopLeft{250, 0, 0, 255}, kBottomLeft{0, 250, 0, 255},
        kTopRight{0, 0, 250, 255}, kBottomRight{250, 250, 0, 255};
    Atom property = None;
};

// The area asked for, clipped to the root; none at all for the whole.
TEST_F(RootGrab, ReadsTheRootOverTheAreaBottomRowFirst) {
    DesktopPixels p;
    ASSERT_TRUE(GrabRootWindow(NSRect{160, 0, 160, 240}, &p));
    Expect(p, 160, 240,
           {{0, 0, kBottomRight},
            {159, 239, kTopRight},
            {10, 125, kTopRight},
            {10, 115, kBottomRight}});
    ASSERT_TRUE(GrabRootWindow(NSRect{}, &p));
    Expect(p, 320, 240, {{0, 0, kBottomLeft}, {0, 239, kTopLeft}});
    ASSERT_TRUE(GrabRootWindow(NSRect{300, 200, 100, 100}, &p));
    Expect(p, 20, 40, {{0, 0, kBottomRight}});
    ASSERT_TRUE(GrabRootWindow(NSRect{-50, -50, 100, 100}, &p));
    Expect(p, 50, 50, {{0, 49, kTopLeft}});
    EXPECT_FALSE(GrabRootWindow(NSRect{400, 0, 10, 10}, &p));
    EXPECT_FALSE(GrabRootWindow(NSRect{0, -20, 10, 10}, &p));
    for (const char* display : {":31999", (const char*)nullptr}) { // no server
        display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
        EXPECT_FALSE(GrabRootWindow(NSRect(), &p)) << (display ? display : "no DISPLAY");
    }
}

TEST_F(RootGrab, ReadsThePictureTheWindowNamesCutToTheAreaAndPrefersItToTheRoot) {
    Display* d = server->connection();
    const RGBA left{10, 120, 250, 255}, right{250, 120, 10, 255};
    const Window window = server->MakeWindow(40, 30, 100, 80);
    const Pixmap screen =
        server->Picture(320, 240, {{0, 0, 160, 240, left}, {160, 0, 160, 240, right}});
    DesktopPixels p;
    EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << "no property";
    Name(window, screen);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{150, 200, 100, 100}, &p));
    Expect(p, 100, 40, {{9, 0, left}, {10, 0, right}});
    // With several monitors the picture is of the window's monitor alone,
    // and starts where the window does; it is clipped to the picture.
    const Pixmap monitor =
        server->Picture(100, 80, {{0, 0, 100, 80, left}, {0, 60, 100, 20, right}});
    Name(window, monitor);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{0, 0, 320, 240}, &p));
    Expect(p, 100, 80, {{0, 0, right}, {99, 79, left}});

    // The installed capture prefers it to the root, which shows the
    // screen saver's own window by now.
    Name(window, screen);
    InstallDesktopServices(window);
    ASSERT_TRUE(CurrentDesktopGrabber()(NSRect{0, 0, 160, 240}, &p));
    Expect(p, 160, 240, {{5, 5, left}});
    XDeleteProperty(d, window, property);
    XSync(d, False);
    ASSERT_TRUE(CurrentDesktopGrabber()(NSRect{0, 0, 160, 240}, &p));
    Expect(p, 160, 240, {{5, 5, kBottomLeft}});
    SetDesktopGrabber(nullptr);

    // A gone picture or a strange property is no picture, and our own
    // connection takes no harm from the errors on the way.
    XFreePixmap(d, monitor);
    const Pixmap bitmap = server->Picture(320, 240, {}, 1);
    const GC gc = XCreateGC(d, window, 0, nullptr); // an id that is no drawable
    const std::tuple<unsigned long, Atom, const char*> bad[] = {
        {monitor, XA_PIXMAP, "a freed pixmap"},
        {bitmap, XA_PIXMAP, "a pixmap of depth 1"},
        {XGContextFromGC(gc), XA_PIXMAP, "a graphics context"},
        {0x7ffffff0, XA_PIXMAP, "an id never given out"},
        {screen, XA_STRING, "a good pixmap under the wrong type"},
    };
    for (const auto& [id, type, what] : bad) {
        Name(window, id, type);
        EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << what;
    }
    Name(window, screen);
    EXPECT_TRUE(GrabScreenshotProperty(window, NSRect(), &p));
    XDestroyWindow(d, window);
    XSync(d, False);
    EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << "a window that is gone";
    EXPECT_FALSE(GrabScreenshotProperty(0, NSRect(), &p));
    XFreeGC(d, gc);
    XFreePixmap(d, bitmap);
    XFreePixmap(d, screen);
}

} // namespace
