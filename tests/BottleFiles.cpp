#include "BottleFiles.h"

#include "brewlib/TgaWriter.h"

#include <stdexcept>

namespace fixtures {

brew::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
    brew::Image image(w, h, 3);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = image.At(x, y);
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
    return image;
}

brew::Image WithCorners(brew::Image image, uint8_t r, uint8_t g, uint8_t b) {
    for (uint32_t y : {0u, image.height - 1}) {
        for (uint32_t x : {0u, image.width - 1}) {
            uint8_t* p = image.At(x, y);
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
    return image;
}

namespace {

uint16_t AddVertex(brew::Ms3dModel& model, float x, float y, float z) {
    brew::Ms3dVertex v;
    v.location[0] = x;
    v.location[1] = y;
    v.location[2] = z;
    model.vertices.push_back(v);
    return static_cast<uint16_t>(model.vertices.size() - 1);
}

void AddTriangle(brew::Ms3dModel& model, brew::Ms3dGroup& group, uint16_t a, uint16_t b, uint16_t c,
                 const float normal[3], const float st[3][2]) {
    brew::Ms3dTriangle t;
    const uint16_t idx[3] = {a, b, c};
    for (int k = 0; k < 3; k++) {
        t.vertexIndices[k] = idx[k];
        for (int j = 0; j < 3; j++)
            t.vertexNormals[k][j] = normal[j];
        t.s[k] = st[k][0];
        t.t[k] = st[k][1];
    }
    t.groupIndex = static_cast<uint8_t>(model.groups.size());
    group.triangleIndices.push_back(static_cast<uint16_t>(model.triangles.size()));
    model.triangles.push_back(t);
}

// A face from four corners given counter-clockwise as seen from outside.
void AddFace(brew::Ms3dModel& model, brew::Ms3dGroup& group, const float c[4][3],
             const float normal[3]) {
    uint16_t v[4];
    for (int i = 0; i < 4; i++)
        v[i] = AddVertex(model, c[i][0], c[i][1], c[i][2]);
    const float st0[3][2] = {{0, 1}, {1, 1}, {1, 0}};
    const float st1[3][2] = {{0, 1}, {1, 0}, {0, 0}};
    AddTriangle(model, group, v[0], v[1], v[2], normal, st0);
    AddTriangle(model, group, v[0], v[2], v[3], normal, st1);
}

} // namespace

void AddQuad(brew::Ms3dModel& model, float cx, float cy, float z, float w, float h,
             int8_t materialIndex, int facing) {
    brew::Ms3dGroup group;
    group.name = "quad" + std::to_string(model.groups.size());
    group.materialIndex = materialIndex;
    const float x0 = cx - w / 2, x1 = cx + w / 2, y0 = cy - h / 2, y1 = cy + h / 2;
    const float n[3] = {0, 0, float(facing)};
    if (facing > 0) {
        const float c[4][3] = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
        AddFace(model, group, c, n);
    } else {
        const float c[4][3] = {{x1, y0, z}, {x0, y0, z}, {x0, y1, z}, {x1, y1, z}};
        AddFace(model, group, c, n);
    }
    model.groups.push_back(group);
}

void AddBox(brew::Ms3dModel& model, float x0, float y0, float z0, float x1, float y1, float z1,
            int8_t materialIndex) {
    brew::Ms3dGroup group;
    group.name = "box" + std::to_string(model.groups.size());
    group.materialIndex = materialIndex;
    const float faces[6][4][3] = {
        {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, // +z
        {{x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}}, // -z
        {{x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}}, // +x
        {{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}, // -x
        {{x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}}, // +y
        {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}, // -y
    };
    const float normals[6][3] = {{0, 0, 1},  {0, 0, -1}, {1, 0, 0},
                                 {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
    for (int f = 0; f < 6; f++)
        AddFace(model, group, faces[f], normals[f]);
    model.groups.push_back(group);
}

BottleSpec Upright(const std::string& name, float height, float halfWidth) {
    BottleSpec spec;
    spec.name = name;
    AddBox(spec.model, -halfWidth, -height / 2, -halfWidth, halfWidth, height / 2, halfWidth, 0);
    AddQuad(spec.model, 0, 0, halfWidth + 0.1f, halfWidth * 1.5f, height / 3, 1);
    spec.slots = {Solid(4, 4, 200, 220, 255), Solid(4, 4, 255, 255, 0)};
    spec.alphaModes = {0, 0};
    return spec;
}

brew::Bytes Encode(const BottleSpec& spec) {
    brew::BottleHeader header;
    header.name = spec.name;
    header.alpha = spec.alpha;
    header.tag = spec.tag;
    header.flags = spec.flags;
    std::vector<brew::Lump> lumps;
    brew::Lump model;
    model.body = brew::EncodeMS3D(spec.model);
    lumps.push_back(model);
    for (size_t i = 0; i < spec.slots.size(); i++) {
        brew::Lump lump;
        if (spec.slots[i].width > 0) {
            lump.body = brew::EncodeTGA(spec.slots[i], false);
            lump.type = brew::LUMP_TGA;
            lump.alphaMode = i < spec.alphaModes.size() ? spec.alphaModes[i] : 0;
        } else {
            lump.body = {1, 2, 3, 4};
        }
        lumps.push_back(lump);
    }
    return brew::EncodeBottleFile(header, lumps);
}

void Write(const std::string& path, const BottleSpec& spec) {
    std::string error;
    if (!brew::WriteFileBytes(path, Encode(spec), &error)) {
        throw std::runtime_error(error);
    }
}

} // namespace fixtures
