// Loads a model from arbitrary bytes, then walks it the way the bottle code
// does: every corner of every triangle, every triangle of every group.
#include "FuzzInput.h"
#include "model/MilkshapeModel.h"

#include <sstream>

namespace {

volatile float sink;

void Corners(const MS3D& m, const MS3DTRIANGLE& t, float& sum) {
    for (int k = 0; k < 3; k++) {
        const MS3DVERTEX& v = m.vertices[t.vertexIndices[k]];
        sum += v.location[0] + v.location[1] + v.location[2];
        sum += t.vertexNormals[k][0] + t.s[k] - t.t[k];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    MS3D m;
    if (!m.LoadFromFStream(in)) {
        fuzzinput::Check(m.numVertices == 0 && m.vertices == nullptr && m.numTriangles == 0 &&
                             m.triangles == nullptr && m.numGroups == 0 && m.groups == nullptr &&
                             m.numMaterials == 0 && m.materials == nullptr && m.numJoints == 0 &&
                             m.joints == nullptr,
                         "a model that fails to load holds nothing");
        return 0;
    }
    float sum = 0;
    for (uint16_t i = 0; i < m.numTriangles; i++) {
        Corners(m, m.triangles[i], sum);
    }
    for (uint16_t g = 0; g < m.numGroups; g++) {
        const MS3DGROUP& group = m.groups[g];
        for (uint16_t k = 0; k < group.numTriangles; k++) {
            Corners(m, m.triangles[group.triangleIndices[k]], sum);
        }
        fuzzinput::Check(group.name[sizeof group.name - 1] == '\0', "group name terminated");
    }
    for (uint16_t j = 0; j < m.numJoints; j++) {
        const MS3DJOINT& joint = m.joints[j];
        for (uint16_t k = 0; k < joint.numRotationKeys; k++) {
            sum += joint.rotationKeys[k].value[0];
        }
        for (uint16_t k = 0; k < joint.numTranslationKeys; k++) {
            sum += joint.translationKeys[k].value[2];
        }
    }
    m.Scale(0.25f);
    sink = sum;
    return 0;
}
