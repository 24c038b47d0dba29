#include "ErrorLog.h"
#include "brewlib/Ms3dWriter.h"
#include "model/MilkshapeModel.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

namespace {

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

TEST_F(Ms3dTest, RoundTripKeepsEveryFieldAndScaleMovesPositionsOnly) {
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
}

TEST_F(Ms3dTest, WrongIdOrVersionIsNotAnMs3dFile) {
    for (int32_t version : {2, 3, 4, 5, -1, 0x0300}) {
        brew::Ms3dModel source = SampleModel();
        source.version = version;
        if (version == 3 || version == 4) {
            MS3D model;
            EXPECT_TRUE(Load(model, brew::EncodeMS3D(source))) << version;
        } else {
            ExpectRefused(brew::EncodeMS3D(source), kNotValid, size_t(version));
        }
    }
    for (size_t at : {0, 4, 9}) {
        brew::Bytes bytes = brew::EncodeMS3D(SampleModel());
        bytes[at] ^= 0x20;
        ExpectRefused(bytes, kNotValid, at);
    }
}

TEST_F(Ms3dTest, EveryTruncationFailsAndLeavesAnEmptyRecord) {
    const brew::Bytes whole = brew::EncodeMS3D(SampleModel());
    for (size_t size = 0; size < whole.size(); size++) {
        ExpectRefused(brew::Bytes(whole.begin(), whole.begin() + long(size)),
                      size < 14 ? kNotValid : kTruncated, size);
    }
}

TEST_F(Ms3dTest, CountsAndIndicesOutsideTheFileAreRefused) {
    const brew::Ms3dModel source = SampleModel();
    const brew::Bytes whole = brew::EncodeMS3D(source);
    // Each count in turn claims far more than the file holds: vertices,
    // triangles, the first group's triangles, the last joint's two key counts
    // (it has no rotation keys and three translation keys).
    const size_t triangles = 16 + 15 * source.vertices.size();
    const size_t groupTriangles = triangles + 2 + 70 * source.triangles.size() + 2 + 1 + 32;
    const size_t jointKeys = whole.size() - 16 * 3 - 4;
    for (size_t at : {size_t(14), triangles, groupTriangles, jointKeys, jointKeys + 2}) {
        brew::Bytes bytes = whole;
        bytes[at] = bytes[at + 1] = 0xff;
        ExpectRefused(bytes, kTruncated, at);
    }

    for (size_t corner = 0; corner < 3; corner++) {
        brew::Ms3dModel bad = source;
        bad.triangles[2].vertexIndices[corner] = uint16_t(source.vertices.size());
        ExpectRefused(brew::EncodeMS3D(bad), "MS3D file has a vertex index out of range!", corner);
    }
    for (uint16_t index : {uint16_t(source.triangles.size()), uint16_t(0xffff)}) {
        brew::Ms3dModel bad = source;
        bad.groups[1].triangleIndices = {0, index};
        ExpectRefused(brew::EncodeMS3D(bad), "MS3D file has a triangle index out of range!", index);
    }
}

TEST_F(Ms3dTest, NamesStayTerminated) {
    brew::Bytes bytes = brew::EncodeMS3D(SampleModel());
    std::memset(&bytes[16 + 15 * 4 + 2 + 70 * 3 + 2 + 1], 'A', 32); // the first group's name
    MS3D m;
    ASSERT_TRUE(Load(m, bytes));
    EXPECT_EQ(std::string(m.groups[0].name), std::string(31, 'A'));
}

} // namespace
