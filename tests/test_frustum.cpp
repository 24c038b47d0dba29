#include "GLFixture.h"
#include "bottles/Frustum.h"

#include <GL/glu.h>
#include <cmath>

namespace {

class FrustumTest : public GLFixture {
  protected:
    void Extract(double aspect) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, aspect, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        frustum.ExtractFrustumFaster();
    }
    float Distance(int plane, VECTOR3D p) const {
        const float* q = frustum.planes[plane];
        return q[0] * p.x + q[1] * p.y + q[2] * p.z + q[3];
    }
    FRUSTUM frustum;
};

} // namespace

TEST_F(FrustumTest, SixUnitPlanesInTheirOrderFacingInwardsFollowingTheModelView) {
    // A side plane runs through the eye with the inward normal (-cos, 0, -sin)
    // of its half angle (right), and so on; near z = -1 and far z = -250.
    const double aspect = 16.0 / 9.0, t = std::tan(22.5 * M_PI / 180);
    const double hx = std::atan(t * aspect), hy = std::atan(t);
    const double expected[6][4] = {{-std::cos(hx), 0, -std::sin(hx), 0},
                                   {std::cos(hx), 0, -std::sin(hx), 0},
                                   {0, std::cos(hy), -std::sin(hy), 0},
                                   {0, -std::cos(hy), -std::sin(hy), 0},
                                   {0, 0, 1, 250},
                                   {0, 0, -1, -1}};
    Extract(aspect);
    for (int p = 0; p < 6; p++)
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR(frustum.planes[p][k], expected[p][k], p == FRUSTUM::FAR_PLANE ? 2e-2 : 1e-4)
                << "plane " << p << " value " << k;

    // The origin of model space 10 units in front of the eye.
    glTranslatef(0.0f, 0.0f, -10.0f);
    frustum.ExtractFrustumFaster();
    EXPECT_NEAR(Distance(FRUSTUM::NEAR_PLANE, VECTOR3D(0, 0, 0)), 9.0f, 1e-3);
    EXPECT_NEAR(Distance(FRUSTUM::FAR_PLANE, VECTOR3D(0, 0, 0)), 240.0f, 0.1);

    // The extraction takes the terms of an off-centre (and a skewed)
    // projection as zero.
    const FRUSTUM centred = frustum;
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    p[8] = 0.3f;
    p[9] = -0.2f;
    p[1] = 0.5f;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(p);
    glMatrixMode(GL_MODELVIEW);
    frustum.ExtractFrustumFaster();
    for (int i = 0; i < 6; i++)
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(frustum.planes[i][k], centred.planes[i][k]) << i << "," << k;
}

TEST_F(FrustumTest, TheHighestPlaneWithinTheRadiusWins) {
    Extract(4.0 / 3.0);
    struct Row {
        VECTOR3D point;
        float radius;
        int plane;
    } rows[] = {
        {{0, 0, -100}, 2.5f, -1},
        {{0, 0, -0.5f}, 2.5f, FRUSTUM::NEAR_PLANE},
        {{0, 0, -249}, 2.5f, FRUSTUM::FAR_PLANE},
        {{0, 0, -300}, 0.0f, FRUSTUM::FAR_PLANE},
        {{-50, 0, -0.5f}, 2.5f, FRUSTUM::NEAR_PLANE}, // near and left
        {{-100, 0, -50}, 2.5f, FRUSTUM::LEFT},
        {{100, 100, -50}, 2.5f, FRUSTUM::TOP},      // top and right
        {{-100, -100, -50}, 2.5f, FRUSTUM::BOTTOM}, // bottom and left
        {{100, 0, -50}, 2.5f, FRUSTUM::RIGHT},
        {{1000, 0, -300}, 2.5f, FRUSTUM::FAR_PLANE}, // far and right
    };
    for (const Row& r : rows)
        EXPECT_EQ(frustum.CheckFrustumHit(r.point, r.radius), r.plane)
            << r.point.x << "," << r.point.y << "," << r.point.z;

    // 1 unit inside the right wall: within a radius of 1, not of a hair less.
    const float inside = 1.0f / std::fabs(frustum.planes[FRUSTUM::RIGHT][0]);
    const VECTOR3D p(float(50 * std::tan(22.5 * M_PI / 180) * 4 / 3) - inside, 0, -50);
    const float d = Distance(FRUSTUM::RIGHT, p);
    ASSERT_NEAR(d, 1.0f, 1e-3);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d - 0.01f), -1);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d), FRUSTUM::RIGHT);
}
