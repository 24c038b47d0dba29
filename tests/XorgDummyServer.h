#ifndef TUMBLIX_TESTS_XORGDUMMYSERVER_H
#define TUMBLIX_TESTS_XORGDUMMYSERVER_H

#include "GLFixture.h"

#include <X11/Xlib.h>
#include <string>
#include <vector>

// A private Xorg server on Debian's dummy video driver, showing two
// monitors of width x height side by side as two RandR outputs: the only
// kind of server here on which SDL sees more than one display. Where Xorg
// cannot start (not installed, or refused to this user), ok() is false and
// whyNot() says why. Killed when the object goes.
class XorgDummyServer {
  public:
    XorgDummyServer(int width, int height);
    ~XorgDummyServer();
    XorgDummyServer(const XorgDummyServer&) = delete;
    XorgDummyServer& operator=(const XorgDummyServer&) = delete;

    bool ok() const { return display != nullptr; }
    const std::string& whyNot() const { return reason; }
    const std::string& name() const { return displayName; } // ":N"
    ::Display* connection() const { return display; }

    // Paints the root window one colour per monitor, left to right.
    void PaintMonitors(RGBA left, RGBA right);
    // Every pixel of the root window, top row first.
    std::vector<RGBA> Screen() const;

  private:
    bool Arrange(int width, int height);

    int server = -1;
    ::Display* display = nullptr;
    std::string displayName;
    std::string folder;
    std::string reason;
    int screenWidth = 0, screenHeight = 0;
};

#endif
