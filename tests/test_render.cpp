#include "RunTool.h"
#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

// tumblix --render end to end: preference files written here, the build's
// default content or none, and the PNG frames it writes looked at pixel by
// pixel.

namespace {

struct Frame {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
    bool ok = false;
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

Frame LoadFrame(const std::string& path) {
    Frame f;
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (loaded == nullptr)
        return f;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    if (s == nullptr)
        return f;
    f.width = s->w;
    f.height = s->h;
    f.rgb.resize(size_t(f.width) * f.height * 3);
    for (int y = 0; y < f.height; y++)
        std::memcpy(&f.rgb[size_t(y) * f.width * 3],
                    static_cast<uint8_t*>(s->pixels) + y * s->pitch, f.width * 3);
    SDL_FreeSurface(s);
    f.ok = true;
    return f;
}

// Pixels whose colour is more than `tolerance` away from c, in a rectangle.
int CountOther(const Frame& f, const uint8_t c[3], int tolerance, int x0 = 0, int y0 = 0,
               int x1 = -1, int y1 = -1) {
    if (x1 < 0)
        x1 = f.width;
    if (y1 < 0)
        y1 = f.height;
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            const uint8_t* p = f.At(x, y);
            if (std::abs(p[0] - c[0]) > tolerance || std::abs(p[1] - c[1]) > tolerance ||
                std::abs(p[2] - c[2]) > tolerance)
                n++;
        }
    return n;
}

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (tmp.Subdir("config")).c_str(), 1);
        setenv("XDG_DATA_HOME", (tmp.Subdir("data")).c_str(), 1);
        DefaultSettings(&settings, &mainMonitorOnly);
        settings.BGTYPE = 3;
        settings.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
        settings.SHOWCLOCK = false;
        settings.PLAYSOUND = false;
    }
    void Store() {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName("dwTumblixSS");
        store->setObject("1.0", "version");
        ASSERT_TRUE(WriteSettings(*store, settings, mainMonitorOnly, settings.BGPath, "##"));
    }
    // Renders and loads every written frame; frame n is frames[n].
    std::vector<Frame> Render(const std::string& args, int frames, int every, int* status = nullptr,
                              const std::string& resources = "") {
        Store();
        const std::string out = tmp / ("frames" + std::to_string(runs++));
        std::string cmd = Quote(BuildProgram("tumblix")) + " --render " + Quote(out) +
                          " --size 320x240 --frames " + std::to_string(frames) + " --every " +
                          std::to_string(every) + " --seed 11 " + args;
        if (!resources.empty())
            cmd += " --resources " + Quote(resources);
        const ToolResult r = RunTool(cmd + " 2>" + Quote(tmp / "stderr.txt"));
        if (status != nullptr) {
            *status = r.status;
        } else {
            EXPECT_EQ(r.status, 0) << cmd;
        }
        std::vector<Frame> result(frames + 1);
        for (int n = every; n <= frames; n += every) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05d.png", n);
            result[n] = LoadFrame(out + name);
        }
        return result;
    }
    std::string Stderr() {
        std::string text;
        FILE* f = std::fopen((tmp / "stderr.txt").c_str(), "r");
        if (f) {
            char buf[1024];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                text.append(buf, n);
            std::fclose(f);
        }
        return text;
    }

    TempDir tmp;
    SETTINGS settings;
    bool mainMonitorOnly = false;
    int runs = 0;
    const uint8_t colour[3] = {51, 102, 153};
};

} // namespace

TEST_F(RenderTest, ColourBackgroundAndNoBottles) {
    settings.NUM_BOTTLES = 0;
    std::vector<Frame> f = Render("", 10, 5);
    ASSERT_TRUE(f[10].ok);
    EXPECT_EQ(f[10].width, 320);
    EXPECT_EQ(f[10].height, 240);
    EXPECT_EQ(CountOther(f[10], colour, 2), 0) << "only the colour, and no bottle";
    ASSERT_TRUE(f[5].ok) << "every fifth frame is written";
}

TEST_F(RenderTest, DefaultBottlesAppearMoveAndStayInView) {
    settings.NUM_BOTTLES = 5;
    std::vector<Frame> f = Render("", 350, 35);
    for (int n = 35; n <= 350; n += 35) {
        ASSERT_TRUE(f[n].ok) << n;
        const int bottlePixels = CountOther(f[n], colour, 6);
        EXPECT_GT(bottlePixels, 100) << "frame " << n << " shows bottles";
    }
    // Between two frames a second apart the bottles have moved.
    int changed = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            if (std::memcmp(f[35].At(x, y), f[70].At(x, y), 3) != 0)
                changed++;
    EXPECT_GT(changed, 200);
}

TEST_F(RenderTest, ClockFadesInBetweenTenAndThirteenSeconds) {
    settings.NUM_BOTTLES = 0;
    settings.SHOWCLOCK = true;
    // Frame n is drawn n/35 s into the scene: 9 s and 13 s.
    std::vector<Frame> f = Render("", 455, 35);
    ASSERT_TRUE(f[315].ok && f[455].ok);
    // The clock line sits across the middle of the view.
    EXPECT_EQ(CountOther(f[315], colour, 4), 0) << "nothing but the colour before 10 s";
    const int middle = CountOther(f[455], colour, 40, 0, 90, 320, 150);
    EXPECT_GT(middle, 200) << "the clock is shown by 13 s";
    EXPECT_EQ(CountOther(f[455], colour, 40, 0, 0, 320, 60), 0) << "and only in the middle";
}

TEST_F(RenderTest, TheMessageScreenVeilsAllButItsStripExceptInThePreview) {
    settings.NUM_BOTTLES = 5;
    // 62 s into the scene.
    std::vector<Frame> f = Render("", 2170, 2170);
    ASSERT_TRUE(f[2170].ok);
    // Outside the strip across the middle the veil leaves the picture dark.
    const uint8_t black[3] = {0, 0, 0};
    const int outside = CountOther(f[2170], black, 30, 0, 0, 320, 80) +
                        CountOther(f[2170], black, 30, 0, 160, 320, 240);
    EXPECT_LT(outside, 320 * 160 / 50) << "the veil hides the colour and the bottles";
    EXPECT_GT(CountOther(f[2170], black, 30, 0, 100, 320, 140), 500) << "the message strip shows";

    std::vector<Frame> p = Render("--preview", 2170, 2170);
    ASSERT_TRUE(p[2170].ok);
    EXPECT_GT(CountOther(p[2170], black, 30, 0, 0, 320, 80), 320 * 80 / 2)
        << "no veil in the preview";
}

TEST_F(RenderTest, AFailedSetUpSaysWhatIsMissing) {
    int status = 0;
    Render("", 5, 5, &status, tmp.Subdir("empty"));
    EXPECT_EQ(status, 1);
    const std::string err = Stderr();
    EXPECT_NE(err.find("dewkin.works"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
