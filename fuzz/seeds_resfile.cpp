// Seed resource containers for fuzz_resfile.
#include "SeedImages.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<brew::Lump> lumps = {
        seeds::ImageLump(seeds::Picture(8, 8, 4), true, 2),
        seeds::ImageLump(seeds::Picture(6, 2, 3), false, 1),
        seeds::OtherLump(12),
        seeds::ImageLump(seeds::Picture(4, 4, 3), true, 0),
    };
    bool ok = seeds::Write(folder, "dewkin.works", brew::EncodeResourceFile(lumps));
    ok = seeds::Write(folder, "empty.works", brew::EncodeResourceFile({})) && ok;
    ok = seeds::Write(folder, "one.works", brew::EncodeResourceFile({lumps[1]})) && ok;

    brew::Lump broken = lumps[3];
    broken.body[2] = 3; // greyscale, refused
    ok = seeds::Write(folder, "broken.works",
                      brew::EncodeResourceFile({lumps[1], broken, lumps[0]})) &&
         ok;
    ok = seeds::Write(folder, "large.works",
                      brew::EncodeResourceFile(
                          {lumps[0], seeds::ImageLump(seeds::LargePicture(), false, 1)})) &&
         ok;
    return ok ? 0 : 1;
}
