#include "host/platform/session/MutterIdle.h"

#include "host/platform/session/SessionBus.h"

#include <gio/gio.h>

namespace {

const char* const kPath = "/org/gnome/Mutter/IdleMonitor/Core";
const char* const kInterface = "org.gnome.Mutter.IdleMonitor";
// GNOME's session manager: IsInhibited's flag for "don't go idle".
const uint32_t kInhibitIdle = 8;
constexpr int kCallMs = 2000;

} // namespace

MutterIdle::~MutterIdle() {
    Disarm();
    if (bus != nullptr) {
        if (subscription != 0) {
            g_dbus_connection_signal_unsubscribe(bus, subscription);
        }
        if (nameWatch != 0) {
            g_bus_unwatch_name(nameWatch);
        }
        if (closedHandler != 0) {
            g_signal_handler_disconnect(bus, closedHandler);
        }
    }
}

bool MutterIdle::Offered() {
    return SessionBus::HasOwner(SessionBus::Session(), BUS_NAME);
}

bool MutterIdle::Connect() {
    bus = SessionBus::Session();
    if (bus == nullptr || !SessionBus::HasOwner(bus, BUS_NAME)) {
        lastError = "GNOME's idle monitor is not on the session bus";
        return false;
    }
    subscription =
        g_dbus_connection_signal_subscribe(bus, BUS_NAME, kInterface, "WatchFired", kPath, nullptr,
                                           G_DBUS_SIGNAL_FLAGS_NONE, Fired, this, nullptr);
    nameWatch = g_bus_watch_name_on_connection(bus, BUS_NAME, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                               nullptr, Vanished, this, nullptr);
    closedHandler = g_signal_connect(bus, "closed", G_CALLBACK(Closed), this);
    return true;
}

bool MutterIdle::AddWatch(const char* method, GVariant* arguments, uint32_t* id) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, BUS_NAME, kPath, kInterface, method, arguments, G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMs, nullptr, &error);
    if (reply == nullptr) {
        lastError = std::string("GNOME's idle monitor refused ") + method + ": " + error->message;
        g_error_free(error);
        return false;
    }
    g_variant_get(reply, "(u)", id);
    g_variant_unref(reply);
    return true;
}

void MutterIdle::RemoveWatch(uint32_t* id) {
    if (*id != 0 && bus != nullptr && !g_dbus_connection_is_closed(bus)) {
        g_dbus_connection_call(bus, BUS_NAME, kPath, kInterface, "RemoveWatch",
                               g_variant_new("(u)", *id), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                               kCallMs, nullptr, nullptr, nullptr);
    }
    *id = 0;
}

bool MutterIdle::Arm(unsigned seconds, const Listener& l) {
    Disarm();
    if (bus == nullptr) {
        lastError = "not connected to GNOME's idle monitor";
        return false;
    }
    listener = l;
    return AddWatch("AddIdleWatch", g_variant_new("(t)", guint64(seconds) * 1000u), &idleWatch);
}

void MutterIdle::Disarm() {
    RemoveWatch(&idleWatch);
    RemoveWatch(&activeWatch);
    listener = Listener{};
}

bool MutterIdle::Inhibited() {
    if (bus == nullptr) {
        return false;
    }
    // No session manager (a bare mutter) holds nothing.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
        "IsInhibited", g_variant_new("(u)", kInhibitIdle), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMs, nullptr, nullptr);
    if (reply == nullptr) {
        return false;
    }
    gboolean inhibited = FALSE;
    g_variant_get(reply, "(b)", &inhibited);
    g_variant_unref(reply);
    return inhibited;
}

void MutterIdle::Fired(GDBusConnection*, const char*, const char*, const char*, const char*,
                       GVariant* parameters, void* data) {
    auto* self = static_cast<MutterIdle*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)"))) {
        return;
    }
    uint32_t id = 0;
    g_variant_get(parameters, "(u)", &id);
    if (id == 0) {
        return;
    }
    if (id == self->idleWatch) {
        // A user-active watch fires once, at the first input after idle.
        if (self->activeWatch == 0 &&
            !self->AddWatch("AddUserActiveWatch", nullptr, &self->activeWatch)) {
            self->Lost(self->lastError);
            return;
        }
        if (self->listener.idle) {
            self->listener.idle();
        }
    } else if (id == self->activeWatch) {
        self->activeWatch = 0;
        if (self->listener.active) {
            self->listener.active();
        }
    }
}

void MutterIdle::Vanished(GDBusConnection*, const char*, void* data) {
    static_cast<MutterIdle*>(data)->Lost("GNOME's idle monitor went away");
}

void MutterIdle::Closed(GDBusConnection*, int, void*, void* data) {
    static_cast<MutterIdle*>(data)->Lost("the session bus went away");
}

void MutterIdle::Lost(const std::string& why) {
    if (lostOnce) {
        return;
    }
    lostOnce = true;
    lastError = why;
    idleWatch = activeWatch = 0;
    if (listener.lost) {
        listener.lost(why);
    }
}
