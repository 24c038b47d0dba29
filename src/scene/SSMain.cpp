#include "scene/SSMain.h"

#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "maths/Misc.h"
#include "scene/Background.h"
#include "scene/Settings.h"
#include "scene/SoundStuff.h"
#include "scene/Text.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>

const char SCENE_RESOURCE_FILE[] = "dewkin.works";

namespace {

void (*framePartHook)(int part) = nullptr;

void FramePartDone(int part) {
    if (framePartHook != nullptr) {
        framePartHook(part);
    }
}
const int kPathSize = 16384;

// At most 30 wobble steps a second, and never more than one a frame.
const float kWobbleInterval = 1.0f / 30.0f;

// The one-unit-per-pixel projection of the underlay and the overlay. An
// empty view still gets a valid projection; nothing of it shows.
void FlatProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width > 0 ? width : 1, 0, height > 0 ? height : 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// 1024 by 768 units of layout space over the whole view.
void LayoutScale(int width, int height) {
    glScalef(float(width * 0.0009765625), float(height / 768.0), 1.0f);
}

// A textured quad from the origin to (w, h), the whole texture on it.
void Quad(float w, float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(w, 0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(w, h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(0, h, 0);
    glEnd();
}

} // namespace

void SetFramePartHook(void (*hook)(int part)) {
    framePartHook = hook;
}

SSMAIN::SSMAIN()
    : frameTime(0.0), width(0), height(0), preview(false), bannerTimer(90.0f), bannerShown(false),
      bannerAtTop(false), bannerPos(Make2DPoint(0.0f, -35.0f)), messageIndex(5),
      messageTimer(60.0f), messageAlpha(0.0f), clockAlpha(-3.0f), countdownAlpha(-3.0f),
      countdownTimer(20.0f), numSceneTextures(0), sceneTextures(nullptr), background(nullptr),
      bottleManager(nullptr), bgTexture(0), countdownPhase(false), wobbleTimer(0.0f), ready(false) {
}

bool SSMAIN::Fail(const char* message) {
    ERRORCLOSE(message);
    return false;
}

bool SSMAIN::Setup(bool isPreview, int w, int h, SETTINGS* settings, const char* resourcePath) {
    ready = false;
    if (settings == nullptr || resourcePath == nullptr) {
        return Fail("No settings or resource folder to set the scene up from!");
    }
    preview = isPreview;

    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // Value-initialised, so a mesh that never gets InitWobble is flat and still.
    delete background;
    background = new (std::nothrow) BACKGROUND();
    delete bottleManager;
    bottleManager = new (std::nothrow) MAINCLASS();
    delete[] sceneTextures;
    sceneTextures = nullptr;
    numSceneTextures = 0;
    if (background == nullptr || bottleManager == nullptr) {
        return Fail("Error Allocating Memory!");
    }

    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s%s", resourcePath, SCENE_RESOURCE_FILE);
    if (!LoadTexturesFromDataFile(path, &sceneTextures, &numSceneTextures)) {
        return Fail("Unable to load the resource file!");
    }
    // The font, the logo, the messages and the shine map are drawn every
    // frame by index; a container without them cannot make a scene.
    if (sceneTextures == nullptr || numSceneTextures < SCENE_TEXTURES_NEEDED) {
        return Fail("The resource file has too few textures!");
    }
    for (int index : {int(SCENE_FONT), int(SCENE_LOGO), 4, 5, 6, 7, int(SCENE_SHINE)}) {
        if (sceneTextures[index].texID == 0) {
            return Fail("The resource file is missing a scene picture!");
        }
    }

    width = w;
    height = h;

    // A point light above and behind the viewer, in eye coordinates.
    const GLfloat ambient[] = {0, 0, 0, 0};
    const GLfloat diffuse[] = {1, 1, 1, 1};
    const GLfloat specular[] = {0.3f, 0.3f, 0.3f, 1};
    const GLfloat position[] = {0, 5, 5, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glCullFace(GL_BACK);

    background->InitWobble();

    if (!bottleManager->Setup(settings)) {
        return false;
    }
    bottleManager->shineTex = sceneTextures[SCENE_SHINE].texID;

    if (settings->PLAYSOUND) {
        SetupSounds(resourcePath, settings->VOLUME);
    }
    if (settings->BGTYPE == BG_COLOUR) {
        glClearColor(settings->BGCol.x, settings->BGCol.y, settings->BGCol.z, 0.0f);
    }
    SetupText();
    ready = true;
    return true;
}

void SSMAIN::SetSize(int w, int h) {
    width = w;
    height = h;
}

void SSMAIN::Update(double dt) {
    frameTime = dt;
    wobbleTimer = float(wobbleTimer - dt);
    if (wobbleTimer < 0.0f) {
        wobbleTimer = kWobbleInterval; // set, not added: a long frame takes one step
        if (background != nullptr) {
            background->RelaxWobble(double(kWobbleInterval));
        }
    }
}

unsigned int SSMAIN::SceneTextureName(int index) const {
    if (sceneTextures == nullptr || index < 0 || index >= numSceneTextures) {
        return 0;
    }
    return sceneTextures[index].texID;
}

void SSMAIN::DoUnderlay(SETTINGS* settings) {
    if (!ready || settings == nullptr) {
        return;
    }
    FlatProjection(width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);

    DrawBackground(settings, bgTexture, background, width, height, frameTime);
    LayoutScale(width, height);
    DrawUnderlayText(this, settings);

    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    FramePartDone(FRAME_UNDERLAY);
}

void SSMAIN::Draw() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (bottleManager == nullptr || !ready) {
        return;
    }
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glColor3f(1, 1, 1);
    // The modelview is the identity here, so the planes are in eye coordinates.
    bottleManager->frustum.ExtractFrustumFaster();
    bottleManager->DrawBottles(frameTime);
    glPopMatrix();
    FramePartDone(FRAME_BOTTLES);
    if (!preview) {
        DoOverlay();
    }
    glDisable(GL_TEXTURE_2D);
    FramePartDone(FRAME_OVERLAY);
}

void SSMAIN::DoOverlay() {
    if (!ready) {
        return;
    }

    // The banner: hidden for 90 seconds, then in turn shown for 20 and hidden
    // for 30, alternating between the top and the bottom edge.
    bannerTimer = float(bannerTimer - frameTime);
    if (bannerTimer < 0.0f) {
        bannerTimer = 30.0f;
        if (!bannerShown) {
            messageIndex = SCENE_FIRST_MESSAGE + unsigned(std::rand() % 4);
            bannerPos.x = std::rand() % 2 != 0 ? float(width - 256) : 0.0f;
            bannerAtTop = !bannerAtTop;
            bannerPos.y = bannerAtTop ? float(height + 40) : -40.0f;
            bannerTimer = 20.0f;
        }
        bannerShown = !bannerShown;
    }
    float target;
    if (bannerShown) {
        target = bannerAtTop ? float(height - 40) : 5.0f;
    } else {
        target = bannerAtTop ? float(height + 40) : -40.0f;
    }
    bannerPos.y = float(bannerPos.y + (double(target) - bannerPos.y) * frameTime);

    FlatProjection(width, height);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    glNormal3f(0, 0, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);

    // Drawn whether shown or not: a hidden banner lies outside the view.
    glPushMatrix();
    glTranslatef(bannerPos.x, bannerPos.y, 0);
    glBindTexture(GL_TEXTURE_2D, SceneTextureName(SCENE_LOGO));
    Quad(256, 32);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(float(width * 0.5 - 256), bannerPos.y, 0);
    glBindTexture(GL_TEXTURE_2D, SceneTextureName(int(messageIndex)));
    Quad(512, 32);
    glPopMatrix();
    glDisable(GL_BLEND);

    LayoutScale(width, height);

    // The message screen: from 60 seconds on, once a minute, the view fades
    // to black for about 20 seconds with the message across the middle.
    messageTimer = float(messageTimer - frameTime);
    bool drawMessage = true;
    if (messageTimer < 0.0f) {
        if (messageAlpha >= 1.0f) {
            messageAlpha = 1.0f;
        } else {
            messageAlpha = float(messageAlpha + 0.5 * frameTime);
        }
        if (messageTimer < -20.0f) {
            messageTimer = 40.0f;
        }
    } else if (messageAlpha > 0.0f) {
        messageAlpha = float(messageAlpha + -0.5 * frameTime);
    } else {
        messageAlpha = 0.0f;
        drawMessage = false;
    }

    if (drawMessage && messageAlpha > 0.0f) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glColor4f(0, 0, 0, messageAlpha);
        glDisable(GL_TEXTURE_2D);
        Quad(1024, 768);
        glEnable(GL_TEXTURE_2D);

        glColor4f(1, 1, 1, messageAlpha);
        glPushMatrix();
        glTranslatef(0, 352, 0);
        glBindTexture(GL_TEXTURE_2D, SceneTextureName(int(messageIndex)));
        Quad(1024, 64);
        glPopMatrix();
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
    }

    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void SSMAIN::Cleanup() {
    ready = false;
    delete background;
    background = nullptr;
    if (bottleManager != nullptr) {
        bottleManager->CleanupBottleList();
        bottleManager->Cleanup();
        delete bottleManager;
        bottleManager = nullptr;
    }
    if (sceneTextures != nullptr) {
        delete[] sceneTextures; // last to first
        sceneTextures = nullptr;
    }
    numSceneTextures = 0;
    CleanupSounds();
    if (bgTexture != 0) {
        glDeleteTextures(1, &bgTexture);
    }
    bgTexture = 0;
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_CULL_FACE);
}
