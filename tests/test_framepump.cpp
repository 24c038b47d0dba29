#include "GLFixture.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "scene/SSMain.h"

#include <memory>

// The real frame pump of a view, ticked by hand on the simulated clock.

namespace {

const double kThreshold = 0.01666666753590107; // 1/60 in single precision

class FramePumpTest : public GLFixture {
  protected:
    FramePumpTest() : GLFixture(96, 64) {}
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        saverfiles::UseUserFolders(tmp.path());
        saverfiles::Prefs prefs;
        prefs.maxBottles = 2;
        saverfiles::WritePreferences(prefs);
        saverfiles::WriteResources(tmp.Subdir("res"), 2, RGBA{0, 0, 0, 255});
        HostClock::UseSimulated(1700000000);
        NSRect frame;
        frame.width = viewWidth;
        frame.height = viewHeight;
        view = std::make_unique<TumblixView>(frame, false, &window, tmp / "res");
        view->seed = 7;
        view->startAnimation();
    }
    void TearDown() override {
        view.reset();
        HostClock::UseSystem();
        GLFixture::TearDown();
    }
    // Advances the clock and runs one tick; true when it drew a frame.
    bool Tick(double seconds) {
        HostClock::Advance(seconds);
        const long before = view->framesDrawn;
        view->animateOneFrame();
        return view->framesDrawn == before + 1;
    }

    TempDir tmp;
    std::unique_ptr<TumblixView> view;
};

} // namespace

TEST_F(FramePumpTest, DrawsOnlyAfterASixtiethAndRestartsAfterTwoSeconds) {
    // The first tick sets the scene up; its clock starts then, so nothing is
    // drawn.
    HostClock::Advance(5.0);
    view->animateOneFrame();
    ASSERT_NE(view->ssMain, nullptr) << view->setupError;
    EXPECT_EQ(view->framesDrawn, 0);
    EXPECT_EQ(view->animtime, 5.0);

    // Each row: the gap before the tick, whether it draws, and the frame time
    // the scene is given (the time since the last drawn frame).
    struct Row {
        double gap;
        bool drawn;
        double frameTime;
    } rows[] = {
        {1.0 / 32, true, 1.0 / 32},
        {0.0166, false, 0},
        {0.0166, true, 0.0332}, // measured from the last drawn frame
        {kThreshold, false, 0}, // exactly a sixtieth is not more than one
        {1.0 / 1024, true, kThreshold + 1.0 / 1024},
        {0.01, false, 0},
        {0.01, true, 0.02},
        {2.0, true, 2.0},           // two seconds still draw, the whole gap
        {2.0 + 1.0 / 64, false, 0}, // a longer gap restarts the clock...
        {1.0 / 16, true, 1.0 / 16}, // ...and the next frame measures from the skipped tick
        {3.0, false, 0},
        {0.0166, false, 0},
        {0.0166, true, 0.0332},
    };
    double now = HostClock::Now(), lastDrawn = view->animtime;
    for (const Row& r : rows) {
        const double frameTime = view->ssMain->frameTime;
        now += r.gap;
        EXPECT_EQ(Tick(r.gap), r.drawn) << "gap " << r.gap;
        if (r.drawn) {
            EXPECT_NEAR(view->ssMain->frameTime, r.frameTime, 1e-9) << "gap " << r.gap;
            lastDrawn = now;
        } else {
            EXPECT_EQ(view->ssMain->frameTime, frameTime) << "an undrawn tick moves nothing";
            if (r.gap > 2.0)
                lastDrawn = now;
        }
        EXPECT_DOUBLE_EQ(view->animtime, lastDrawn) << "gap " << r.gap;
    }
}

TEST_F(FramePumpTest, AResizeRunsOnlyTheGLSetUpAgain) {
    RGBA corner;
    view->onFrameDrawn = [&] { corner = ReadPixel(0, 0); };
    Tick(0);
    ASSERT_TRUE(Tick(1.0 / 32));
    EXPECT_EQ(corner, (RGBA{255, 255, 255, 0})) << "the colour background";
    SSMAIN* scene = view->ssMain;
    // A mark a fresh scene would not carry.
    scene->bannerTimer = 500.0f;
    glViewport(0, 0, 1, 1);
    view->setFrameSize(48, 32);
    EXPECT_TRUE(Tick(1.0 / 32));
    ASSERT_EQ(view->ssMain, scene);
    EXPECT_NEAR(scene->bannerTimer, 500.0f - 1.0f / 32, 1e-4) << "the scene was not set up again";
    EXPECT_EQ(scene->width, 48);
    EXPECT_EQ(scene->height, 32);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 48);
    EXPECT_EQ(vp[3], 32);
    const auto projection = GetMatrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(projection[5] / projection[0], 1.5, 1e-5) << "the perspective of the new size";
    EXPECT_EQ(corner, (RGBA{0, 0, 0, 0})) << "the GL set-up clears to black";
}
