#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

// The drawn frames of tumblix --render are checked by the scene's tests and
// the installed program's; this is what the user is told when it cannot draw.
TEST(Render, AFailedSetUpSaysWhatIsMissingOnOneLine) {
    TempDir tmp;
    setenv("XDG_CONFIG_HOME", tmp.Subdir("config").c_str(), 1);
    setenv("XDG_DATA_HOME", tmp.Subdir("data").c_str(), 1);
    const std::string cmd = Quote(BuildProgram("tumblix")) + " --render " + Quote(tmp / "frames") +
                            " --size 320x240 --frames 5 --resources " + Quote(tmp.Subdir("empty"));
    EXPECT_EQ(RunTool(cmd + " 2>" + Quote(tmp / "stderr.txt")).status, 1) << cmd;
    const std::string err = Contents(tmp / "stderr.txt");
    EXPECT_NE(err.find("dewkin.works"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
