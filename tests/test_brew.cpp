// tumblix-brew run as a user runs it, in a folder of its own: what pack-bottle
// and pack-resources write is read back with the saver's own readers, inspect
// and verify see files written here byte by byte, and the list that site
// writes is read with Python's own property-list reader.
#include "BottleFiles.h"
#include "ChildProcess.h"
#include "TempDir.h"
#include "assets/DataFile.h"
#include "assets/ResFile.h"
#include "assets/TGALoader.h"
#include "brewlib/ContainerWriter.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class BrewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        brew::Ms3dModel model = fixtures::Upright("").model;
        Write("model.ms3d", brew::EncodeMS3D(model));
        model.groups.back().materialIndex = 2; // the label in slot 2
        Write("label-model.ms3d", brew::EncodeMS3D(model));
        Write("glass.tga", EditorTga());
        Write("notes.txt", {'h', 'i'});
    }
    // 2 by 2, 32 bits, with an image ID and rows stored top-down, as some
    // editors write them: red, green over blue, white.
    static brew::Bytes EditorTga() {
        return {3,   0,   2,   0, 0,   0,   0,   0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x28, // header
                'I', 'D', '!',                                                        // image ID
                0,   0,   255, 9, 0,   255, 0,   9,  // red, green (BGRA)
                255, 0,   0,   9, 255, 255, 255, 9}; // blue, white
    }
    // Writes a file into the folder; gives its path quoted, after a space.
    std::string Write(const std::string& name, const brew::Bytes& bytes) {
        std::string error;
        EXPECT_TRUE(brew::WriteFileBytes(tmp / name, bytes, &error)) << error;
        return " " + Quote(tmp / name);
    }
    std::string Bottle(const std::string& name, const std::string& type) {
        return Write(name, fixtures::Encode(fixtures::Upright(type)));
    }
    brew::Bytes Load(const std::string& name) {
        brew::Bytes b;
        brew::ReadFileBytes(tmp / name, &b, nullptr);
        return b;
    }
    // A lump's body, read through the saver's own container reader.
    template <typename File> static brew::Bytes Lump(File& file, int n) {
        brew::Bytes b(file.lumps[n].size);
        file.SeekLump(n);
        file.stream.read(reinterpret_cast<char*>(b.data()), std::streamsize(b.size()));
        return file.stream ? b : brew::Bytes{};
    }
    // Its status and all it printed.
    ToolResult Brew(const std::string& args) {
        return RunTool("cd " + Quote(tmp.path()) + " && " + Quote(BuildProgram("tumblix-brew")) +
                       " " + args + " 2>&1");
    }
    // Runs the command; every text must be in what it printed.
    ToolResult Expect(const std::string& args, int status, const std::vector<std::string>& texts) {
        const ToolResult r = Brew(args);
        EXPECT_EQ(r.status, status) << args << "\n" << r.out;
        for (const std::string& text : texts) {
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\nin: " << r.out;
        }
        if (args.rfind("inspect --json", 0) == 0) { // and the JSON must parse
            const std::string file = Write("out.json", brew::Bytes(r.out.begin(), r.out.end()));
            EXPECT_EQ(RunTool("python3 -m json.tool" + file + " >/dev/null").status, 0) << r.out;
        }
        return r;
    }
    // A resource container of `count` lumps: pictures, but a blob at 2, 3
    // and `blob`.
    std::string Resources(const std::string& name, int count = 9, int blob = 2) {
        std::string args = "pack-resources -o " + name;
        for (int i = 0; i < count; i++) {
            args += i == 2 || i == 3 || i == blob ? " --blob notes.txt" : " --tga glass.tga:2";
        }
        Expect(args, 0, {});
        return " " + Quote(tmp / name);
    }
    std::string ReadList() {
        const std::string script = "import plistlib,sys\n"
                                   "l=plistlib.load(open(sys.argv[1],'rb'))\n"
                                   "assert isinstance(l,list)\n"
                                   "print('\\n'.join(l))\n";
        return RunTool("python3 -c " + Quote(script) + " " +
                       Quote(tmp / "site/mac/zips/tumblix/bottleTypes.plist"))
            .out;
    }
    TempDir tmp;
};

TEST_F(BrewTest, PackingRefusesBadUsageAndInputWritingNothingElseHoldsModelSlotsAndHeader) {
    brew::Bytes tga = EditorTga();
    tga[1] = 1;
    Write("mapped.tga", tga);
    brew::Bytes model = Load("model.ms3d");
    model[10] = 2; // version 2
    Write("old.ms3d", model);
    const std::string bottle = "pack-bottle -o out.brew --name X ", two = " --tga glass.tga";
    const struct {
        std::string args, says;
        int status;
    } cases[] = {
        {"pack-bottle --name X --model model.ms3d --tga glass.tga", "Usage", 2},
        {bottle + "--model model.ms3d --flags 3 --tga glass.tga", "Usage", 2},
        {"pack-bottle -o out.brew --name " + std::string(50, 'n') + " --model model.ms3d" + two,
         "Usage", 2},
        {"brew-coffee", "Usage", 2},
        {bottle + "--model missing.ms3d" + two + two, "missing.ms3d", 1},
        {bottle + "--model notes.txt" + two + two, "not a MilkShape", 1},
        {bottle + "--model old.ms3d" + two + two, "version 2", 1},
        {bottle + "--model model.ms3d --tga mapped.tga" + two, "colour-mapped", 1},
        {bottle + "--model label-model.ms3d" + two + two, "slot 2", 1},
    };
    for (const auto& c : cases) {
        Expect(c.args, c.status, {c.says});
        EXPECT_FALSE(std::filesystem::exists(tmp / "out.brew")) << c.args;
    }
    // Too few lumps for the saver still packs, with a warning.
    Expect("pack-resources -o small.works --tga glass.tga", 0, {"warning: lump 1"});

    // A packed bottle holds the model, the slots and the header.
    Expect("pack-bottle -o out.brew --name 'Home Brew' --model label-model.ms3d --alpha 99 "
           "--tag 0x2a --flags 6 --tga glass.tga:bright --tga glass.tga:key --tga glass.tga "
           "--blob notes.txt --empty",
           0, {});
    DATAFILE f; // as the saver reads it
    ASSERT_TRUE(f.Open((tmp / "out.brew").c_str()));
    EXPECT_STREQ(f.header.name, "Home Brew");
    EXPECT_EQ(std::vector<int>({f.header.versionMinor, f.header.versionMajor, f.header.tag,
                                f.header.alpha, int(f.header.flags)}),
              std::vector<int>({0, 1, 42, 99, 6}));
    ASSERT_EQ(f.lumps.size(), 6u);
    EXPECT_EQ(Lump(f, 0), Load("label-model.ms3d")) << "the model is stored as given";
    const uint32_t types[] = {1, 1, 1, 0, 0}, modes[] = {2, 1, 0, 0, 0};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(f.lumps[i + 1].type, types[i]) << "slot " << i;
        EXPECT_EQ(f.lumps[i + 1].alphaMode, modes[i]) << "slot " << i;
    }
    EXPECT_EQ(Lump(f, 4), (brew::Bytes{'h', 'i'}));
    EXPECT_EQ(f.lumps[5].size, 0u);

    // The image is stored the way the saver reads it: no ID, bottom row
    // first, so the picture's top row is still at the top of the texture.
    Texture t;
    ASSERT_TRUE(f.SeekLump(1) && LoadTGA2(&t, &f.stream));
    ASSERT_EQ(std::make_pair(t.width, t.height), std::make_pair(2u, 2u));
    const uint8_t expect[4][3] = {{0, 0, 255}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(std::memcmp(t.imageData + i * t.bpp / 8, expect[i], 3), 0) << "pixel " << i;
    }

    // A resource container keeps its lumps in order.
    Resources("out.works");
    RESFILE w;
    ASSERT_TRUE(w.Open((tmp / "out.works").c_str()));
    ASSERT_EQ(w.lumps.size(), 9u);
    for (int i = 0; i < 9; i++) {
        const uint32_t expected = i == 2 || i == 3 ? 0 : 1;
        EXPECT_EQ(std::make_pair(w.lumps[i].type, w.lumps[i].alphaMode),
                  std::make_pair(expected, 2 * expected))
            << i;
    }
    EXPECT_EQ(Lump(w, 2), (brew::Bytes{'h', 'i'}));
}

TEST_F(BrewTest, InspectAndVerifySayWhatTheSaverWouldOfGoodAndDamagedFiles) {
    fixtures::BottleSpec spec = fixtures::Upright("Pale \"Ale\"");
    spec.tag = 3;
    const std::string files = Write("ale.brew", fixtures::Encode(spec)) + Resources("dewkin.works");
    Expect("inspect --json" + files, 0,
           {"\"kind\": \"bottle\", \"ok\": true, \"error\": null",
            "\"name\": \"Pale \\\"Ale\\\"\", \"magic\": \"TUMB\", \"versionMajor\": 1",
            "\"numLumps\": 3", "\"tag\": 3, \"alpha\": 255",
            "\"model\": {\"version\": 4, \"vertices\": 28, \"triangles\": 14, \"groups\": [0, 1], "
            "\"materials\": 0, \"joints\": 0}",
            "\"image\": {\"width\": 4, \"height\": 4, \"bpp\": 24}",
            "\"kind\": \"resource\", \"ok\": true", "\"index\": 2, \"size\": 2",
            "\"type\": 1, \"alphaMode\": 2, \"image\": {\"width\": 2, \"height\": 2"});
    const ToolResult verified = Expect("verify" + files, 0, {});
    EXPECT_EQ(verified.out.find("warning"), std::string::npos) << verified.out;
    // The plain form names the same things for a person.
    Expect("inspect" + files, 0, {"bottle file, ok", "MS3D v4: 28 vertices, 14 triangles"});

    // Damaged files: verify says what the saver would say.
    brew::Bytes bottle = fixtures::Encode(fixtures::Upright("Ale"));
    brew::Bytes grown = bottle, flagged = bottle, future = bottle, badModel = bottle;
    grown.push_back(0);
    flagged[56] |= 1;
    future[55] = 2;
    badModel[76 + 10] = 9; // the model's version, right after the container's header
    const std::string all = Write("grown.brew", grown) + Write("flagged.brew", flagged) +
                            Write("future.brew", future) + Write("model.brew", badModel) +
                            Resources("fewer.works", 8) + Resources("nologo.works", 9, 1) +
                            Resources("noshine.works", 9, 8) + Write("notes.brew", {'h', 'e', 'y'});
    Expect("verify" + all + " absent.brew", 1,
           {"grown.brew: the size check does not match", "flagged.brew: bit 0 of the flags is set",
            "future.brew: format version 2.0 is not supported",
            "model.brew: lump 0: Not a valid MS3D file!",
            "fewer.works: The resource file has too few textures! (8 lumps; the saver needs 9)",
            "nologo.works: The resource file is missing a scene picture! (lump 1 is not a "
            "picture)",
            "noshine.works: The resource file is missing a scene picture! (lump 8",
            "notes.brew: neither a bottle data file", "absent.brew: cannot open"});
    // A refused container still shows its header, but no directory.
    Expect("inspect --json" + all, 0,
           {"\"kind\": \"bottle\", \"ok\": false, \"error\": \"bit 0 of the flags is set\", "
            "\"header\": {",
            "\"lumps\": null", "\"kind\": \"unknown\", \"ok\": false",
            "\"header\": null, \"lumps\": null"});
    Expect("verify", 2, {});
    // A FIFO (or anything not a regular file) is refused without waiting for a writer.
    ASSERT_EQ(mkfifo((tmp / "a.brew").c_str(), 0600), 0);
    Expect("verify a.brew", 1, {"not a regular file"});
}

TEST_F(BrewTest, SiteRefusesWhatTheSaverCouldNotUseAndListsTheRestInOrder) {
    const std::string good = Bottle("good.brew", "Good");
    const struct {
        std::string files, base, says;
        int status;
    } cases[] = {
        {good + Bottle("semi.brew", "Half;Pint"), "http://h", "\";\" in its display name", 1},
        {good + Bottle("twin.brew", "Good"), "http://h", "already offers the type \"Good\"", 1},
        {good + Write("notes.brew", {'h', 'i'}), "http://h", "not a bottle type", 1},
        {good, "ftp://h", "http:// or https://", 2},
    };
    for (const auto& c : cases) {
        Expect("site site" + c.files + (c.base.empty() ? "" : " --base " + Quote(c.base)), c.status,
               {c.says});
        EXPECT_FALSE(std::filesystem::exists(tmp / "site")) << c.files << " " << c.base;
    }

    // What it takes, it lists in order with its address.
    const std::string stout = Bottle("stout.brew", "Dark Stout");
    const std::string odd = Bottle("pale ale;1.brew", "Pale Ale");
    Expect("site site" + stout + " --base http://127.0.0.1:8018/" + odd, 0, {});
    // The file name is percent-encoded, so its ";" cannot split the entry.
    EXPECT_EQ(ReadList(), "Dark Stout;http://127.0.0.1:8018/mac/zips/tumblix/stout.brew\n"
                          "Pale Ale;http://127.0.0.1:8018/mac/zips/tumblix/pale%20ale%3B1.brew\n");
    EXPECT_EQ(Contents(tmp / "site/mac/zips/tumblix/stout.brew"), Contents(tmp / "stout.brew"));
    EXPECT_EQ(Contents(tmp / "site/mac/zips/tumblix/pale ale;1.brew"),
              Contents(tmp / "pale ale;1.brew"));

    // Run again with one type: the list now offers only that one.
    Expect("site site --base=https://example.invalid/saver" + odd, 0, {});
    EXPECT_EQ(ReadList(),
              "Pale Ale;https://example.invalid/saver/mac/zips/tumblix/pale%20ale%3B1.brew\n");
}

} // namespace
