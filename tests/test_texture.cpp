#include "AssetFiles.h"
#include "BottleFiles.h"
#include "ErrorLog.h"
#include "TempDir.h"
#include "assets/Texture.h"

#include <cstdlib>
#include <cstring>

namespace {

// Fills a record as the decoder leaves it: pixels R, G, B (A) from malloc.
void Fill(Texture& t, GLuint width, GLuint height, const std::vector<uint8_t>& pixels) {
    const size_t channels = pixels.size() / (size_t(width) * height);
    t.width = width;
    t.height = height;
    t.bpp = GLuint(channels * 8);
    t.type = channels == 4 ? GL_RGBA : GL_RGB;
    t.imageData = static_cast<GLubyte*>(std::malloc(pixels.size()));
    std::memcpy(t.imageData, pixels.data(), pixels.size());
}

class TextureTest : public GLFixture {};

// Built at the image's own size, the record owning the name: mode 1 keys on the
// first pixel's R, G, B exactly (a 32-bit image's own alpha plays no part),
// mode 2 takes the largest channel, every other mode is opaque.
TEST_F(TextureTest, AlphaModesGiveTheirAlphaAtTheImagesOwnSize) {
    struct Case {
        int mode;
        GLuint channels;
        std::vector<uint8_t> pixels, alphas;
        GLuint height = 1;
    };
    // Every corner its own colour: the key is the first pixel's, no other corner's.
    const std::vector<uint8_t> corners = {9, 9, 9, 1, 0, 0, 2, 0, 0,  // first row
                                          3, 0, 0, 9, 9, 9, 4, 0, 0}; // last row
    const std::vector<uint8_t> keyed = {255, 0, 255, 10,  20, 30,  255, 0, 255,
                                        254, 0, 255, 255, 1,  255, 255, 0, 254};
    const std::vector<uint8_t> bright = {0, 0, 0, 10, 200, 30, 250, 3, 4, 1, 2, 255};
    const Case cases[] = {
        {1, 3, keyed, {0, 255, 0, 255, 255, 255}},
        {1, 4, {1, 2, 3, 200, 1, 2, 3, 7, 1, 2, 4, 0}, {0, 0, 255}},
        {1, 3, corners, {0, 255, 255, 255, 0, 255}, 2},
        {2, 3, bright, {0, 200, 250, 255}},
        {0, 3, bright, {255, 255, 255, 255}},
        {3, 4, {0, 0, 0, 0, 90, 80, 70, 0}, {255, 255}},
        {256, 3, bright, {255, 255, 255, 255}},
    };
    GLuint name = 0;
    for (const Case& c : cases) {
        Texture t;
        Fill(t, GLuint(c.pixels.size() / c.channels / c.height), c.height, c.pixels);
        ASSERT_TRUE(BuildTexture(&t, c.mode));
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(GetInteger(GL_TEXTURE_BINDING_2D), GLint(t.texID));
        GLint wrap = 0, filter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_TRUE(wrap == GL_REPEAT && filter == GL_LINEAR) << wrap << " " << filter;
        const std::vector<RGBA> up = TexturePixels(t.texID);
        ASSERT_EQ(up.size(), c.alphas.size()) << c.mode << ": at the image's own size";
        for (size_t i = 0; i < up.size(); i++) {
            const uint8_t* p = &c.pixels[i * c.channels];
            EXPECT_EQ(up[i], (RGBA{p[0], p[1], p[2], c.alphas[i]}))
                << "mode " << c.mode << " " << i;
        }
        name = t.texID;
    }
    EXPECT_FALSE(glIsTexture(name)) << "the record deletes its texture";
}

TEST_F(TextureTest, ResourceFileBuildsEveryImageLumpAtItsIndex) {
    TempDir tmp;
    ErrorLog log;
    brew::Image keyed = fixtures::Solid(2, 2, 255, 0, 255);
    keyed.At(1, 0)[1] = 1; // the top right pixel differs from the key
    brew::Image rgba(2, 1, 4);
    rgba.pixels = {10, 200, 30, 0, 10, 200, 30, 0};
    const std::vector<brew::Lump> lumps = {
        brew::ImageLump(fixtures::Solid(4, 2, 10, 20, 30), false, 0),
        brew::ImageLump(keyed, true, 1),
        {{0, 0, 2, 0, 1, 2, 3}, 0, 0}, // looks a little like a TGA, but is no image
        brew::ImageLump(rgba, true, 2),
    };
    Texture* textures = nullptr;
    int count = 0;
    ASSERT_TRUE(LoadTexturesFromDataFile(
        fixtures::WriteBytes(tmp / "res", brew::EncodeResourceFile(lumps)).c_str(), &textures,
        &count));
    ASSERT_EQ(count, 4);
    EXPECT_EQ(textures[2].texID, 0u);
    EXPECT_EQ(TexturePixels(textures[0].texID), std::vector<RGBA>(8, RGBA{10, 20, 30, 255}));
    // File order is bottom row first: the top right pixel is the last.
    const std::vector<RGBA> key = TexturePixels(textures[1].texID);
    EXPECT_EQ(key[0].a + key[1].a + key[2].a, 0);
    EXPECT_EQ(key[3], (RGBA{255, 1, 255, 255}));
    EXPECT_EQ(TexturePixels(textures[3].texID), std::vector<RGBA>(2, RGBA{10, 200, 30, 200}));
    delete[] textures;

    // A container that does not open stores nothing; a broken image stops
    // loading, but the array is handed over.
    Texture* untouched = nullptr;
    EXPECT_FALSE(LoadTexturesFromDataFile((tmp / "missing").c_str(), &untouched, &count));
    EXPECT_EQ(untouched, nullptr);
    std::vector<brew::Lump> broken = lumps;
    broken[1].body[2] = 3; // greyscale
    const brew::Bytes bytes = brew::EncodeResourceFile(broken);
    EXPECT_FALSE(LoadTexturesFromDataFile(fixtures::WriteBytes(tmp / "res", bytes).c_str(),
                                          &textures, &count));
    ASSERT_EQ(count, 4);
    EXPECT_TRUE(glIsTexture(textures[0].texID));
    EXPECT_EQ(textures[3].texID, 0u); // never reached
    delete[] textures;
    EXPECT_EQ(log.alerts(),
              std::vector<std::string>{"Invalid Image|TGA file be type 2 or type 10 "});
}

} // namespace
