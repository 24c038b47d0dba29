#include "BottleFiles.h"
#include "FileContents.h"
#include "LoopbackServer.h"
#include "RunTool.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

// tumblix --downloads and --download against a site that tumblix-brew site
// wrote, served on the loopback interface; the downloaded type then carries
// a --render run whose resource folder has no bottle types of its own.

namespace fs = std::filesystem;

namespace {

class DownloadCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* build = std::getenv("TUMBLIX_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        // The saver's content without its bottle types.
        fs::create_directories(resources);
        for (const auto& entry : fs::directory_iterator(std::string(build) + "/share/tumblix")) {
            if (entry.path().extension() != ".brew") {
                fs::create_symlink(entry.path(), resources / entry.path().filename());
            }
        }
        ASSERT_TRUE(server.Start(tmp / "site"));
        Prefer(server.Address());
    }
    void Prefer(const std::string& webServer) {
        fs::create_directories(tmp / "config/dwTumblixSS");
        std::ofstream(tmp / "config/dwTumblixSS/preferences.ini")
            << "[dwTumblixSS]\nWebServer=" << webServer << "\n";
    }
    // tumblix with the test's own settings and bottle folder.
    ToolResult Tumblix(const std::string& args, bool errorsToo = false) {
        return RunTool("XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                       " XDG_DATA_HOME=" + Quote(tmp / "data") + " no_proxy=127.0.0.1 " +
                       Quote(BuildProgram("tumblix")) + " --resources " + Quote(resources) + " " +
                       args + (errorsToo ? " 2>&1" : " 2>/dev/null"));
    }
    ToolResult Render() {
        return Tumblix("--render " + Quote(tmp / "frames") +
                           " --frames 2 --every 1 --size 64x48 --seed 3",
                       true);
    }

    TempDir tmp;
    std::string resources = tmp / "resources";
    LoopbackServer server;
};

TEST_F(DownloadCommandTest, ListsDownloadsAndTheDownloadJoinsTheCatalogue) {
    fs::create_directories(tmp / "site");
    fs::create_directories(tmp / "in");
    fixtures::Write(tmp / "in/porter.brew", fixtures::Upright("Porter"));
    fixtures::Write(tmp / "in/wheat.brew", fixtures::Upright("Wheat Beer"));
    const ToolResult site =
        RunTool(Quote(BuildProgram("tumblix-brew")) + " site " + Quote(tmp / "site") + " " +
                Quote(tmp / "in/porter.brew") + " " + Quote(tmp / "in/wheat.brew") + " --base " +
                server.Address() + " 2>&1");
    ASSERT_EQ(site.status, 0) << site.out;

    ToolResult r = Render();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("No Bottle Data Found!"), std::string::npos) << r.out;

    r = Tumblix("--downloads");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Porter\nWheat Beer\n");

    r = Tumblix("--download Porter");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string saved = tmp / "data/dwTumblixSS/bottles/porter.brew";
    EXPECT_EQ(Contents(saved), Contents(tmp / "in/porter.brew"));
    EXPECT_NE(r.out.find("Downloading, Please Wait: 100.00% Complete\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Download Complete!\n"), std::string::npos) << r.out;

    r = Tumblix("--downloads");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Wheat Beer\n") << "the installed type is no longer offered";

    r = Render();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(tmp / "frames/frame-00002.png"));

    r = Tumblix("--download Porter", true);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no bottle type named \"Porter\" is on offer"), std::string::npos)
        << r.out;
}

TEST_F(DownloadCommandTest, FailuresExitWithTheReason) {
    fs::create_directories(tmp / "site/mac/zips/tumblix");
    std::ofstream(tmp / "site/mac/zips/tumblix/bottleTypes.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
        << "<string>Gone;" << server.Address("/mac/zips/tumblix/gone.brew") << "</string>"
        << "</array></plist>";
    ToolResult r = Tumblix("--download Gone");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Download failed! Error - The server answered with status 404. " +
                         server.Address("/mac/zips/tumblix/gone.brew")),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(tmp / "data/dwTumblixSS/bottles/gone.brew"));

    Prefer("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
    r = Tumblix("--downloads", true);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error! Could not connect to the server!\n");
    EXPECT_EQ(Tumblix("--download", true).status, 2);
}

} // namespace
