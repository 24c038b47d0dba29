#include "maths/Misc.h"
#include "maths/NiftyMaths.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

const double kPi = 3.141592653589793;

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
M3 Rx(double deg) {
    double a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    return M3{{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}
M3 Ry(double deg) {
    double a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    return M3{{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}
M3 Rz(double deg) {
    double a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    return M3{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

void ExpectPoint(VECTOR3D p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-6);
    EXPECT_NEAR(p.y, y, 1e-6);
    EXPECT_NEAR(p.z, z, 1e-6);
}

} // namespace

TEST(Vector, NormalizeWorksInSinglePrecisionAndLeavesZeroAlone) {
    VECTOR3D zero(0, 0, 0);
    zero.Normalize();
    ExpectPoint(zero, 0, 0, 0);

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
        if (x / fl != float(x / dl) || z / fl != float(z / dl)) {
            differing++;
        }
    }
    EXPECT_GT(differing, 0) << "the sample set must tell the two precisions apart";
}

TEST(Matrix, MatchesComposedRotationsForArbitraryAngles) {
    // One angle at a time shows each axis's own sense; together, their order.
    const VECTOR3D samples[] = {{90, 0, 0},         {0, 90, 0},    {0, 0, 90},      {30, 45, 60},
                                {-170, 12.5f, 300}, {359, -89, 1}, {0.25f, 0, 720}, {0, 0, 0}};
    for (const VECTOR3D& a : samples) {
        const MATRIX m = MatrixFromAngle(a);
        const M3 r = Mul(Rz(-a.z), Mul(Ry(a.y), Rx(-a.x)));
        for (int col = 0; col < 3; col++)
            for (int row = 0; row < 3; row++)
                EXPECT_NEAR(m[col * 4 + row], r.e[row][col], 1e-12)
                    << "angles " << a.x << "," << a.y << "," << a.z << " col " << col << " row "
                    << row;
        EXPECT_EQ(m[3], 0.0);
        EXPECT_EQ(m[7], 0.0);
        EXPECT_EQ(m[11], 0.0);
        EXPECT_EQ(m[12], 0.0);
        EXPECT_EQ(m[13], 0.0);
        EXPECT_EQ(m[14], 0.0);
        EXPECT_EQ(m[15], 1.0);
    }
}

TEST(Matrix, PointMultiplyTranslatesWithoutDividingByW) {
    MATRIX m;
    m[12] = 5;
    m[13] = 6;
    m[14] = 7;
    ExpectPoint(MatrixPointMultiply(m, VECTOR3D(1, 2, 3)), 6, 8, 10);

    // The bottom row would scale a projective result; it is never read.
    m[3] = 9;
    m[7] = -4;
    m[11] = 2;
    m[15] = 0.5;
    ExpectPoint(MatrixPointMultiply(m, VECTOR3D(1, 2, 3)), 6, 8, 10);
}

TEST(Matrix, PointMultiplySumsInDoublePrecision) {
    // 1e8 + 1 - 1e8 is 1 in double precision but 0 if summed in floats.
    MATRIX m;
    m[4] = 1.0; // y feeds x'
    m[12] = -1e8;
    const VECTOR3D r = MatrixPointMultiply(m, VECTOR3D(1e8f, 1.0f, 0.0f));
    EXPECT_EQ(r.x, 1.0f);
}
