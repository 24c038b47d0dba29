#include "host/platform/sdl/MixerSound.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/sdl/SaverHost.h"
#include "host/platform/x11/DesktopCapture.h"

#include <SDL.h>
#include <cstdio>

int RunSaver(const RunOptions& o) {
    // A screen saver never holds the session awake: SDL would otherwise
    // suspend the X server's saver, reset its idle time every few seconds
    // and ask the desktop over D-Bus to inhibit idle, so the desktop's lock
    // and screen-off would never come while the bottles are up.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "tumblix: cannot reach the screens: %s\n", SDL_GetError());
        return 1;
    }
    const std::vector<SaverHost::Display> displays = SDLDisplays();
    InstallDesktopServices();
    MixerSound::Open();
    int status = 1;
    {
        SaverHost host;
        if (host.Open(displays, o)) {
            status = host.Run();
        } else {
            std::fprintf(stderr, "tumblix: %s\n", host.error().c_str());
        }
    }
    MixerSound::Close();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return status;
}
