#include "RunTool.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "XvfbServer.h"
#include "host/platform/XWindows.h"

#include <gtest/gtest.h>
#include <string>

// tumblix drawing into a window someone else made (--window-id, --root as
// XScreenSaver runs it), end to end on a private X server.

namespace {

const RGBA kFallback{230, 0, 230, 255}, kColour{20, 120, 220, 255}, kBlack{0, 0, 0, 255};

class XHostsTest : public OnXvfb<400, 300> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
        server->SetRootPicture({});
    }
    SaverProgram saver{*server, kFallback};
};

// Without XScreenSaver's window, --root draws on the root itself.
TEST_F(XHostsTest, RootWithoutAWindowDrawsOnTheRoot) {
    saverfiles::Prefs prefs;
    prefs.colour = kColour; // kind 3: a plain colour
    saverfiles::WritePreferences(prefs);
    ASSERT_TRUE(saver.Start({"--root"}));
    EXPECT_TRUE(saver.Shows(server->root(), 200, 150, kColour)) << saver.process.Output();
    saver.ExpectEndOnSigterm();
}

// XScreenSaver 6 names a picture of the desktop on the window it hands us;
// by the time we start, the root shows its black window.
TEST_F(XHostsTest, UnderXScreenSaverTheDesktopIsItsScreenshot) {
    saver.Prefer(0, 0);
    Display* d = server->connection();
    const RGBA top{250, 140, 0, 255}, bottom{0, 140, 250, 255};
    const Pixmap shot =
        server->Picture(400, 300, {{0, 0, 400, 150, top}, {0, 150, 400, 150, bottom}});
    const Pixmap freed = server->Picture(400, 300, {});
    XFreePixmap(d, freed);
    for (const auto& [picture, root] :
         {std::pair{shot, true}, std::pair{shot, false}, std::pair{freed, true}}) {
        SCOPED_TRACE(std::to_string(root) + (picture == freed ? ", freed picture" : ""));
        const Window w = server->MakeWindow(50, 40, 120, 90);
        server->NameScreenshot(w, picture);
        // --window-id in hex, or XScreenSaver's window in the environment in
        // decimal, as some hosts give it.
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", w);
        ASSERT_TRUE(root ? saver.Start({"--root"}, {{"XSCREENSAVER_WINDOW", std::to_string(w)}})
                         : saver.Start({"--window-id", hex}));
        // A freed picture and a black root: the desktop picture.
        EXPECT_TRUE(saver.Shows(w, 60, 10, picture == freed ? kFallback : top))
            << saver.process.Output();
        EXPECT_TRUE(saver.Shows(w, 60, 80, picture == freed ? kFallback : bottom));
        EXPECT_EQ(server->PixelAt(server->root(), 10, 10), kBlack) << "drew outside the window";
        saver.ExpectEndOnSigterm();
        XDestroyWindow(d, w);
    }
    XFreePixmap(d, shot);
}

// Parsed by the program, and refused by it before any window opens.
TEST_F(XHostsTest, WindowIdsAreDecimalOrHexAfter0x) {
    for (const auto& [text, id] :
         {std::pair{"4194311", 4194311ul}, std::pair{"0x400007", 0x400007ul},
          std::pair{"0XFFFFFFFF", 0xFFFFFFFFul}}) {
        unsigned long parsed = 0;
        EXPECT_TRUE(ParseWindowId(text, &parsed)) << text;
        EXPECT_EQ(parsed, id);
    }
    unsigned long id = 7;
    for (const char* bad : {"", "0", "0x0", "0x", "-5", "1e3", "0x1FFFFFFFF", "4294967296", " 42",
                            (const char*)nullptr}) {
        EXPECT_FALSE(ParseWindowId(bad, &id)) << (bad ? bad : "null");
    }
    EXPECT_EQ(id, 7ul);

    const std::string tumblix = Quote(BuildProgram("tumblix"));
    EXPECT_EQ(RunTool(tumblix + " --window-id 12abc 2>/dev/null").status, 2);
    const ToolResult junk = RunTool("DISPLAY=" + server->name() + " XSCREENSAVER_WINDOW=junk " +
                                    tumblix + " --root 2>&1");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.out.find("XSCREENSAVER_WINDOW"), std::string::npos) << junk.out;
}

} // namespace
