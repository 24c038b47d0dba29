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

TEST(Vector, NormalizeWorksInSinglePrecisionAndLeavesZeroAlone) {
    VECTOR3D zero(0, 0, 0);
    zero.Normalize();
    EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0);
    // The length is a float square root of a float sum; a double-precision
    // length gives different last bits for some of these vectors.
    int differing = 0;
    for (int i = 1; i < 200; i++) {
        const float x = 0.1f * i, y = 1.0f / i, z = 3.7f - 0.03f * i;
        VECTOR3D v(x, y, z);
        v.Normalize();
        const float fl = std::sqrt(x * x + y * y + z * z);
        const double dl = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
        EXPECT_EQ(v.x, x / fl) << i;
        EXPECT_EQ(v.z, z / fl) << i;
        differing += x / fl != float(x / dl) || z / fl != float(z / dl);
    }
    EXPECT_GT(differing, 0) << "the sample set must tell the two precisions apart";
}

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

TEST(Matrix, PointMultiplyTranslatesInDoublePrecisionWithoutDividingByW) {
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

    // 1e8 + 1 - 1e8 is 1 in double precision but 0 if summed in floats.
    MATRIX sum;
    sum[4] = 1.0; // y feeds x'
    sum[12] = -1e8;
    EXPECT_EQ(MatrixPointMultiply(sum, VECTOR3D(1e8f, 1.0f, 0.0f)).x, 1.0f);
}
