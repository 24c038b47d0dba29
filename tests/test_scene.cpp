#include "BottleFiles.h"
#include "SceneFiles.h"
#include "SoundCounter.h"
#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "scene/Background.h"
#include "scene/Text.h"

#include <cstring>
#include <vector>

namespace {

class SceneTest : public SceneFixture {
  protected:
    // Lighting, its light and culling, as set.
    std::vector<bool> Lights() const {
        return {bool(glIsEnabled(GL_LIGHTING)), bool(glIsEnabled(GL_LIGHT0)),
                bool(glIsEnabled(GL_CULL_FACE))};
    }
    std::vector<float> Get(GLenum light, GLenum which) const {
        std::vector<float> v(4);
        light ? glGetLightfv(light, which, v.data()) : glGetFloatv(which, v.data());
        return v;
    }
};

TEST_F(SceneTest, SetupBuildsTheSceneAndItsGLStateCleanupFreesIt) {
    SoundCounter sounds;
    settings.PLAYSOUND = true;
    settings.VOLUME = 255;
    settings.BGCol = VECTOR3D(0.25f, 0.5f, 0.75f);
    ASSERT_TRUE(scene.Setup(true, 200, 100, &settings, resources.c_str()));
    EXPECT_TRUE(scene.preview && scene.width == 200 && scene.height == 100);
    ASSERT_EQ(scene.numSceneTextures, 9);
    EXPECT_EQ(scene.bottleManager->shineTex, scene.sceneTextures[8].texID);
    EXPECT_EQ(scene.bottleManager->numBottles, 5);
    EXPECT_EQ(settings.bottleSelection, nullptr);
    ASSERT_EQ(sounds.loaded.size(), 8u);
    EXPECT_EQ(sounds.loaded[0], resources + "clink1.wav");
    EXPECT_FLOAT_EQ(sounds.levels[7], 1.0f);

    GLint mode = 0;
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(Lights(), (std::vector<bool>{true, true, false})) << "culling is the bottles'";
    EXPECT_EQ(GetInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(Get(GL_LIGHT0, GL_POSITION), (std::vector<float>{0, 5, 5, 1}));
    EXPECT_EQ(Get(GL_LIGHT0, GL_SPECULAR), (std::vector<float>{0.3f, 0.3f, 0.3f, 1}));
    EXPECT_EQ(Get(GL_LIGHT0, GL_AMBIENT), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(Get(0, GL_COLOR_CLEAR_VALUE), (std::vector<float>{0.25f, 0.5f, 0.75f, 0}));
    EXPECT_FLOAT_EQ(FontData[33][0], 1 * 0.0625f); // 'A': column 1, row 2
    EXPECT_FLOAT_EQ(FontData[33][1], 2 * 0.125f);

    // Cleanup frees the scene's textures and the background picture, turns
    // lighting and culling off, and may run again.
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    std::vector<GLuint> names = {scene.bgTexture};
    for (int i = 0; i < scene.numSceneTextures; i++)
        names.push_back(scene.sceneTextures[i].texID);
    glEnable(GL_CULL_FACE);
    scene.Cleanup();
    EXPECT_TRUE(scene.background == nullptr && scene.bottleManager == nullptr &&
                scene.sceneTextures == nullptr && scene.bgTexture == 0u);
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name)) << name;
    EXPECT_EQ(Lights(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(sounds.released, 8);
}

TEST_F(SceneTest, ABrokenContainerStopsSetupBeforeTheLights) {
    std::vector<brew::Lump> lumps = scenefiles::ResourceLumps();
    lumps.pop_back();
    scenefiles::WriteResourceLumps(resources, lumps);
    EXPECT_FALSE(SetUpScene());
    EXPECT_TRUE(log.Saw("The resource file has too few textures!"));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    scene.Cleanup();

    // Lumps 2 and 3 are not drawn and need not be pictures; the others must.
    for (int index : {2, 0, 1, 4, 7, 8}) {
        std::vector<brew::Lump> broken = scenefiles::ResourceLumps();
        broken[index].type = brew::LUMP_OTHER;
        broken[index].body = {1, 2, 3};
        scenefiles::WriteResourceLumps(resources, broken);
        EXPECT_EQ(SetUpScene(), index == 2) << "lump " << index;
        EXPECT_EQ(glIsEnabled(GL_LIGHTING), index == 2);
        scene.Cleanup();
    }
    EXPECT_TRUE(log.Saw("The resource file is missing a scene picture!"));
}

TEST_F(SceneTest, UpdateTakesAtMostOneWobbleStepAFrameAndOnlyBelowZero) {
    ASSERT_TRUE(SetUpScene());
    BACKGROUND reference;
    reference.InitWobble();
    auto same = [&]() {
        return std::memcmp(scene.background->nodes, reference.nodes, sizeof reference.nodes) == 0;
    };
    ASSERT_TRUE(same());
    scene.wobbleTimer = 0.0f; // as a fresh driver starts
    const double step = 0.03333333507180214;

    // A timer of exactly 0 takes no step; the timer is set, not added to; a
    // long frame still takes one step.
    for (auto [dt, steps] :
         {std::pair{0.0, false}, {1e-6, true}, {0.02, false}, {0.02, true}, {2.0, true}}) {
        scene.Update(dt);
        if (steps) {
            reference.RelaxWobble(step);
            EXPECT_EQ(scene.wobbleTimer, 0.033333335f);
        }
        EXPECT_TRUE(same()) << dt;
        EXPECT_DOUBLE_EQ(scene.frameTime, dt);
    }

    // At 35 drawn frames a second every second frame steps.
    int steps = 0;
    for (int f = 0; f < 70; f++) {
        BACKGROUND before = *scene.background;
        scene.Update(1.0 / 35.0);
        steps += std::memcmp(before.nodes, scene.background->nodes, sizeof before.nodes) != 0;
    }
    EXPECT_EQ(steps, 35);
}

TEST_F(SceneTest, TheColourBackgroundShowsTheClearColourAPictureKindThePicture) {
    settings.BGCol = VECTOR3D(0.2f, 0.4f, 0.6f);
    settings.SHOWCLOCK = false;
    settings.NUM_BOTTLES = 0;
    ASSERT_TRUE(SetUpScene());
    scene.bgTexture = scenefiles::MakePicture(fixtures::Solid(8, 8, 255, 0, 0));
    for (bool drunken : {true, false}) {
        settings.DRUNKENBG = drunken;
        Run(1.0 / 35.0);
        EXPECT_EQ(CountPixelsNot({51, 102, 153, 0}, 1), 0) << "drunken " << drunken;
        EXPECT_EQ(ReadPixel(5, 5).a, 0) << "cleared with alpha 0";
    }
    settings.BGTYPE = BG_FOLDER_PICTURE;
    Run(1.0 / 35.0);
    EXPECT_EQ(ReadPixel(viewWidth / 2, 3), (RGBA{255, 0, 0, 255}));
}

} // namespace
