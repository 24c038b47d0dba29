// Seed bottle data files for fuzz_datafile.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        const std::vector<brew::Lump> lumps = {
            seeds::OtherLump(40), // where a bottle keeps its model
            brew::ImageLump(seeds::Picture(6, 4, 3), false, 0),
            brew::ImageLump(seeds::Picture(5, 3, 4), true, 1),
            brew::ImageLump(seeds::Picture(8, 2, 3), true, 2),
        };
        // Name, version major and minor, flags, tag, alpha.
        const brew::BottleHeader header{"Seed Bottle", 1, 0, 0, 3, 180}, plain,
            old{"Seed Bottle", 0, 9, 6, 3, 180}, newer{"Seed Bottle", 1, 1, 6, 3, 180};
        // An image lump whose last bytes are missing, with the length still right.
        brew::Lump cut = lumps[1];
        cut.body.resize(cut.body.size() - 5);
        const brew::Lump large = brew::ImageLump(seeds::LargePicture(), true, 0);
        return seeds::Files{
            {"bottle.brew", brew::EncodeBottleFile(header, lumps)},
            {"old.brew", brew::EncodeBottleFile(old, {lumps[0], lumps[2]})},
            {"empty.brew", brew::EncodeBottleFile(old, {})},
            {"newer.brew", brew::EncodeBottleFile(newer, lumps)},
            {"cut.brew", brew::EncodeBottleFile(plain, {lumps[0], cut, lumps[2]})},
            {"large.brew", brew::EncodeBottleFile(plain, {lumps[0], large})},
        };
    });
}
