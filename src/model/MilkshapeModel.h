#ifndef TUMBLIX_MODEL_MILKSHAPEMODEL_H
#define TUMBLIX_MODEL_MILKSHAPEMODEL_H

#include <cstdint>
#include <istream>
#include <memory>

// The records of a MilkShape 3D binary model, field for field as the file
// holds them. Text fields always end in a NUL, whatever the file says.

struct MS3DVERTEX {
    uint8_t flags = 0;
    uint8_t referenceCount = 0;
    int8_t boneId = 0;
    float location[3] = {0, 0, 0};
};

struct MS3DTRIANGLE {
    uint16_t flags = 0;
    uint16_t vertexIndices[3] = {0, 0, 0}; // each below the model's numVertices
    float vertexNormals[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    float s[3] = {0, 0, 0};
    float t[3] = {0, 0, 0};
    uint8_t smoothingGroup = 0;
    uint8_t groupIndex = 0;
};

struct MS3DGROUP {
    uint8_t flags = 0;
    char name[32] = {};
    uint16_t numTriangles = 0;
    std::unique_ptr<uint16_t[]> triangleIndices; // each below the model's numTriangles
    int8_t materialIndex = 0;
};

struct MS3DMATERIAL {
    char name[32] = {};
    float ambient[4] = {0, 0, 0, 0};
    float diffuse[4] = {0, 0, 0, 0};
    float specular[4] = {0, 0, 0, 0};
    float emissive[4] = {0, 0, 0, 0};
    float shininess = 0;
    float transparency = 0;
    int8_t mode = 0;
    char texture[128] = {};
    char alphamap[128] = {};
};

struct MS3DKEYFRAME {
    float time = 0;
    float value[3] = {0, 0, 0};
};

struct MS3DJOINT {
    uint8_t flags = 0;
    char name[32] = {};
    char parentName[32] = {};
    float rotation[3] = {0, 0, 0};
    float position[3] = {0, 0, 0};
    uint16_t numRotationKeys = 0;
    uint16_t numTranslationKeys = 0;
    std::unique_ptr<MS3DKEYFRAME[]> rotationKeys;
    std::unique_ptr<MS3DKEYFRAME[]> translationKeys;
};

// The mesh of a bottle type. Every array holds exactly its count of records
// and is null when the count is 0. After a successful load every triangle's
// vertex indices and every group's triangle indices are in range, so drawing
// code may follow them without checks.
class MS3D {
  public:
    MS3D() = default;
    ~MS3D();
    MS3D(const MS3D&) = delete;
    MS3D& operator=(const MS3D&) = delete;

    // Reads one model, versions 3 and 4, from a binary stream positioned at its
    // header; nothing after the last joint is read. On failure a message goes
    // to ERRORCLOSE and the record is left empty (all counts 0, arrays null).
    bool LoadFromFStream(std::istream& stream);

    // Scales vertex locations, joint positions and translation keys in place.
    void Scale(float factor);

    uint16_t numVertices = 0;
    std::unique_ptr<MS3DVERTEX[]> vertices;
    uint16_t numTriangles = 0;
    std::unique_ptr<MS3DTRIANGLE[]> triangles;
    uint16_t numGroups = 0;
    std::unique_ptr<MS3DGROUP[]> groups;
    uint16_t numMaterials = 0;
    std::unique_ptr<MS3DMATERIAL[]> materials;
    uint16_t numJoints = 0;
    std::unique_ptr<MS3DJOINT[]> joints;
    int32_t totalFrames = 0;
    float animationFPS = 0;
    float totalTime = 0; // milliseconds

  private:
    void Release();
};

#endif
