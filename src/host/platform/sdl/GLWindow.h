#ifndef TUMBLIX_HOST_PLATFORM_SDL_GLWINDOW_H
#define TUMBLIX_HOST_PLATFORM_SDL_GLWINDOW_H

#include "host/GLSurface.h"

#include <string>

struct SDL_Window;

// An SDL window with its own OpenGL compatibility context. On SDL's
// "offscreen" video driver this is a headless EGL surface (Mesa llvmpipe),
// which is what headless runs and the tests draw into.
class GLWindow : public GLSurface {
  public:
    GLWindow() = default;
    ~GLWindow() override;
    GLWindow(const GLWindow&) = delete;
    GLWindow& operator=(const GLWindow&) = delete;

    // Starts SDL video and loads the OpenGL library for the rest of the
    // process. Programs call it once before their first window: the driver
    // then stays loaded until exit instead of being unloaded and loaded
    // again with every window (and leak checkers can still name it at exit).
    static bool StartVideo(std::string* error);

    // Initialises SDL video if needed and opens a window of the given size.
    // On failure returns false and error() says why.
    bool Open(const char* title, int width, int height, bool visible);
    enum { VISIBLE = 1, FULL_SCREEN = 2, RESIZABLE = 4, BORDERLESS = 8 };
    bool OpenWith(const char* title, int width, int height, int options);
    // A window at (x, y) in desktop pixels, or full screen on SDL's display
    // number `display` (FULL_SCREEN).
    bool OpenAt(const char* title, int x, int y, int width, int height, int options);
    bool OpenOnDisplay(const char* title, int display, int options);
    // Draws into an existing X window (an XScreenSaver-style host's, or the
    // root window). SDL does not own it: Close leaves the window alone.
    bool OpenForeign(unsigned long xWindow);
    // Maps the window. It paints no background of its own: until its first
    // frame it shows what was beneath it.
    void Show();
    // Size of the drawable in pixels.
    void DrawableSize(int* width, int* height) const;
    void Close();

    bool MakeCurrent() override;
    void Swap() override;
    bool IsOpen() const { return context != nullptr; }
    SDL_Window* Window() const { return window; }
    const std::string& error() const { return lastError; }

  private:
    bool Create(const char* title, int x, int y, int width, int height, unsigned flags);
    bool StartVideo();
    bool CreateContext();

    SDL_Window* window = nullptr;
    void* context = nullptr;
    bool initialisedVideo = false;
    bool headless = false; // on SDL's offscreen driver
    std::string lastError;
};

#endif
