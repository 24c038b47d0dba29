// Seed images for fuzz_tga: both types, both depths, a top-down one, and
// damaged ones.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        seeds::Files files;
        for (uint32_t channels : {3u, 4u}) {
            for (bool rle : {false, true}) {
                brew::Bytes bytes = brew::EncodeTGA(seeds::Picture(9, 5, channels), rle);
                bytes[17] |= channels == 4 && rle ? 0x20 : 0; // rows top-down
                const std::string name = std::to_string(channels) + (rle ? "rle" : "");
                files.push_back({name + ".tga", bytes});
                files.push_back({name + "-cut.tga", brew::Bytes(bytes.begin(), bytes.end() - 3)});
            }
        }
        // One run more than the image holds.
        brew::Bytes over = brew::EncodeTGA(seeds::Picture(2, 2, 3), true);
        over.insert(over.end(), {0x80, 1, 2, 3});
        over[12] = 1;
        // Large ones: a real-sized image, a header at the edge bound over a
        // body that cannot fill it, and a header asking for 65535 x 65535
        // over a small run-length body.
        brew::Bytes edge = brew::EncodeTGA(seeds::Picture(64, 64, 3), true), huge = edge;
        edge[12] = edge[14] = 0;
        edge[13] = edge[15] = 0x10;
        huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
        files.insert(files.end(), {{"over.tga", over},
                                   {"large.tga", brew::EncodeTGA(seeds::LargePicture(), true)},
                                   {"edge.tga", edge},
                                   {"huge.tga", huge}});
        return files;
    });
}
