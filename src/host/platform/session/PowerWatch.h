#ifndef TUMBLIX_HOST_PLATFORM_SESSION_POWERWATCH_H
#define TUMBLIX_HOST_PLATFORM_SESSION_POWERWATCH_H

#include <functional>

struct _GDBusProxy;
struct _GParamSpec;
struct _GVariant;

// Whether the machine runs on battery, as UPower tells on the system bus
// (its OnBattery property), followed as it changes. No UPower, or UPower
// gone, counts as mains power.
class PowerWatch {
  public:
    PowerWatch() = default;
    ~PowerWatch();
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    // Called from the main loop when OnBattery() changes.
    std::function<void(bool onBattery)> onChange;

    // Never fails: without a system bus or UPower the machine is on mains.
    void Start();
    bool OnBattery() const { return onBattery; }

  private:
    static void PropertiesChanged(_GDBusProxy*, _GVariant*, const char* const*, void* data);
    static void OwnerChanged(_GDBusProxy*, _GParamSpec*, void* data);
    void Update();

    _GDBusProxy* proxy = nullptr;
    bool onBattery = false;
    bool hadOwner = false;
};

#endif
