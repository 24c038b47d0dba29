// Seeds for fuzz_brew_input: small TGA images of both kinds and a model.
#include "brewlib/ContainerWriter.h"
#include "brewlib/Ms3dWriter.h"
#include "brewlib/TgaWriter.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_brew_input FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    brew::Image image(5, 3, 4);
    for (size_t i = 0; i < image.pixels.size(); i++) {
        image.pixels[i] = uint8_t(i % 7 < 3 ? 40 : i);
    }
    brew::Ms3dModel model;
    model.vertices.resize(3);
    model.triangles.resize(1);
    model.triangles[0].vertexIndices[1] = 1;
    model.triangles[0].vertexIndices[2] = 2;
    model.groups.resize(1);
    model.groups[0].triangleIndices = {0};
    model.materials.resize(1);
    std::string error;
    brew::Image large(1024, 768, 4);
    for (size_t i = 0; i < large.pixels.size(); i++) {
        large.pixels[i] = uint8_t(i / 4 % 3 == 0 ? i : 9);
    }
    bool ok = brew::WriteFileBytes(dir + "/large.tga", brew::EncodeTGA(large, true), &error) &&
              brew::WriteFileBytes(dir + "/plain.tga", brew::EncodeTGA(image, false), &error) &&
              brew::WriteFileBytes(dir + "/rle.tga", brew::EncodeTGA(image, true), &error) &&
              brew::WriteFileBytes(dir + "/model.ms3d", brew::EncodeMS3D(model), &error);
    if (!ok) {
        std::fprintf(stderr, "seeds_brew_input: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
