#include "BottleFiles.h"
#include "GLFixture.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "assets/Pics.h"
#include "assets/Texture.h"
#include "host/platform/files/PictureReader.h"

#include <SDL_image.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <webp/encode.h>

namespace {

using pics::PngImage;

PngImage Grey(uint32_t w, uint32_t h) {
    return {w, h, pics::PNG_GREY, std::vector<uint8_t>(size_t(w) * h, 7)};
}

// The .jpg files come first, then .gif, then .png; the names must end in
// those (in lower case) and have something before them.
TEST(PictureFolder, EveryPictureIsEquallyLikelyWithOneRandomNumber) {
    TempDir tmp;
    const std::string pictures[3] = {"one.jpg", "two.gif", "three.png"};
    for (const char* name : {"CAPS.JPG", "long.jpeg", "scan.tiff", ".png", "x.png.bak", "jpg"}) {
        fixtures::WriteBytes(tmp / name, {1, 2, 3});
    }
    std::srand(7);
    const int first = std::rand();
    std::srand(7);
    char name[PIC_NAME_SIZE] = "unset";
    EXPECT_FALSE(ChooseRandomImageFile(tmp.path().c_str(), name)) << "no picture";
    EXPECT_EQ(std::rand(), first) << "no random number drawn";
    EXPECT_FALSE(ChooseRandomImageFile((tmp / "missing").c_str(), name));

    for (const std::string& picture : pictures) {
        fixtures::WriteBytes(tmp / picture, {1, 2, 3});
    }
    std::set<int> seen;
    for (unsigned seed = 1; seed < 200 && seen.size() < 3; seed++) {
        std::srand(seed);
        const int r = std::rand() % 3;
        const int following = std::rand();
        std::srand(seed);
        ASSERT_TRUE(ChooseRandomImageFile(tmp.path().c_str(), name));
        EXPECT_EQ(name, pictures[r]) << "random number " << r;
        EXPECT_EQ(std::rand(), following) << "exactly one random number is drawn";
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_FALSE(FindNthFile(tmp.path().c_str(), name, ".jpg", 1)) << "past the last match";
    EXPECT_FALSE(FindNthFile(tmp.path().c_str(), name, ".jpg", -1));
}

class PictureTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        InstallPictureReader();
    }
    void TearDown() override {
        SetPictureReader(nullptr);
        GLFixture::TearDown();
    }
    std::string WritePng(const std::string& name, const PngImage& image) {
        return fixtures::WriteBytes(tmp / name, pics::EncodePNG(image));
    }
    TempDir tmp;
};

// A large picture is sampled nearest-neighbour (the source pixel at texel
// (x, j) is at x * width / 512, j * height / 512, rounded down), a small
// one repeats its pixels; the picture's top row is the texture's last.
TEST_F(PictureTest, EveryKindIsResampledTo512TopRowLastFromAFileOrAFolder) {
    const auto colour = [](uint32_t x, uint32_t y) {
        return RGBA{uint8_t(x), uint8_t(y), uint8_t((x >> 8) << 4 | (y >> 8)), 255};
    };
    // Texel x, j (from the top), the source pixel in the large, the small one.
    const uint32_t samples[][6] = {{1, 1, 2, 1, 0, 0},
                                   {3, 3, 6, 4, 1, 1},
                                   {511, 511, 1022, 766, 255, 191},
                                   {7, 400, 14, 600, 3, 150}};
    for (uint32_t w : {1024u, 256u}) {
        PngImage image{w, w * 3 / 4, pics::PNG_RGB};
        for (uint32_t y = 0; y < image.height; y++) {
            for (uint32_t x = 0; x < w; x++) {
                const RGBA c = colour(x, y);
                image.rows.insert(image.rows.end(), {c.r, c.g, c.b});
            }
        }
        Texture t;
        ASSERT_TRUE(loadPicFile(WritePng("p.png", image).c_str(), &t));
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(t.type, GLuint(GL_RGB));
        EXPECT_TRUE(t.width == w && t.height == w * 3 / 4) << "the record keeps the picture's size";
        const std::vector<RGBA> tex = TexturePixels(t.texID);
        ASSERT_EQ(tex.size(), 512u * 512u);
        for (const auto& s : samples) {
            const uint32_t* source = w == 1024 ? &s[2] : &s[4];
            EXPECT_EQ(tex[(511 - s[1]) * 512 + s[0]], colour(source[0], source[1]))
                << "texel " << s[0] << ", " << s[1] << " of " << w;
        }
    }
    // A folder's picture is joined to the folder and replaces the old texture.
    Texture folder;
    ASSERT_TRUE(LoadPicture(tmp.path().c_str(), &folder)) << "the folder has no trailing /";
    EXPECT_TRUE(folder.width == 256u && folder.height == 192u);
    const GLuint first = folder.texID;
    ASSERT_TRUE(LoadPicture(tmp.slash().c_str(), &folder));
    EXPECT_FALSE(first != folder.texID && glIsTexture(first)) << "the first texture is released";
    // Grey, paletted, keyed and transparent pictures: opaque textures, top up.
    PngImage grey{2, 2, pics::PNG_GREY, {10, 80, 160, 250}};
    PngImage paletted{2, 2, pics::PNG_PALETTE, {1, 2, 3, 4}};
    paletted.palette = {0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    PngImage keyed = paletted;
    keyed.alphas = {255, 0};
    const PngImage alpha{
        2, 2, pics::PNG_RGBA, {0, 40, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 210, 40, 0, 7}};
    struct Case {
        std::string path;
        GLuint type;
        RGBA topLeft, bottomRight;
    };
    const Case cases[] = {
        {WritePng("grey.png", grey), GL_RGB, {10, 10, 10, 255}, {250, 250, 250, 255}},
        {WritePng("paletted.png", paletted), GL_RGB, {10, 20, 30, 255}, {100, 110, 120, 255}},
        {WritePng("keyed.png", keyed), GL_RGBA, {10, 20, 30, 255}, {100, 110, 120, 255}},
        {WritePng("alpha.png", alpha), GL_RGBA, {0, 40, 0, 255}, {210, 40, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Texture t;
        ASSERT_TRUE(loadPicFile(c.path.c_str(), &t));
        EXPECT_EQ(t.type, c.type);
        const std::vector<RGBA> tex = TexturePixels(t.texID);
        ASSERT_EQ(tex.size(), 512u * 512u);
        EXPECT_EQ(tex[511 * 512], c.topLeft);
        EXPECT_EQ(tex[511], c.bottomRight);
    }
}

// A 16 x 16 picture of four coloured quarters, R, G, B, top row first.
const RGBA kQuarters[4] = {
    {250, 20, 20, 255}, {20, 250, 20, 255}, {20, 20, 250, 255}, {250, 250, 20, 255}};
int QuarterAt(int x, int y) {
    return (x >= 8) + 2 * (y >= 8);
}
std::vector<uint8_t> QuarterPixels() {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            const RGBA c = kQuarters[QuarterAt(x, y)];
            rgb.insert(rgb.end(), {c.r, c.g, c.b});
        }
    }
    return rgb;
}

// The quarters as a GIF of a 4-colour table, its rows in order or
// interlaced; codes of 3 bits, the table cleared before it would widen.
brew::Bytes QuarterGif(bool interlaced) {
    brew::Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 16, 0, 16, 0, 0x91, 0, 0};
    for (const RGBA& c : kQuarters) {
        gif.insert(gif.end(), {c.r, c.g, c.b});
    }
    gif.insert(gif.end(), {0x2c, 0, 0, 0, 0, 16, 0, 16, 0, uint8_t(interlaced ? 0x40 : 0), 2});
    std::vector<int> rows;
    for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < 16; y += step) {
            rows.push_back(y);
        }
    }
    std::vector<int> codes;
    for (int i = 0; i < 16; i++) {
        for (int x = 0; x < 16; x++) {
            if (x % 2 == 0) {
                codes.push_back(4); // clear
            }
            codes.push_back(QuarterAt(x, interlaced ? rows[i] : i));
        }
    }
    codes.push_back(5); // end
    brew::Bytes packed((codes.size() * 3 + 7) / 8);
    for (size_t i = 0; i < codes.size() * 3; i++) {
        packed[i / 8] |= uint8_t(((codes[i / 3] >> (i % 3)) & 1) << (i % 8));
    }
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        gif.push_back(uint8_t(n));
        gif.insert(gif.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    gif.insert(gif.end(), {0, 0x3b});
    return gif;
}

// The quarters as an uncompressed TIFF, stored top row first (orientation
// 1) or bottom row first (4).
brew::Bytes QuarterTiff(bool bottomUp) {
    const uint16_t entries[][3] = {{256, 3, 16}, {257, 3, 16}, {258, 3, 8}, {259, 3, 1},
                                   {262, 3, 2},  {273, 4, 0},  {274, 3, 1}, {277, 3, 3},
                                   {278, 3, 16}, {279, 4, 768}};
    brew::Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 10, 0};
    const uint32_t pixelsAt = 8 + 2 + 10 * 12 + 4;
    for (const auto& e : entries) {
        const uint32_t v = e[0] == 273 ? pixelsAt : e[0] == 274 && bottomUp ? 4 : e[2];
        tiff.insert(tiff.end(), {uint8_t(e[0]), uint8_t(e[0] >> 8), uint8_t(e[1]), 0, 1, 0, 0, 0,
                                 uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), 0});
    }
    tiff.insert(tiff.end(), 4, 0);
    const std::vector<uint8_t> rgb = QuarterPixels();
    for (int y = 0; y < 16; y++) {
        const auto row = rgb.begin() + (bottomUp ? 15 - y : y) * 48;
        tiff.insert(tiff.end(), row, row + 48);
    }
    return tiff;
}

// Every format the reader takes by its content, each way its rows may be
// stored, comes out the same: top row first, left to right.
TEST_F(PictureTest, EveryFormatInEachRowOrderReadsTopRowFirstAndWithinTheEdgeBound) {
    const std::vector<uint8_t> rgb = QuarterPixels();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgb.data()), 16,
                                                              16, 24, 48, SDL_PIXELFORMAT_RGB24);
    ASSERT_EQ(IMG_SaveJPG(surface, (tmp / "q.jpg").c_str(), 100), 0);
    ASSERT_EQ(SDL_SaveBMP(surface, (tmp / "q.bmp").c_str()), 0);
    SDL_FreeSurface(surface);
    // The same rows stored the other way: a negative height, top row first.
    const std::string upward = Contents(tmp / "q.bmp");
    std::vector<uint8_t> flipped(upward.begin(), upward.end());
    const uint32_t start = U32At(flipped, 10), stride = (flipped.size() - start) / 16;
    for (uint32_t y = 0; y < 16; y++) {
        std::copy_n(upward.begin() + start + (15 - y) * stride, stride,
                    flipped.begin() + start + y * stride);
    }
    PutU32At(flipped, 22, uint32_t(-16));
    uint8_t* webp = nullptr;
    const size_t webpSize = WebPEncodeLosslessRGB(rgb.data(), 16, 16, 48, &webp);
    const brew::Bytes lossless(webp, webp + webpSize);
    WebPFree(webp);
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>";
    for (int q = 0; q < 4; q++) {
        char rect[160];
        std::snprintf(rect, sizeof rect,
                      "<rect x='%d' y='%d' width='8' height='8' fill='rgb(%d,%d,%d)'/>", q % 2 * 8,
                      q / 2 * 8, kQuarters[q].r, kQuarters[q].g, kQuarters[q].b);
        svg += rect;
    }
    const struct {
        std::string path;
        int tolerance;
    } cases[] = {
        {WritePng("q.png", {16, 16, pics::PNG_RGB, rgb}), 0},
        {tmp / "q.jpg", 12},
        {tmp / "q.bmp", 0},
        {fixtures::WriteBytes(tmp / "down.bmp", flipped), 0},
        {fixtures::WriteBytes(tmp / "q.gif", QuarterGif(false)), 0},
        {fixtures::WriteBytes(tmp / "interlaced.gif", QuarterGif(true)), 0},
        {fixtures::WriteBytes(tmp / "q.tif", QuarterTiff(false)), 0},
        {fixtures::WriteBytes(tmp / "up.tif", QuarterTiff(true)), 0},
        {fixtures::WriteBytes(tmp / "q.webp", lossless), 0},
        {fixtures::WriteBytes(tmp / "q.svg", brew::Bytes(svg.begin(), svg.end())), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        PicBitmap bmp;
        ASSERT_TRUE(ReadPicture(c.path.c_str(), &bmp)) << SDL_GetError();
        ASSERT_EQ(std::pair(bmp.pixelsWide, bmp.pixelsHigh), std::pair(16, 16));
        const int channels = bmp.bitsPerPixel / 8;
        for (int y = 2; y < 16; y += 4) {
            for (int x = 2; x < 16; x += 4) {
                const uint8_t* p = &bmp.bitmapData[size_t(y) * bmp.bytesPerRow + x * channels];
                EXPECT_TRUE(saverfiles::Near({p[0], p[1], p[2], 255}, kQuarters[QuarterAt(x, y)],
                                             c.tolerance))
                    << x << ", " << y << ": " << RGBA{p[0], p[1], p[2], 255};
            }
        }
    }

    // Pictures over 16384 pixels on an edge are refused from their headers,
    // before anything is decoded; the bound itself still loads.
    // A GIF whose screen is 1 x 1 but whose one image is 20000 x 1.
    const brew::Bytes gif = {'G', 'I', 'F', '8',  '9',  'a', 1, 0, 1, 0, 0,    0, 0, 0x2c, 0,
                             0,   0,   0,   0x20, 0x4e, 1,   0, 0, 2, 2, 0x44, 1, 0, 0x3b};
    SDL_Surface* wide = SDL_CreateRGBSurfaceWithFormat(0, 16385, 1, 24, SDL_PIXELFORMAT_RGB24);
    const std::string jpeg = tmp / "wide.jpg";
    ASSERT_EQ(IMG_SaveJPG(wide, jpeg.c_str(), 90), 0);
    SDL_FreeSurface(wide);
    // An interlaced first image, then one of 20000 x 1.
    brew::Bytes twoImages = QuarterGif(true);
    twoImages.pop_back();
    twoImages.insert(twoImages.end(), gif.begin() + 13, gif.end());
    const std::pair<std::string, const char*> refused[] = {
        {fixtures::WriteBytes(tmp / "second.gif", twoImages), "it claims 20000 pixels on an edge"},
        {WritePng("wide.png", Grey(20000, 1)), "it claims 20000 pixels on an edge"},
        {WritePng("tall.png", Grey(1, 16385)), "it claims 16385 pixels on an edge"},
        {fixtures::WriteBytes(tmp / "image.gif", gif), "it claims 20000 pixels on an edge"},
        {jpeg, "it claims 16385 pixels on an edge"},
    };
    for (const auto& [path, why] : refused) {
        PicBitmap bmp;
        EXPECT_FALSE(ReadPicture(path.c_str(), &bmp)) << path;
        EXPECT_NE(std::strstr(SDL_GetError(), why), nullptr) << path << ": " << SDL_GetError();
        EXPECT_TRUE(bmp.bitmapData.empty());
    }
    PicBitmap bmp;
    ASSERT_TRUE(ReadPicture(WritePng("edge.png", Grey(16384, 1)).c_str(), &bmp)) << SDL_GetError();
    EXPECT_EQ(bmp.pixelsWide, 16384);
}

// Bitmaps no real reader gives, to show the resampling never reads outside one.
bool ShortBitmap(const char*, PicBitmap* out) {
    *out = {24, 300, 100, 100, std::vector<uint8_t>(300 * 99)}; // one row short
    return true;
}
bool NarrowRows(const char*, PicBitmap* out) {
    *out = {32, 30, 10, 10, std::vector<uint8_t>(300)}; // rows of 24-bit pixels
    return true;
}
bool GreyBitmap(const char*, PicBitmap* out) {
    *out = {8, 4, 4, 4, std::vector<uint8_t>(16)};
    return true;
}

TEST_F(PictureTest, WhatIsNoPictureOrNoRegularFileFailsAndLeavesTheRecordAlone) {
    brew::Bytes cut = pics::EncodePNG(Grey(16, 16));
    cut.resize(40);
    const std::string good = WritePng("good.png", Grey(4, 4));
    for (const std::string& path :
         {fixtures::WriteBytes(tmp / "garbage.png", {'n', 'o', 't', ' ', 'a', ' ', 'p'}),
          fixtures::WriteBytes(tmp / "empty.jpg", {}), fixtures::WriteBytes(tmp / "cut.png", cut),
          tmp / "missing.png", tmp.path(), std::string("/dev/null")}) {
        Texture t;
        EXPECT_FALSE(loadPicFile(path.c_str(), &t)) << path;
        EXPECT_TRUE(t.texID == 0 && t.width == 0 && t.imageData == nullptr) << path;
    }
    // Without a reader nothing can be read, good files included; readers'
    // bitmaps that do not hold their pixels are refused.
    for (PictureReader reader : {PictureReader(nullptr), &ShortBitmap, &NarrowRows, &GreyBitmap}) {
        SetPictureReader(reader);
        Texture t;
        EXPECT_FALSE(loadPicFile(good.c_str(), &t));
        EXPECT_EQ(t.texID, 0u);
    }
    // A FIFO named like a picture (no writer will ever come) is refused at
    // once; a hang would let the alarm end the child.
    const std::string fifo = tmp / "a.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(60);
            PicBitmap bmp;
            const bool read = ReadPicture(fifo.c_str(), &bmp);
            std::_Exit(!read && std::strstr(SDL_GetError(), "not a regular file") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
