#ifndef TUMBLIX_HOST_PLATFORM_SESSION_MUTTERIDLE_H
#define TUMBLIX_HOST_PLATFORM_SESSION_MUTTERIDLE_H

#include "host/IdleSource.h"

#include <cstdint>
#include <string>

struct _GDBusConnection;
struct _GVariant;

// Idle on GNOME: the shell's idle monitor on the session bus
// (org.gnome.Mutter.IdleMonitor): an idle watch for the period, and a
// user-active watch armed each time it fires. GNOME's session manager keeps
// the "don't blank" requests of players (its idle inhibitors), which the
// monitor does not withhold idle for: Inhibited() asks it.
class MutterIdle : public IdleSource {
  public:
    static constexpr const char* BUS_NAME = "org.gnome.Mutter.IdleMonitor";

    MutterIdle() = default;
    ~MutterIdle() override;
    MutterIdle(const MutterIdle&) = delete;
    MutterIdle& operator=(const MutterIdle&) = delete;

    // Whether the session bus carries GNOME's idle monitor.
    static bool Offered();
    // Connects to it; false, with error(), when it does not answer.
    bool Connect();

    bool Arm(unsigned seconds, const Listener& listener) override;
    void Disarm() override;
    bool Inhibited() override;
    std::string Name() const override { return BUS_NAME; }
    const std::string& error() const override { return lastError; }

  private:
    static void Fired(_GDBusConnection*, const char*, const char*, const char*, const char*,
                      _GVariant* parameters, void* data);
    static void Vanished(_GDBusConnection*, const char*, void* data);
    static void Closed(_GDBusConnection*, int, void*, void* data);
    bool AddWatch(const char* method, _GVariant* arguments, uint32_t* id);
    void RemoveWatch(uint32_t* id);
    void Lost(const std::string& why);

    _GDBusConnection* bus = nullptr;
    unsigned subscription = 0;
    unsigned nameWatch = 0;
    unsigned long closedHandler = 0;
    uint32_t idleWatch = 0;
    uint32_t activeWatch = 0;
    bool lostOnce = false;
    Listener listener;
    std::string lastError;
};

#endif
