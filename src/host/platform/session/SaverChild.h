#ifndef TUMBLIX_HOST_PLATFORM_SESSION_SAVERCHILD_H
#define TUMBLIX_HOST_PLATFORM_SESSION_SAVERCHILD_H

#include <functional>
#include <string>
#include <vector>

// The saver the watcher runs: one child process, started from GLib's main
// loop and reaped there. Stop asks it to end with SIGTERM and kills it when
// it has not within a few seconds, so no saver is ever left behind.
class SaverChild {
  public:
    // How long a saver may take to end after SIGTERM before it is killed.
    static constexpr unsigned STOP_SECONDS = 5;

    SaverChild() = default;
    ~SaverChild();
    SaverChild(const SaverChild&) = delete;
    SaverChild& operator=(const SaverChild&) = delete;

    // Called from the main loop once the child has been reaped: its exit
    // status (-1 for a death by signal) and whether Stop had asked it to end.
    std::function<void(int status, bool stopped)> onExit;

    // Starts argv[0] with the rest; false, with the reason, when it cannot
    // run (or one still runs). The child dies with the watcher.
    bool Start(const std::vector<std::string>& argv, std::string* error);
    // Started and not reaped yet (ending ones included).
    bool Running() const { return pid > 0; }
    int Pid() const { return pid; }
    // Asks it to end; kills it after STOP_SECONDS. Safe to repeat.
    void Stop();
    // Stops it and waits for it here, at most STOP_SECONDS and the kill:
    // for the watcher's own end, when no main loop runs any more.
    void StopAndWait();

  private:
    static void Exited(int pid, int status, void* data);
    static int KillLate(void* data);
    void Forget();

    int pid = 0;
    unsigned childWatch = 0;
    unsigned killTimer = 0;
    bool stopping = false;
};

#endif
