#include "ChildProcess.h"
#include "KwinServer.h"
#include "MutterServer.h"
#include "TempDir.h"
#include "VirtualPointer.h"

#include <gtest/gtest.h>
#include <string>

// The private KDE and GNOME compositors the Wayland tests run on: that they
// start as the tests need them, and that what the tests read from them and
// do to them is real.

namespace {

// KWin shows each output's own colour to the screenshot tool it trusts, and
// refuses the same tool anywhere else; the fake pointer and keyboard are
// taken; killed, it is gone.
TEST(CompositorsTest, KwinOutputsScreenshotsAndInput) {
    KwinServer kwin;
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    for (int i = 0; i < 2; i++) {
        const KwinServer::Picture p = kwin.Screenshot(i);
        EXPECT_EQ(p.width, 320);
        EXPECT_EQ(p.height, 240);
        EXPECT_EQ(p.Share(kwin.layout().colours[i]), 1.0) << KwinServer::OutputName(i);
    }
    // The same program under another name has no .desktop file granting it.
    TempDir elsewhere;
    const std::string copy = elsewhere / "shot";
    ASSERT_EQ(RunTool("cp " + Quote(BuildProgram("tumblix-kwinshot")) + " " + Quote(copy)).status,
              0);
    const ToolResult refused = kwin.Run(Quote(copy) + " Virtual-0 2>&1 >/dev/null");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.out.find("NoAuthorized"), std::string::npos) << refused.out;

    VirtualPointer pointer(kwin.env());
    EXPECT_TRUE(pointer.Do("to 400 100 640 240"));
    EXPECT_TRUE(pointer.Do("move 5 5"));
    EXPECT_TRUE(pointer.Do("click"));
    EXPECT_TRUE(pointer.Do("key 30"));

    kwin.Kill();
    EXPECT_EQ(kwin.Screenshot(0).width, 0);
    EXPECT_NE(kwin.Run("tumblix-vpointer </dev/null").status, 0);
}

// With its test variable KWin hands anyone its screenshots.
TEST(CompositorsTest, KwinWithoutPermissionChecks) {
    KwinServer::Layout layout;
    layout.anyoneMayCapture = true;
    layout.colours[0] = {200, 40, 40, 255};
    KwinServer kwin(layout);
    ASSERT_TRUE(kwin.ok()) << kwin.whyNot();
    TempDir elsewhere;
    const std::string copy = elsewhere / "shot";
    ASSERT_EQ(RunTool("cp " + Quote(BuildProgram("tumblix-kwinshot")) + " " + Quote(copy)).status,
              0);
    EXPECT_EQ(SwayServer::Picture::FromPpm(kwin.Run(Quote(copy) + " Virtual-0 2>/dev/null").out)
                  .Share(layout.colours[0]),
              1.0);
}

// mutter with two monitors: its Xwayland lets the tests in and shows both
// monitors; without Xwayland there is no X display; killed, it is gone.
TEST(CompositorsTest, MutterWithAndWithoutXwayland) {
    MutterServer mutter({320, 240, 2, true});
    ASSERT_TRUE(mutter.ok()) << mutter.whyNot();
    EXPECT_TRUE(mutter.connection() != nullptr);
    const ToolResult monitors = mutter.Run("xrandr --listmonitors");
    EXPECT_EQ(monitors.status, 0);
    EXPECT_NE(monitors.out.find("Monitors: 2"), std::string::npos) << monitors.out;
    const ToolResult idle = mutter.Run(
        "gdbus call --session --dest org.gnome.Mutter.IdleMonitor --object-path "
        "/org/gnome/Mutter/IdleMonitor/Core --method org.gnome.Mutter.IdleMonitor.GetIdletime");
    EXPECT_EQ(idle.status, 0) << idle.out;
    mutter.Kill();
    EXPECT_NE(mutter.Run("xrandr --listmonitors >/dev/null 2>&1").status, 0);

    MutterServer plain({320, 240, 1, false});
    ASSERT_TRUE(plain.ok()) << plain.whyNot();
    EXPECT_EQ(plain.connection(), nullptr);
    EXPECT_EQ(
        plain.Run("test -z \"$DISPLAY\" && test -S \"$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY\"").status,
        0);
}

} // namespace
