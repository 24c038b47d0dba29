#include "AssetFiles.h"
#include "GLFixture.h"
#include "assets/Texture.h"
#include "brewlib/TgaWriter.h"

#include <cstdlib>
#include <cstring>

namespace {

// Fills a record as the decoder leaves it: pixels R, G, B (A) from malloc.
void Fill(Texture& t, GLuint width, GLuint height, const std::vector<uint8_t>& pixels) {
    const size_t channels = pixels.size() / (size_t(width) * height);
    ASSERT_TRUE(channels == 3 || channels == 4);
    t.width = width;
    t.height = height;
    t.bpp = GLuint(channels * 8);
    t.type = channels == 4 ? GL_RGBA : GL_RGB;
    t.imageData = static_cast<GLubyte*>(std::malloc(pixels.size()));
    std::memcpy(t.imageData, pixels.data(), pixels.size());
}

// What OpenGL holds for the texture, read back from level 0.
std::vector<RGBA> Uploaded(GLuint texID) {
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, texID);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<RGBA> pixels(size_t(width) * height);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<uint8_t> Alphas(const std::vector<RGBA>& pixels) {
    std::vector<uint8_t> a;
    for (const RGBA& p : pixels) {
        a.push_back(p.a);
    }
    return a;
}

brew::Lump ImageLump(const brew::Image& image, bool rle, uint32_t alphaMode) {
    brew::Lump lump;
    lump.body = brew::EncodeTGA(image, rle);
    lump.type = brew::LUMP_TGA;
    lump.alphaMode = alphaMode;
    return lump;
}

brew::Image Solid(uint32_t w, uint32_t h, uint32_t channels,
                  std::initializer_list<uint8_t> colour) {
    brew::Image image(w, h, channels);
    for (size_t i = 0; i < image.pixels.size(); i++) {
        image.pixels[i] = colour.begin()[i % channels];
    }
    return image;
}

class TextureTest : public GLFixture {};

TEST_F(TextureTest, ColourKeyIsTheFirstPixelExactly) {
    Texture t;
    // Magenta key; the last three differ from it in one channel by 1.
    Fill(t, 3, 2, {255, 0, 255, 10, 20, 30, 255, 0, 255, 254, 0, 255, 255, 1, 255, 255, 0, 254});
    ASSERT_TRUE(BuildTexture(&t, 1));
    const std::vector<RGBA> up = Uploaded(t.texID);
    EXPECT_EQ(Alphas(up), (std::vector<uint8_t>{0, 255, 0, 255, 255, 255}));
    EXPECT_EQ(up[1], (RGBA{10, 20, 30, 255}));
    EXPECT_EQ(up[5], (RGBA{255, 0, 254, 255}));

    // A 32-bit image is keyed on R, G, B only; its own alpha plays no part.
    Texture rgba;
    Fill(rgba, 3, 1, {1, 2, 3, 200, 1, 2, 3, 7, 1, 2, 4, 0});
    ASSERT_TRUE(BuildTexture(&rgba, 1));
    EXPECT_EQ(Alphas(Uploaded(rgba.texID)), (std::vector<uint8_t>{0, 0, 255}));
}

TEST_F(TextureTest, BrightnessIsTheLargestChannel) {
    Texture t;
    Fill(t, 4, 1, {0, 0, 0, 10, 200, 30, 250, 3, 4, 1, 2, 255});
    ASSERT_TRUE(BuildTexture(&t, 2));
    const std::vector<RGBA> up = Uploaded(t.texID);
    EXPECT_EQ(Alphas(up), (std::vector<uint8_t>{0, 200, 250, 255}));
    EXPECT_EQ(up[1], (RGBA{10, 200, 30, 200}));
}

TEST_F(TextureTest, EveryOtherModeIsOpaqueWhateverTheSourceAlpha) {
    for (int mode : {0, 3, 7, -1, 256}) {
        Texture t;
        Fill(t, 2, 1, {0, 0, 0, 0, 90, 80, 70, 0});
        ASSERT_TRUE(BuildTexture(&t, mode)) << mode;
        const std::vector<RGBA> up = Uploaded(t.texID);
        EXPECT_EQ(up[0], (RGBA{0, 0, 0, 255})) << mode;
        EXPECT_EQ(up[1], (RGBA{90, 80, 70, 255})) << mode;
    }
}

TEST_F(TextureTest, BuildUploadsAtTheImagesOwnSizeAndFreesThePixels) {
    Texture t;
    std::vector<uint8_t> pixels(3 * 5 * 3);
    for (size_t i = 0; i < pixels.size(); i++) {
        pixels[i] = uint8_t(i * 5);
    }
    Fill(t, 3, 5, pixels);
    ASSERT_TRUE(BuildTexture(&t, 0));
    EXPECT_NE(t.texID, 0u);
    EXPECT_EQ(t.imageData, nullptr);
    EXPECT_EQ(GetInteger(GL_TEXTURE_BINDING_2D), GLint(t.texID));
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    const std::vector<RGBA> up = Uploaded(t.texID);
    ASSERT_EQ(up.size(), 15u); // no power-of-two stretching
    EXPECT_EQ(up[14], (RGBA{210, 215, 220, 255}));

    // The pixels are gone, so a second build has nothing to work on.
    const GLuint first = t.texID;
    EXPECT_FALSE(BuildTexture(&t, 0));
    EXPECT_EQ(t.texID, first);
    EXPECT_FALSE(BuildTexture(nullptr, 0));
}

TEST_F(TextureTest, DestructorDeletesTheTexture) {
    GLuint name = 0;
    {
        Texture t;
        Fill(t, 1, 1, {1, 2, 3});
        ASSERT_TRUE(BuildTexture(&t, 0));
        name = t.texID;
        EXPECT_TRUE(glIsTexture(name));
    }
    EXPECT_FALSE(glIsTexture(name));

    // A texture handed over (texID set to 0) survives the record.
    GLuint kept = 0;
    {
        Texture t;
        Fill(t, 1, 1, {1, 2, 3});
        ASSERT_TRUE(BuildTexture(&t, 0));
        kept = t.texID;
        t.texID = 0;
    }
    EXPECT_TRUE(glIsTexture(kept));
    glDeleteTextures(1, &kept);
}

class ResourceTexturesTest : public GLFixture {
  protected:
    TempFolder folder;
    AlertRecorder recorder;
};

TEST_F(ResourceTexturesTest, BuildsEveryImageLumpAtItsIndex) {
    brew::Lump other;
    other.body = {0, 0, 2, 0, 1, 2, 3}; // looks a little like a TGA, but is no image
    other.type = 0;
    brew::Image keyed = Solid(2, 2, 3, {255, 0, 255});
    keyed.At(1, 0)[1] = 1; // the top right pixel differs from the key
    const std::vector<brew::Lump> lumps = {
        ImageLump(Solid(4, 2, 3, {10, 20, 30}), false, 0),
        ImageLump(keyed, true, 1),
        other,
        ImageLump(Solid(2, 1, 4, {10, 200, 30, 0}), true, 2),
    };
    const std::string path = folder.Write("dewkin.works", brew::EncodeResourceFile(lumps));

    Texture* textures = nullptr;
    int count = 0;
    ASSERT_TRUE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    ASSERT_EQ(count, 4);
    ASSERT_NE(textures, nullptr);
    EXPECT_EQ(textures[2].texID, 0u);
    EXPECT_EQ(textures[2].imageData, nullptr);
    for (int i : {0, 1, 3}) {
        EXPECT_NE(textures[i].texID, 0u) << i;
        EXPECT_EQ(textures[i].imageData, nullptr) << i;
    }
    EXPECT_NE(textures[0].texID, textures[1].texID);
    EXPECT_EQ(Uploaded(textures[0].texID), std::vector<RGBA>(8, RGBA{10, 20, 30, 255}));
    // File order is bottom row first: the top right pixel is the last.
    EXPECT_EQ(Alphas(Uploaded(textures[1].texID)), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(Uploaded(textures[3].texID), std::vector<RGBA>(2, RGBA{10, 200, 30, 200}));
    EXPECT_TRUE(recorder.alerts().empty());
    delete[] textures;
}

TEST_F(ResourceTexturesTest, ContainerThatDoesNotOpenStoresNothing) {
    brew::Bytes bytes = brew::EncodeResourceFile({ImageLump(Solid(1, 1, 3, {1, 2, 3}), false, 0)});
    bytes.push_back(0); // the length no longer matches
    Texture sentinel;
    Texture* textures = &sentinel;
    int count = -7;
    EXPECT_FALSE(LoadTexturesFromDataFile(folder.Write("bad", bytes).c_str(), &textures, &count));
    EXPECT_EQ(textures, &sentinel);
    EXPECT_EQ(count, -7);
    EXPECT_FALSE(LoadTexturesFromDataFile((folder.path + "/missing").c_str(), &textures, &count));
    EXPECT_TRUE(recorder.alerts().empty());
}

TEST_F(ResourceTexturesTest, BrokenImageStopsLoadingButHandsTheArrayOver) {
    brew::Lump broken = ImageLump(Solid(2, 2, 3, {1, 2, 3}), false, 0);
    broken.body[2] = 3; // greyscale
    const std::vector<brew::Lump> lumps = {ImageLump(Solid(1, 1, 3, {1, 2, 3}), false, 0), broken,
                                           ImageLump(Solid(1, 1, 3, {4, 5, 6}), false, 0)};
    brew::Bytes bytes = brew::EncodeResourceFile(lumps);
    Texture* textures = nullptr;
    int count = 0;
    EXPECT_FALSE(LoadTexturesFromDataFile(folder.Write("res", bytes).c_str(), &textures, &count));
    ASSERT_NE(textures, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_TRUE(glIsTexture(textures[0].texID));
    EXPECT_EQ(textures[1].texID, 0u);
    EXPECT_EQ(textures[1].imageData, nullptr);
    EXPECT_EQ(textures[2].texID, 0u); // never reached
    ASSERT_EQ(recorder.alerts().size(), 1u);
    EXPECT_EQ(recorder.alerts()[0].first, "Invalid Image");
    delete[] textures;

    // An image lump whose body lies past the end of the file.
    const uint32_t dirOffset = GetU32(bytes, 20);
    PutU32(bytes, dirOffset + 28 + 4, uint32_t(bytes.size()) + 10);
    recorder.Clear();
    textures = nullptr;
    EXPECT_FALSE(LoadTexturesFromDataFile(folder.Write("res2", bytes).c_str(), &textures, &count));
    ASSERT_EQ(recorder.alerts().size(), 1u);
    EXPECT_EQ(recorder.alerts()[0], AlertRecorder::Alert("ERROR", "Could not read file header"));
    delete[] textures;
}

} // namespace
