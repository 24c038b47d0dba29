#include "RunTool.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

// `cmake --install` lays out a working installation: the programs, the
// content beside them, and the settings dialog's menu entry.

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Install, PutsTheProgramsTheContentAndTheMenuEntryInPlace) {
    TempDir tmp;
    const std::string prefix = tmp / "usr";
    const char* build = std::getenv("TUMBLIX_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    const ToolResult install =
        RunTool("cmake --install " + Quote(build) + " --prefix " + Quote(prefix) + " 2>&1");
    ASSERT_EQ(install.status, 0) << install.out;

    namespace fs = std::filesystem;
    for (const char* program : {"bin/tumblix", "bin/tumblix-brew"}) {
        const fs::path p = fs::path(prefix) / program;
        ASSERT_TRUE(fs::exists(p)) << p;
        EXPECT_NE(fs::status(p).permissions() & fs::perms::owner_exec, fs::perms::none) << p;
    }
    const fs::path share = fs::path(prefix) / "share/tumblix";
    EXPECT_TRUE(fs::exists(share / "dewkin.works"));
    EXPECT_TRUE(fs::exists(share / "default-background.png"));
    int bottles = 0, clinks = 0;
    for (const auto& entry : fs::directory_iterator(share)) {
        bottles += entry.path().extension() == ".brew" ? 1 : 0;
        clinks += entry.path().filename().string().rfind("clink", 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(bottles, 5);
    EXPECT_EQ(clinks, 8);

    const std::string entry = Read(prefix + "/share/applications/tumblix-settings.desktop");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=tumblix --configure\n"), std::string::npos);
    EXPECT_NE(entry.find("\nName="), std::string::npos);

    // The installed program finds the installed content by itself.
    const std::string frames = tmp / "frames";
    const ToolResult run =
        RunTool("XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                " XDG_DATA_HOME=" + Quote(tmp / "data") + " " + Quote(prefix + "/bin/tumblix") +
                " --render " + Quote(frames) + " --frames 2 --size 64x48 --seed 3 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(frames + "/frame-00002.png")) << run.out;
}

} // namespace
