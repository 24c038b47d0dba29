#include "ChildProcess.h"
#include "KwinServer.h"
#include "MutterServer.h"
#include "PrivateBus.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "TempDir.h"
#include "VirtualPointer.h"
#include "WatchOutput.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

// tumblix --watch on the two desktops most people have: KDE Plasma's KWin
// (ext-idle-notify-v1, overlay surfaces) and GNOME's mutter (its idle
// monitor on the session bus, the full-screen saver through Xwayland, the
// session manager's inhibitors), each headless in a D-Bus session of its own.

namespace {

using namespace watchoutput;

const RGBA kFallback{230, 0, 230, 255}, kWhite{255, 255, 255, 255};

std::string OutOf(SaverProgram& p) {
    return p.process.Output();
}

bool Said(SaverProgram& p, const char* line, int n) {
    return WaitFor(kPatience, [&] { return Count(OutOf(p), line) >= n || !p.process.Running(); }) &&
           Count(OutOf(p), line) >= n;
}

// KWin: a second of idle through ext-idle-notify-v1 brings the overlay saver
// on both outputs; the desktop's own later timeout still comes while it runs
// (swayidle, on KDE's idle protocol, stands in for Plasma's lock); a key
// ends it.
TEST(WatchOnDesktops, KwinStartsTheOverlaySaverOnBothOutputs) {
    KwinServer::Layout layout;
    layout.anyoneMayCapture = true;
    KwinServer kwin(layout);
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    VirtualPointer keyboard(kwin.env());
    SaverProgram saver(kwin.env(), kFallback);
    saver.Prefer(3, 6); // bottles over white
    TempDir marks;
    ChildProcess later;
    ASSERT_TRUE(
        later.Start({"swayidle", "timeout", "4", "touch " + Quote(marks / "later")}, kwin.env()));
    ASSERT_TRUE(saver.Start({"--verbose", "--watch"}, {{"TUMBLIX_IDLE_SECONDS", "1"}}));
    ASSERT_TRUE(Said(saver, STARTED, 1)) << OutOf(saver);
    EXPECT_NE(OutOf(saver).find("through ext-idle-notify-v1 start the saver --wayland"),
              std::string::npos)
        << OutOf(saver);
    for (int i = 0; i < 2; i++) {
        double share = 0;
        EXPECT_TRUE(WaitFor(kPatience,
                            [&] {
                                share = kwin.Screenshot(i).Share(kWhite);
                                return share > 0.5 && share < 0.99;
                            }))
            << KwinServer::OutputName(i) << ": " << int(share * 100) << "% white\n"
            << OutOf(saver);
    }
    struct stat st;
    EXPECT_TRUE(WaitFor(kPatience, [&] { return stat((marks / "later").c_str(), &st) == 0; }))
        << "the later idle timeout never fired while the saver ran";
    EXPECT_EQ(Ends(OutOf(saver)), 0) << OutOf(saver);
    later.Signal(SIGTERM);
    ASSERT_TRUE(keyboard.Do("key 30"));
    EXPECT_TRUE(Said(saver, ENDED, 1)) << OutOf(saver);
    const pid_t last = LastSaver(OutOf(saver));
    saver.ExpectEndOnSigterm();
    EXPECT_FALSE(Alive(last));
}

// GNOME: the idle monitor brings the full-screen saver through Xwayland
// (mutter offers no overlay surfaces); while the session manager says a
// program inhibits idle it stays away, and comes once that ends.
TEST(WatchOnDesktops, MutterStartsTheFullScreenSaverUnlessTheSessionIsInhibited) {
    MutterServer mutter;
    ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
    std::string bus;
    for (const auto& [name, value] : mutter.env()) {
        bus = name == "DBUS_SESSION_BUS_ADDRESS" ? value : bus;
    }
    PrivateBus session(bus);
    ASSERT_TRUE(session.ok()) << session.whyNot();
    const std::string manager = "--dest org.gnome.SessionManager --object-path "
                                "/org/gnome/SessionManager --method "
                                "org.freedesktop.DBus.Mock.AddMethod org.gnome.SessionManager "
                                "IsInhibited u b ";
    ASSERT_TRUE(session.Mock(
        "org.gnome.SessionManager",
        {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager"},
        false));
    ASSERT_EQ(session.Call(manager + Quote("ret = (args[0] & 8) != 0")).status, 0);

    SaverProgram saver(mutter.env(), kFallback);
    saver.server = &mutter;
    saver.Prefer(3, 0);
    ASSERT_TRUE(saver.Start({"--verbose", "--watch"}, {{"TUMBLIX_IDLE_SECONDS", "1"}}));
    ASSERT_TRUE(Said(saver, "watch: a program holds the session awake", 1)) << OutOf(saver);
    EXPECT_NE(OutOf(saver).find("through org.gnome.Mutter.IdleMonitor start the saver\n"),
              std::string::npos)
        << OutOf(saver);
    EXPECT_FALSE(WaitFor(2.0, [&] { return Starts(OutOf(saver)) > 0; })) << OutOf(saver);

    ASSERT_EQ(session.Call(manager + Quote("ret = False")).status, 0);
    ASSERT_TRUE(Said(saver, STARTED, 1)) << OutOf(saver);
    const Window window = mutter.FindWindow("Tumblix");
    ASSERT_NE(window, 0u) << OutOf(saver) << mutter.Log();
    EXPECT_TRUE(saver.Shows(window, 100, 100, kWhite)) << OutOf(saver);
    const pid_t last = LastSaver(OutOf(saver));
    saver.ExpectEndOnSigterm();
    EXPECT_FALSE(Alive(last));
}

} // namespace
