#include "Ms3dCheck.h"

#include <cstring>

namespace {

class Reader {
  public:
    explicit Reader(const brew::Bytes& b) : bytes(b) {}
    bool Skip(size_t n) {
        if (n > bytes.size() - at) {
            return false;
        }
        at += n;
        return true;
    }
    bool U16(unsigned* v) {
        if (2 > bytes.size() - at) {
            return false;
        }
        *v = bytes[at] | (bytes[at + 1] << 8);
        at += 2;
        return true;
    }
    bool U8(unsigned* v) {
        if (at >= bytes.size()) {
            return false;
        }
        *v = bytes[at++];
        return true;
    }
    const uint8_t* Here() const { return bytes.data() + at; }

  private:
    const brew::Bytes& bytes;
    size_t at = 0;
};

bool Fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

unsigned U16At(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}

} // namespace

bool CheckMs3d(const brew::Bytes& file, Ms3dSummary* summary, std::string* error) {
    const std::string cut = "the model ends early, in its ";
    if (file.size() < 14 || std::memcmp(file.data(), "MS3D000000", 10) != 0) {
        return Fail(error, "not a MilkShape 3D model (binary .ms3d)");
    }
    const int32_t version =
        int32_t(file[10] | (file[11] << 8) | (file[12] << 16) | (uint32_t(file[13]) << 24));
    if (version != 3 && version != 4) {
        return Fail(error, "MilkShape 3D model version " + std::to_string(version) +
                               "; the saver reads versions 3 and 4");
    }
    Reader r(file);
    r.Skip(14);

    unsigned numVertices = 0;
    if (!r.U16(&numVertices) || !r.Skip(size_t(numVertices) * 15)) {
        return Fail(error, cut + "vertices");
    }
    unsigned numTriangles = 0;
    if (!r.U16(&numTriangles)) {
        return Fail(error, cut + "triangles");
    }
    for (unsigned t = 0; t < numTriangles; t++) {
        const uint8_t* tri = r.Here();
        if (!r.Skip(70)) {
            return Fail(error, cut + "triangles");
        }
        for (int k = 0; k < 3; k++) {
            if (U16At(tri + 2 + 2 * k) >= numVertices) {
                return Fail(error, "triangle " + std::to_string(t) +
                                       " names a vertex the model does not have");
            }
        }
    }
    unsigned numGroups = 0;
    if (!r.U16(&numGroups)) {
        return Fail(error, cut + "groups");
    }
    Ms3dSummary s;
    s.numVertices = int(numVertices);
    s.numTriangles = int(numTriangles);
    for (unsigned g = 0; g < numGroups; g++) {
        const uint8_t* name = r.Here() + 1;
        unsigned count = 0;
        if (!r.Skip(33) || !r.U16(&count)) {
            return Fail(error, cut + "groups");
        }
        s.groupNames.emplace_back(reinterpret_cast<const char*>(name),
                                  strnlen(reinterpret_cast<const char*>(name), 32));
        for (unsigned k = 0; k < count; k++) {
            unsigned index = 0;
            if (!r.U16(&index)) {
                return Fail(error, cut + "groups");
            }
            if (index >= numTriangles) {
                return Fail(error, "group '" + s.groupNames.back() +
                                       "' names a triangle the model does not have");
            }
        }
        unsigned material = 0;
        if (!r.U8(&material)) {
            return Fail(error, cut + "groups");
        }
        s.groupMaterials.push_back(int(int8_t(material)));
    }
    unsigned numMaterials = 0;
    if (!r.U16(&numMaterials) || !r.Skip(size_t(numMaterials) * 361)) {
        return Fail(error, cut + "materials");
    }
    if (!r.Skip(12)) {
        return Fail(error, cut + "animation section");
    }
    unsigned numJoints = 0;
    if (!r.U16(&numJoints)) {
        return Fail(error, cut + "joints");
    }
    for (unsigned j = 0; j < numJoints; j++) {
        unsigned rotationKeys = 0, translationKeys = 0;
        if (!r.Skip(1 + 32 + 32 + 12 + 12) || !r.U16(&rotationKeys) || !r.U16(&translationKeys) ||
            !r.Skip((size_t(rotationKeys) + translationKeys) * 16)) {
            return Fail(error, cut + "joints");
        }
    }
    *summary = std::move(s);
    return true;
}
