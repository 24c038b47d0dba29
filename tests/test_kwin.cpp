#include "ChildProcess.h"
#include "FakeKwin.h"
#include "KwinServer.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "VirtualPointer.h"
#include "host/platform/sdl/InputWatch.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

// tumblix on a private headless KWin (KDE Plasma's compositor) with two
// outputs over two plain desktops: the desktop behind the bottles comes
// from KWin's screenshot interface where KWin grants it, the picture where
// it refuses; what ends it; KWin killed under it.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kBlack{0, 0, 0, 255};

// Whether the output shows the saver: `behind` behind most of it, and
// something else (bottles) over the rest.
bool ShowsBottles(const KwinServer::Picture& p, RGBA behind) {
    const double share = p.Share(behind);
    return share > 0.5 && share < 0.99;
}

// Waits until each output shows bottles over `behind[i]` (black where
// `black[i]`), then out the time the saver's input needs to settle.
::testing::AssertionResult Drawn(KwinServer& on, ChildProcess& saver, const RGBA behind[2],
                                 const bool black[2], const std::string& name) {
    for (int i = 0; i < 2; i++) {
        KwinServer::Picture p;
        if (!WaitFor(kPatience,
                     [&] {
                         p = on.Screenshot(i);
                         return (black[i] ? p.Share(kBlack) == 1.0 : ShowsBottles(p, behind[i])) ||
                                !saver.Running();
                     }) ||
            !saver.Running()) {
            p.Keep(name + "-" + KwinServer::OutputName(i) + "-failed");
            return ::testing::AssertionFailure()
                   << KwinServer::OutputName(i) << ": " << p.width << "x" << p.height << ", "
                   << int(p.Share(behind[i]) * 100) << "% the colour behind, "
                   << int(p.Share(on.layout().colours[i]) * 100) << "% its desktop, "
                   << int(p.Share(kFallback) * 100) << "% the picture, "
                   << int(p.Share(kBlack) * 100) << "% black"
                   << (saver.Running() ? "" : " (ended)");
        }
        p.Keep(name + "-" + KwinServer::OutputName(i));
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(InputWatch::SETTLE_SECONDS + 0.2));
    return ::testing::AssertionSuccess();
}

// Waits until each output shows bottles over a desktop whose upper half is
// `top[i]` and lower half `bottom[i]`, the right way up.
::testing::AssertionResult Upright(KwinServer& on, ChildProcess& saver, const RGBA top[2],
                                   const RGBA bottom[2], const std::string& name) {
    for (int i = 0; i < 2; i++) {
        KwinServer::Picture p;
        const bool shown = WaitFor(kPatience, [&] {
            p = on.Screenshot(i);
            return p.UprightBehindBottles(top[i], bottom[i]) || !saver.Running();
        });
        p.Keep(name + "-" + KwinServer::OutputName(i) + (shown ? "" : "-failed"));
        if (!shown || !saver.Running()) {
            return ::testing::AssertionFailure()
                   << KwinServer::OutputName(i)
                   << ", top quarter: " << int(p.Share(top[i], 0, 0.25) * 100)
                   << "% its top colour, " << int(p.Share(bottom[i], 0, 0.25) * 100)
                   << "% its bottom colour; bottom "
                   << "quarter: " << int(p.Share(top[i], 0.75, 1) * 100) << "% top, "
                   << int(p.Share(bottom[i], 0.75, 1) * 100) << "% bottom"
                   << (saver.Running() ? "" : " (ended)");
        }
    }
    return ::testing::AssertionSuccess();
}

KwinServer::Layout Trusting(bool trusted) {
    KwinServer::Layout layout;
    if (trusted) {
        // As the installed tumblix.desktop grants the installed program.
        layout.trusted = {BuildProgram("tumblix")};
    }
    return layout;
}

// Granted, each output shows bottles over its own desktop, taken from KWin
// before the saver's surfaces showed (the picture is magenta, the desktops
// are not); with "main monitor only" the second output is black.
TEST(KwinTest, GrantedTheDesktopBehindTheBottlesOnEachOutput) {
    KwinServer kwin(Trusting(true));
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--verbose"})); // no mode: KWin offers overlay surfaces
    const bool none[2] = {false, false};
    EXPECT_TRUE(Drawn(kwin, saver.process, kwin.layout().colours, none, "granted"))
        << saver.process.Output();
    saver.ExpectEndOnSigterm();

    saver.Prefer(0, 6, true);
    ASSERT_TRUE(saver.Start({"--wayland"}));
    const bool second[2] = {false, true};
    EXPECT_TRUE(Drawn(kwin, saver.process, kwin.layout().colours, second, "main-only"))
        << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

// Desktops of two colours, one above the other: KWin's picture of each
// output shows behind the bottles with its top at the top.
TEST(KwinTest, TheDesktopTheRightWayUp) {
    KwinServer::Layout layout = Trusting(true);
    layout.split = true;
    KwinServer kwin(layout);
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--wayland"}));
    EXPECT_TRUE(Upright(kwin, saver.process, layout.colours, layout.lower, "upright"))
        << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

// With a stand-in for KWin's screenshot interface on the saver's session
// bus (KWin's own is elsewhere): its picture shows, the right way up, where
// it behaves; where it never answers, or writes half the picture, the saver
// gives up on each output in time and shows the desktop picture instead.
TEST(KwinTest, AStandInForTheScreenshotInterface) {
    KwinServer kwin(Trusting(false));
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(0, 6);
    const bool none[2] = {false, false};
    const RGBA top[2] = {FakeKwin::kTop, FakeKwin::kTop},
               bottom[2] = {FakeKwin::kBottom, FakeKwin::kBottom},
               picture[2] = {kFallback, kFallback};
    const std::vector<std::string> both = {KwinServer::OutputName(0), KwinServer::OutputName(1)};
    for (const auto& [mode, why] : {std::pair<std::string, std::string>{"good", ""},
                                    {"silent", "did not answer in time"},
                                    {"short", "wrote 153600 bytes of 307200"}}) {
        SCOPED_TRACE(mode);
        FakeKwin fake(mode, 320, 240);
        ASSERT_TRUE(fake.ok()) << fake.whyNot();
        ASSERT_TRUE(saver.Start({"--wayland", "--verbose"}, fake.env()));
        if (why.empty()) {
            EXPECT_TRUE(Upright(kwin, saver.process, top, bottom, "stand-in"))
                << saver.process.Output();
        } else {
            EXPECT_TRUE(Drawn(kwin, saver.process, picture, none, "stand-in-" + mode))
                << saver.process.Output();
            const std::string log = saver.process.Output();
            size_t said = 0;
            for (size_t at = 0; (at = log.find(why, at)) != std::string::npos; at++) {
                said++;
            }
            EXPECT_EQ(said, 2u) << log;
        }
        std::vector<std::string> asked = fake.Captures();
        std::sort(asked.begin(), asked.end());
        EXPECT_EQ(asked, both);
        saver.ExpectEndOnSigterm();
    }
}

// Refused (no .desktop file grants it, no test variable), kind 0 falls back
// to the picture on both outputs, and says why once per output.
TEST(KwinTest, RefusedThePicture) {
    KwinServer kwin(Trusting(false));
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--wayland", "--verbose"}));
    const RGBA picture[2] = {kFallback, kFallback};
    const bool none[2] = {false, false};
    EXPECT_TRUE(Drawn(kwin, saver.process, picture, none, "refused")) << saver.process.Output();
    EXPECT_NE(saver.process.Output().find("not authorized"), std::string::npos)
        << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

// A key, a click or a move ends it with status 0; KWin killed under it
// ends it with one line and a failure status.
TEST(KwinTest, WhatEndsIt) {
    KwinServer kwin(Trusting(true));
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    VirtualPointer input(kwin.env());
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(0, 6);
    const bool none[2] = {false, false};
    for (const char* what : {"key 30", "click", "move 0 40"}) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(input.Do("to 160 120 640 240"));
        ASSERT_TRUE(saver.Start({"--wayland"}));
        ASSERT_TRUE(Drawn(kwin, saver.process, kwin.layout().colours, none, "ends"))
            << saver.process.Output();
        ASSERT_TRUE(input.Do(what));
        EXPECT_EQ(saver.End(), 0) << saver.process.Output();
    }

    ASSERT_TRUE(saver.Start({"--wayland"}));
    ASSERT_TRUE(Drawn(kwin, saver.process, kwin.layout().colours, none, "killed"))
        << saver.process.Output();
    saver.ExpectOneLineAndFailureWhen([&] { kwin.Kill(); });
}

} // namespace
