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
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The desktop capture: which screen, what size, what the texture holds,
// and the root window read on a real X server.

namespace {

// The texture's size for a display: the nearest power of two on a
// logarithmic scale, lowered to the detail's limit (detail 0: 512, 1: 1024,
// any other: the implementation's maximum).
TEST(DesktopTextureSize, NearestPowerOfTwoLoweredToTheDetailLimit) {
    const struct {
        int w, h, detail, maxSize, texW, texH;
    } cases[] = {
        {1440, 900, 1, 8192, 1024, 1024},
        {1440, 900, 0, 8192, 512, 512},
        {1920, 1200, 2, 8192, 2048, 1024},
        {1680, 1050, 1, 8192, 1024, 1024},
        {3840, 2160, -1, 2048, 2048, 2048},
        {3840, 2160, 7, 16384, 4096, 2048},
        // 1448 lies just below 1024 * sqrt(2), 1449 just above.
        {1448, 1, 2, 8192, 1024, 1},
        {1449, 1, 2, 8192, 2048, 1},
        {100, 60, 1, 8192, 128, 64},
    };
    for (const auto& c : cases) {
        int w = -1, h = -1;
        EXPECT_TRUE(DesktopTextureSize(c.w, c.h, c.detail, c.maxSize, &w, &h));
        EXPECT_EQ(w, c.texW) << c.w << "x" << c.h << " detail " << c.detail;
        EXPECT_EQ(h, c.texH) << c.w << "x" << c.h << " detail " << c.detail;
    }
    int w = 7, h = 7;
    EXPECT_FALSE(DesktopTextureSize(0, 100, 1, 8192, &w, &h));
    EXPECT_FALSE(DesktopTextureSize(100, -5, 1, 8192, &w, &h));
    EXPECT_EQ(DesktopTextureLimit(0, 8192), 512);
    EXPECT_EQ(DesktopTextureLimit(1, 8192), 1024);
    EXPECT_EQ(DesktopTextureLimit(2, 8192), 8192);
    EXPECT_EQ(DesktopTextureLimit(-3, 4096), 4096);
}

std::vector<NSScreen> TwoScreens() {
    NSScreen left, right;
    left.frame = NSRect{0, 0, 1920, 1080};
    left.number = 0;
    right.frame = NSRect{1920, 0, 1280, 1024};
    right.number = 1;
    return {left, right};
}

TEST(ScreenForFrame, FirstScreenTheFrameOverlapsElseTheMainOne) {
    const std::vector<NSScreen> screens = TwoScreens();
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{1920, 0, 1280, 1024})->number, 1);
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{100, 100, 10, 10})->number, 0);
    // Across both: the first in the list wins, not the larger share.
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{1900, 0, 1000, 100})->number, 0);
    // Touching an edge is no overlap; nothing overlapping means the main screen.
    EXPECT_EQ(ScreenForFrame(screens, 1, NSRect{0, 1080, 100, 100})->number, 1);
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{-500, -500, 10, 10})->number, 0);
    EXPECT_EQ(ScreenForFrame(screens, 0, NSRect{100, 100, 0, 0})->number, 0);
    EXPECT_EQ(ScreenForFrame(screens, 7, NSRect{-500, -500, 10, 10}), nullptr);
    EXPECT_EQ(ScreenForFrame({}, 0, NSRect{0, 0, 10, 10}), nullptr);
}

// A capture of w x h pixels, bottom row first, coloured by row.
DesktopPixels Capture(int w, int h, RGBA bottom, RGBA top) {
    DesktopPixels p;
    p.width = w;
    p.height = h;
    for (int y = 0; y < h; y++) {
        const RGBA c = y < h / 2 ? bottom : top;
        for (int x = 0; x < w; x++) {
            p.rgba.insert(p.rgba.end(), {c.r, c.g, c.b, c.a});
        }
    }
    return p;
}

class DesktopTextureGL : public GLFixture {
  protected:
    GLint Level0(GLenum what) {
        GLint v = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &v);
        return v;
    }
    std::vector<RGBA> TexturePixels(GLuint name) {
        glBindTexture(GL_TEXTURE_2D, name);
        std::vector<RGBA> texels(size_t(Level0(GL_TEXTURE_WIDTH)) * Level0(GL_TEXTURE_HEIGHT));
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }
};

TEST_F(DesktopTextureGL, ScalesTheCaptureKeepingItsBottomRowFirst) {
    const RGBA red{200, 20, 20, 255}, blue{20, 20, 200, 255};
    GLuint name = 0;
    BuildDesktopTexture(&name, Capture(100, 60, red, blue), 1);
    ASSERT_NE(name, 0u);
    const std::vector<RGBA> texels = TexturePixels(name);
    EXPECT_EQ(Level0(GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(Level0(GL_TEXTURE_HEIGHT), 64);
    EXPECT_TRUE(saverfiles::Near(texels[0], red)) << texels[0];
    EXPECT_TRUE(saverfiles::Near(texels.back(), blue)) << texels.back();
    glDeleteTextures(1, &name);
}

TEST_F(DesktopTextureGL, ABlackCaptureFailsWhateverItsAlpha) {
    GLuint name = 0;
    glGenTextures(1, &name);
    const GLuint given = name;
    BuildDesktopTexture(&name, Capture(64, 64, RGBA{0, 0, 0, 255}, RGBA{0, 0, 0, 255}), 1);
    EXPECT_EQ(name, 0u);
    EXPECT_FALSE(glIsTexture(given)) << "the name handed in is deleted";

    // One dark pixel is enough for a picture.
    DesktopPixels almost = Capture(64, 64, RGBA{0, 0, 0, 0}, RGBA{0, 0, 0, 0});
    almost.rgba[4 * 100 + 2] = 1;
    BuildDesktopTexture(&name, almost, 1);
    EXPECT_NE(name, 0u);
    glDeleteTextures(1, &name);

    name = 0;
    DesktopPixels torn = Capture(64, 64, RGBA{9, 9, 9, 255}, RGBA{9, 9, 9, 255});
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

class ViewCapture : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        saverfiles::UseUserFolders(tmp.path());
        saverfiles::Prefs prefs;
        prefs.bgType = 0;
        prefs.bgRes = 1;
        saverfiles::WritePreferences(prefs);
        FakeDesktop::asked.clear();
        FakeDesktop::pixels = Capture(1440, 900, RGBA{10, 200, 10, 255}, RGBA{10, 10, 200, 255});
        FakeDesktop::works = true;
        SetDesktopGrabber(FakeDesktop::Grab);
        SetScreens(TwoScreens(), 0);
    }
    void TearDown() override {
        SetDesktopGrabber(nullptr);
        SetScreens({}, 0);
        GLFixture::TearDown();
    }
    // The width and height of the view's desktop texture.
    std::pair<int, int> TextureOf(TumblixView& view) {
        glBindTexture(GL_TEXTURE_2D, view.DeskTex.texID);
        int w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        return {w, h};
    }
    TempDir tmp;
};

// At creation the view reads its own screen, the main one when off every
// screen; the preview at detail 0. No desktop or a black one turns it to
// the desktop picture.
TEST_F(ViewCapture, CapturesItsOwnScreenAtCreationOrTurnsToTheDesktopPicture) {
    const DesktopPixels desktop = FakeDesktop::pixels,
                        black = Capture(64, 48, RGBA{0, 0, 0, 255}, RGBA{0, 0, 0, 255});
    const struct {
        NSRect frame;
        bool preview, works;
        const DesktopPixels* desktop;
        double askedX, askedWidth;
        int type, textureSize; // 0: no texture
    } cases[] = {
        {{1920, 0, 1280, 1024}, false, true, &desktop, 1920, 1280, BG_CAPTURE, 1024}, // BGRes 1
        {{-4000, -4000, 320, 200}, true, true, &desktop, 0, 1920, BG_CAPTURE, 512},
        {{0, 0, 640, 480}, false, false, &desktop, 0, 1920, BG_DESKTOP_PICTURE, 0},
        {{0, 0, 640, 480}, false, true, &black, 0, 1920, BG_DESKTOP_PICTURE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame.x);
        FakeDesktop::asked.clear();
        FakeDesktop::works = c.works;
        FakeDesktop::pixels = *c.desktop;
        TumblixView view(c.frame, c.preview, &window, tmp.path());
        ASSERT_EQ(FakeDesktop::asked.size(), 1u);
        EXPECT_EQ(FakeDesktop::asked[0].x, c.askedX);
        EXPECT_EQ(FakeDesktop::asked[0].width, c.askedWidth);
        EXPECT_EQ(view.mySettings.BGTYPE, c.type);
        if (c.textureSize == 0) {
            EXPECT_EQ(view.DeskTex.texID, 0u);
        } else {
            EXPECT_EQ(TextureOf(view), std::pair(c.textureSize, c.textureSize));
        }
    }
    // Without screens the grabber is asked for the whole main screen.
    SetScreens({}, 0);
    FakeDesktop::asked.clear();
    FakeDesktop::pixels = Capture(64, 48, RGBA{1, 2, 3, 255}, RGBA{1, 2, 3, 255});
    TumblixView view(NSRect{0, 0, 640, 480}, false, &window, tmp.path());
    ASSERT_EQ(FakeDesktop::asked.size(), 1u);
    EXPECT_EQ(FakeDesktop::asked[0].width, 0);
    EXPECT_NE(view.DeskTex.texID, 0u);
    // The store keeps the kind the user chose.
    EXPECT_EQ(ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME)->integerForKey("BGType"),
              0);
}

// The root window of a real X server.
class RootGrab : public OnXvfb<320, 240> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        setenv("DISPLAY", server->name().c_str(), 1);
        server->SetRootPicture({{0, 0, 160, 120, kTopLeft},
                                {0, 120, 160, 120, kBottomLeft},
                                {160, 0, 160, 120, kTopRight},
                                {160, 120, 160, 120, kBottomRight}});
    }
    static RGBA At(const DesktopPixels& p, int x, int yFromBottom) {
        const uint8_t* c = &p.rgba[(size_t(yFromBottom) * p.width + x) * 4];
        return RGBA{c[0], c[1], c[2], c[3]};
    }
    static constexpr RGBA kTopLeft{250, 0, 0, 255}, kBottomLeft{0, 250, 0, 255},
        kTopRight{0, 0, 250, 255}, kBottomRight{250, 250, 0, 255};
};

// The area asked for, clipped to the root; none at all for the whole.
TEST_F(RootGrab, ReadsTheRootOverTheAreaBottomRowFirst) {
    struct Check {
        int x, yFromBottom;
        RGBA colour;
    };
    const struct {
        NSRect area;
        int width, height;
        std::vector<Check> checks;
    } cases[] = {
        {{160, 0, 160, 240},
         160,
         240,
         {{0, 0, kBottomRight},
          {159, 239, kTopRight},
          {10, 125, kTopRight},
          {10, 115, kBottomRight}}},
        {{}, 320, 240, {{0, 0, kBottomLeft}, {0, 239, kTopLeft}}},
        {{300, 200, 100, 100}, 20, 40, {{0, 0, kBottomRight}}},
        {{-50, -50, 100, 100}, 50, 50, {{0, 49, kTopLeft}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.area.x);
        DesktopPixels p;
        ASSERT_TRUE(GrabRootWindow(c.area, &p));
        ASSERT_EQ(p.width, c.width);
        ASSERT_EQ(p.height, c.height);
        ASSERT_EQ(p.rgba.size(), size_t(c.width) * c.height * 4);
        for (const Check& k : c.checks) {
            EXPECT_EQ(At(p, k.x, k.yFromBottom), k.colour) << k.x << ", " << k.yFromBottom;
        }
    }
    DesktopPixels p;
    EXPECT_FALSE(GrabRootWindow(NSRect{400, 0, 10, 10}, &p));
    EXPECT_FALSE(GrabRootWindow(NSRect{0, -20, 10, 10}, &p));
}

// XScreenSaver's picture of the desktop, as it leaves it on the window it
// hands a screen saver: a pixmap of the whole screen named by a property.
class ScreenshotGrab : public RootGrab {
  protected:
    void SetUp() override {
        RootGrab::SetUp();
        d = server->connection();
        window = server->MakeWindow(40, 30, 100, 80);
        property = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False);
    }
    void TearDown() override {
        XDestroyWindow(d, window);
        XSync(d, False);
        SetDesktopGrabber(nullptr);
    }
    // A picture of the screen: left half kLeft, right half kRight.
    Pixmap Picture(int depth = 24) {
        return server->Picture(320, 240, {{0, 0, 160, 240, kLeft}, {160, 0, 160, 240, kRight}},
                               depth);
    }
    void Name(unsigned long id, Atom type = XA_PIXMAP) {
        XChangeProperty(d, window, property, type, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&id), 1);
        XSync(d, False);
    }
    Display* d = nullptr;
    Window window = None;
    Atom property = None;
    static constexpr RGBA kLeft{10, 120, 250, 255}, kRight{250, 120, 10, 255};
};

TEST_F(ScreenshotGrab, ReadsThePictureTheWindowNamesCutToTheArea) {
    const Pixmap picture = Picture();
    Name(picture);
    DesktopPixels p;
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{160, 0, 160, 240}, &p));
    EXPECT_EQ(p.width, 160);
    EXPECT_EQ(p.height, 240);
    EXPECT_EQ(At(p, 0, 0), kRight);
    EXPECT_EQ(At(p, 159, 239), kRight);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{150, 200, 100, 100}, &p));
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 40);
    EXPECT_EQ(At(p, 9, 0), kLeft);
    EXPECT_EQ(At(p, 10, 0), kRight);

    // With several monitors the picture is of the window's monitor alone,
    // and starts where the window does.
    const Pixmap monitor =
        server->Picture(100, 80, {{0, 0, 100, 80, kLeft}, {0, 60, 100, 20, kRight}});
    Name(monitor);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{40, 30, 100, 80}, &p));
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 80);
    EXPECT_EQ(At(p, 0, 0), kRight);
    EXPECT_EQ(At(p, 99, 79), kLeft);
    ASSERT_TRUE(GrabScreenshotProperty(window, NSRect{0, 0, 320, 240}, &p));
    EXPECT_EQ(p.width, 100) << "clipped to the picture";
    Name(picture);
    XFreePixmap(d, monitor);

    // The installed capture prefers it to the root, which shows the
    // screen saver's own window by now.
    InstallDesktopServices(window);
    ASSERT_TRUE(CurrentDesktopGrabber()(NSRect{0, 0, 160, 240}, &p));
    EXPECT_EQ(At(p, 5, 5), kLeft);
    XDeleteProperty(d, window, property);
    XSync(d, False);
    ASSERT_TRUE(CurrentDesktopGrabber()(NSRect{0, 0, 160, 240}, &p));
    EXPECT_EQ(At(p, 5, 5), kBottomLeft) << "without the property: the root";
    XFreePixmap(d, picture);
}

TEST_F(ScreenshotGrab, AGonePictureOrAStrangePropertyIsNoPicture) {
    DesktopPixels p;
    EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << "no property";
    EXPECT_FALSE(GrabScreenshotProperty(0, NSRect(), &p));

    const Pixmap freed = Picture();
    XFreePixmap(d, freed);
    const Pixmap bitmap = Picture(1);
    const GC gc = XCreateGC(d, window, 0, nullptr); // an id that is no drawable
    const Pixmap good = Picture();
    const struct {
        unsigned long id;
        Atom type;
        const char* what;
    } cases[] = {
        {freed, XA_PIXMAP, "a freed pixmap"},
        {bitmap, XA_PIXMAP, "a pixmap of depth 1"},
        {XGContextFromGC(gc), XA_PIXMAP, "a graphics context"},
        {0x7ffffff0, XA_PIXMAP, "an id never given out"},
        {good, XA_STRING, "a good pixmap under the wrong type"},
    };
    for (const auto& c : cases) {
        Name(c.id, c.type);
        EXPECT_FALSE(GrabScreenshotProperty(window, NSRect(), &p)) << c.what;
    }
    // Our own connection took no harm from the errors on the way.
    Name(good);
    EXPECT_TRUE(GrabScreenshotProperty(window, NSRect(), &p));
    const Window gone = server->MakeWindow(0, 0, 10, 10);
    XDestroyWindow(d, gone);
    XSync(d, False);
    EXPECT_FALSE(GrabScreenshotProperty(gone, NSRect(), &p)) << "a window that is gone";
    XFreeGC(d, gc);
    XFreePixmap(d, bitmap);
    XFreePixmap(d, good);
}

TEST(RootGrabWithoutX, FailsCleanly) {
    DesktopPixels p;
    unsetenv("DISPLAY");
    EXPECT_FALSE(GrabRootWindow(NSRect(), &p));
    setenv("DISPLAY", ":31999", 1); // no such server
    EXPECT_FALSE(GrabRootWindow(NSRect(), &p));
    unsetenv("DISPLAY");
}

} // namespace
