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

TEST(Vector, NormalizeScalesToUnitLengthAndLeavesZeroAlone) {
    VECTOR3D zero(0, 0, 0);
    zero.Normalize();
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    EXPECT_FALSE(std::isnan(zero.x));

    VECTOR3D v(3, 0, 4);
    v.Normalize();
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);

    VECTOR3D n(-2, 5, 11);
    n.Normalize();
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-6);
    EXPECT_LT(n.x, 0.0f);
}

TEST(Vector, NormalizeWorksInSinglePrecision) {
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

TEST(Point, Make2DPointKeepsBothCoordinates) {
    point2d p = Make2DPoint(-1.5f, 768.0f);
    EXPECT_EQ(p.x, -1.5f);
    EXPECT_EQ(p.y, 768.0f);
}

TEST(Matrix, DefaultAndZeroAnglesAreTheIdentity) {
    MATRIX d;
    MATRIX z = MatrixFromAngle(VECTOR3D(0, 0, 0));
    for (int i = 0; i < 16; i++) {
        const double expected = (i % 5 == 0) ? 1.0 : 0.0;
        EXPECT_EQ(d[i], expected) << i;
        EXPECT_EQ(z[i], expected) << i;
    }
}

TEST(Matrix, EachAngleTurnsItsOwnWay) {
    // z: (1, 0, 0) goes to (0, -1, 0), a clockwise turn seen from +z.
    ExpectPoint(MatrixPointMultiply(MatrixFromAngle(VECTOR3D(0, 0, 90)), VECTOR3D(1, 0, 0)), 0, -1,
                0);
    // x: (0, 1, 0) goes to (0, 0, -1), also the opposite of the usual sense.
    ExpectPoint(MatrixPointMultiply(MatrixFromAngle(VECTOR3D(90, 0, 0)), VECTOR3D(0, 1, 0)), 0, 0,
                -1);
    // y turns the usual way: (1, 0, 0) goes to (0, 0, -1).
    ExpectPoint(MatrixPointMultiply(MatrixFromAngle(VECTOR3D(0, 90, 0)), VECTOR3D(1, 0, 0)), 0, 0,
                -1);
}

TEST(Matrix, XAppliesFirstAndZLast) {
    // x first takes (0, 1, 0) to (0, 0, -1), which z then leaves alone;
    // z first would give (1, 0, 0).
    ExpectPoint(MatrixPointMultiply(MatrixFromAngle(VECTOR3D(90, 0, 90)), VECTOR3D(0, 1, 0)), 0, 0,
                -1);
    // y before z: (1, 0, 0) turns into (0, 0, -1) by y, and z leaves it.
    ExpectPoint(MatrixPointMultiply(MatrixFromAngle(VECTOR3D(0, 90, 90)), VECTOR3D(1, 0, 0)), 0, 0,
                -1);
}

TEST(Matrix, MatchesComposedRotationsForArbitraryAngles) {
    const VECTOR3D samples[] = {{30, 45, 60}, {-170, 12.5f, 300}, {359, -89, 1}, {0.25f, 0, 720}};
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
