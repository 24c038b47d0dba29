#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/HostClock.h"
#include "host/platform/InputWatch.h"
#include "host/platform/PictureReader.h"
#include "host/platform/SaverHost.h"

#include <SDL.h>
#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <string>

// Who ends the saver, driven by real input: xdotool moves the pointer and
// presses keys through XTEST on a private X server, as VNC and RDP servers
// deliver a remote user's mouse. The saver's own host ends on a key, a
// click, the wheel or a real move on any of its windows; a window ends on
// Escape or when it is closed; a window someone else made leaves the input
// to its owner, who ends it with SIGTERM.

namespace {

const RGBA kFallback{230, 0, 230, 255};

SDL_Event Event(Uint32 type, int x = 0, int y = 0) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

TEST(InputWatch, KeysButtonsTheWheelAndMovesBeyondTheSlackAfterSettlingEndTheSaver) {
    InputWatch w;
    w.Begin(0.0, 100, 100);
    for (Uint32 type : {SDL_KEYDOWN, SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL, SDL_QUIT}) {
        EXPECT_TRUE(w.Quits(Event(type), 0.1, 0, 0)) << type;
    }
    EXPECT_FALSE(w.Quits(Event(SDL_KEYUP), 5.0, 0, 0));
    EXPECT_FALSE(w.Quits(Event(SDL_WINDOWEVENT), 5.0, 0, 0));
    // Windows appearing report the pointer where it is, or where they think
    // it is: the window at (1000, 0) puts it at (1400, 300).
    EXPECT_FALSE(w.Quits(Event(SDL_MOUSEMOTION, 400, 300), 0.05, 1000, 0));
    EXPECT_FALSE(w.Quits(Event(SDL_MOUSEMOTION, 400, 300), 0.2, 1000, 0));
    const int slack = InputWatch::SLACK_PIXELS;
    const struct {
        int windowX, x, y;
        bool quits;
    } moves[] = {
        {1000, 400 + slack, 300 - slack, false},
        {1000, 400 + slack + 1, 300, true},
        {1000, 400, 300 - slack - 1, true},
        {0, 1400 + slack, 300, false}, // the same place, seen from another window
        {0, 400, 300, true},           // the same window position, another window
    };
    for (const auto& m : moves) {
        EXPECT_EQ(w.Quits(Event(SDL_MOUSEMOTION, m.x, m.y), 2.0, m.windowX, 0), m.quits)
            << m.windowX << " + " << m.x << ", " << m.y;
    }
}

// The host itself on two displays, the two halves of the server's screen,
// on a simulated clock: which input ends it, event by event.
struct Point {
    int x, y;
};

class HostInputTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        UseServerForSDL();
        saverfiles::UseUserFolders(tmp.path());
        options.resources = tmp.Subdir("res");
        saverfiles::WriteResources(options.resources, 1, kFallback);
        saverfiles::WritePreferences({});
        HostClock::UseSimulated(std::time(nullptr));
        InstallPictureReader();
    }
    void TearDown() override {
        host.Close();
        HostClock::UseSystem();
    }
    void MoveTo(Point p) {
        EXPECT_TRUE(
            server->Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y)));
    }
    // Handles events until the host ends or, given `at`, until it has seen
    // the pointer there (desktop pixels). True when it ended.
    bool HandleUntil(std::optional<Point> at) {
        bool quit = false;
        EXPECT_TRUE(WaitFor(kPatience, [&] {
            quit = host.HandleEvents() || quit;
            int wx = 0, wy = 0, x = 0, y = 0;
            SDL_Window* window = SDL_GetMouseFocus();
            if (quit || !at || window == nullptr) {
                return quit;
            }
            SDL_GetWindowPosition(window, &wx, &wy);
            SDL_GetMouseState(&x, &y);
            return wx + x == at->x && wy + y == at->y;
        })) << "the host never saw the input";
        return quit;
    }

    TempDir tmp;
    RunOptions options;
    SaverHost host;
};

TEST_F(HostInputTest, KeysButtonsTheWheelAndRealMovesOnEitherDisplayEndTheSaver) {
    const int over = InputWatch::SLACK_PIXELS + 1;
    const struct {
        const char* what;
        Point start, settling; // the pointer as the windows appear, and while they settle
        const char* input;     // afterwards; nullptr: a move to `to`
        Point to;
        bool ends;
    } cases[] = {
        {"move onto the other display", {100, 150}, {100, 150}, nullptr, {300, 150}, true},
        {"move on the second display", {300, 150}, {300, 150}, nullptr, {300, 150 + over}, true},
        {"move over the border, in the slack", {195, 150}, {195, 150}, nullptr, {205, 150}, false},
        {"twitch on the second display", {300, 150}, {300, 150}, nullptr, {310, 140}, false},
        {"twitch after settling elsewhere", {100, 150}, {300, 150}, nullptr, {290, 160}, false},
        {"move after settling elsewhere", {100, 150}, {300, 150}, nullptr, {300 - over, 150}, true},
        {"key on the first display", {100, 150}, {100, 150}, "key space", {}, true},
        {"click on the second display", {300, 150}, {300, 150}, "click 1", {}, true},
        {"wheel on the second display", {300, 150}, {300, 150}, "click 5", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MoveTo(c.start);
        std::vector<SaverHost::Display> displays(2);
        displays[0].frame = NSRect{0, 0, 200, 300};
        displays[1].frame = NSRect{200, 0, 200, 300};
        ASSERT_TRUE(host.Open(displays, options)) << host.error();
        host.Start();
        EXPECT_FALSE(HandleUntil(c.start)) << "ended as its windows appeared";
        MoveTo(c.settling);
        EXPECT_FALSE(HandleUntil(c.settling)) << "ended on a move while settling";
        HostClock::Advance(InputWatch::SETTLE_SECONDS + 0.1);
        if (c.input != nullptr) {
            EXPECT_TRUE(server->Xdotool(c.input));
        } else {
            MoveTo(c.to);
        }
        EXPECT_EQ(HandleUntil(c.input ? std::nullopt : std::optional(c.to)), c.ends);
        host.Close();
    }
}

// The program, as a user runs it and as X hosts run it.
class ProgramInputTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        // A window that went with its program reads as no picture, where
        // Xlib's default handler would end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        saverfiles::Prefs prefs;
        prefs.bgType = 1; // with no desktop settings: the fallback picture
        saverfiles::WritePreferences(prefs);
    }
    void TearDown() override { XSetErrorHandler(nullptr); }

    SaverProgram saver{*server, kFallback};
};

// The full screen ends on a real move, a key, a click and the wheel; a
// window on Escape or when it is closed; a window someone else made leaves
// the input to its owner and ends on SIGTERM or with the window.
TEST_F(ProgramInputTest, WhatEndsTheSaverFullScreenInAWindowAndInAnotherHostsWindow) {
    Display* d = server->connection();
    const std::pair<std::string, std::string> cases[] = {
        {"", "mousemove"},
        {"", "key space"},
        {"", "click 1"},
        {"", "click 4"},
        {"--window", "key Escape"},
        {"--window", "WM_DELETE_WINDOW"},
        {"--window", "windowclose"},
        {"--window-id", "its window goes"},
        {"--root", "SIGTERM"},
    };
    for (const auto& [how, end] : cases) {
        SCOPED_TRACE(how + " " + end);
        EXPECT_TRUE(server->Xdotool("mousemove 100 150"));
        const bool embedded = how == "--window-id" || how == "--root";
        Window w = embedded ? server->MakeWindow(10, 10, 200, 150) : server->root();
        ASSERT_TRUE(how == "--root"
                        ? saver.Start({how}, {{"XSCREENSAVER_WINDOW", std::to_string(w)}})
                    : how == "--window-id" ? saver.Start({how, std::to_string(w)})
                    : how == "--window"    ? saver.Start({how, "200x150"})
                                           : saver.Start({}));
        if (how == "--window") {
            w = server->FindWindow("Tumblix");
        }
        const std::string id = std::to_string(w), onIt = "mousemove --window " + id + " 20 20 ";
        ASSERT_TRUE(saver.Shows(w, 100, 75, kFallback)) << saver.process.Output();
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
            EXPECT_TRUE(saver.Shows(w, 275, 195, kFallback)) << saver.process.Output();
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
        } else if (end == "mousemove") {
            // The first moments after the windows appear only move the
            // resting place; after them any real move counts.
            bool across = true;
            WaitFor(kPatience, [&] {
                server->Xdotool(across ? "mousemove 300 150" : "mousemove 100 150");
                across = !across;
                return !saver.process.Running();
            });
        } else { // windowclose destroys the window
            EXPECT_TRUE(server->Xdotool(end == "windowclose" ? end + " " + id
                                        : how.empty()        ? end
                                                             : onIt + end));
        }
        EXPECT_EQ(saver.End(), 0) << saver.process.Output();
        if (how.empty()) {
            EXPECT_EQ(server->PixelAt(w, 100, 150), RGBA({0, 0, 0, 255})) << "its window stayed";
        } else if (how == "--root") {
            XDestroyWindow(d, w);
            XSync(d, False);
        }
    }
}

} // namespace
