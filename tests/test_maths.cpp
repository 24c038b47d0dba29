#include "maths/Misc.h"
#include "maths/NiftyMaths.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Reference rotations acting on column vectors, composed independently of
// the element list in the engine.
struct M3 {
    double e[3][3];
};
M3 Mul(const M3& a, const M3& b) {
    M3 r{};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 3; k++)
                r.e[i][j] += a.e[i][k] * b.e[k][j];
    return r;
}
// Rotation by deg about axis 0 (x), 1 (y) or 2 (z).
M3 R(int axis, double deg) {
    const double a = deg * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    M3 r{};
    r.e[axis][axis] = 1;
    r.e[u][u] = r.e[v][v] = c;
    r.e[u][v] = -s;
    r.e[v][u] = s;
    return r;
}

} // namespace

TEST(Matrix, MatchesComposedRotationsForArbitraryAngles) {
    // One angle at a time shows each axis's own sense; together, their order.
    const VECTOR3D samples[] = {{90, 0, 0},         {0, 90, 0},    {0, 0, 90},      {30, 45, 60},
                                {-170, 12.5f, 300}, {359, -89, 1}, {0.25f, 0, 720}, {0, 0, 0}};
    for (const VECTOR3D& a : samples) {
        const MATRIX m = MatrixFromAngle(a);
        const M3 r = Mul(R(2, -a.z), Mul(R(1, a.y), R(0, -a.x)));
        for (int col = 0; col < 4; col++)
            for (int row = 0; row < 4; row++)
                EXPECT_NEAR(m[col * 4 + row], col < 3 && row < 3 ? r.e[row][col] : col == row,
                            1e-12)
                    << "angles " << a.x << "," << a.y << "," << a.z << " col " << col << " row "
                    << row;
    }
}

TEST(Matrix, PointMultiplyTranslatesWithoutDividingByW) {
    MATRIX m;
    m[12] = 5;
    m[13] = 6;
    m[14] = 7;
    // The bottom row would scale a projective result; it is never read.
    m[3] = 9;
    m[7] = -4;
    m[11] = 2;
    m[15] = 0.5;
    const VECTOR3D p = MatrixPointMultiply(m, VECTOR3D(1, 2, 3));
    EXPECT_TRUE(p.x == 6 && p.y == 8 && p.z == 10) << p.x << "," << p.y << "," << p.z;
}
