#include "BottleFiles.h"
#include "GLFixture.h"
#include "SoundCounter.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "scene/Settings.h"
#include "scene/SoundStuff.h"

#include <GL/glu.h>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

// One simulated hour of five bottles: everything stays finite and in view,
// and a frame allocates nothing.

// Counting allocations replaces the global operators, which AddressSanitizer
// needs for itself; the ordinary build does the counting.
#if defined(__SANITIZE_ADDRESS__)
#define TUMBLIX_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUMBLIX_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef TUMBLIX_COUNT_ALLOCATIONS
#define TUMBLIX_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<long> allocations{0};
}

#if TUMBLIX_COUNT_ALLOCATIONS

void* operator new(size_t size) {
    allocations++;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    allocations++;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
#endif


namespace {

class SoakTest : public GLFixture {
  protected:
    SoakTest() : GLFixture(32, 24) {}
};

} // namespace

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
    settings.GOODSHINE = true;
    settings.PLAYSOUND = true;
    std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s", res.c_str());
    settings.bottleSelection = new char[3]{'#', '#', '\0'};
    settings.selectionSize = 3;
    std::srand(2026);

    MAINCLASS manager;
    ASSERT_TRUE(manager.Setup(&settings));
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 32.0 / 24.0, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    const int frames = 35 * 3600;
    long before = 0;
    // Corners and collisions can carry a bottle past a side for a moment;
    // the rebounds must bring it back soon.
    int outsideRun[5] = {}, longestRun = 0;
    for (int frame = 0; frame < frames; frame++) {
        manager.frustum.ExtractFrustumFaster();
        manager.DrawBottles(1.0 / 35);
        if (frame == 0) {
            before = allocations.load(); // the GL driver builds its programs on first use
        }
        for (int i = 0; i < 5; i++) {
            const VECTOR3D p = manager.bottles[i].pos;
            const bool outside =
                manager.frustum.CheckFrustumHit(p, 0.0f) != -1 || p.z > -39.0f || p.z < -201.0f;
            outsideRun[i] = outside ? outsideRun[i] + 1 : 0;
            longestRun = std::max(longestRun, outsideRun[i]);
        }
    }
    EXPECT_EQ(allocations.load() - before, 0) << "frames must not allocate";
    EXPECT_LT(longestRun, 35 * 5) << "no bottle stays out of view for five seconds";
    for (int i = 0; i < 5; i++) {
        const ONEBOTTLE& b = manager.bottles[i];
        for (float v : {b.pos.x, b.pos.y, b.pos.z, b.vel.x, b.vel.y, b.vel.z, b.angle.x, b.angle.y,
                        b.angle.z})
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_EQ(manager.frustum.CheckFrustumHit(b.pos, -2.0f), -1)
            << "bottle " << i << " in view";
    }
    EXPECT_GT(sounds.played.size(), 0u) << "an hour of bottles collides at least once";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    manager.Cleanup();
    manager.CleanupBottleList();
}
