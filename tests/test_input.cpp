#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/platform/InputWatch.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>

// Who ends the saver, driven by real input through XTEST (xdotool) on a
// private X server, as VNC and RDP servers deliver a remote user's mouse
// (the host's own windows: test_saverhost).

namespace {

const RGBA kFallback{230, 0, 230, 255}, kWall{30, 200, 90, 255};

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

class ProgramInputTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
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

// The full screen ends on a key, a click, the wheel or a move; a window on
// Escape or when its close button is pressed; a window someone else made
// leaves the input to its owner and ends on SIGTERM or with the window. Each
// shows the desktop's own picture.
TEST_F(ProgramInputTest, WhatEndsTheSaverFullScreenInAWindowAndInAnotherHostsWindow) {
    Display* d = server->connection();
    const std::pair<std::string, std::string> cases[] = {
        {"", "key space"},
        {"", "click 1"},
        {"", "click 4"}, // the wheel
        {"", "moves"},
        {"--window", "key Escape"},
        {"--window", "WM_DELETE_WINDOW"},
        {"--window-id", "its window goes"},
        {"--window-id", "SIGTERM"},
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
        if (end == "SIGTERM") {
            saver.process.Signal(SIGTERM);
        } else if (end == "its window goes") {
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
        } else if (end == "SIGTERM") {
            XDestroyWindow(d, w);
        }
    }
}

} // namespace
