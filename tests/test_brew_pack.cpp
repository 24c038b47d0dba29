// tumblix-brew pack-bottle and pack-resources, run as a user runs them.
#include "ReferenceReaders.h"

#include "brewlib/ContainerWriter.h"
#include "brewlib/Ms3dWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

class Pack : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path.empty());
        Save("model.ms3d", brew::EncodeMS3D(Model(1)));
        Save("label-model.ms3d", brew::EncodeMS3D(Model(2)));
        Save("glass.tga", EditorTga());
        Save("notes.txt", {'h', 'i'});
    }
    // Runs tumblix-brew with the arguments; keeps what it printed on stderr.
    int Brew(const std::string& args) {
        const std::string command = "cd " + dir.path + " && " + ref::BuildProgram("tumblix-brew") +
                                    " " + args + " >/dev/null 2>stderr.txt";
        const int status = std::system(command.c_str());
        ref::Bytes e;
        ref::ReadFile(dir.path + "/stderr.txt", &e);
        errors.assign(e.begin(), e.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

    // A glass group and one label group using slot `labelSlot`.
    static brew::Ms3dModel Model(int labelSlot) {
        brew::Ms3dModel m;
        m.vertices.resize(3);
        m.vertices[1].location[0] = 1;
        m.vertices[2].location[1] = 1;
        brew::Ms3dTriangle t;
        t.vertexIndices[1] = 1;
        t.vertexIndices[2] = 2;
        m.triangles = {t, t};
        m.triangles[1].groupIndex = 1;
        brew::Ms3dGroup glass, label;
        glass.name = "glass";
        glass.materialIndex = 0;
        glass.triangleIndices = {0};
        label.name = "label";
        label.materialIndex = int8_t(labelSlot);
        label.triangleIndices = {1};
        m.groups = {glass, label};
        return m;
    }
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
    EXPECT_EQ(f[55], 1);
    EXPECT_EQ(f[54], 0);
    EXPECT_EQ(ref::U32(f, 56), 6u);
    EXPECT_EQ(f[72], 42);
    EXPECT_EQ(f[73], 99);
    EXPECT_EQ(ref::U32(f, 64), ~uint32_t(f.size()));
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

TEST_F(Pack, BadUsageExitsWithTwoAndWritesNothing) {
    const char* lines[] = {
        "pack-bottle --name X --model model.ms3d --tga glass.tga",
        "pack-bottle -o out.brew --model model.ms3d --tga glass.tga",
        "pack-bottle -o out.brew --name X --tga glass.tga",
        "pack-bottle -o out.brew --name X --model model.ms3d",
        "pack-bottle -o out.brew --name X --model model.ms3d --flags 3 --tga glass.tga",
        "pack-bottle -o out.brew --name X --model model.ms3d --alpha 256 --tga glass.tga",
        "pack-bottle -o out.brew --name X --model model.ms3d --alpha -1 --tga glass.tga",
        "pack-bottle -o out.brew --name X --model model.ms3d --tga",
        "pack-bottle -o out.brew --name X --model model.ms3d --frobnicate --tga glass.tga",
        ("pack-bottle -o out.brew --name 12345678901234567890123456789012345678901234567890 "
         "--model model.ms3d --tga glass.tga"),
        "pack-resources --tga glass.tga",
        "pack-resources -o out.works",
        "brew-coffee",
        "",
    };
    for (const char* line : lines) {
        EXPECT_EQ(Brew(line), 2) << line;
        EXPECT_NE(errors.find("Usage"), std::string::npos) << line;
        EXPECT_FALSE(Exists("out.brew") || Exists("out.works")) << line;
    }
    EXPECT_EQ(Brew("--help"), 0);
    EXPECT_EQ(Brew("pack-bottle --help"), 0);
}

TEST_F(Pack, UnusableInputFailsWithOneAndSaysWhy) {
    brew::Bytes truncated = EditorTga();
    truncated.resize(truncated.size() - 3);
    Save("truncated.tga", truncated);
    brew::Bytes mapped = EditorTga();
    mapped[1] = 1;
    Save("mapped.tga", mapped);
    brew::Bytes grey = EditorTga();
    grey[2] = 3;
    Save("grey.tga", grey);
    brew::Bytes model = Load("model.ms3d");
    Save("short.ms3d", brew::Bytes(model.begin(), model.end() - 10));
    model[10] = 2; // version 2
    Save("old.ms3d", model);

    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"--model missing.ms3d --tga glass.tga --tga glass.tga", "missing.ms3d"},
        {"--model notes.txt --tga glass.tga --tga glass.tga", "not a MilkShape"},
        {"--model old.ms3d --tga glass.tga --tga glass.tga", "version 2"},
        {"--model short.ms3d --tga glass.tga --tga glass.tga", "truncated"},
        {"--model model.ms3d --tga truncated.tga --tga glass.tga", "truncated.tga"},
        {"--model model.ms3d --tga mapped.tga --tga glass.tga", "colour-mapped"},
        {"--model model.ms3d --tga grey.tga --tga glass.tga", "true-colour"},
        {"--model label-model.ms3d --tga glass.tga --tga glass.tga", "slot 2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Brew(std::string("pack-bottle -o out.brew --name X ") + c.args), 1) << c.args;
        EXPECT_NE(errors.find(c.says), std::string::npos) << c.args << ": " << errors;
        EXPECT_FALSE(Exists("out.brew")) << c.args;
    }
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
