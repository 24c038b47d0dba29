#ifndef TUMBLIX_FUZZ_SEEDS_H
#define TUMBLIX_FUZZ_SEEDS_H

// What the seed programs share: images, lumps, a model, and writing the
// files into the folder named on the command line.

#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "brewlib/Ms3dWriter.h"
#include "brewlib/TgaWriter.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace seeds {

// Stripes and a flat area, so the run-length writer makes runs and raw packets.
inline brew::Image Picture(uint32_t w, uint32_t h, uint32_t channels) {
    brew::Image image(w, h, channels);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            for (uint32_t c = 0; c < channels; c++) {
                image.At(x, y)[c] = x < w / 2 ? uint8_t(40 * c) : uint8_t(x * 7 + y * 13 + c);
            }
        }
    }
    return image;
}

// A picture a few megabytes large once encoded: the fuzzers run with inputs
// of up to 4 MB, and the decoders must be seen at the sizes files reach.
inline brew::Image LargePicture() {
    return Picture(1024, 768, 4);
}

inline brew::Lump OtherLump(size_t size) {
    brew::Lump lump;
    for (size_t i = 0; i < size; i++) {
        lump.body.push_back(uint8_t(i * 31));
    }
    return lump;
}

// A model with every part the reader takes: a strip of quads, a glass group
// over all of it and a label group over the first, a textured material and,
// with `joints`, two joints with keys.
inline brew::Ms3dModel Model(int quads, bool joints = false) {
    brew::Ms3dModel m;
    m.groups.resize(2);
    m.groups[0].name = "glass";
    m.groups[0].materialIndex = 0;
    m.groups[1].name = "label";
    m.materials.resize(1);
    m.materials[0].texture = "glass.tga";
    for (int i = 0; i <= quads; i++) {
        for (float y : {-2.0f, 2.0f}) {
            brew::Ms3dVertex v;
            v.location[0] = float(i);
            v.location[1] = y;
            m.vertices.push_back(v);
        }
    }
    for (int i = 0; i < 2 * quads; i++) {
        brew::Ms3dTriangle t;
        for (int k = 0; k < 3; k++) {
            t.vertexIndices[k] = uint16_t(i + k);
            t.vertexNormals[k][2] = 1;
            t.s[k] = float(k) / 2;
        }
        m.groups[i < 2 ? 1 : 0].triangleIndices.push_back(uint16_t(i));
        m.triangles.push_back(t);
    }
    if (joints) {
        m.joints.resize(2);
        m.joints[0].name = "root";
        m.joints[0].rotationKeys = {{0, {0, 0, 0}}, {1, {0, 90, 0}}};
        m.joints[0].translationKeys = {{0, {0, 0, 0}}};
        m.joints[1].name = "child";
        m.joints[1].parentName = "root";
        m.joints[1].translationKeys = {{0, {1, 0, 0}}, {2, {0, 1, 0}}};
    }
    return m;
}

using Files = std::vector<std::pair<std::string, brew::Bytes>>;

inline brew::Bytes Text(const std::string& text) {
    return brew::Bytes(text.begin(), text.end());
}

// A seed program's main: writes the files `make` returns into the folder
// named on the command line.
inline int Main(int argc, char** argv, Files (*make)()) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : make()) {
        std::string error;
        if (!brew::WriteFileBytes(std::string(argv[1]) + "/" + name, bytes, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace seeds

#endif
