// Seed copies for fuzz_screencopy: a whole 4 x 3 picture in each row order,
// padded rows, and one a row short.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        seeds::Files files;
        for (uint8_t format : {0, 1, 2, 3, 4, 5}) {
            for (uint8_t stride : {16, 20}) {
                brew::Bytes bytes = {format, 4, 3, stride, 0, uint8_t(stride == 20), 0, 0};
                for (int i = 0; i < 3 * stride; i++) {
                    bytes.push_back(uint8_t(i * 37));
                }
                files.push_back({"copy" + std::to_string(format) + "-" + std::to_string(stride),
                                 bytes});
            }
        }
        brew::Bytes shortOne = files.front().second;
        shortOne.resize(shortOne.size() - 16);
        files.push_back({"short", shortOne});
        return files;
    });
}
