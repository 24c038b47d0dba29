#ifndef TUMBLIX_BOTTLES_BOTTLE_H
#define TUMBLIX_BOTTLES_BOTTLE_H

#include "maths/NiftyMaths.h"

class BOTTLEINFO;
class MAINCLASS;
class MS3D;

// One triangle of a live bottle for the depth sort: its turned centre and
// its index in the model.
struct TRIMID {
    VECTOR3D mid;
    int tri;
};

// One live bottle. It owns only its depth-sort array; its type and mesh
// belong to the catalogue.
class ONEBOTTLE {
  public:
    ONEBOTTLE();
    ~ONEBOTTLE();
    ONEBOTTLE(ONEBOTTLE&& other) noexcept;
    ONEBOTTLE& operator=(ONEBOTTLE&& other) noexcept;
    ONEBOTTLE(const ONEBOTTLE&) = delete;
    ONEBOTTLE& operator=(const ONEBOTTLE&) = delete;

    // Gives the bottle its type and a random start (twelve rand() draws).
    void Load(BOTTLEINFO* type);
    void Move(double dt, MAINCLASS* manager);
    void Rotate(const MATRIX& m);
    void Draw(MAINCLASS* manager);
    void Release(); // frees mids, forgets the type

    TRIMID* mids;
    int numMids;
    // The corners of the triangles in the order of mids, three a triangle,
    // refilled by every sort and drawn by the glass and shine passes: in
    // order16 when the type's corner indices fit 16 bits, else in order32.
    unsigned short* order16;
    unsigned int* order32;
    // The corners of the triangles that may face the viewer, in model
    // order, rebuilt by every Draw for the shine; same width as the order.
    unsigned short* front16;
    unsigned int* front32;
    int numFrontCorners;
    VECTOR3D angle;
    VECTOR3D spin;
    VECTOR3D pos;
    VECTOR3D vel;
    MATRIX rotation;
    MS3D* model;
    BOTTLEINFO* info;
    VECTOR3D top;
    VECTOR3D bottom;
    int lastPlane;

  private:
    void DrawLabels();
    void DrawSorted();
    void DrawFront();
    void FillOrder();
    void FillFront();
};

int compare_mids(const void* a, const void* b);

#endif
