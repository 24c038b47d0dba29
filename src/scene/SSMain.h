#ifndef TUMBLIX_SCENE_SSMAIN_H
#define TUMBLIX_SCENE_SSMAIN_H

#include "maths/NiftyMaths.h"

class BACKGROUND;
class MAINCLASS;
class Texture;
struct SETTINGS;

// Roles of the resource container's textures, by lump.
enum {
    SCENE_FONT = 0,
    SCENE_LOGO = 1,
    SCENE_FIRST_MESSAGE = 4,
    SCENE_LAST_MESSAGE = 7,
    SCENE_SHINE = 8,
    SCENE_TEXTURES_NEEDED = 9
};

// The parts of a drawn frame, in drawing order.
enum FRAMEPART { FRAME_UNDERLAY = 0, FRAME_BOTTLES = 1, FRAME_OVERLAY = 2, FRAME_PARTS = 3 };

// The resource container's file name within the resource folder.
extern const char SCENE_RESOURCE_FILE[]; // "dewkin.works"

// Called, when set, as each part of a frame has been submitted: the timing
// mode measures the parts with it. Null (the default) costs nothing.
void SetFramePartHook(void (*hook)(int part));

// The scene driver: one per view, driven once per drawn frame. It owns the
// scene textures, the background mesh, the bottle manager and the name of
// the background picture once the host hands it over.
//
// Like the other engine classes it has no destructor of its own: the host
// calls Cleanup, with the view's GL context current, before freeing it.
class SSMAIN {
  public:
    SSMAIN();
    SSMAIN(const SSMAIN&) = delete;
    SSMAIN& operator=(const SSMAIN&) = delete;

    // Builds the scene from the resource folder (ending in "/"). False when
    // the resource container cannot be used or no bottle can be set up; the
    // driver then draws nothing until a later Setup succeeds.
    bool Setup(bool preview, int w, int h, SETTINGS* settings, const char* resourcePath);
    void SetSize(int w, int h);
    void Update(double dt);
    void DoUnderlay(SETTINGS* settings);
    void Draw();
    void DoOverlay();
    void Cleanup(); // safe to repeat

    // The GL name of scene texture index, 0 when there is none.
    unsigned int SceneTextureName(int index) const;

    double frameTime;
    int width;
    int height;
    bool preview;
    float bannerTimer;
    bool bannerShown;
    bool bannerAtTop;
    point2d bannerPos;
    unsigned int messageIndex;
    float messageTimer;
    float messageAlpha;
    float clockAlpha;
    float countdownAlpha;
    float countdownTimer;
    int numSceneTextures;
    Texture* sceneTextures;
    BACKGROUND* background;
    MAINCLASS* bottleManager;
    unsigned int bgTexture;
    bool countdownPhase;
    float wobbleTimer;

  private:
    bool Fail(const char* message);

    bool ready; // the last Setup succeeded and no Cleanup came since
};

#endif
