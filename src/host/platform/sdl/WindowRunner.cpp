#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/sdl/GLWindow.h"
#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/sdl/SaverHost.h"
#include "host/platform/x11/DesktopCapture.h"
#include "host/platform/x11/XWindows.h"
#include "maths/Misc.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <cstdio>

namespace {

SDL_Window* alertParent = nullptr;

// A person is at the screen: alerts are real message boxes.
void ShowAlert(const char* title, const char* text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, alertParent) != 0) {
        std::fprintf(stderr, "tumblix: %s: %s\n", title, text);
    }
}

} // namespace

int RunWindow(const RunOptions& o) {
    std::string error;
    if (!GLWindow::StartVideo(&error)) {
        std::fprintf(stderr, "tumblix: %s\n", error.c_str());
        return 1;
    }
    MixerSound::Open();
    InstallDesktopServices();
    SetScreens(ScreensOf(SDLDisplays()), 0);
    GLWindow window;
    // Shown once the view exists, so a desktop capture does not see it.
    const int options = o.fullScreen ? GLWindow::FULL_SCREEN : GLWindow::RESIZABLE;
    if (!window.OpenWith("Tumblix", o.width, o.height, options)) {
        std::fprintf(stderr, "tumblix: %s\n", window.error().c_str());
        MixerSound::Close();
        return 1;
    }
    // Something may destroy the window under us (xdotool windowclose, a
    // crashed window manager): that closes it like the close button does,
    // where Xlib's default error handler would end the program with 1.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window.Window(), &info) && info.subsystem == SDL_SYSWM_X11) {
        ForgiveXErrors(info.info.x11.window);
        EndOnXServerLoss();
    }
    alertParent = window.Window();
    SetAlertPresenter(ShowAlert);
    if (o.fullScreen) {
        SDL_ShowCursor(SDL_DISABLE);
    }

    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window.Window(), &x, &y);
    window.DrawableSize(&w, &h);
    NSRect frame;
    frame.x = x;
    frame.y = y;
    frame.width = w;
    frame.height = h;
    int status = 0;
    {
        TumblixView view(frame, o.preview, &window, o.resources);
        view.seed = o.seed;
        window.Show();
        view.startAnimation();
        const double interval = view.animationTimeInterval();
        double next = HostClock::Now();
        bool quit = false;
        while (!quit && !QuitRequested() && !DrawingWindowGone()) {
            SDL_Event e;
            while (SDL_PollEvent(&e)) {
                if (e.type == SDL_QUIT ||
                    (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) {
                    quit = true;
                } else if (e.type == SDL_WINDOWEVENT &&
                           e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    window.DrawableSize(&w, &h);
                    view.setFrameSize(w, h);
                }
            }
            if (view.isAnimating()) {
                view.animateOneFrame();
            }
            if (!view.setupError.empty() && view.framesDrawn == 0 && status == 0) {
                std::fprintf(stderr, "tumblix: cannot set the scene up: %s\n",
                             view.setupError.c_str());
                status = 1;
            }
            next += interval;
            const double wait = next - HostClock::Now();
            if (wait > 0) {
                SDL_Delay(static_cast<Uint32>(wait * 1000.0));
            } else if (wait < -1.0) {
                next = HostClock::Now(); // fell far behind: start afresh
            }
        }
        view.stopAnimation();
    }
    SetAlertPresenter(nullptr);
    alertParent = nullptr;
    window.Close();
    SetScreens({}, 0);
    MixerSound::Close();
    return status;
}
