// Writes a few valid models for fuzz_ms3d to start from.
#include "brewlib/ContainerWriter.h"
#include "brewlib/Ms3dWriter.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

brew::Ms3dKey Key(float time, float x, float y, float z) {
    brew::Ms3dKey k;
    k.time = time;
    k.value[0] = x;
    k.value[1] = y;
    k.value[2] = z;
    return k;
}

// A six-sided tube, a glass group over all of it and a label group.
brew::Ms3dModel Tube() {
    brew::Ms3dModel m;
    const int sides = 6;
    for (int ring = 0; ring < 2; ring++) {
        for (int i = 0; i < sides; i++) {
            brew::Ms3dVertex v;
            const double a = 2 * 3.141592653589793 * i / sides;
            v.location[0] = float(std::cos(a));
            v.location[1] = ring == 0 ? -2.0f : 2.0f;
            v.location[2] = float(std::sin(a));
            m.vertices.push_back(v);
        }
    }
    brew::Ms3dGroup glass, label;
    glass.name = "glass";
    glass.materialIndex = 0;
    label.name = "label";
    label.materialIndex = 1;
    for (int i = 0; i < sides; i++) {
        const uint16_t a = uint16_t(i), b = uint16_t((i + 1) % sides);
        for (int half = 0; half < 2; half++) {
            brew::Ms3dTriangle t;
            t.vertexIndices[0] = half == 0 ? a : b;
            t.vertexIndices[1] = half == 0 ? b : uint16_t(b + sides);
            t.vertexIndices[2] = uint16_t(a + sides);
            for (int k = 0; k < 3; k++) {
                t.vertexNormals[k][0] = 1;
                t.s[k] = float(k) / 2;
                t.t[k] = float(half);
            }
            glass.triangleIndices.push_back(uint16_t(m.triangles.size()));
            if (i < 2) {
                label.triangleIndices.push_back(uint16_t(m.triangles.size()));
            }
            m.triangles.push_back(t);
        }
    }
    m.groups = {glass, label};
    brew::Ms3dMaterial mat;
    mat.name = "glass";
    mat.texture = "glass.tga";
    m.materials = {mat};
    return m;
}

bool Write(const std::string& folder, const std::string& name, const brew::Ms3dModel& m) {
    std::string error;
    if (!brew::WriteFileBytes(folder + "/" + name, brew::EncodeMS3D(m), &error)) {
        std::fprintf(stderr, "seeds_ms3d: %s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seeds_ms3d FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];

    brew::Ms3dModel empty;
    empty.version = 3;

    brew::Ms3dModel tube = Tube();

    brew::Ms3dModel animated = Tube();
    brew::Ms3dJoint root, child;
    root.name = "root";
    root.position[1] = 1;
    root.rotationKeys = {Key(0, 0, 0, 0), Key(1, 0, 90, 0)};
    root.translationKeys = {Key(0, 0, 0, 0)};
    child.name = "child";
    child.parentName = "root";
    child.translationKeys = {Key(0, 1, 0, 0), Key(2, 0, 1, 0)};
    animated.joints = {root, child};

    brew::Ms3dModel emptyGroup = Tube();
    emptyGroup.groups[1].triangleIndices.clear();

    // A large one: the tube repeated to some megabytes.
    brew::Ms3dModel large = Tube();
    const brew::Ms3dModel one = Tube();
    while (large.vertices.size() + one.vertices.size() < 20000) {
        const uint16_t base = uint16_t(large.vertices.size());
        const uint16_t firstTriangle = uint16_t(large.triangles.size());
        large.vertices.insert(large.vertices.end(), one.vertices.begin(), one.vertices.end());
        for (brew::Ms3dTriangle t : one.triangles) {
            for (uint16_t& v : t.vertexIndices) {
                v = uint16_t(v + base);
            }
            large.triangles.push_back(t);
        }
        for (size_t k = 0; k < one.triangles.size(); k++) {
            large.groups[0].triangleIndices.push_back(uint16_t(firstTriangle + k));
        }
    }

    const bool ok =
        Write(folder, "seed-large.ms3d", large) && Write(folder, "seed-empty.ms3d", empty) &&
        Write(folder, "seed-tube.ms3d", tube) && Write(folder, "seed-animated.ms3d", animated) &&
        Write(folder, "seed-empty-group.ms3d", emptyGroup);
    return ok ? 0 : 1;
}
