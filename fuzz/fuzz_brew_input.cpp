// The packers' readers of files a user hands to tumblix-brew: TGA images and
// MilkShape 3D models.
#include "../tools/brew/Ms3dCheck.cpp"
#include "../tools/brew/TgaInput.cpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const brew::Bytes bytes(data, data + size);
    brew::Image image;
    std::string error;
    if (ReadTgaImage(bytes, &image, &error)) {
        // A decoded image must be exactly as large as its header says.
        if (image.pixels.size() != size_t(image.width) * image.height * image.channels) {
            __builtin_trap();
        }
    }
    Ms3dSummary summary;
    CheckMs3d(bytes, &summary, &error);
    return 0;
}
