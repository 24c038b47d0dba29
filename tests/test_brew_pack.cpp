// tumblix-brew pack-bottle and pack-resources, run as a user runs them.
#include "BottleFiles.h"
#include "ReferenceReaders.h"
#include "RunTool.h"

#include <gtest/gtest.h>

namespace {

class Pack : public ::testing::Test {
  protected:
    void SetUp() override {
        brew::Ms3dModel model = fixtures::Upright("").model;
        Save("model.ms3d", brew::EncodeMS3D(model));
        model.groups.back().materialIndex = 2; // the label in slot 2
        Save("label-model.ms3d", brew::EncodeMS3D(model));
        Save("glass.tga", EditorTga());
        Save("notes.txt", {'h', 'i'});
    }
    // Runs tumblix-brew with the arguments; keeps what it printed on stderr.
    int Brew(const std::string& args) {
        const ToolResult r =
            RunTool("cd " + dir.path + " && " + Quote(BuildProgram("tumblix-brew")) + " " + args +
                    " 2>&1 >/dev/null");
        errors = r.out;
        return r.status;
    }
    void Save(const std::string& name, const brew::Bytes& b) {
        std::string error;
        ASSERT_TRUE(brew::WriteFileBytes(dir.path + "/" + name, b, &error)) << error;
    }
    ref::Bytes Load(const std::string& name) {
        ref::Bytes b;
        ref::ReadFile(dir.path + "/" + name, &b);
        return b;
    }
    bool Exists(const std::string& name) { return std::filesystem::exists(dir.path + "/" + name); }
    // 2 by 2, 32 bits, with an image ID and rows stored top-down, as some
    // editors write them: red, green over blue, white.
    static brew::Bytes EditorTga() {
        return {3,   0,   2,   0, 0,   0,   0,   0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x28, // header
                'I', 'D', '!',                                                        // image ID
                0,   0,   255, 9, 0,   255, 0,   9,  // red, green (BGRA)
                255, 0,   0,   9, 255, 255, 255, 9}; // blue, white
    }

    ref::TempFolder dir;
    std::string errors;
};

TEST_F(Pack, BottleHoldsModelSlotsAndHeader) {
    ASSERT_EQ(Brew("pack-bottle -o out.brew --name 'Home Brew' --model label-model.ms3d "
                   "--alpha 99 --tag 0x2a --flags 6 --tga glass.tga:bright --tga glass.tga:key "
                   "--tga glass.tga --blob notes.txt --empty"),
              0)
        << errors;
    const ref::Bytes f = Load("out.brew");
    ASSERT_GE(f.size(), 76u);
    EXPECT_STREQ(reinterpret_cast<const char*>(f.data()), "Home Brew");
    EXPECT_EQ(f[54], 0);
    EXPECT_EQ(f[55], 1);
    EXPECT_EQ(ref::U32(f, 56), 6u);
    EXPECT_EQ(ref::U32(f, 64), ~uint32_t(f.size()));
    EXPECT_EQ(f[72], 42);
    EXPECT_EQ(f[73], 99);
    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, true, &lumps));
    ASSERT_EQ(lumps.size(), 6u);
    EXPECT_EQ(lumps[0].Body(f), Load("label-model.ms3d")) << "the model is stored as given";
    const uint32_t types[] = {1, 1, 1, 0, 0}, modes[] = {2, 1, 0, 0, 0};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(lumps[i + 1].type, types[i]) << "slot " << i;
        EXPECT_EQ(lumps[i + 1].alphaMode, modes[i]) << "slot " << i;
    }
    EXPECT_EQ(lumps[4].Body(f), (ref::Bytes{'h', 'i'}));
    EXPECT_EQ(lumps[5].size, 0u);

    // The image is stored the way the saver reads it: no ID, bottom row
    // first, so the picture's top row is still at the top of the texture.
    ref::Tga t;
    ASSERT_TRUE(ref::DecodeTga(lumps[1].Body(f), &t));
    ASSERT_EQ(t.width, 2);
    ASSERT_EQ(t.height, 2);
    const uint8_t expect[4][3] = {{0, 0, 255}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(std::memcmp(t.At(i % 2, i / 2), expect[i], 3), 0) << "pixel " << i;
    }
}

TEST_F(Pack, BadUsageExitsWithTwoAndBadInputWithOneAndNothingIsWritten) {
    brew::Bytes tga = EditorTga();
    Save("truncated.tga", brew::Bytes(tga.begin(), tga.end() - 3));
    tga[1] = 1;
    Save("mapped.tga", tga);
    tga[1] = 0;
    tga[2] = 3;
    Save("grey.tga", tga);
    brew::Bytes model = Load("model.ms3d");
    Save("short.ms3d", brew::Bytes(model.begin(), model.end() - 10));
    model[10] = 2; // version 2
    Save("old.ms3d", model);

    const std::string bottle = "pack-bottle -o out.brew --name X ", two = " --tga glass.tga";
    const struct {
        std::string args, says;
        int status;
    } cases[] = {
        {"pack-bottle --name X --model model.ms3d --tga glass.tga", "Usage", 2},
        {bottle + "--tga glass.tga", "Usage", 2},
        {bottle + "--model model.ms3d", "Usage", 2},
        {bottle + "--model model.ms3d --flags 3 --tga glass.tga", "Usage", 2},
        {bottle + "--model model.ms3d --alpha 256 --tga glass.tga", "Usage", 2},
        {bottle + "--model model.ms3d --frobnicate --tga glass.tga", "Usage", 2},
        {"pack-bottle -o out.brew --name " + std::string(50, 'n') +
             " --model model.ms3d --tga glass.tga",
         "Usage", 2},
        {"pack-resources -o out.works", "Usage", 2},
        {"brew-coffee", "Usage", 2},
        {bottle + "--model missing.ms3d" + two + two, "missing.ms3d", 1},
        {bottle + "--model notes.txt" + two + two, "not a MilkShape", 1},
        {bottle + "--model old.ms3d" + two + two, "version 2", 1},
        {bottle + "--model short.ms3d" + two + two, "truncated", 1},
        {bottle + "--model model.ms3d --tga truncated.tga" + two, "truncated.tga", 1},
        {bottle + "--model model.ms3d --tga mapped.tga" + two, "colour-mapped", 1},
        {bottle + "--model model.ms3d --tga grey.tga" + two, "true-colour", 1},
        {bottle + "--model label-model.ms3d" + two + two, "slot 2", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Brew(c.args), c.status) << c.args;
        EXPECT_NE(errors.find(c.says), std::string::npos) << c.args << ": " << errors;
        EXPECT_FALSE(Exists("out.brew") || Exists("out.works")) << c.args;
    }
    EXPECT_EQ(Brew("--help"), 0);
    EXPECT_EQ(Brew("pack-bottle --help"), 0);
}

TEST_F(Pack, ResourceContainerKeepsLumpOrder) {
    std::string args = "pack-resources -o out.works";
    for (int i = 0; i < 9; i++) {
        args += (i == 2) ? " --blob notes.txt" : (i == 3 ? " --empty" : " --tga glass.tga:2");
    }
    ASSERT_EQ(Brew(args), 0) << errors;
    EXPECT_EQ(errors, "") << "a usable container gives no warning";
    const ref::Bytes f = Load("out.works");
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "DWKF");
    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, false, &lumps));
    ASSERT_EQ(lumps.size(), 9u);
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(lumps[i].type, (i == 2 || i == 3) ? 0u : 1u) << i;
        EXPECT_EQ(lumps[i].alphaMode, (i == 2 || i == 3) ? 0u : 2u) << i;
    }
    EXPECT_EQ(lumps[2].Body(f), (ref::Bytes{'h', 'i'}));

    // Too few lumps for the saver still packs, with a warning.
    ASSERT_EQ(Brew("pack-resources -o small.works --tga glass.tga"), 0);
    EXPECT_NE(errors.find("warning: lump 1"), std::string::npos) << errors;
}

} // namespace
