#ifndef TUMBLIX_TESTS_XORGDUMMYSERVER_H
#define TUMBLIX_TESTS_XORGDUMMYSERVER_H

#include "XServer.h"

// A private Xorg server on Debian's dummy video driver, showing two
// monitors of width x height side by side as two RandR outputs: the only
// kind of server here on which SDL sees more than one display. Where Xorg
// cannot start (not installed, or refused to this user), ok() is false and
// whyNot() says why. Killed when the object goes.
class XorgDummyServer : public XServer {
  public:
    XorgDummyServer(int width, int height);
    ~XorgDummyServer();

    const std::string& whyNot() const { return reason; }

  private:
    bool Arrange(int width, int height);

    std::string folder;
    std::string reason;
};

#endif
