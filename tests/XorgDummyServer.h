#ifndef TUMBLIX_TESTS_XORGDUMMYSERVER_H
#define TUMBLIX_TESTS_XORGDUMMYSERVER_H

#include "TempDir.h"
#include "XServer.h"

// A private Xorg server on Debian's dummy video driver, showing two
// monitors as two RandR outputs (DUMMY0, the primary, and DUMMY1): the only
// kind of server here on which SDL sees more than one display. Each monitor
// has its own size and place on the screen, which is just large enough for
// both.
// Where Xorg cannot start (not installed, or refused to this user), ok() is
// false and whyNot() says why. Killed when the object goes.
class XorgDummyServer : public XServer {
  public:
    struct Monitor {
        int x, y, width, height;
    };
    XorgDummyServer(const Monitor& primary, const Monitor& other);

    const std::string& whyNot() const { return reason; }

  private:
    bool Arrange();

    Monitor monitors[2];

    TempDir folder;
    std::string reason;
};

#endif
