// Seed models for fuzz_ms3d: an empty one of version 3, a small one, an animated one, one with an
// empty group, and a large one of some megabytes.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [](const std::string& folder) {
        brew::Ms3dModel empty;
        empty.version = 3;
        brew::Ms3dModel emptyGroup = seeds::Model(4);
        emptyGroup.groups[1].triangleIndices.clear();
        return seeds::Write(folder, "empty.ms3d", brew::EncodeMS3D(empty)) &&
               seeds::Write(folder, "small.ms3d", brew::EncodeMS3D(seeds::Model(4))) &&
               seeds::Write(folder, "animated.ms3d", brew::EncodeMS3D(seeds::Model(4, true))) &&
               seeds::Write(folder, "empty-group.ms3d", brew::EncodeMS3D(emptyGroup)) &&
               seeds::Write(folder, "large.ms3d", brew::EncodeMS3D(seeds::Model(16000, true)));
    });
}
