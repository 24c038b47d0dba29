#include "host/platform/session/SessionBus.h"

#include <gio/gio.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

// How long a question to a bus may take before it counts as unanswered.
constexpr int kCallMs = 2000;

GDBusConnection* Open(GBusType type) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(type, nullptr, &error);
    if (bus == nullptr) {
        g_error_free(error);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

} // namespace

GDBusConnection* SessionBus::Session() {
    static GDBusConnection* bus = nullptr;
    if (bus == nullptr) {
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        struct stat st;
        const bool there =
            (address != nullptr && address[0] != '\0') ||
            (runtime != nullptr && stat((std::string(runtime) + "/bus").c_str(), &st) == 0);
        bus = there ? Open(G_BUS_TYPE_SESSION) : nullptr;
    }
    return bus;
}

GDBusConnection* SessionBus::System() {
    static GDBusConnection* bus = nullptr;
    if (bus == nullptr) {
        bus = Open(G_BUS_TYPE_SYSTEM);
    }
    return bus;
}

bool SessionBus::HasOwner(GDBusConnection* bus, const std::string& name) {
    if (bus == nullptr) {
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, kCallMs, nullptr, nullptr);
    if (reply == nullptr) {
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}
