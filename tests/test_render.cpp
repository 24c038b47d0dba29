#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
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
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
    // Pixels more than `tolerance` away from c in rows y0 to y1.
    int CountOther(const uint8_t c[3], int tolerance, int y0 = 0, int y1 = 240) const {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = 0; x < width; x++)
                n += std::abs(At(x, y)[0] - c[0]) > tolerance ||
                     std::abs(At(x, y)[1] - c[1]) > tolerance ||
                     std::abs(At(x, y)[2] - c[2]) > tolerance;
        return n;
    }
};

Frame LoadFrame(const std::string& path) {
    Frame f;
    SDL_Surface* loaded = IMG_Load(path.c_str());
    SDL_Surface* s =
        loaded != nullptr ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0) : nullptr;
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
    return f;
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
    // Renders 320 by 240 frames and loads every written one: frame n is
    // frames[n], drawn n / 35 s into the scene.
    std::vector<Frame> Render(const std::string& args, int frames, int every, int status = 0) {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName("dwTumblixSS");
        store->setObject("1.0", "version");
        EXPECT_TRUE(WriteSettings(*store, settings, mainMonitorOnly, settings.BGPath, "##"));
        const std::string out = tmp / ("frames" + std::to_string(runs++));
        const std::string cmd = Quote(BuildProgram("tumblix")) + " --render " + Quote(out) +
                                " --size 320x240 --frames " + std::to_string(frames) + " --every " +
                                std::to_string(every) + " --seed 11 " + args;
        EXPECT_EQ(RunTool(cmd + " 2>" + Quote(tmp / "stderr.txt")).status, status) << cmd;
        std::vector<Frame> result(frames + 1);
        for (int n = every; n <= frames; n += every) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05d.png", n);
            result[n] = LoadFrame(out + name);
            if (status == 0) {
                EXPECT_EQ(result[n].width, 320) << name;
                EXPECT_EQ(result[n].height, 240) << name;
            }
        }
        return result;
    }

    TempDir tmp;
    SETTINGS settings;
    bool mainMonitorOnly = false;
    int runs = 0;
    const uint8_t colour[3] = {51, 102, 153}, black[3] = {0, 0, 0};
};

} // namespace

TEST_F(RenderTest, TheDefaultBottlesMoveInView) {
    settings.NUM_BOTTLES = 5;
    std::vector<Frame> f = Render("", 350, 35);
    if (HasFailure())
        return;
    for (int n = 35; n <= 350; n += 35)
        EXPECT_GT(f[n].CountOther(colour, 6), 100) << "frame " << n << " shows bottles";
    // Between two frames a second apart the bottles have moved.
    int changed = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            changed += std::memcmp(f[35].At(x, y), f[70].At(x, y), 3) != 0;
    EXPECT_GT(changed, 200);
}

TEST_F(RenderTest, TheMessageScreenVeilsAllButItsStripExceptInThePreview) {
    settings.NUM_BOTTLES = 5;
    // 62 s into the scene. Outside the strip across the middle the veil
    // leaves the picture dark.
    std::vector<Frame> f = Render("", 2170, 2170);
    if (HasFailure())
        return;
    const int outside = f[2170].CountOther(black, 30, 0, 80) + f[2170].CountOther(black, 30, 160);
    EXPECT_LT(outside, 320 * 160 / 50) << "the veil hides the colour and the bottles";
    EXPECT_GT(f[2170].CountOther(black, 30, 100, 140), 500) << "the message strip shows";

    std::vector<Frame> p = Render("--preview", 2170, 2170);
    if (HasFailure())
        return;
    EXPECT_GT(p[2170].CountOther(black, 30, 0, 80), 320 * 80 / 2) << "no veil in the preview";
}

TEST_F(RenderTest, AFailedSetUpSaysWhatIsMissing) {
    Render("--resources " + Quote(tmp.Subdir("empty")), 5, 5, 1);
    const std::string err = Contents(tmp / "stderr.txt");
    EXPECT_NE(err.find("dewkin.works"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
