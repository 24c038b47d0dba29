#include "ChildProcess.h"
#include "KwinServer.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "VirtualPointer.h"
#include "host/platform/sdl/InputWatch.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

// tumblix on a private headless KWin (KDE Plasma's compositor) with two
// outputs over two plain desktops: the desktop behind the bottles comes
// from KWin's screenshot interface where KWin grants it, the picture where
// it refuses; what ends it; KWin killed under it.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kBlack{0, 0, 0, 255};

// Where TUMBLIX_TEST_SHOTS names a folder, each screenshot the test judged
// is kept there as a PNG, for a person to look at.
void Keep(const KwinServer::Picture& p, const std::string& name) {
    const char* folder = std::getenv("TUMBLIX_TEST_SHOTS");
    if (folder == nullptr || p.pixels.empty()) {
        return;
    }
    pics::PngImage png;
    png.width = uint32_t(p.width);
    png.height = uint32_t(p.height);
    for (const RGBA& c : p.pixels) {
        png.rows.insert(png.rows.end(), {c.r, c.g, c.b});
    }
    const brew::Bytes bytes = pics::EncodePNG(png);
    std::ofstream(std::string(folder) + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

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
            Keep(p, name + "-" + KwinServer::OutputName(i) + "-failed");
            return ::testing::AssertionFailure()
                   << KwinServer::OutputName(i) << ": " << p.width << "x" << p.height << ", "
                   << int(p.Share(behind[i]) * 100) << "% the colour behind, "
                   << int(p.Share(on.layout().colours[i]) * 100) << "% its desktop, "
                   << int(p.Share(kFallback) * 100) << "% the picture, "
                   << int(p.Share(kBlack) * 100) << "% black"
                   << (saver.Running() ? "" : " (ended)");
        }
        Keep(p, name + "-" + KwinServer::OutputName(i));
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(InputWatch::SETTLE_SECONDS + 0.2));
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
    const std::string before = saver.process.Output();
    kwin.Kill();
    const int status = saver.End();
    EXPECT_NE(status, -2) << "still running";
    EXPECT_NE(status, 0);
    const std::string after = saver.process.Output().substr(before.size());
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << after;
}

} // namespace
