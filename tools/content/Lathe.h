#ifndef TUMBLIX_CONTENT_LATHE_H
#define TUMBLIX_CONTENT_LATHE_H

#include "brewlib/Ms3dWriter.h"

#include <string>
#include <vector>

// The outline of a bottle, turned about the y axis. Heights are measured
// from the bottom of the bottle; the model is centred on the origin.
struct BottleShape {
    double height = 20;
    double bodyRadius = 3;
    double baseFillet = 0.6;  // rounding where the base meets the wall
    double punt = 0.3;        // how far the base is pushed up in the middle
    double shoulderStart = 9; // the straight wall ends here
    double shoulderEnd = 13;  // the neck starts here
    double shoulderPower = 1; // 1 an even S-curve; higher keeps the body full for longer
    double neckRadius = 1.1;  // at the foot of the neck
    double neckTopRadius = 0.95;
    double lipStart = 19; // the bead of the lip starts here and ends at the top
    double lipRadius = 1.15;
    double wall = 0.28;      // glass thickness at the mouth
    double mouthDepth = 1.6; // how deep the mouth is open
};

// A label: a patch of the outer surface a little outside the glass, facing
// +z at its middle. Its image's top edge is at `top`, its left edge on the
// left as seen from outside.
struct LabelPatch {
    std::string group;
    double bottom = 4, top = 9; // heights from the bottom of the bottle
    double degrees = 150;       // how far round the bottle it reaches
    int columns = 16, rows = 4;
    int materialIndex = 1;
};

struct LatheMesh {
    int segments = 28; // around the axis
};

// Builds the model: group 0 "glass" (material 0), a closed surface, then one
// group per label, in order. Normals are smooth and point outwards.
brew::Ms3dModel BuildBottleModel(const BottleShape& shape, const std::vector<LabelPatch>& labels,
                                 int segments);

#endif
