#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

// What a user or a packager gets: `cmake --install` lays out a working
// installation with its man pages and screen saver entries, the man pages
// keep up with --help, and the Debian package holds it all.

namespace {

namespace fs = std::filesystem;

std::string BuildDir() {
    const char* build = std::getenv("TUMBLIX_BUILD_DIR");
    return build != nullptr ? build : ".";
}

// Renders two small frames with the program at `program` and no --resources.
ToolResult RenderWith(const std::string& program, const TempDir& tmp) {
    return RunTool("XDG_CONFIG_HOME=" + Quote(tmp / "config") +
                   " XDG_DATA_HOME=" + Quote(tmp / "data") + " " + Quote(program) + " --render " +
                   Quote(tmp / "frames") + " --frames 2 --size 64x48 --seed 3 2>&1");
}

// The value of `key` in the [Desktop Entry] group, or "(none)".
std::string DesktopKey(const std::string& entry, const std::string& key) {
    std::smatch m;
    if (std::regex_search(entry, m, std::regex("\n" + key + "=([^\n]*)\n"))) {
        return m[1];
    }
    return "(none)";
}

// The man page's text with the font changes and the escaped hyphens undone,
// so that options read as they are typed.
std::string ManText(const std::string& page) {
    std::string text = Contents(BuildDir() + "/man/" + page);
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// `word` stands on its own in `text` (so "--window" is not found in "--window-id").
bool HasWord(const std::string& text, const std::string& word) {
    const auto part = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
    };
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !part(text[at - 1])) && (end == text.size() || !part(text[end]))) {
            return true;
        }
    }
    return false;
}

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
        RunTool("cmake --install " + Quote(BuildDir()) + " --prefix " + Quote(prefix) + " 2>&1");
    ASSERT_EQ(install.status, 0) << install.out;

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
    for (const char* page : {"share/man/man6/tumblix.6.gz", "share/man/man1/tumblix-brew.1.gz",
                             "share/doc/tumblix/copyright", "share/doc/tumblix/changelog.gz"}) {
        EXPECT_TRUE(fs::exists(fs::path(prefix) / page)) << page;
    }

    // The menu entries: the settings window, and the saver in MATE's list,
    // both valid for the desktop's own validator.
    const std::string settings = Contents(prefix + "/share/applications/tumblix-settings.desktop");
    const std::string mate = Contents(prefix + "/share/applications/screensavers/tumblix.desktop");
    for (const std::string* entry : {&settings, &mate}) {
        EXPECT_EQ(entry->rfind("[Desktop Entry]\n", 0), 0u) << *entry;
        EXPECT_EQ(DesktopKey(*entry, "Type"), "Application");
        EXPECT_NE(DesktopKey(*entry, "Name"), "(none)");
    }
    EXPECT_EQ(DesktopKey(settings, "Exec"), "tumblix --configure");
    EXPECT_EQ(DesktopKey(mate, "Exec"), "tumblix --root");
    EXPECT_EQ(DesktopKey(mate, "Categories"), "Screensaver;");
    EXPECT_EQ(DesktopKey(mate, "OnlyShowIn"), "MATE;");
    const ToolResult valid = RunTool(
        "desktop-file-validate " + Quote(prefix + "/share/applications/tumblix-settings.desktop") +
        " " + Quote(prefix + "/share/applications/screensavers/tumblix.desktop") + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.out;
    EXPECT_EQ(valid.out.find("error"), std::string::npos) << valid.out;

    // XScreenSaver's description of the hack: well-formed XML in the form of
    // its own hacks, running --root, and saying where the settings are.
    const ToolResult hack = RunTool(
        "python3 -c 'import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); "
        "print(r.tag, r.get(\"name\"), r.get(\"_label\"), r.get(\"gl\"), "
        "r.find(\"command\").get(\"arg\")); print(r.find(\"_description\").text)' " +
        Quote(prefix + "/share/xscreensaver/config/tumblix.xml") + " 2>&1");
    ASSERT_EQ(hack.status, 0) << hack.out;
    EXPECT_EQ(hack.out.rfind("screensaver tumblix Tumblix yes --root\n", 0), 0u) << hack.out;
    EXPECT_NE(hack.out.find("tumblix --configure"), std::string::npos) << hack.out;

    // The installed program finds the installed content by itself, also once
    // the whole prefix has moved, and it is that content it uses: without it
    // the scene cannot be set up.
    const std::string moved = tmp / "elsewhere";
    fs::rename(prefix, moved);
    const ToolResult run = RenderWith(moved + "/bin/tumblix", tmp);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(tmp / "frames/frame-00002.png")) << run.out;
    fs::rename(moved + "/share/tumblix", moved + "/share/tumblix-gone");
    const ToolResult without = RenderWith(moved + "/bin/tumblix", tmp);
    EXPECT_EQ(without.status, 1) << without.out;
}

TEST(ManPages, NameEveryOptionOfTheHelpAndFormatWithoutWarnings) {
    const std::string saverPage = ManText("tumblix.6");
    const ToolResult saverHelp = RunTool(Quote(BuildProgram("tumblix")) + " --help");
    ASSERT_EQ(saverHelp.status, 0);
    const std::set<std::string> saverOptions = OptionsIn(saverHelp.out);
    EXPECT_GE(saverOptions.size(), 15u) << saverHelp.out;
    for (const std::string& option : saverOptions) {
        EXPECT_TRUE(HasWord(saverPage, option)) << "tumblix(6) lacks " << option;
    }

    // tumblix-brew: every command, and every option of every command.
    const std::string brewPage = ManText("tumblix-brew.1");
    const std::string brew = Quote(BuildProgram("tumblix-brew"));
    const ToolResult brewHelp = RunTool(brew + " --help");
    ASSERT_EQ(brewHelp.status, 0);
    std::set<std::string> brewOptions = OptionsIn(brewHelp.out);
    const std::regex commandLine(R"(\n  ([a-z][a-z-]*) )");
    int commands = 0;
    for (auto it = std::sregex_iterator(brewHelp.out.begin(), brewHelp.out.end(), commandLine);
         it != std::sregex_iterator(); ++it, ++commands) {
        const std::string command = (*it)[1];
        EXPECT_TRUE(HasWord(brewPage, command)) << "tumblix-brew(1) lacks " << command;
        const std::set<std::string> options =
            OptionsIn(RunTool(brew + " " + command + " --help 2>&1").out);
        brewOptions.insert(options.begin(), options.end());
    }
    EXPECT_EQ(commands, 6) << brewHelp.out;
    EXPECT_GE(brewOptions.size(), 13u);
    for (const std::string& option : brewOptions) {
        EXPECT_TRUE(HasWord(brewPage, option)) << "tumblix-brew(1) lacks " << option;
    }

    for (const char* page : {"tumblix.6", "tumblix-brew.1"}) {
        const ToolResult groff =
            RunTool("groff -ww -z -man -Tutf8 " + Quote(BuildDir() + "/man/" + page) + " 2>&1");
        EXPECT_EQ(groff.status, 0) << page;
        EXPECT_EQ(groff.out, "") << page;
    }
}

TEST(Package, HoldsTheInstallationAndDependsOnTheLibraries) {
    TempDir tmp;
    const ToolResult pack = RunTool("cpack -G DEB -B " + Quote(tmp.path()) + " --config " +
                                    Quote(BuildDir() + "/CPackConfig.cmake") + " 2>&1");
    ASSERT_EQ(pack.status, 0) << pack.out;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(tmp.path())) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    ASSERT_FALSE(deb.empty()) << pack.out;
    const std::string version = RunTool(Quote(BuildProgram("tumblix")) + " --version").out;
    EXPECT_EQ(RunTool("dpkg-deb -f " + Quote(deb) + " Package").out, "tumblix\n");
    EXPECT_EQ("tumblix " + RunTool("dpkg-deb -f " + Quote(deb) + " Version").out, version);

    const std::string files = RunTool("dpkg-deb -c " + Quote(deb)).out;
    for (const char* path :
         {"./usr/bin/tumblix", "./usr/bin/tumblix-brew", "./usr/share/tumblix/dewkin.works",
          "./usr/share/tumblix/clink8.wav", "./usr/share/tumblix/default-background.png",
          "./usr/share/man/man6/tumblix.6.gz", "./usr/share/man/man1/tumblix-brew.1.gz",
          "./usr/share/xscreensaver/config/tumblix.xml",
          "./usr/share/applications/screensavers/tumblix.desktop",
          "./usr/share/applications/tumblix-settings.desktop",
          "./usr/share/doc/tumblix/copyright"}) {
        EXPECT_TRUE(HasWord(files, path)) << path << " is not in the package:\n" << files;
    }
    EXPECT_GE(std::count(files.begin(), files.end(), '\n'), 25) << files;

    // Computed from the programs by dpkg-shlibdeps, not written by hand.
    const std::string depends = RunTool("dpkg-deb -f " + Quote(deb) + " Depends").out;
    for (const char* library : {"libsdl2-2.0-0 ", "libsdl2-mixer-2.0-0 ", "libsdl2-image-2.0-0 ",
                                "libgtk-3-0 ", "libcurl4 ", "libplist3 ", "libc6 "}) {
        EXPECT_NE(depends.find(library), std::string::npos) << library << " not in " << depends;
    }
}

} // namespace
