#ifndef TUMBLIX_TESTS_SCENEFILES_H
#define TUMBLIX_TESTS_SCENEFILES_H

#include "GLFixture.h"
#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"

#include <GL/gl.h>
#include <string>
#include <vector>

class SSMAIN;
struct SETTINGS;

// A resource container and bottle folders for scene tests, written with the
// real writers.
namespace scenefiles {

// The plain colours of the drawn scene pictures. The bottom quarter (image
// rows 24 to 31) of the logo and of every message is plain colour; the rest
// carries lighter "lettering".
extern const RGBA kLogo;
extern const RGBA kMessage[4]; // lumps 4 to 7

// The font: 16 by 8 cells of 16 by 16 texels, white glyphs on black (alpha
// from brightness). Every printable character is a solid block of 12 by 12
// texels in the middle of its cell; the space is empty.
brew::Image FontImage();

// The nine lumps of a usable container: font, logo, two spare pictures, four
// messages, shine map.
std::vector<brew::Lump> ResourceLumps();
void WriteResourceLumps(const std::string& folder, const std::vector<brew::Lump>& lumps);
void WriteResources(const std::string& folder); // folder/dewkin.works
// n small bottle types, folder/bottle<k>.brew.
void WriteBottles(const std::string& folder, int n);

// Settings as a first run leaves them, with bottles from bottleFolder, no
// sound and the given background kind.
void DefaultSettings(SETTINGS& settings, const std::string& bottleFolder, int bgType);

// A texture of the image (top row at the top), as the host hands the
// background picture over; alphaMode as BuildTexture takes it.
GLuint MakePicture(const brew::Image& image, int alphaMode = 0);

// The GL state the host sets before the scene is set up (and after a resize).
void InitGL(int width, int height);

// One drawn frame as the host's frame pump runs it: clear, Update,
// DoUnderlay, the perspective projection, Draw.
void PumpFrame(SSMAIN& scene, SETTINGS& settings, double dt);

} // namespace scenefiles

#endif
