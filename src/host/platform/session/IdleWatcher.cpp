#include "host/platform/session/IdleWatcher.h"

#include "host/Diagnostics.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"
#include "host/platform/files/SessionLock.h"
#include "host/platform/session/MutterIdle.h"
#include "host/platform/session/SessionBus.h"
#include "host/platform/wayland/WaylandIdle.h"
#include "host/platform/x11/XssIdle.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// While a program holds the session awake, how often the watcher asks
// again, at most.
constexpr unsigned kRecheckSeconds = 30;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool SecondsFromEnvironment() {
    return !Env("TUMBLIX_IDLE_SECONDS").empty();
}

// The idle period: $TUMBLIX_IDLE_SECONDS (for tests) or the store's minutes.
unsigned IdleSeconds() {
    const std::string text = Env("TUMBLIX_IDLE_SECONDS");
    if (!text.empty()) {
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (*end == '\0' && value > 0 && value <= MAX_IDLE_MINUTES * 60L) {
            return unsigned(value);
        }
        std::fprintf(stderr, "tumblix: TUMBLIX_IDLE_SECONDS is not a number of seconds: %s\n",
                     text.c_str());
    }
    const auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    return unsigned(store ? LoadIdleMinutes(*store) : DEFAULT_IDLE_MINUTES) * 60u;
}

void Say(const std::string& line) {
    std::fprintf(stderr, "tumblix: %s\n", line.c_str());
}

} // namespace

int IdleWatcher::Run(const Options& o) {
    options = o;
    const std::string display =
        !Env("WAYLAND_DISPLAY").empty() ? Env("WAYLAND_DISPLAY") : Env("DISPLAY");
    SessionLock lock;
    if (lock.Take("tumblix-watch", display.empty() ? "none" : display) ==
        SessionLock::HELD_ELSEWHERE) {
        Say("a watcher already runs in this session");
        return 0;
    }
    int status = 1;
    if (!ChooseSource(&status)) {
        return status;
    }
    seconds = IdleSeconds();
    if (seconds == 0) {
        Say("IdleMinutes is 0: the watcher starts no saver");
        return 0;
    }
    listener.idle = [this] { Idle(); };
    listener.active = [this] { Active(); };
    listener.lost = [this](const std::string& why) { Lost(why); };
    if (!source->Arm(seconds, listener)) {
        Say(source->error());
        return 1;
    }
    Diagnostics::Note("watch: " + std::to_string(seconds) + " s of idle through " + source->Name() +
                      " start the saver" +
                      (source->SaverMode().empty() ? "" : " " + source->SaverMode()));
    power.onChange = [this](bool onBattery) { PowerChanged(onBattery); };
    power.Start();
    FollowStore();
    saver.onExit = [this](int code, bool stopped) { SaverEnded(code, stopped); };

    loop = g_main_loop_new(nullptr, FALSE);
    const unsigned signals[] = {g_unix_signal_add(SIGTERM, Quit, this),
                                g_unix_signal_add(SIGINT, Quit, this),
                                g_unix_signal_add(SIGHUP, Quit, this)};
    g_main_loop_run(loop);
    for (unsigned id : signals) {
        g_source_remove(id);
    }
    if (recheckTimer != 0) {
        g_source_remove(recheckTimer);
        recheckTimer = 0;
    }
    if (storeMonitor != nullptr) {
        g_file_monitor_cancel(storeMonitor);
        g_object_unref(storeMonitor);
        storeMonitor = nullptr;
    }
    saver.StopAndWait();
    source->Disarm();
    source.reset();
    g_main_loop_unref(loop);
    loop = nullptr;
    return exitStatus;
}

bool IdleWatcher::ChooseSource(int* status) {
    *status = 1;
    // GNOME first, on Wayland and X11 alike: its idle monitor, with its
    // session manager's inhibitors beside it.
    if (MutterIdle::Offered()) {
        auto gnome = std::make_unique<MutterIdle>();
        if (gnome->Connect()) {
            source = std::move(gnome);
            return true;
        }
    }
    if (!Env("WAYLAND_DISPLAY").empty()) {
        auto wayland = std::make_unique<WaylandIdle>();
        if (!wayland->Connect()) {
            Say(wayland->error());
            return false;
        }
        source = std::move(wayland);
        return true;
    }
    if (!Env("DISPLAY").empty()) {
        auto x = std::make_unique<XssIdle>();
        if (!x->Connect()) {
            Say(x->error());
            return false;
        }
        // Another host already runs savers here, Tumblix among them when
        // the user picked it: two would fight over the screen.
        if (x->XScreenSaverRuns()) {
            Say("XScreenSaver runs on this display and starts the saver itself; the watcher "
                "leaves it to XScreenSaver");
            *status = 0;
            return false;
        }
        if (SessionBus::HasOwner(SessionBus::Session(), "org.freedesktop.ScreenSaver")) {
            Say("the desktop's own screen saver runs in this session "
                "(org.freedesktop.ScreenSaver); the watcher leaves it to the desktop");
            *status = 0;
            return false;
        }
        source = std::move(x);
        return true;
    }
    Say("no Wayland compositor or X server to watch ($WAYLAND_DISPLAY and $DISPLAY are unset)");
    return false;
}

void IdleWatcher::Idle() {
    Diagnostics::Note("watch: idle");
    idle = true;
    ranThisPeriod = false;
    saidHeld = false;
    MaybeStart();
}

void IdleWatcher::Active() {
    Diagnostics::Note("watch: active");
    idle = false;
    if (recheckTimer != 0) {
        g_source_remove(recheckTimer);
        recheckTimer = 0;
    }
    if (saver.Running()) {
        Diagnostics::Note("watch: ending the saver");
        saver.Stop();
    }
}

void IdleWatcher::MaybeStart() {
    if (!idle || saver.Running() || ranThisPeriod) {
        return;
    }
    if (power.OnBattery()) {
        if (!saidHeld) {
            Diagnostics::Note("watch: on battery: the screen is left to the desktop");
            saidHeld = true;
        }
        return;
    }
    if (source->Inhibited()) {
        if (!saidHeld) {
            Diagnostics::Note("watch: a program holds the session awake");
            saidHeld = true;
        }
        if (recheckTimer == 0) {
            recheckTimer = g_timeout_add_seconds(std::min(seconds, kRecheckSeconds), Recheck, this);
        }
        return;
    }
    std::vector<std::string> argv = {options.program, "--resources", options.resources};
    if (options.verbose) {
        argv.push_back("--verbose");
    }
    if (!source->SaverMode().empty()) {
        argv.push_back(source->SaverMode());
    }
    std::string error;
    if (!saver.Start(argv, &error)) {
        // Once, and no retry until the next idle period.
        Say("cannot start the saver: " + error);
        ranThisPeriod = true;
        return;
    }
    Diagnostics::Note("watch: started the saver (pid " + std::to_string(saver.Pid()) + ")");
}

int IdleWatcher::Recheck(void* data) {
    auto* self = static_cast<IdleWatcher*>(data);
    self->recheckTimer = 0;
    self->MaybeStart();
    return G_SOURCE_REMOVE;
}

void IdleWatcher::SaverEnded(int code, bool stopped) {
    Diagnostics::Note("watch: the saver ended (" +
                      (code >= 0 ? "status " + std::to_string(code) : std::string("a signal")) +
                      ")");
    if (stopped) {
        // Ended by us: for input, or for the battery, after which mains
        // power brings it back within the same idle period.
        MaybeStart();
        return;
    }
    ranThisPeriod = true;
    if (code != 0) {
        Say(code > 0 ? "the saver failed (status " + std::to_string(code) +
                           "); the watcher tries again after the next idle period"
                     : "the saver was killed; the watcher tries again after the next idle "
                       "period");
    }
}

void IdleWatcher::PowerChanged(bool onBattery) {
    if (onBattery && saver.Running()) {
        Diagnostics::Note("watch: on battery: ending the saver");
        saver.Stop();
    } else if (!onBattery) {
        saidHeld = false;
        MaybeStart();
    }
}

void IdleWatcher::Lost(const std::string& why) {
    Say(why + ": the watcher ends");
    exitStatus = 1;
    if (loop != nullptr) {
        g_main_loop_quit(loop);
    }
}

// The settings window changes the minutes, or switches the watcher off, by
// writing the store: the watcher watches the store's folder (the store is
// written to a temporary file renamed over it) and reads the minutes again
// after any change there.
void IdleWatcher::FollowStore() {
    const auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    if (SecondsFromEnvironment() || !store) {
        return;
    }
    gchar* folderPath = g_path_get_dirname(store->path().c_str());
    GFile* folder = g_file_new_for_path(folderPath);
    g_free(folderPath);
    GError* error = nullptr;
    storeMonitor = g_file_monitor_directory(folder, G_FILE_MONITOR_WATCH_MOVES, nullptr, &error);
    g_object_unref(folder);
    if (storeMonitor == nullptr) {
        // The period stays as it was read at the start.
        Diagnostics::Note(std::string("watch: cannot follow the preferences: ") +
                          (error != nullptr ? error->message : "no reason given"));
        g_clear_error(&error);
        return;
    }
    g_signal_connect(
        storeMonitor, "changed",
        G_CALLBACK(+[](GFileMonitor*, GFile*, GFile*, GFileMonitorEvent, gpointer data) {
            static_cast<IdleWatcher*>(data)->StoreChanged();
        }),
        this);
}

void IdleWatcher::StoreChanged() {
    const unsigned now = IdleSeconds();
    if (now == seconds) {
        return;
    }
    if (now == 0) {
        Say("IdleMinutes is now 0: the watcher ends");
        exitStatus = 0;
        g_main_loop_quit(loop);
        return;
    }
    seconds = now;
    // Armed again, the source counts the new period from now; a saver that
    // runs still ends on input by itself.
    source->Disarm();
    idle = false;
    if (!source->Arm(seconds, listener)) {
        Lost(source->error());
        return;
    }
    Diagnostics::Note("watch: " + std::to_string(seconds) + " s of idle from now on");
}

int IdleWatcher::Quit(void* data) {
    auto* self = static_cast<IdleWatcher*>(data);
    g_main_loop_quit(self->loop);
    return G_SOURCE_CONTINUE;
}
