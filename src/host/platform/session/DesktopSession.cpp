#include "host/platform/session/DesktopSession.h"

#include <gio/gio.h>

#include <cstdlib>

bool DesktopSession::StartWatcher(const std::string& program, std::string* error) {
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--watch"), nullptr};
    GError* failure = nullptr;
    // GLib reaps it should it end while the window is still open.
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                       &failure)) {
        *error = failure->message;
        g_error_free(failure);
        return false;
    }
    return true;
}

int DesktopSession::GnomeBlankSeconds() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop == nullptr || std::string(desktop).find("GNOME") == std::string::npos) {
        return 0;
    }
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        schemas != nullptr
            ? g_settings_schema_source_lookup(schemas, "org.gnome.desktop.session", TRUE)
            : nullptr;
    if (schema == nullptr) {
        return 0;
    }
    int seconds = 0;
    if (g_settings_schema_has_key(schema, "idle-delay")) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        const guint delay = g_settings_get_uint(settings, "idle-delay");
        seconds = delay > 1000000 ? 1000000 : int(delay);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return seconds;
}
