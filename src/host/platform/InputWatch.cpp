#include "host/platform/InputWatch.h"

#include <SDL.h>
#include <cstdlib>

void InputWatch::Begin(double now, int pointerX, int pointerY) {
    startTime = now;
    restX = pointerX;
    restY = pointerY;
}

bool InputWatch::Quits(const SDL_Event& event, double now, int pointerX, int pointerY) {
    switch (event.type) {
    case SDL_QUIT:
    case SDL_KEYDOWN:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEWHEEL:
        return true;
    case SDL_MOUSEMOTION:
        if (now - startTime < SETTLE_SECONDS) {
            restX = pointerX;
            restY = pointerY;
            return false;
        }
        return std::abs(pointerX - restX) > SLACK_PIXELS ||
               std::abs(pointerY - restY) > SLACK_PIXELS;
    default:
        return false;
    }
}
