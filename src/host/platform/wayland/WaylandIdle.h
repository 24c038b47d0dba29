#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDIDLE_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_WAYLANDIDLE_H

#include "host/IdleSource.h"

#include <glib.h>

#include <cstdint>
#include <string>

struct ext_idle_notification_v1;
struct ext_idle_notifier_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
struct wl_display;
struct wl_registry;
struct wl_seat;

// Idle as the Wayland compositor tells it: ext_idle_notifier_v1 where
// offered, else KDE's org_kde_kwin_idle. Both are withheld by the
// compositor while an idle inhibitor is active, so a playing video holds
// the saver off without our asking. Its own connection, read from GLib's
// main loop.
class WaylandIdle : public IdleSource {
  public:
    WaylandIdle();
    ~WaylandIdle() override;
    WaylandIdle(const WaylandIdle&) = delete;
    WaylandIdle& operator=(const WaylandIdle&) = delete;

    // Connects to $WAYLAND_DISPLAY and learns what it offers. False, with
    // error(), when there is no compositor or it offers no idle protocol.
    bool Connect();

    bool Arm(unsigned seconds, const Listener& listener) override;
    void Disarm() override;
    std::string Name() const override;
    std::string SaverMode() const override { return layerShell ? "--wayland" : ""; }
    const std::string& error() const override { return lastError; }

  private:
    static void Global(void* data, wl_registry*, uint32_t name, const char* interface,
                       uint32_t version);
    static void GlobalRemove(void*, wl_registry*, uint32_t) {}
    static int Readable(int fd, GIOCondition condition, void* data);
    void Idled();
    void Resumed();
    void Lost();
    void Close();

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
    ext_idle_notification_v1* notification = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
    bool layerShell = false;
    unsigned watchId = 0;
    Listener listener;
    std::string lastError;
};

#endif
