#include "AssetFiles.h"
#include "GLFixture.h"
#include "PictureFiles.h"
#include "assets/Pics.h"
#include "assets/Texture.h"
#include "host/platform/PictureReader.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using pics::PngImage;

// The entries of folder that end in extension, in listing order.
std::vector<std::string> Listed(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
            names.push_back(name);
        }
    }
    closedir(dir);
    return names;
}

PngImage Rgb(uint32_t w, uint32_t h, const std::function<RGBA(uint32_t, uint32_t)>& colour,
             bool alpha = false) {
    PngImage image;
    image.width = w;
    image.height = h;
    image.colour = alpha ? pics::PNG_RGBA : pics::PNG_RGB;
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            const RGBA c = colour(x, y);
            image.rows.insert(image.rows.end(), {c.r, c.g, c.b});
            if (alpha) {
                image.rows.push_back(c.a);
            }
        }
    }
    return image;
}

// Level 0 of the texture, bottom row first.
std::vector<RGBA> TexturePixels(GLuint texID, GLint* width, GLint* height) {
    glBindTexture(GL_TEXTURE_2D, texID);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
    std::vector<RGBA> pixels(size_t(*width) * size_t(*height));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool Near(RGBA a, RGBA b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

TEST(PictureFolder, EveryPictureIsEquallyLikelyWithOneRandomNumber) {
    TempFolder folder;
    for (const char* name : {"one.jpg", "two.jpg", "three.gif", "four.png", "CAPS.JPG", "long.jpeg",
                             "scan.tiff", ".png", "four.png.bak", "jpg"}) {
        folder.Write(name, {1, 2, 3});
    }
    EXPECT_EQ(CountFiles(folder.path.c_str(), ".jpg"), 2);
    EXPECT_EQ(CountFiles(folder.path.c_str(), ".gif"), 1);
    EXPECT_EQ(CountFiles(folder.path.c_str(), ".png"), 1);
    const std::vector<std::string> jpgs = Listed(folder.path, ".jpg");
    const std::string expected[4] = {jpgs[0], jpgs[1], "three.gif", "four.png"};

    std::set<int> seen;
    for (unsigned seed = 1; seed < 200 && seen.size() < 4; seed++) {
        std::srand(seed);
        const int r = std::rand() % 4;
        const int following = std::rand();
        std::srand(seed);
        char name[PIC_NAME_SIZE] = "unset";
        ASSERT_TRUE(ChooseRandomImageFile(folder.path.c_str(), name));
        EXPECT_EQ(name, expected[r]) << "random number " << r;
        EXPECT_EQ(std::rand(), following) << "exactly one random number is drawn";
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 4u);

    char name[PIC_NAME_SIZE];
    EXPECT_TRUE(FindNthFile(folder.path.c_str(), name, ".jpg", 1));
    EXPECT_EQ(name, jpgs[1]);
    EXPECT_FALSE(FindNthFile(folder.path.c_str(), name, ".jpg", 2)) << "past the last match";
    EXPECT_FALSE(FindNthFile(folder.path.c_str(), name, ".jpg", -1));
}

TEST(PictureFolder, NoPictureMeansNoChoiceAndNoRandomNumber) {
    TempFolder folder;
    folder.Write("a.JPG", {1});
    folder.Write(".gif", {1});
    char name[PIC_NAME_SIZE];
    std::srand(7);
    const int first = std::rand();
    std::srand(7);
    EXPECT_FALSE(ChooseRandomImageFile(folder.path.c_str(), name));
    EXPECT_EQ(std::rand(), first);
    EXPECT_FALSE(ChooseRandomImageFile((folder.path + "/missing").c_str(), name));
    EXPECT_EQ(CountFiles((folder.path + "/missing").c_str(), ".png"), 0);
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
        return folder.Write(name, pics::EncodePNG(image));
    }

    TempFolder folder;
};

TEST_F(PictureTest, LargePictureIsSampledNearestNeighbourTopRowLast) {
    // Every pixel tells its own column and row.
    const std::string path =
        WritePng("big.png", Rgb(1024, 768, [](uint32_t x, uint32_t y) {
                     return RGBA{uint8_t(x), uint8_t(y), uint8_t((x >> 8) << 4 | (y >> 8)), 255};
                 }));
    Texture t;
    ASSERT_TRUE(loadPicFile(path.c_str(), &t));
    EXPECT_NE(t.texID, 0u);
    EXPECT_EQ(t.imageData, nullptr);
    EXPECT_EQ(t.type, GLuint(GL_RGB));
    EXPECT_EQ(t.width, 1024u);
    EXPECT_EQ(t.height, 768u);

    GLint w = 0, h = 0;
    const std::vector<RGBA> tex = TexturePixels(t.texID, &w, &h);
    ASSERT_EQ(w, 512);
    ASSERT_EQ(h, 512);
    int wrong = 0;
    for (int j = 0; j < 512; j++) {
        for (int x = 0; x < 512; x++) {
            const uint32_t sx = uint32_t(float(x) * 2.0f), sy = uint32_t(float(j) * 1.5f);
            const RGBA want{uint8_t(sx), uint8_t(sy), uint8_t((sx >> 8) << 4 | (sy >> 8)), 255};
            if (!(tex[size_t(511 - j) * 512 + size_t(x)] == want) && wrong++ < 5) {
                ADD_FAILURE() << "texel " << x << ", " << (511 - j) << " should come from " << sx
                              << ", " << sy;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(PictureTest, SmallPictureRepeatsEveryPixelTwiceEachWay) {
    const std::string path = WritePng("small.png", Rgb(256, 256, [](uint32_t x, uint32_t y) {
                                          return RGBA{uint8_t(x), uint8_t(y), uint8_t(x ^ y), 255};
                                      }));
    Texture t;
    ASSERT_TRUE(loadPicFile(path.c_str(), &t));
    EXPECT_EQ(t.width, 256u);
    GLint w = 0, h = 0;
    const std::vector<RGBA> tex = TexturePixels(t.texID, &w, &h);
    ASSERT_EQ(w * h, 512 * 512);
    int wrong = 0;
    for (int row = 0; row < 512; row++) {
        for (int x = 0; x < 512; x++) {
            const uint32_t sx = uint32_t(x / 2), sy = uint32_t((511 - row) / 2);
            wrong += !(tex[size_t(row) * 512 + size_t(x)] ==
                       RGBA{uint8_t(sx), uint8_t(sy), uint8_t(sx ^ sy), 255});
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(PictureTest, TopOfThePictureIsTheTopOfTheTextureInEveryFormat) {
    const RGBA red{220, 20, 20, 255}, blue{20, 20, 220, 255};
    const auto halves = [&](uint32_t, uint32_t y) { return y < 32 ? red : blue; };
    const std::string png = WritePng("halves.png", Rgb(64, 64, halves));

    // A JPEG from SDL_image's own writer.
    const PngImage rgb = Rgb(64, 64, halves);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(rgb.rows.data()), 64, 64, 24, 64 * 3, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    const std::string jpg = folder.path + "/halves.jpg";
    ASSERT_EQ(IMG_SaveJPG(surface, jpg.c_str(), 95), 0) << IMG_GetError();
    SDL_FreeSurface(surface);

    // A real GIF: palette entry 1 red, 2 blue.
    std::vector<uint8_t> indices;
    for (int y = 0; y < 64; y++) {
        indices.insert(indices.end(), 64, y < 32 ? 1 : 2);
    }
    const std::string gif = folder.Write(
        "halves.gif", pics::EncodeGIF(64, 64, indices, {0, 0, 0, 220, 20, 20, 20, 20, 220}));

    for (const std::string& path : {png, jpg, gif}) {
        SCOPED_TRACE(path);
        Texture t;
        ASSERT_TRUE(loadPicFile(path.c_str(), &t));
        EXPECT_EQ(t.width, 64u);
        EXPECT_EQ(t.height, 64u);
        GLint w = 0, h = 0;
        const std::vector<RGBA> tex = TexturePixels(t.texID, &w, &h);
        ASSERT_EQ(w * h, 512 * 512);
        const int tolerance = path == jpg ? 12 : 0;
        EXPECT_TRUE(Near(tex[511 * 512 + 100], red, tolerance)) << tex[511 * 512 + 100];
        EXPECT_TRUE(Near(tex[300 * 512 + 5], red, tolerance)) << tex[300 * 512 + 5];
        EXPECT_TRUE(Near(tex[200 * 512 + 400], blue, tolerance)) << tex[200 * 512 + 400];
        EXPECT_TRUE(Near(tex[0], blue, tolerance)) << tex[0];
    }
}

TEST_F(PictureTest, TransparentPictureIsAnOpaqueRgbaTexture) {
    const std::string path = WritePng(
        "alpha.png", Rgb(
                         8, 8,
                         [](uint32_t x, uint32_t y) {
                             return RGBA{uint8_t(x * 30), 40, uint8_t(y * 30), uint8_t(x * y * 4)};
                         },
                         true));
    Texture t;
    ASSERT_TRUE(loadPicFile(path.c_str(), &t));
    EXPECT_EQ(t.type, GLuint(GL_RGBA));
    GLint w = 0, h = 0;
    const std::vector<RGBA> tex = TexturePixels(t.texID, &w, &h);
    for (const RGBA& p : tex) {
        ASSERT_EQ(p.a, 255);
    }
    // Source pixel (7, 0) spans texels x 448..511 at the top.
    EXPECT_EQ(tex[511 * 512 + 500], (RGBA{210, 40, 0, 255}));
}

TEST_F(PictureTest, GreyPalettedAndSixteenBitPicturesBecomeRgb) {
    PngImage grey;
    grey.width = grey.height = 2;
    grey.colour = pics::PNG_GREY;
    grey.rows = {10, 80, 160, 250};

    PngImage paletted;
    paletted.width = paletted.height = 2;
    paletted.colour = pics::PNG_PALETTE;
    paletted.palette = {0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    paletted.rows = {1, 2, 3, 4};

    PngImage wide; // 16 bits per channel, big-endian samples
    wide.width = wide.height = 2;
    wide.bitDepth = 16;
    for (int p = 0; p < 4; p++) {
        for (int c = 0; c < 3; c++) {
            wide.rows.insert(wide.rows.end(), {uint8_t(p * 60 + c * 5), 0x80});
        }
    }

    struct Case {
        const char* name;
        PngImage image;
        GLuint type;
        RGBA topLeft, bottomRight;
    };
    PngImage keyed = paletted;
    keyed.alphas = {255, 0};
    const Case cases[] = {
        {"grey.png", grey, GL_RGB, {10, 10, 10, 255}, {250, 250, 250, 255}},
        {"paletted.png", paletted, GL_RGB, {10, 20, 30, 255}, {100, 110, 120, 255}},
        {"keyed.png", keyed, GL_RGBA, {10, 20, 30, 255}, {100, 110, 120, 255}},
        {"wide.png", wide, GL_RGB, {0, 5, 10, 255}, {180, 185, 190, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Texture t;
        ASSERT_TRUE(loadPicFile(WritePng(c.name, c.image).c_str(), &t));
        EXPECT_EQ(t.type, c.type);
        EXPECT_EQ(t.width, 2u);
        GLint w = 0, h = 0;
        const std::vector<RGBA> tex = TexturePixels(t.texID, &w, &h);
        EXPECT_TRUE(Near(tex[511 * 512], c.topLeft, 1)) << tex[511 * 512];
        EXPECT_TRUE(Near(tex[511], c.bottomRight, 1)) << tex[511];
    }
}

TEST_F(PictureTest, FilesThatAreNotPicturesFailAndLeaveTheRecordAlone) {
    const std::string garbage = folder.Write("garbage.png", {'n', 'o', 't', ' ', 'a', ' ', 'p'});
    const std::string empty = folder.Write("empty.jpg", {});
    brew::Bytes cut = pics::EncodePNG(Rgb(16, 16, [](uint32_t, uint32_t) { return RGBA{}; }));
    cut.resize(40);
    const std::string truncated = folder.Write("cut.png", cut);
    for (const std::string& path : {garbage, empty, truncated, folder.path + "/missing.png"}) {
        Texture t;
        EXPECT_FALSE(loadPicFile(path.c_str(), &t)) << path;
        EXPECT_EQ(t.texID, 0u);
        EXPECT_EQ(t.width, 0u);
        EXPECT_EQ(t.imageData, nullptr);
    }

    // Without a reader nothing can be read, good files included.
    const std::string good = WritePng("good.png", Rgb(4, 4, [](uint32_t, uint32_t) {
                                          return RGBA{1, 2, 3, 255};
                                      }));
    SetPictureReader(nullptr);
    Texture t;
    EXPECT_FALSE(loadPicFile(good.c_str(), &t));
    EXPECT_EQ(t.texID, 0u);
}

// A FIFO named like a picture (no writer will ever come) is refused at
// once; a hang would let the alarm end the child.
TEST_F(PictureTest, OnlyRegularFilesAreRead) {
    const std::string fifo = folder.path + "/a.png";
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
    for (const std::string& path : {folder.path, std::string("/dev/null")}) {
        PicBitmap bmp;
        EXPECT_FALSE(ReadPicture(path.c_str(), &bmp)) << path;
    }
}

// Pictures over 16384 pixels on an edge are refused from their headers,
// before anything is decoded; the bound itself still loads.
TEST_F(PictureTest, PicturesOverTheEdgeBoundAreRefusedFromTheirHeaders) {
    const auto grey = [](uint32_t x, uint32_t) { return RGBA{uint8_t(x), 1, 2, 255}; };
    // A GIF whose screen is 1 x 1 but whose one image is 20000 x 1.
    const brew::Bytes gif = {'G', 'I', 'F', '8',  '9',  'a', 1, 0, 1, 0, 0,    0, 0, 0x2c, 0,
                             0,   0,   0,   0x20, 0x4e, 1,   0, 0, 2, 2, 0x44, 1, 0, 0x3b};
    SDL_Surface* wide = SDL_CreateRGBSurfaceWithFormat(0, 16385, 1, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(wide, nullptr);
    const std::string jpeg = folder.path + "/wide.jpg", bmpFile = folder.path + "/wide.bmp";
    ASSERT_EQ(IMG_SaveJPG(wide, jpeg.c_str(), 90), 0);
    ASSERT_EQ(SDL_SaveBMP(wide, bmpFile.c_str()), 0);
    SDL_FreeSurface(wide);
    const std::pair<std::string, const char*> refused[] = {
        {WritePng("wide.png", Rgb(20000, 1, grey)), "it claims 20000 pixels on an edge"},
        {WritePng("tall.png", Rgb(1, 16385, grey)), "it claims 16385 pixels on an edge"},
        {folder.Write("image.gif", gif), "it claims 20000 pixels on an edge"},
        {jpeg, "it claims 16385 pixels on an edge"},
        {bmpFile, "it claims 16385 pixels on an edge"},
    };
    for (const auto& [path, why] : refused) {
        PicBitmap bmp;
        EXPECT_FALSE(ReadPicture(path.c_str(), &bmp)) << path;
        EXPECT_NE(std::strstr(SDL_GetError(), why), nullptr) << path << ": " << SDL_GetError();
        EXPECT_TRUE(bmp.bitmapData.empty());
    }
    PicBitmap bmp;
    ASSERT_TRUE(ReadPicture(WritePng("edge.png", Rgb(16384, 1, grey)).c_str(), &bmp))
        << SDL_GetError();
    EXPECT_EQ(bmp.pixelsWide, 16384);
}

// Bitmaps no real reader gives, to show the resampling never reads outside one.
bool ShortBitmap(const char*, PicBitmap* out) {
    out->bitsPerPixel = 24;
    out->pixelsWide = 100;
    out->pixelsHigh = 100;
    out->bytesPerRow = 300;
    out->bitmapData.assign(300 * 99, 0); // one row short
    return true;
}
bool NarrowRows(const char*, PicBitmap* out) {
    out->bitsPerPixel = 32;
    out->pixelsWide = 10;
    out->pixelsHigh = 10;
    out->bytesPerRow = 30; // rows of 24-bit pixels for a 32-bit bitmap
    out->bitmapData.assign(300, 0);
    return true;
}
bool GreyBitmap(const char*, PicBitmap* out) {
    out->bitsPerPixel = 8;
    out->pixelsWide = out->pixelsHigh = out->bytesPerRow = 4;
    out->bitmapData.assign(16, 0);
    return true;
}

TEST_F(PictureTest, BitmapsThatDoNotHoldTheirPixelsAreRefused) {
    for (PictureReader reader : {&ShortBitmap, &NarrowRows, &GreyBitmap}) {
        SetPictureReader(reader);
        Texture t;
        EXPECT_FALSE(loadPicFile("any", &t));
        EXPECT_EQ(t.texID, 0u);
    }
}

TEST_F(PictureTest, FolderPictureIsJoinedToTheFolderAndReplacesTheOldTexture) {
    WritePng("only.png", Rgb(30, 20, [](uint32_t, uint32_t) { return RGBA{9, 8, 7, 255}; }));
    Texture t;
    ASSERT_TRUE(LoadPicture(folder.path.c_str(), &t)) << "the folder has no trailing /";
    EXPECT_EQ(t.width, 30u);
    EXPECT_EQ(t.height, 20u);
    const GLuint first = t.texID;

    ASSERT_TRUE(LoadPicture((folder.path + "/").c_str(), &t));
    EXPECT_NE(t.texID, 0u);
    EXPECT_FALSE(first != t.texID && glIsTexture(first)) << "the first texture is released";

    TempFolder none;
    none.Write("picture.tiff", {1});
    Texture u;
    EXPECT_FALSE(LoadPicture(none.path.c_str(), &u));
    EXPECT_EQ(u.texID, 0u);
}

} // namespace
