#include "host/platform/session/PowerWatch.h"

#include "host/Diagnostics.h"
#include "host/platform/session/SessionBus.h"

#include <gio/gio.h>

#include <cstdio>

PowerWatch::~PowerWatch() {
    if (proxy != nullptr) {
        g_signal_handlers_disconnect_by_data(proxy, this);
        g_object_unref(proxy);
    }
}

void PowerWatch::Start() {
    GDBusConnection* bus = SessionBus::System();
    if (bus == nullptr || proxy != nullptr) {
        return;
    }
    // Not started on demand: a machine without UPower is on mains.
    proxy = g_dbus_proxy_new_sync(bus, G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START, nullptr,
                                  "org.freedesktop.UPower", "/org/freedesktop/UPower",
                                  "org.freedesktop.UPower", nullptr, nullptr);
    if (proxy == nullptr) {
        return;
    }
    g_signal_connect(proxy, "g-properties-changed", G_CALLBACK(PropertiesChanged), this);
    g_signal_connect(proxy, "notify::g-name-owner", G_CALLBACK(OwnerChanged), this);
    Update();
}

void PowerWatch::PropertiesChanged(GDBusProxy*, GVariant*, const char* const*, void* data) {
    static_cast<PowerWatch*>(data)->Update();
}

void PowerWatch::OwnerChanged(GDBusProxy*, GParamSpec*, void* data) {
    static_cast<PowerWatch*>(data)->Update();
}

void PowerWatch::Update() {
    gchar* owner = g_dbus_proxy_get_name_owner(proxy);
    const bool hasOwner = owner != nullptr;
    g_free(owner);
    if (hadOwner && !hasOwner) {
        std::fprintf(stderr, "tumblix: UPower went away: carrying on as on mains power\n");
    }
    hadOwner = hasOwner;
    bool battery = false;
    if (GVariant* value = g_dbus_proxy_get_cached_property(proxy, "OnBattery")) {
        battery = hasOwner && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                  g_variant_get_boolean(value);
        g_variant_unref(value);
    }
    if (battery != onBattery) {
        onBattery = battery;
        Diagnostics::Note(battery ? "watch: on battery" : "watch: on mains power");
        if (onChange) {
            onChange(battery);
        }
    }
}
