#include "ChildProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

// What a packager gets: the Debian package holds a working, relocatable
// installation, and the man pages keep up with --help.

namespace {

// Every option a help text names: -x or --word, not the hyphen inside a word.
std::set<std::string> OptionsIn(const std::string& help) {
    std::set<std::string> options;
    const std::regex option(R"((?:^|[^A-Za-z0-9-])(--?[a-z][a-z0-9-]*))");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it) {
        options.insert((*it)[1]);
    }
    return options;
}

TEST(Package, HoldsAWorkingInstallationAndDependsOnTheLibraries) {
    TempDir tmp;
    const ToolResult pack = RunTool("cpack -G DEB -B " + Quote(tmp.path()) + " --config " +
                                    Quote(BuildPath("CPackConfig.cmake")) + " 2>&1");
    ASSERT_EQ(pack.status, 0) << pack.out;
    const std::string deb =
        RunTool("ls " + Quote(tmp.path()) + "/*.deb | head -1 | tr -d '\\n'").out;
    const auto field = [&](const std::string& name) {
        return RunTool("dpkg-deb -f " + Quote(deb) + " " + name).out;
    };
    EXPECT_EQ("tumblix " + field("Version"),
              RunTool(Quote(BuildProgram("tumblix")) + " --version").out);
    for (const char* library : {"libsdl2-2.0-0 ", "libsdl2-mixer-2.0-0 ", "libsdl2-image-2.0-0 ",
                                "libgtk-3-0 ", "libcurl4 ", "libplist3 "}) {
        EXPECT_NE(field("Depends").find(library), std::string::npos) << library;
    }
    ASSERT_EQ(RunTool("dpkg-deb -x " + Quote(deb) + " " + Quote(tmp / "root")).status, 0);
    const std::string listing = RunTool("cd " + Quote(tmp / "root/usr") + " && find . -type f").out;
    for (const char* path :
         {"./bin/tumblix", "./bin/tumblix-brew", "./share/tumblix/dewkin.works",
          "./share/tumblix/clink8.wav", "./share/tumblix/default-background.png",
          "./share/man/man6/tumblix.6.gz", "./share/man/man1/tumblix-brew.1.gz",
          "./share/applications/tumblix-settings.desktop", "./share/applications/tumblix.desktop",
          "./share/applications/screensavers/tumblix.desktop",
          "./share/xscreensaver/config/tumblix.xml", "./share/doc/tumblix/copyright"}) {
        EXPECT_NE(listing.find(std::string(path) + "\n"), std::string::npos) << path;
    }
    // KWin grants its screenshots to the installed program through its entry.
    const std::string entry = Contents(tmp / "root/usr/share/applications/tumblix.desktop");
    EXPECT_NE(entry.find("\nExec=/usr/bin/tumblix\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"),
              std::string::npos)
        << entry;
    // The watcher's autostart entry, there but off until the user turns it
    // on (under /etc where the build's prefix is /usr, as scripts/package's is).
    const std::string found =
        RunTool("cd " + Quote(tmp / "root") + " && find . -name tumblix-watch.desktop").out;
    EXPECT_NE(found.find("/xdg/autostart/tumblix-watch.desktop\n"), std::string::npos) << found;
    const std::string autostart = Contents(tmp / ("root/" + found.substr(0, found.find('\n'))));
    EXPECT_NE(autostart.find("Exec=tumblix --watch\n"), std::string::npos) << autostart;
    EXPECT_NE(autostart.find("Hidden=true\n"), std::string::npos) << autostart;
    EXPECT_NE(autostart.find("X-GNOME-Autostart-enabled=false\n"), std::string::npos) << autostart;
    // The installed program finds the installed content wherever the tree
    // lies, and fails without it.
    const std::string render = "XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                               " XDG_DATA_HOME=" + Quote(tmp / "data") + " " +
                               Quote(tmp / "root/usr/bin/tumblix") + " --render " +
                               Quote(tmp / "frames") + " --frames 2 --size 64x48 --seed 3 2>&1";
    const ToolResult run = RunTool(render);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(RunTool("test -s " + Quote(tmp / "frames/frame-00002.png")).status, 0) << run.out;
    RunTool("mv " + Quote(tmp / "root/usr/share/tumblix") + " " + Quote(tmp / "gone"));
    EXPECT_EQ(RunTool(render).status, 1);
}

// Every option and command of the help texts is in the man pages.
TEST(ManPages, NameEveryOptionOfTheHelp) {
    const std::string brew = Quote(BuildProgram("tumblix-brew"));
    const std::string brewHelp = RunTool(brew + " --help").out;
    std::set<std::string> brewWords = OptionsIn(brewHelp);
    const std::regex commandLine(R"(\n  ([a-z][a-z-]*) )");
    for (auto it = std::sregex_iterator(brewHelp.begin(), brewHelp.end(), commandLine);
         it != std::sregex_iterator(); ++it) {
        brewWords.insert((*it)[1]);
        const std::set<std::string> options =
            OptionsIn(RunTool(brew + " " + std::string((*it)[1]) + " --help 2>&1").out);
        brewWords.insert(options.begin(), options.end());
    }
    const std::set<std::string> saverWords =
        OptionsIn(RunTool(Quote(BuildProgram("tumblix")) + " --help").out);
    EXPECT_GE(saverWords.size(), 15u);
    EXPECT_GE(brewWords.size(), 13u + 6u);
    for (const auto& [page, words] :
         {std::pair{"tumblix.6", saverWords}, std::pair{"tumblix-brew.1", brewWords}}) {
        // The page's text as it reads, without font changes and escapes.
        const std::string text =
            RunTool("sed -e 's/\\\\f[BIRP]//g' -e 's/\\\\-/-/g' " + Quote(BuildPath("man/") + page))
                .out;
        for (const std::string& word : words) {
            // On its own: "--window" is not found in "--window-id".
            EXPECT_TRUE(std::regex_search(
                text, std::regex("(^|[^A-Za-z0-9-])" + word + "($|[^A-Za-z0-9-])")))
                << page << " lacks " << word;
        }
    }
}

} // namespace
