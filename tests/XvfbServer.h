#ifndef TUMBLIX_TESTS_XVFBSERVER_H
#define TUMBLIX_TESTS_XVFBSERVER_H

#include "XServer.h"

#include <gtest/gtest.h>

// A private Xvfb of one screen of width x height at a depth (16: 5-6-5 as
// VNC servers run, 30: 10 bits a channel); ok() is false where it did not
// start.
class XvfbServer : public XServer {
  public:
    XvfbServer(int width, int height, int depth = 24) {
        Launch(
            {"Xvfb", "-screen", "0",
             std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth)});
    }
};

// A fixture whose tests share one Xvfb of Width x Height, started for the
// suite and killed after it.
template <int Width, int Height> class OnXvfb : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server = new XvfbServer(Width, Height); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(server->ok()) << "Xvfb did not start"; }
    static inline XvfbServer* server = nullptr;
};

#endif
