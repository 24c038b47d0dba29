#include "GLFixture.h"
#include "SoundCounter.h"
#include "bottles/MainClass.h"
#include "scene/SoundStuff.h"

#include <GL/glu.h>
#include <cmath>
#include <cstdlib>

namespace {

bool Same(VECTOR3D a, VECTOR3D b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The next random number as the step uses it: rand() % n as a float.
float Next(int n) {
    return float(std::rand() % n);
}

class MotionTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        glMatrixMode(GL_PROJECTION);
        gluPerspective(45.0, 4.0 / 3.0, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        manager.frustum.ExtractFrustumFaster();
        manager.bottleScale = 0.5f; // rebound radius 5
        manager.playSound = true;
        manager.numBottles = 1;
        // A type with a vertical axis and three triangles along z.
        type.top = 4.0f;
        type.bottom = -4.0f;
        type.numTris = 3;
        type.triCentres = new VECTOR3D[3]{{0, 0, 1}, {0, 2, -3}, {5, 0, 0}};
        SetupSounds("/res/", 255);
    }
    ONEBOTTLE Bottle(VECTOR3D pos, VECTOR3D vel) {
        ONEBOTTLE b;
        b.Load(&type);
        b.pos = pos;
        b.vel = vel;
        b.angle = VECTOR3D(0, 0, 0);
        b.spin = VECTOR3D(5, 6, 7);
        return b;
    }

    SoundCounter sounds;
    BOTTLEINFO type;
    MAINCLASS manager;
};

// Points 1 unit inside each side at depth 100.
const float kHalfH = 100.0f * float(std::tan(22.5 * M_PI / 180)), kHalfW = kHalfH * 4 / 3;

} // namespace

TEST_F(MotionTest, FarFromEverySideABottleKeepsItsCourse) {
    ONEBOTTLE b = Bottle(VECTOR3D(0, 0, -100), VECTOR3D(3, -2, 1));
    for (int frame = 0; frame < 35; frame++)
        b.Move(1.0f / 35, &manager);
    EXPECT_NEAR(b.pos.x, 3.0f, 1e-4);
    EXPECT_NEAR(b.pos.y, -2.0f, 1e-4);
    EXPECT_NEAR(b.pos.z, -99.0f, 1e-4);
    EXPECT_TRUE(Same(b.vel, VECTOR3D(3, -2, 1)));
    EXPECT_TRUE(Same(b.spin, VECTOR3D(5, 6, 7)));
    EXPECT_NEAR(b.angle.x, 5.0f, 1e-4);
    EXPECT_NEAR(b.angle.z, 7.0f, 1e-4);
    EXPECT_TRUE(sounds.played.empty());
}

TEST_F(MotionTest, ReboundsReplaceOneComponentWithDrawsInOrder) {
    // For each place: the side it is near and the new speed there (its
    // component, sign and least value), drawn first; then a new spin (z, y, x:
    // the side changed from none) with its clink; the depth band's speed last.
    struct Row {
        VECTOR3D pos;
        int plane, component;
        float sign;
    } rows[] = {
        {VECTOR3D(kHalfW - 1, 0, -100), FRUSTUM::RIGHT, 0, -1},
        {VECTOR3D(-kHalfW + 1, 0, -100), FRUSTUM::LEFT, 0, 1},
        {VECTOR3D(0, -kHalfH + 1, -100), FRUSTUM::BOTTOM, 1, 1},
        {VECTOR3D(0, kHalfH - 1, -100), FRUSTUM::TOP, 1, -1},
        {VECTOR3D(0, 0, -248), FRUSTUM::FAR_PLANE, 2, 1},
        {VECTOR3D(0, 0, -3), FRUSTUM::NEAR_PLANE, 2, -1},
        {VECTOR3D(-30, 0, -2), FRUSTUM::NEAR_PLANE, 2, -1}, // near and left: near wins
        {VECTOR3D(0, 0, -39), -1, 0, 0},                    // too close, no side
        {VECTOR3D(0, 0, -201), -1, 0, 0},                   // too far, no side
    };
    for (const Row& r : rows) {
        for (unsigned seed = 1; seed <= 40; seed++) {
            ONEBOTTLE b = Bottle(r.pos, VECTOR3D(0.5f, 0.25f, 0.125f));
            std::srand(seed);
            b.Move(0.0, &manager);
            const int after = std::rand();

            std::srand(seed);
            float vel[3] = {0.5f, 0.25f, 0.125f};
            VECTOR3D spin(5, 6, 7);
            if (r.plane != -1) {
                vel[r.component] = r.sign * (Next(10) + 2);
                spin.z = Next(60) - 30;
                spin.y = Next(60) - 30;
                spin.x = Next(60) - 30;
                std::rand(); // the clink picks its recording
            }
            if (r.pos.z > -40)
                vel[2] = -Next(10) - 2;
            if (r.pos.z < -200)
                vel[2] = Next(10) + 1;
            ASSERT_EQ(b.lastPlane, r.plane);
            EXPECT_TRUE(Same(b.vel, VECTOR3D(vel[0], vel[1], vel[2])))
                << "plane " << r.plane << " seed " << seed << ": " << b.vel.x << "," << b.vel.y
                << "," << b.vel.z;
            EXPECT_TRUE(Same(b.spin, spin)) << "plane " << r.plane << " seed " << seed << ": "
                                            << b.spin.x << "," << b.spin.y << "," << b.spin.z;
            EXPECT_EQ(after, std::rand()) << "no more and no fewer draws, plane " << r.plane;
        }
    }
}

TEST_F(MotionTest, NewSpinAndClinkOnlyWhenTheSideChanges) {
    ONEBOTTLE b = Bottle(VECTOR3D(kHalfW - 1, 0, -100), VECTOR3D(0, 0, 0));
    std::srand(1234);
    int spinChanges = 0, framesAtWall = 0, previous = -1;
    VECTOR3D spin = b.spin;
    for (int frame = 0; frame < 400 && !(b.lastPlane == -1 && framesAtWall > 0); frame++) {
        b.Move(1.0 / 35, &manager);
        if (!Same(spin, b.spin)) {
            spinChanges++;
            EXPECT_NE(b.lastPlane, previous) << "new spin without a change of side, " << frame;
        }
        framesAtWall += b.lastPlane == FRUSTUM::RIGHT;
        spin = b.spin;
        previous = b.lastPlane;
    }
    EXPECT_GT(framesAtWall, 1) << "it takes several frames to leave the wall's reach";
    EXPECT_EQ(spinChanges, 2) << "on arrival and on leaving";
    EXPECT_EQ(sounds.played.size(), 2u);

    // With five bottles the sides are silent; without sound too.
    for (auto [bottles, sound, clinks] : {std::tuple{5, true, 0u}, {4, true, 1u}, {4, false, 0u}}) {
        sounds.played.clear();
        manager.numBottles = bottles;
        manager.playSound = sound;
        ONEBOTTLE near = Bottle(VECTOR3D(0, 0, -3), VECTOR3D(0, 0, 0));
        near.Move(1.0 / 35, &manager);
        EXPECT_EQ(sounds.played.size(), clinks) << bottles << " bottles, sound " << sound;
    }
}

TEST_F(MotionTest, TheTurnComesFromTheAnglesBeforeTheStep) {
    ONEBOTTLE b = Bottle(VECTOR3D(0, 0, -100), VECTOR3D(0, 0, 0));
    b.angle = VECTOR3D(10, 20, 30);
    b.spin = VECTOR3D(40, -50, 60);
    const MATRIX before = MatrixFromAngle(b.angle);
    b.Move(0.5, &manager);
    EXPECT_TRUE(Same(b.angle, VECTOR3D(30, -5, 60)));
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(b.rotation[i], before[i]) << i;
    EXPECT_TRUE(Same(b.top, MatrixPointMultiply(before, VECTOR3D(0, 4, 0))));
    EXPECT_TRUE(Same(b.bottom, MatrixPointMultiply(before, VECTOR3D(0, -4, 0))));
}
