#ifndef TUMBLIX_HOST_DIAGNOSTICS_H
#define TUMBLIX_HOST_DIAGNOSTICS_H

#include <string>

// Connects the engine's error hook: remembers the last message, so a failed
// set-up can say why, and prints every message when asked to (--verbose).
class Diagnostics {
  public:
    static void Install(bool verbose);
    static void Clear();
    static const std::string& LastError();
    // Whether the person asked to hear what the program does (--verbose);
    // Note prints a line then.
    static bool Verbose();
    static void Note(const std::string& line);
};

#endif
