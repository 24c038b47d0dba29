#include "host/platform/sdl/SaverHost.h"

#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/sdl/GLWindow.h"

#include <SDL.h>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

SaverHost::SaverHost() = default;

SaverHost::~SaverHost() {
    Close();
}

std::vector<SaverHost::Display> SDLDisplays() {
    std::vector<SaverHost::Display> displays;
    const int n = SDL_GetNumVideoDisplays();
    for (int i = 0; i < n; i++) {
        SDL_Rect r;
        if (SDL_GetDisplayBounds(i, &r) != 0) {
            continue;
        }
        SaverHost::Display d;
        d.frame.x = r.x;
        d.frame.y = r.y;
        d.frame.width = r.w;
        d.frame.height = r.h;
        d.sdlDisplay = i;
        displays.push_back(d);
    }
    return displays;
}

std::vector<NSScreen> ScreensOf(const std::vector<SaverHost::Display>& displays) {
    std::vector<NSScreen> screens;
    for (size_t i = 0; i < displays.size(); i++) {
        NSScreen s;
        s.frame = displays[i].frame;
        s.number = int(i);
        screens.push_back(s);
    }
    return screens;
}

void WaitForNextTick(double* next, double interval) {
    *next += interval;
    const double wait = *next - HostClock::Now();
    if (wait > 0) {
        SDL_Delay(static_cast<Uint32>(wait * 1000.0));
    } else if (wait < -1.0) {
        *next = HostClock::Now();
    }
}

bool SaverHost::Open(const std::vector<Display>& displays, const RunOptions& o) {
    Close();
    if (displays.empty()) {
        lastError = "there is no display to draw on";
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        lastError = std::string("cannot start SDL video: ") + SDL_GetError();
        return false;
    }
    startedVideo = true;
    SetScreens(ScreensOf(displays), 0);

    for (size_t i = 0; i < displays.size(); i++) {
        const Display& d = displays[i];
        auto window = std::make_unique<GLWindow>();
        const bool opened =
            d.sdlDisplay >= 0
                ? window->OpenOnDisplay("Tumblix", d.sdlDisplay, GLWindow::FULL_SCREEN)
                : window->OpenAt("Tumblix", int(d.frame.x), int(d.frame.y), int(d.frame.width),
                                 int(d.frame.height), GLWindow::BORDERLESS);
        if (!opened) {
            lastError = "display " + std::to_string(i) + ": " + window->error();
            Close();
            return false;
        }
        // A wait for one display's refresh must not hold up the others.
        if (displays.size() > 1) {
            SDL_GL_SetSwapInterval(0);
        }
        windows.push_back(std::move(window));
    }
    for (size_t i = 0; i < displays.size(); i++) {
        int w = 0, h = 0;
        windows[i]->DrawableSize(&w, &h);
        NSRect frame = displays[i].frame;
        frame.width = w;
        frame.height = h;
        auto view = std::make_unique<TumblixView>(frame, false, windows[i].get(), o.resources);
        view->screenNumber = int(i);
        view->mainScreenNumber = 0;
        view->seed = o.seed;
        views.push_back(std::move(view));
    }
    reported.assign(views.size(), false);
    status = 0;
    return true;
}

void SaverHost::Start() {
    // The windows have no X background: until a view presents its first
    // frame its window still shows the desktop as it was, rather than
    // black while the scene sets up. A view whose screen stays off shows
    // its black at once.
    //
    // SDL's Wayland driver waits for the compositor's first word on each
    // window it shows, and waits for ever if the compositor is gone by then;
    // meanwhile a watch asks every tenth of a second, and ends the program
    // with the one line losing the display gives anyway.
    std::mutex lock;
    std::condition_variable wake;
    bool shown = false;
    std::thread watch;
    if (displayLost != nullptr) {
        watch = std::thread([&, lost = displayLost] {
            std::unique_lock<std::mutex> held(lock);
            while (!wake.wait_for(held, std::chrono::milliseconds(100), [&] { return shown; })) {
                std::string why;
                if (lost(&why)) {
                    std::fprintf(stderr, "tumblix: %s\n", why.c_str());
                    _exit(1);
                }
            }
        });
    }
    for (size_t i = 0; i < views.size(); i++) {
        windows[i]->Show();
        views[i]->presentStartBlack = false;
    }
    if (watch.joinable()) {
        {
            std::lock_guard<std::mutex> held(lock);
            shown = true;
        }
        wake.notify_one();
        watch.join();
    }
    SDL_ShowCursor(SDL_DISABLE);
    hidCursor = true;
    for (auto& view : views) {
        view->startAnimation();
    }
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    input.Begin(HostClock::Now(), x, y);
}

void SaverHost::Tick() {
    // Nothing is drawn that nobody sees; the first tick after the monitors
    // wake draws again (after a gap of over 2 s the views restart their clock).
    if (monitorsOff != nullptr && monitorsOff()) {
        return;
    }
    for (auto& view : views) {
        if (view->isAnimating()) {
            view->animateOneFrame();
        }
    }
    ReportSetupErrors();
}

void SaverHost::ReportSetupErrors() {
    for (size_t i = 0; i < views.size(); i++) {
        if (!reported[i] && !views[i]->setupError.empty()) {
            std::fprintf(stderr, "tumblix: display %zu: cannot set the scene up: %s\n", i,
                         views[i]->setupError.c_str());
            reported[i] = true;
            status = 1;
        }
    }
}

bool SaverHost::HandleEvents() {
    bool quit = false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            for (size_t i = 0; i < windows.size(); i++) {
                if (SDL_GetWindowID(windows[i]->Window()) == e.window.windowID) {
                    int w = 0, h = 0;
                    windows[i]->DrawableSize(&w, &h);
                    views[i]->setFrameSize(w, h);
                }
            }
            continue;
        }
        int x = 0, y = 0;
        if (e.type == SDL_MOUSEMOTION) {
            // Only our windows report motion; one already gone places nothing.
            SDL_Window* window = SDL_GetWindowFromID(e.motion.windowID);
            if (window == nullptr) {
                continue;
            }
            SDL_GetWindowPosition(window, &x, &y);
        }
        if (input.Quits(e, HostClock::Now(), x, y)) {
            quit = true;
        }
        std::string why;
        if (e.type == SDL_QUIT && displayLost != nullptr && displayLost(&why)) {
            std::fprintf(stderr, "tumblix: %s\n", why.c_str());
            status = 1;
        }
    }
    return quit;
}

int SaverHost::Run() {
    Start();
    const double interval = views.empty() ? 1.0 / 35.0 : views[0]->animationTimeInterval();
    double next = HostClock::Now();
    while (!QuitRequested()) {
        if (HandleEvents()) {
            break;
        }
        Tick();
        WaitForNextTick(&next, interval);
    }
    return status;
}

void SaverHost::Close() {
    for (auto& view : views) {
        view->stopAnimation();
    }
    // Last first; each view makes its own context current to let go of
    // its textures.
    while (!views.empty()) {
        views.pop_back();
    }
    while (!windows.empty()) {
        windows.pop_back();
    }
    reported.clear();
    if (hidCursor) {
        SDL_ShowCursor(SDL_ENABLE);
        hidCursor = false;
    }
    if (startedVideo) {
        SetScreens({}, 0);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        startedVideo = false;
    }
}
