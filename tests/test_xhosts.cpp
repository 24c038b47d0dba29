#include "ChildProcess.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/platform/x11/XWindows.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

// tumblix drawing into a window someone else made (--window-id, --root as
// XScreenSaver runs it), and what ends it, driven by real input through
// XTEST (xdotool) as VNC and RDP servers deliver a remote user's mouse; end
// to end on a private X server.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kBlack{0, 0, 0, 255}, kWall{30, 200, 90, 255};

class XHostsTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        server->SetRootPicture({});
        // A window that went with its program reads as no picture, where
        // Xlib's default handler would end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        // Kind 1 as an Xfce session has it. Xvfb's one RandR output is
        // called "screen"; another monitor's picture comes first, so only our
        // own monitor's name finds ours.
        saver.Prefer(1, 0);
        saverfiles::WritePlainPicture(saver.home / "My Wall.png", kWall);
        saver.WriteXfceSettings(
            {{"DP-9", 0, "/nonexistent/other.png"}, {"screen", 0, saver.home / "My Wall.png"}});
        saver.env.push_back({"XDG_CURRENT_DESKTOP", "XFCE"});
    }
    void TearDown() override { XSetErrorHandler(nullptr); }

    SaverProgram saver{*server, kFallback};
};

// Without XScreenSaver's window, --root draws on the root itself.
TEST_F(XHostsTest, RootWithoutAWindowDrawsOnTheRoot) {
    ASSERT_TRUE(saver.Start({"--root"}));
    EXPECT_TRUE(saver.Shows(server->root(), 200, 150, kWall)) << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

// The X server gone under the saver (its session ended, or it crashed):
// --root and --window end with one line and a failure, as the full-screen
// saver does, not with Xlib's lines or a hang.
TEST(XServerGone, TheSaverInAHostsWindowOrItsOwnEndsWithOneLine) {
    // A window read before it shows reads as no picture.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    for (const char* mode : {"--root", "--window"}) {
        SCOPED_TRACE(mode);
        auto own = std::make_unique<XvfbServer>(200, 150);
        ASSERT_TRUE(own->ok());
        SaverProgram saver(*own, kFallback);
        saver.Prefer(3, 1);
        ASSERT_TRUE(saver.Start({mode}));
        // Drawn on the root, or in a window over it (no window manager
        // here: at the root's corner).
        ASSERT_TRUE(saver.Shows(own->root(), 10, 10, saverfiles::Prefs().colour))
            << saver.process.Output();
        saver.ExpectOneLineAndFailureWhen([&] { own.reset(); });
    }
    XSetErrorHandler(nullptr);
}

// XScreenSaver 6 names a picture of the desktop on the window it hands us;
// by the time we start, the root shows its black window.
TEST_F(XHostsTest, UnderXScreenSaverTheDesktopIsItsScreenshot) {
    saver.Prefer(0, 0);
    Display* d = server->connection();
    const RGBA top{250, 140, 0, 255}, bottom{0, 140, 250, 255};
    const Pixmap shot =
        server->Picture(400, 300, {{0, 0, 400, 150, top}, {0, 150, 400, 150, bottom}});
    const Pixmap freed = server->Picture(400, 300, {});
    XFreePixmap(d, freed);
    for (const auto& [picture, root] :
         {std::pair{shot, true}, std::pair{shot, false}, std::pair{freed, true}}) {
        SCOPED_TRACE(std::to_string(root) + (picture == freed ? ", freed picture" : ""));
        const Window w = server->MakeWindow(50, 40, 120, 90);
        server->NameScreenshot(w, picture);
        // --window-id in hex, or XScreenSaver's window in the environment in
        // decimal, as some hosts give it.
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", w);
        ASSERT_TRUE(root ? saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", std::to_string(w)}})
                         : saver.Start({"--window-id", hex}));
        // A freed picture and a black root: the desktop's own picture.
        EXPECT_TRUE(saver.Shows(w, 60, 10, picture == freed ? kWall : top))
            << saver.process.Output();
        EXPECT_TRUE(saver.Shows(w, 60, 80, picture == freed ? kWall : bottom));
        EXPECT_EQ(server->PixelAt(server->root(), 10, 10), kBlack) << "drew outside the window";
        saver.ExpectEndOnSigterm();
        XDestroyWindow(d, w);
    }
    XFreePixmap(d, shot);
}

// The full screen ends on a key, a click, the wheel or a move; a window on
// Escape or when its close button is pressed; a window someone else made
// leaves the input to its owner and ends with the window (or on SIGTERM, as
// above). Each shows the desktop's own picture.
TEST_F(XHostsTest, WhatEndsTheSaverFullScreenInAWindowAndInAnotherHostsWindow) {
    Display* d = server->connection();
    const std::pair<std::string, std::string> cases[] = {
        {"", "key space"},
        {"", "click 1"},
        {"", "click 4"}, // the wheel
        {"", "moves"},
        {"--window", "key Escape"},
        {"--window", "WM_DELETE_WINDOW"},
        {"--window-id", "its window goes"},
    };
    for (const auto& [how, end] : cases) {
        SCOPED_TRACE(how + " " + end);
        EXPECT_TRUE(server->Xdotool("mousemove 100 150"));
        const bool embedded = how == "--window-id";
        Window w = embedded ? server->MakeWindow(10, 10, 200, 150) : server->root();
        ASSERT_TRUE(embedded            ? saver.Start({how, std::to_string(w)})
                    : how == "--window" ? saver.Start({how, "200x150"})
                                        : saver.Start({}));
        if (how == "--window") {
            w = server->FindWindow("Tumblix");
        }
        const std::string id = std::to_string(w), onIt = "mousemove --window " + id + " 20 20 ";
        ASSERT_TRUE(saver.Shows(w, 100, 75, kWall)) << saver.process.Output();
        if (embedded) {
            // The input stays with whoever had it: the host can still grab both.
            EXPECT_EQ(XGrabPointer(d, w, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                   None, CurrentTime),
                      GrabSuccess);
            EXPECT_EQ(XGrabKeyboard(d, w, False, GrabModeAsync, GrabModeAsync, CurrentTime),
                      GrabSuccess);
            XUngrabPointer(d, CurrentTime);
            XUngrabKeyboard(d, CurrentTime);
        }
        if (!how.empty()) {
            // Other input leaves it running: after it, the window grows, and
            // the program must still be there to fill it.
            EXPECT_TRUE(server->Xdotool(onIt + "mousemove_relative 100 100 click 1 key space" +
                                        (embedded ? " click 4 key Escape" : "")));
            XResizeWindow(d, w, 280, 200);
            EXPECT_TRUE(saver.Shows(w, 275, 195, kWall)) << saver.process.Output();
        }
        if (end == "its window goes") {
            XDestroyWindow(d, w);
            XSync(d, False);
        } else if (end == "WM_DELETE_WINDOW") { // what a window manager sends for its close button
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = w;
            e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
            XSendEvent(d, w, False, NoEventMask, &e);
            XSync(d, False);
        } else if (end == "moves") {
            // Across the screen and back until it ends: a move while the
            // windows settle only sets where the pointer rests.
            bool across = false;
            WaitFor(kPatience, [&] {
                server->Xdotool((across = !across) ? "mousemove 300 150" : "mousemove 100 150");
                return !saver.process.Running();
            });
        } else {
            EXPECT_TRUE(server->Xdotool(how.empty() ? end : onIt + end));
        }
        EXPECT_EQ(saver.End(), 0) << saver.process.Output();
        if (how.empty()) {
            EXPECT_EQ(server->PixelAt(w, 100, 150), RGBA({0, 0, 0, 255})) << "its window stayed";
        }
    }
}

// Parsed by the program, and refused by it before any window opens.
TEST_F(XHostsTest, WindowIdsAreDecimalOrHexAfter0x) {
    for (const auto& [text, id] :
         {std::pair{"4194311", 4194311ul}, std::pair{"0x400007", 0x400007ul},
          std::pair{"0XFFFFFFFF", 0xFFFFFFFFul}}) {
        unsigned long parsed = 0;
        EXPECT_TRUE(ParseWindowId(text, &parsed)) << text;
        EXPECT_EQ(parsed, id);
    }
    unsigned long id = 7;
    for (const char* bad : {"", "0", "0x0", "0x", "-5", "1e3", "0x1FFFFFFFF", "4294967296", " 42",
                            (const char*)nullptr}) {
        EXPECT_FALSE(ParseWindowId(bad, &id)) << (bad ? bad : "null");
    }
    EXPECT_EQ(id, 7ul);

    const std::string tumblix = Quote(BuildProgram("tumblix"));
    EXPECT_EQ(RunTool(tumblix + " --window-id 12abc 2>/dev/null").status, 2);
    const ToolResult junk = RunTool("DISPLAY=" + server->name() + " XSCREENSAVER_WINDOW=junk " +
                                    tumblix + " --root 2>&1");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.out.find("XSCREENSAVER_WINDOW"), std::string::npos) << junk.out;
}

} // namespace
