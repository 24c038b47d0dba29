#include "SceneFiles.h"

#include <cstdlib>

namespace {

using scenefiles::kLogo;
using scenefiles::kMessage;

const RGBA kWhite = {255, 255, 255, 0};

bool Near(RGBA a, RGBA b, int tolerance = 4) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// A white colour background and nothing else, so only the overlay shows.
class Overlay : public SceneFixture {
  protected:
    Overlay() : SceneFixture(640, 360) {}
    void SetUp() override {
        SceneFixture::SetUp();
        settings.NUM_BOTTLES = 0;
        settings.SHOWCLOCK = false;
    }
    // Inside the plain bottom quarter of a strip whose lower edge is at y.
    RGBA StripPixel(int x, float y) const { return ReadPixel(x, int(y) + 3); }
    // A point of the logo clear of the message strip.
    int LogoSampleX() const { return scene.bannerPos.x == 0.0f ? 30 : viewWidth - 30; }
};

TEST_F(Overlay, TheMessageScreenComesAfterAMinuteAndHoldsForTwenty) {
    ASSERT_TRUE(SetUpScene());
    Run(59.0);
    EXPECT_EQ(scene.messageAlpha, 0.0f);
    EXPECT_EQ(CountPixelsNot(kWhite), 0) << "nothing of the overlay shows yet";

    Run(3.5);
    EXPECT_EQ(scene.messageAlpha, 1.0f);
    EXPECT_TRUE(Near(ReadPixel(5, 5), {0, 0, 0, 0}, 1)) << ReadPixel(5, 5);
    // The current message, 5 until the first banner, across the middle.
    const float strip = 352.0f / 768 * viewHeight;
    EXPECT_TRUE(Near(StripPixel(viewWidth / 2, strip), kMessage[1])) << StripPixel(320, strip);
    EXPECT_TRUE(Near(StripPixel(3, strip), kMessage[1]));
    EXPECT_TRUE(Near(ReadPixel(viewWidth / 2, int(strip) - 3), {0, 0, 0, 0}, 1));

    Run(79.5 - elapsed);
    EXPECT_EQ(scene.messageAlpha, 1.0f);
    Run(83.0 - elapsed);
    EXPECT_EQ(scene.messageAlpha, 0.0f);
    EXPECT_GT(scene.messageTimer, 36.0f);
    EXPECT_LE(scene.messageTimer, 40.0f);
    EXPECT_EQ(CountPixelsNot(kWhite), 0);

    // And once a minute after that, fading in over a black veil.
    Run(121.0 - elapsed, 0.1);
    EXPECT_GT(scene.messageAlpha, 0.0f);
    EXPECT_NEAR(ReadPixel(5, 5).r, 255 * (1 - scene.messageAlpha), 3);
}

TEST_F(Overlay, ThePreviewHasNoOverlay) {
    ASSERT_TRUE(SetUpScene(true));
    Run(100.0);
    EXPECT_EQ(CountPixelsNot(kWhite), 0) << "no veil, no message, no banner";
}

TEST_F(Overlay, TheBannerAlternatesEdgesWithRandomSidesAndMessages) {
    ASSERT_TRUE(SetUpScene());
    std::srand(11);
    const unsigned first = 4 + unsigned(std::rand() % 4);
    const bool firstRight = std::rand() % 2 != 0;
    const unsigned second = 4 + unsigned(std::rand() % 4);
    const bool secondRight = std::rand() % 2 != 0;
    std::srand(11);

    Run(89.9, 0.1);
    EXPECT_FALSE(scene.bannerShown);
    EXPECT_NEAR(scene.bannerPos.y, -40.0f, 0.01f);
    EXPECT_EQ(scene.messageIndex, 5u);

    // The first one comes in at the top.
    Run(0.2, 0.1);
    ASSERT_TRUE(scene.bannerShown);
    EXPECT_TRUE(scene.bannerAtTop);
    EXPECT_EQ(scene.messageIndex, first);
    EXPECT_EQ(scene.bannerPos.x, firstRight ? float(viewWidth - 256) : 0.0f);
    EXPECT_GT(scene.bannerPos.y, float(viewHeight + 30));
    EXPECT_GT(scene.bannerTimer, 19.0f);

    Run(105.0 - elapsed, 0.1);
    EXPECT_NEAR(scene.bannerPos.y, float(viewHeight - 40), 0.5f);
    const float y = scene.bannerPos.y;
    EXPECT_TRUE(Near(StripPixel(LogoSampleX(), y), kLogo)) << StripPixel(LogoSampleX(), y);
    EXPECT_TRUE(Near(StripPixel(viewWidth / 2, y), kMessage[first - 4]));
    // The message strip starts at width / 2 - 256, over the logo.
    EXPECT_TRUE(Near(StripPixel(viewWidth / 2 - 254, y), kMessage[first - 4]));
    EXPECT_TRUE(Near(StripPixel(viewWidth / 2 - 259, y), firstRight ? kWhite : kLogo));
    EXPECT_TRUE(Near(ReadPixel(viewWidth / 2, int(y) - 3), kWhite));

    Run(110.5 - elapsed, 0.1);
    EXPECT_FALSE(scene.bannerShown) << "shown for 20 seconds";
    EXPECT_GT(scene.bannerPos.y, y);

    // The second one, 30 seconds later, at the bottom.
    Run(140.2 - elapsed, 0.1);
    ASSERT_TRUE(scene.bannerShown);
    EXPECT_FALSE(scene.bannerAtTop);
    EXPECT_EQ(scene.messageIndex, second);
    EXPECT_EQ(scene.bannerPos.x, secondRight ? float(viewWidth - 256) : 0.0f);
    EXPECT_LT(scene.bannerPos.y, -30.0f);
    Run(158.0 - elapsed, 0.1);
    EXPECT_NEAR(scene.bannerPos.y, 5.0f, 0.5f);
    EXPECT_TRUE(Near(StripPixel(LogoSampleX(), scene.bannerPos.y), kLogo));
    EXPECT_TRUE(Near(StripPixel(viewWidth / 2, scene.bannerPos.y), kMessage[second - 4]));
}

} // namespace
