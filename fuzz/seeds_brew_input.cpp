// Seeds for fuzz_brew_input: TGA images of both kinds and a model.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        const brew::Image image = seeds::Picture(5, 3, 4);
        return seeds::Files{{"large.tga", brew::EncodeTGA(seeds::LargePicture(), true)},
                            {"plain.tga", brew::EncodeTGA(image, false)},
                            {"rle.tga", brew::EncodeTGA(image, true)},
                            {"model.ms3d", brew::EncodeMS3D(seeds::Model(4, true))}};
    });
}
