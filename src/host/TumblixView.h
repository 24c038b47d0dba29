#ifndef TUMBLIX_HOST_TUMBLIXVIEW_H
#define TUMBLIX_HOST_TUMBLIXVIEW_H

#include "assets/Texture.h"
#include "host/ScreenSaverView.h"
#include "scene/Settings.h"

#include <functional>
#include <optional>
#include <string>

class GLSurface;
class SSMAIN;

// The saver's view: one per screen, plus the preview of the settings
// dialog. It owns its settings copy, its scene and the texture through
// which the background picture reaches the scene.
class TumblixView : public ScreenSaverView {
  public:
    // The view draws into glView's context; resourcePath is the module's
    // resource folder.
    TumblixView(NSRect frame, bool isPreview, GLSurface* glView, const std::string& resourcePath);
    ~TumblixView() override;

    static bool performGammaFade() { return false; }
    bool hasConfigureSheet() const { return true; }

    void startAnimation() override;
    void stopAnimation() override;
    void animateOneFrame() override;
    void setFrameSize(double width, double height) override;

    bool mainSetup();
    void glInit();
    void glReshape();

    // The desktop capture: the pixels of the screen the frame is on become
    // *texName in this view's context; 0 when there is nothing to capture
    // or the capture is black.
    void GetDesktopTexture(GLuint* texName, int detail, NSRect frame);
    // The number of the screen to capture for a frame; -1 when the host
    // knows no screens.
    int getScreenMaskForFrame(NSRect frame) const;

    // Called just before a drawn frame is presented (headless runs read the
    // pixels there), and the number of frames drawn so far.
    std::function<void()> onFrameDrawn;
    long framesDrawn = 0;
    // Whether start presents the black it clears to (it always clears the
    // buffer). The full-screen host turns it off: its windows, which paint
    // no background, then go on showing the desktop until the first frame.
    // A view whose screen stays off presents its black all the same.
    bool presentStartBlack = true;
    // Seeds the scene with this number instead of the clock.
    std::optional<unsigned> seed;
    // Why the scene could not be set up; empty while nothing failed.
    std::string setupError;

    bool MainMonitorOnly = false;
    bool ThisScreenIsOn = false;
    GLSurface* glView;
    bool viewAllocated = false;
    bool glReady = false;
    bool initialized = false;
    SETTINGS mySettings;
    double animtime = 0.0;
    NSRect Scrn;
    SSMAIN* ssMain = nullptr;
    Texture DeskTex;

  private:
    void LoadDesktopPicture();
    void Flush();
    bool sceneFailed = false;
    std::string resourceFolder;
};

#endif
