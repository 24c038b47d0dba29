#include "BottleFiles.h"
#include "GLFixture.h"
#include "SoundCounter.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "scene/Settings.h"
#include "scene/SoundStuff.h"

#include <GL/glu.h>
#include <cmath>

// One simulated hour of five bottles: everything stays finite and in view.

class SoakTest : public GLFixture {
  protected:
    SoakTest() : GLFixture(32, 24) {}
};

TEST_F(SoakTest, AnHourOfFiveBottles) {
    TempDir tmp;
    const std::string res = tmp.Subdir("res");
    fixtures::Write(res + "/a.brew", fixtures::Upright("Tall", 20, 3));
    fixtures::Write(res + "/b.brew", fixtures::Upright("Short", 12, 4));
    SoundCounter sounds;
    SetupSounds("/res/", 100);

    SETTINGS settings;
    settings.NUM_BOTTLES = 5;
    settings.LBOTTLESIZE = 50;
    settings.PLAYSOUND = true;
    std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s", res.c_str());
    settings.bottleSelection = new char[3]{'#', '#', '\0'};
    settings.selectionSize = 3;
    std::srand(2026);
    MAINCLASS manager;
    ASSERT_TRUE(manager.Setup(&settings));
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 32.0 / 24.0, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);

    // Corners and collisions can carry a bottle past a side for a moment;
    // the rebounds must bring it back soon.
    int outsideRun[5] = {}, longestRun = 0;
    for (int frame = 0; frame < 35 * 3600; frame++) {
        manager.frustum.ExtractFrustumFaster();
        manager.DrawBottles(1.0 / 35);
        for (int i = 0; i < 5; i++) {
            const VECTOR3D p = manager.bottles[i].pos;
            const bool outside =
                manager.frustum.CheckFrustumHit(p, 0.0f) != -1 || p.z > -39.0f || p.z < -201.0f;
            outsideRun[i] = outside ? outsideRun[i] + 1 : 0;
            longestRun = std::max(longestRun, outsideRun[i]);
        }
    }
    EXPECT_LT(longestRun, 35 * 5) << "no bottle stays out of view for five seconds";
    for (int i = 0; i < 5; i++) {
        const ONEBOTTLE& b = manager.bottles[i];
        for (float v : {b.pos.x, b.pos.y, b.pos.z, b.vel.x, b.vel.y, b.vel.z, b.angle.x, b.angle.y,
                        b.angle.z})
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_EQ(manager.frustum.CheckFrustumHit(b.pos, -2.0f), -1) << "bottle " << i;
    }
    EXPECT_GT(sounds.played.size(), 0u) << "an hour of bottles collides at least once";
    manager.Cleanup();
    manager.CleanupBottleList();
}
