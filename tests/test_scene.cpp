#include "BottleFiles.h"
#include "SceneFiles.h"
#include "SceneFixture.h"
#include "SoundCounter.h"
#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "scene/Background.h"
#include "scene/Text.h"

#include <GL/gl.h>
#include <cstring>
#include <vector>

namespace {

class SceneTest : public SceneFixture {
  protected:
    GLboolean Enabled(GLenum cap) const { return glIsEnabled(cap); }
    std::vector<GLuint> SceneTextureNames() const {
        std::vector<GLuint> names;
        for (int i = 0; i < scene.numSceneTextures; i++)
            names.push_back(scene.sceneTextures[i].texID);
        return names;
    }
};

TEST_F(SceneTest, CleanupOnAFreshDriverAndTwiceLeavesLightingAndCullingOff) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_CULL_FACE);
    SSMAIN fresh;
    fresh.Cleanup();
    EXPECT_FALSE(Enabled(GL_LIGHTING));
    EXPECT_FALSE(Enabled(GL_LIGHT0));
    EXPECT_FALSE(Enabled(GL_CULL_FACE));
    fresh.Cleanup();

    ASSERT_TRUE(SetUpScene());
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    const GLuint picture = scene.bgTexture;
    const std::vector<GLuint> names = SceneTextureNames();
    glEnable(GL_CULL_FACE);
    scene.Cleanup();
    EXPECT_EQ(scene.background, nullptr);
    EXPECT_EQ(scene.bottleManager, nullptr);
    EXPECT_EQ(scene.sceneTextures, nullptr);
    EXPECT_EQ(scene.bgTexture, 0u);
    EXPECT_FALSE(glIsTexture(picture)) << "the background picture is the driver's to free";
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name));
    EXPECT_FALSE(Enabled(GL_LIGHTING));
    EXPECT_FALSE(Enabled(GL_LIGHT0));
    EXPECT_FALSE(Enabled(GL_CULL_FACE));
    scene.Cleanup();
    EXPECT_EQ(scene.sceneTextures, nullptr);
}

TEST_F(SceneTest, SetupBuildsTheSceneAndItsGLState) {
    settings.BGCol = VECTOR3D(0.25f, 0.5f, 0.75f);
    ASSERT_TRUE(scene.Setup(true, 200, 100, &settings, resources.c_str()));
    EXPECT_TRUE(scene.preview);
    EXPECT_EQ(scene.width, 200);
    EXPECT_EQ(scene.height, 100);
    ASSERT_EQ(scene.numSceneTextures, 9);
    for (int i = 0; i < 9; i++)
        EXPECT_NE(scene.sceneTextures[i].texID, 0u) << "lump " << i;
    ASSERT_NE(scene.bottleManager, nullptr);
    EXPECT_EQ(scene.bottleManager->shineTex, scene.sceneTextures[8].texID);
    EXPECT_EQ(scene.bottleManager->numTypes, 2);
    EXPECT_EQ(scene.bottleManager->numBottles, 5);
    ASSERT_NE(scene.background, nullptr);
    EXPECT_EQ(scene.background->spacing, 16);

    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_LIGHT0));
    EXPECT_FALSE(Enabled(GL_CULL_FACE)) << "culling is the bottles' to switch";
    EXPECT_EQ(GetInteger(GL_CULL_FACE_MODE), GL_BACK);

    GLfloat v[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, v);
    EXPECT_FLOAT_EQ(v[1], 5.0f);
    EXPECT_FLOAT_EQ(v[2], 5.0f);
    EXPECT_FLOAT_EQ(v[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, v);
    EXPECT_FLOAT_EQ(v[0], 0.3f);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v);
    EXPECT_FLOAT_EQ(v[0] + v[1] + v[2] + v[3], 0.0f);

    glGetFloatv(GL_COLOR_CLEAR_VALUE, v);
    EXPECT_FLOAT_EQ(v[0], 0.25f);
    EXPECT_FLOAT_EQ(v[1], 0.5f);
    EXPECT_FLOAT_EQ(v[2], 0.75f);
    EXPECT_FLOAT_EQ(v[3], 0.0f);

    EXPECT_FLOAT_EQ(FontData[33][0], 1 * 0.0625f); // 'A': column 1, row 2
    EXPECT_FLOAT_EQ(FontData[33][1], 2 * 0.125f);
    EXPECT_EQ(settings.bottleSelection, nullptr);
}

TEST_F(SceneTest, WithoutAContainerSetupStopsAfterTheTextureModes) {
    tmp.Subdir("empty");
    const std::string empty = tmp / "empty/";
    EXPECT_FALSE(scene.Setup(false, 64, 64, &settings, empty.c_str()));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_FALSE(Enabled(GL_LIGHTING)) << "the lights come after the textures";
    EXPECT_EQ(scene.width, 0);
    EXPECT_NE(scene.background, nullptr);
    EXPECT_NE(scene.bottleManager, nullptr);
    EXPECT_EQ(scene.bottleManager->numTypes, 0) << "the manager is fresh, not set up";
    EXPECT_FALSE(log.errors().empty());

    // A driver whose set-up failed draws nothing and survives its frames.
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    scene.SetSize(viewWidth, viewHeight);
    for (int i = 0; i < 3; i++) {
        scenefiles::PumpFrame(scene, settings, 0.5);
        scene.DoOverlay();
    }
    EXPECT_EQ(CountPixelsNot({0, 0, 255, 255}), 0);
}

TEST_F(SceneTest, RejectsAContainerWithTooFewTextures) {
    std::vector<brew::Lump> lumps = scenefiles::ResourceLumps();
    lumps.pop_back();
    scenefiles::WriteResourceLumps(resources, lumps);
    EXPECT_FALSE(SetUpScene());
    EXPECT_TRUE(log.Saw("The resource file has too few textures!"));
    EXPECT_FALSE(Enabled(GL_LIGHTING));
    EXPECT_EQ(scene.numSceneTextures, 8);

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    scene.SetSize(viewWidth, viewHeight);
    scenefiles::PumpFrame(scene, settings, 100.0); // long enough for every overlay timer
    EXPECT_EQ(CountPixelsNot({0, 0, 255, 255}), 0);
}

TEST_F(SceneTest, SceneLumpsMustBePicturesButTheSpareOnesNeedNot) {
    std::vector<brew::Lump> lumps = scenefiles::ResourceLumps();
    lumps[2].type = brew::LUMP_OTHER;
    lumps[2].body = {1, 2, 3};
    lumps[3].type = brew::LUMP_OTHER;
    scenefiles::WriteResourceLumps(resources, lumps);
    EXPECT_TRUE(SetUpScene()) << "lumps 2 and 3 are not drawn";
    scene.Cleanup();

    for (int index : {0, 1, 4, 7, 8}) {
        std::vector<brew::Lump> broken = scenefiles::ResourceLumps();
        broken[index].type = brew::LUMP_OTHER;
        scenefiles::WriteResourceLumps(resources, broken);
        EXPECT_FALSE(SetUpScene()) << "lump " << index;
        EXPECT_FALSE(Enabled(GL_LIGHTING));
        scene.Cleanup();
    }
    EXPECT_TRUE(log.Saw("The resource file is missing a scene picture!"));
}

TEST_F(SceneTest, AFailedBottleManagerStopsSetupAfterTheLights) {
    SoundCounter sounds;
    settings.PLAYSOUND = true;
    settings.BGCol = VECTOR3D(0.25f, 0.5f, 0.75f);
    std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s/", tmp.Subdir("none").c_str());
    EXPECT_FALSE(SetUpScene());
    EXPECT_TRUE(log.Saw("No Bottle Data Found!"));
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_LIGHT0));
    EXPECT_EQ(scene.width, viewWidth);
    EXPECT_EQ(scene.numSceneTextures, 9);
    EXPECT_EQ(scene.bottleManager->shineTex, 0u);
    EXPECT_TRUE(sounds.loaded.empty());
    GLfloat v[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, v);
    EXPECT_FLOAT_EQ(v[0] + v[1] + v[2] + v[3], 0.0f) << "the clear colour comes later";
}

TEST_F(SceneTest, SoundsAreLoadedFromTheResourceFolderAndFreedByCleanup) {
    SoundCounter sounds;
    settings.PLAYSOUND = true;
    settings.VOLUME = 255;
    ASSERT_TRUE(SetUpScene());
    ASSERT_EQ(sounds.loaded.size(), 8u);
    EXPECT_EQ(sounds.loaded[0], resources + "clink1.wav");
    EXPECT_FLOAT_EQ(sounds.levels[7], 1.0f);
    scene.Cleanup();
    EXPECT_EQ(sounds.released, 8);
}

TEST_F(SceneTest, UpdateTakesAtMostOneWobbleStepAFrameAndOnlyBelowZero) {
    scene.background = new BACKGROUND();
    scene.background->InitWobble();
    BACKGROUND reference = *scene.background;
    const double step = 0.03333333507180214;
    auto same = [&]() {
        return std::memcmp(scene.background->nodes, reference.nodes, sizeof reference.nodes) == 0;
    };

    scene.Update(0.0);
    EXPECT_DOUBLE_EQ(scene.frameTime, 0.0);
    EXPECT_FLOAT_EQ(scene.wobbleTimer, 0.0f);
    EXPECT_TRUE(same()) << "a timer of exactly 0 takes no step";

    scene.Update(1e-6);
    reference.RelaxWobble(step);
    EXPECT_TRUE(same());
    EXPECT_EQ(scene.wobbleTimer, 0.033333335f) << "set, not added";

    scene.Update(0.02);
    EXPECT_TRUE(same());
    scene.Update(0.02);
    reference.RelaxWobble(step);
    EXPECT_TRUE(same());

    scene.Update(2.0); // a long frame still takes one step
    reference.RelaxWobble(step);
    EXPECT_TRUE(same());
    EXPECT_EQ(scene.wobbleTimer, 0.033333335f);
    EXPECT_DOUBLE_EQ(scene.frameTime, 2.0);

    // At 35 drawn frames a second every second frame steps.
    int steps = 0;
    for (int f = 0; f < 70; f++) {
        BACKGROUND before = *scene.background;
        scene.Update(1.0 / 35.0);
        steps += std::memcmp(before.nodes, scene.background->nodes, sizeof before.nodes) != 0;
    }
    EXPECT_EQ(steps, 35);
}

TEST_F(SceneTest, ANewSetupStartsTheMeshAgain) {
    ASSERT_TRUE(SetUpScene());
    BACKGROUND start = *scene.background;
    for (int f = 0; f < 20; f++)
        scene.Update(0.05);
    EXPECT_NE(std::memcmp(start.nodes, scene.background->nodes, sizeof start.nodes), 0);
    ASSERT_TRUE(SetUpScene());
    EXPECT_EQ(std::memcmp(start.nodes, scene.background->nodes, sizeof start.nodes), 0);
}

TEST_F(SceneTest, ColourBackgroundShowsTheClearColour) {
    settings.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    settings.SHOWCLOCK = false;
    settings.NUM_BOTTLES = 0;
    ASSERT_TRUE(SetUpScene());
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    for (bool drunken : {true, false}) {
        settings.DRUNKENBG = drunken;
        scenefiles::PumpFrame(scene, settings, 1.0 / 35.0);
        EXPECT_EQ(CountPixelsNot({51, 102, 153, 0}, 1), 0) << "drunken " << drunken;
        EXPECT_EQ(ReadPixel(5, 5).a, 0) << "cleared with alpha 0";
    }
    // The same scene with a picture kind shows the picture.
    settings.BGTYPE = BG_FOLDER_PICTURE;
    scenefiles::PumpFrame(scene, settings, 1.0 / 35.0);
    EXPECT_EQ(ReadPixel(viewWidth / 2, 3), (RGBA{255, 0, 0, 255}));
}

TEST_F(SceneTest, UnderlayAndDrawLeaveTheirState) {
    ASSERT_TRUE(SetUpScene());
    scene.Update(0.05);
    scene.DoUnderlay(&settings);
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
    EXPECT_FALSE(Enabled(GL_BLEND));
    const auto projection = GetMatrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(projection[0], 2.0f / viewWidth);
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    const auto modelview = GetMatrix(GL_MODELVIEW_MATRIX);
    EXPECT_FLOAT_EQ(modelview[0], viewWidth / 1024.0f) << "layout space";
    EXPECT_FLOAT_EQ(modelview[5], viewHeight / 768.0f);

    scene.Draw();
    EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
    EXPECT_TRUE(Enabled(GL_LIGHTING)) << "the overlay ends with lighting on";
    EXPECT_EQ(GetInteger(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(SceneTest, DrawWithoutABottleManagerOnlyResetsTheModelview) {
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 4, 5);
    scene.Draw();
    const auto m = GetMatrix(GL_MODELVIEW_MATRIX);
    EXPECT_FLOAT_EQ(m[12], 0.0f);
    EXPECT_FLOAT_EQ(m[14], 0.0f);
    EXPECT_EQ(CountPixelsNot({0, 0, 255, 255}), 0);
}

TEST_F(SceneTest, BottlesAreDrawnInFrontOfTheBackground) {
    settings.SHOWCLOCK = false;
    settings.BGCol = VECTOR3D(0, 0, 0);
    settings.LBOTTLESIZE = 100;
    std::srand(3);
    ASSERT_TRUE(SetUpScene());
    scenefiles::PumpFrame(scene, settings, 1.0 / 35.0);
    EXPECT_GT(CountPixelsNot({0, 0, 0, 0}, 8), 20);

    settings.NUM_BOTTLES = 0;
    ASSERT_TRUE(SetUpScene());
    scenefiles::PumpFrame(scene, settings, 1.0 / 35.0);
    EXPECT_EQ(CountPixelsNot({0, 0, 0, 0}, 8), 0);
}

} // namespace
