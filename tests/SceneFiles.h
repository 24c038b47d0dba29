#ifndef TUMBLIX_TESTS_SCENEFILES_H
#define TUMBLIX_TESTS_SCENEFILES_H

#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "scene/SSMain.h"
#include "scene/Settings.h"

#include <GL/gl.h>
#include <string>
#include <vector>

// A resource container and bottle folders for scene tests, written with the
// real writers, and a scene driver over them.
namespace scenefiles {

// The plain colours of the drawn scene pictures. The bottom quarter (image
// rows 24 to 31) of the logo and of every message is plain colour; the rest
// carries lighter "lettering".
extern const RGBA kLogo;
extern const RGBA kMessage[4]; // lumps 4 to 7

// The nine lumps of a usable container: font, logo, two spare pictures, four
// messages, shine map.
std::vector<brew::Lump> ResourceLumps();
// folder/dewkin.works
void WriteResources(const std::string& folder,
                    const std::vector<brew::Lump>& lumps = ResourceLumps());
// n small bottle types, folder/bottle<k>.brew.
void WriteBottles(const std::string& folder, int n);

// A texture of the image (top row at the top), as the host hands the
// background picture over; alphaMode as BuildTexture takes it.
GLuint MakePicture(const brew::Image& image, int alphaMode = 0);

} // namespace scenefiles

// A scene driver on a real GL context, with a resource folder holding the
// test container and a bottle folder with two small types. The settings are
// a first run's with a colour background and no sound.
class SceneFixture : public GLFixture {
  protected:
    explicit SceneFixture(int width = 128, int height = 128) : GLFixture(width, height) {}
    void SetUp() override;
    void TearDown() override;
    bool SetUpScene(bool preview = false);
    // Frames of dt seconds each as the host's frame pump draws them (clear,
    // Update, DoUnderlay, the perspective projection, Draw) until `seconds`
    // more have passed.
    void Run(double seconds, double dt = 1.0 / 35.0);

    TempDir tmp;
    std::string resources; // ends in "/"
    std::string bottles;
    SETTINGS settings;
    SSMAIN scene;
    ErrorLog log;
    double elapsed = 0.0; // seconds run so far
};

#endif
