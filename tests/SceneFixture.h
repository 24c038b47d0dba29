#ifndef TUMBLIX_TESTS_SCENEFIXTURE_H
#define TUMBLIX_TESTS_SCENEFIXTURE_H

#include "ErrorLog.h"
#include "GLFixture.h"
#include "TempDir.h"
#include "scene/SSMain.h"
#include "scene/Settings.h"

#include <string>

// A scene driver on a real GL context, with a resource folder holding the
// test container and a bottle folder with two small types. The settings are
// a first run's with a colour background and no sound.
class SceneFixture : public GLFixture {
  protected:
    explicit SceneFixture(int width = 128, int height = 128) : GLFixture(width, height) {}
    void SetUp() override;
    void TearDown() override;

    bool SetUpScene(bool preview = false);
    // Drawn frames of dt seconds each until `seconds` more have passed.
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
