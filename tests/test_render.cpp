#include "FileContents.h"
#include "RunTool.h"
#include "TempDir.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

// tumblix --render end to end: a preference file written here, the build's
// default content or none, and the PNG frame it writes looked at pixel by pixel.

namespace {

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
    void TearDown() override { SDL_FreeSurface(frame); }
    // Renders 320 by 240 frames up to the last, which is loaded as RGB24.
    void Render(const std::string& args, int frames, int status = 0) {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName("dwTumblixSS");
        store->setObject("1.0", "version");
        EXPECT_TRUE(WriteSettings(*store, settings, mainMonitorOnly, settings.BGPath, "##"));
        const std::string out = tmp / ("frames" + std::to_string(runs++));
        const std::string cmd = Quote(BuildProgram("tumblix")) + " --render " + Quote(out) +
                                " --size 320x240 --frames " + std::to_string(frames) + " --every " +
                                std::to_string(frames) + " --seed 11 " + args;
        EXPECT_EQ(RunTool(cmd + " 2>" + Quote(tmp / "stderr.txt")).status, status) << cmd;
        if (status != 0)
            return;
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05d.png", frames);
        SDL_Surface* loaded = IMG_Load((out + name).c_str());
        ASSERT_NE(loaded, nullptr) << name;
        SDL_FreeSurface(frame);
        frame = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
        SDL_FreeSurface(loaded);
        ASSERT_EQ(frame->w, 320);
        ASSERT_EQ(frame->h, 240);
    }
    // Pixels more than 30 away from black in rows y0 to y1, the top row 0.
    int CountLit(int y0, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = 0; x < 320; x++) {
                const uint8_t* p = static_cast<uint8_t*>(frame->pixels) + y * frame->pitch + x * 3;
                n += *std::max_element(p, p + 3) > 30;
            }
        return n;
    }

    TempDir tmp;
    SETTINGS settings;
    bool mainMonitorOnly = false;
    int runs = 0;
    SDL_Surface* frame = nullptr;
};

} // namespace

TEST_F(RenderTest, TheMessageScreenVeilsAllButItsStripExceptInThePreview) {
    settings.NUM_BOTTLES = 5;
    // 62 s into the scene. Outside the strip across the middle the veil
    // leaves the picture dark.
    Render("", 2170);
    ASSERT_FALSE(HasFailure());
    EXPECT_LT(CountLit(0, 80) + CountLit(160, 240), 320 * 160 / 50)
        << "the veil hides the colour and the bottles";
    EXPECT_GT(CountLit(100, 140), 500) << "the message strip shows";
    Render("--preview", 2170);
    ASSERT_FALSE(HasFailure());
    EXPECT_GT(CountLit(0, 80), 320 * 80 / 2) << "no veil in the preview";
}

TEST_F(RenderTest, AFailedSetUpSaysWhatIsMissing) {
    Render("--resources " + Quote(tmp.Subdir("empty")), 5, 1);
    const std::string err = Contents(tmp / "stderr.txt");
    EXPECT_NE(err.find("dewkin.works"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
