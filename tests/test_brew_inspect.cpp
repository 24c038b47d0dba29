#include "BottleFiles.h"
#include "RunTool.h"
#include "TempDir.h"
#include "brewlib/TgaWriter.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

// tumblix-brew inspect and verify on files written here byte by byte.

namespace {

class InspectTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const brew::Bytes& bytes) {
        const std::string path = tmp / name;
        std::string error;
        EXPECT_TRUE(brew::WriteFileBytes(path, bytes, &error)) << error;
        return path;
    }
    ToolResult Brew(const std::string& args) {
        return RunTool(Quote(BuildProgram("tumblix-brew")) + " " + args);
    }
    // The JSON must parse; python's parser checks it.
    void ExpectValidJson(const std::string& json) {
        const std::string file = Write("out.json", brew::Bytes(json.begin(), json.end()));
        EXPECT_EQ(RunTool("python3 -m json.tool " + Quote(file) + " >/dev/null").status, 0) << json;
    }
    TempDir tmp;
};

// A container the saver can set up from: pictures at 0, 1 and 4 to 8, a
// blob at 2 (and 3). `pictures` of them (at most 9 lumps), a blob for the
// picture at `notPicture` when that is given.
brew::Bytes Resources(bool brokenImage, size_t lumpCount = 9, int notPicture = -1) {
    std::vector<brew::Lump> lumps;
    brew::Lump image;
    image.type = brew::LUMP_TGA;
    image.alphaMode = 2;
    image.body = brew::EncodeTGA(fixtures::Solid(16, 8, 1, 2, 3), true);
    brew::Lump blob;
    blob.body = {'h', 'i'};
    for (size_t i = 0; i < lumpCount; i++) {
        const bool picture = (i < 2 || i > 3) && int(i) != notPicture;
        lumps.push_back(picture ? image : blob);
    }
    if (brokenImage) {
        brew::Lump bad = image;
        bad.body[2] = 3; // greyscale, which the saver does not take
        lumps.push_back(bad);
    }
    return brew::EncodeResourceFile(lumps);
}

} // namespace

TEST_F(InspectTest, GoodBottleAndResourceContainer) {
    fixtures::BottleSpec spec = fixtures::Upright("Pale \"Ale\"");
    spec.tag = 3;
    const std::string bottle = Write("ale.brew", fixtures::Encode(spec));
    const std::string res = Write("dewkin.works", Resources(false));

    ToolResult r = Brew("inspect --json " + Quote(bottle) + " " + Quote(res));
    ASSERT_EQ(r.status, 0);
    ExpectValidJson(r.out);
    EXPECT_NE(r.out.find("\"kind\": \"bottle\", \"ok\": true, \"error\": null"), std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("\"name\": \"Pale \\\"Ale\\\"\", \"magic\": \"TUMB\", \"versionMajor\": 1"),
        std::string::npos);
    EXPECT_NE(r.out.find("\"numLumps\": 3"), std::string::npos);
    EXPECT_NE(r.out.find("\"tag\": 3, \"alpha\": 255"), std::string::npos);
    EXPECT_NE(
        r.out.find(
            "\"model\": {\"version\": 4, \"vertices\": 28, \"triangles\": 14, \"groups\": [0, 1], "
            "\"materials\": 0, \"joints\": 0}"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"image\": {\"width\": 4, \"height\": 4, \"bpp\": 24}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"kind\": \"resource\", \"ok\": true"), std::string::npos);
    EXPECT_NE(r.out.find("\"index\": 2, \"size\": 2"), std::string::npos);
    EXPECT_NE(r.out.find("\"type\": 1, \"alphaMode\": 2, \"image\": {\"width\": 16, \"height\": 8"),
              std::string::npos);

    EXPECT_EQ(Brew("verify " + Quote(bottle) + " " + Quote(res)).status, 0);
    // The plain form names the same things for a person.
    r = Brew("inspect " + Quote(bottle));
    EXPECT_NE(r.out.find("bottle file, ok"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("MS3D v4: 28 vertices, 14 triangles"), std::string::npos) << r.out;
}

TEST_F(InspectTest, BadFilesSayWhy) {
    brew::Bytes bottle = fixtures::Encode(fixtures::Upright("Ale"));
    brew::Bytes grown = bottle;
    grown.push_back(0);
    brew::Bytes flagged = bottle;
    flagged[56] |= 1;
    brew::Bytes future = bottle;
    future[55] = 2;
    brew::Bytes badModel = bottle;
    // Version 9 in the model header, right after the header of the container.
    badModel[76 + 10] = 9;
    const std::string paths[] = {Write("grown.brew", grown),
                                 Write("flagged.brew", flagged),
                                 Write("future.brew", future),
                                 Write("model.brew", badModel),
                                 Write("broken.works", Resources(true)),
                                 Write("notes.txt", {'h', 'e', 'y'})};
    std::string all;
    for (const std::string& p : paths)
        all += " " + Quote(p);

    ToolResult r = Brew("verify" + all);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("grown.brew: the size check does not match"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("flagged.brew: bit 0 of the flags is set"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("future.brew: format version 2.0 is not supported"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("model.brew: lump 0: Not a valid MS3D file!"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("broken.works: lump 9: TGA file be type 2 or type 10 "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("notes.txt: neither a bottle data file"), std::string::npos) << r.out;

    r = Brew("inspect --json" + all);
    ASSERT_EQ(r.status, 0);
    ExpectValidJson(r.out);
    // A refused container still shows its header, but no directory.
    EXPECT_NE(r.out.find("\"kind\": \"bottle\", \"ok\": false, \"error\": \"bit 0 of the flags is "
                         "set\", \"header\": {"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"lumps\": null"), std::string::npos);
    EXPECT_NE(r.out.find("\"kind\": \"unknown\", \"ok\": false"), std::string::npos);
    EXPECT_NE(r.out.find("\"header\": null, \"lumps\": null"), std::string::npos);
}

// verify says what the saver's set-up would say of a resource container.
TEST_F(InspectTest, AResourceContainerTheSaverRefusesFailsVerify) {
    const std::string fewer = Write("fewer.works", Resources(false, 8));
    const std::string noLogo = Write("nologo.works", Resources(false, 9, 1));
    const std::string noShine = Write("noshine.works", Resources(false, 9, 8));
    const ToolResult r =
        Brew("verify " + Quote(fewer) + " " + Quote(noLogo) + " " + Quote(noShine));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("fewer.works: The resource file has too few textures! (8 lumps; the "
                         "saver needs 9)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("nologo.works: The resource file is missing a scene picture! (lump 1 is "
                         "not a picture)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("noshine.works: The resource file is missing a scene picture! (lump 8"),
              std::string::npos)
        << r.out;
}

// A FIFO (or any file that is not a regular file) is refused without
// waiting for a writer.
TEST_F(InspectTest, AFifoIsRefusedWithoutBlocking) {
    const std::string fifo = tmp / "a.brew";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* command : {"inspect", "verify"}) {
        const ToolResult r = RunTool("timeout 60 " + Quote(BuildProgram("tumblix-brew")) + " " +
                                     command + " " + Quote(fifo));
        EXPECT_NE(r.status, 124) << command << ": blocked on the FIFO";
        EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
    }
}

TEST_F(InspectTest, UsageAndMissingFiles) {
    EXPECT_EQ(Brew("inspect 2>/dev/null").status, 2);
    EXPECT_EQ(Brew("verify 2>/dev/null").status, 2);
    ToolResult r = Brew("verify " + Quote(tmp / "absent.brew"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot open"), std::string::npos);
}

TEST_F(InspectTest, PreviewWritesEveryImageTheRightWayUp) {
    fixtures::BottleSpec spec = fixtures::Upright("Ale");
    brew::Image label = fixtures::Solid(8, 8, 0, 0, 255);
    for (uint32_t y = 0; y < 4; y++) // top half red
        for (uint32_t x = 0; x < 8; x++)
            label.At(x, y)[0] = 255, label.At(x, y)[2] = 0;
    spec.slots = {fixtures::Solid(4, 4, 9, 9, 9), brew::Image(), label};
    const std::string bottle = Write("ale.brew", fixtures::Encode(spec));
    const std::string out = tmp / "previews";
    ToolResult r = Brew("preview " + Quote(out) + " " + Quote(bottle));
    ASSERT_EQ(r.status, 0) << r.out;
    // Slots 0 and 2 are images (lumps 1 and 3); slot 1 is not.
    EXPECT_NE(r.out.find("ale-lump1.png"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ale-lump2.png"), std::string::npos) << r.out;
    SDL_Surface* png = IMG_Load((out + "/ale-lump3.png").c_str());
    ASSERT_NE(png, nullptr);
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(png, SDL_PIXELFORMAT_RGBA32, 0);
    const uint8_t* top = static_cast<uint8_t*>(rgba->pixels);
    const uint8_t* bottom = top + 7 * rgba->pitch;
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(bottom[0], 0);
    EXPECT_EQ(bottom[2], 255);
    SDL_FreeSurface(rgba);
    SDL_FreeSurface(png);

    EXPECT_EQ(
        Brew("preview " + Quote(out) + " " + Quote(Write("junk.brew", {1, 2, 3})) + " 2>/dev/null")
            .status,
        1);
}
