#ifndef TUMBLIX_TESTS_SWAYSERVER_H
#define TUMBLIX_TESTS_SWAYSERVER_H

#include "ChildProcess.h"
#include "GLFixture.h"

#include <string>
#include <utility>
#include <vector>

// A private sway on wlroots' headless backend (software rendering, no
// input devices) with two outputs, HEADLESS-1 and HEADLESS-2, each showing
// a plain colour as its desktop; a third, HEADLESS-3, once created (swaymsg create_output). sway
// refuses to run as root, so under root it runs as nobody, in a runtime folder of its own; clients
// of the tests (root or not) reach it through env(). Where it cannot start, ok() is false and
// whyNot() says why: the tests then fail, sway being part of the setup.
class SwayServer {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    struct Layout {
        int width = 320, height = 240; // of each output, in its own pixels
        bool stacked = false;          // each below the last, or right of it
        double scale = 1.0;            // of every output
        RGBA colours[3] = {{32, 64, 128, 255}, {128, 96, 32, 255}, {96, 32, 128, 255}};
        // Each desktop its colour above and its lower colour below.
        bool split = false;
        RGBA lower[3] = {{220, 200, 40, 255}, {40, 200, 200, 255}, {200, 200, 200, 255}};
        RGBA BottomOf(int output) const { return split ? lower[output] : colours[output]; }
    };
    explicit SwayServer(const Layout& layout);
    SwayServer() : SwayServer(Layout{}) {}
    ~SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    const Layout& layout() const { return shape; }
    static std::string OutputName(int index) { return "HEADLESS-" + std::to_string(index + 1); }
    // WAYLAND_DISPLAY, XDG_RUNTIME_DIR and SWAYSOCK, and no X display.
    const Env& env() const { return clientEnv; }
    // A shell command line run as a client of this compositor; `out` holds
    // its stderr too.
    ToolResult Run(const std::string& commandLine) const;
    // The names of the outputs sway shows now.
    std::vector<std::string> ActiveOutputs() const;

    // What an output shows now (grim), top row first, in its own pixels.
    struct Picture {
        int width = 0, height = 0;
        std::vector<RGBA> pixels;
        // The share of pixels near `colour`, 0 to 1; of the rows from `top`
        // to `bottom` (parts of the height, 0 the top row).
        double Share(RGBA colour, double top = 0.0, double bottom = 1.0) const;
        // Whether the top quarter shows mostly `top` and hardly any
        // `bottom`, the bottom quarter the other way round, and something
        // else (bottles) shows too: a desktop of two colours drawn behind the
        // bottles the right way up.
        bool UprightBehindBottles(RGBA top, RGBA bottom) const;
        // Where TUMBLIX_TEST_SHOTS names a folder, keeps the picture there as
        // NAME.png, for a person to look at.
        void Keep(const std::string& name) const;
        // Whether the upper half is all `upper` and the lower all `lower`.
        bool Halves(RGBA upper, RGBA lower) const {
            return Share(upper, 0.0, 0.5) == 1.0 && Share(lower, 0.5, 1.0) == 1.0;
        }
        // A binary PPM's picture (grim's, tumblix-kwinshot's); empty when
        // the text is not a whole one.
        static Picture FromPpm(const std::string& ppm);
    };
    Picture Screenshot(int output) const;

    // Kills the compositor as a crash would.
    void Kill();

  private:
    bool Start();
    ChildProcess sway;
    Layout shape;
    std::string folder, runtime;
    Env clientEnv;
    std::string reason;
};

#endif
