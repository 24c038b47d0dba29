#ifndef TUMBLIX_HOST_PLATFORM_SDL_INPUTWATCH_H
#define TUMBLIX_HOST_PLATFORM_SDL_INPUTWATCH_H

union SDL_Event;

// Decides when the person at the screen wants the saver gone: a key, a
// mouse button or wheel, or the pointer moving more than a few pixels from
// where it rested. Windows appearing make the pointer "move" where it
// stands; motion in the first moments only moves the resting place.
//
// A move is judged by where the event itself puts the pointer, never by
// asking the pointer again: some X servers (Xvfb, and the VNC and RDP
// servers that move the pointer through XTEST) keep answering such a
// query with where the pointer was when the saver started.
class InputWatch {
  public:
    enum { SLACK_PIXELS = 10 };
    static constexpr double SETTLE_SECONDS = 0.5;

    // The pointer's desktop position when the saver started.
    void Begin(double now, int pointerX, int pointerY);
    // The same, where the pointer's place is unknown until its first event
    // (Wayland tells a client only when the pointer is over its surface):
    // that event only places the resting point.
    void BeginUnplaced(double now);
    // The pointer seen at this desktop position; true when that is a move
    // that ends the saver.
    bool PointerAt(double now, int x, int y);
    // windowX, windowY: the desktop position of the top-left corner of the
    // window a motion event came from (its x and y count from there).
    bool Quits(const SDL_Event& event, double now, int windowX, int windowY);

  private:
    double startTime = 0.0;
    int restX = 0;
    int restY = 0;
    bool placed = false;
};

#endif
