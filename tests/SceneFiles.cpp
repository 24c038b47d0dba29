#include "SceneFiles.h"

#include "BottleFiles.h"
#include "assets/Texture.h"
#include "scene/Text.h"

#include <GL/glu.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace scenefiles {

const RGBA kLogo = {255, 140, 0, 255};
const RGBA kMessage[4] = {
    {200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}, {200, 30, 200, 255}};

namespace {

void Fill(brew::Image& image, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, uint8_t r,
          uint8_t g, uint8_t b) {
    for (uint32_t y = y0; y < y0 + h && y < image.height; y++) {
        for (uint32_t x = x0; x < x0 + w && x < image.width; x++) {
            uint8_t* p = image.At(x, y);
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
}

brew::Image Strip(uint32_t w, RGBA colour, uint32_t wordEvery) {
    brew::Image image(w, 32, 3);
    Fill(image, 0, 0, w, 32, colour.r, colour.g, colour.b);
    for (uint32_t x = 16; x + 24 < w; x += wordEvery) {
        Fill(image, x, 8, wordEvery - 24, 12, 255, 255, 230);
    }
    return image;
}

// The font: 16 by 8 cells of 16 by 16 texels, every printable character a
// white block of 12 by 12 texels in the middle of its cell.
brew::Image FontImage() {
    brew::Image image(256, 128, 3);
    for (int g = 1; g < 96; g++)
        Fill(image, uint32_t(g % 16) * 16 + 2, uint32_t(g / 16) * 16 + 2, 12, 12, 255, 255, 255);
    return image;
}

} // namespace

std::vector<brew::Lump> ResourceLumps() {
    std::vector<brew::Lump> lumps;
    lumps.push_back(brew::ImageLump(FontImage(), false, ALPHA_BRIGHTNESS));
    lumps.push_back(brew::ImageLump(Strip(256, kLogo, 56), false, ALPHA_OPAQUE));
    lumps.push_back(brew::ImageLump(fixtures::Solid(16, 16, 90, 90, 90), false, ALPHA_OPAQUE));
    lumps.push_back(brew::ImageLump(fixtures::Solid(16, 16, 160, 160, 160), false, ALPHA_OPAQUE));
    for (const RGBA& colour : kMessage) {
        lumps.push_back(brew::ImageLump(Strip(512, colour, 64), false, ALPHA_OPAQUE));
    }
    lumps.push_back(
        brew::ImageLump(fixtures::Solid(64, 64, 128, 128, 128), false, ALPHA_BRIGHTNESS));
    return lumps;
}

void WriteResources(const std::string& folder, const std::vector<brew::Lump>& lumps) {
    fixtures::WriteBytes(folder + "/dewkin.works", brew::EncodeResourceFile(lumps));
}

void WriteBottles(const std::string& folder, int n) {
    for (int k = 0; k < n; k++) {
        fixtures::Write(folder + "/bottle" + std::to_string(k) + ".brew",
                        fixtures::Upright("Bottle " + std::to_string(k)));
    }
}

GLuint MakePicture(const brew::Image& image, int alphaMode) {
    Texture t;
    t.width = image.width;
    t.height = image.height;
    t.bpp = image.channels * 8;
    t.type = image.channels == 4 ? GL_RGBA : GL_RGB;
    const size_t row = size_t(image.width) * image.channels;
    t.imageData = static_cast<GLubyte*>(std::malloc(row * image.height));
    // Texture rows run bottom up.
    for (uint32_t y = 0; y < image.height; y++) {
        std::memcpy(t.imageData + row * y, image.At(0, image.height - 1 - y), row);
    }
    if (!BuildTexture(&t, alphaMode)) {
        throw std::runtime_error("cannot build the picture texture");
    }
    const GLuint name = t.texID;
    t.texID = 0;
    return name;
}

} // namespace scenefiles

void SceneFixture::SetUp() {
    GLFixture::SetUp();
    if (HasFatalFailure())
        return;
    resources = tmp.Subdir("res") + "/";
    bottles = tmp.Subdir("bottles");
    scenefiles::WriteResources(resources);
    scenefiles::WriteBottles(bottles, 2);
    // A first run's settings, without sound.
    settings.NUM_BOTTLES = 5;
    settings.LBOTTLESIZE = 50;
    settings.GOODSHINE = settings.DRUNKENBG = settings.SHOWCLOCK = true;
    settings.thr = 17;
    settings.tmin = 30;
    settings.BGCol = VECTOR3D(1.0f, 1.0f, 1.0f);
    std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s/", bottles.c_str());
    settings.BGTYPE = BG_COLOUR;
    settings.BGRES = 1;
    // The GL state the host sets before the scene is set up.
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
}

void SceneFixture::TearDown() {
    if (window.IsOpen())
        scene.Cleanup();
    delete[] settings.bottleSelection;
    settings.bottleSelection = nullptr;
    SetWallClock(nullptr);
    GLFixture::TearDown();
}

bool SceneFixture::SetUpScene(bool preview) {
    return scene.Setup(preview, viewWidth, viewHeight, &settings, resources.c_str());
}

void SceneFixture::Run(double seconds, double dt) {
    for (long f = std::lround(seconds / dt); f > 0; f--) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.Update(dt);
        scene.DoUnderlay(&settings);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(float(scene.width) / float(scene.height)), 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        scene.Draw();
        elapsed += dt;
    }
}
