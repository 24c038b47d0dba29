#ifndef TUMBLIX_SCENE_BACKGROUND_H
#define TUMBLIX_SCENE_BACKGROUND_H

struct SETTINGS;

enum { WOBBLE_COLUMNS = 11, WOBBLE_ROWS = 13 };

// One node of the wobble mesh: position and velocity in mesh units (per step).
struct WOBBLENODE {
    float x;
    float y;
    float vx;
    float vy;
};

// The soft mesh the background picture can be drawn through. The border
// nodes are pinned; the free ones are nudged once at set-up and then kept
// swinging by springs to their eight neighbours, while the texture
// coordinates stay on the rest grid, so the picture sways.
//
// A plain record: InitWobble gives every field its value.
class BACKGROUND {
  public:
    void InitWobble();
    void RelaxWobble(double step);
    // Draws the mesh over a view of width by height pixels with the texture
    // that is bound. The last two arguments do not change the drawing.
    void Draw(int width, int height, float, double);

    WOBBLENODE nodes[WOBBLE_COLUMNS][WOBBLE_ROWS]; // [i along x][j along y]
    int spacing;
    float restLength[3][3]; // rest distance for index steps [di][dj]
};

// The background of the underlay in the flat one-unit-per-pixel projection:
// nothing for a colour background, else the picture, flat or through the mesh.
void DrawBackground(const SETTINGS* settings, unsigned int picture, BACKGROUND* mesh, int width,
                    int height, double frameTime);

#endif
