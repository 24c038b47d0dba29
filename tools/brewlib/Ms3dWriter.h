#ifndef TUMBLIX_BREWLIB_MS3DWRITER_H
#define TUMBLIX_BREWLIB_MS3DWRITER_H

#include "brewlib/ByteWriter.h"

#include <string>
#include <vector>

namespace brew {

// A MilkShape 3D binary model as it is written: every section of the format,
// in the file's order. Texture coordinate t counts from the top of the image,
// as MilkShape does; the engine draws corner k at (s[k], -t[k]).
struct Ms3dVertex {
    uint8_t flags = 0;
    float location[3] = {0, 0, 0};
    int8_t boneId = -1;
    uint8_t referenceCount = 0;
};

struct Ms3dTriangle {
    uint16_t flags = 0;
    uint16_t vertexIndices[3] = {0, 0, 0};
    float vertexNormals[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    float s[3] = {0, 0, 0};
    float t[3] = {0, 0, 0};
    uint8_t smoothingGroup = 1;
    uint8_t groupIndex = 0;
};

struct Ms3dGroup {
    uint8_t flags = 0;
    std::string name; // up to 31 characters are kept
    std::vector<uint16_t> triangleIndices;
    int8_t materialIndex = -1;
};

struct Ms3dMaterial {
    std::string name;
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0, 0, 0, 1};
    float emissive[4] = {0, 0, 0, 1};
    float shininess = 0;
    float transparency = 1;
    int8_t mode = 0;
    std::string texture;  // up to 127 characters
    std::string alphamap; // up to 127 characters
};

struct Ms3dKey {
    float time = 0;
    float value[3] = {0, 0, 0};
};

struct Ms3dJoint {
    uint8_t flags = 0;
    std::string name;
    std::string parentName;
    float rotation[3] = {0, 0, 0};
    float position[3] = {0, 0, 0};
    std::vector<Ms3dKey> rotationKeys;
    std::vector<Ms3dKey> translationKeys;
};

struct Ms3dModel {
    std::string id = "MS3D000000"; // written as exactly 10 bytes
    int32_t version = 4;
    std::vector<Ms3dVertex> vertices;
    std::vector<Ms3dTriangle> triangles;
    std::vector<Ms3dGroup> groups;
    std::vector<Ms3dMaterial> materials;
    float animationFPS = 24.0f;
    float currentTime = 0.0f;
    int32_t totalFrames = 30;
    std::vector<Ms3dJoint> joints;
};

// Throws std::invalid_argument when a count does not fit the format's 16 bits.
Bytes EncodeMS3D(const Ms3dModel& model);

} // namespace brew

#endif
