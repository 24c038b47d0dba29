#include "host/Diagnostics.h"
#include "host/DownloadCommands.h"
#include "host/platform/files/PictureReader.h"
#include "host/platform/gtk/SettingsDialog.h"
#include "host/platform/sdl/Runners.h"
#include "host/platform/session/IdleWatcher.h"
#include "host/platform/wayland/WaylandDisplay.h"
#include "host/platform/x11/XWindows.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* usageText =
    "Usage: tumblix [--resources DIR] [--verbose] [MODE]\n"
    "\n"
    "Glass bottles float, tumble and clink over your desktop.\n"
    "\n"
    "Modes:\n"
    "  (no mode)          the screen saver, full screen; quits on a key, a click or a mouse move\n"
    "                     (on Wayland with overlay surfaces it is --wayland, else X11)\n"
    "  --window [WxH]     one view in an ordinary window (Escape or closing it quits)\n"
    "  --preview          the view is the preview (no overlay)\n"
    "  --wayland          the screen saver on every output of a Wayland compositor, as overlay\n"
    "                     surfaces (sway, Hyprland, KDE Plasma, labwc, wayfire, niri, river)\n"
    "  --watch            stay in the session: start the saver after IdleMinutes of idle\n"
    "                     (TUMBLIX_IDLE_SECONDS overrides), end it on activity\n"
    "  --root             draw into $XSCREENSAVER_WINDOW, else the root window\n"
    "  --window-id ID     draw into the X window ID (decimal or 0x hex)\n"
    "  --configure        the settings dialog with a live preview\n"
    "  --render DIR       headless: write DIR/frame-NNNNN.png; with --size WxH (1280x720),\n"
    "                     --frames N (175 drawn frames), --every K (35), --seed S\n"
    "  --bench            headless timing of --frames N at --size WxH; prints one JSON object\n"
    "  --downloads        list the bottle types the web server offers that you lack\n"
    "  --download NAME    download one of them into your bottle folder\n"
    "  --help             this text\n"
    "  --version          the version\n"
    "\n"
    "Settings are read from $XDG_CONFIG_HOME/dwTumblixSS/preferences.ini.\n";

// This program's own path, to run it again as the watcher's saver.
std::string ThisProgram() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, size_t(n)) : std::string();
}

// The resource folder beside the program: where the installation put it
// (relative to the installed program, whatever the prefix), else where the
// build puts it (share/tumblix beside bin/).
std::string DefaultResources() {
    std::string dir = ThisProgram();
    if (dir.empty()) {
        return "share/tumblix";
    }
    dir.resize(dir.rfind('/'));
    const std::string installed = dir + "/" TUMBLIX_INSTALLED_RESOURCES;
    const std::string built = dir + "/../share/tumblix";
    struct stat st;
    if (stat(installed.c_str(), &st) != 0 && stat(built.c_str(), &st) == 0) {
        return built;
    }
    return installed;
}

bool ParseSize(const char* text, int* w, int* h) {
    char extra = 0;
    return std::sscanf(text, "%dx%d%c", w, h, &extra) == 2 && *w > 0 && *h > 0 && *w <= 16384 &&
           *h <= 16384;
}

bool ParseCount(const char* text, long* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1) {
        return false;
    }
    *value = v;
    return true;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "tumblix: %s\n(tumblix --help lists the options)\n", problem);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const double processStart =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    RunOptions options;
    options.resources = DefaultResources();
    std::string mode;
    bool verbose = false;
    unsigned long xWindow = 0;
    std::string downloadName;

    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tumblix %s\n", TUMBLIX_VERSION);
            return 0;
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a == "--resources") {
            if (!hasValue)
                return Usage("--resources needs a folder");
            options.resources = argv[++i];
        } else if (a == "--preview") {
            options.preview = true;
        } else if (a == "--window") {
            mode = a;
            if (hasValue && argv[i + 1][0] != '-') {
                if (!ParseSize(argv[++i], &options.width, &options.height))
                    return Usage("--window takes a size such as 800x600");
            } else {
                options.width = 960;
                options.height = 600;
            }
        } else if (a == "--render") {
            if (!hasValue)
                return Usage("--render needs a folder");
            mode = a;
            options.outputDir = argv[++i];
        } else if (a == "--bench") {
            mode = a;
        } else if (a == "--size") {
            if (!hasValue || !ParseSize(argv[++i], &options.width, &options.height))
                return Usage("--size takes a size such as 1280x720");
        } else if (a == "--frames") {
            if (!hasValue || !ParseCount(argv[++i], &options.frames))
                return Usage("--frames takes a positive number");
        } else if (a == "--every") {
            if (!hasValue || !ParseCount(argv[++i], &options.every))
                return Usage("--every takes a positive number");
        } else if (a == "--seed") {
            long seed = 0;
            if (!hasValue || !ParseCount(argv[++i], &seed))
                return Usage("--seed takes a positive number");
            options.seed = static_cast<unsigned>(seed);
        } else if (a == "--wayland") {
            mode = a;
        } else if (a == "--root") {
            mode = a;
        } else if (a == "--watch") {
            mode = a;
        } else if (a == "--window-id") {
            if (!hasValue || !ParseWindowId(argv[++i], &xWindow))
                return Usage("--window-id takes an X window id, decimal or 0x hex");
            mode = a;
        } else if (a == "--configure") {
            mode = a;
        } else if (a == "--downloads") {
            mode = a;
        } else if (a == "--download") {
            if (!hasValue)
                return Usage("--download needs the name of a bottle type");
            mode = a;
            downloadName = argv[++i];
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }

    Diagnostics::Install(verbose);
    InstallPictureReader();
    InstallQuitSignals();
    if (mode == "--downloads") {
        return DownloadCommands::ListDownloads(options.resources);
    }
    if (mode == "--download") {
        return DownloadCommands::Download(options.resources, downloadName);
    }
    if (mode == "--render") {
        return RunRender(options);
    }
    if (mode == "--bench") {
        return RunBench(options, processStart);
    }
    if (mode == "--configure") {
        return RunConfigure(options);
    }
    if (mode == "--window") {
        return RunWindow(options);
    }
    if (mode == "--watch") {
        IdleWatcher::Options watch;
        watch.program = ThisProgram();
        watch.resources = options.resources;
        watch.verbose = verbose;
        if (watch.program.empty()) {
            std::fprintf(stderr, "tumblix: --watch: cannot tell where this program is\n");
            return 1;
        }
        IdleWatcher watcher;
        return watcher.Run(watch);
    }
    if (mode == "--root") {
        std::string error;
        if (!RootDrawingWindow(&xWindow, &error)) {
            std::fprintf(stderr, "tumblix: --root: %s\n", error.c_str());
            return 1;
        }
        mode = "--window-id";
    }
    if (mode == "--window-id") {
        return RunInWindow(options, xWindow);
    }
    if (mode == "--wayland") {
        return RunWayland(options);
    }
    // No mode: a Wayland session whose compositor offers overlay surfaces
    // gets them; anywhere else (X11, or GNOME's Wayland, which offers none)
    // full-screen windows, which say how they open.
    if (WaylandOffersLayerShell()) {
        Diagnostics::Note("the Wayland compositor offers overlay surfaces: running as --wayland");
        return RunWayland(options);
    }
    return RunSaver(options);
}
