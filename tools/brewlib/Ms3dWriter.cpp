#include "brewlib/Ms3dWriter.h"

#include <stdexcept>

namespace brew {

namespace {

uint16_t Count(size_t n, const char* what) {
    if (n > 0xffff) {
        throw std::invalid_argument(std::string("EncodeMS3D: too many ") + what);
    }
    return uint16_t(n);
}

void Keys(ByteWriter& w, const std::vector<Ms3dKey>& keys) {
    for (const Ms3dKey& k : keys) {
        w.F32(k.time);
        for (float v : k.value)
            w.F32(v);
    }
}

} // namespace

Bytes EncodeMS3D(const Ms3dModel& m) {
    Bytes out;
    ByteWriter w(out);
    w.Text(m.id, 10);
    w.I32(m.version);

    w.U16(Count(m.vertices.size(), "vertices"));
    for (const Ms3dVertex& v : m.vertices) {
        w.U8(v.flags);
        for (float f : v.location)
            w.F32(f);
        w.I8(v.boneId);
        w.U8(v.referenceCount);
    }

    w.U16(Count(m.triangles.size(), "triangles"));
    for (const Ms3dTriangle& t : m.triangles) {
        w.U16(t.flags);
        for (uint16_t i : t.vertexIndices)
            w.U16(i);
        for (const auto& n : t.vertexNormals)
            for (float f : n)
                w.F32(f);
        for (float f : t.s)
            w.F32(f);
        for (float f : t.t)
            w.F32(f);
        w.U8(t.smoothingGroup);
        w.U8(t.groupIndex);
    }

    w.U16(Count(m.groups.size(), "groups"));
    for (const Ms3dGroup& g : m.groups) {
        w.U8(g.flags);
        w.Text(g.name.substr(0, 31), 32);
        w.U16(Count(g.triangleIndices.size(), "triangles in a group"));
        for (uint16_t i : g.triangleIndices)
            w.U16(i);
        w.I8(g.materialIndex);
    }

    w.U16(Count(m.materials.size(), "materials"));
    for (const Ms3dMaterial& mat : m.materials) {
        w.Text(mat.name.substr(0, 31), 32);
        for (const float* c : {mat.ambient, mat.diffuse, mat.specular, mat.emissive})
            for (int k = 0; k < 4; k++)
                w.F32(c[k]);
        w.F32(mat.shininess);
        w.F32(mat.transparency);
        w.I8(mat.mode);
        w.Text(mat.texture.substr(0, 127), 128);
        w.Text(mat.alphamap.substr(0, 127), 128);
    }

    w.F32(m.animationFPS);
    w.F32(m.currentTime);
    w.I32(m.totalFrames);

    w.U16(Count(m.joints.size(), "joints"));
    for (const Ms3dJoint& j : m.joints) {
        w.U8(j.flags);
        w.Text(j.name.substr(0, 31), 32);
        w.Text(j.parentName.substr(0, 31), 32);
        for (float f : j.rotation)
            w.F32(f);
        for (float f : j.position)
            w.F32(f);
        w.U16(Count(j.rotationKeys.size(), "rotation keys"));
        w.U16(Count(j.translationKeys.size(), "translation keys"));
        Keys(w, j.rotationKeys);
        Keys(w, j.translationKeys);
    }
    return out;
}

} // namespace brew
