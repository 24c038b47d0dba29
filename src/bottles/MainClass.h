#ifndef TUMBLIX_BOTTLES_MAINCLASS_H
#define TUMBLIX_BOTTLES_MAINCLASS_H

#include "bottles/Bottle.h"
#include "bottles/BottleData.h"
#include "bottles/Frustum.h"

#include <cstdint>

struct SETTINGS;

// Number of bottle data files with the extension in both folders that open.
int CountFiles(const char* folder1, const char* folder2, const char* extension);

// Whether the segments p1-p2 and p3-p4 come within radius of each other; on
// true, meeting (when given) receives the midpoint of the closest points.
bool VectorIntersection(VECTOR3D p1, VECTOR3D p2, VECTOR3D p3, VECTOR3D p4, VECTOR3D* meeting,
                        float radius);

int compare_pos(const void* a, const void* b);

// The bottle manager: the catalogue of bottle types on disk, the user's
// selection, and the live bottles with their motion, collisions and drawing.
class MAINCLASS {
  public:
    MAINCLASS();
    ~MAINCLASS();
    MAINCLASS(const MAINCLASS&) = delete;
    MAINCLASS& operator=(const MAINCLASS&) = delete;

    bool Setup(SETTINGS* settings);
    void Cleanup();
    void CleanupBottles();
    void CheckCollisions();
    void DrawBottles(double dt);

    // The catalogue.
    bool BuildBottleList();
    int FindBottle(const char* fileName) const;
    bool FindBottleSelection(const char* text, int64_t length);
    bool BottleFileExists(const char* name) const;
    void CleanupBottleList();

    FRUSTUM frustum;
    uint32_t shineTex;
    bool checkCollisions;
    bool playSound;
    ONEBOTTLE* bottles; // numBottles of them while set up
    int64_t numBottles;
    bool goodShine;
    float bottleScale;
    int numTypes;
    char bottlePath[BOTTLE_PATH_SIZE];
    char bottlePath2[BOTTLE_PATH_SIZE];
    int* selection; // indices of the switched-on types, ascending
    int numSelected;
    BOTTLEINFO* types;
};

#endif
