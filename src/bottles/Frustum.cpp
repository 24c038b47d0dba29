#include "bottles/Frustum.h"

#include <GL/gl.h>
#include <cmath>

void FRUSTUM::ExtractFrustumFaster() {
    float P[16];
    float M[16];
    float C[16];
    glGetFloatv(GL_PROJECTION_MATRIX, P);
    glGetFloatv(GL_MODELVIEW_MATRIX, M);

    for (int i = 0; i < 4; i++) {
        C[i * 4 + 0] = M[i * 4 + 0] * P[0];
        C[i * 4 + 1] = M[i * 4 + 1] * P[5];
        C[i * 4 + 2] = M[i * 4 + 2] * P[10] + M[i * 4 + 3] * P[14];
        C[i * 4 + 3] = M[i * 4 + 2] * P[11];
    }

    // Row x of C is (C[x], C[4 + x], C[8 + x], C[12 + x]); each plane is row 3
    // plus or minus one of the other rows.
    const struct {
        int row;
        float sign;
    } recipe[6] = {{0, -1.0f}, {0, 1.0f}, {1, 1.0f}, {1, -1.0f}, {2, -1.0f}, {2, 1.0f}};

    for (int p = 0; p < 6; p++) {
        const int r = recipe[p].row;
        const float s = recipe[p].sign;
        for (int k = 0; k < 4; k++) {
            planes[p][k] = C[k * 4 + 3] + s * C[k * 4 + r];
        }
        const float length = std::sqrt(planes[p][0] * planes[p][0] + planes[p][1] * planes[p][1] +
                                       planes[p][2] * planes[p][2]);
        for (int k = 0; k < 4; k++) {
            planes[p][k] /= length;
        }
    }
}

int FRUSTUM::CheckFrustumHit(VECTOR3D point, float radius) const {
    for (int i = 5; i >= 0; i--) {
        const float distance =
            planes[i][0] * point.x + planes[i][1] * point.y + planes[i][2] * point.z + planes[i][3];
        if (radius >= distance) {
            return i;
        }
    }
    return -1;
}
