// Seed models for fuzz_ms3d: an empty one of version 3, a small one, an animated one, one with an
// empty group, and a large one of some megabytes.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        brew::Ms3dModel empty;
        empty.version = 3;
        brew::Ms3dModel emptyGroup = seeds::Model(4);
        emptyGroup.groups[1].triangleIndices.clear();
        return seeds::Files{{"empty.ms3d", brew::EncodeMS3D(empty)},
                            {"small.ms3d", brew::EncodeMS3D(seeds::Model(4))},
                            {"animated.ms3d", brew::EncodeMS3D(seeds::Model(4, true))},
                            {"empty-group.ms3d", brew::EncodeMS3D(emptyGroup)},
                            {"large.ms3d", brew::EncodeMS3D(seeds::Model(16000, true))}};
    });
}
