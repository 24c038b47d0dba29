#include "ChildProcess.h"
#include "MutterInput.h"
#include "MutterServer.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "SwayServer.h"
#include "host/platform/sdl/InputWatch.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>

// tumblix with no mode on a private headless mutter (GNOME's compositor),
// which offers no overlay surfaces and no capture: full-screen windows that
// mutter takes without a warning, GNOME's desktop picture behind the
// bottles for the desktop, and a key ends it.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kGnome{40, 160, 60, 255};

// GNOME's desktop as the saver reads it: the background schema's picture,
// kept by GSettings' keyfile backend in the test's own config folder.
SaverProgram::Env GnomeDesktop(const SaverProgram& saver) {
    const std::string picture = saver.home / "gnome-picture.png";
    saverfiles::WritePlainPicture(picture, kGnome);
    const std::string folder = saver.home / "config/glib-2.0/settings";
    RunTool("mkdir -p " + Quote(folder));
    std::ofstream(folder + "/keyfile")
        << "[org/gnome/desktop/background]\npicture-uri='file://" << picture << "'\n";
    return {{"XDG_CURRENT_DESKTOP", "GNOME"},
            {"GSETTINGS_BACKEND", "keyfile"},
            {"XDG_DATA_DIRS", "/usr/local/share:/usr/share"}};
}

// mutter's complaints about clients' windows.
bool Complains(const std::string& log) {
    return log.find("Invalid window geometry") != std::string::npos ||
           log.find("Window manager warning") != std::string::npos ||
           log.find("client termination") != std::string::npos;
}

// Through XWayland (the session has it): a window filling each of the two
// monitors, bottles over GNOME's picture in each (not black, not the
// bundled picture), nothing for mutter to complain of; a key ends it with 0.
TEST(MutterTest, FullScreenThroughXwaylandOverGnomesPicture) {
    MutterServer mutter({320, 240, 2, true});
    ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
    const size_t before = mutter.Log().size();
    SaverProgram saver(mutter.env(), kFallback);
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--verbose"}, GnomeDesktop(saver)));
    ASSERT_NE(mutter.FindWindow("Tumblix"), 0u) << saver.process.Output();
    std::vector<Window> windows;
    ASSERT_TRUE(WaitFor(
        kPatience,
        [&] {
            windows.clear();
            std::istringstream ids(
                mutter.Run("xdotool search --onlyvisible --name '^Tumblix$' 2>/dev/null").out);
            for (unsigned long id = 0; ids >> id;) {
                windows.push_back(Window(id));
            }
            return windows.size() == 2;
        }))
        << windows.size() << " windows";
    for (Window w : windows) {
        XWindowAttributes a{};
        ASSERT_NE(XGetWindowAttributes(mutter.connection(), w, &a), 0);
        EXPECT_EQ(a.width, 320);
        EXPECT_EQ(a.height, 240);
        double gnome = 0;
        EXPECT_TRUE(WaitFor(kPatience,
                            [&] {
                                SwayServer::Picture p;
                                p.width = 320;
                                p.height = 240;
                                p.pixels = mutter.Pixels(w, 320, 240);
                                gnome = p.Share(kGnome);
                                return gnome > 0.5 && gnome < 0.99;
                            }))
            << int(gnome * 100) << "% GNOME's picture\n"
            << saver.process.Output();
    }
    EXPECT_NE(saver.process.Output().find("running full screen on X11 through XWayland"),
              std::string::npos)
        << saver.process.Output();
    std::this_thread::sleep_for(std::chrono::duration<double>(InputWatch::SETTLE_SECONDS + 0.2));
    EXPECT_TRUE(mutter.Xdotool("key x"));
    EXPECT_EQ(saver.End(), 0) << saver.process.Output();
    EXPECT_FALSE(Complains(mutter.Log().substr(before))) << mutter.Log().substr(before);
}

// Without XWayland, SDL's Wayland driver: the message says so, the capture
// is refused for the picture, and mutter has nothing to complain of while
// it runs and as it ends.
TEST(MutterTest, FullScreenOnWaylandWithoutWarnings) {
    MutterServer mutter({320, 240, 1, false});
    ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
    const size_t before = mutter.Log().size();
    SaverProgram saver(mutter.env(), kFallback);
    saver.Prefer(0, 6);
    ASSERT_TRUE(saver.Start({"--verbose"}, GnomeDesktop(saver)));
    ASSERT_TRUE(WaitFor(kPatience, [&] {
        return saver.process.Output().find("no desktop capture") != std::string::npos ||
               !saver.process.Running();
    })) << saver.process.Output();
    EXPECT_NE(saver.process.Output().find("running full screen on SDL's Wayland driver"),
              std::string::npos)
        << saver.process.Output();
    // mutter's complaint came within a second of the first frames: give it
    // the time it would take, no more.
    EXPECT_FALSE(saver.process.WaitExit(2.0, nullptr)) << saver.process.Output();
    saver.ExpectEndOnSigterm();
    EXPECT_FALSE(Complains(mutter.Log().substr(before))) << mutter.Log().substr(before);
}

// Sends `input` until the saver ends (its window takes keys only once mapped
// and focused, which nothing outside tells), at most for the patience.
::testing::AssertionResult EndsOn(SaverProgram& saver, const std::function<bool()>& input) {
    int status = -2, sent = 0;
    WaitFor(kPatience, [&] {
        sent += input() ? 1 : 0;
        return saver.process.WaitExit(1.0, &status);
    });
    if (status != 0) {
        return ::testing::AssertionFailure()
               << (status == -2 ? "still running" : "status " + std::to_string(status)) << " after "
               << sent << " inputs taken\n"
               << saver.process.Output();
    }
    return ::testing::AssertionSuccess();
}

// On SDL's Wayland driver, with mutter's own remote-desktop keyboard and
// pointer in its seat (plugged in before the saver starts): a key, a click
// or a move ends it with status 0.
TEST(MutterTest, WhatEndsItOnWayland) {
    MutterServer mutter({320, 240, 1, false});
    ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
    MutterInput input(mutter.env());
    ASSERT_TRUE(input.ok()) << input.whyNot();
    SaverProgram saver(mutter.env(), kFallback);
    saver.Prefer(0, 6);
    for (const char* what : {"key 30", "click", "move 0 40"}) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(saver.Start({}, GnomeDesktop(saver)));
        EXPECT_TRUE(EndsOn(saver, [&] { return input.Do(what); }));
    }
}

// mutter killed under it, with and without XWayland: it ends with one line
// and a failure status, and does not hang.
TEST(MutterTest, KilledUnderIt) {
    for (const bool xwayland : {true, false}) {
        SCOPED_TRACE(xwayland ? "through XWayland" : "on SDL's Wayland driver");
        MutterServer mutter({320, 240, 1, xwayland});
        ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
        SaverProgram saver(mutter.env(), kFallback);
        saver.Prefer(0, 6);
        ASSERT_TRUE(saver.Start({"--verbose"}, GnomeDesktop(saver)));
        if (xwayland) {
            ASSERT_NE(mutter.FindWindow("Tumblix"), 0u) << saver.process.Output();
        }
        // Its view made (the capture refused on the way), the saver runs.
        ASSERT_TRUE(WaitFor(kPatience, [&] {
            return saver.process.Output().find("no desktop capture") != std::string::npos ||
                   !saver.process.Running();
        })) << saver.process.Output();
        ASSERT_TRUE(saver.process.Running()) << saver.process.Output();
        saver.ExpectOneLineAndFailureWhen([&] { mutter.Kill(); });
    }
}

} // namespace
