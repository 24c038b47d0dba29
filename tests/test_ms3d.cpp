#include "brewlib/Ms3dWriter.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

std::string lastError;
void KeepError(const char* message) {
    lastError = message;
}

class Ms3dTest : public ::testing::Test {
  protected:
    void SetUp() override {
        lastError.clear();
        SetErrorSink(KeepError);
    }
    void TearDown() override { SetErrorSink(nullptr); }

    static bool Load(MS3D& model, const brew::Bytes& bytes) {
        std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
        return model.LoadFromFStream(in);
    }
};

brew::Ms3dVertex Vertex(float x, float y, float z) {
    brew::Ms3dVertex v;
    v.location[0] = x;
    v.location[1] = y;
    v.location[2] = z;
    return v;
}

brew::Ms3dKey Key(float time, float a, float b, float c) {
    brew::Ms3dKey k;
    k.time = time;
    k.value[0] = a;
    k.value[1] = b;
    k.value[2] = c;
    return k;
}

// Every field differs from its neighbours and from the loader's defaults, so a
// field read into the wrong place or skipped shows up.
brew::Ms3dModel SampleModel() {
    brew::Ms3dModel m;
    m.version = 4;
    for (int i = 0; i < 4; i++) {
        brew::Ms3dVertex v = Vertex(0.5f + i, -1.25f * i, 3.0f - i);
        v.flags = uint8_t(i + 1);
        v.boneId = int8_t(i - 2);
        v.referenceCount = uint8_t(10 + i);
        m.vertices.push_back(v);
    }
    for (int i = 0; i < 3; i++) {
        brew::Ms3dTriangle t;
        t.flags = uint16_t(0x1234 + i);
        t.vertexIndices[0] = uint16_t(i);
        t.vertexIndices[1] = uint16_t(i + 1);
        t.vertexIndices[2] = 3;
        for (int k = 0; k < 3; k++) {
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
    brew::Ms3dGroup glass;
    glass.flags = 3;
    glass.name = "glass";
    glass.triangleIndices = {2, 0, 1};
    glass.materialIndex = 0;
    brew::Ms3dGroup label;
    label.flags = 5;
    label.name = "label";
    label.triangleIndices = {1};
    label.materialIndex = -1;
    m.groups = {glass, label};
    for (int i = 0; i < 2; i++) {
        brew::Ms3dMaterial mat;
        mat.name = "material" + std::to_string(i);
        for (int c = 0; c < 4; c++) {
            mat.ambient[c] = 0.01f * c + i;
            mat.emissive[c] = 0.04f * c + i;
        }
        mat.transparency = 0.75f - i * 0.5f;
        mat.mode = int8_t(-3 + i);
        mat.alphamap = "alpha" + std::to_string(i) + ".tga";
        m.materials.push_back(mat);
    }
    m.animationFPS = 24.0f;
    m.currentTime = 99.0f;
    m.totalFrames = 30;
    brew::Ms3dJoint root;
    root.flags = 8;
    root.name = "root";
    root.rotation[0] = 10;
    root.rotation[1] = 20;
    root.rotation[2] = 30;
    root.position[0] = 1;
    root.position[1] = 2;
    root.position[2] = 3;
    root.rotationKeys = {Key(0.5f, 1, 2, 3), Key(1.5f, 4, 5, 6)};
    root.translationKeys = {Key(0.25f, -1, -2, -3)};
    brew::Ms3dJoint neck;
    neck.name = "neck";
    neck.parentName = "root";
    neck.position[1] = 4;
    neck.translationKeys = {Key(2, 7, 8, 9), Key(3, 10, 11, 12), Key(4, 13, 14, 15)};
    m.joints = {root, neck};
    return m;
}

// Where the sections of an encoded model start, for patching bytes.
size_t TrianglesAt(const brew::Ms3dModel& m) {
    return 14 + 2 + 15 * m.vertices.size();
}
size_t GroupsAt(const brew::Ms3dModel& m) {
    return TrianglesAt(m) + 2 + 70 * m.triangles.size();
}

void Put16(brew::Bytes& bytes, size_t at, uint16_t v) {
    bytes[at] = uint8_t(v & 0xff);
    bytes[at + 1] = uint8_t(v >> 8);
}

// A failed load leaves nothing behind.
void ExpectEmpty(const MS3D& m) {
    EXPECT_TRUE(m.numVertices == 0 && m.numTriangles == 0 && m.numGroups == 0 &&
                m.numMaterials == 0 && m.numJoints == 0 && m.vertices == nullptr &&
                m.triangles == nullptr && m.groups == nullptr && m.materials == nullptr &&
                m.joints == nullptr);
}

void ExpectFloats(const float* got, const float* want, int n, const char* what) {
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(got[i], want[i]) << what << "[" << i << "]";
    }
}

void ExpectKeys(const MS3DKEYFRAME* got, const std::vector<brew::Ms3dKey>& want) {
    for (size_t k = 0; k < want.size(); k++) {
        EXPECT_EQ(got[k].time, want[k].time) << "key " << k;
        ExpectFloats(got[k].value, want[k].value, 3, "key value");
    }
}

} // namespace

TEST_F(Ms3dTest, OnlyVersionsThreeAndFourWithTheRightIdAreAccepted) {
    for (int32_t version : {2, 3, 4, 5, -1, 0x0300}) {
        brew::Ms3dModel source = SampleModel();
        source.version = version;
        MS3D model;
        lastError.clear();
        const bool accepted = version == 3 || version == 4;
        EXPECT_EQ(Load(model, brew::EncodeMS3D(source)), accepted) << version;
        if (accepted) {
            EXPECT_EQ(model.numVertices, 4) << version;
            EXPECT_EQ(lastError, "");
        } else {
            EXPECT_EQ(lastError, "Not a valid MS3D file!") << version;
            ExpectEmpty(model);
        }
    }
    for (size_t at : {0, 4, 9}) {
        brew::Bytes bytes = brew::EncodeMS3D(SampleModel());
        bytes[at] ^= 0x20;
        MS3D model;
        EXPECT_FALSE(Load(model, bytes)) << at;
        EXPECT_EQ(lastError, "Not a valid MS3D file!");
        ExpectEmpty(model);
    }
}

TEST_F(Ms3dTest, HandWrittenBytesAreReadLittleEndian) {
    // Header, one vertex, no triangles, groups or materials, animation, no joints.
    const uint8_t bytes[] = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0', 3, 0, 0, 0, 1,
                             0, // one
                                // vertex
                             0x81, 0, 0, 0x80, 0x3f, 0, 0, 0, 0xc0, 0, 0, 0x20, 0x41, 0xfe, 7, 0, 0,
                             0, 0, 0, 0, // no triangles, groups, materials
                             0, 0, 0xc8, 0x41, 0, 0, 0, 0, 0x2c, 1, 0, 0, // 25 fps, 300 frames
                             0, 0};                                       // no joints
    std::istringstream in(std::string(reinterpret_cast<const char*>(bytes), sizeof bytes),
                          std::ios::binary);
    MS3D model;
    ASSERT_TRUE(model.LoadFromFStream(in));
    ASSERT_EQ(model.numVertices, 1);
    EXPECT_EQ(model.vertices[0].flags, 0x81);
    EXPECT_EQ(model.vertices[0].location[0], 1.0f);
    EXPECT_EQ(model.vertices[0].location[1], -2.0f);
    EXPECT_EQ(model.vertices[0].location[2], 10.0f);
    EXPECT_EQ(model.vertices[0].boneId, -2);
    EXPECT_EQ(model.vertices[0].referenceCount, 7);
    EXPECT_EQ(model.animationFPS, 25.0f);
    EXPECT_EQ(model.totalFrames, 300);
    EXPECT_EQ(model.totalTime, 12000.0f);
    EXPECT_EQ(in.tellg(), std::streampos(sizeof bytes));
}

TEST_F(Ms3dTest, RoundTripKeepsEveryFieldAndScaleMovesPositionsOnly) {
    const brew::Ms3dModel source = SampleModel();
    const brew::Bytes body = brew::EncodeMS3D(source);
    // As in a bottle data file: the model is preceded and followed by other data.
    const std::string before(7, 'x'), after = "TRAILING";
    std::istringstream in(before + std::string(body.begin(), body.end()) + after, std::ios::binary);
    in.seekg(std::streamoff(before.size()));
    MS3D m;
    ASSERT_TRUE(m.LoadFromFStream(in)) << lastError;
    EXPECT_EQ(in.tellg(), std::streampos(before.size() + body.size()));
    ASSERT_EQ(m.numVertices, source.vertices.size());
    ASSERT_EQ(m.numTriangles, source.triangles.size());
    ASSERT_EQ(m.numGroups, source.groups.size());
    ASSERT_EQ(m.numMaterials, source.materials.size());
    ASSERT_EQ(m.numJoints, source.joints.size());
    EXPECT_EQ(m.animationFPS, 24.0f);
    EXPECT_EQ(m.totalFrames, 30);
    EXPECT_EQ(m.totalTime, 1250.0f);
    EXPECT_EQ(m.joints[1].rotationKeys, nullptr);

    // Twice: as loaded, then scaled by 2, which moves positions only.
    for (const float scale : {1.0f, 2.0f}) {
        if (scale != 1.0f)
            m.Scale(scale);
        for (size_t i = 0; i < source.vertices.size(); i++) {
            const brew::Ms3dVertex& want = source.vertices[i];
            EXPECT_EQ(m.vertices[i].flags, want.flags);
            for (int c = 0; c < 3; c++)
                EXPECT_EQ(m.vertices[i].location[c], scale * want.location[c]);
            EXPECT_EQ(m.vertices[i].boneId, want.boneId);
            EXPECT_EQ(m.vertices[i].referenceCount, want.referenceCount);
        }
        for (size_t i = 0; i < source.triangles.size(); i++) {
            const brew::Ms3dTriangle& want = source.triangles[i];
            const MS3DTRIANGLE& got = m.triangles[i];
            EXPECT_EQ(got.flags, want.flags);
            for (int k = 0; k < 3; k++) {
                EXPECT_EQ(got.vertexIndices[k], want.vertexIndices[k]);
                ExpectFloats(got.vertexNormals[k], want.vertexNormals[k], 3, "normal");
            }
            ExpectFloats(got.s, want.s, 3, "s");
            ExpectFloats(got.t, want.t, 3, "t");
            EXPECT_EQ(got.smoothingGroup, want.smoothingGroup);
            EXPECT_EQ(got.groupIndex, want.groupIndex);
        }
        for (size_t i = 0; i < source.joints.size(); i++) {
            const brew::Ms3dJoint& want = source.joints[i];
            const MS3DJOINT& got = m.joints[i];
            EXPECT_EQ(got.flags, want.flags);
            EXPECT_STREQ(got.parentName, want.parentName.c_str());
            ExpectFloats(got.rotation, want.rotation, 3, "rotation");
            ASSERT_EQ(got.numRotationKeys, want.rotationKeys.size());
            ASSERT_EQ(got.numTranslationKeys, want.translationKeys.size());
            ExpectKeys(got.rotationKeys.get(), want.rotationKeys);
            for (int c = 0; c < 3; c++)
                EXPECT_EQ(got.position[c], scale * want.position[c]);
            for (size_t k = 0; k < want.translationKeys.size(); k++) {
                EXPECT_EQ(got.translationKeys[k].time, want.translationKeys[k].time);
                for (int c = 0; c < 3; c++)
                    EXPECT_EQ(got.translationKeys[k].value[c],
                              scale * want.translationKeys[k].value[c]);
            }
        }
    }
    for (size_t i = 0; i < source.groups.size(); i++) {
        const brew::Ms3dGroup& want = source.groups[i];
        const MS3DGROUP& got = m.groups[i];
        EXPECT_EQ(got.flags, want.flags);
        EXPECT_STREQ(got.name, want.name.c_str());
        EXPECT_EQ(std::vector<uint16_t>(got.triangleIndices.get(),
                                        got.triangleIndices.get() + got.numTriangles),
                  want.triangleIndices);
        EXPECT_EQ(got.materialIndex, want.materialIndex);
    }
    for (size_t i = 0; i < source.materials.size(); i++) {
        const brew::Ms3dMaterial& want = source.materials[i];
        const MS3DMATERIAL& got = m.materials[i];
        EXPECT_STREQ(got.name, want.name.c_str());
        ExpectFloats(got.ambient, want.ambient, 4, "ambient");
        ExpectFloats(got.emissive, want.emissive, 4, "emissive");
        EXPECT_EQ(got.transparency, want.transparency);
        EXPECT_EQ(got.mode, want.mode);
        EXPECT_STREQ(got.alphamap, want.alphamap.c_str());
    }
}

TEST_F(Ms3dTest, SparseModelsLoad) {
    // Nothing but the header, the counts and the animation section.
    brew::Ms3dModel empty;
    empty.version = 3;
    empty.animationFPS = 10;
    empty.totalFrames = 5;
    MS3D m;
    ASSERT_TRUE(Load(m, brew::EncodeMS3D(empty)));
    ExpectEmpty(m);
    EXPECT_EQ(m.animationFPS, 10.0f);
    EXPECT_EQ(m.totalFrames, 5);
    EXPECT_EQ(m.totalTime, 500.0f);

    // A mesh without groups, materials or joints, and a group with no triangles.
    brew::Ms3dModel source;
    source.vertices = {Vertex(0, 0, 0), Vertex(3, 0, 0), Vertex(0, 3, 0)};
    brew::Ms3dTriangle t;
    t.vertexIndices[1] = 1;
    t.vertexIndices[2] = 2;
    source.triangles = {t};
    MS3D bare;
    ASSERT_TRUE(Load(bare, brew::EncodeMS3D(source)));
    EXPECT_EQ(bare.numTriangles, 1);
    EXPECT_EQ(bare.numGroups, 0);
    EXPECT_EQ(bare.numMaterials, 0);
    EXPECT_EQ(bare.numJoints, 0);
    EXPECT_EQ(bare.totalTime, 1250.0f);

    brew::Ms3dGroup none;
    none.name = "empty";
    none.materialIndex = 2;
    source.groups = {none};
    MS3D withEmptyGroup;
    ASSERT_TRUE(Load(withEmptyGroup, brew::EncodeMS3D(source)));
    ASSERT_EQ(withEmptyGroup.numGroups, 1);
    EXPECT_EQ(withEmptyGroup.groups[0].numTriangles, 0);
    EXPECT_EQ(withEmptyGroup.groups[0].materialIndex, 2);
    EXPECT_STREQ(withEmptyGroup.groups[0].name, "empty");
}

TEST_F(Ms3dTest, EveryTruncationFailsAndLeavesAnEmptyRecord) {
    const brew::Bytes whole = brew::EncodeMS3D(SampleModel());
    for (size_t size = 0; size < whole.size(); size++) {
        MS3D m;
        lastError.clear();
        ASSERT_FALSE(Load(m, brew::Bytes(whole.begin(), whole.begin() + size))) << size;
        EXPECT_EQ(lastError, size < 14 ? "Not a valid MS3D file!" : "MS3D file is truncated!")
            << size;
        ExpectEmpty(m);
    }
}

TEST_F(Ms3dTest, CountsBeyondTheEndOfTheStreamAreRefused) {
    const brew::Ms3dModel source = SampleModel();
    const brew::Bytes whole = brew::EncodeMS3D(source);
    // Each count in turn claims far more than the file holds: the vertex count,
    // the first group's triangle count, and a joint's key counts.
    const size_t groupTriangleCount = GroupsAt(source) + 2 + 1 + 32;
    // The last joint has no rotation keys and three translation keys.
    const size_t jointKeys = whole.size() - 16 * 3 - 4;
    for (size_t at :
         {size_t(14), TrianglesAt(source), groupTriangleCount, jointKeys, jointKeys + 2}) {
        brew::Bytes bytes = whole;
        Put16(bytes, at, 0xffff);
        MS3D m;
        lastError.clear();
        EXPECT_FALSE(Load(m, bytes)) << at;
        EXPECT_EQ(lastError, "MS3D file is truncated!") << at;
        ExpectEmpty(m);
    }
}

TEST_F(Ms3dTest, IndicesOutsideTheirArraysAreRefused) {
    const brew::Ms3dModel good = SampleModel();

    brew::Ms3dModel lastVertex = good;
    lastVertex.triangles[0].vertexIndices[2] = uint16_t(good.vertices.size() - 1);
    MS3D m;
    EXPECT_TRUE(Load(m, brew::EncodeMS3D(lastVertex)));

    for (int corner = 0; corner < 3; corner++) {
        brew::Ms3dModel bad = good;
        bad.triangles[2].vertexIndices[corner] = uint16_t(good.vertices.size());
        MS3D model;
        lastError.clear();
        EXPECT_FALSE(Load(model, brew::EncodeMS3D(bad))) << corner;
        EXPECT_EQ(lastError, "MS3D file has a vertex index out of range!");
        ExpectEmpty(model);
    }
    for (uint16_t index : {uint16_t(good.triangles.size()), uint16_t(0xffff)}) {
        brew::Ms3dModel bad = good;
        bad.groups[1].triangleIndices = {0, index};
        MS3D model;
        lastError.clear();
        EXPECT_FALSE(Load(model, brew::EncodeMS3D(bad))) << index;
        EXPECT_EQ(lastError, "MS3D file has a triangle index out of range!");
        ExpectEmpty(model);
    }
}

TEST_F(Ms3dTest, TextFieldsAreAlwaysTerminated) {
    const brew::Ms3dModel source = SampleModel();
    brew::Bytes bytes = brew::EncodeMS3D(source);
    const size_t name = GroupsAt(source) + 2 + 1;
    for (size_t i = 0; i < 32; i++) {
        bytes[name + i] = 'A';
    }
    MS3D m;
    ASSERT_TRUE(Load(m, bytes));
    EXPECT_EQ(std::string(m.groups[0].name), std::string(31, 'A'));
}

TEST_F(Ms3dTest, ReloadingReplacesTheModel) {
    MS3D m;
    ASSERT_TRUE(Load(m, brew::EncodeMS3D(SampleModel())));
    brew::Ms3dModel other;
    other.vertices = {Vertex(9, 9, 9)};
    ASSERT_TRUE(Load(m, brew::EncodeMS3D(other)));
    EXPECT_EQ(m.numVertices, 1);
    EXPECT_EQ(m.numTriangles, 0);
    EXPECT_EQ(m.triangles, nullptr);
    EXPECT_EQ(m.vertices[0].location[0], 9.0f);

    brew::Bytes bad = brew::EncodeMS3D(other);
    bad.pop_back();
    EXPECT_FALSE(Load(m, bad));
    ExpectEmpty(m);
}
