#include "BottleFiles.h"
#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "assets/DataFile.h"
#include "assets/ResFile.h"
#include "assets/Texture.h"
#include "brewlib/Ms3dWriter.h"
#include "model/MilkshapeModel.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

std::vector<brew::Lump> ThreeLumps() {
    return {
        {{1, 2, 3, 4, 5}, 1, 0}, {{9, 8, 7}, 0, 2}, {{0x55, 0xaa, 0x55, 0xaa, 0x00, 0xff}, 1, 1}};
}

// Where the computed fields of each container's header lie.
struct BottleFormat {
    using Reader = DATAFILE;
    static constexpr size_t headerSize = 76, entrySize = 16, magicAt = 50, countAt = 60,
                            sizeAt = 64, dirAt = 68;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeBottleFile(brew::BottleHeader(), lumps);
    }
};
struct ResourceFormat {
    using Reader = RESFILE;
    static constexpr size_t headerSize = 24, entrySize = 28, magicAt = 0, countAt = 12, sizeAt = 16,
                            dirAt = 20;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeResourceFile(lumps);
    }
};

template <typename Format> class ContainerTest : public ::testing::Test {
  protected:
    std::string Write(const brew::Bytes& bytes) {
        return fixtures::WriteBytes(tmp / "file", bytes);
    }
    TempDir tmp;
};
using Formats = ::testing::Types<BottleFormat, ResourceFormat>;
TYPED_TEST_SUITE(ContainerTest, Formats);

TYPED_TEST(ContainerTest, OpensAndSeeksToEveryLumpBodyUnlessDamaged) {
    const std::vector<brew::Lump> lumps = ThreeLumps();
    const brew::Bytes bytes = TypeParam::Encode(lumps);
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(bytes).c_str()));
    ASSERT_TRUE(reader.header.numLumps == 3 && reader.lumps.size() == 3);
    for (int n : {3, 4, -1, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(reader.SeekLump(n)) << n;
    }
    // Backwards, so each seek really moves the stream.
    for (int i = 2; i >= 0; i--) {
        EXPECT_TRUE(reader.lumps[i].size == lumps[i].body.size() &&
                    reader.lumps[i].type == lumps[i].type &&
                    reader.lumps[i].alphaMode == lumps[i].alphaMode);
        ASSERT_TRUE(reader.SeekLump(i));
        std::vector<uint8_t> body(lumps[i].body.size());
        reader.stream.read(reinterpret_cast<char*>(body.data()), std::streamsize(body.size()));
        EXPECT_EQ(body, lumps[i].body) << "lump " << i;
    }
    reader.Close();
    EXPECT_FALSE(reader.stream.is_open());
    EXPECT_FALSE(reader.SeekLump(0));

    // An empty directory opens, with no lump to seek to.
    ASSERT_TRUE(reader.Open(this->Write(TypeParam::Encode({})).c_str()));
    EXPECT_FALSE(reader.SeekLump(0));

    // A lump body past the end: its seek succeeds, the read fails, and later
    // seeks fail too.
    brew::Bytes far = bytes;
    PutU32At(far, U32At(far, TypeParam::dirAt) + TypeParam::entrySize + 4,
             uint32_t(far.size()) + 100);
    ASSERT_TRUE(reader.Open(this->Write(far).c_str()));
    ASSERT_TRUE(reader.SeekLump(1));
    char byte;
    EXPECT_FALSE(reader.stream.read(&byte, 1));
    EXPECT_FALSE(reader.SeekLump(0));

    // Each damage, and whether the stream stays open for Close: a short header
    // does; a wrong magic, a wrong size check and a directory outside the file
    // close it.
    using F = TypeParam;
    const brew::Bytes good = F::Encode(ThreeLumps());
    const uint32_t dir = U32At(good, F::dirAt), size = uint32_t(good.size());
    const auto directory = [&](uint32_t count, uint32_t offset) {
        return [=](brew::Bytes& b) {
            PutU32At(b, F::countAt, count);
            PutU32At(b, F::dirAt, offset);
        };
    };
    const std::pair<std::function<void(brew::Bytes&)>, bool> damages[] = {
        {[](brew::Bytes& b) { b.clear(); }, true},
        {[](brew::Bytes& b) { b.resize(F::headerSize - 1); }, true},
        {[](brew::Bytes& b) { b[F::magicAt + 3] ^= 0x20; }, false},
        {[](brew::Bytes& b) { b.push_back(0); }, false},
        {[](brew::Bytes& b) { b.pop_back(); }, false},
        {[=](brew::Bytes& b) { PutU32At(b, F::sizeAt, size); }, false}, // not complemented
        {directory(4, dir), false},
        {directory(0xffffffffu, dir), false}, // would ask for 64 GiB
        {directory(3, dir + 1), false},
        {directory(3, 0xfffffff0u), false},
        {directory(0, size + 1), false},
    };
    for (size_t i = 0; i < std::size(damages); i++) {
        brew::Bytes bytes = good;
        damages[i].first(bytes);
        if (i >= 6) {
            PutU32At(bytes, F::sizeAt, ~uint32_t(bytes.size()));
        }
        typename F::Reader reader;
        EXPECT_FALSE(reader.Open(this->Write(bytes).c_str())) << "damage " << i;
        EXPECT_EQ(reader.stream.is_open(), damages[i].second) << "damage " << i;
        EXPECT_TRUE(reader.lumps.empty()) << "damage " << i;
        EXPECT_FALSE(reader.SeekLump(0)) << "damage " << i;
    }
    const std::string fifo = this->tmp / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {this->tmp / "missing", this->tmp.path(), fifo}) {
        typename F::Reader reader;
        EXPECT_FALSE(reader.Open(path.c_str())) << path; // a FIFO must not block
        EXPECT_FALSE(reader.stream.is_open());
    }
    typename F::Reader none;
    EXPECT_FALSE(none.Open(nullptr));
}

class BottleFileTest : public ContainerTest<BottleFormat> {};

TEST_F(BottleFileTest, HeaderFieldsComeFromTheirOffsetsAndOnlyKnownVersionsOpen) {
    const brew::BottleHeader h = {"Green Glass", 0, 7, 0x12345670, 0xab, 128};
    DATAFILE reader;
    ASSERT_TRUE(reader.Open(Write(brew::EncodeBottleFile(h, ThreeLumps())).c_str()));
    const DATAFILEHEADER& got = reader.header;
    EXPECT_STREQ(got.name, "Green Glass");
    EXPECT_TRUE(got.versionMajor == 0 && got.versionMinor == 7 && got.flags == 0x12345670u &&
                got.tag == 0xab && got.alpha == 128);

    brew::Bytes bytes = brew::EncodeBottleFile(h, {});
    std::fill(bytes.begin(), bytes.begin() + 50, 'a'); // no room for a terminator
    ASSERT_TRUE(reader.Open(Write(bytes).c_str()));
    EXPECT_EQ(std::string(reader.header.name), std::string(bytes.begin(), bytes.begin() + 50));
    // Known versions are 0.any and 1.0; flags must be even.
    const std::pair<brew::BottleHeader, bool> cases[] = {
        {{"", 0, 0, 0}, true},           {{"", 0, 255, 2}, true},  {{"", 1, 0, 0xfffffffeu}, true},
        {{"", 1, 1, 0}, false},          {{"", 1, 255, 0}, false}, {{"", 2, 0, 0}, false},
        {{"", 255, 0, 0}, false},        {{"", 0, 0, 1}, false},   {{"", 0, 0, 0x80000001u}, false},
        {{"", 1, 0, 0xffffffffu}, false}};
    for (const auto& [header, opens] : cases) {
        EXPECT_EQ(reader.Open(Write(brew::EncodeBottleFile(header, ThreeLumps())).c_str()), opens)
            << int(header.versionMajor) << "." << int(header.versionMinor) << " " << header.flags;
    }
}

const char* const kNotValid = "Not a valid MS3D file!";
const char* const kTruncated = "MS3D file is truncated!";

bool Load(MS3D& model, const brew::Bytes& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
    return model.LoadFromFStream(in);
}

// Every field differs from its neighbours and from the loader's defaults, so a
// field read into the wrong place or skipped shows up.
brew::Ms3dModel SampleModel() {
    brew::Ms3dModel m;
    for (int i = 0; i < 4; i++) {
        m.vertices.push_back(
            {uint8_t(i + 1), {0.5f + i, -1.25f * i, 3.0f - i}, int8_t(i - 2), uint8_t(10 + i)});
    }
    for (int i = 0; i < 3; i++) {
        brew::Ms3dTriangle t;
        t.flags = uint16_t(0x1234 + i);
        const uint16_t corners[3] = {uint16_t(i), uint16_t(i + 1), 3};
        for (int k = 0; k < 3; k++) {
            t.vertexIndices[k] = corners[k];
            for (int c = 0; c < 3; c++) {
                t.vertexNormals[k][c] = 0.1f * (i * 9 + k * 3 + c);
            }
            t.s[k] = 0.25f * k + i;
            t.t[k] = -0.5f * k - i;
        }
        t.smoothingGroup = uint8_t(7 + i);
        t.groupIndex = uint8_t(i % 2);
        m.triangles.push_back(t);
    }
    m.groups = {{3, "glass", {2, 0, 1}, 0}, {5, "label", {1}, -1}};
    m.materials.resize(2); // read past: the saver takes its textures from the bottle file
    m.totalFrames = 30;
    brew::Ms3dJoint root{8, "root", "", {10, 20, 30}, {1, 2, 3}, {}, {}};
    brew::Ms3dJoint neck{0, "neck", "root", {}, {0, 4, 0}, {}, {}};
    root.rotationKeys = {{0.5f, {1, 2, 3}}, {1.5f, {4, 5, 6}}};
    root.translationKeys = {{0.25f, {-1, -2, -3}}};
    neck.translationKeys = {{2, {7, 8, 9}}, {3, {10, 11, 12}}, {4, {13, 14, 15}}};
    m.joints = {root, neck};
    return m;
}

// The loaded record in the writer's terms, so that a whole model compares at once.
brew::Ms3dModel Back(const MS3D& m) {
    brew::Ms3dModel out;
    for (int i = 0; i < m.numVertices; i++) {
        const MS3DVERTEX& v = m.vertices[i];
        out.vertices.push_back(
            {v.flags, {v.location[0], v.location[1], v.location[2]}, v.boneId, v.referenceCount});
    }
    for (int i = 0; i < m.numTriangles; i++) {
        brew::Ms3dTriangle t;
        std::memcpy(static_cast<void*>(&t), &m.triangles[i], sizeof t); // the same layout
        out.triangles.push_back(t);
    }
    for (int i = 0; i < m.numGroups; i++) {
        const MS3DGROUP& g = m.groups[i];
        const uint16_t* tris = g.triangleIndices.get();
        out.groups.push_back({g.flags, g.name, {tris, tris + g.numTriangles}, g.materialIndex});
    }
    out.materials.resize(m.numMaterials);
    out.animationFPS = m.animationFPS;
    out.totalFrames = m.totalFrames;
    auto keys = [](const std::unique_ptr<MS3DKEYFRAME[]>& k, int n) {
        std::vector<brew::Ms3dKey> v(static_cast<size_t>(n));
        for (int i = 0; i < n; i++) {
            v[i] = {k[i].time, {k[i].value[0], k[i].value[1], k[i].value[2]}};
        }
        return v;
    };
    for (int i = 0; i < m.numJoints; i++) {
        const MS3DJOINT& s = m.joints[i];
        brew::Ms3dJoint j{s.flags, s.name, s.parentName, {}, {}, {}, {}};
        std::copy_n(s.rotation, 3, j.rotation);
        std::copy_n(s.position, 3, j.position);
        j.rotationKeys = keys(s.rotationKeys, s.numRotationKeys);
        j.translationKeys = keys(s.translationKeys, s.numTranslationKeys);
        out.joints.push_back(j);
    }
    return out;
}

class Ms3dTest : public ::testing::Test {
  protected:
    // Expects the load to fail with this message and leave an empty record.
    void ExpectRefused(const brew::Bytes& bytes, const std::string& message, size_t what) {
        MS3D m;
        const size_t before = log.errors().size();
        EXPECT_FALSE(Load(m, bytes)) << what;
        ASSERT_EQ(log.errors().size(), before + 1) << what;
        EXPECT_EQ(log.errors().back(), message) << what;
        EXPECT_TRUE(m.numVertices == 0 && m.numTriangles == 0 && m.numGroups == 0 &&
                    m.numMaterials == 0 && m.numJoints == 0 && !m.vertices && !m.triangles &&
                    !m.groups && !m.materials && !m.joints)
            << what;
    }
    ErrorLog log;
};

TEST_F(Ms3dTest, RoundTripKeepsEveryFieldForeignCutOrOutOfRangeModelsAreRefused) {
    brew::Ms3dModel source = SampleModel();
    const brew::Bytes body = brew::EncodeMS3D(source);
    // As in a bottle data file: the model is preceded and followed by other data.
    const std::string before(7, 'x');
    std::istringstream in(before + std::string(body.begin(), body.end()) + "TRAILING",
                          std::ios::binary);
    in.seekg(std::streamoff(before.size()));
    MS3D m;
    ASSERT_TRUE(m.LoadFromFStream(in));
    EXPECT_EQ(in.tellg(), std::streampos(before.size() + body.size()));
    EXPECT_EQ(m.totalTime, 1250.0f); // 30 frames at 24 per second, in milliseconds
    EXPECT_EQ(m.vertices[1].location[0], 1.5f);
    EXPECT_TRUE(brew::EncodeMS3D(Back(m)) == body) << "a field was lost or misplaced";
    // A name filling its field is cut to stay terminated.
    brew::Bytes named = body;
    std::memset(&named[16 + 15 * 4 + 2 + 70 * 3 + 2 + 1], 'A', 32); // the first group's name
    MS3D n;
    ASSERT_TRUE(Load(n, named));
    EXPECT_EQ(std::string(n.groups[0].name), std::string(31, 'A'));

    m.Scale(2.0f);
    for (auto& v : source.vertices) {
        for (float& c : v.location)
            c *= 2;
    }
    for (auto& j : source.joints) {
        for (float& c : j.position)
            c *= 2;
        for (auto& k : j.translationKeys) {
            for (float& c : k.value)
                c *= 2;
        }
    }
    EXPECT_TRUE(brew::EncodeMS3D(Back(m)) == brew::EncodeMS3D(source)) << "scaled wrongly";

    // Another id or version, every truncation, counts past the end of the file and
    // indices out of range: each is refused and leaves an empty record.
    const brew::Ms3dModel sample = SampleModel();
    const brew::Bytes whole = brew::EncodeMS3D(sample);
    for (int32_t version : {2, 3, 4, 5, -1, 0x0300}) {
        brew::Ms3dModel other = sample;
        other.version = version;
        if (version == 3 || version == 4) {
            MS3D model;
            EXPECT_TRUE(Load(model, brew::EncodeMS3D(other))) << version;
        } else {
            ExpectRefused(brew::EncodeMS3D(other), kNotValid, size_t(version));
        }
    }
    for (size_t at : {0, 4, 9}) {
        brew::Bytes bytes = whole;
        bytes[at] ^= 0x20;
        ExpectRefused(bytes, kNotValid, at);
    }
    for (size_t size = 0; size < whole.size(); size++) {
        ExpectRefused(brew::Bytes(whole.begin(), whole.begin() + long(size)),
                      size < 14 ? kNotValid : kTruncated, size);
    }
    // Each count in turn claims far more than the file holds: vertices,
    // triangles, the first group's triangles, the last joint's two key counts
    // (it has no rotation keys and three translation keys).
    const size_t triangles = 16 + 15 * sample.vertices.size();
    const size_t groupTriangles = triangles + 2 + 70 * sample.triangles.size() + 2 + 1 + 32;
    const size_t jointKeys = whole.size() - 16 * 3 - 4;
    for (size_t at : {size_t(14), triangles, groupTriangles, jointKeys, jointKeys + 2}) {
        brew::Bytes bytes = whole;
        bytes[at] = bytes[at + 1] = 0xff;
        ExpectRefused(bytes, kTruncated, at);
    }
    for (size_t corner = 0; corner < 3; corner++) {
        brew::Ms3dModel bad = sample;
        bad.triangles[2].vertexIndices[corner] = uint16_t(sample.vertices.size());
        ExpectRefused(brew::EncodeMS3D(bad), "MS3D file has a vertex index out of range!", corner);
    }
    for (uint16_t index : {uint16_t(sample.triangles.size()), uint16_t(0xffff)}) {
        brew::Ms3dModel bad = sample;
        bad.groups[1].triangleIndices = {0, index};
        ExpectRefused(brew::EncodeMS3D(bad), "MS3D file has a triangle index out of range!", index);
    }
}

// Fills a record as the decoder leaves it: pixels R, G, B (A) from malloc.
void Fill(Texture& t, GLuint width, GLuint height, const std::vector<uint8_t>& pixels) {
    const size_t channels = pixels.size() / (size_t(width) * height);
    t.width = width;
    t.height = height;
    t.bpp = GLuint(channels * 8);
    t.type = channels == 4 ? GL_RGBA : GL_RGB;
    t.imageData = static_cast<GLubyte*>(std::malloc(pixels.size()));
    std::memcpy(t.imageData, pixels.data(), pixels.size());
}

class TextureTest : public GLFixture {};

// Built at the image's own size, the record owning the name: mode 1 keys on the
// first pixel's R, G, B exactly (a 32-bit image's own alpha plays no part),
// mode 2 takes the largest channel, every other mode is opaque.
TEST_F(TextureTest, AlphaModesGiveTheirAlphaAtTheImagesOwnSizeAndInResourceFiles) {
    struct Case {
        int mode;
        GLuint channels;
        std::vector<uint8_t> pixels, alphas;
        GLuint height = 1;
    };
    // Every corner its own colour: the key is the first pixel's, no other corner's.
    const std::vector<uint8_t> corners = {9, 9, 9, 1, 0, 0, 2, 0, 0,  // first row
                                          3, 0, 0, 9, 9, 9, 4, 0, 0}; // last row
    const std::vector<uint8_t> keyed = {255, 0, 255, 10,  20, 30,  255, 0, 255,
                                        254, 0, 255, 255, 1,  255, 255, 0, 254};
    const std::vector<uint8_t> bright = {0, 0, 0, 10, 200, 30, 250, 3, 4, 1, 2, 255};
    const Case cases[] = {
        {1, 3, keyed, {0, 255, 0, 255, 255, 255}},
        {1, 4, {1, 2, 3, 200, 1, 2, 3, 7, 1, 2, 4, 0}, {0, 0, 255}},
        {1, 3, corners, {0, 255, 255, 255, 0, 255}, 2},
        {2, 3, bright, {0, 200, 250, 255}},
        {0, 3, bright, {255, 255, 255, 255}},
        {3, 4, {0, 0, 0, 0, 90, 80, 70, 0}, {255, 255}},
        {256, 3, bright, {255, 255, 255, 255}},
    };
    GLuint name = 0;
    for (const Case& c : cases) {
        Texture t;
        Fill(t, GLuint(c.pixels.size() / c.channels / c.height), c.height, c.pixels);
        ASSERT_TRUE(BuildTexture(&t, c.mode));
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(GetInteger(GL_TEXTURE_BINDING_2D), GLint(t.texID));
        GLint wrap = 0, filter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_TRUE(wrap == GL_REPEAT && filter == GL_LINEAR) << wrap << " " << filter;
        const std::vector<RGBA> up = TexturePixels(t.texID);
        ASSERT_EQ(up.size(), c.alphas.size()) << c.mode << ": at the image's own size";
        for (size_t i = 0; i < up.size(); i++) {
            const uint8_t* p = &c.pixels[i * c.channels];
            EXPECT_EQ(up[i], (RGBA{p[0], p[1], p[2], c.alphas[i]}))
                << "mode " << c.mode << " " << i;
        }
        name = t.texID;
    }
    EXPECT_FALSE(glIsTexture(name)) << "the record deletes its texture";

    // A resource file builds every image lump at its index.
    TempDir tmp;
    ErrorLog log;
    brew::Image keyImage = fixtures::Solid(2, 2, 255, 0, 255);
    keyImage.At(1, 0)[1] = 1; // the top right pixel differs from the key
    brew::Image rgba(2, 1, 4);
    rgba.pixels = {10, 200, 30, 0, 10, 200, 30, 0};
    const std::vector<brew::Lump> lumps = {
        brew::ImageLump(fixtures::Solid(4, 2, 10, 20, 30), false, 0),
        brew::ImageLump(keyImage, true, 1),
        {{0, 0, 2, 0, 1, 2, 3}, 0, 0}, // looks a little like a TGA, but is no image
        brew::ImageLump(rgba, true, 2),
    };
    Texture* textures = nullptr;
    int count = 0;
    ASSERT_TRUE(LoadTexturesFromDataFile(
        fixtures::WriteBytes(tmp / "res", brew::EncodeResourceFile(lumps)).c_str(), &textures,
        &count));
    ASSERT_EQ(count, 4);
    EXPECT_EQ(textures[2].texID, 0u);
    EXPECT_EQ(TexturePixels(textures[0].texID), std::vector<RGBA>(8, RGBA{10, 20, 30, 255}));
    // File order is bottom row first: the top right pixel is the last.
    const std::vector<RGBA> key = TexturePixels(textures[1].texID);
    EXPECT_EQ(key[0].a + key[1].a + key[2].a, 0);
    EXPECT_EQ(key[3], (RGBA{255, 1, 255, 255}));
    EXPECT_EQ(TexturePixels(textures[3].texID), std::vector<RGBA>(2, RGBA{10, 200, 30, 200}));
    delete[] textures;

    // A container that does not open stores nothing; a broken image stops
    // loading, but the array is handed over.
    Texture* untouched = nullptr;
    EXPECT_FALSE(LoadTexturesFromDataFile((tmp / "missing").c_str(), &untouched, &count));
    EXPECT_EQ(untouched, nullptr);
    std::vector<brew::Lump> broken = lumps;
    broken[1].body[2] = 3; // greyscale
    const brew::Bytes bytes = brew::EncodeResourceFile(broken);
    EXPECT_FALSE(LoadTexturesFromDataFile(fixtures::WriteBytes(tmp / "res", bytes).c_str(),
                                          &textures, &count));
    ASSERT_EQ(count, 4);
    EXPECT_TRUE(glIsTexture(textures[0].texID));
    EXPECT_EQ(textures[3].texID, 0u); // never reached
    delete[] textures;
    EXPECT_EQ(log.alerts(),
              std::vector<std::string>{"Invalid Image|TGA file be type 2 or type 10 "});
}

} // namespace
