// The TGA decoder on arbitrary bytes.
#include "FuzzInput.h"
#include "assets/TGALoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ifstream s(fuzzinput::Write(data, size), std::ios::binary);
    Texture texture;
    if (LoadTGA2(&texture, &s) && texture.imageData != nullptr) {
        // Touch the whole buffer, so a size mismatch shows.
        const size_t bytes = size_t(texture.width) * texture.height * (texture.bpp / 8);
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < bytes; i++) {
            sum = uint8_t(sum + texture.imageData[i]);
        }
    }
    return 0;
}
