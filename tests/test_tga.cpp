#include "BottleFiles.h"
#include "ErrorLog.h"
#include "TempDir.h"
#include "assets/TGALoader.h"
#include "brewlib/TgaWriter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TUMBLIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUMBLIX_ASAN 1
#endif
#endif

#ifdef TUMBLIX_ASAN
// Lets a test see a refused allocation as the null a real shortage gives.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=56";
}
#endif

namespace {

// The 18-byte header followed by the given body.
brew::Bytes Tga(uint8_t imageType, uint16_t width, uint16_t height, uint8_t bpp,
                std::initializer_list<uint8_t> body = {}) {
    const uint8_t w0 = uint8_t(width), w1 = uint8_t(width >> 8);
    const uint8_t h0 = uint8_t(height), h1 = uint8_t(height >> 8);
    brew::Bytes b = {0, 0, imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0, w0, w1, h0, h1, bpp, 0};
    // Room for the body first: without it GCC 12 at -O3 sees the insert copy
    // past the header's 18 bytes (-Warray-bounds), which -Werror stops.
    b.reserve(b.size() + body.size());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Runs of four pixels between distinct ones, so both kinds of packet occur.
brew::Image Gradient(uint32_t w, uint32_t h, uint32_t channels) {
    brew::Image image(w, h, channels);
    for (size_t i = 0; i < image.pixels.size(); i++) {
        const size_t p = i / channels;
        image.pixels[i] = uint8_t((p % 8 < 4 ? p / 8 : p + 100) * 7 + i % channels * 50);
    }
    return image;
}

// The image's pixels in file order: the writer stores the bottom row first.
std::vector<uint8_t> BottomUp(const brew::Image& image) {
    std::vector<uint8_t> out;
    for (uint32_t y = image.height; y-- > 0;) {
        out.insert(out.end(), image.At(0, y), image.At(0, y) + image.width * image.channels);
    }
    return out;
}

// In a child process that cannot allocate 64 MB (one 32-bit image at the
// edge bound): 0 when the decoding fails with exactly this alert and leaves
// no pixels.
int DecodeWithLittleMemory(const std::string& path, const std::string& text) {
    ErrorLog log;
    Texture t;
    std::ifstream s(path, std::ios::binary);
#ifndef TUMBLIX_ASAN
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(32) << 20);
    const rlimit limit = {room, room};
    setrlimit(RLIMIT_AS, &limit);
#endif
    const bool ok = LoadTGA2(&t, &s);
    const bool said = log.alerts() == std::vector<std::string>{"ERROR|" + text};
    return !ok && said && t.imageData == nullptr ? 0 : 1;
}

void ExpectFailureWithLittleMemory(const std::string& path, const std::string& text) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(std::_Exit(DecodeWithLittleMemory(path, text)), ::testing::ExitedWithCode(0), "")
        << text;
}

class TgaTest : public ::testing::Test {
  protected:
    std::string Write(const brew::Bytes& bytes, const std::string& name = "image.tga") {
        return fixtures::WriteBytes(tmp / name, bytes);
    }
    bool Decode(const brew::Bytes& bytes) {
        std::ifstream s(Write(bytes), std::ios::binary);
        return LoadTGA2(&texture, &s);
    }
    std::vector<uint8_t> Pixels() const {
        const GLubyte* p = texture.imageData;
        return p ? std::vector<uint8_t>(p, p + texture.width * texture.height * texture.bpp / 8)
                 : std::vector<uint8_t>();
    }
    // Expects exactly one alert with this text (and title) and no pixels.
    void ExpectFailure(const brew::Bytes& bytes, const std::string& text,
                       const std::string& title = "ERROR") {
        const size_t before = log.alerts().size();
        EXPECT_FALSE(Decode(bytes)) << text;
        ASSERT_EQ(log.alerts().size(), before + 1) << text;
        EXPECT_EQ(log.alerts().back(), title + "|" + text);
        EXPECT_EQ(texture.imageData, nullptr) << text;
    }

    TempDir tmp;
    ErrorLog log;
    Texture texture;
};

// Either type, top-down or bottom-up, decodes to R, G, B (A) in file order;
// hand-made run and raw packets cross rows.
TEST_F(TgaTest, BothTypesDecodeToRgbInFileOrderAndProblemsAreReported) {
    for (uint32_t channels : {3u, 4u}) {
        for (auto size : {std::pair<uint32_t, uint32_t>{1, 1}, {5, 3}, {300, 3}, {130, 130}}) {
            const brew::Image image = Gradient(size.first, size.second, channels);
            for (int kind = 0; kind < 4; kind++) {
                const bool rle = kind & 1;
                brew::Bytes bytes = brew::EncodeTGA(image, rle);
                bytes[17] = kind & 2 ? 0x20 : 0; // a top-down image keeps its file order too
                ASSERT_TRUE(Decode(bytes)) << channels << kind;
                EXPECT_EQ(texture.width, image.width);
                EXPECT_EQ(texture.height, image.height);
                EXPECT_EQ(texture.type, channels == 4 ? GLuint(GL_RGBA) : GLuint(GL_RGB));
                EXPECT_EQ(Pixels(), BottomUp(image)) << channels << kind << image.width;
            }
        }
    }
    // The writer's longest packets: a run of 128 crossing rows, 128 raw pixels.
    brew::Image varied(300, 1, 3);
    for (uint32_t x = 0; x < 300; x++) {
        varied.At(x, 0)[0] = uint8_t(x);
        varied.At(x, 0)[1] = uint8_t(x >> 8);
    }
    for (const brew::Image& image : {fixtures::Solid(10, 40, 1, 2, 3), varied}) {
        ASSERT_TRUE(Decode(brew::EncodeTGA(image, true)));
        EXPECT_EQ(Pixels(), BottomUp(image));
    }
    ASSERT_TRUE(Decode(Tga(10, 3, 2, 24, {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9})));
    EXPECT_EQ(Pixels(),
              (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
    ASSERT_TRUE(Decode(Tga(10, 1, 1, 32, {0x80, 10, 20, 30, 40})));
    EXPECT_EQ(Pixels(), (std::vector<uint8_t>{30, 20, 10, 40}));
    EXPECT_TRUE(log.alerts().empty());

    // Header, body and size problems are reported where they show.
    EXPECT_FALSE(LoadTGA2(&texture, nullptr));
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&texture, &closed));
    EXPECT_EQ(log.alerts(), std::vector<std::string>(2, "ERROR|Could not open texture file"));
    ExpectFailure(brew::Bytes(11, 0), "Could not read file header");

    // Image ID, colour map, colour-mapped, greyscale, both run-length kinds of
    // those, an x origin and a y origin's high byte.
    const size_t patches[][2] = {{0, 1}, {1, 1}, {2, 1}, {2, 3}, {2, 9}, {2, 11}, {8, 1}, {11, 1}};
    for (const auto& patch : patches) {
        brew::Bytes bytes = Tga(2, 2, 2, 24, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        bytes[patch[0]] = uint8_t(patch[1]);
        ExpectFailure(bytes, "TGA file be type 2 or type 10 ", "Invalid Image");
    }

    for (uint8_t type : {uint8_t(2), uint8_t(10)}) {
        const brew::Bytes whole = Tga(type, 1, 1, 24);
        ExpectFailure({whole.begin(), whole.end() - 1}, "Could not read info header");
        const uint16_t infos[][3] = {{0, 1, 24}, {1, 0, 24}, {1, 1, 16}, {1, 1, 8}, {1, 1, 33}};
        for (const auto& info : infos) {
            ExpectFailure(Tga(type, info[0], info[1], uint8_t(info[2]), {0x80, 0, 0, 0, 0, 0}),
                          "Invalid texture information");
            EXPECT_EQ(texture.bpp, info[2]); // the header's values are already in the record
        }
    }
    // Packets describing more pixels than the image holds are refused (with no
    // write past the buffer); pixel data ending early is reported where it ends.
    brew::Bytes flat = brew::EncodeTGA(Gradient(3, 3, 3), false);
    flat.pop_back();
    brew::Bytes headers = Tga(10, 4, 4, 24);
    for (int i = 0; i < 8; i++) {
        headers.insert(headers.end(), {0x00, 1, 2, 3});
    }
    const std::pair<brew::Bytes, const char*> cases[] = {
        {Tga(10, 2, 2, 32, {0x82, 1, 2, 3, 4, 0x81, 5, 6, 7, 8}), "Too many pixels read"},
        {Tga(10, 3, 1, 24, {0x00, 1, 1, 1, 0x02, 2, 2, 2, 3, 3, 3, 4, 4, 4}),
         "Too many pixels read"},
        {Tga(10, 1, 1, 24, {0x81, 1, 2, 3}), "Too many pixels read"},
        {flat, "Could not read image data"},
        {headers, "Could not read RLE header"},
        {Tga(10, 4, 4, 24, {1, 1, 2, 3, 4, 5, 6, 0x80, 1, 2, 3, 2, 9, 9, 9, 9}),
         "Could not read image data"},
        {Tga(10, 4, 4, 32, {0, 1, 2, 3, 4, 1, 1, 2, 3, 4, 5, 6, 7, 8, 0x8f, 1, 2, 3}),
         "Could not read from file"},
    };
    for (const auto& [bytes, text] : cases) {
        ExpectFailure(bytes, text);
    }
    // Exactly enough packets of 128 pixels decode: 257 pixels need three.
    brew::Bytes tight = Tga(10, 257, 1, 24, {0xff, 1, 2, 3, 0xff, 1, 2, 3, 0x80, 4, 5, 6});
    ASSERT_TRUE(Decode(tight));
    EXPECT_EQ(Pixels().back(), 4);
    tight.pop_back();
    ExpectFailure(tight, "Could not read from file");

    // A header asking for more than 4096 pixels on an edge, or an image the rest
    // of the file cannot fill, is refused before anything is allocated.
    const uint16_t edges[][3] = {{10, 0xffff, 0xffff}, {2, 4097, 1}, {10, 1, 4097}};
    for (const auto& e : edges) {
        ExpectFailureWithLittleMemory(Write(Tga(uint8_t(e[0]), e[1], e[2], 32), "large.tga"),
                                      "Image too large: " + std::to_string(e[1]) + " x " +
                                          std::to_string(e[2]) +
                                          " pixels (at most 4096 on an edge)");
    }
    // Bodies cut short: uncompressed; run-length at a packet header, inside a
    // run packet's pixel, inside a raw packet's pixels.
    const std::pair<brew::Bytes, const char*> cuts[] = {
        {Tga(2, 4096, 4096, 32, {1, 2, 3, 4}), "Could not read image data"},
        {Tga(10, 4096, 4096, 32, {0xff, 1, 2, 3, 4, 0xff, 1, 2, 3, 4}),
         "Could not read RLE header"},
        {Tga(10, 4096, 4096, 32, {0xff, 1, 2, 3, 4, 0xff, 1, 2}), "Could not read from file"},
        {Tga(10, 4096, 4096, 32, {0xff, 1, 2, 3, 4, 0x03, 1, 2, 3, 4, 5, 6}),
         "Could not read image data"},
    };
    for (const auto& [bytes, text] : cuts) {
        ExpectFailureWithLittleMemory(Write(bytes, "cut.tga"), text);
    }
    // A sparse file long enough for the image: only the allocation can fail.
    const std::string sparse = Write(Tga(2, 4096, 4096, 32), "huge.tga");
    std::filesystem::resize_file(sparse, 18 + uint64_t(4096) * 4096 * 4);
    ExpectFailureWithLittleMemory(sparse, "Could not allocate memory for image");

    // The bound itself still decodes: 4096 x 4096 in runs of 128 pixels.
    brew::Bytes edge = Tga(10, 4096, 4096, 24);
    for (int i = 0; i < 4096 * 32; i++) {
        edge.insert(edge.end(), {0xff, 7, 8, 9});
    }
    ASSERT_TRUE(Decode(edge));
    EXPECT_EQ(Pixels().size(), size_t(4096) * 4096 * 3);
}

} // namespace
