#ifndef TUMBLIX_BOTTLES_BOTTLEDATA_H
#define TUMBLIX_BOTTLES_BOTTLEDATA_H

#include "maths/NiftyMaths.h"

#include <cstdint>
#include <vector>

class DATAFILE;
class MS3D;
class Texture;

// The triangles of one label group, as a run of corner indices in the type's
// label index list, and the texture slot they are drawn with.
struct LABELRUN {
    int slot;
    int first;
    int count;
};

enum { BOTTLE_PATH_SIZE = 16384, BOTTLE_NAME_SIZE = 100 };

// One bottle type: a bottle data file, its mesh and its textures. The
// catalogue fills the file's name and header values; the mesh and textures
// are loaded when the first bottle of the type appears.
class BOTTLEINFO {
  public:
    BOTTLEINFO();
    ~BOTTLEINFO();
    BOTTLEINFO(const BOTTLEINFO&) = delete;
    BOTTLEINFO& operator=(const BOTTLEINFO&) = delete;

    // Loads the type from folder + fileName unless it is loaded already.
    // path is not used: the type always loads from where it was found.
    bool LoadData(const char* path, float size, bool goodShine);
    bool Load(DATAFILE* file, float size, bool goodShine);

    char fileName[BOTTLE_PATH_SIZE];
    char folder[BOTTLE_PATH_SIZE];
    char name[BOTTLE_NAME_SIZE];
    bool loaded;
    bool selected;
    uint8_t tag;
    uint32_t flags;
    float alpha;
    float size;
    int numTextures;
    Texture* textures; // numTextures slots; slot 0 is the glass
    MS3D* model;
    VECTOR3D* triCentres; // numTris model-space triangle centres
    int numTris;
    float top;    // upper end of the collision axis
    float bottom; // lower end of the collision axis
    float radius; // largest vertex x

    // The mesh as vertex arrays, built once when the type loads. Each corner
    // of a triangle is one entry; corners with the same vertex, normal and
    // texture coordinate share it. Texture coordinates are (s, -t).
    std::vector<float> cornerPositions;   // 3 per corner
    std::vector<float> cornerNormals;     // 3 per corner
    std::vector<float> cornerTexCoords;   // 2 per corner
    std::vector<unsigned int> triCorners; // 3 per triangle, in model order
    // The label groups' corners, in 16 bits when every corner index fits
    // (the rasteriser then takes the list as it is), else in 32.
    bool shortIndices;
    std::vector<unsigned short> labelIndices16;
    std::vector<unsigned int> labelIndices32;
    std::vector<LABELRUN> labelRuns; // the label groups in file order
    // The plane of each triangle, 4 per triangle: the unit normal its
    // winding gives and the plane's distance from the origin along it, so
    // a bottle can tell which triangles face the viewer before drawing.
    std::vector<float> triPlanes;
    // What the glass shows when it is not sphere-mapped: slot 0 sampled at
    // (0, 0), where the linear filter of a repeating texture averages the
    // four corner texels. RGBA, 0 to 1.
    float glassColour[4];

  private:
    void Release();
    void BuildDrawArrays();
};

#endif
