#ifndef TUMBLIX_TESTS_SAVERPROGRAM_H
#define TUMBLIX_TESTS_SAVERPROGRAM_H

#include "ChildProcess.h"
#include "TempDir.h"
#include "XServer.h"

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Xfce's desktop settings, under the config folder: the last image of each
// workspace of each monitor ("monitor" + RandR output name, or number), and
// one outside any monitor.
using XfceImages = std::vector<std::tuple<std::string, int, std::string>>;
std::string XfceChannel(const XfceImages& images, const std::string& outside = "");
inline constexpr const char* kXfceSettings = "xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml";

// tumblix as a user or an X host runs it, on a private X server, with a
// temporary home (also the test's own XDG folders, so the preferences the
// test writes are the program's): resources with a fallback desktop
// picture of one colour, no desktop settings, no sound.
class SaverProgram {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    SaverProgram(const XServer& server, RGBA fallback);
    // On another kind of display: `display` says which (and unsets DISPLAY
    // where it should not be used).
    SaverProgram(const Env& display, RGBA fallback);

    // Starts tumblix with these arguments; `extra` adds to the environment.
    // A run left over from a failed check is killed first.
    bool Start(const std::vector<std::string>& args, const Env& extra = {});
    // Waits until the window shows the colour at (x, y).
    bool Shows(Window w, int x, int y, RGBA colour) const;
    // Waits for the program to end; its exit status, or -2 when it did not.
    int End();
    // SIGTERM ends it, with status 0.
    void ExpectEndOnSigterm();
    // Its display killed under it (`kill` does that), it ends on its own,
    // non-zero, after one line on stderr.
    void ExpectOneLineAndFailureWhen(const std::function<void()>& kill);

    // Preferences in its home of this background kind and number of
    // bottles, the rest their defaults.
    void Prefer(int bgType, int maxBottles, bool mainMonitorOnly = false) const;
    // Xfce's desktop settings (see XfceChannel) in the home.
    void WriteXfceSettings(const XfceImages& images) const;

    const XServer* server = nullptr;
    TempDir home;
    std::string resources;
    Env env;
    ChildProcess process;
};

#endif
