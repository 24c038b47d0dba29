#include "GLFixture.h"
#include "bottles/Frustum.h"

#include <GL/glu.h>
#include <cmath>

namespace {

class FrustumTest : public GLFixture {
  protected:
    void Perspective(double aspect) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, aspect, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    float Distance(int plane, VECTOR3D p) const {
        const float* q = frustum.planes[plane];
        return q[0] * p.x + q[1] * p.y + q[2] * p.z + q[3];
    }
    FRUSTUM frustum;
};

const double kHalf = std::tan(22.5 * 3.141592653589793 / 180.0); // tan of half the 45 degrees

} // namespace

TEST_F(FrustumTest, NearAndFarPlanesOfTheScenePerspective) {
    Perspective(4.0 / 3.0);
    frustum.ExtractFrustumFaster();
    const float expectedNear[4] = {0, 0, -1, -1};
    const float expectedFar[4] = {0, 0, 1, 250};
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(frustum.planes[FRUSTUM::NEAR_PLANE][k], expectedNear[k], 1e-4) << k;
        EXPECT_NEAR(frustum.planes[FRUSTUM::FAR_PLANE][k], expectedFar[k], 2e-2) << k;
    }
}

TEST_F(FrustumTest, SidePlanesAreInTheirOrderAndFaceInwards) {
    const double aspect = 16.0 / 9.0;
    Perspective(aspect);
    frustum.ExtractFrustumFaster();

    // Points on the edges of the view at depth 100.
    const float depth = 100.0f;
    const float xEdge = float(depth * kHalf * aspect);
    const float yEdge = float(depth * kHalf);
    EXPECT_NEAR(Distance(FRUSTUM::RIGHT, VECTOR3D(xEdge, 0, -depth)), 0, 1e-3);
    EXPECT_NEAR(Distance(FRUSTUM::LEFT, VECTOR3D(-xEdge, 0, -depth)), 0, 1e-3);
    EXPECT_NEAR(Distance(FRUSTUM::BOTTOM, VECTOR3D(0, -yEdge, -depth)), 0, 1e-3);
    EXPECT_NEAR(Distance(FRUSTUM::TOP, VECTOR3D(0, yEdge, -depth)), 0, 1e-3);

    // The right plane's normal points to -x, the top plane's to -y, and so on.
    EXPECT_LT(frustum.planes[FRUSTUM::RIGHT][0], 0.0f);
    EXPECT_GT(frustum.planes[FRUSTUM::LEFT][0], 0.0f);
    EXPECT_GT(frustum.planes[FRUSTUM::BOTTOM][1], 0.0f);
    EXPECT_LT(frustum.planes[FRUSTUM::TOP][1], 0.0f);

    for (int p = 0; p < 6; p++) {
        const float* q = frustum.planes[p];
        EXPECT_NEAR(std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]), 1.0, 1e-5) << p;
        EXPECT_GT(Distance(p, VECTOR3D(0, 0, -50)), 0.0f) << "centre of the view is inside " << p;
    }
}

TEST_F(FrustumTest, PlanesFollowTheModelViewMatrix) {
    Perspective(1.0);
    glTranslatef(0.0f, 0.0f, -10.0f);
    frustum.ExtractFrustumFaster();
    // The origin of model space sits 10 units in front of the eye.
    EXPECT_NEAR(Distance(FRUSTUM::NEAR_PLANE, VECTOR3D(0, 0, 0)), 9.0f, 1e-3);
    EXPECT_NEAR(Distance(FRUSTUM::FAR_PLANE, VECTOR3D(0, 0, 0)), 240.0f, 0.1);
}

TEST_F(FrustumTest, ReadsOnlyTheSymmetricProjectionTerms) {
    // An off-centre projection adds elements 8 and 9; the extraction takes
    // them as zero and so gives the planes of the centred projection.
    Perspective(1.0);
    frustum.ExtractFrustumFaster();
    FRUSTUM centred = frustum;

    glMatrixMode(GL_PROJECTION);
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    p[8] = 0.3f;
    p[9] = -0.2f;
    p[1] = 0.5f;
    glLoadMatrixf(p);
    glMatrixMode(GL_MODELVIEW);
    frustum.ExtractFrustumFaster();
    for (int i = 0; i < 6; i++)
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(frustum.planes[i][k], centred.planes[i][k]) << i << "," << k;
}

TEST_F(FrustumTest, CheckFrustumHitScansNearToRight) {
    Perspective(4.0 / 3.0);
    frustum.ExtractFrustumFaster();

    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(0, 0, -100), 2.5f), -1);
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(0, 0, -0.5f), 2.5f), FRUSTUM::NEAR_PLANE);
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(0, 0, -249), 2.5f), FRUSTUM::FAR_PLANE);
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(0, 0, -300), 0.0f), FRUSTUM::FAR_PLANE);

    // Beyond the near plane and the left plane at once: near wins.
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(-50, 0, -0.5f), 2.5f), FRUSTUM::NEAR_PLANE);
    // Beyond the left plane only.
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(-100, 0, -50), 2.5f), FRUSTUM::LEFT);
    // Top and right at once: top wins; bottom and left: bottom wins.
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(100, 100, -50), 2.5f), FRUSTUM::TOP);
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(-100, -100, -50), 2.5f), FRUSTUM::BOTTOM);
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(100, 0, -50), 2.5f), FRUSTUM::RIGHT);
    // Far and right at once: far wins.
    EXPECT_EQ(frustum.CheckFrustumHit(VECTOR3D(1000, 0, -300), 2.5f), FRUSTUM::FAR_PLANE);
}

TEST_F(FrustumTest, RadiusWidensTheHitZone) {
    Perspective(1.0);
    frustum.ExtractFrustumFaster();
    const float depth = 50.0f;
    const float xEdge = float(depth * kHalf);
    // 1 unit inside the right wall, measured along its normal.
    const float inside = 1.0f / std::fabs(frustum.planes[FRUSTUM::RIGHT][0]);
    const VECTOR3D p(xEdge - inside, 0, -depth);
    const float d = Distance(FRUSTUM::RIGHT, p);
    ASSERT_NEAR(d, 1.0f, 1e-3);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d - 0.01f), -1);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d), FRUSTUM::RIGHT);
    EXPECT_EQ(frustum.CheckFrustumHit(p, 0.0f), -1);

    // With a radius of 0 a point on a plane counts, one just inside does not.
    FRUSTUM flat;
    for (auto& q : flat.planes) {
        q[0] = 0;
        q[1] = 0;
        q[2] = 1;
        q[3] = 10;
    }
    EXPECT_EQ(flat.CheckFrustumHit(VECTOR3D(0, 0, -10), 0.0f), FRUSTUM::NEAR_PLANE);
    EXPECT_EQ(flat.CheckFrustumHit(VECTOR3D(0, 0, -9.5f), 0.0f), -1);
}
