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

// Far from every side a bottle keeps its course and spin, silently; the turn
// comes from the angles before the step.
TEST_F(MotionTest, FarFromTheSidesItKeepsItsCourseTurningFromTheAnglesBeforeTheStep) {
    ONEBOTTLE b = Bottle(VECTOR3D(0, 0, -100), VECTOR3D(3, -2, 1));
    b.angle = VECTOR3D(10, 20, 30);
    b.spin = VECTOR3D(40, -50, 60);
    const MATRIX before = MatrixFromAngle(b.angle);
    b.Move(0.5, &manager);
    EXPECT_TRUE(Same(b.pos, VECTOR3D(1.5f, -1, -99.5f)));
    EXPECT_TRUE(Same(b.vel, VECTOR3D(3, -2, 1)) && Same(b.spin, VECTOR3D(40, -50, 60)));
    EXPECT_TRUE(sounds.played.empty());
    EXPECT_TRUE(Same(b.angle, VECTOR3D(30, -5, 60)));
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(b.rotation[i], before[i]) << i;
    EXPECT_TRUE(Same(b.top, MatrixPointMultiply(before, VECTOR3D(0, 4, 0))));
    EXPECT_TRUE(Same(b.bottom, MatrixPointMultiply(before, VECTOR3D(0, -4, 0))));
}

TEST(VectorIntersection, ClosestPointsOfTheSegmentsWithinTheRadius) {
    const VECTOR3D o(0, 0, 0), x10(10, 0, 0);
    struct Row {
        VECTOR3D p1, p2, p3, p4;
        float radius;
        bool touch;
    } rows[] = {
        {o, x10, {5, -5, 1}, {5, 5, 1}, 2.0f, true},
        {o, x10, {5, -5, 1}, {5, 5, 1}, 1.0f, true}, // exactly at the radius
        {o, x10, {5, -5, 1}, {5, 5, 1}, 0.9f, false},
        // Only the first segment's box is widened, by half the radius.
        {o, x10, {11.5f, -5, 1}, {11.5f, 5, 1}, 4.0f, true},
        {{11.5f, -5, 1}, {11.5f, 5, 1}, o, x10, 4.0f, false},
        {o, x10, {12.5f, -5, 1}, {12.5f, 5, 1}, 4.0f, false},
        {o, x10, {5, 2, 1}, {5, 12, 1}, 100.0f, false}, // beyond the second segment's end
        // Axes shorter than 0.5 in every coordinate, and parallel ones.
        {o, o, o, o, 100.0f, false},
        {o, {0.4f, 0.4f, 0.4f}, {-5, 0, 0}, {5, 0, 0}, 100.0f, false},
        {{-5, 0, 0}, {5, 0, 0}, o, {0.4f, -0.4f, 0.3f}, 100.0f, false},
        {o, x10, {0, 1, 0}, {10, 1, 0}, 100.0f, false},
        // Crossing at x = 5, but so nearly parallel that the denominator is 0.25.
        {o, x10, {0, -0.025f, 0}, {10, 0.025f, 0}, 100.0f, false},
    };
    for (const Row& r : rows) {
        VECTOR3D meeting(-1, -1, -1);
        EXPECT_EQ(VectorIntersection(r.p1, r.p2, r.p3, r.p4, &meeting, r.radius), r.touch)
            << r.p3.x << "," << r.p3.y << " radius " << r.radius;
    }
    VECTOR3D meeting;
    ASSERT_TRUE(VectorIntersection(o, x10, {5, -5, 1}, {5, 5, 1}, &meeting, 2.0f));
    EXPECT_FLOAT_EQ(meeting.x, 5.0f);
    EXPECT_FLOAT_EQ(meeting.y, 0.0f);
    EXPECT_FLOAT_EQ(meeting.z, 0.5f);
}

namespace {

class CollisionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetupSounds("/res/", 255);
        type.radius = 1.0f;
        manager.bottles = new ONEBOTTLE[2];
        manager.numBottles = 2;
        for (int i = 0; i < 2; i++)
            manager.bottles[i].info = &type;
        // A standing bottle and a lying one whose axes cross.
        Set(0, VECTOR3D(0, 0, -100), VECTOR3D(0, 5, 0));
        Set(1, VECTOR3D(3, 4, -100), VECTOR3D(5, 0, 0));
    }
    void Set(int i, VECTOR3D pos, VECTOR3D halfAxis) {
        ONEBOTTLE& b = manager.bottles[i];
        b.pos = pos;
        b.top = halfAxis;
        b.bottom = VECTOR3D(-halfAxis.x, -halfAxis.y, -halfAxis.z);
    }
    // Replays the draws of one response, checking the pair (first, second)
    // against them: a speed for each along the line between them, a spin
    // (z, y, x) for each, and the clink's pick of a recording when sound is on.
    void ExpectResponse(int first, VECTOR3D away) {
        float speed[2];
        for (float& s : speed)
            s = float(std::rand() % 15 + 2);
        for (int k = 0; k < 2; k++) {
            const ONEBOTTLE& b = manager.bottles[k == 0 ? first : 1 - first];
            const float sign = k == 0 ? 1.0f : -1.0f;
            EXPECT_NEAR(b.vel.x, sign * away.x * speed[k], 1e-4) << k;
            EXPECT_NEAR(b.vel.y, sign * away.y * speed[k], 1e-4) << k;
            EXPECT_NEAR(b.vel.z, sign * away.z * speed[k], 1e-4) << k;
            EXPECT_EQ(b.spin.z, float(std::rand() % 60 - 30)) << k;
            EXPECT_EQ(b.spin.y, float(std::rand() % 60 - 30)) << k;
            EXPECT_EQ(b.spin.x, float(std::rand() % 60 - 30)) << k;
        }
        std::rand(); // the clink's recording
    }
    SoundCounter sounds;
    BOTTLEINFO type;
    MAINCLASS manager;
};

} // namespace

TEST_F(CollisionTest, TouchingBottlesAreSentApartOncePerOrderOfThePair) {
    // The pair touches both ways round: two responses, two clinks; the
    // second (bottle 1 first) decides the result.
    std::srand(7);
    manager.CheckCollisions();
    const int after = std::rand();
    std::srand(7);
    for (int k = 0; k < 18; k++)
        std::rand();
    EXPECT_EQ(after, std::rand()) << "eighteen draws, no more";
    std::srand(7);
    for (int k = 0; k < 9; k++)
        std::rand();
    ExpectResponse(1, VECTOR3D(0.6f, 0.8f, 0));
    EXPECT_EQ(manager.bottles[0].pos.x, 0.0f) << "positions are not changed";
    EXPECT_EQ(sounds.played.size(), 2u);
}
