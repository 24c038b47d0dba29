#ifndef TUMBLIX_TESTS_XVFBSERVER_H
#define TUMBLIX_TESTS_XVFBSERVER_H

#include "XServer.h"

// A private Xvfb of one screen of width x height; ok() is false where it
// did not start.
class XvfbServer : public XServer {
  public:
    XvfbServer(int width, int height) {
        Launch(
            {"Xvfb", "-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x24"});
    }
};

#endif
