#include "RunTool.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/platform/XWindows.h"

#include <X11/Xatom.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

// tumblix as X hosts run it, end to end on a private X server: the full
// screen saver, and drawing into a window someone else made (--window-id,
// --root as XScreenSaver runs it).

namespace {

const RGBA kFallback{230, 0, 230, 255}, kColour{20, 120, 220, 255}, kBlack{0, 0, 0, 255};

std::string Hex(unsigned long id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

saverfiles::Prefs Plain(int bgType) {
    saverfiles::Prefs p;
    p.bgType = bgType;
    p.colour = kColour;
    return p;
}

class XHostsTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        server->SetRootPicture({});
    }
    // Starts it in the window w as --window-id or, for XScreenSaver,
    // --root with the window in the environment.
    void StartIn(Window w, bool root) {
        if (root) {
            ASSERT_TRUE(saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", Hex(w)}}));
        } else {
            ASSERT_TRUE(saver.Start({"--window-id", Hex(w)}));
        }
    }

    SaverProgram saver{*server, kFallback};
};

TEST_F(XHostsTest, WindowIdDrawsIntoTheGivenWindowFollowsItsSizeAndEndsWithIt) {
    saverfiles::WritePreferences(Plain(1));
    const Window w = server->MakeWindow(10, 10, 200, 150);
    StartIn(w, false);
    ASSERT_TRUE(saver.Shows(w, 100, 75, kFallback)) << saver.process.Output();
    EXPECT_TRUE(saverfiles::Near(server->PixelAt(w, 198, 148), kFallback));

    XResizeWindow(server->connection(), w, 360, 260);
    EXPECT_TRUE(saver.Shows(w, 355, 255, kFallback)) << "the picture does not fill the window";
    EXPECT_TRUE(saverfiles::Near(server->PixelAt(w, 5, 5), kFallback));

    XDestroyWindow(server->connection(), w);
    XSync(server->connection(), False);
    EXPECT_EQ(saver.End(), 0) << "kept running without its window: " << saver.process.Output();
}

TEST_F(XHostsTest, RootDrawsIntoTheXScreensaverWindowOrElseTheRoot) {
    saverfiles::WritePreferences(Plain(3));
    const Window w = server->MakeWindow(50, 40, 120, 90);
    // In decimal, as some hosts give it.
    ASSERT_TRUE(saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", std::to_string(w)}}));
    EXPECT_TRUE(saver.Shows(w, 60, 45, kColour)) << saver.process.Output();
    EXPECT_EQ(server->PixelAt(server->root(), 10, 10), kBlack) << "drew outside the window";
    saver.ExpectEndOnSigterm();
    XDestroyWindow(server->connection(), w);

    ASSERT_TRUE(saver.Start({"--root"}));
    EXPECT_TRUE(saver.Shows(server->root(), 200, 150, kColour)) << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

TEST_F(XHostsTest, TheSaverShowsTheDesktopItCapturedAndEndsOnSigterm) {
    const RGBA top{240, 200, 20, 255}, bottom{20, 200, 240, 255};
    server->SetRootPicture({{0, 0, 400, 150, top}, {0, 150, 400, 150, bottom}});
    saverfiles::Prefs prefs = Plain(0);
    prefs.maxBottles = 3;
    saverfiles::WritePreferences(prefs);
    ASSERT_TRUE(saver.Start({}));
    // A new window shows what was under it until it is drawn: wait for the
    // bottles, then the rest must be the capture, the right way up.
    int topCount = 0, bottomCount = 0, other = 0;
    const bool drawn = WaitFor(kPatience, [&] {
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
                       << ": " << saver.process.Output();
    saver.ExpectEndOnSigterm();
    EXPECT_EQ(server->PixelAt(server->root(), 200, 20), top) << "the root is as it was";
}

// XScreenSaver 6 names a picture of the desktop on the window it hands us;
// by the time we start, the root shows its black window.
TEST_F(XHostsTest, UnderXScreenSaverTheDesktopIsItsScreenshot) {
    saverfiles::WritePreferences(Plain(0));
    Display* d = server->connection();
    const RGBA top{250, 140, 0, 255}, bottom{0, 140, 250, 255};
    const Pixmap shot =
        server->Picture(400, 300, {{0, 0, 400, 150, top}, {0, 150, 400, 150, bottom}});
    const Pixmap freed = server->Picture(400, 300, {});
    XFreePixmap(d, freed);
    const struct {
        Pixmap picture;
        bool root;
    } cases[] = {{shot, true}, {shot, false}, {freed, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root ? "--root" : "--window-id") +
                     (c.picture == freed ? ", freed picture" : ""));
        const Window w = server->MakeWindow(50, 40, 120, 90);
        XChangeProperty(d, w, XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&c.picture), 1);
        XSync(d, False);
        StartIn(w, c.root);
        if (c.picture == freed) {
            // Nothing to show but a black root: the desktop picture.
            EXPECT_TRUE(saver.Shows(w, 60, 45, kFallback)) << saver.process.Output();
        } else {
            EXPECT_TRUE(saver.Shows(w, 60, 10, top)) << saver.process.Output();
            EXPECT_TRUE(saverfiles::Near(server->PixelAt(w, 60, 80), bottom));
        }
        saver.ExpectEndOnSigterm();
        XDestroyWindow(d, w);
    }
    XFreePixmap(d, shot);
}

// Kind 1 as a desktop session has it: the desktop named in the
// environment, its settings under the user's config folder.
TEST_F(XHostsTest, TheDesktopPictureComesFromTheDesktopsOwnSettings) {
    saverfiles::WritePreferences(Plain(1));
    const RGBA colour{30, 200, 90, 255};
    const std::string picture = saver.WritePicture("My Wall.png", colour);
    // Xvfb's one RandR output is called "screen"; another monitor's
    // picture comes first, so only our own monitor's name finds ours.
    saver.WriteXfceSettings({{"DP-9", "/nonexistent/other.png"}, {"screen", picture}});
    const std::string config = saver.home / "config";
    ASSERT_EQ(RunTool("mkdir -p " + Quote(config + "/glib-2.0/settings")).status, 0);
    std::ofstream(config + "/glib-2.0/settings/keyfile")
        << "[org/mate/desktop/background]\npicture-filename='" << picture << "'\n";
    const std::string schemas = saver.home.Subdir("schemas");
    std::ofstream(schemas + "/mate.gschema.xml")
        << "<schemalist><schema id=\"org.mate.background\" path=\"/org/mate/desktop/background/\">"
           "<key name=\"picture-filename\" type=\"s\"><default>''</default></key>"
           "</schema></schemalist>\n";
    ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(schemas)).status, 0);

    const SaverProgram::Env sessions[] = {
        {{"XDG_CURRENT_DESKTOP", "XFCE"}},
        {{"XDG_CURRENT_DESKTOP", "MATE"},
         {"GSETTINGS_BACKEND", "keyfile"},
         {"GSETTINGS_SCHEMA_DIR", schemas}},
    };
    for (const auto& session : sessions) {
        SCOPED_TRACE(session[0].second);
        const Window w = server->MakeWindow(10, 10, 200, 150);
        ASSERT_TRUE(saver.Start({"--window-id", Hex(w)}, session));
        EXPECT_TRUE(saver.Shows(w, 100, 75, colour)) << saver.process.Output();
        saver.ExpectEndOnSigterm();
        XDestroyWindow(server->connection(), w);
    }
}

// The settings window's preview shows what the saver would: the desktop
// as it was before the window opened, or the desktop's own picture.
TEST(SettingsPreview, ShowsTheDesktopAndTheDesktopPicture) {
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok()) << "Xvfb did not start";
    SaverProgram saver(server, kFallback);
    const RGBA desktop{40, 170, 90, 255}, picture{200, 120, 30, 255};
    server.SetRootPicture({{0, 0, 1024, 768, desktop}});
    saver.WriteXfceSettings({{"0", saver.WritePicture("wall.png", picture)}});
    for (const std::pair<int, RGBA>& shows : {std::pair{0, desktop}, std::pair{1, picture}}) {
        const RGBA colour = shows.second;
        SCOPED_TRACE("kind " + std::to_string(shows.first));
        saverfiles::WritePreferences(Plain(shows.first));
        ASSERT_TRUE(saver.Start({"--configure"},
                                {{"XDG_CURRENT_DESKTOP", "XFCE"}, {"-XDG_DATA_DIRS", ""}}));
        const Window window = server.FindWindow("Tumblix Settings");
        ASSERT_NE(window, 0ul) << saver.process.Output();
        ASSERT_TRUE(server.Xdotool("windowmove --sync " + std::to_string(window) + " 0 0"));
        XWindowAttributes a;
        ASSERT_NE(XGetWindowAttributes(server.connection(), window, &a), 0);
        const int w = std::min(a.width, 1024), h = std::min(a.height, 768);
        int shown = 0;
        // A preview of 400 x 250 pixels, less what the bottles cover.
        const bool previewed = WaitFor(kPatience, [&] {
            shown = 0;
            for (const RGBA& p : server.Pixels(window, w, h)) {
                shown += saverfiles::Near(p, colour) ? 1 : 0;
            }
            return shown > 60000;
        });
        EXPECT_TRUE(previewed) << shown << " pixels of the colour\n" << saver.process.Output();
        saver.ExpectEndOnSigterm();
    }
}

// Parsed by the program, and refused by it before any window opens.
TEST_F(XHostsTest, WindowIdsAreDecimalOrHexAfter0x) {
    unsigned long id = 0;
    EXPECT_TRUE(ParseWindowId("4194311", &id));
    EXPECT_EQ(id, 4194311ul);
    EXPECT_TRUE(ParseWindowId("0x400007", &id));
    EXPECT_EQ(id, 0x400007ul);
    EXPECT_TRUE(ParseWindowId("0XFFFFFFFF", &id));
    EXPECT_EQ(id, 0xFFFFFFFFul);
    id = 7;
    for (const char* bad : {"", "0", "0x0", "0x", "x10", "010x", "+5", "-5", "1e3", "0x1FFFFFFFF",
                            "4294967296", "12 ", " 42", "0xZZ"}) {
        EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
    }
    EXPECT_FALSE(ParseWindowId(nullptr, &id));
    EXPECT_EQ(id, 7ul);

    const std::string tumblix = Quote(BuildProgram("tumblix"));
    for (const char* bad : {" --window-id 12abc", " --window-id ''", " --window-id"}) {
        EXPECT_EQ(RunTool(tumblix + bad + " 2>/dev/null").status, 2) << bad;
    }
    const ToolResult junk = RunTool("DISPLAY=" + server->name() + " XSCREENSAVER_WINDOW=junk " +
                                    tumblix + " --root 2>&1");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.out.find("XSCREENSAVER_WINDOW"), std::string::npos) << junk.out;
}

} // namespace
