// The scene's underlay (clock and countdown) and overlay (messages and banners).
#include "SaverFiles.h"
#include "SceneFiles.h"
#include "scene/Text.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// A fixed zone five hours behind UTC: a clock that read UTC would be caught.
const bool zoneSet = [] {
    setenv("TZ", "EST5", 1);
    tzset();
    return true;
}();

time_t fakeNow = 0;

// Sets the simulated local time of day (on 14 March 2024).
void At(int hour, int minute, int second) {
    struct tm t = {};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    fakeNow = mktime(&t);
    SetWallClock([] { return fakeNow; });
}

std::string ClockText(bool twelveHour) {
    char out[TEXT_LINE_SIZE];
    Clock(out, twelveHour);
    return out;
}

std::string CountDownText(int hour, int minute, int second) {
    char out[TEXT_LINE_SIZE];
    CountDown(out, hour, minute, second);
    return out;
}

class TextTimes : public ::testing::Test {
  protected:
    void TearDown() override { SetWallClock(nullptr); }
};

TEST_F(TextTimes, ClockShowsLocalTimeWithBlinkingSeparatorsCountDownTheTimeLeftToday) {
    ASSERT_TRUE(zoneSet);
    struct Case {
        int h, m, s;
        const char* full;
        const char* twelve;
    } cases[] = {
        {21, 5, 7, "21:05:07", "9:05:07PM"},  {21, 5, 8, "21 05 08", "9 05 08PM"},
        {12, 0, 1, "12:00:01", "12:00:01AM"}, {0, 0, 2, "0 00 02", "0 00 02AM"},
        {13, 0, 3, "13:00:03", "1:00:03PM"},  {23, 59, 59, "23:59:59", "11:59:59PM"},
    };
    for (const Case& c : cases) {
        At(c.h, c.m, c.s);
        EXPECT_EQ(ClockText(false), c.full);
        EXPECT_EQ(ClockText(true), c.twelve);
    }
    // The countdown spells out the time left today.
    struct Row {
        int h, m, s;
        int targetHour, targetMinute;
        const char* text;
    } rows[] = {
        {15, 30, 20, 17, 0, "1 Hours,29 Minutes,40 Seconds."},
        {15, 0, 0, 17, 0, "2 Hours."},
        {16, 59, 0, 17, 0, "1 Minutes."},
        {16, 59, 30, 17, 0, "30 Seconds."},
        {16, 0, 59, 17, 0, "59 Minutes,1 Seconds."},
        {17, 0, 0, 17, 0, ""},
        {17, 0, 1, 17, 0, "Now! Go forth and drink beer!"},
        // No rollover: a target of midnight has passed for the whole day.
        {23, 59, 59, 0, 0, "Now! Go forth and drink beer!"},
        {0, 0, 0, 0, 0, ""},
        {0, 0, 1, 23, 59, "23 Hours,58 Minutes,59 Seconds."},
        {12, 0, 0, 12, 75, "75 Minutes."},
    };
    for (const Row& c : rows) {
        At(c.h, c.m, c.s);
        EXPECT_EQ(CountDownText(c.targetHour, c.targetMinute, 0), c.text)
            << c.h << ":" << c.m << ":" << c.s;
    }
    // Any stored target fits the line.
    for (int hour : {2147483647, -2147483647 - 1})
        for (int minute : {2147483647, -2147483647 - 1, 0})
            EXPECT_LT(CountDownText(hour, minute, 0).size(), size_t(TEXT_LINE_SIZE));
}

// The clock and countdown lines of a running scene.
class UnderlayText : public SceneFixture {
  protected:
    UnderlayText() : SceneFixture(256, 192) {}
    void SetUp() override {
        SceneFixture::SetUp();
        settings.NUM_BOTTLES = 0;
        settings.BGCol = VECTOR3D(0, 0, 0);
        At(21, 5, 7);
    }
    // Lit pixels in rows y0 to y1, and the middle of their bounding box.
    int Lit(int y0 = 0, int y1 = 1 << 20, double* midX = nullptr, double* midY = nullptr) const {
        const std::vector<RGBA> pixels = ReadPixels();
        int n = 0, left = viewWidth, right = 0, bottom = viewHeight, top = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, viewHeight); y++)
            for (int x = 0; x < viewWidth; x++)
                if (pixels[size_t(y) * viewWidth + x].r > 60) {
                    n++;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    bottom = std::min(bottom, y);
                    top = std::max(top, y);
                }
        if (midX != nullptr) {
            *midX = (left + right) / 2.0;
            *midY = (bottom + top) / 2.0;
        }
        return n;
    }
};

TEST_F(UnderlayText, TheClockFadesInAfterTenSecondsThenTakesTurnsWithTheCountdown) {
    settings.SHOWCOUNTDOWN = true;
    settings.thr = 22;
    settings.tmin = 0;
    ASSERT_TRUE(SetUpScene());
    Run(1.0 / 35.0);
    EXPECT_EQ(scene.countdownAlpha, 0.0f) << "the countdown starts hidden behind the clock";
    Run(9.9 - elapsed);
    EXPECT_LT(scene.clockAlpha, 0.0f);
    EXPECT_EQ(Lit(), 0);
    Run(3.2);
    EXPECT_GE(scene.clockAlpha, 0.9f);
    EXPECT_LE(scene.clockAlpha, 0.9 + 0.3 / 35.0);
    int brightest = 0;
    for (const RGBA& p : ReadPixels())
        brightest = std::max(brightest, int(p.r));
    EXPECT_NEAR(brightest, 229, 4);
    // Centred on the view: the line runs from -0.375 n to (0.375 n + 0.25) cells.
    double midX = 0, midY = 0;
    Lit(0, viewHeight, &midX, &midY);
    const double cell = 100.0 * viewWidth / 1024.0;
    EXPECT_NEAR(midX, viewWidth / 2.0 + 0.125 * cell, cell * 0.3);
    EXPECT_NEAR(midY, viewHeight / 2.0, 3);

    Run(19.9 - elapsed);
    EXPECT_FALSE(scene.countdownPhase);
    EXPECT_GE(scene.clockAlpha, 0.9f);
    Run(0.2);
    EXPECT_TRUE(scene.countdownPhase);
    EXPECT_GT(scene.countdownTimer, 44.7f) << "re-armed at 45";
    EXPECT_LE(scene.countdownTimer, 45.0f);
    Run(3.1);
    EXPECT_EQ(scene.clockAlpha, 0.0f);
    EXPECT_GE(scene.countdownAlpha, 0.9f);
    // "You can have a beer in..." above, "54 Minutes,53 Seconds." below the middle.
    const int heading = int(404.0 / 768 * viewHeight), line = int(364.0 / 768 * viewHeight);
    EXPECT_GT(Lit(heading - 3, heading + 4), 20);
    EXPECT_GT(Lit(line - 3, line + 4), 20);
    EXPECT_EQ(Lit(0, line - 12) + Lit(heading + 12, viewHeight), 0);
    Run(64.9 - elapsed);
    EXPECT_TRUE(scene.countdownPhase);
    Run(45.0);
    EXPECT_FALSE(scene.countdownPhase) << "they swap every 45 seconds";
    EXPECT_GE(scene.clockAlpha, 0.9f);
    EXPECT_EQ(scene.countdownAlpha, 0.0f);
}

using scenefiles::kLogo;
using scenefiles::kMessage;

const RGBA kWhite = {255, 255, 255, 0};

using saverfiles::Near;

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
