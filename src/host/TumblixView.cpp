#include "host/TumblixView.h"

#include "assets/Pics.h"
#include "host/DesktopServices.h"
#include "host/DesktopTexture.h"
#include "host/Diagnostics.h"
#include "host/GLSurface.h"
#include "host/HostClock.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"
#include "scene/SSMain.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdlib>
#include <fstream>

namespace {
const char* kFallbackPicture = "default-background.png";
} // namespace

TumblixView::TumblixView(NSRect frame, bool isPreview, GLSurface* view,
                         const std::string& resourcePath)
    : ScreenSaverView(frame, isPreview), glView(view), resourceFolder(resourcePath) {
    std::unique_ptr<ScreenSaverDefaults> store =
        ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    viewAllocated = glView != nullptr;
    glReady = false;
    if (resourceFolder.size() > SETTINGS_PATH_SIZE - 2) {
        resourceFolder.resize(SETTINGS_PATH_SIZE - 2);
    }
    if (resourceFolder.empty() || resourceFolder.back() != '/') {
        resourceFolder += '/';
    }
    LoadSettings(*store, resourceFolder.c_str(), &mySettings, &MainMonitorOnly);
    Scrn = bounds();
    ThisScreenIsOn = true;
    initialized = false;
    if (mySettings.BGTYPE == BG_CAPTURE) {
        DeskTex.texID = 0;
        GetDesktopTexture(&DeskTex.texID, isPreview ? 0 : mySettings.BGRES, frame);
        if (DeskTex.texID == 0) {
            mySettings.BGTYPE = BG_DESKTOP_PICTURE;
        }
    }
    setAnimationTimeInterval(1.0 / 35.0);
}

TumblixView::~TumblixView() {
    if (glView != nullptr) {
        glView->MakeCurrent();
    }
    if (ssMain != nullptr) {
        ssMain->Cleanup();
        delete ssMain;
        ssMain = nullptr;
    }
    delete[] mySettings.bottleSelection;
    mySettings.bottleSelection = nullptr;
    mySettings.selectionSize = 0;
}

void TumblixView::startAnimation() {
    ThisScreenIsOn = true;
    if (MainMonitorOnly && screenNumber != mainScreenNumber) {
        ThisScreenIsOn = false;
    }
    if (glView != nullptr && glView->MakeCurrent()) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (presentStartBlack || !ThisScreenIsOn) {
            glView->Swap();
        }
    }
    ScreenSaverView::startAnimation();
}

void TumblixView::stopAnimation() {
    ScreenSaverView::stopAnimation();
}

void TumblixView::setFrameSize(double width, double height) {
    ScreenSaverView::setFrameSize(width, height);
    glReady = false;
}

void TumblixView::glInit() {
    Scrn = bounds();
    const int w = static_cast<int>(Scrn.width), h = static_cast<int>(Scrn.height);
    glViewport(0, 0, w, h);
    if (ssMain != nullptr) {
        ssMain->SetSize(w, h);
    }
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glReshape();
}

void TumblixView::glReshape() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float w = static_cast<float>(Scrn.width), h = static_cast<float>(Scrn.height);
    gluPerspective(45.0, h > 0.0f ? w / h : 1.0f, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool TumblixView::mainSetup() {
    const NSRect b = bounds();
    // Views set up in the same second would otherwise show the same bottles
    // on every screen.
    const unsigned base = seed ? *seed : static_cast<unsigned>(HostClock::WallSeconds());
    std::srand(base + static_cast<unsigned>(screenNumber - mainScreenNumber));
    if (ssMain != nullptr) {
        ssMain->Cleanup();
        delete ssMain;
    }
    ssMain = new SSMAIN();

    Diagnostics::Clear();
    if (!ssMain->Setup(isPreview(), static_cast<int>(b.width), static_cast<int>(b.height),
                       &mySettings, resourceFolder.c_str())) {
        const std::string container = resourceFolder + SCENE_RESOURCE_FILE;
        if (!std::ifstream(container).good()) {
            setupError = "the resource container " + container + " is missing";
        } else if (!Diagnostics::LastError().empty()) {
            setupError = Diagnostics::LastError() + " (bottle folders " + mySettings.BottlePath +
                         " and " + mySettings.BottlePath2 + ")";
        } else {
            setupError = "the scene could not be set up from " + resourceFolder;
        }
        return false;
    }
    if (mySettings.BGTYPE == BG_DESKTOP_PICTURE) {
        LoadDesktopPicture();
    }
    if (mySettings.BGTYPE == BG_FOLDER_PICTURE) {
        if (!LoadPicture(mySettings.BGPath, &DeskTex)) {
            loadPicFile((resourceFolder + kFallbackPicture).c_str(), &DeskTex);
        }
    }
    ssMain->bgTexture = DeskTex.texID;
    DeskTex.texID = 0;
    animtime = HostClock::Now();
    return true;
}

void TumblixView::LoadDesktopPicture() {
    std::string path;
    if (DesktopPictureSource source = CurrentDesktopPictureSource()) {
        NSRect screenFrame = frame();
        for (const NSScreen& screen : Screens()) {
            if (screen.number == screenNumber) {
                screenFrame = screen.frame;
            }
        }
        path = source(screenNumber, screenFrame);
    }
    if (path.size() > SETTINGS_PATH_SIZE - 1) {
        path.resize(SETTINGS_PATH_SIZE - 1);
    }
    // A named picture that cannot be read (gone, or a format we do not
    // read) shows the fallback too, rather than no background at all.
    if (path.size() <= 4 || !loadPicFile(path.c_str(), &DeskTex)) {
        loadPicFile((resourceFolder + kFallbackPicture).c_str(), &DeskTex);
    }
}

int TumblixView::getScreenMaskForFrame(NSRect frame) const {
    const NSScreen* screen = ScreenForFrame(Screens(), MainScreenNumber(), frame);
    return screen != nullptr ? screen->number : -1;
}

void TumblixView::GetDesktopTexture(GLuint* texName, int detail, NSRect frame) {
    DesktopGrabber grab = CurrentDesktopGrabber();
    if (grab == nullptr || glView == nullptr) {
        return;
    }
    NSRect area; // empty: the whole main screen
    const int number = getScreenMaskForFrame(frame);
    for (const NSScreen& screen : Screens()) {
        if (screen.number == number) {
            area = screen.frame;
            break;
        }
    }
    DesktopPixels pixels;
    if (!grab(area, &pixels) || !glView->MakeCurrent()) {
        return;
    }
    BuildDesktopTexture(texName, pixels, detail);
}

void TumblixView::Flush() {
    framesDrawn++;
    if (onFrameDrawn) {
        onFrameDrawn();
    }
    glView->Swap();
}

void TumblixView::animateOneFrame() {
    if (!ThisScreenIsOn) {
        stopAnimation();
        return;
    }
    if (glView == nullptr || !glView->MakeCurrent()) {
        return;
    }
    if (!glReady) {
        glInit();
        glReady = true;
    }
    if (!initialized) {
        sceneFailed = !mainSetup();
        initialized = true;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // A scene whose set-up failed is never drawn: the view stays black.
    SSMAIN* scene = sceneFailed ? nullptr : ssMain;

    const double dt = HostClock::Now() - animtime;
    if (dt > 2.0) {
        animtime = HostClock::Now();
        return;
    }
    if (dt > 0.01666666753590107) {
        animtime = HostClock::Now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (scene != nullptr) {
            scene->Update(dt);
            scene->DoUnderlay(&mySettings);
        }
        glReshape();
        if (scene != nullptr) {
            scene->Draw();
        }
        Flush();
    }
}
