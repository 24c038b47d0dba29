#include "SoundCounter.h"
#include "bottles/MainClass.h"
#include "scene/SoundStuff.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(VectorIntersection, ClosestPointsWithinTheRadius) {
    const VECTOR3D a1(0, 0, 0), a2(10, 0, 0), b1(5, -5, 1), b2(5, 5, 1);
    VECTOR3D meeting;
    EXPECT_TRUE(VectorIntersection(a1, a2, b1, b2, &meeting, 2.0f));
    EXPECT_FLOAT_EQ(meeting.x, 5.0f);
    EXPECT_FLOAT_EQ(meeting.y, 0.0f);
    EXPECT_FLOAT_EQ(meeting.z, 0.5f);
    EXPECT_FALSE(VectorIntersection(a1, a2, b1, b2, nullptr, 0.9f));
    // Exactly at the radius still touches.
    EXPECT_TRUE(VectorIntersection(a1, a2, b1, b2, nullptr, 1.0f));
}

TEST(VectorIntersection, OnlyTheFirstSegmentsBoxIsWidened) {
    const VECTOR3D a1(0, 0, 0), a2(10, 0, 0), b1(11.5f, -5, 1), b2(11.5f, 5, 1);
    EXPECT_TRUE(VectorIntersection(a1, a2, b1, b2, nullptr, 4.0f));
    EXPECT_FALSE(VectorIntersection(b1, b2, a1, a2, nullptr, 4.0f));
    // Beyond the widening the closest point is off the first segment.
    const VECTOR3D c1(12.5f, -5, 1), c2(12.5f, 5, 1);
    EXPECT_FALSE(VectorIntersection(a1, a2, c1, c2, nullptr, 4.0f));
}

TEST(VectorIntersection, ShortAndParallelAxesNeverTouch) {
    const VECTOR3D zero(0, 0, 0);
    EXPECT_FALSE(VectorIntersection(zero, zero, zero, zero, nullptr, 100.0f));
    EXPECT_FALSE(VectorIntersection(VECTOR3D(0, 0, 0), VECTOR3D(0.4f, 0.4f, 0.4f),
                                    VECTOR3D(-5, 0, 0), VECTOR3D(5, 0, 0), nullptr, 100.0f));
    EXPECT_FALSE(VectorIntersection(VECTOR3D(-5, 0, 0), VECTOR3D(5, 0, 0), VECTOR3D(0, 0, 0),
                                    VECTOR3D(0.4f, -0.4f, 0.3f), nullptr, 100.0f));
    // Parallel, one unit apart.
    EXPECT_FALSE(VectorIntersection(VECTOR3D(0, 0, 0), VECTOR3D(10, 0, 0), VECTOR3D(0, 1, 0),
                                    VECTOR3D(10, 1, 0), nullptr, 100.0f));
    // Nearly parallel: the denominator stays under 0.5.
    EXPECT_FALSE(VectorIntersection(VECTOR3D(0, 0, 0), VECTOR3D(10, 0, 0), VECTOR3D(0, 1, 0),
                                    VECTOR3D(10, 1.005f, 0), nullptr, 100.0f));
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
        ONEBOTTLE& a = manager.bottles[0];
        ONEBOTTLE& b = manager.bottles[1];
        a.pos = VECTOR3D(0, 0, -100);
        a.top = VECTOR3D(0, 5, 0);
        a.bottom = VECTOR3D(0, -5, 0);
        b.pos = VECTOR3D(3, 4, -100);
        b.top = VECTOR3D(5, 0, 0);
        b.bottom = VECTOR3D(-5, 0, 0);
        std::srand(99);
    }
    SoundCounter sounds;
    BOTTLEINFO type;
    MAINCLASS manager;
};

void ExpectAlong(VECTOR3D v, float x, float y, float z) {
    const float speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    EXPECT_GE(speed, 2.0f - 1e-4);
    EXPECT_LE(speed, 16.0f + 1e-4);
    EXPECT_NEAR(v.x / speed, x, 1e-5);
    EXPECT_NEAR(v.y / speed, y, 1e-5);
    EXPECT_NEAR(v.z / speed, z, 1e-5);
}

} // namespace

TEST_F(CollisionTest, TouchingBottlesAreSentApartAlongTheLineBetweenThem) {
    manager.CheckCollisions();
    ExpectAlong(manager.bottles[0].vel, -0.6f, -0.8f, 0);
    ExpectAlong(manager.bottles[1].vel, 0.6f, 0.8f, 0);
    EXPECT_EQ(manager.bottles[0].pos.x, 0.0f) << "positions are not changed";
    // Both orders of the pair touch, so two responses and two clinks.
    EXPECT_EQ(sounds.played.size(), 2u);
    EXPECT_GE(manager.bottles[0].spin.x, -30.0f);
    EXPECT_LE(manager.bottles[0].spin.x, 29.0f);
}

TEST_F(CollisionTest, ResponseDrawsSpeedsThenSpinsInOrder) {
    // Replay the draws by hand: speed i, speed j, spin i (z, y, x), spin j, clink,
    // then the same for the pair seen the other way round.
    std::srand(7);
    manager.playSound = false;
    manager.CheckCollisions();
    std::srand(7);
    int r[16];
    for (int& v : r)
        v = std::rand();
    // Second visit (j = 0 as the first bottle): bottle 1 gets r[8], bottle 0 r[9].
    const ONEBOTTLE& a = manager.bottles[0];
    const ONEBOTTLE& b = manager.bottles[1];
    EXPECT_NEAR(std::hypot(b.vel.x, b.vel.y), float(r[8] % 15 + 2), 1e-4);
    EXPECT_NEAR(std::hypot(a.vel.x, a.vel.y), float(r[9] % 15 + 2), 1e-4);
    EXPECT_EQ(b.spin.z, float(r[10] % 60 - 30));
    EXPECT_EQ(b.spin.y, float(r[11] % 60 - 30));
    EXPECT_EQ(b.spin.x, float(r[12] % 60 - 30));
    EXPECT_EQ(a.spin.z, float(r[13] % 60 - 30));
    EXPECT_EQ(a.spin.x, float(r[15] % 60 - 30));
    EXPECT_TRUE(sounds.played.empty());
}

TEST_F(CollisionTest, NoTestWithoutAxesOrWithOneBottle) {
    // Straight after set-up no bottle has moved: every axis is a point.
    for (int i = 0; i < 2; i++) {
        manager.bottles[i].top = VECTOR3D(0, 0, 0);
        manager.bottles[i].bottom = VECTOR3D(0, 0, 0);
        manager.bottles[i].vel = VECTOR3D(1, 1, 1);
    }
    manager.CheckCollisions();
    EXPECT_EQ(manager.bottles[0].vel.x, 1.0f);

    EXPECT_TRUE(sounds.played.empty());
}

TEST_F(CollisionTest, OneBottleOrSwitchedOffTestsNothing) {
    manager.numBottles = 1;
    manager.CheckCollisions();
    EXPECT_EQ(manager.bottles[0].vel.x, 0.0f);
    EXPECT_TRUE(sounds.played.empty());

    manager.numBottles = 2;
    manager.checkCollisions = false;
    manager.CheckCollisions();
    EXPECT_TRUE(sounds.played.empty());
}
