#include "ChildProcess.h"
#include "SaverFiles.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Peak resident memory in KiB of one headless run of `frames` frames, -1
// when it did not end well.
long PeakKiB(const std::string& out, long frames) {
    const std::string program = BuildProgram("tumblix"), n = std::to_string(frames);
    std::vector<std::string> args = {program, "--render", out,     "--frames", n,  "--every",
                                     n,       "--size",   "64x48", "--seed",   "1"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

} // namespace

// A long headless run holds no more memory than a short one: nothing piles
// up frame by frame.
TEST(RenderMemory, FlatFromThreeHundredToThreeThousandFrames) {
    TempDir home;
    saverfiles::UseUserFolders(home.path());
    saverfiles::Prefs prefs; // the whole scene: bottles, sway and clock
    prefs.maxBottles = 5;
    prefs.drunkenBG = true;
    prefs.showClock = true;
    saverfiles::WritePreferences(prefs);
    const long shortRun = PeakKiB(home / "short", 300);
    const long longRun = PeakKiB(home / "long", 3000);
    ASSERT_GT(shortRun, 0);
    ASSERT_GT(longRun, 0);
    EXPECT_LT(longRun, shortRun + 4096)
        << shortRun << " KiB after 300 frames, " << longRun << " KiB after 3000";
}
