#ifndef TUMBLIX_MATHS_NIFTYMATHS_H
#define TUMBLIX_MATHS_NIFTYMATHS_H

// Small value types of the engine. Angles are in degrees throughout.

struct VECTOR3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    VECTOR3D() = default;
    VECTOR3D(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    // Scales to unit length in place; the zero vector stays as it is.
    void Normalize();
};

struct point2d {
    float x = 0.0f;
    float y = 0.0f;
};

// Sixteen doubles in OpenGL's column-major order (index = column * 4 + row),
// so it can go straight to glMultMatrixd.
struct MATRIX {
    double m[16];

    MATRIX();
    double& operator[](int i) { return m[i]; }
    double operator[](int i) const { return m[i]; }
};

// Rotation by the three angles (degrees): x first, z last; x and z turn the
// opposite way from y. No translation.
MATRIX MatrixFromAngle(VECTOR3D angles);

// m applied to the point p, without any division by w. The matrix is taken
// by reference: it is 128 bytes and this runs once per triangle per frame.
VECTOR3D MatrixPointMultiply(const MATRIX& m, VECTOR3D p);

#endif
