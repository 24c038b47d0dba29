#ifndef TUMBLIX_TESTS_XSERVER_H
#define TUMBLIX_TESTS_XSERVER_H

#include "ChildProcess.h"
#include "GLFixture.h"

#include <X11/Xlib.h>
#include <string>
#include <vector>

// A private X server for one test program, on a display number the server
// picks itself (-displayfd), and the test's own connection to it. The
// server keeps its state when the last other client leaves (-noreset), so
// a root picture set by the test stays. Killed when the object goes.
class XServer {
  public:
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return display != nullptr; }
    const std::string& name() const { return displayName; } // ":N"
    ::Display* connection() const { return display; }
    Window root() const { return DefaultRootWindow(display); }

    struct Area {
        int x, y, width, height;
        RGBA colour;
    };
    // A picture of plain areas (the rest black) on the server, the caller's.
    Pixmap Picture(int width, int height, const std::vector<Area>& areas) const;
    // Makes the root window's background such a picture of the whole
    // screen, as xsetroot does.
    void SetRootPicture(const std::vector<Area>& areas);
    // A plain window of the test's own, mapped, with a black background.
    Window MakeWindow(int x, int y, int width, int height);
    // What the screen shows now over a window's area from (x, y), top row
    // first; the colour at one point.
    std::vector<RGBA> Pixels(Window window, int width, int height, int x = 0, int y = 0) const;
    RGBA PixelAt(Window window, int x, int y) const;
    // Runs xdotool on this server (real input through XTEST); true when it
    // did what it was asked.
    bool Xdotool(const std::string& args) const;
    // Waits for a viewable window of this exact title; 0 if none came.
    Window FindWindow(const std::string& title) const;
    // Names a picture of the desktop on a window, as XScreenSaver does on
    // the window it hands a screen saver.
    void NameScreenshot(Window window, Pixmap picture) const;

  protected:
    XServer() = default;
    // Starts the server (argv without -displayfd) and connects to it.
    bool Launch(std::vector<std::string> argv);
    // Connects to a server someone else started (one that lets local
    // clients in), and lets go of it before that server goes.
    bool Attach(const std::string& name);
    void Detach();
    ::Display* display = nullptr;

  private:
    ChildProcess server;
    std::string displayName;
};

#endif
