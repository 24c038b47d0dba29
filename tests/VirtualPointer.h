#ifndef TUMBLIX_TESTS_VIRTUALPOINTER_H
#define TUMBLIX_TESTS_VIRTUALPOINTER_H

#include "ChildProcess.h"
#include "SwayServer.h"
#include "TempDir.h"

#include <string>
#include <utility>
#include <vector>

// A pointer device plugged into a compositor's seat for as long as the
// object lives (tumblix-vpointer reading commands from a pipe), as a mouse
// is there before a saver starts.
class VirtualPointer {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    explicit VirtualPointer(const SwayServer& sway) : VirtualPointer(sway.env()) {}
    // On any compositor that offers a virtual pointer or KWin's fake input,
    // reached through `display` (a rig's env()).
    explicit VirtualPointer(const Env& display);
    ~VirtualPointer();
    VirtualPointer(const VirtualPointer&) = delete;
    VirtualPointer& operator=(const VirtualPointer&) = delete;

    // Runs commands (see tests/vpointer/tumblix-vpointer.cpp: "move DX DY",
    // "to X Y W H", "click", "wheel N", on KWin "key CODE"); true once the compositor has
    // taken them.
    bool Do(const std::string& commands);

  private:
    TempDir folder; // holds the pipe
    ChildProcess client;
    int pipe = -1;
    int done = 0; // lines answered so far
};

#endif
