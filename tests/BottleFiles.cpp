#include "BottleFiles.h"

#include "brewlib/TgaWriter.h"

#include <algorithm>
#include <stdexcept>

namespace fixtures {

brew::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
    brew::Image image(w, h, 3);
    for (size_t i = 0; i < image.pixels.size(); i++) {
        image.pixels[i] = i % 3 == 0 ? r : i % 3 == 1 ? g : b;
    }
    return image;
}

brew::Image WithCorners(brew::Image image, uint8_t r, uint8_t g, uint8_t b) {
    for (uint32_t y : {0u, image.height - 1}) {
        for (uint32_t x : {0u, image.width - 1}) {
            const uint8_t corner[3] = {r, g, b};
            std::copy(corner, corner + 3, image.At(x, y));
        }
    }
    return image;
}

namespace {

// A face from four corners given counter-clockwise as seen from outside, as
// two triangles of the group (which is about to be added to the model).
void AddFace(brew::Ms3dModel& model, brew::Ms3dGroup& group, const float c[4][3],
             const float normal[3]) {
    const uint16_t first = uint16_t(model.vertices.size());
    for (int i = 0; i < 4; i++) {
        model.vertices.push_back({0, {c[i][0], c[i][1], c[i][2]}, -1, 0});
    }
    const int corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
    const float st[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (const auto& tri : corners) {
        brew::Ms3dTriangle t;
        for (int k = 0; k < 3; k++) {
            t.vertexIndices[k] = uint16_t(first + tri[k]);
            std::copy(normal, normal + 3, t.vertexNormals[k]);
            t.s[k] = st[tri[k]][0];
            t.t[k] = st[tri[k]][1];
        }
        t.groupIndex = uint8_t(model.groups.size());
        group.triangleIndices.push_back(uint16_t(model.triangles.size()));
        model.triangles.push_back(t);
    }
}

} // namespace

void AddQuad(brew::Ms3dModel& model, float cx, float cy, float z, float w, float h,
             int8_t materialIndex, int facing) {
    brew::Ms3dGroup group{0, "quad" + std::to_string(model.groups.size()), {}, materialIndex};
    const float x0 = cx - w / 2, x1 = cx + w / 2, y0 = cy - h / 2, y1 = cy + h / 2;
    const float n[3] = {0, 0, float(facing)};
    const float front[4][3] = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
    const float back[4][3] = {{x1, y0, z}, {x0, y0, z}, {x0, y1, z}, {x1, y1, z}};
    AddFace(model, group, facing > 0 ? front : back, n);
    model.groups.push_back(group);
}

// A closed box from (x0, y0, z0) to (x1, y1, z1), one group.
static void AddBox(brew::Ms3dModel& model, float x0, float y0, float z0, float x1, float y1,
                   float z1, int8_t materialIndex) {
    brew::Ms3dGroup group{0, "box" + std::to_string(model.groups.size()), {}, materialIndex};
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
    const brew::BottleHeader header = {spec.name, 1, 0, spec.flags, spec.tag, spec.alpha};
    std::vector<brew::Lump> lumps = {{brew::EncodeMS3D(spec.model), brew::LUMP_OTHER, 0}};
    for (size_t i = 0; i < spec.slots.size(); i++) {
        if (spec.slots[i].width > 0) {
            const uint32_t mode = i < spec.alphaModes.size() ? spec.alphaModes[i] : 0;
            lumps.push_back(brew::ImageLump(spec.slots[i], false, mode));
        } else {
            lumps.push_back({{1, 2, 3, 4}, brew::LUMP_OTHER, 0});
        }
    }
    return brew::EncodeBottleFile(header, lumps);
}

void Write(const std::string& path, const BottleSpec& spec) {
    WriteBytes(path, Encode(spec));
}

std::string WriteBytes(const std::string& path, const brew::Bytes& bytes) {
    std::string error;
    if (!brew::WriteFileBytes(path, bytes, &error)) {
        throw std::runtime_error(error);
    }
    return path;
}

} // namespace fixtures
