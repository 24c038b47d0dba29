#include "host/platform/InputWatch.h"

#include <SDL.h>
#include <cstdlib>

void InputWatch::Begin(double now, int pointerX, int pointerY) {
    startTime = now;
    restX = pointerX;
    restY = pointerY;
}

bool InputWatch::Quits(const SDL_Event& event, double now, int windowX, int windowY) {
    switch (event.type) {
    case SDL_QUIT:
    case SDL_KEYDOWN:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEWHEEL:
        return true;
    case SDL_MOUSEMOTION: {
        const int x = windowX + event.motion.x;
        const int y = windowY + event.motion.y;
        if (now - startTime < SETTLE_SECONDS) {
            restX = x;
            restY = y;
            return false;
        }
        return std::abs(x - restX) > SLACK_PIXELS || std::abs(y - restY) > SLACK_PIXELS;
    }
    default:
        return false;
    }
}
