#include "ChildProcess.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "SwayServer.h"
#include "VirtualPointer.h"
#include "host/platform/sdl/InputWatch.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <thread>

// tumblix --wayland end to end on a private headless sway with two outputs:
// what it shows on each, what ends it, and how it takes outputs and the
// compositor coming and going.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kBlack{0, 0, 0, 255};

class WaylandTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sway.ok()) << sway.whyNot(); }

    // Whether the output shows the saver's picture: its own desktop behind
    // most of it, and something else (bottles) over the rest.
    static bool ShowsBottles(const SwayServer::Picture& p, RGBA desktop) {
        const double share = p.Share(desktop);
        return share > 0.5 && share < 0.99;
    }
    // Waits until the first `outputs` show the saver (the second black with
    // mainMonitorOnly), then out the time its input needs to settle;
    // `runner` is the saver's process, or the one that started it.
    static ::testing::AssertionResult Drawn(SwayServer& on, bool mainMonitorOnly,
                                            ChildProcess& runner, int outputs = 2) {
        for (int i = 0; i < outputs; i++) {
            const RGBA desktop = on.layout().colours[i];
            const bool black = i == 1 && mainMonitorOnly;
            SwayServer::Picture p;
            if (!WaitFor(kPatience,
                         [&] {
                             p = on.Screenshot(i);
                             return (black ? p.Share(kBlack) == 1.0 : ShowsBottles(p, desktop)) ||
                                    !runner.Running();
                         }) ||
                !runner.Running()) {
                return ::testing::AssertionFailure()
                       << SwayServer::OutputName(i) << ": " << p.width << "x" << p.height << ", "
                       << int(p.Share(desktop) * 100) << "% desktop colour, "
                       << int(p.Share(kBlack) * 100) << "% black"
                       << (runner.Running() ? "" : " (ended)");
            }
        }
        // The saver's settle time runs on its own clock from before its first
        // frame, which the screenshots above have seen: this waits out at most
        // what is left of it, however loaded the machine.
        std::this_thread::sleep_for(
            std::chrono::duration<double>(InputWatch::SETTLE_SECONDS + 0.2));
        return ::testing::AssertionSuccess();
    }
    bool StillRunsAfter(double seconds) { return !saver.process.WaitExit(seconds, nullptr); }

    SwayServer sway;
    // There before the saver starts, as a mouse is.
    VirtualPointer pointer{sway};
    SaverProgram saver{sway.env(), kFallback};
};

// swayidle starts it after a second of idle; both outputs show bottles over
// their own desktop. With "main monitor only" the second output is black
// (here on scaled outputs, one above the other, started by hand).
TEST_F(WaylandTest, BothOutputsShowBottlesOverTheirOwnDesktop) {
    saver.Prefer(0, 6); // bottles over the desktop as it was
    ChildProcess idle;
    const std::string command = Quote(BuildProgram("tumblix")) + " --resources " +
                                Quote(saver.resources) + " --wayland; echo saver ended $?";
    ASSERT_TRUE(idle.Start({"swayidle", "-w", "timeout", "1", command}, saver.env));
    EXPECT_TRUE(Drawn(sway, false, idle)) << idle.Output();
    ASSERT_TRUE(pointer.Do("move 40 0"));
    EXPECT_TRUE(WaitFor(kPatience, [&] {
        return idle.Output().find("saver ended 0") != std::string::npos;
    })) << idle.Output();
    EXPECT_TRUE(WaitFor(kPatience, [&] {
        return sway.Screenshot(0).Share(sway.layout().colours[0]) > 0.99; // the cursor is back
    })) << "left its picture";
    idle.Signal(SIGTERM);

    SwayServer scaled({320, 240, true, 2.0, {{200, 40, 40, 255}, {40, 200, 40, 255}}});
    ASSERT_TRUE(scaled.ok()) << scaled.whyNot();
    SaverProgram onScaled(scaled.env(), kFallback);
    onScaled.Prefer(0, 6, true);
    ASSERT_TRUE(onScaled.Start({"--wayland"}));
    EXPECT_TRUE(Drawn(scaled, true, onScaled.process)) << onScaled.process.Output();
    onScaled.ExpectEndOnSigterm();
}

// Desktops of two colours, one above the other, on outputs side by side
// and on scaled outputs stacked: sway's copy of each shows behind the
// bottles with its top at the top.
TEST(WaylandRowOrder, TheDesktopTheRightWayUp) {
    for (const bool stacked : {false, true}) {
        SCOPED_TRACE(stacked ? "stacked, scaled" : "side by side");
        SwayServer::Layout layout;
        layout.stacked = stacked;
        layout.scale = stacked ? 2.0 : 1.0;
        layout.split = true;
        SwayServer sway(layout);
        ASSERT_TRUE(sway.ok()) << sway.whyNot();
        SaverProgram saver(sway.env(), kFallback);
        saver.Prefer(0, 6);
        ASSERT_TRUE(saver.Start({"--wayland"}));
        for (int i = 0; i < 2; i++) {
            SwayServer::Picture p;
            const bool shown = WaitFor(kPatience, [&] {
                p = sway.Screenshot(i);
                return p.UprightBehindBottles(layout.colours[i], layout.lower[i]) ||
                       !saver.process.Running();
            });
            p.Keep(std::string(stacked ? "sway-stacked-" : "sway-") + SwayServer::OutputName(i) +
                   (shown ? "" : "-failed"));
            EXPECT_TRUE(shown && saver.process.Running())
                << SwayServer::OutputName(i)
                << ", top quarter: " << int(p.Share(layout.colours[i], 0, 0.25) * 100)
                << "% its top colour, " << int(p.Share(layout.lower[i], 0, 0.25) * 100)
                << "% its bottom colour\n"
                << saver.process.Output();
        }
        saver.ExpectEndOnSigterm();
    }
}

// A key, a click, the wheel or a move beyond the slack ends it with status 0;
// a twitch within the slack does not, and SIGTERM then does. (A long move
// ends it under swayidle above.)
TEST_F(WaylandTest, WhatEndsIt) {
    saver.Prefer(0, 6);
    const int slack = InputWatch::SLACK_PIXELS;
    const std::pair<std::string, bool> cases[] = {
        {"wtype -s 800 x", true}, // a key
        {"click", true},          // the left button
        {"wheel 1", true},
        {"move 0 " + std::to_string(slack + 1), true}, // just beyond the slack
        {"move " + std::to_string(slack) + " 0", false},
    };
    for (const auto& [input, ends] : cases) {
        SCOPED_TRACE(input);
        ASSERT_TRUE(pointer.Do("to 160 120 640 240")); // over the first output
        ASSERT_TRUE(saver.Start({"--wayland"}));
        ASSERT_TRUE(Drawn(sway, false, saver.process)) << saver.process.Output();
        if (input.rfind("wtype", 0) == 0) {
            EXPECT_EQ(sway.Run(input).status, 0);
        } else {
            ASSERT_TRUE(pointer.Do(input));
        }
        if (ends) {
            EXPECT_EQ(saver.End(), 0) << saver.process.Output();
        } else {
            EXPECT_TRUE(StillRunsAfter(1.0)) << saver.process.Output();
            saver.ExpectEndOnSigterm();
        }
    }
}

// An output plugged in while it runs gets bottles too; a second saver in
// the same session leaves at once, the first carries on; the compositor
// gone ends it with one line on stderr and a failure status.
TEST_F(WaylandTest, AnOutputPluggedInASecondSaverAndTheCompositorKilled) {
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--wayland"}));
    ASSERT_TRUE(Drawn(sway, false, saver.process)) << saver.process.Output();

    ChildProcess second;
    ASSERT_TRUE(second.Start({BuildProgram("tumblix"), "--resources", saver.resources, "--wayland"},
                             saver.env));
    int status = -2;
    EXPECT_TRUE(second.WaitExit(kPatience, &status));
    EXPECT_EQ(status, 0) << second.Output();
    EXPECT_TRUE(saver.process.Running()) << saver.process.Output();

    ASSERT_EQ(sway.Run("swaymsg create_output").status, 0); // HEADLESS-3
    EXPECT_TRUE(Drawn(sway, false, saver.process, 3)) << saver.process.Output();
    saver.ExpectOneLineAndFailureWhen([&] { sway.Kill(); });
}

} // namespace
