#include "ChildProcess.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "SwayServer.h"
#include "TempDir.h"
#include "VirtualPointer.h"
#include "WatchOutput.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

// tumblix --watch on a private headless sway: the compositor's idle
// notification starts the saver, input ends it, the next idle period starts
// it again; a program's idle inhibitor holds it off; the desktop's own
// later timeouts still come while it runs.

namespace {

using namespace watchoutput;

const RGBA kFallback{230, 0, 230, 255};

class WatchOnSway : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sway.ok()) << sway.whyNot();
        saver.Prefer(0, 6); // bottles over the desktop as it was
    }
    bool StartWatcher(SaverProgram& program) {
        return program.Start({"--verbose", "--watch"}, {{"TUMBLIX_IDLE_SECONDS", "1"}});
    }
    std::string Out() { return saver.process.Output(); }
    // Waits until the watcher has said `line` at least n times.
    bool Said(const char* line, int n) {
        return WaitFor(kPatience,
                       [&] { return Count(Out(), line) >= n || !saver.process.Running(); }) &&
               Count(Out(), line) >= n;
    }
    // Both outputs show bottles over their own desktop.
    bool ShowsBottles() {
        for (int i = 0; i < 2; i++) {
            const RGBA desktop = sway.layout().colours[i];
            if (!WaitFor(kPatience, [&] {
                    const double share = sway.Screenshot(i).Share(desktop);
                    return share > 0.5 && share < 0.99;
                })) {
                return false;
            }
        }
        return true;
    }
    bool ShowsDesktop() {
        return WaitFor(kPatience,
                       [&] { return sway.Screenshot(0).Share(sway.layout().colours[0]) > 0.99; });
    }

    SwayServer sway;
    VirtualPointer pointer{sway};
    SaverProgram saver{sway.env(), kFallback};
};

// A second of idle starts the overlay saver on both outputs; swayidle's own
// later timeout still fires while the bottles are up (the saver resets no
// idle timer); a key ends it, and the next idle period starts it again.
// SIGTERM to the watcher ends the saver too.
TEST_F(WatchOnSway, IdleStartsItAKeyEndsItTheNextPeriodStartsItAgain) {
    TempDir marks;
    ChildProcess later;
    ASSERT_TRUE(
        later.Start({"swayidle", "timeout", "4", "touch " + Quote(marks / "later")}, sway.env()));
    ASSERT_TRUE(StartWatcher(saver));
    ASSERT_TRUE(Said(STARTED, 1)) << Out();
    // sway 1.7 offers KDE's protocol only.
    EXPECT_NE(Out().find("through org_kde_kwin_idle start the saver --wayland"), std::string::npos)
        << Out();
    EXPECT_TRUE(ShowsBottles()) << Out();
    struct stat st;
    EXPECT_TRUE(WaitFor(kPatience, [&] { return stat((marks / "later").c_str(), &st) == 0; }))
        << "swayidle's later timeout never fired while the saver ran";
    EXPECT_EQ(Ends(Out()), 0) << Out();
    const pid_t first = LastSaver(Out());
    EXPECT_TRUE(Alive(first));

    EXPECT_EQ(sway.Run("wtype -s 800 x").status, 0);
    EXPECT_TRUE(Said(ENDED, 1)) << Out();
    EXPECT_TRUE(ShowsDesktop()) << Out();
    ASSERT_TRUE(Said(STARTED, 2)) << Out();
    EXPECT_TRUE(ShowsBottles()) << Out();
    EXPECT_EQ(Starts(Out()), 2) << Out();

    const pid_t second = LastSaver(Out());
    EXPECT_NE(second, first);
    saver.ExpectEndOnSigterm();
    EXPECT_FALSE(Alive(second)) << "the saver outlived its watcher";
    later.Signal(SIGTERM);
}

// Input that comes while the saver is still starting (before its surfaces
// show) ends that saver cleanly, as SIGTERM to a starting saver must: it
// leaves no orphan, and the next idle period starts one saver, not two.
TEST_F(WatchOnSway, InputWhileTheSaverStartsEndsItCleanly) {
    ASSERT_TRUE(StartWatcher(saver));
    ASSERT_TRUE(Said(STARTED, 1)) << Out();
    const pid_t first = LastSaver(Out());
    // No delay: the key is input to the session at once, before the saver
    // has bound a keyboard or shown a surface.
    EXPECT_EQ(sway.Run("wtype x").status, 0);
    ASSERT_TRUE(Said(ENDED, 1)) << Out();
    EXPECT_LT(Out().find("watch: active"), Out().find("wayland: HEADLESS-1 is screen"))
        << "the saver was up before the input came: " << Out();
    EXPECT_NE(Out().find("watch: the saver ended (status 0)"), std::string::npos)
        << "a starting saver did not end on SIGTERM by itself: " << Out();
    EXPECT_FALSE(Alive(first)) << "the first saver was left running";
    ASSERT_TRUE(Said(STARTED, 2)) << Out();
    EXPECT_TRUE(ShowsBottles()) << Out();
    EXPECT_EQ(Starts(Out()) - Ends(Out()), 1) << Out();
    saver.ExpectEndOnSigterm();
}

// A program holding an idle inhibitor on a visible window keeps the saver
// away; once it is gone, the next idle period starts the saver.
TEST_F(WatchOnSway, AnIdleInhibitorHoldsItOff) {
    ChildProcess player;
    ASSERT_TRUE(player.Start({BuildProgram("tumblix-inhibit")}, sway.env()));
    ASSERT_TRUE(WaitFor(kPatience, [&] {
        return player.Output().find("inhibiting") != std::string::npos || !player.Running();
    })) << player.Output();
    ASSERT_TRUE(player.Running()) << player.Output();
    ASSERT_TRUE(StartWatcher(saver));
    // Three idle periods and more: nothing may come.
    EXPECT_FALSE(WaitFor(3.5, [&] { return Count(Out(), IDLE) > 0 || !saver.process.Running(); }))
        << Out();
    EXPECT_EQ(Starts(Out()), 0) << Out();

    player.Signal(SIGTERM);
    EXPECT_TRUE(Said(STARTED, 1)) << Out();
    EXPECT_TRUE(ShowsBottles()) << Out();
    saver.ExpectEndOnSigterm();
}

// One watcher per session: a second leaves at once with 0. A saver that
// dies is reported once and not restarted within the same idle period; the
// next one starts it again. The compositor gone ends the watcher with one
// line and a failure, and its saver with it.
TEST_F(WatchOnSway, OneWatcherASaverThatDiesAndTheCompositorGone) {
    ASSERT_TRUE(StartWatcher(saver));
    ASSERT_TRUE(Said(STARTED, 1)) << Out();
    ChildProcess second;
    ASSERT_TRUE(second.Start({BuildProgram("tumblix"), "--resources", saver.resources, "--watch"},
                             saver.env));
    int status = -2;
    EXPECT_TRUE(second.WaitExit(kPatience, &status));
    EXPECT_EQ(status, 0) << second.Output();
    EXPECT_NE(second.Output().find("a watcher already runs"), std::string::npos) << second.Output();

    ASSERT_TRUE(ShowsBottles()) << Out();
    kill(LastSaver(Out()), SIGKILL);
    ASSERT_TRUE(Said(ENDED, 1)) << Out();
    EXPECT_EQ(Count(Out(), "the saver was killed"), 1) << Out();
    EXPECT_FALSE(WaitFor(2.0, [&] { return Starts(Out()) > 1; })) << "restarted at once: " << Out();

    ASSERT_TRUE(pointer.Do("move 40 0"));
    ASSERT_TRUE(Said(STARTED, 2)) << Out();
    ASSERT_TRUE(ShowsBottles()) << Out();
    const pid_t running = LastSaver(Out());
    const std::string before = Out();
    sway.Kill();
    status = saver.End();
    EXPECT_NE(status, -2) << "still running";
    EXPECT_NE(status, 0);
    EXPECT_NE(Out().find("the Wayland compositor went away: the watcher ends"), std::string::npos)
        << Out().substr(before.size());
    EXPECT_FALSE(Alive(running)) << "the saver outlived its watcher";
}

} // namespace
