#include "maths/NiftyMaths.h"

#include <cmath>

void VECTOR3D::Normalize() {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) {
        return;
    }
    x /= length;
    y /= length;
    z /= length;
}

MATRIX::MATRIX() {
    for (double& e : m) {
        e = 0.0;
    }
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

MATRIX MatrixFromAngle(VECTOR3D angles) {
    const double rx = angles.x * 3.141592653589793 / 180.0;
    const double ry = angles.y * 3.141592653589793 / 180.0;
    const double rz = angles.z * 3.141592653589793 / 180.0;
    const double A = std::cos(rx), B = std::sin(rx);
    const double C = std::cos(ry), D = std::sin(ry);
    const double E = std::cos(rz), F = std::sin(rz);

    MATRIX r;
    r[0] = C * E;
    r[1] = -C * F;
    r[2] = -D;
    r[3] = 0.0;
    r[4] = A * F - B * D * E;
    r[5] = B * D * F + A * E;
    r[6] = -B * C;
    r[7] = 0.0;
    r[8] = A * D * E + B * F;
    r[9] = B * E - A * D * F;
    r[10] = A * C;
    r[11] = 0.0;
    r[12] = r[13] = r[14] = 0.0;
    r[15] = 1.0;
    return r;
}

VECTOR3D MatrixPointMultiply(const MATRIX& m, VECTOR3D p) {
    const double x = p.x, y = p.y, z = p.z;
    VECTOR3D r;
    r.x = static_cast<float>(x * m[0] + y * m[4] + z * m[8] + m[12]);
    r.y = static_cast<float>(x * m[1] + y * m[5] + z * m[9] + m[13]);
    r.z = static_cast<float>(x * m[2] + y * m[6] + z * m[10] + m[14]);
    return r;
}
