#ifndef TUMBLIX_BREW_MS3DCHECK_H
#define TUMBLIX_BREW_MS3DCHECK_H

#include "brewlib/ByteWriter.h"

#include <string>
#include <vector>

// What the packer needs to know of a MilkShape 3D model.
struct Ms3dSummary {
    int numVertices = 0;
    int numTriangles = 0;
    std::vector<std::string> groupNames;
    std::vector<int> groupMaterials; // materialIndex of each group, in file order
};

// Loads a binary MS3D model with the saver's own loader: the header must be
// "MS3D000000" version 3 or 4, every section complete, and every vertex and
// triangle index in range. Fills `summary` and returns true, or says why not.
bool CheckMs3d(const brew::Bytes& file, Ms3dSummary* summary, std::string* error);

#endif
