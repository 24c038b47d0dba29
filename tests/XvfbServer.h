#ifndef TUMBLIX_TESTS_XVFBSERVER_H
#define TUMBLIX_TESTS_XVFBSERVER_H

#include "GLFixture.h"

#include <X11/Xlib.h>
#include <string>
#include <vector>

// A private X server (Xvfb) for one test program, on a display number the
// server picks itself, and the test's own connection to it. The server
// keeps its state when the last other client leaves (-noreset), so a root
// picture set by the test stays. Killed when the object goes.
class XvfbServer {
  public:
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return display != nullptr; }
    const std::string& name() const { return displayName; } // ":N"
    ::Display* connection() const { return display; }
    Window root() const;

    struct Area {
        int x, y, width, height;
        RGBA colour;
    };
    // Makes the root window's background a picture of plain areas (the
    // rest black), as xsetroot does.
    void SetRootPicture(const std::vector<Area>& areas);

    // A plain window of the test's own, mapped, with a black background.
    Window MakeWindow(int x, int y, int width, int height);
    // The colour the screen shows at (x, y) of a window, top-left origin.
    RGBA PixelAt(Window window, int x, int y) const;
    // Every pixel of the window's top-left width x height, top row first.
    std::vector<RGBA> Pixels(Window window, int width, int height) const;

  private:
    int server = -1;
    ::Display* display = nullptr;
    std::string displayName;
};

#endif
