#ifndef TUMBLIX_BOTTLES_FRUSTUM_H
#define TUMBLIX_BOTTLES_FRUSTUM_H

#include "maths/NiftyMaths.h"

// The six planes of the view volume, taken from the current OpenGL matrices
// once per frame. The bottles rebound from them.
class FRUSTUM {
  public:
    enum { RIGHT = 0, LEFT = 1, BOTTOM = 2, TOP = 3, FAR_PLANE = 4, NEAR_PLANE = 5 };

    // Each plane is (a, b, c, d) with (a, b, c) of unit length; the signed
    // distance a*x + b*y + c*z + d is positive inside.
    float planes[6][4] = {};

    // Assumes the symmetric perspective projection the scene sets up: only
    // elements 0, 5, 10, 11 and 14 of the projection matrix are read.
    void ExtractFrustumFaster();

    // Index of the plane that point is within radius of (or beyond), -1 for
    // none. Planes are scanned from near down to right, so near and far win
    // ties over top and bottom, and those over left and right.
    int CheckFrustumHit(VECTOR3D point, float radius) const;
};

#endif
