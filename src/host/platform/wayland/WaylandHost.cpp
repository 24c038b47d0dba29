#include "host/platform/wayland/WaylandHost.h"

#include "host/DesktopServices.h"
#include "host/Diagnostics.h"
#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/wayland/LayerSurface.h"
#include "host/platform/wayland/WaylandOutput.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>

namespace {

// How long the compositor may take to size a new surface.
const double kConfigureSeconds = 5.0;
// More outputs than any desk has: each costs a GL context, so a broken
// compositor that announces thousands gets no more.
const size_t kMaxScreens = 16;
// The longest sleep while no screen draws.
const int kIdleWaitMs = 1000;

} // namespace

struct WaylandHost::Screen {
    WaylandOutput* output = nullptr;
    std::unique_ptr<LayerSurface> surface;
    std::unique_ptr<TumblixView> view; // destroyed before its surface
    bool reported = false;
};

WaylandHost::WaylandHost() = default;

WaylandHost::~WaylandHost() {
    Close();
}

bool WaylandHost::Open(const RunOptions& o) {
    Close();
    options = o;
    if (!display.Connect()) {
        lastError = display.error();
        return false;
    }
    if (display.LayerShell() == nullptr) {
        lastError = "the Wayland compositor offers no overlay surfaces (zwlr_layer_shell_v1)";
        Close();
        return false;
    }
    if (!egl.Open(display.Display())) {
        lastError = "no OpenGL on the Wayland display: " + egl.error();
        Close();
        return false;
    }
    Diagnostics::Note(std::string("wayland: ") + std::to_string(display.Outputs().size()) +
                      " outputs, screencopy " +
                      (display.Screencopy() != nullptr ? "offered" : "not offered"));
    for (const auto& output : display.Outputs()) {
        if (!AddOutput(*output)) {
            Close();
            return false;
        }
    }
    if (screens.empty()) {
        lastError = "the Wayland compositor has no output to draw on";
        Close();
        return false;
    }
    if (!WaitForConfigures()) {
        Close();
        return false;
    }
    UpdateScreens();
    for (auto& screen : screens) {
        if (!StartScreen(*screen)) {
            Close();
            return false;
        }
    }
    status = 0;
    return true;
}

bool WaylandHost::AddOutput(WaylandOutput& output) {
    output.number = nextNumber++;
    if (screens.size() >= kMaxScreens) {
        return true;
    }
    auto screen = std::make_unique<Screen>();
    screen->output = &output;
    screen->surface = std::make_unique<LayerSurface>(display, egl, output);
    if (!screen->surface->Create()) {
        lastError = output.Name() + ": " + screen->surface->error();
        return false;
    }
    screens.push_back(std::move(screen));
    return true;
}

bool WaylandHost::WaitForConfigures() {
    const double until = HostClock::Now() + kConfigureSeconds;
    for (;;) {
        bool all = true;
        for (auto& screen : screens) {
            all = all && (screen->surface->Configured() || screen->surface->Closed());
        }
        if (all) {
            return true;
        }
        const double left = until - HostClock::Now();
        if (left <= 0) {
            lastError = "the Wayland compositor never sized our surfaces";
            return false;
        }
        if (!display.Dispatch(int(left * 1000.0) + 1)) {
            lastError = display.error();
            return false;
        }
    }
}

// The view of a sized surface: its capture is taken now, while the surface
// still shows nothing.
bool WaylandHost::StartScreen(Screen& screen) {
    if (screen.view != nullptr || screen.surface->Closed()) {
        return true;
    }
    LayerSurface& surface = *screen.surface;
    if (!surface.PrepareGL()) {
        lastError = screen.output->Name() + ": " + surface.error();
        return false;
    }
    NSRect frame;
    frame.x = screen.output->X();
    frame.y = screen.output->Y();
    frame.width = surface.Width();
    frame.height = surface.Height();
    auto view = std::make_unique<TumblixView>(frame, false, &surface, options.resources);
    view->screenNumber = screen.output->number;
    view->mainScreenNumber = 0;
    view->seed = options.seed;
    view->setFrameSize(surface.PixelWidth(), surface.PixelHeight());
    // A layer surface shows nothing until its first frame: the output
    // keeps showing the desktop while the scene sets up, not the black of
    // the start (a screen that stays off still shows its black).
    view->presentStartBlack = false;
    Diagnostics::Note(
        "wayland: " + screen.output->Name() + " is screen " + std::to_string(view->screenNumber) +
        ", " + std::to_string(surface.PixelWidth()) + "x" + std::to_string(surface.PixelHeight()) +
        " pixels at " + std::to_string(int(frame.x)) + "," + std::to_string(int(frame.y)) +
        (view->mySettings.BGTYPE == 0 ? ", desktop captured" : ""));
    screen.view = std::move(view);
    return true;
}

void WaylandHost::UpdateScreens() {
    std::vector<NSScreen> list;
    for (const auto& screen : screens) {
        NSScreen s;
        int width = 0, height = 0;
        screen->output->LogicalSize(&width, &height);
        s.frame.x = screen->output->X();
        s.frame.y = screen->output->Y();
        s.frame.width = width;
        s.frame.height = height;
        s.number = screen->output->number;
        list.push_back(s);
    }
    SetScreens(list, 0);
}

bool WaylandHost::Place(const void* surface, int* x, int* y) const {
    for (const auto& screen : screens) {
        if (screen->surface->Surface() == surface) {
            *x = screen->output->X();
            *y = screen->output->Y();
            return true;
        }
    }
    return false;
}

// A screen draws once the compositor showed its last frame: one that shows
// nothing (an output switched off, a hidden surface) gets no frame callback
// and so no more frames.
bool WaylandHost::WantsFrame(const Screen& screen) const {
    const TumblixView* view = screen.view.get();
    return view != nullptr && view->isAnimating() && screen.surface->ReadyForFrame();
}

void WaylandHost::Tick() {
    for (auto& screen : screens) {
        TumblixView* view = screen->view.get();
        if (!WantsFrame(*screen)) {
            continue;
        }
        view->animateOneFrame();
        if (!screen->reported && !view->setupError.empty()) {
            std::fprintf(stderr, "tumblix: %s: cannot set the scene up: %s\n",
                         screen->output->Name().c_str(), view->setupError.c_str());
            screen->reported = true;
            status = 1;
        }
    }
}

int WaylandHost::Run() {
    input.Attach(
        display.Seat(),
        [this](wl_surface* surface, int* x, int* y) { return Place(surface, x, y); },
        HostClock::Now());
    for (auto& screen : screens) {
        if (screen->view != nullptr) {
            screen->view->startAnimation();
        }
    }
    const double interval = 1.0 / 35.0;
    double next = HostClock::Now();
    while (!QuitRequested()) {
        // With nothing to draw the loop sleeps until the compositor says
        // something (a frame shown, an output added); the bound only keeps
        // a signal that came just before the wait from being missed.
        const bool any = std::any_of(screens.begin(), screens.end(),
                                     [this](const auto& s) { return WantsFrame(*s); });
        const int wait = any ? std::max(0, int((next - HostClock::Now()) * 1000.0)) : kIdleWaitMs;
        if (!display.Dispatch(wait)) {
            std::fprintf(stderr, "tumblix: %s\n", display.error().c_str());
            return 1;
        }
        if (input.QuitAsked()) {
            break;
        }
        // Outputs gone, and surfaces the compositor closed, are let go;
        // new outputs get a surface and, once it is sized, a view.
        std::vector<std::unique_ptr<WaylandOutput>> gone = display.TakeRemovedOutputs();
        bool changed = !gone.empty();
        for (auto it = screens.begin(); it != screens.end();) {
            bool lost = (*it)->surface->Closed();
            for (const auto& output : gone) {
                lost = lost || output.get() == (*it)->output;
            }
            if (lost) {
                Diagnostics::Note("wayland: " + (*it)->output->Name() + " is gone");
                (*it)->view.reset();
                it = screens.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
        gone.clear();
        for (const auto& output : display.Outputs()) {
            if (output->number < 0 && output->Described()) {
                changed = true;
                if (!AddOutput(*output)) {
                    std::fprintf(stderr, "tumblix: %s\n", lastError.c_str());
                }
            }
        }
        for (auto it = screens.begin(); it != screens.end();) {
            Screen& screen = **it;
            if (screen.view == nullptr && screen.surface->Configured() &&
                !screen.surface->Closed()) {
                UpdateScreens();
                if (!StartScreen(screen)) {
                    // That output stays without a saver; the others go on.
                    std::fprintf(stderr, "tumblix: %s\n", lastError.c_str());
                    it = screens.erase(it);
                    continue;
                }
                screen.view->startAnimation();
            } else if (screen.view != nullptr && screen.surface->TakeResize()) {
                screen.view->setFrameSize(screen.surface->PixelWidth(),
                                          screen.surface->PixelHeight());
            }
            ++it;
        }
        if (changed) {
            UpdateScreens();
        }
        if (screens.empty()) {
            Diagnostics::Note("wayland: no output left");
            break;
        }
        if (HostClock::Now() >= next) {
            Tick();
            next += interval;
            // After a stall (a suspended machine) the ticks start afresh.
            if (HostClock::Now() - next > 1.0) {
                next = HostClock::Now();
            }
        }
    }
    return status;
}

void WaylandHost::Close() {
    input.Detach();
    for (auto& screen : screens) {
        if (screen->view != nullptr) {
            screen->view->stopAnimation();
        }
        screen->view.reset();
    }
    screens.clear();
    SetScreens({}, 0);
    egl.Close();
    display.Disconnect();
    nextNumber = 0;
}
