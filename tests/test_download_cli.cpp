#include "BottleFiles.h"
#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

// tumblix --downloads and --download against a site that tumblix-brew site
// wrote, served on the loopback interface; the downloaded type then carries
// a --render run whose resource folder has no bottle types of its own. The
// drawn frames of --render are checked by the scene's tests and the installed
// program's; here, what the user is told when it cannot draw.

namespace fs = std::filesystem;

namespace {

TEST(DownloadCommandTest, ListsDownloadsAndTheDownloadJoinsTheCatalogue) {
    TempDir tmp;
    const std::string resources = tmp / "resources", site = tmp / "site";
    fs::create_directories(resources);
    // tumblix with the test's own settings and bottle folder; stderr too.
    const auto tumblix = [&](const std::string& args) {
        return RunTool("XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                       " XDG_DATA_HOME=" + Quote(tmp / "data") + " no_proxy=127.0.0.1 " +
                       Quote(BuildProgram("tumblix")) + " --resources " + Quote(resources) + " " +
                       args + " 2>&1");
    };
    const std::string render =
        "--render " + Quote(tmp / "frames") + " --frames 2 --every 1 --size 64x48 --seed 3";
    // With no content at all the user is told what is missing, on one line.
    ToolResult r = tumblix(render);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("dewkin.works"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    // The saver's content without its bottle types.
    for (const auto& entry : fs::directory_iterator(BuildPath("share/tumblix"))) {
        if (entry.path().extension() != ".brew") {
            fs::create_symlink(entry.path(), resources / entry.path().filename());
        }
    }
    LoopbackServer server;
    ASSERT_TRUE(server.Start(site));
    fs::create_directories(tmp / "config/dwTumblixSS");
    std::ofstream(tmp / "config/dwTumblixSS/preferences.ini")
        << "[dwTumblixSS]\nWebServer=" << server.Address() << "\n";
    fs::create_directories(tmp / "in");
    fixtures::Write(tmp / "in/porter.brew", fixtures::Upright("Porter"));
    fixtures::Write(tmp / "in/wheat.brew", fixtures::Upright("Wheat Beer"));
    r = RunTool(Quote(BuildProgram("tumblix-brew")) + " site " + Quote(site) + " " +
                Quote(tmp / "in/porter.brew") + " " + Quote(tmp / "in/wheat.brew") + " --base " +
                server.Address() + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;

    r = tumblix(render);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("No Bottle Data Found!"), std::string::npos) << r.out;
    r = tumblix("--downloads");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Porter\nWheat Beer\n");

    r = tumblix("--download Porter");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Contents(tmp / "data/dwTumblixSS/bottles/porter.brew"),
              Contents(tmp / "in/porter.brew"));
    EXPECT_NE(r.out.find("Downloading, Please Wait: 100.00% Complete\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Download Complete!\n"), std::string::npos) << r.out;
    r = tumblix("--downloads");
    EXPECT_EQ(r.out, "Wheat Beer\n") << "the installed type is no longer offered";
    r = tumblix(render);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(tmp / "frames/frame-00002.png"));

    // Failures exit with the reason.
    r = tumblix("--download Porter");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no bottle type named \"Porter\" is on offer"), std::string::npos)
        << r.out;
    EXPECT_EQ(tumblix("--download").status, 2);
}

} // namespace
