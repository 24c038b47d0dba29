#ifndef TUMBLIX_HOST_PLATFORM_SDL_RUNNERS_H
#define TUMBLIX_HOST_PLATFORM_SDL_RUNNERS_H

#include <optional>
#include <string>

// How tumblix runs a view: headless into PNG frames or timing, or in a
// window. Each returns the process's exit status.
struct RunOptions {
    std::string resources; // the module's resource folder
    int width = 1280;
    int height = 720;
    long frames = 175; // drawn frames (headless)
    long every = 35;   // write every K-th drawn frame (headless)
    std::optional<unsigned> seed;
    bool preview = false;
    bool fullScreen = false;
    std::string outputDir; // --render
};

int RunRender(const RunOptions& options);
int RunBench(const RunOptions& options, double processStart);
int RunWindow(const RunOptions& options);
// The screen saver: a full-screen view on every display (SaverHost).
int RunSaver(const RunOptions& options);
// The screen saver on a Wayland compositor: an overlay surface on every
// output (WaylandHost).
int RunWayland(const RunOptions& options);
// One view drawing into an existing X window (--root, --window-id).
int RunInWindow(const RunOptions& options, unsigned long xWindow);

// Set by SIGTERM and SIGINT; every loop ends cleanly when it is.
void InstallQuitSignals();
bool QuitRequested();

#endif
