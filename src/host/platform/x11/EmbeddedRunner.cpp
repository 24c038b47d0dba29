#include "host/DesktopServices.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/sdl/GLWindow.h"
#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/sdl/SaverHost.h"
#include "host/platform/x11/DesktopCapture.h"
#include "host/platform/x11/XWindows.h"

#include <SDL.h>
#include <cstdio>

// Drawing into a window that a screen-saver host (XScreenSaver and the
// like) made for us: the host owns the window, the input and the decision
// to stop, which it tells with SIGTERM (or by destroying the window).
int RunInWindow(const RunOptions& o, unsigned long xWindow) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1"); // the host decides when it blanks
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "tumblix: cannot reach the X server: %s\n", SDL_GetError());
        return 1;
    }
    ForgiveXErrors(xWindow);
    EndOnXServerLoss();
    // XScreenSaver leaves its picture of the desktop on the window it gives us.
    InstallDesktopServices(xWindow);
    MixerSound::Open();
    int status = 0;
    GLWindow window;
    if (!window.OpenForeign(xWindow)) {
        std::fprintf(stderr, "tumblix: %s\n", window.error().c_str());
        status = 1;
    } else {
        SetScreens(ScreensOf(SDLDisplays()), 0);
        // The host's window may sit inside another of its windows: its
        // place on the root tells which monitor it covers.
        NSRect frame;
        int w = 0, h = 0;
        window.DrawableSize(&w, &h);
        if (!WindowFrameOnRoot(xWindow, &frame)) {
            int x = 0, y = 0;
            SDL_GetWindowPosition(window.Window(), &x, &y);
            frame.x = x;
            frame.y = y;
        }
        frame.width = w;
        frame.height = h;
        TumblixView view(frame, o.preview, &window, o.resources);
        const int screen = view.getScreenMaskForFrame(frame);
        view.screenNumber = screen >= 0 ? screen : 0;
        view.mainScreenNumber = 0;
        view.seed = o.seed;
        view.startAnimation();
        const double interval = view.animationTimeInterval();
        double next = HostClock::Now();
        bool reported = false;
        while (!QuitRequested() && !DrawingWindowGone()) {
            SDL_Event e;
            while (SDL_PollEvent(&e)) {
                if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    window.DrawableSize(&w, &h);
                    view.setFrameSize(w, h);
                }
            }
            if (view.isAnimating()) {
                view.animateOneFrame();
            }
            if (!reported && !view.setupError.empty()) {
                std::fprintf(stderr, "tumblix: cannot set the scene up: %s\n",
                             view.setupError.c_str());
                reported = true;
                status = 1;
            }
            WaitForNextTick(&next, interval);
        }
        view.stopAnimation();
    }
    window.Close();
    SetScreens({}, 0);
    MixerSound::Close();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return status;
}
