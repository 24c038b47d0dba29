// Seed resource containers for fuzz_resfile.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        const std::vector<brew::Lump> lumps = {
            brew::ImageLump(seeds::Picture(8, 8, 4), true, 2),
            brew::ImageLump(seeds::Picture(6, 2, 3), false, 1),
            seeds::OtherLump(12),
            brew::ImageLump(seeds::Picture(4, 4, 3), true, 0),
        };
        brew::Lump broken = lumps[3];
        broken.body[2] = 3; // greyscale, refused
        const brew::Lump large = brew::ImageLump(seeds::LargePicture(), false, 1);
        return seeds::Files{
            {"dewkin.works", brew::EncodeResourceFile(lumps)},
            {"empty.works", brew::EncodeResourceFile({})},
            {"one.works", brew::EncodeResourceFile({lumps[1]})},
            {"broken.works", brew::EncodeResourceFile({lumps[1], broken, lumps[0]})},
            {"large.works", brew::EncodeResourceFile({lumps[0], large})},
        };
    });
}
