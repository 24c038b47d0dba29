#include "host/platform/wayland/WaylandIdle.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"
#include <glib-unix.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

WaylandIdle::WaylandIdle() = default;

WaylandIdle::~WaylandIdle() {
    Close();
}

bool WaylandIdle::Connect() {
    Close();
    display = wl_display_connect(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        lastError = std::string("cannot reach the Wayland compositor ") +
                    (name != nullptr ? name : "wayland-0") + ": " + std::strerror(errno);
        return false;
    }
    static const wl_registry_listener registryListener = {Global, GlobalRemove};
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    if (wl_display_roundtrip(display) < 0) {
        lastError = "the Wayland compositor went away while we listed its globals";
        Close();
        return false;
    }
    if (seat == nullptr || (notifier == nullptr && kdeIdle == nullptr)) {
        lastError = "the Wayland compositor offers no idle notification (ext_idle_notifier_v1 "
                    "or org_kde_kwin_idle)";
        Close();
        return false;
    }
    watchId = g_unix_fd_add(wl_display_get_fd(display), GIOCondition(G_IO_IN | G_IO_ERR | G_IO_HUP),
                            Readable, this);
    return true;
}

void WaylandIdle::Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t) {
    auto* self = static_cast<WaylandIdle*>(data);
    const std::string which = interface;
    if (which == wl_seat_interface.name && self->seat == nullptr) {
        // The first seat: the one a desktop session has.
        self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (which == ext_idle_notifier_v1_interface.name) {
        self->notifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (which == org_kde_kwin_idle_interface.name) {
        self->kdeIdle = static_cast<org_kde_kwin_idle*>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    } else if (which == "zwlr_layer_shell_v1") {
        self->layerShell = true;
    }
}

std::string WaylandIdle::Name() const {
    return notifier != nullptr ? "ext-idle-notify-v1" : "org_kde_kwin_idle";
}

bool WaylandIdle::Arm(unsigned seconds, const Listener& l) {
    Disarm();
    if (display == nullptr) {
        lastError = "not connected to a Wayland compositor";
        return false;
    }
    listener = l;
    const uint32_t ms = seconds > 4000000 ? 4000000000u : seconds * 1000u;
    if (notifier != nullptr) {
        static const ext_idle_notification_v1_listener events = {
            [](void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->Idled(); },
            [](void* data, ext_idle_notification_v1*) {
                static_cast<WaylandIdle*>(data)->Resumed();
            }};
        notification = ext_idle_notifier_v1_get_idle_notification(notifier, ms, seat);
        ext_idle_notification_v1_add_listener(notification, &events, this);
    } else {
        static const org_kde_kwin_idle_timeout_listener events = {
            [](void* data, org_kde_kwin_idle_timeout*) {
                static_cast<WaylandIdle*>(data)->Idled();
            },
            [](void* data, org_kde_kwin_idle_timeout*) {
                static_cast<WaylandIdle*>(data)->Resumed();
            }};
        kdeTimeout = org_kde_kwin_idle_get_idle_timeout(kdeIdle, seat, ms);
        org_kde_kwin_idle_timeout_add_listener(kdeTimeout, &events, this);
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        lastError = std::string("the Wayland compositor went away: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void WaylandIdle::Disarm() {
    if (notification != nullptr) {
        ext_idle_notification_v1_destroy(notification);
        notification = nullptr;
    }
    if (kdeTimeout != nullptr) {
        org_kde_kwin_idle_timeout_release(kdeTimeout);
        kdeTimeout = nullptr;
    }
    if (display != nullptr) {
        wl_display_flush(display);
    }
    listener = Listener{};
}

int WaylandIdle::Readable(int, GIOCondition condition, void* data) {
    auto* self = static_cast<WaylandIdle*>(data);
    // A hang-up may still leave the compositor's last words to read.
    if (wl_display_dispatch(self->display) < 0 || (condition & (G_IO_ERR | G_IO_HUP)) != 0) {
        self->watchId = 0;
        self->Lost();
        return G_SOURCE_REMOVE;
    }
    wl_display_flush(self->display);
    return G_SOURCE_CONTINUE;
}

void WaylandIdle::Idled() {
    if (listener.idle) {
        listener.idle();
    }
}

void WaylandIdle::Resumed() {
    if (listener.active) {
        listener.active();
    }
}

void WaylandIdle::Lost() {
    const int code = wl_display_get_error(display);
    lastError = code == EPROTO ? "the Wayland compositor ended the connection over a protocol error"
                               : "the Wayland compositor went away";
    if (listener.lost) {
        listener.lost(lastError);
    }
}

void WaylandIdle::Close() {
    if (watchId != 0) {
        g_source_remove(watchId);
        watchId = 0;
    }
    Disarm();
    if (notifier != nullptr) {
        ext_idle_notifier_v1_destroy(notifier);
        notifier = nullptr;
    }
    if (kdeIdle != nullptr) {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(kdeIdle));
        kdeIdle = nullptr;
    }
    if (seat != nullptr) {
        wl_seat_destroy(seat);
        seat = nullptr;
    }
    if (registry != nullptr) {
        wl_registry_destroy(registry);
        registry = nullptr;
    }
    if (display != nullptr) {
        wl_display_disconnect(display);
        display = nullptr;
    }
    layerShell = false;
}
