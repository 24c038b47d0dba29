#include "BottleFiles.h"
#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

// tumblix-brew site: the list it writes is read back with Python's own
// property-list reader, so the test does not share the writer's library.

namespace {

class SiteTest : public ::testing::Test {
  protected:
    std::string Bottle(const std::string& file, const std::string& name) {
        fixtures::Write(tmp / file, fixtures::Upright(name));
        return Quote(tmp / file);
    }
    ToolResult Brew(const std::string& args) {
        return RunTool(Quote(BuildProgram("tumblix-brew")) + " site " + Quote(site) + " " + args +
                       " 2>&1");
    }
    // One list entry per line, as plistlib reads the file.
    std::string ReadList() {
        const std::string script = "import plistlib,sys\n"
                                   "l=plistlib.load(open(sys.argv[1],'rb'))\n"
                                   "assert isinstance(l,list)\n"
                                   "print('\\n'.join(l))\n";
        return RunTool("python3 -c " + Quote(script) + " " +
                       Quote(site + "/mac/zips/tumblix/bottleTypes.plist"))
            .out;
    }
    TempDir tmp;
    std::string site = tmp / "site";
};

TEST_F(SiteTest, ListsEveryTypeInOrderWithItsAddress) {
    const std::string stout = Bottle("stout.brew", "Dark Stout");
    const std::string odd = Bottle("pale ale;1.brew", "Pale Ale");
    ToolResult r = Brew(stout + " --base http://127.0.0.1:8018/ " + odd);
    ASSERT_EQ(r.status, 0) << r.out;
    // The file name is percent-encoded, so its ";" cannot split the entry.
    EXPECT_EQ(ReadList(), "Dark Stout;http://127.0.0.1:8018/mac/zips/tumblix/stout.brew\n"
                          "Pale Ale;http://127.0.0.1:8018/mac/zips/tumblix/pale%20ale%3B1.brew\n");
    EXPECT_EQ(Contents(site + "/mac/zips/tumblix/stout.brew"), Contents(tmp / "stout.brew"));
    EXPECT_EQ(Contents(site + "/mac/zips/tumblix/pale ale;1.brew"),
              Contents(tmp / "pale ale;1.brew"));

    // Run again with one type: the list now offers only that one.
    r = Brew("--base=https://example.invalid/saver " + odd);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadList(),
              "Pale Ale;https://example.invalid/saver/mac/zips/tumblix/pale%20ale%3B1.brew\n");
}

TEST_F(SiteTest, RefusesWhatTheSaverCouldNotUseAndWritesNothing) {
    const std::string good = Bottle("good.brew", "Good");
    std::ofstream(tmp / "notes.brew") << "hello";
    const struct {
        std::string files, base, says;
        int status;
    } cases[] = {
        {good + " " + Bottle("semi.brew", "Half;Pint"), "http://h", "\";\" in its display name", 1},
        {good + " " + Bottle("long.brew", std::string(40, 'L')), "http://h", "40 bytes", 1},
        {good + " " + Bottle("twin.brew", "Good"), "http://h", "already offers the type \"Good\"",
         1},
        {good + " " + good, "http://h", "already called good.brew", 1},
        {good + " " + Quote(tmp / "notes.brew"), "http://h", "not a bottle type", 1},
        {good, "ftp://h", "http:// or https://", 2},
        {good, "http://h;x", "http:// or https://", 2},
        {good, "", "Usage", 2},
        {"", "http://h", "Usage", 2},
    };
    for (const auto& c : cases) {
        const ToolResult r = Brew(c.files + (c.base.empty() ? "" : " --base " + Quote(c.base)));
        EXPECT_EQ(r.status, c.status) << c.files << " " << c.base;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(site)) << "written despite: " << r.out;
    }
}

} // namespace
