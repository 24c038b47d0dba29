#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>

// What a user or a packager gets: `cmake --install` lays out a working
// installation with its man pages and screen saver entries, the man pages
// keep up with --help, and the Debian package holds it all.

namespace {

namespace fs = std::filesystem;

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

TEST(Install, LaysOutTheProgramsContentManPagesAndScreenSaverEntries) {
    TempDir tmp;
    const std::string prefix = tmp / "usr";
    const ToolResult install =
        RunTool("cmake --install " + Quote(BuildPath("")) + " --prefix " + Quote(prefix) + " 2>&1");
    ASSERT_EQ(install.status, 0) << install.out;
    const std::string listing = RunTool("cd " + Quote(prefix) + " && find . ! -type d").out;
    for (const char* path : {"./bin/tumblix", "./bin/tumblix-brew", "./share/tumblix/dewkin.works",
                             "./share/tumblix/clink8.wav", "./share/tumblix/default-background.png",
                             "./share/man/man6/tumblix.6.gz", "./share/man/man1/tumblix-brew.1.gz",
                             "./share/doc/tumblix/copyright", "./share/doc/tumblix/changelog.gz"}) {
        EXPECT_NE(listing.find(std::string(path) + "\n"), std::string::npos) << path;
    }
    const std::string share = Quote(prefix + "/share/tumblix");
    EXPECT_GE(std::stoi(RunTool("ls " + share + "/*.brew | wc -l").out), 5);
    EXPECT_EQ(RunTool("ls " + share + "/clink* | wc -l").out, "8\n");
    EXPECT_EQ(RunTool("test -x " + Quote(prefix + "/bin/tumblix") + " && test -x " +
                      Quote(prefix + "/bin/tumblix-brew"))
                  .status,
              0);

    // The menu entries, valid for the desktop's own validator: the settings
    // window, and the saver in MATE's list.
    const std::string apps = prefix + "/share/applications/";
    const ToolResult valid =
        RunTool("desktop-file-validate " + Quote(apps + "tumblix-settings.desktop") + " " +
                Quote(apps + "screensavers/tumblix.desktop") + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.out;
    EXPECT_EQ(valid.out.find("error"), std::string::npos) << valid.out;
    EXPECT_NE(Contents(apps + "tumblix-settings.desktop").find("\nExec=tumblix --configure\n"),
              std::string::npos);
    for (const char* line :
         {"\nExec=tumblix --root\n", "\nCategories=Screensaver;\n", "\nOnlyShowIn=MATE;\n"}) {
        EXPECT_NE(Contents(apps + "screensavers/tumblix.desktop").find(line), std::string::npos)
            << line;
    }
    // XScreenSaver's description of the hack: well-formed XML in the form of
    // its own hacks, running --root, and saying where the settings are.
    const ToolResult hack = RunTool(
        "python3 -c 'import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); "
        "print(r.tag, r.get(\"name\"), r.get(\"_label\"), r.get(\"gl\"), "
        "r.find(\"command\").get(\"arg\")); print(r.find(\"_description\").text)' " +
        Quote(prefix + "/share/xscreensaver/config/tumblix.xml") + " 2>&1");
    EXPECT_EQ(hack.out.rfind("screensaver tumblix Tumblix yes --root\n", 0), 0u) << hack.out;
    EXPECT_NE(hack.out.find("tumblix --configure"), std::string::npos) << hack.out;

    // The installed program finds the installed content by itself, also once
    // the whole prefix has moved, and it is that content it uses.
    fs::rename(prefix, tmp / "moved");
    const std::string render = "XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                               " XDG_DATA_HOME=" + Quote(tmp / "data") + " " +
                               Quote(tmp / "moved/bin/tumblix") + " --render " +
                               Quote(tmp / "frames") + " --frames 2 --size 64x48 --seed 3 2>&1";
    const ToolResult run = RunTool(render);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(tmp / "frames/frame-00002.png")) << run.out;
    fs::rename(tmp / "moved/share/tumblix", tmp / "moved/share/tumblix-gone");
    EXPECT_EQ(RunTool(render).status, 1);
}

// Every option and command of the help texts is in the man pages, which
// groff formats without a warning.
TEST(ManPages, NameEveryOptionOfTheHelpAndFormatWithoutWarnings) {
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
        const ToolResult groff =
            RunTool("groff -ww -z -man -Tutf8 " + Quote(BuildPath("man/") + page) + " 2>&1");
        EXPECT_EQ(groff.status, 0) << page;
        EXPECT_EQ(groff.out, "") << page;
    }
}

TEST(Package, HoldsTheInstallationAndDependsOnTheLibraries) {
    TempDir tmp;
    const ToolResult pack = RunTool("cpack -G DEB -B " + Quote(tmp.path()) + " --config " +
                                    Quote(BuildPath("CPackConfig.cmake")) + " 2>&1");
    ASSERT_EQ(pack.status, 0) << pack.out;
    const std::string deb = RunTool("ls " + Quote(tmp.path()) + "/*.deb").out;
    ASSERT_NE(deb, "") << pack.out;
    const auto field = [&](const std::string& name) {
        return RunTool("dpkg-deb -f " + deb.substr(0, deb.size() - 1) + " " + name).out;
    };
    EXPECT_EQ(field("Package"), "tumblix\n");
    EXPECT_EQ("tumblix " + field("Version"),
              RunTool(Quote(BuildProgram("tumblix")) + " --version").out);
    // Every file an installation has, under /usr.
    const std::string files = RunTool("dpkg-deb -c " + deb.substr(0, deb.size() - 1) +
                                      " | grep -o '\\./usr/[^ ]*[^/]$' | sort")
                                  .out;
    const ToolResult install = RunTool(
        "cmake --install " + Quote(BuildPath("")) + " --prefix " + Quote(tmp / "usr") +
        " >/dev/null && cd " + Quote(tmp.path()) + " && find usr ! -type d | sed 's|^|./|' | sort");
    EXPECT_EQ(files, install.out);
    EXPECT_GE(std::count(files.begin(), files.end(), '\n'), 20) << files;
    // Computed from the programs by dpkg-shlibdeps, not written by hand.
    const std::string depends = field("Depends");
    for (const char* library : {"libsdl2-2.0-0 ", "libsdl2-mixer-2.0-0 ", "libsdl2-image-2.0-0 ",
                                "libgtk-3-0 ", "libcurl4 ", "libplist3 ", "libc6 "}) {
        EXPECT_NE(depends.find(library), std::string::npos) << library << " not in " << depends;
    }
}

} // namespace
