#ifndef TUMBLIX_HOST_IDLESOURCE_H
#define TUMBLIX_HOST_IDLESOURCE_H

#include <functional>
#include <string>

// Where the watcher hears that the session has gone idle and come back: the
// compositor, the desktop's idle monitor or the X server. Each source lives
// on GLib's default main context, on the main thread, and calls its
// listener from there.
class IdleSource {
  public:
    struct Listener {
        std::function<void()> idle;   // no input for the whole period
        std::function<void()> active; // input again after idle
        // The source is gone for good (the compositor or the bus went away).
        std::function<void(const std::string& why)> lost;
    };
    virtual ~IdleSource() = default;

    // Starts watching for `seconds` of idle; false, with error(), when the
    // source cannot. A source armed again forgets its earlier period.
    virtual bool Arm(unsigned seconds, const Listener& listener) = 0;
    virtual void Disarm() = 0;
    // Whether a program holds the session awake now, where the source
    // itself does not withhold idle for it.
    virtual bool Inhibited() { return false; }
    // What the watcher names the source by ("ext-idle-notify-v1", ...).
    virtual std::string Name() const = 0;
    // The saver's mode for this session: "--wayland" where the compositor
    // offers overlay surfaces, else "" (the full-screen windows).
    virtual std::string SaverMode() const { return ""; }
    virtual const std::string& error() const = 0;
};

#endif
