#include "GLFixture.h"
#include "SoundCounter.h"
#include "bottles/MainClass.h"
#include "scene/SoundStuff.h"

#include <GL/glu.h>
#include <cmath>
#include <cstdlib>

// The motion step on a real frustum: straight lines, rebounds from every
// side, the depth band, new spins and clinks at changes of side.

namespace {

class MotionTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 4.0 / 3.0, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        manager.frustum.ExtractFrustumFaster();
        manager.bottleScale = 0.5f; // rebound radius 5
        manager.playSound = true;
        manager.numBottles = 1;
        // A type with a vertical axis and no mesh to turn.
        type.top = 4.0f;
        type.bottom = -4.0f;
        type.radius = 1.0f;
        type.loaded = true;
        sounds.missing.clear();
        SetupSounds("/res/", 255);
        std::srand(1234);
    }
    ONEBOTTLE Bottle(VECTOR3D pos, VECTOR3D vel) {
        ONEBOTTLE b;
        b.info = &type;
        b.pos = pos;
        b.vel = vel;
        b.spin = VECTOR3D(5, 6, 7);
        return b;
    }
    float Distance(int plane, VECTOR3D p) const {
        const float* q = manager.frustum.planes[plane];
        return q[0] * p.x + q[1] * p.y + q[2] * p.z + q[3];
    }

    SoundCounter sounds;
    BOTTLEINFO type;
    MAINCLASS manager;
};

bool Same(VECTOR3D a, VECTOR3D b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

} // namespace

TEST_F(MotionTest, FarFromEverySideABottleKeepsItsCourse) {
    ONEBOTTLE b = Bottle(VECTOR3D(0, 0, -100), VECTOR3D(3, -2, 1));
    b.lastPlane = -1;
    const float dt = 1.0f / 35;
    for (int frame = 0; frame < 35; frame++) {
        const VECTOR3D before = b.pos;
        b.Move(dt, &manager);
        EXPECT_FLOAT_EQ(b.pos.x, before.x + dt * 3);
        EXPECT_FLOAT_EQ(b.pos.y, before.y + dt * -2);
        EXPECT_FLOAT_EQ(b.pos.z, before.z + dt * 1);
    }
    EXPECT_TRUE(Same(b.vel, VECTOR3D(3, -2, 1)));
    EXPECT_TRUE(Same(b.spin, VECTOR3D(5, 6, 7)));
    EXPECT_NEAR(b.angle.x, 5.0f, 1e-4);
    EXPECT_NEAR(b.angle.z, 7.0f, 1e-4);
    EXPECT_TRUE(sounds.played.empty());
    // The axis keeps its length whatever the turn.
    const float axisLength =
        std::hypot(b.top.x - b.bottom.x, b.top.y - b.bottom.y, b.top.z - b.bottom.z);
    EXPECT_NEAR(axisLength, 8.0f, 1e-4);
}

TEST_F(MotionTest, EverySideSendsTheBottleBackInside) {
    // Points on each side, 1 unit inside it, at depth 100.
    const float depth = 100.0f, halfH = depth * float(std::tan(22.5 * M_PI / 180));
    const float halfW = halfH * 4.0f / 3.0f;
    struct Case {
        VECTOR3D pos;
        int plane;
    } cases[] = {
        {VECTOR3D(halfW - 1, 0, -depth), FRUSTUM::RIGHT},
        {VECTOR3D(-halfW + 1, 0, -depth), FRUSTUM::LEFT},
        {VECTOR3D(0, -halfH + 1, -depth), FRUSTUM::BOTTOM},
        {VECTOR3D(0, halfH - 1, -depth), FRUSTUM::TOP},
        {VECTOR3D(0, 0, -248), FRUSTUM::FAR_PLANE},
        {VECTOR3D(0, 0, -3), FRUSTUM::NEAR_PLANE},
    };
    for (const Case& c : cases) {
        for (int trial = 0; trial < 30; trial++) {
            ONEBOTTLE b = Bottle(c.pos, VECTOR3D(0, 0, 0));
            b.Move(0.0, &manager);
            ASSERT_EQ(b.lastPlane, c.plane);
            const float v[3] = {b.vel.x, b.vel.y, b.vel.z};
            const int axis = c.plane / 2;
            const bool positive = c.plane == FRUSTUM::LEFT || c.plane == FRUSTUM::BOTTOM ||
                                  c.plane == FRUSTUM::FAR_PLANE;
            const float low = positive ? 2.0f : -11.0f, high = positive ? 11.0f : -2.0f;
            if (c.plane == FRUSTUM::FAR_PLANE) {
                // Far beyond -200 the depth limit then draws 1 to 10.
                EXPECT_GE(v[axis], 1.0f);
                EXPECT_LE(v[axis], 11.0f);
            } else if (c.plane == FRUSTUM::NEAR_PLANE) {
                EXPECT_GE(v[axis], -11.0f); // the depth limit draws again, same range
                EXPECT_LE(v[axis], -2.0f);
            } else {
                EXPECT_GE(v[axis], low) << c.plane;
                EXPECT_LE(v[axis], high) << c.plane;
            }
            for (int k = 0; k < 3; k++) {
                if (k != axis) {
                    EXPECT_EQ(v[k], 0.0f) << "only the component towards the side changes";
                }
            }
        }
    }
}

TEST_F(MotionTest, NewSpinAndClinkOnlyWhenTheSideChanges) {
    const float depth = 100.0f, halfW = depth * float(std::tan(22.5 * M_PI / 180)) * 4 / 3;
    ONEBOTTLE b = Bottle(VECTOR3D(halfW - 1, 0, -depth), VECTOR3D(0, 0, 0));
    int spinChanges = 0, framesAtWall = 0;
    VECTOR3D spin = b.spin;
    int previous = -1;
    for (int frame = 0; frame < 400; frame++) {
        b.Move(1.0 / 35, &manager);
        if (!Same(spin, b.spin)) {
            spinChanges++;
            EXPECT_NE(b.lastPlane, previous)
                << "spin changed without a change of side, frame " << frame;
        }
        if (b.lastPlane == FRUSTUM::RIGHT) {
            framesAtWall++;
            EXPECT_LE(b.vel.x, -2.0f);
            EXPECT_GE(b.vel.x, -11.0f);
        }
        spin = b.spin;
        previous = b.lastPlane;
        if (b.lastPlane == -1 && framesAtWall > 0)
            break;
    }
    EXPECT_GT(framesAtWall, 1) << "it takes several frames to leave the wall's reach";
    EXPECT_EQ(spinChanges, 2) << "on arrival and on leaving";
    EXPECT_EQ(sounds.played.size(), 2u);
}

TEST_F(MotionTest, FiveBottlesReboundSilently) {
    manager.numBottles = 5;
    ONEBOTTLE b = Bottle(VECTOR3D(0, 0, -3), VECTOR3D(0, 0, 0));
    b.Move(1.0 / 35, &manager);
    EXPECT_EQ(b.lastPlane, FRUSTUM::NEAR_PLANE);
    EXPECT_TRUE(sounds.played.empty());
    manager.numBottles = 4;
    b.lastPlane = -1;
    b.Move(1.0 / 35, &manager);
    EXPECT_EQ(sounds.played.size(), 1u);
    manager.playSound = false;
    b.lastPlane = -1;
    b.Move(1.0 / 35, &manager);
    EXPECT_EQ(sounds.played.size(), 1u);
}

TEST_F(MotionTest, NearAndLeftAtOnceReboundsFromNearOnly) {
    ONEBOTTLE b = Bottle(VECTOR3D(-30, 0, -2), VECTOR3D(-1, 0, 0));
    b.Move(0.0, &manager);
    EXPECT_EQ(b.lastPlane, FRUSTUM::NEAR_PLANE);
    EXPECT_EQ(b.vel.x, -1.0f);
    EXPECT_LE(b.vel.z, -2.0f);
}

TEST_F(MotionTest, DepthLimitsPushBackWithoutAnySide) {
    for (int trial = 0; trial < 50; trial++) {
        ONEBOTTLE close = Bottle(VECTOR3D(0, 0, -39), VECTOR3D(0, 0, 5));
        close.Move(0.0, &manager);
        EXPECT_EQ(close.lastPlane, -1);
        EXPECT_LE(close.vel.z, -2.0f);
        EXPECT_GE(close.vel.z, -11.0f);

        ONEBOTTLE far = Bottle(VECTOR3D(0, 0, -201), VECTOR3D(0, 0, -5));
        far.Move(0.0, &manager);
        EXPECT_EQ(far.lastPlane, -1);
        EXPECT_GE(far.vel.z, 1.0f);
        EXPECT_LE(far.vel.z, 10.0f);
    }
}

TEST_F(MotionTest, NothingHappensWithoutAManager) {
    ONEBOTTLE b = Bottle(VECTOR3D(1, 2, -100), VECTOR3D(1, 1, 1));
    b.Move(1.0, nullptr);
    EXPECT_TRUE(Same(b.pos, VECTOR3D(1, 2, -100)));
    b.Draw(nullptr);
}
