#include "GLFixture.h"
#include "bottles/Frustum.h"

#include <GL/glu.h>
#include <cmath>

namespace {

class FrustumTest : public GLFixture {
  protected:
    FRUSTUM frustum;
};

} // namespace

TEST_F(FrustumTest, TheHighestPlaneWithinTheRadiusWins) {
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 4.0 / 3.0, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);
    frustum.ExtractFrustumFaster();
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
    const float* q = frustum.planes[FRUSTUM::RIGHT];
    const float d = q[0] * p.x + q[1] * p.y + q[2] * p.z + q[3];
    ASSERT_NEAR(d, 1.0f, 1e-3);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d - 0.01f), -1);
    EXPECT_EQ(frustum.CheckFrustumHit(p, d), FRUSTUM::RIGHT);
}
