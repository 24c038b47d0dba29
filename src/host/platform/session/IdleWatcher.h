#ifndef TUMBLIX_HOST_PLATFORM_SESSION_IDLEWATCHER_H
#define TUMBLIX_HOST_PLATFORM_SESSION_IDLEWATCHER_H

#include "host/IdleSource.h"
#include "host/platform/session/PowerWatch.h"
#include "host/platform/session/SaverChild.h"

#include <memory>
#include <string>
#include <vector>

struct _GMainLoop;
struct _GFileMonitor;

// tumblix --watch: stays in the session, starts the saver as a child after
// the idle period and ends it when input comes back, then waits again.
// Everything runs on GLib's main loop on this thread: the idle source, the
// battery, the child, the signals, and the preference file, whose minutes it
// follows while it runs (0 ends it: the settings window switched it off).
class IdleWatcher {
  public:
    struct Options {
        std::string program;   // this program, run as the saver
        std::string resources; // passed on to the saver
        bool verbose = false;  // passed on to the saver
    };

    IdleWatcher() = default;
    IdleWatcher(const IdleWatcher&) = delete;
    IdleWatcher& operator=(const IdleWatcher&) = delete;

    // Runs until SIGTERM, SIGINT or SIGHUP (0), or until the session is
    // gone (1). 0 at once when another watcher or another screen-saver host
    // runs in this session.
    int Run(const Options& options);

  private:
    bool ChooseSource(int* status);
    void Idle();
    void Active();
    void MaybeStart();
    void SaverEnded(int status, bool stopped);
    void PowerChanged(bool onBattery);
    void Lost(const std::string& why);
    void FollowStore();
    void StoreChanged();
    static int Recheck(void* data);
    static int Quit(void* data);

    Options options;
    std::unique_ptr<IdleSource> source;
    IdleSource::Listener listener;
    _GFileMonitor* storeMonitor = nullptr; // the preference folder, while the store sets the period
    PowerWatch power;
    SaverChild saver;
    _GMainLoop* loop = nullptr;
    unsigned seconds = 0;
    bool idle = false;
    bool ranThisPeriod = false; // a saver ran in this idle period and ended by itself
    bool saidHeld = false;      // the reason it stays away was told in this period
    unsigned recheckTimer = 0;
    int exitStatus = 0;
};

#endif
