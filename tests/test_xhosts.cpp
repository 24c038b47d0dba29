#include "ChildProcess.h"
#include "PictureFiles.h"
#include "RunTool.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "brewlib/ContainerWriter.h"
#include "host/platform/XWindows.h"

#include <X11/Xatom.h>
#include <algorithm>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// XScreenSaver 6 names a picture of the desktop on the window it hands us;
// by the time we start, the root shows its black window.
TEST_F(XHostsTest, UnderXScreenSaverTheDesktopIsItsScreenshot) {
    saverfiles::WritePreferences(Plain(0));
    Display* d = server->connection();
    const RGBA top{250, 140, 0, 255}, bottom{0, 140, 250, 255};
    const Pixmap shot = XCreatePixmap(d, server->root(), 400, 300, DefaultDepth(d, 0));
    GC gc = XCreateGC(d, shot, 0, nullptr);
    XSetForeground(d, gc, 0xFA8C00);
    XFillRectangle(d, shot, gc, 0, 0, 400, 150);
    XSetForeground(d, gc, 0x008CFA);
    XFillRectangle(d, shot, gc, 0, 150, 400, 150);
    XFreeGC(d, gc);
    const Pixmap freed = XCreatePixmap(d, server->root(), 400, 300, DefaultDepth(d, 0));
    XFreePixmap(d, freed);
    const Atom name = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False);
    const struct {
        Pixmap picture;
        bool root;
    } cases[] = {{shot, true}, {shot, false}, {freed, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root ? "--root" : "--window-id") +
                     (c.picture == freed ? ", freed picture" : ""));
        const Window w = server->MakeWindow(50, 40, 120, 90);
        XChangeProperty(d, w, name, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&c.picture), 1);
        XSync(d, False);
        if (c.root) {
            env.push_back({"XSCREENSAVER_WINDOW", Hex(w)});
            Start({"--root"});
            env.pop_back();
        } else {
            Start({"--window-id", Hex(w)});
        }
        if (c.picture == freed) {
            // Nothing to show but a black root: the desktop picture.
            EXPECT_TRUE(Shows(w, 60, 45, kFallback)) << saver.Output();
        } else {
            EXPECT_TRUE(Shows(w, 60, 10, top)) << saver.Output();
            EXPECT_TRUE(Shows(w, 60, 80, bottom, 1.0));
        }
        ExpectCleanEndOnSigterm();
        XDestroyWindow(d, w);
    }
    XFreePixmap(d, shot);
}

// Kind 1 as a desktop session has it: the desktop named in the
// environment, its settings under the user's config folder.
TEST_F(XHostsTest, TheDesktopPictureComesFromTheDesktopsOwnSettings) {
    saverfiles::WritePreferences(Plain(1));
    const RGBA colour{30, 200, 90, 255};
    pics::PngImage png;
    png.width = png.height = 8;
    for (int i = 0; i < 64; i++) {
        png.rows.insert(png.rows.end(), {colour.r, colour.g, colour.b});
    }
    const std::string picture = tmp / "My Wall.png";
    std::string error;
    ASSERT_TRUE(brew::WriteFileBytes(picture, pics::EncodePNG(png), &error)) << error;
    const std::string config = tmp.path() + "/config";
    // Xvfb's one RandR output is called "screen"; another monitor's
    // picture comes first, so only our own monitor's name finds ours.
    const std::string xfce = config + "/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(
        RunTool("mkdir -p " + Quote(xfce) + " " + Quote(config + "/glib-2.0/settings")).status, 0);
    std::ofstream(xfce + "/xfce4-desktop.xml")
        << "<channel name=\"xfce4-desktop\" version=\"1.0\"><property name=\"backdrop\" "
           "type=\"empty\"><property name=\"screen0\" type=\"empty\"><property "
           "name=\"monitorDP-9\" type=\"empty\"><property name=\"workspace0\" "
           "type=\"empty\"><property name=\"last-image\" type=\"string\" "
           "value=\"/nonexistent/other.png\"/></property></property><property "
           "name=\"monitorscreen\" type=\"empty\"><property name=\"workspace0\" "
           "type=\"empty\"><property name=\"last-image\" type=\"string\" value=\""
        << picture << "\"/></property></property></property></property></channel>\n";
    std::ofstream(config + "/glib-2.0/settings/keyfile")
        << "[org/mate/desktop/background]\npicture-filename='" << picture << "'\n";
    const std::string schemas = tmp.Subdir("schemas");
    std::ofstream(schemas + "/mate.gschema.xml")
        << "<schemalist><schema id=\"org.mate.background\" path=\"/org/mate/desktop/background/\">"
           "<key name=\"picture-filename\" type=\"s\"><default>''</default></key>"
           "</schema></schemalist>\n";
    ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(schemas)).status, 0);

    const std::vector<std::vector<std::pair<std::string, std::string>>> sessions = {
        {{"XDG_CURRENT_DESKTOP", "XFCE"}},
        {{"XDG_CURRENT_DESKTOP", "MATE"},
         {"GSETTINGS_BACKEND", "keyfile"},
         {"GSETTINGS_SCHEMA_DIR", schemas}},
    };
    const auto plain = env;
    for (const auto& session : sessions) {
        SCOPED_TRACE(session[0].second);
        env.insert(env.end(), session.begin(), session.end());
        const Window w = server->MakeWindow(10, 10, 200, 150);
        Start({"--window-id", Hex(w)});
        EXPECT_TRUE(Shows(w, 100, 75, colour)) << saver.Output();
        ExpectCleanEndOnSigterm();
        XDestroyWindow(server->connection(), w);
        env = plain;
    }
}

// The settings window's preview shows what the saver would: the desktop
// as it was before the window opened, or the desktop's own picture.
TEST(SettingsPreview, ShowsTheDesktopAndTheDesktopPicture) {
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok()) << "Xvfb did not start";
    TempDir tmp;
    saverfiles::UseUserFolders(tmp.path());
    const std::string resources = tmp.Subdir("res");
    saverfiles::WriteResources(resources, 2, kFallback);
    const RGBA desktop{40, 170, 90, 255}, picture{200, 120, 30, 255};
    server.SetRootPicture({{0, 0, 1024, 768, desktop}});
    pics::PngImage png;
    png.width = png.height = 8;
    for (int i = 0; i < 64; i++) {
        png.rows.insert(png.rows.end(), {picture.r, picture.g, picture.b});
    }
    std::string error;
    ASSERT_TRUE(brew::WriteFileBytes(tmp / "wall.png", pics::EncodePNG(png), &error)) << error;
    const std::string xfce = tmp.path() + "/config/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(RunTool("mkdir -p " + Quote(xfce)).status, 0);
    std::ofstream(xfce + "/xfce4-desktop.xml")
        << "<channel name=\"xfce4-desktop\" version=\"1.0\"><property name=\"backdrop\" "
           "type=\"empty\"><property name=\"screen0\" type=\"empty\"><property name=\"monitor0\" "
           "type=\"empty\"><property name=\"workspace0\" type=\"empty\"><property "
           "name=\"last-image\" type=\"string\" value=\""
        << tmp / "wall.png"
        << "\"/></property></property></property></property></channel>\n";
    const std::vector<std::pair<std::string, std::string>> env = {
        {"DISPLAY", server.name()},
        {"XDG_CONFIG_HOME", tmp.path() + "/config"},
        {"XDG_DATA_HOME", tmp.path() + "/data"},
        {"XDG_CURRENT_DESKTOP", "XFCE"},
        {"GDK_BACKEND", "x11"},
        {"NO_AT_BRIDGE", "1"},
        {"SDL_AUDIODRIVER", "dummy"}};
    for (const std::pair<int, RGBA>& shows : {std::pair{0, desktop}, std::pair{1, picture}}) {
        const int kind = shows.first;
        const RGBA colour = shows.second;
        SCOPED_TRACE("kind " + std::to_string(kind));
        saverfiles::WritePreferences(Plain(kind));
        ChildProcess dialog;
        ASSERT_TRUE(
            dialog.Start({BuildProgram("tumblix"), "--resources", resources, "--configure"}, env));
        const ToolResult found = RunTool("DISPLAY=" + server.name() +
                                         " timeout 30 xdotool search --sync --name "
                                         "'^Tumblix Settings$' 2>/dev/null");
        const unsigned long window = std::strtoul(found.out.c_str(), nullptr, 10);
        ASSERT_NE(window, 0ul) << dialog.Output();
        ASSERT_EQ(RunTool("DISPLAY=" + server.name() + " xdotool windowmove --sync " +
                          std::to_string(window) + " 0 0")
                      .status,
                  0);
        XWindowAttributes a;
        ASSERT_NE(XGetWindowAttributes(server.connection(), window, &a), 0);
        const int w = std::min(a.width, 1024), h = std::min(a.height, 768);
        int shown = 0;
        // A preview of 400 x 250 pixels, less what the bottles cover.
        const bool previewed = WaitFor(15.0, [&] {
            shown = 0;
            for (const RGBA& p : server.Pixels(window, w, h)) {
                shown += saverfiles::Near(p, colour) ? 1 : 0;
            }
            return shown > 60000;
        });
        EXPECT_TRUE(previewed) << shown << " pixels of the colour\n" << dialog.Output();
        dialog.Signal(SIGTERM);
        dialog.WaitExit(5.0, nullptr);
    }
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
