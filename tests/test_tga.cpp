#include "AssetFiles.h"
#include "assets/TGALoader.h"
#include "brewlib/TgaWriter.h"

#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

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

const char* const kError = "ERROR";

// A 12-byte header template followed by the six info bytes.
brew::Bytes Header(uint8_t imageType, uint16_t width, uint16_t height, uint8_t bpp) {
    brew::Bytes b = {0, 0, imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    brew::ByteWriter w(b);
    w.U16(width);
    w.U16(height);
    w.U8(bpp);
    w.U8(0);
    return b;
}

void Append(brew::Bytes& bytes, std::initializer_list<uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

// Pixels of a distinct colour each, so any misplaced byte shows.
brew::Image Gradient(uint32_t w, uint32_t h, uint32_t channels) {
    brew::Image image(w, h, channels);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(10 + x);
            p[1] = uint8_t(100 + y);
            p[2] = uint8_t(200 + x + y);
            if (channels == 4) {
                p[3] = uint8_t(x * 16 + y);
            }
        }
    }
    return image;
}

// The image's pixels in file order: the writer stores the bottom row first.
std::vector<uint8_t> BottomUp(const brew::Image& image) {
    std::vector<uint8_t> out;
    for (uint32_t y = image.height; y-- > 0;) {
        const uint8_t* row = image.At(0, y);
        out.insert(out.end(), row, row + image.width * image.channels);
    }
    return out;
}

class TgaTest : public ::testing::Test {
  protected:
    // Decodes bytes from the start of a file holding them.
    bool Decode(const brew::Bytes& bytes) {
        std::ifstream s(folder.Write("image.tga", bytes), std::ios::binary);
        return LoadTGA2(&texture, &s);
    }
    std::vector<uint8_t> Pixels() const {
        const size_t size = size_t(texture.width) * texture.height * (texture.bpp / 8);
        return texture.imageData == nullptr
                   ? std::vector<uint8_t>()
                   : std::vector<uint8_t>(texture.imageData, texture.imageData + size);
    }
    // Expects exactly one alert with this title and text, and no pixels.
    void ExpectFailure(const brew::Bytes& bytes, const char* title, const char* text) {
        recorder.Clear();
        EXPECT_FALSE(Decode(bytes)) << text;
        ASSERT_EQ(recorder.alerts().size(), 1u) << text;
        EXPECT_EQ(recorder.alerts()[0].first, title);
        EXPECT_EQ(recorder.alerts()[0].second, text);
        EXPECT_EQ(texture.imageData, nullptr) << text;
    }

    TempFolder folder;
    AlertRecorder recorder;
    Texture texture;
};

TEST_F(TgaTest, BothTypesDecodeToRgbInFileOrder) {
    for (uint32_t channels : {3u, 4u}) {
        const brew::Image image = Gradient(5, 3, channels);
        for (bool rle : {false, true}) {
            ASSERT_TRUE(Decode(brew::EncodeTGA(image, rle))) << channels << rle;
            EXPECT_EQ(texture.width, 5u);
            EXPECT_EQ(texture.height, 3u);
            EXPECT_EQ(texture.bpp, channels * 8);
            EXPECT_EQ(texture.type, channels == 4 ? GLuint(GL_RGBA) : GLuint(GL_RGB));
            EXPECT_EQ(Pixels(), BottomUp(image)) << "channels " << channels << " rle " << rle;
            EXPECT_EQ(texture.texID, 0u);
        }
    }
    EXPECT_TRUE(recorder.alerts().empty());
}

TEST_F(TgaTest, TopDownImagesKeepTheirFileOrder) {
    const brew::Image image = Gradient(2, 2, 3);
    brew::Bytes bytes = brew::EncodeTGA(image, false);
    bytes[17] = 0x20; // descriptor: top row first
    ASSERT_TRUE(Decode(bytes));
    EXPECT_EQ(Pixels(), BottomUp(image));
}

TEST_F(TgaTest, RunAndRawPacketsCrossRows) {
    // 3 x 2 pixels: a run of four (crossing into the second row), then two raw.
    brew::Bytes bytes = Header(10, 3, 2, 24);
    Append(bytes, {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(Decode(bytes));
    EXPECT_EQ(Pixels(),
              (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7}));

    // A single run packet of one pixel is a whole 1 x 1 image; 32-bit keeps A last.
    bytes = Header(10, 1, 1, 32);
    Append(bytes, {0x80, 10, 20, 30, 40});
    ASSERT_TRUE(Decode(bytes));
    EXPECT_EQ(Pixels(), (std::vector<uint8_t>{30, 20, 10, 40}));
}

TEST_F(TgaTest, LongestPacketsCarry128Pixels) {
    brew::Bytes run = Header(10, 16, 8, 24);
    Append(run, {0xff, 7, 8, 9});
    ASSERT_TRUE(Decode(run));
    std::vector<uint8_t> expected;
    for (int i = 0; i < 128; i++) {
        Append(expected, {9, 8, 7});
    }
    EXPECT_EQ(Pixels(), expected);

    brew::Bytes raw = Header(10, 16, 8, 24);
    raw.push_back(0x7f);
    expected.clear();
    for (int i = 0; i < 128; i++) {
        Append(raw, {uint8_t(i), 0, uint8_t(255 - i)});
        Append(expected, {uint8_t(255 - i), 0, uint8_t(i)});
    }
    ASSERT_TRUE(Decode(raw));
    EXPECT_EQ(Pixels(), expected);
}

TEST_F(TgaTest, StopsReadingAtTheLastPixel) {
    brew::Bytes bytes = brew::EncodeTGA(Gradient(4, 4, 3), true);
    const size_t imageLength = bytes.size();
    Append(bytes, {0xde, 0xad});
    std::ifstream s(folder.Write("image.tga", bytes), std::ios::binary);
    ASSERT_TRUE(LoadTGA2(&texture, &s));
    EXPECT_EQ(s.tellg(), std::streamoff(imageLength));
}

// The packets describe one pixel more than the image holds: refused, and
// nothing lands past the buffer (AddressSanitizer watches the builds that
// run with it).
TEST_F(TgaTest, PacketsRunningPastTheImageAreRefused) {
    brew::Bytes run = Header(10, 2, 2, 32);
    Append(run, {0x82, 1, 2, 3, 4, 0x81, 5, 6, 7, 8});
    ExpectFailure(run, kError, "Too many pixels read");

    brew::Bytes raw = Header(10, 3, 1, 24);
    Append(raw, {0x00, 1, 1, 1, 0x02, 2, 2, 2, 3, 3, 3, 4, 4, 4});
    ExpectFailure(raw, kError, "Too many pixels read");

    brew::Bytes single = Header(10, 1, 1, 24);
    Append(single, {0x81, 1, 2, 3});
    ExpectFailure(single, kError, "Too many pixels read");
}

TEST_F(TgaTest, StreamProblemsAreReported) {
    recorder.Clear();
    EXPECT_FALSE(LoadTGA2(&texture, nullptr));
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&texture, &closed));
    ASSERT_EQ(recorder.alerts().size(), 2u);
    for (const auto& alert : recorder.alerts()) {
        EXPECT_EQ(alert, AlertRecorder::Alert(kError, "Could not open texture file"));
    }
    ExpectFailure(brew::Bytes(11, 0), kError, "Could not read file header");
}

TEST_F(TgaTest, OnlyTrueColourWithoutIdMapOrOriginIsAccepted) {
    const brew::Bytes good = Header(2, 2, 2, 24);
    const size_t patches[][2] = {
        {0, 1},  // image ID present
        {1, 1},  // colour map
        {2, 1},  // colour-mapped
        {2, 3},  // greyscale
        {2, 9},  // run-length colour-mapped
        {2, 11}, // run-length greyscale
        {8, 1},  // x origin
        {11, 1}, // y origin, high byte
    };
    for (const auto& patch : patches) {
        brew::Bytes bytes = good;
        bytes[patch[0]] = uint8_t(patch[1]);
        Append(bytes, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        ExpectFailure(bytes, "Invalid Image", "TGA file be type 2 or type 10 ");
    }
}

TEST_F(TgaTest, InfoHeaderProblemsAreReportedByBothReaders) {
    for (uint8_t imageType : {uint8_t(2), uint8_t(10)}) {
        brew::Bytes shortInfo = Header(imageType, 1, 1, 24);
        shortInfo.pop_back();
        ExpectFailure(shortInfo, kError, "Could not read info header");

        struct Info {
            uint16_t width, height;
            uint8_t bpp;
        };
        for (const Info& info :
             {Info{0, 1, 24}, Info{1, 0, 24}, Info{1, 1, 16}, Info{1, 1, 8}, Info{1, 1, 33}}) {
            brew::Bytes bytes = Header(imageType, info.width, info.height, info.bpp);
            Append(bytes, {0x80, 0, 0, 0, 0, 0, 0, 0});
            ExpectFailure(bytes, kError, "Invalid texture information");
            // The header's values are already in the record.
            EXPECT_EQ(texture.width, info.width);
            EXPECT_EQ(texture.bpp, info.bpp);
        }
    }
}

TEST_F(TgaTest, PixelDataEndingEarlyIsReportedWhereItEnds) {
    // Uncompressed, one byte short.
    brew::Bytes flat = brew::EncodeTGA(Gradient(3, 3, 3), false);
    flat.pop_back();
    ExpectFailure(flat, kError, "Could not read image data");
    EXPECT_EQ(texture.width, 3u);

    // Run-length: sixteen one-pixel raw packets, the file ends after eight.
    brew::Bytes headers = Header(10, 4, 4, 24);
    for (int i = 0; i < 8; i++) {
        Append(headers, {0x00, 1, 2, 3});
    }
    ExpectFailure(headers, kError, "Could not read RLE header");

    brew::Bytes rawPixel = Header(10, 4, 4, 24);
    Append(rawPixel, {0x01, 1, 2, 3, 4, 5, 6, 0x80, 1, 2, 3, 0x02, 9, 9, 9, 9});
    ExpectFailure(rawPixel, kError, "Could not read image data");

    brew::Bytes runPixel = Header(10, 4, 4, 32);
    Append(runPixel, {0x00, 1, 2, 3, 4, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x8f, 1, 2, 3});
    ExpectFailure(runPixel, kError, "Could not read from file");
}

// Runs in a child process that cannot allocate 64 MB (one 32-bit image at
// the edge bound): 0 when decoding path fails with exactly this message and
// leaves no pixels.
int DecodeWithLittleMemory(const std::string& path, const std::string& text) {
    AlertRecorder recorder;
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
    const bool reported =
        recorder.alerts().size() == 1 && recorder.alerts()[0] == AlertRecorder::Alert(kError, text);
    return !ok && reported && t.imageData == nullptr ? 0 : 1;
}

void ExpectFailureWithLittleMemory(const std::string& path, const std::string& text) {
    // A forked child that leaves at once: the parent's folder is the one in
    // use, and the parent removes it.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(std::_Exit(DecodeWithLittleMemory(path, text)), ::testing::ExitedWithCode(0), "")
        << text;
}

// A header asking for more than 4096 pixels on an edge is refused before
// anything is allocated, however much of the file follows: a small
// run-length body can describe a huge image.
TEST_F(TgaTest, ImagesLargerThanTheEdgeBoundAreRefusedBeforeAllocating) {
    struct Case {
        uint8_t type;
        uint16_t width, height;
    };
    for (const Case& k : {Case{10, 0xffff, 0xffff}, Case{2, 4097, 1}, Case{10, 1, 4097}}) {
        brew::Bytes bytes = Header(k.type, k.width, k.height, 32);
        for (int i = 0; i < 4000; i++) {
            Append(bytes, {0xff, 1, 2, 3, 4});
        }
        const std::string text = "Image too large: " + std::to_string(k.width) + " x " +
                                 std::to_string(k.height) + " pixels (at most 4096 on an edge)";
        ExpectFailureWithLittleMemory(folder.Write("large.tga", bytes), text);
    }
    // The bound itself still decodes: 4096 x 4096 in runs of 128 pixels.
    brew::Bytes edge = Header(10, 4096, 4096, 24);
    for (int i = 0; i < 4096 * 32; i++) {
        Append(edge, {0xff, 7, 8, 9});
    }
    ASSERT_TRUE(Decode(edge));
    EXPECT_EQ(Pixels().size(), size_t(4096) * 4096 * 3);
}

// An image the rest of the file cannot fill is refused before its buffer is
// allocated (which would fail in the child and say so), with the message
// its decoding would have ended in.
TEST_F(TgaTest, ImagesTheFileCannotFillAreRefusedBeforeAllocating) {
    brew::Bytes flat = Header(2, 4096, 4096, 32);
    Append(flat, {1, 2, 3, 4});
    ExpectFailureWithLittleMemory(folder.Write("flat.tga", flat), "Could not read image data");

    // Run-length bodies cut short at a packet header, inside a run packet's
    // pixel, inside a raw packet's pixels.
    const std::pair<brew::Bytes, const char*> cuts[] = {
        {{0xff, 1, 2, 3, 4, 0xff, 1, 2, 3, 4}, "Could not read RLE header"},
        {{0xff, 1, 2, 3, 4, 0xff, 1, 2}, "Could not read from file"},
        {{0xff, 1, 2, 3, 4, 0x03, 1, 2, 3, 4, 5, 6}, "Could not read image data"},
    };
    for (const auto& [body, text] : cuts) {
        brew::Bytes rle = Header(10, 4096, 4096, 32);
        rle.insert(rle.end(), body.begin(), body.end());
        ExpectFailureWithLittleMemory(folder.Write("rle.tga", rle), text);
    }

    // Exactly enough packets of 128 pixels still decode: 257 pixels need three.
    brew::Bytes tight = Header(10, 257, 1, 24);
    Append(tight, {0xff, 1, 2, 3, 0xff, 1, 2, 3, 0x80, 4, 5, 6});
    ASSERT_TRUE(Decode(tight));
    EXPECT_EQ(Pixels().back(), 4);
    // Cut inside the last run packet's pixel: the message of the decoding.
    tight.pop_back();
    ExpectFailure(tight, kError, "Could not read from file");
}

TEST_F(TgaTest, AllocationFailureIsReported) {
    // A sparse file long enough for a 4096 x 4096 x 32-bit image (64 MB), so
    // only the allocation can fail.
    const std::string path = folder.path + "/huge.tga";
    {
        brew::Bytes header = Header(2, 4096, 4096, 32);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    }
    std::filesystem::resize_file(path, 18 + uint64_t(4096) * 4096 * 4);
    ExpectFailureWithLittleMemory(path, "Could not allocate memory for image");
}

} // namespace
