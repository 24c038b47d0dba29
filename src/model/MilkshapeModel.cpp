#include "model/MilkshapeModel.h"

#include "maths/Misc.h"

#include <cstring>
#include <new>

namespace {

const char* const kNotValid = "Not a valid MS3D file!";
const char* const kTruncated = "MS3D file is truncated!";
const char* const kUnreadable = "Unable to read MS3D file!";
const char* const kNoMemory = "Unable to allocate memory!";
const char* const kBadVertexIndex = "MS3D file has a vertex index out of range!";
const char* const kBadTriangleIndex = "MS3D file has a triangle index out of range!";

// Sizes of the records in the file. Groups and joints are followed by
// variable parts; theirs are the smallest sizes they can have.
const uint32_t kVertexBytes = 15;
const uint32_t kTriangleBytes = 70;
const uint32_t kGroupBytesMin = 36;
const uint32_t kMaterialBytes = 361;
const uint32_t kJointBytesMin = 93;
const uint32_t kKeyBytes = 16;

bool Fail(const char* message) {
    ERRORCLOSE(message);
    return false;
}

// Bytes from the stream's position to its end. The model is one lump of a
// larger file, so this bounds what the model can still supply from above.
bool MeasureRest(std::istream& stream, uint64_t& rest) {
    const std::streampos start = stream.tellg();
    if (start == std::streampos(-1)) {
        return false;
    }
    stream.seekg(0, std::ios::end);
    const std::streampos end = stream.tellg();
    stream.clear();
    stream.seekg(start);
    if (end == std::streampos(-1) || end < start || !stream) {
        return false;
    }
    rest = uint64_t(std::streamoff(end - start));
    return true;
}

// Little-endian fields off the stream. A short read zeroes what it could not
// fill and makes every later read fail too, so a section can be read through
// and checked once at its end.
class FieldReader {
  public:
    FieldReader(std::istream& stream, uint64_t rest) : stream(stream), rest(rest) {}

    bool Ok() const { return ok; }

    // Whether count records of at least bytesEach bytes can still follow.
    bool Holds(uint32_t count, uint32_t bytesEach) const {
        return ok && uint64_t(count) * bytesEach <= rest;
    }

    void Bytes(void* out, size_t size) {
        if (ok && size <= rest) {
            stream.read(static_cast<char*>(out), std::streamsize(size));
            if (stream.gcount() == std::streamsize(size)) {
                rest -= size;
                return;
            }
        }
        ok = false;
        std::memset(out, 0, size);
    }
    uint8_t U8() {
        uint8_t b = 0;
        Bytes(&b, 1);
        return b;
    }
    int8_t I8() {
        const uint8_t b = U8();
        int8_t v;
        std::memcpy(&v, &b, 1);
        return v;
    }
    uint16_t U16() {
        uint8_t b[2];
        Bytes(b, 2);
        return uint16_t(b[0] | b[1] << 8);
    }
    uint32_t U32() {
        uint8_t b[4];
        Bytes(b, 4);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    int32_t I32() {
        const uint32_t u = U32();
        int32_t v;
        std::memcpy(&v, &u, 4);
        return v;
    }
    float F32() {
        const uint32_t u = U32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    void Floats(float* out, int count) {
        for (int i = 0; i < count; i++) {
            out[i] = F32();
        }
    }
    // A fixed-size text field, kept NUL-terminated for whoever prints it.
    void Text(char* out, size_t size) {
        Bytes(out, size);
        out[size - 1] = '\0';
    }

  private:
    std::istream& stream;
    uint64_t rest;
    bool ok = true;
};

// Value-initialised records, or null for none.
template <typename T> bool Allocate(std::unique_ptr<T[]>& array, uint16_t count) {
    if (count == 0) {
        array.reset();
        return true;
    }
    array.reset(new (std::nothrow) T[count]());
    return array != nullptr;
}

void ReadKeys(FieldReader& in, MS3DKEYFRAME* keys, uint16_t count) {
    for (uint16_t i = 0; i < count; i++) {
        keys[i].time = in.F32();
        in.Floats(keys[i].value, 3);
    }
}

bool ReadVertices(FieldReader& in, MS3D& m) {
    const uint16_t count = in.U16();
    if (!in.Holds(count, kVertexBytes)) {
        return Fail(kTruncated);
    }
    if (!Allocate(m.vertices, count)) {
        return Fail(kNoMemory);
    }
    m.numVertices = count;
    for (uint16_t i = 0; i < count; i++) {
        MS3DVERTEX& v = m.vertices[i];
        v.flags = in.U8();
        in.Floats(v.location, 3);
        v.boneId = in.I8();
        v.referenceCount = in.U8();
    }
    return in.Ok() || Fail(kTruncated);
}

bool ReadTriangles(FieldReader& in, MS3D& m) {
    const uint16_t count = in.U16();
    if (!in.Holds(count, kTriangleBytes)) {
        return Fail(kTruncated);
    }
    if (!Allocate(m.triangles, count)) {
        return Fail(kNoMemory);
    }
    m.numTriangles = count;
    for (uint16_t i = 0; i < count; i++) {
        MS3DTRIANGLE& t = m.triangles[i];
        t.flags = in.U16();
        for (uint16_t& index : t.vertexIndices) {
            index = in.U16();
        }
        for (float* normal : t.vertexNormals) {
            in.Floats(normal, 3);
        }
        in.Floats(t.s, 3);
        in.Floats(t.t, 3);
        t.smoothingGroup = in.U8();
        t.groupIndex = in.U8();
        if (!in.Ok()) {
            return Fail(kTruncated);
        }
        for (uint16_t index : t.vertexIndices) {
            if (index >= m.numVertices) {
                return Fail(kBadVertexIndex);
            }
        }
    }
    return true;
}

bool ReadGroups(FieldReader& in, MS3D& m) {
    const uint16_t count = in.U16();
    if (!in.Holds(count, kGroupBytesMin)) {
        return Fail(kTruncated);
    }
    if (!Allocate(m.groups, count)) {
        return Fail(kNoMemory);
    }
    m.numGroups = count;
    for (uint16_t i = 0; i < count; i++) {
        MS3DGROUP& g = m.groups[i];
        g.flags = in.U8();
        in.Text(g.name, sizeof g.name);
        const uint16_t numTriangles = in.U16();
        if (!in.Holds(numTriangles, 2)) {
            return Fail(kTruncated);
        }
        if (!Allocate(g.triangleIndices, numTriangles)) {
            return Fail(kNoMemory);
        }
        g.numTriangles = numTriangles;
        for (uint16_t k = 0; k < numTriangles; k++) {
            g.triangleIndices[k] = in.U16();
        }
        g.materialIndex = in.I8();
        if (!in.Ok()) {
            return Fail(kTruncated);
        }
        for (uint16_t k = 0; k < numTriangles; k++) {
            if (g.triangleIndices[k] >= m.numTriangles) {
                return Fail(kBadTriangleIndex);
            }
        }
    }
    return true;
}

bool ReadMaterials(FieldReader& in, MS3D& m) {
    const uint16_t count = in.U16();
    if (!in.Holds(count, kMaterialBytes)) {
        return Fail(kTruncated);
    }
    if (!Allocate(m.materials, count)) {
        return Fail(kNoMemory);
    }
    m.numMaterials = count;
    for (uint16_t i = 0; i < count; i++) {
        MS3DMATERIAL& mat = m.materials[i];
        in.Text(mat.name, sizeof mat.name);
        in.Floats(mat.ambient, 4);
        in.Floats(mat.diffuse, 4);
        in.Floats(mat.specular, 4);
        in.Floats(mat.emissive, 4);
        mat.shininess = in.F32();
        mat.transparency = in.F32();
        mat.mode = in.I8();
        in.Text(mat.texture, sizeof mat.texture);
        in.Text(mat.alphamap, sizeof mat.alphamap);
    }
    return in.Ok() || Fail(kTruncated);
}

bool ReadAnimation(FieldReader& in, MS3D& m) {
    m.animationFPS = in.F32();
    in.F32(); // the current time is of no use to a model that is not animated
    m.totalFrames = in.I32();
    if (!in.Ok()) {
        return Fail(kTruncated);
    }
    m.totalTime = float(double(m.totalFrames) * 1000.0 / double(m.animationFPS));
    return true;
}

bool ReadJoints(FieldReader& in, MS3D& m) {
    const uint16_t count = in.U16();
    if (!in.Holds(count, kJointBytesMin)) {
        return Fail(kTruncated);
    }
    if (!Allocate(m.joints, count)) {
        return Fail(kNoMemory);
    }
    m.numJoints = count;
    for (uint16_t i = 0; i < count; i++) {
        MS3DJOINT& j = m.joints[i];
        j.flags = in.U8();
        in.Text(j.name, sizeof j.name);
        in.Text(j.parentName, sizeof j.parentName);
        in.Floats(j.rotation, 3);
        in.Floats(j.position, 3);
        const uint16_t numRotationKeys = in.U16();
        const uint16_t numTranslationKeys = in.U16();
        if (!in.Holds(uint32_t(numRotationKeys) + numTranslationKeys, kKeyBytes)) {
            return Fail(kTruncated);
        }
        if (!Allocate(j.rotationKeys, numRotationKeys) ||
            !Allocate(j.translationKeys, numTranslationKeys)) {
            return Fail(kNoMemory);
        }
        j.numRotationKeys = numRotationKeys;
        j.numTranslationKeys = numTranslationKeys;
        ReadKeys(in, j.rotationKeys.get(), numRotationKeys);
        ReadKeys(in, j.translationKeys.get(), numTranslationKeys);
        if (!in.Ok()) {
            return Fail(kTruncated);
        }
    }
    return true;
}

} // namespace

MS3D::~MS3D() {
    Release();
}

bool MS3D::LoadFromFStream(std::istream& stream) {
    Release();
    uint64_t rest = 0;
    if (!MeasureRest(stream, rest)) {
        return Fail(kUnreadable);
    }
    FieldReader in(stream, rest);
    char id[10];
    in.Bytes(id, sizeof id);
    const int32_t version = in.I32();
    if (!in.Ok() || std::memcmp(id, "MS3D000000", sizeof id) != 0 ||
        (version != 3 && version != 4)) {
        return Fail(kNotValid);
    }
    if (!ReadVertices(in, *this) || !ReadTriangles(in, *this) || !ReadGroups(in, *this) ||
        !ReadMaterials(in, *this) || !ReadAnimation(in, *this) || !ReadJoints(in, *this)) {
        // Half a model is no use to anyone, and an empty record is safe to keep.
        Release();
        return false;
    }
    return true;
}

void MS3D::Scale(float factor) {
    for (uint16_t i = 0; i < numVertices; i++) {
        for (float& c : vertices[i].location) {
            c *= factor;
        }
    }
    for (uint16_t i = 0; i < numJoints; i++) {
        MS3DJOINT& j = joints[i];
        for (float& c : j.position) {
            c *= factor;
        }
        for (uint16_t k = 0; k < j.numTranslationKeys; k++) {
            for (float& c : j.translationKeys[k].value) {
                c *= factor;
            }
        }
    }
}

void MS3D::Release() {
    numVertices = 0;
    vertices.reset();
    numTriangles = 0;
    triangles.reset();
    numGroups = 0;
    groups.reset(); // each group frees its own triangle indices
    numMaterials = 0;
    materials.reset();
    numJoints = 0;
    joints.reset(); // each joint frees its own keys
    totalFrames = 0;
    animationFPS = 0;
    totalTime = 0;
}
