#include "SceneFixture.h"

#include "SceneFiles.h"
#include "scene/Text.h"

#include <cmath>

void SceneFixture::SetUp() {
    GLFixture::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    resources = tmp.Subdir("res") + "/";
    bottles = tmp.Subdir("bottles");
    scenefiles::WriteResources(resources);
    scenefiles::WriteBottles(bottles, 2);
    scenefiles::DefaultSettings(settings, bottles, BG_COLOUR);
    scenefiles::InitGL(viewWidth, viewHeight);
}

void SceneFixture::TearDown() {
    if (window.IsOpen()) {
        scene.Cleanup();
    }
    delete[] settings.bottleSelection;
    settings.bottleSelection = nullptr;
    SetWallClock(nullptr);
    GLFixture::TearDown();
}

bool SceneFixture::SetUpScene(bool preview) {
    return scene.Setup(preview, viewWidth, viewHeight, &settings, resources.c_str());
}

void SceneFixture::Run(double seconds, double dt) {
    const long frames = std::lround(seconds / dt);
    for (long f = 0; f < frames; f++) {
        scenefiles::PumpFrame(scene, settings, dt);
        elapsed += dt;
    }
}
