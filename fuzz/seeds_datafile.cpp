// Seed bottle data files for fuzz_datafile.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [](const std::string& folder) {
        const std::vector<brew::Lump> lumps = {
            seeds::OtherLump(40), // where a bottle keeps its model
            seeds::ImageLump(seeds::Picture(6, 4, 3), false, 0),
            seeds::ImageLump(seeds::Picture(5, 3, 4), true, 1),
            seeds::ImageLump(seeds::Picture(8, 2, 3), true, 2),
        };
        brew::BottleHeader header, plain;
        header.name = "Seed Bottle";
        header.tag = 3;
        header.alpha = 180;
        bool ok = seeds::Write(folder, "bottle.brew", brew::EncodeBottleFile(header, lumps));
        header.versionMajor = 0;
        header.versionMinor = 9;
        header.flags = 6;
        ok = seeds::Write(folder, "old.brew",
                          brew::EncodeBottleFile(header, {lumps[0], lumps[2]})) &&
             seeds::Write(folder, "empty.brew", brew::EncodeBottleFile(header, {})) && ok;
        header.versionMajor = 1;
        header.versionMinor = 1;
        ok = seeds::Write(folder, "newer.brew", brew::EncodeBottleFile(header, lumps)) && ok;
        // An image lump whose last bytes are missing, with the length still right.
        brew::Lump cut = lumps[1];
        cut.body.resize(cut.body.size() - 5);
        const brew::Lump large = seeds::ImageLump(seeds::LargePicture(), true, 0);
        return seeds::Write(folder, "cut.brew",
                            brew::EncodeBottleFile(plain, {lumps[0], cut, lumps[2]})) &&
               seeds::Write(folder, "large.brew",
                            brew::EncodeBottleFile(plain, {lumps[0], large})) &&
               ok;
    });
}
