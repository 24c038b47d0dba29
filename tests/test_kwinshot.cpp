#include "ChildProcess.h"
#include "FakeKwin.h"
#include "SaverFiles.h"
#include "host/platform/kde/KwinScreenShot.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

// KWin's screenshot interface as the desktop capture reads it: the QImage
// formats it converts, and, over a real private session bus, a stand-in for
// KWin that answers well, or badly in each way a compositor may: the
// capture gives up within its time limit and hands back no pixels.

namespace {

RGBA PixelAt(const DesktopPixels& p, int x, int y) {
    const uint8_t* c = &p.rgba[(size_t(y) * size_t(p.width) + size_t(x)) * 4];
    return RGBA{c[0], c[1], c[2], c[3]};
}

// Each format KWin may name, two pixels a row, two rows, padded past the
// pixels, top row first; out come R, G, B, opaque, bottom row first.
// Premultiplied formats are divided back out. Formats we do not read, and
// sizes the bytes do not hold, are refused.
TEST(KwinConvert, EveryFormatBottomRowFirst) {
    // Top row: orange, half-transparent grey (premultiplied: 64); bottom row:
    // blue, clear.
    const struct {
        uint32_t format;
        bool words, premultiplied, opaque;
    } formats[] = {{4, true, false, true},    {5, true, false, false},
                   {6, true, true, false},    {16, false, false, true},
                   {17, false, false, false}, {18, false, true, false}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        const auto pixel = [&](uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
            const uint8_t x = f.opaque ? 0x11 : a; // what an opaque format leaves there
            return f.words ? std::vector<uint8_t>{b, g, r, x} : std::vector<uint8_t>{r, g, b, x};
        };
        const uint8_t grey = f.premultiplied ? 64 : 128;
        std::vector<uint8_t> bytes;
        for (const auto& p : {pixel(250, 120, 10, 255), pixel(grey, grey, grey, 128),
                              std::vector<uint8_t>(4, 0xee), pixel(0, 0, 250, 255),
                              pixel(0, 0, 0, 0), std::vector<uint8_t>(4, 0xee)}) {
            bytes.insert(bytes.end(), p.begin(), p.end());
        }
        DesktopPixels out;
        ASSERT_TRUE(KwinScreenShot::Convert(f.format, 2, 2, 12, bytes.data(), bytes.size(), &out));
        ASSERT_EQ(out.rgba.size(), 16u);
        EXPECT_EQ(PixelAt(out, 0, 0), (RGBA{0, 0, 250, 255}));
        EXPECT_EQ(PixelAt(out, 1, 0), (RGBA{0, 0, 0, 255}));
        EXPECT_EQ(PixelAt(out, 0, 1), (RGBA{250, 120, 10, 255}));
        EXPECT_TRUE(saverfiles::Near(PixelAt(out, 1, 1), RGBA{128, 128, 128, 255}, 1))
            << PixelAt(out, 1, 1);
    }
    const std::vector<uint8_t> bytes(64, 0x80);
    DesktopPixels out;
    for (const uint32_t unread : {0u, 3u, 7u, 13u, 21u, 29u}) {
        EXPECT_FALSE(KwinScreenShot::Convert(unread, 2, 2, 8, bytes.data(), 64, &out)) << unread;
    }
    EXPECT_FALSE(KwinScreenShot::Convert(5, 4, 5, 16, bytes.data(), 64, &out)); // too few bytes
    EXPECT_FALSE(KwinScreenShot::Convert(5, 4, 2, 12, bytes.data(), 64, &out)); // rows overlap
    EXPECT_FALSE(KwinScreenShot::Convert(5, 0, 2, 16, bytes.data(), 64, &out));
    EXPECT_TRUE(out.rgba.empty());
    EXPECT_TRUE(KwinScreenShot::Convert(5, 4, 4, 16, bytes.data(), 64, &out));
}

// One capture on the stand-in's bus, on a thread of its own: a capture
// that hangs ends the test program after `limit` seconds with a message,
// rather than the test sitting out ctest's time.
struct Outcome {
    bool ok = false;
    DesktopPixels pixels;
    std::string why;
    double seconds = 0.0;
};
Outcome Capture(FakeKwin& fake, int width, int height, double limit) {
    for (const auto& [name, value] : fake.env()) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    auto result = std::make_shared<Outcome>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    const auto start = std::chrono::steady_clock::now();
    std::thread([=] {
        result->ok = KwinScreenShot::Capture("Virtual-0", width, height, &result->pixels,
                                             &result->why);
        *done = true;
    }).detach();
    if (!WaitFor(limit, [&] { return done->load(); })) {
        std::fprintf(stderr, "KwinScreenShot::Capture still runs after %.1f s: it hangs\n", limit);
        fake.Stop();
        std::_Exit(1);
    }
    result->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    return *result;
}

// A well-behaved stand-in: the picture, top row at the top, in each
// 32-bit B, G, R, A format it may name.
TEST(KwinBus, AGoodPictureEachWayItMayCome) {
    for (const int format : {4, 5, 6}) {
        SCOPED_TRACE(format);
        FakeKwin fake("good", 64, 48, format);
        ASSERT_TRUE(fake.ok()) << fake.whyNot();
        const Outcome o = Capture(fake, 64, 48, KwinScreenShot::kWaitSeconds + 5.0);
        ASSERT_TRUE(o.ok) << o.why;
        EXPECT_EQ(fake.Captures(), std::vector<std::string>{"Virtual-0"});
        ASSERT_EQ(std::pair(o.pixels.width, o.pixels.height), std::pair(64, 48));
        // Bottom row first: the lower half comes first.
        EXPECT_EQ(PixelAt(o.pixels, 5, 2), FakeKwin::kBottom);
        EXPECT_EQ(PixelAt(o.pixels, 60, 45), FakeKwin::kTop);
        EXPECT_LT(o.seconds, KwinScreenShot::kWaitSeconds);
    }
}

// Every bad answer gives up within the time limit (those that end at once
// without waiting it out), says why, and hands back no pixels.
TEST(KwinBus, EveryBadAnswerGivesUpInTimeWithNoPixels) {
    const struct {
        const char* mode;
        int width, height, format; // what it promises
        const char* why;
        bool waits; // nothing comes, so the capture waits out its time
    } cases[] = {
        {"silent", 320, 240, 5, "did not answer in time", true},
        {"mute", 320, 240, 5, "did not write the picture in time", true},
        {"empty", 320, 240, 5, "wrote 0 bytes of 307200", false},
        {"short", 320, 240, 5, "wrote 153600 bytes of 307200", false},
        {"good", 320, 240, 21, "format we do not read (21)", false}, // 10 bits a channel
        {"good", 320, 240, 3, "format we do not read (3)", false},   // a palette
        {"refuse", 320, 240, 5, "not authorized", false},
        {"good", 160, 120, 5, "a picture of 160x120 for an output of 320x240", false},
        {"good", 320, 241, 5, "a picture of 320x241 for an output of 320x240", false},
    };
    const double limit = KwinScreenShot::kWaitSeconds;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.width) + "x" +
                     std::to_string(c.height) + " format " + std::to_string(c.format));
        FakeKwin fake(c.mode, c.width, c.height, c.format);
        ASSERT_TRUE(fake.ok()) << fake.whyNot();
        const Outcome o = Capture(fake, 320, 240, limit + 5.0);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.why.find(c.why), std::string::npos) << o.why;
        EXPECT_EQ(fake.Captures(), std::vector<std::string>{"Virtual-0"});
        EXPECT_EQ(o.pixels.width, 0);
        EXPECT_TRUE(o.pixels.rgba.empty());
        EXPECT_LT(o.seconds, c.waits ? limit + 1.0 : limit - 1.0) << o.why;
        if (c.waits) {
            EXPECT_GT(o.seconds, limit - 0.5) << o.why;
        }
    }
}

} // namespace
