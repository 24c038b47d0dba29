#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/HostClock.h"
#include "host/platform/InputWatch.h"
#include "host/platform/PictureReader.h"
#include "host/platform/SaverHost.h"

#include <SDL.h>
#include <chrono>
#include <cstdio>
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

// ---------------------------------------------------------------------------
// The rule, on a simulated clock.

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
    struct Move {
        int windowX, x, y;
        bool quits;
    } moves[] = {
        {1000, 400 + slack, 300 - slack, false},
        {1000, 400 + slack + 1, 300, true},
        {1000, 400, 300 - slack - 1, true},
        {0, 1400 + slack, 300, false}, // the same place, seen from another window
        {0, 400, 300, true},           // the same window position, another window
    };
    for (const Move& m : moves) {
        EXPECT_EQ(w.Quits(Event(SDL_MOUSEMOTION, m.x, m.y), 2.0, m.windowX, 0), m.quits)
            << m.windowX << " + " << m.x << ", " << m.y;
    }
}

// ---------------------------------------------------------------------------
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
        const bool done = WaitFor(kPatience, [&] {
            quit = host.HandleEvents() || quit;
            return quit || (at && PointerSeenAt(*at));
        });
        EXPECT_TRUE(done) << "the host never saw the input";
        return quit;
    }
    static bool PointerSeenAt(Point p) {
        SDL_Window* window = SDL_GetMouseFocus();
        int wx = 0, wy = 0, x = 0, y = 0;
        if (window == nullptr) {
            return false;
        }
        SDL_GetWindowPosition(window, &wx, &wy);
        SDL_GetMouseState(&x, &y);
        return wx + x == p.x && wy + y == p.y;
    }

    TempDir tmp;
    RunOptions options;
    SaverHost host;
};

TEST_F(HostInputTest, KeysButtonsTheWheelAndRealMovesOnEitherDisplayEndTheSaver) {
    const int over = InputWatch::SLACK_PIXELS + 1;
    struct Case {
        const char* what;
        Point start, settling; // the pointer as the windows appear, and while they settle
        const char* input;     // afterwards; nullptr: a move to `to`
        Point to;
        bool ends;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MoveTo(c.start);
        std::vector<SaverHost::Display> displays(2);
        displays[0].frame = NSRect{0, 0, 200, 300};
        displays[1].frame = NSRect{200, 0, 200, 300};
        ASSERT_TRUE(host.Open(displays, options)) << host.error();
        host.Start();
        // The windows appear under the pointer and report it where it is.
        EXPECT_FALSE(HandleUntil(c.start)) << "ended as its windows appeared";
        MoveTo(c.settling);
        EXPECT_FALSE(HandleUntil(c.settling)) << "ended on a move while settling";
        HostClock::Advance(InputWatch::SETTLE_SECONDS + 0.1);
        if (c.input != nullptr) {
            EXPECT_TRUE(server->Xdotool(c.input));
            EXPECT_EQ(HandleUntil({}), c.ends);
        } else {
            MoveTo(c.to);
            EXPECT_EQ(HandleUntil(c.to), c.ends);
        }
        host.Close();
    }
}

// ---------------------------------------------------------------------------
// The program, as a user runs it and as X hosts run it.

class ProgramInputTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        // A window that went with its program reads as no picture, where
        // Xlib's default handler would end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        // The desktop picture: with no desktop settings it is the fallback.
        saverfiles::Prefs prefs;
        prefs.bgType = 1;
        saverfiles::WritePreferences(prefs);
    }
    void TearDown() override { XSetErrorHandler(nullptr); }
    // Sends the input and expects the end, with status 0; prints how long
    // it took (a second is what a person at the screen would accept).
    void ExpectEndOn(const std::string& input) {
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_TRUE(server->Xdotool(input));
        EXPECT_EQ(saver.End(), 0) << input << ": " << saver.process.Output();
        std::printf("ended %.3f s after %s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(),
                    input.c_str());
    }
    // Input on the window w must leave the program running: after it, the
    // window grows, and the program must still be there to fill it.
    void ExpectInputIgnored(Window w, const std::string& input) {
        EXPECT_TRUE(server->Xdotool(input));
        XResizeWindow(server->connection(), w, 280, 200);
        EXPECT_TRUE(saver.Shows(w, 275, 195, kFallback))
            << "gone after " << input << ": " << saver.process.Output();
    }

    SaverProgram saver{*server, kFallback};
};

TEST_F(ProgramInputTest, TheSaverEndsOnAMoveAcrossHalfTheScreenAKeyAClickAndTheWheel) {
    for (const std::string input : {"mousemove", "key space", "click 1", "click 4"}) {
        SCOPED_TRACE(input);
        EXPECT_TRUE(server->Xdotool("mousemove 100 150"));
        ASSERT_TRUE(saver.Start({}));
        ASSERT_TRUE(saver.Shows(server->root(), 100, 150, kFallback)) << saver.process.Output();
        if (input == "mousemove") {
            // The first moments after the windows appear only move the
            // resting place; after them any real move counts.
            bool across = true;
            WaitFor(kPatience, [&] {
                server->Xdotool(across ? "mousemove 300 150" : "mousemove 100 150");
                across = !across;
                return !saver.process.Running();
            });
            EXPECT_EQ(saver.End(), 0) << saver.process.Output();
        } else {
            ExpectEndOn(input);
        }
        EXPECT_EQ(server->PixelAt(server->root(), 100, 150), RGBA({0, 0, 0, 255}))
            << "its window stayed";
    }
}

TEST_F(ProgramInputTest, AWindowEndsOnEscapeAndWhenClosedButNotOnOtherInput) {
    for (const std::string end : {"key Escape", "WM_DELETE_WINDOW", "windowclose"}) {
        SCOPED_TRACE(end);
        ASSERT_TRUE(saver.Start({"--window", "200x150"}));
        const Window w = server->FindWindow("Tumblix");
        ASSERT_NE(w, 0u) << saver.process.Output();
        ASSERT_TRUE(saver.Shows(w, 100, 75, kFallback)) << saver.process.Output();
        const std::string onIt = "mousemove --window " + std::to_string(w) + " 20 20 ";
        EXPECT_TRUE(server->Xdotool(onIt));
        ExpectInputIgnored(w, "mousemove_relative 100 100 click 1 key space");
        if (end == "WM_DELETE_WINDOW") {
            // What a window manager sends for the close button.
            Display* d = server->connection();
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = w;
            e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(d, w, False, NoEventMask, &e);
            XSync(d, False);
            EXPECT_EQ(saver.End(), 0) << saver.process.Output();
        } else {
            // windowclose destroys the window.
            ExpectEndOn(end == "windowclose" ? "windowclose " + std::to_string(w) : onIt + end);
        }
    }
}

TEST_F(ProgramInputTest, WindowsOfAnotherHostLeaveTheInputToItAndEndOnSigterm) {
    Display* d = server->connection();
    for (const bool root : {false, true}) {
        SCOPED_TRACE(root ? "--root" : "--window-id");
        const Window w = server->MakeWindow(10, 10, 200, 150);
        const std::string id = std::to_string(w);
        ASSERT_TRUE(root ? saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", id}})
                         : saver.Start({"--window-id", id}));
        ASSERT_TRUE(saver.Shows(w, 100, 75, kFallback)) << saver.process.Output();
        // The input stays with whoever had it: the host can still grab both.
        EXPECT_EQ(XGrabPointer(d, w, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                               None, CurrentTime),
                  GrabSuccess);
        EXPECT_EQ(XGrabKeyboard(d, w, False, GrabModeAsync, GrabModeAsync, CurrentTime),
                  GrabSuccess);
        XUngrabPointer(d, CurrentTime);
        XUngrabKeyboard(d, CurrentTime);
        XSync(d, False);
        ExpectInputIgnored(w, "mousemove --window " + id +
                                  " 20 20 mousemove_relative 150 100 click 1 click 4 key space "
                                  "key Escape");
        saver.ExpectEndOnSigterm();
        XDestroyWindow(d, w);
        XSync(d, False);
    }
}

} // namespace
