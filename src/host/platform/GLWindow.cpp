#include "host/platform/GLWindow.h"

#include <SDL.h>

GLWindow::~GLWindow() {
    Close();
}

bool GLWindow::Open(const char* title, int width, int height, bool visible) {
    return OpenWith(title, width, height, visible ? VISIBLE : 0);
}

void GLWindow::DrawableSize(int* width, int* height) const {
    *width = *height = 0;
    if (window != nullptr) {
        SDL_GL_GetDrawableSize(window, width, height);
    }
}

bool GLWindow::OpenWith(const char* title, int width, int height, int options) {
    Close();
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            lastError = std::string("cannot start SDL video: ") + SDL_GetError();
            return false;
        }
        initialisedVideo = true;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);

    Uint32 flags = SDL_WINDOW_OPENGL | ((options & VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    if (options & FULL_SCREEN) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    if (options & RESIZABLE) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                              height, flags);
    if (window == nullptr) {
        lastError = std::string("cannot open an OpenGL window: ") + SDL_GetError();
        Close();
        return false;
    }
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        lastError = std::string("cannot create an OpenGL context: ") + SDL_GetError();
        Close();
        return false;
    }
    return MakeCurrent();
}

void GLWindow::Close() {
    if (context != nullptr) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (initialisedVideo) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        initialisedVideo = false;
    }
}

bool GLWindow::MakeCurrent() {
    if (context == nullptr) {
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        lastError = std::string("cannot make the OpenGL context current: ") + SDL_GetError();
        return false;
    }
    return true;
}

void GLWindow::Swap() {
    if (window != nullptr) {
        SDL_GL_SwapWindow(window);
    }
}
