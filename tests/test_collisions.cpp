#include "SoundCounter.h"
#include "bottles/MainClass.h"
#include "scene/SoundStuff.h"

#include <cstdlib>
#include <gtest/gtest.h>

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
