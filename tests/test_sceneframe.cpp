#include "SceneFiles.h"
#include "SceneFixture.h"
#include "scene/Text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

time_t NinePm() {
    return 1710450307; // 21:05:07 UTC
}

// A dark evening sky over green hills.
brew::Image Landscape() {
    brew::Image image(256, 128, 3);
    for (uint32_t y = 0; y < 128; y++)
        for (uint32_t x = 0; x < 256; x++) {
            uint8_t* p = image.At(x, y);
            const double hill = 90 + 12 * std::sin(x / 20.0) + 6 * std::sin(x / 7.0);
            if (y > hill) {
                p[0] = 20;
                p[1] = uint8_t(70 + (y - hill));
                p[2] = 30;
            } else {
                p[0] = uint8_t(10 + y / 4);
                p[1] = uint8_t(20 + y / 3);
                p[2] = uint8_t(90 + y);
            }
        }
    return image;
}

// Writes the back buffer as a binary PPM, top row first.
void WritePPM(const char* path, const std::vector<RGBA>& pixels, int width, int height) {
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; y--)
        for (int x = 0; x < width; x++) {
            const RGBA& p = pixels[size_t(y) * width + x];
            std::fputc(p.r, f);
            std::fputc(p.g, f);
            std::fputc(p.b, f);
        }
    std::fclose(f);
}

class SceneFrame : public SceneFixture {
  protected:
    SceneFrame() : SceneFixture(800, 600) {}
};

// A whole scene after 100 seconds: wobbling picture, clock, bottles, banner.
// TUMBLIX_FRAME_OUT names a file to keep the frame in (PPM) for a look.
TEST_F(SceneFrame, AFullFrameShowsEveryLayer) {
    setenv("TZ", "UTC0", 1);
    tzset();
    SetWallClock(NinePm);
    settings.BGTYPE = BG_FOLDER_PICTURE;
    settings.LBOTTLESIZE = 80;
    std::srand(5);
    ASSERT_TRUE(SetUpScene());
    scene.bgTexture = scenefiles::MakePicture(Landscape());
    Run(95.0, 0.5);
    Run(5.0, 0.1);

    const std::vector<RGBA> pixels = ReadPixels();
    if (const char* out = std::getenv("TUMBLIX_FRAME_OUT"))
        WritePPM(out, pixels, viewWidth, viewHeight);

    const RGBA corner = ReadPixel(2, 2);
    EXPECT_GT(corner.g, 60) << "the hills of the picture: " << corner;
    EXPECT_LT(corner.r, 40);
    int white = 0;
    for (int y = viewHeight / 2 - 30; y < viewHeight / 2 + 30; y++)
        for (int x = 100; x < viewWidth - 100; x++) {
            const RGBA& p = pixels[size_t(y) * viewWidth + x];
            white += p.r > 200 && p.g > 200 && p.b > 200;
        }
    EXPECT_GT(white, 300) << "the clock";
    ASSERT_TRUE(scene.bannerShown);
    const int logoX = scene.bannerPos.x == 0.0f ? 30 : viewWidth - 30;
    const RGBA logo = ReadPixel(logoX, int(scene.bannerPos.y) + 3);
    EXPECT_NEAR(logo.r, scenefiles::kLogo.r, 4) << logo;
    EXPECT_NEAR(logo.g, scenefiles::kLogo.g, 4) << logo;
}

} // namespace
