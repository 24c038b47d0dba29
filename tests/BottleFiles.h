#ifndef TUMBLIX_TESTS_BOTTLEFILES_H
#define TUMBLIX_TESTS_BOTTLEFILES_H

#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "brewlib/Ms3dWriter.h"

#include <cstdint>
#include <string>
#include <vector>

// Small bottle types for tests, written with the real writers.
namespace fixtures {

// An image of one colour, and the same with its corners (and so the texel
// sampled at (0, 0)) in another.
brew::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b);
brew::Image WithCorners(brew::Image image, uint8_t r, uint8_t g, uint8_t b);

// Adds a rectangle w by h centred at (cx, cy, z), facing +z (or -z when
// facing is -1), as two triangles in a new group with the material index.
void AddQuad(brew::Ms3dModel& model, float cx, float cy, float z, float w, float h,
             int8_t materialIndex, int facing = 1);

struct BottleSpec {
    std::string name = "Test Bottle";
    uint8_t alpha = 255;
    uint8_t tag = 0;
    uint32_t flags = 0;
    brew::Ms3dModel model;
    // Texture slots in order; an empty image makes a non-image lump.
    std::vector<brew::Image> slots;
    std::vector<uint32_t> alphaModes; // per slot, 0 when missing
};

// A bottle upright along y: a box of the given height and half-width, with
// a glass group and one label group (material 1).
BottleSpec Upright(const std::string& name, float height = 20.0f, float halfWidth = 3.0f);

brew::Bytes Encode(const BottleSpec& spec);
void Write(const std::string& path, const BottleSpec& spec);

// Writes bytes to path (throwing when it cannot) and returns the path.
std::string WriteBytes(const std::string& path, const brew::Bytes& bytes);

} // namespace fixtures

#endif
