#include "BottleFiles.h"
#include "RunTool.h"
#include "TempDir.h"
#include "brewlib/TgaWriter.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

// tumblix-brew inspect, verify and preview on files written here byte by byte.

namespace {

class InspectTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const brew::Bytes& bytes) {
        std::string error;
        EXPECT_TRUE(brew::WriteFileBytes(tmp / name, bytes, &error)) << error;
        return " " + Quote(tmp / name);
    }
    ToolResult Brew(const std::string& args) {
        return RunTool(Quote(BuildProgram("tumblix-brew")) + " " + args);
    }
    // Runs the command; every text must be in what it printed.
    ToolResult Expect(const std::string& args, int status, std::vector<std::string> texts) {
        const ToolResult r = Brew(args);
        EXPECT_EQ(r.status, status) << args;
        for (const std::string& text : texts) {
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\nin: " << r.out;
        }
        if (args.rfind("inspect --json", 0) == 0) { // and the JSON must parse
            const std::string file = Write("out.json", brew::Bytes(r.out.begin(), r.out.end()));
            EXPECT_EQ(RunTool("python3 -m json.tool" + file + " >/dev/null").status, 0) << r.out;
        }
        return r;
    }
    TempDir tmp;
};

// A resource container of `count` lumps: pictures at 0, 1 and 4 on, a blob at
// 2 and 3 and at `notPicture`; a greyscale picture after them when `broken`.
brew::Bytes Resources(bool broken, size_t count = 9, size_t notPicture = 2) {
    std::vector<brew::Lump> lumps(count + (broken ? 1 : 0));
    for (size_t i = 0; i < lumps.size(); i++) {
        if ((i < 2 || i > 3) && i != notPicture) {
            lumps[i].type = brew::LUMP_TGA;
            lumps[i].alphaMode = 2;
            lumps[i].body = brew::EncodeTGA(fixtures::Solid(16, 8, 1, 2, 3), true);
        } else {
            lumps[i].body = {'h', 'i'};
        }
    }
    if (broken) {
        lumps.back().body[2] = 3; // greyscale, which the saver does not take
    }
    return brew::EncodeResourceFile(lumps);
}

TEST_F(InspectTest, GoodBottleAndResourceContainer) {
    fixtures::BottleSpec spec = fixtures::Upright("Pale \"Ale\"");
    spec.tag = 3;
    const std::string files =
        Write("ale.brew", fixtures::Encode(spec)) + Write("dewkin.works", Resources(false));
    Expect("inspect --json" + files, 0,
           {"\"kind\": \"bottle\", \"ok\": true, \"error\": null",
            "\"name\": \"Pale \\\"Ale\\\"\", \"magic\": \"TUMB\", \"versionMajor\": 1",
            "\"numLumps\": 3", "\"tag\": 3, \"alpha\": 255",
            "\"model\": {\"version\": 4, \"vertices\": 28, \"triangles\": 14, \"groups\": [0, 1], "
            "\"materials\": 0, \"joints\": 0}",
            "\"image\": {\"width\": 4, \"height\": 4, \"bpp\": 24}",
            "\"kind\": \"resource\", \"ok\": true", "\"index\": 2, \"size\": 2",
            "\"type\": 1, \"alphaMode\": 2, \"image\": {\"width\": 16, \"height\": 8"});
    Expect("verify" + files, 0, {});
    // The plain form names the same things for a person.
    Expect("inspect" + files, 0, {"bottle file, ok", "MS3D v4: 28 vertices, 14 triangles"});
}

TEST_F(InspectTest, BadFilesSayWhatTheSaverWouldSay) {
    brew::Bytes bottle = fixtures::Encode(fixtures::Upright("Ale"));
    brew::Bytes grown = bottle, flagged = bottle, future = bottle, badModel = bottle;
    grown.push_back(0);
    flagged[56] |= 1;
    future[55] = 2;
    badModel[76 + 10] = 9; // the model's version, right after the container's header
    const std::string all =
        Write("grown.brew", grown) + Write("flagged.brew", flagged) + Write("future.brew", future) +
        Write("model.brew", badModel) + Write("broken.works", Resources(true)) +
        Write("fewer.works", Resources(false, 8)) + Write("nologo.works", Resources(false, 9, 1)) +
        Write("noshine.works", Resources(false, 9, 8)) + Write("notes.txt", {'h', 'e', 'y'});
    Expect("verify" + all + " " + Quote(tmp / "absent.brew"), 1,
           {"grown.brew: the size check does not match", "flagged.brew: bit 0 of the flags is set",
            "future.brew: format version 2.0 is not supported",
            "model.brew: lump 0: Not a valid MS3D file!",
            "broken.works: lump 9: TGA file be type 2 or type 10 ",
            "fewer.works: The resource file has too few textures! (8 lumps; the saver needs 9)",
            "nologo.works: The resource file is missing a scene picture! (lump 1 is not a "
            "picture)",
            "noshine.works: The resource file is missing a scene picture! (lump 8",
            "notes.txt: neither a bottle data file", "absent.brew: cannot open"});
    // A refused container still shows its header, but no directory.
    Expect("inspect --json" + all, 0,
           {"\"kind\": \"bottle\", \"ok\": false, \"error\": \"bit 0 of the flags is set\", "
            "\"header\": {",
            "\"lumps\": null", "\"kind\": \"unknown\", \"ok\": false",
            "\"header\": null, \"lumps\": null"});
    EXPECT_EQ(Brew("inspect 2>/dev/null").status, 2);
    EXPECT_EQ(Brew("verify 2>/dev/null").status, 2);

    // A FIFO (or anything not a regular file) is refused without waiting for a writer.
    ASSERT_EQ(mkfifo((tmp / "a.brew").c_str(), 0600), 0);
    for (const char* command : {"inspect", "verify"}) {
        const ToolResult r = RunTool("timeout 60 " + Quote(BuildProgram("tumblix-brew")) + " " +
                                     command + " " + Quote(tmp / "a.brew"));
        EXPECT_NE(r.status, 124) << command << ": blocked on the FIFO";
        EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
    }
}

TEST_F(InspectTest, PreviewWritesEveryImageTheRightWayUp) {
    fixtures::BottleSpec spec = fixtures::Upright("Ale");
    brew::Image label = fixtures::Solid(8, 8, 0, 0, 255);
    for (uint32_t y = 0; y < 4; y++) { // top half red
        for (uint32_t x = 0; x < 8; x++) {
            label.At(x, y)[0] = 255, label.At(x, y)[2] = 0;
        }
    }
    spec.slots = {fixtures::Solid(4, 4, 9, 9, 9), brew::Image(), label};
    const std::string out = tmp / "previews";
    const ToolResult r = Expect("preview " + Quote(out) + Write("ale.brew", fixtures::Encode(spec)),
                                0, {"ale-lump1.png"});
    // Slots 0 and 2 are images (lumps 1 and 3); slot 1 is not.
    EXPECT_EQ(r.out.find("ale-lump2.png"), std::string::npos) << r.out;
    SDL_Surface* png = IMG_Load((out + "/ale-lump3.png").c_str());
    ASSERT_NE(png, nullptr);
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(png, SDL_PIXELFORMAT_RGBA32, 0);
    const uint8_t* top = static_cast<uint8_t*>(rgba->pixels);
    const uint8_t* bottom = top + 7 * rgba->pitch;
    EXPECT_EQ(std::vector<int>({top[0], top[2], bottom[0], bottom[2]}),
              std::vector<int>({255, 0, 0, 255}));
    SDL_FreeSurface(rgba);
    SDL_FreeSurface(png);
    EXPECT_EQ(Brew("preview " + Quote(out) + Write("junk.brew", {1, 2, 3}) + " 2>/dev/null").status,
              1);
}

} // namespace
