// Seeds for fuzz_brew_input: TGA images of both kinds and a model.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [](const std::string& folder) {
        const brew::Image image = seeds::Picture(5, 3, 4);
        return seeds::Write(folder, "large.tga", brew::EncodeTGA(seeds::LargePicture(), true)) &&
               seeds::Write(folder, "plain.tga", brew::EncodeTGA(image, false)) &&
               seeds::Write(folder, "rle.tga", brew::EncodeTGA(image, true)) &&
               seeds::Write(folder, "model.ms3d", brew::EncodeMS3D(seeds::Model(4, true)));
    });
}
