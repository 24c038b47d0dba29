#ifndef TUMBLIX_TESTS_LOOPBACKSERVER_H
#define TUMBLIX_TESTS_LOOPBACKSERVER_H

#include "ChildProcess.h"

#include <string>

// tests/loopback_server.py serving a folder on 127.0.0.1 at a free port;
// stopped when the object goes. See the script for its misbehaving modes.
class LoopbackServer {
  public:
    bool Start(const std::string& root);
    // http://127.0.0.1:<port>, then the path given.
    std::string Address(const std::string& path = "") const;

  private:
    ChildProcess process;
    int port = 0;
};

// A loopback port that nothing listens on (for the moment).
int UnusedLoopbackPort();

#endif
