// Seed images for fuzz_tga: both types, both depths, and a few damaged ones.
#include "SeedImages.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    for (uint32_t channels : {3u, 4u}) {
        for (bool rle : {false, true}) {
            const brew::Image image = seeds::Picture(9, 5, channels);
            const std::string name =
                std::string(rle ? "rle" : "flat") + std::to_string(channels * 8);
            brew::Bytes bytes = brew::EncodeTGA(image, rle);
            ok = seeds::Write(folder, name + ".tga", bytes) && ok;
            brew::Bytes cut(bytes.begin(), bytes.end() - 3);
            ok = seeds::Write(folder, name + "-cut.tga", cut) && ok;
            brew::Bytes topDown = bytes;
            topDown[17] |= 0x20;
            ok = seeds::Write(folder, name + "-topdown.tga", topDown) && ok;
        }
    }
    // One run more than the image holds.
    brew::Bytes over = brew::EncodeTGA(seeds::Picture(2, 2, 3), true);
    over.insert(over.end(), {0x80, 1, 2, 3});
    over[12] = 1;
    ok = seeds::Write(folder, "over.tga", over) && ok;
    // Large ones: a real-sized image, a header at the edge bound over a body
    // that cannot fill it, and a header asking for 65535 x 65535 over a small
    // run-length body.
    ok = seeds::Write(folder, "large.tga", brew::EncodeTGA(seeds::LargePicture(), true)) && ok;
    brew::Bytes edge = brew::EncodeTGA(seeds::Picture(64, 64, 3), true);
    edge[12] = edge[14] = 0;
    edge[13] = edge[15] = 0x10;
    ok = seeds::Write(folder, "edge.tga", edge) && ok;
    brew::Bytes huge = brew::EncodeTGA(seeds::Picture(64, 64, 3), true);
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    ok = seeds::Write(folder, "huge.tga", huge) && ok;
    return ok ? 0 : 1;
}
