#include "host/platform/sdl/InputWatch.h"

#include <SDL.h>
#include <cstdlib>

void InputWatch::Begin(double now, int pointerX, int pointerY) {
    startTime = now;
    restX = pointerX;
    restY = pointerY;
    placed = true;
}

void InputWatch::BeginUnplaced(double now) {
    startTime = now;
    placed = false;
}

bool InputWatch::PointerAt(double now, int x, int y) {
    if (!placed || now - startTime < SETTLE_SECONDS) {
        restX = x;
        restY = y;
        placed = true;
        return false;
    }
    return std::abs(x - restX) > SLACK_PIXELS || std::abs(y - restY) > SLACK_PIXELS;
}

bool InputWatch::Quits(const SDL_Event& event, double now, int windowX, int windowY) {
    switch (event.type) {
    case SDL_QUIT:
    case SDL_KEYDOWN:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEWHEEL:
        return true;
    case SDL_MOUSEMOTION:
        return PointerAt(now, windowX + event.motion.x, windowY + event.motion.y);
    default:
        return false;
    }
}
