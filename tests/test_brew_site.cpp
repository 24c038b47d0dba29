#include "BottleFiles.h"
#include "RunTool.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

// tumblix-brew site: the list it writes is read back with Python's own
// property-list reader, so the test does not share the writer's library.

namespace {

class SiteTest : public ::testing::Test {
  protected:
    std::string Bottle(const std::string& file, const std::string& name) {
        const std::string path = tmp / file;
        fixtures::Write(path, fixtures::Upright(name));
        return path;
    }
    ToolResult Brew(const std::string& args) {
        return RunTool(Quote(BuildProgram("tumblix-brew")) + " site " + args + " 2>&1");
    }
    // One list entry per line, as plistlib reads the file.
    std::string ReadList(const std::string& site) {
        const std::string script = "import plistlib,sys\n"
                                   "l=plistlib.load(open(sys.argv[1],'rb'))\n"
                                   "assert isinstance(l,list)\n"
                                   "print('\\n'.join(l))\n";
        ToolResult r = RunTool("python3 -c " + Quote(script) + " " +
                               Quote(site + "/mac/zips/tumblix/bottleTypes.plist"));
        EXPECT_EQ(r.status, 0);
        return r.out;
    }
    static bool Exists(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
    }
    static bool SameBytes(const std::string& a, const std::string& b) {
        return RunTool("cmp -s " + Quote(a) + " " + Quote(b)).status == 0;
    }
    TempDir tmp;
};

TEST_F(SiteTest, ListsEveryTypeInOrderWithItsAddress) {
    const std::string stout = Bottle("stout.brew", "Dark Stout");
    const std::string odd = Bottle("pale ale;1.brew", "Pale Ale");
    const std::string site = tmp / "site";

    ToolResult r =
        Brew(Quote(site) + " " + Quote(stout) + " --base http://127.0.0.1:8018/ " + Quote(odd));
    ASSERT_EQ(r.status, 0) << r.out;
    // The file name is percent-encoded, so its ";" cannot split the entry.
    EXPECT_EQ(ReadList(site),
              "Dark Stout;http://127.0.0.1:8018/mac/zips/tumblix/stout.brew\n"
              "Pale Ale;http://127.0.0.1:8018/mac/zips/tumblix/pale%20ale%3B1.brew\n");
    EXPECT_TRUE(SameBytes(stout, site + "/mac/zips/tumblix/stout.brew"));
    EXPECT_TRUE(SameBytes(odd, site + "/mac/zips/tumblix/pale ale;1.brew"));

    // Run again with one type: the list now offers only that one.
    r = Brew(Quote(site) + " --base=https://example.invalid/saver " + Quote(odd));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadList(site),
              "Pale Ale;https://example.invalid/saver/mac/zips/tumblix/pale%20ale%3B1.brew\n");
}

TEST_F(SiteTest, RefusesWhatTheSaverCouldNotUseAndWritesNothing) {
    const std::string good = Bottle("good.brew", "Good");
    const std::string semicolon = Bottle("semi.brew", "Half;Pint");
    const std::string longName = Bottle("long.brew", std::string(40, 'L'));
    const std::string twin = Bottle("twin.brew", "Good");
    const std::string notBottle = tmp / "notes.brew";
    ASSERT_EQ(RunTool("echo hello > " + Quote(notBottle)).status, 0);
    const std::string site = tmp / "site";

    struct Case {
        std::string files, base, says;
        int status;
    } cases[] = {
        {Quote(good) + " " + Quote(semicolon), "http://h", "\";\" in its display name", 1},
        {Quote(good) + " " + Quote(longName), "http://h", "40 bytes", 1},
        {Quote(good) + " " + Quote(twin), "http://h", "already offers the type \"Good\"", 1},
        {Quote(good) + " " + Quote(good), "http://h", "already called good.brew", 1},
        {Quote(good) + " " + Quote(notBottle), "http://h", "not a bottle type", 1},
        {Quote(good), "ftp://h", "http:// or https://", 2},
        {Quote(good), "http://h;x", "http:// or https://", 2},
    };
    for (const Case& c : cases) {
        ToolResult r = Brew(Quote(site) + " " + c.files + " --base " + Quote(c.base));
        EXPECT_EQ(r.status, c.status) << c.files << " " << c.base;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_FALSE(Exists(site)) << "written despite: " << r.out;
    }
    EXPECT_EQ(Brew(Quote(site) + " " + Quote(good)).status, 2);  // no --base
    EXPECT_EQ(Brew(Quote(site) + " --base http://h").status, 2); // no files
}

} // namespace
