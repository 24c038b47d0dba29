#include "ChildProcess.h"
#include "PrivateBus.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "WatchOutput.h"
#include "XvfbServer.h"

#include <X11/Xatom.h>
#include <csignal>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <unistd.h>

// tumblix --watch on a private X server (Xvfb has MIT-SCREEN-SAVER): the
// server's idle time starts the full-screen saver, input ends it; a
// program that keeps resetting the server's saver holds it off; with
// XScreenSaver or a desktop's own saver running it leaves; on battery
// (UPower on a bus of the test's own) it starts nothing.

namespace {

using namespace watchoutput;

const RGBA kFallback{230, 0, 230, 255}, kPlain{40, 160, 90, 255};

class WatchOnX : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        saverfiles::Prefs prefs; // a plain colour, no bottles: quick to show
        prefs.colour = kPlain;
        saverfiles::UseUserFolders(saver.home.path());
        saverfiles::WritePreferences(prefs);
    }
    bool StartWatcher(const SaverProgram::Env& extra = {}) {
        SaverProgram::Env env = {{"TUMBLIX_IDLE_SECONDS", "1"}};
        env.insert(env.end(), extra.begin(), extra.end());
        return saver.Start({"--verbose", "--watch"}, env);
    }
    std::string Out() { return saver.process.Output(); }
    bool Said(const char* line, int n) {
        return WaitFor(kPatience,
                       [&] { return Count(Out(), line) >= n || !saver.process.Running(); }) &&
               Count(Out(), line) >= n;
    }
    // Nothing starts for `seconds`, several idle periods.
    bool NothingStartsFor(double seconds) {
        return !WaitFor(seconds, [&] { return Starts(Out()) > 0 || !saver.process.Running(); });
    }
    bool SaverShows() { return saver.Shows(server->root(), 200, 150, kPlain); }

    SaverProgram saver{*server, kFallback};
};

// A second of idle brings the full-screen saver; a move of the mouse ends
// it, the next idle period brings it again; SIGTERM to the watcher ends
// both.
TEST_F(WatchOnX, IdleStartsTheFullScreenSaverAndInputEndsIt) {
    ASSERT_TRUE(StartWatcher());
    ASSERT_TRUE(Said(STARTED, 1)) << Out();
    EXPECT_NE(Out().find("through MIT-SCREEN-SAVER start the saver\n"), std::string::npos) << Out();
    EXPECT_TRUE(SaverShows()) << Out();
    ASSERT_TRUE(server->Xdotool("mousemove 10 10 mousemove 300 200"));
    EXPECT_TRUE(Said(ENDED, 1)) << Out();
    EXPECT_TRUE(Said(STARTED, 2)) << Out();
    EXPECT_TRUE(SaverShows()) << Out();
    const pid_t running = LastSaver(Out());
    saver.ExpectEndOnSigterm();
    EXPECT_FALSE(Alive(running)) << "the saver outlived its watcher";
}

// A player that resets the server's saver every moment (as mpv and SDL
// games do) keeps the session from going idle; once it stops, the saver
// comes.
TEST_F(WatchOnX, AProgramResettingTheServersSaverHoldsItOff) {
    ChildProcess player;
    ASSERT_TRUE(player.Start({"sh", "-c", "while xset s reset; do sleep 0.2; done"},
                             {{"DISPLAY", server->name()}}));
    ASSERT_TRUE(StartWatcher());
    EXPECT_TRUE(NothingStartsFor(3.0)) << Out();
    EXPECT_EQ(Count(Out(), IDLE), 0) << Out();
    player.Signal(SIGTERM);
    EXPECT_TRUE(Said(STARTED, 1)) << Out();
    saver.ExpectEndOnSigterm();
}

// With XScreenSaver running (as an ordinary user: it runs no savers for
// root), or a desktop's own saver on the session bus, the watcher says so
// and leaves with 0: that host runs the saver.
TEST_F(WatchOnX, AnotherSaverHostRunningItLeaves) {
    std::vector<std::string> argv = {"xscreensaver", "-no-splash"};
    TempDir home;
    if (geteuid() == 0) {
        const char* user = "tumblixss";
        if (getpwnam(user) == nullptr) {
            ASSERT_EQ(RunTool(std::string("useradd -M -s /usr/sbin/nologin ") + user).status, 0);
        }
        const passwd* pw = getpwnam(user);
        ASSERT_NE(pw, nullptr);
        ASSERT_EQ(chown(home.path().c_str(), pw->pw_uid, pw->pw_gid), 0);
        argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(pw->pw_uid),
                                   "--regid=" + std::to_string(pw->pw_gid), "--init-groups"});
    }
    ChildProcess xscreensaver;
    ASSERT_TRUE(xscreensaver.Start(argv, {{"DISPLAY", server->name()}, {"HOME", home.path()}}));
    // It is up once xscreensaver-command finds it.
    ASSERT_TRUE(WaitFor(kPatience, [&] {
        return RunTool("DISPLAY=" + server->name() +
                       " xscreensaver-command -version >/dev/null 2>&1")
                       .status == 0 ||
               !xscreensaver.Running();
    })) << xscreensaver.Output();
    ASSERT_TRUE(xscreensaver.Running()) << xscreensaver.Output();
    ASSERT_TRUE(StartWatcher());
    EXPECT_EQ(saver.End(), 0) << Out();
    EXPECT_NE(Out().find("XScreenSaver runs on this display"), std::string::npos) << Out();
    EXPECT_EQ(Starts(Out()), 0) << Out();
    xscreensaver.Signal(SIGTERM);
    ASSERT_TRUE(xscreensaver.WaitExit(kPatience, nullptr));

    PrivateBus session;
    ASSERT_TRUE(session.ok()) << session.whyNot();
    ASSERT_TRUE(session.Mock("org.freedesktop.ScreenSaver",
                             {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                              "org.freedesktop.ScreenSaver"},
                             false));
    ASSERT_TRUE(StartWatcher({{"DBUS_SESSION_BUS_ADDRESS", session.address()}}));
    EXPECT_EQ(saver.End(), 0) << Out();
    EXPECT_NE(Out().find("the desktop's own screen saver runs"), std::string::npos) << Out();
}

// The settings window changes the period, or switches the watcher off, by
// saving the store: a running watcher reads the minutes again as they are
// saved (the store is renamed into place), and ends at 0.
TEST_F(WatchOnX, ItFollowsTheStoresMinutesAndEndsAtZero) {
    saverfiles::Prefs prefs;
    prefs.colour = kPlain;
    ASSERT_TRUE(saver.Start({"--verbose", "--watch"})); // the store's 5 minutes
    ASSERT_TRUE(Said("watch: 300 s of idle through", 1)) << Out();
    prefs.idleMinutes = 7;
    saverfiles::WritePreferences(prefs);
    EXPECT_TRUE(Said("watch: 420 s of idle from now on", 1)) << Out();
    prefs.idleMinutes = 0;
    saverfiles::WritePreferences(prefs);
    EXPECT_EQ(saver.End(), 0) << Out();
    EXPECT_NE(Out().find("IdleMinutes is now 0: the watcher ends"), std::string::npos) << Out();
    EXPECT_EQ(Starts(Out()), 0) << Out();
}

// On battery the watcher leaves the screen to the desktop; back on mains
// within the same idle period the saver comes; on battery again it goes.
// UPower gone: as on mains. No UPower at all is mains too (every other test).
TEST_F(WatchOnX, OnBatteryNothingStarts) {
    PrivateBus system;
    ASSERT_TRUE(system.ok()) << system.whyNot();
    ASSERT_TRUE(system.Mock("org.freedesktop.UPower",
                            {"--template", "upower", "-p", "{\"OnBattery\": true}"}, true));
    ASSERT_TRUE(StartWatcher({{"DBUS_SYSTEM_BUS_ADDRESS", system.address()}}));
    ASSERT_TRUE(Said("watch: on battery: the screen is left to the desktop", 1)) << Out();
    EXPECT_TRUE(NothingStartsFor(2.0)) << Out();

    const std::string update =
        "--dest org.freedesktop.UPower --object-path /org/freedesktop/UPower "
        "--method org.freedesktop.DBus.Mock.UpdateProperties "
        "org.freedesktop.UPower ";
    ASSERT_EQ(system.Call(update + Quote("{'OnBattery': <false>}")).status, 0);
    EXPECT_TRUE(Said(STARTED, 1)) << Out();
    EXPECT_TRUE(SaverShows()) << Out();
    ASSERT_EQ(system.Call(update + Quote("{'OnBattery': <true>}")).status, 0);
    EXPECT_TRUE(Said(ENDED, 1)) << Out();
    EXPECT_FALSE(Alive(LastSaver(Out())));

    system.Kill("org.freedesktop.UPower");
    EXPECT_TRUE(Said("UPower went away: carrying on as on mains power", 1)) << Out();
    EXPECT_TRUE(Said(STARTED, 2)) << Out();
    saver.ExpectEndOnSigterm();
}

} // namespace
