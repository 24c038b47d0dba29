#include "bottles/Bottle.h"

#include "assets/Texture.h"
#include "bottles/BottleData.h"
#include "bottles/MainClass.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"
#include "scene/SoundStuff.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

// rand() % n as a float.
float Roll(int n) {
    return static_cast<float>(std::rand() % n);
}

// A new random spin: z, then y, then x.
void NewSpin(VECTOR3D& spin) {
    spin.z = Roll(60) - 30.0f;
    spin.y = Roll(60) - 30.0f;
    spin.x = Roll(60) - 30.0f;
}

} // namespace

int compare_mids(const void* a, const void* b) {
    const float za = static_cast<const TRIMID*>(a)->mid.z;
    const float zb = static_cast<const TRIMID*>(b)->mid.z;
    if (za > zb) {
        return 1;
    }
    if (zb > za) {
        return -1;
    }
    return 0;
}

ONEBOTTLE::ONEBOTTLE()
    : mids(nullptr), numMids(0), order16(nullptr), order32(nullptr), front16(nullptr),
      front32(nullptr), numFrontCorners(0), angle(0, 0, 0), spin(0, 0, 0), pos(0, 0, 0),
      vel(0, 0, 0), model(nullptr), info(nullptr), top(0, 0, 0), bottom(0, 0, 0), lastPlane(-1) {}

ONEBOTTLE::~ONEBOTTLE() {
    Release();
}

ONEBOTTLE::ONEBOTTLE(ONEBOTTLE&& o) noexcept : ONEBOTTLE() {
    *this = std::move(o);
}

ONEBOTTLE& ONEBOTTLE::operator=(ONEBOTTLE&& o) noexcept {
    if (this != &o) {
        std::swap(mids, o.mids);
        std::swap(numMids, o.numMids);
        std::swap(order16, o.order16);
        std::swap(order32, o.order32);
        std::swap(front16, o.front16);
        std::swap(front32, o.front32);
        std::swap(numFrontCorners, o.numFrontCorners);
        angle = o.angle;
        spin = o.spin;
        pos = o.pos;
        vel = o.vel;
        rotation = o.rotation;
        model = o.model;
        info = o.info;
        top = o.top;
        bottom = o.bottom;
        lastPlane = o.lastPlane;
    }
    return *this;
}

void ONEBOTTLE::Release() {
    delete[] mids;
    mids = nullptr;
    delete[] order16;
    order16 = nullptr;
    delete[] order32;
    order32 = nullptr;
    delete[] front16;
    front16 = nullptr;
    delete[] front32;
    front32 = nullptr;
    numFrontCorners = 0;
    numMids = 0;
    model = nullptr;
    info = nullptr;
}

void ONEBOTTLE::Load(BOTTLEINFO* type) {
    const float r1 = Roll(100), r2 = Roll(50), r3 = Roll(50);
    pos.x = r3 - 25.0f;
    pos.y = r2 - 25.0f;
    pos.z = -r1 - 50.0f;
    const float r4 = Roll(20), r5 = Roll(20), r6 = Roll(20);
    vel.x = r6 - 10.0f;
    vel.y = r5 - 10.0f;
    vel.z = r4 - 10.0f;
    const float r7 = Roll(360), r8 = Roll(360), r9 = Roll(360);
    angle.x = r9;
    angle.y = r8;
    angle.z = r7;
    const float r10 = Roll(60), r11 = Roll(60), r12 = Roll(60);
    spin.x = r12 - 30.0f;
    spin.y = r11 - 30.0f;
    spin.z = r10 - 30.0f;

    Release();
    info = type;
    model = type->model;
    const int count = type->numTris;
    const size_t corners = count > 0 ? size_t(count) * 3 : 3;
    mids = new (std::nothrow) TRIMID[count > 0 ? count : 1];
    if (type->shortIndices) {
        order16 = new (std::nothrow) unsigned short[corners];
        front16 = new (std::nothrow) unsigned short[corners];
    } else {
        order32 = new (std::nothrow) unsigned int[corners];
        front32 = new (std::nothrow) unsigned int[corners];
    }
    if (mids == nullptr || (order16 == nullptr && order32 == nullptr) ||
        (front16 == nullptr && front32 == nullptr)) {
        Release();
        info = type; // the type stays, with no triangles to sort
        model = type->model;
        ERRORCLOSE("Error Allocating Memory!");
        return;
    }
    numMids = count;
    for (int t = 0; t < count; t++) {
        mids[t].mid = type->triCentres[t];
        mids[t].tri = t;
    }
    FillOrder();
}

void ONEBOTTLE::FillOrder() {
    // A type whose draw arrays were never built (made by hand, not loaded)
    // still moves and sorts; it only has no order to draw.
    if (info->triCorners.size() < size_t(numMids) * 3) {
        return;
    }
    const unsigned int* corners = info->triCorners.data();
    for (int i = 0; i < numMids; i++) {
        const unsigned int* c = corners + size_t(mids[i].tri) * 3;
        if (order16 != nullptr) {
            order16[i * 3] = static_cast<unsigned short>(c[0]);
            order16[i * 3 + 1] = static_cast<unsigned short>(c[1]);
            order16[i * 3 + 2] = static_cast<unsigned short>(c[2]);
        } else {
            order32[i * 3] = c[0];
            order32[i * 3 + 1] = c[1];
            order32[i * 3 + 2] = c[2];
        }
    }
}

void ONEBOTTLE::FillFront() {
    // Where the viewer (the origin of eye space) sits in the bottle's model
    // space: the rotation is orthonormal, so its transpose undoes it.
    const double* m = rotation.m;
    const float ex = -float(pos.x * m[0] + pos.y * m[1] + pos.z * m[2]);
    const float ey = -float(pos.x * m[4] + pos.y * m[5] + pos.z * m[6]);
    const float ez = -float(pos.x * m[8] + pos.y * m[9] + pos.z * m[10]);
    // A triangle faces the viewer when the viewer is on the side its winding
    // points to. Those within a hair of edge-on are kept: face culling still
    // decides them exactly, this list only spares it the clear cases.
    const float margin = 0.01f;
    const float* plane = info->triPlanes.data();
    const unsigned int* corners = info->triCorners.data();
    int n = 0;
    for (int t = 0; t < numMids; t++, plane += 4) {
        if (plane[0] * ex + plane[1] * ey + plane[2] * ez - plane[3] < -margin) {
            continue;
        }
        const unsigned int* c = corners + size_t(t) * 3;
        if (front16 != nullptr) {
            front16[n] = static_cast<unsigned short>(c[0]);
            front16[n + 1] = static_cast<unsigned short>(c[1]);
            front16[n + 2] = static_cast<unsigned short>(c[2]);
        } else {
            front32[n] = c[0];
            front32[n + 1] = c[1];
            front32[n + 2] = c[2];
        }
        n += 3;
    }
    numFrontCorners = n;
}

void ONEBOTTLE::Move(double dt, MAINCLASS* manager) {
    if (manager == nullptr) {
        return;
    }
    const MATRIX turn = MatrixFromAngle(angle);
    rotation = turn;

    const float t = static_cast<float>(dt);
    pos.x += t * vel.x;
    pos.y += t * vel.y;
    pos.z += t * vel.z;
    angle.x += t * spin.x;
    angle.y += t * spin.y;
    angle.z += t * spin.z;

    const int plane = manager->frustum.CheckFrustumHit(pos, manager->bottleScale * 10.0f);
    switch (plane) {
    case 0:
        vel.x = -Roll(10) - 2.0f;
        break;
    case 1:
        vel.x = Roll(10) + 2.0f;
        break;
    case 2:
        vel.y = Roll(10) + 2.0f;
        break;
    case 3:
        vel.y = -Roll(10) - 2.0f;
        break;
    case 4:
        vel.z = Roll(10) + 2.0f;
        break;
    case 5:
        vel.z = -Roll(10) - 2.0f;
        break;
    default:
        break;
    }
    if (plane != lastPlane) {
        NewSpin(spin);
        if (manager->playSound && manager->numBottles <= 4) {
            PlayBottleSound();
        }
    }
    lastPlane = plane;

    if (pos.z > -40.0f) {
        vel.z = -Roll(10) - 2.0f;
    }
    if (pos.z < -200.0f) {
        vel.z = Roll(10) + 1.0f;
    }
    Rotate(turn);
}

void ONEBOTTLE::Rotate(const MATRIX& m) {
    if (info == nullptr) {
        return;
    }
    for (int i = 0; i < numMids; i++) {
        mids[i].mid = MatrixPointMultiply(m, info->triCentres[mids[i].tri]);
    }
    std::sort(mids, mids + numMids,
              [](const TRIMID& a, const TRIMID& b) { return compare_mids(&a, &b) < 0; });
    FillOrder();
    top = MatrixPointMultiply(m, VECTOR3D(0.0f, info->top, 0.0f));
    bottom = MatrixPointMultiply(m, VECTOR3D(0.0f, info->bottom, 0.0f));
}

// The label groups: every group whose material names an existing label slot,
// from the type's fixed index lists.
void ONEBOTTLE::DrawLabels() {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (const LABELRUN& run : info->labelRuns) {
        glBindTexture(GL_TEXTURE_2D, info->textures[run.slot].texID);
        if (info->shortIndices) {
            glDrawElements(GL_TRIANGLES, run.count, GL_UNSIGNED_SHORT,
                           info->labelIndices16.data() + run.first);
        } else {
            glDrawElements(GL_TRIANGLES, run.count, GL_UNSIGNED_INT,
                           info->labelIndices32.data() + run.first);
        }
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Every triangle in the order of the last depth sort.
void ONEBOTTLE::DrawSorted() {
    if (order16 != nullptr) {
        glDrawElements(GL_TRIANGLES, numMids * 3, GL_UNSIGNED_SHORT, order16);
    } else {
        glDrawElements(GL_TRIANGLES, numMids * 3, GL_UNSIGNED_INT, order32);
    }
}

// The triangles FillFront kept.
void ONEBOTTLE::DrawFront() {
    if (front16 != nullptr) {
        glDrawElements(GL_TRIANGLES, numFrontCorners, GL_UNSIGNED_SHORT, front16);
    } else {
        glDrawElements(GL_TRIANGLES, numFrontCorners, GL_UNSIGNED_INT, front32);
    }
}

void ONEBOTTLE::Draw(MAINCLASS* manager) {
    if (manager == nullptr || info == nullptr || model == nullptr ||
        info->triCorners.size() < size_t(numMids) * 3 ||
        info->triPlanes.size() < size_t(numMids) * 4) {
        return;
    }
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(pos.x, pos.y, pos.z);
    glMultMatrixd(rotation.m);
    glColor4f(1, 1, 1, 1);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, info->cornerPositions.data());
    glNormalPointer(GL_FLOAT, 0, info->cornerNormals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, info->cornerTexCoords.data());

    // Inside faces of the labels first, seen through the glass.
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    DrawLabels();
    glDisable(GL_CULL_FACE);

    // The glass over every triangle, back to front. Its corners carry no
    // texture coordinate of their own: all take (0, 0), the single texel the
    // flat glass shows, or sphere mapping replaces it.
    glColor4f(1, 1, 1, info->alpha);
    glBindTexture(GL_TEXTURE_2D, info->textures[0].texID);
    if (manager->goodShine) {
        // The flat glass is one texel everywhere: the texture stage takes
        // it as a constant instead of filtering it at every pixel.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_CONSTANT);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_CONSTANT);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, info->glassColour);
    } else {
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
    }
    glTexCoord2f(0, 0);
    DrawSorted();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    if (manager->goodShine) {
        // Sphere mapping generates both coordinates of the shine, so the
        // corners' own coordinates would be overridden: none are sent. It
        // lands only where the glass in front left its depth, so the
        // order of its triangles does not matter, and those facing away
        // need not be sent at all. Every depth it passes is the one the
        // glass wrote for the same triangle: writing it again is left out.
        FillFront();
        glDepthMask(GL_FALSE);
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, manager->shineTex);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 0.125f);
        DrawFront();
        glDepthMask(GL_TRUE);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
        glDisable(GL_CULL_FACE);
    }

    // Outside faces of the labels last, in front of the glass.
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    DrawLabels();
    glDisable(GL_CULL_FACE);

    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    glPopMatrix();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}
