#ifndef TUMBLIX_HOST_SCREENSAVERVIEW_H
#define TUMBLIX_HOST_SCREENSAVERVIEW_H

struct NSRect {
    double x = 0, y = 0, width = 0, height = 0;
};

// What a screen saver's view gets from its host: a frame, whether it is the
// preview, an animation that runs between start and stop, ticks at the
// interval it asks for, resizes. The host loop drives every view on the main
// thread, one call at a time.
class ScreenSaverView {
  public:
    ScreenSaverView(NSRect frame, bool isPreview);
    virtual ~ScreenSaverView();
    ScreenSaverView(const ScreenSaverView&) = delete;
    ScreenSaverView& operator=(const ScreenSaverView&) = delete;

    virtual void startAnimation();
    virtual void stopAnimation();
    virtual void animateOneFrame();
    virtual void setFrameSize(double width, double height);

    bool isPreview() const { return preview; }
    bool isAnimating() const { return animating; }
    NSRect bounds() const;
    NSRect frame() const { return viewFrame; }
    double animationTimeInterval() const { return interval; }
    void setAnimationTimeInterval(double seconds) { interval = seconds; }

    // The display the view's window is on, and the main display's number.
    int screenNumber = 0;
    int mainScreenNumber = 0;

  private:
    NSRect viewFrame;
    bool preview;
    bool animating = false;
    double interval = 1.0 / 30.0;
};

#endif
