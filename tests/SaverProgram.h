#ifndef TUMBLIX_TESTS_SAVERPROGRAM_H
#define TUMBLIX_TESTS_SAVERPROGRAM_H

#include "ChildProcess.h"
#include "TempDir.h"
#include "XServer.h"

#include <string>
#include <utility>
#include <vector>

// tumblix as a user or an X host runs it, on a private X server, with a
// temporary home (also the test's own XDG folders, so the preferences the
// test writes are the program's): resources with a fallback desktop
// picture of one colour, no desktop settings, no sound.
class SaverProgram {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    SaverProgram(const XServer& server, RGBA fallback);

    // Starts tumblix with these arguments; `extra` adds to the environment.
    // A run left over from a failed check is killed first.
    bool Start(const std::vector<std::string>& args, const Env& extra = {});
    // Waits until the window shows the colour at (x, y).
    bool Shows(Window w, int x, int y, RGBA colour) const;
    // Waits for the program to end; its exit status, or -2 when it did not.
    int End();
    // SIGTERM ends it, with status 0.
    void ExpectEndOnSigterm();

    // WritePlainPicture in the home; its path.
    std::string WritePicture(const std::string& name, RGBA colour) const;
    // Xfce's desktop settings: the picture of the first workspace of each
    // named monitor ("monitor" + RandR output name), in this order.
    void WriteXfceSettings(const Env& monitorPictures) const;

    const XServer& server;
    TempDir home;
    std::string resources;
    Env env;
    ChildProcess process;
};

// Writes an 8 x 8 PNG of one colour.
void WritePlainPicture(const std::string& path, RGBA colour);

#endif
