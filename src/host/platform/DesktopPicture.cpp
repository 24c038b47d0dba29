#include "host/platform/DesktopPicture.h"

#include <gio/gio.h>

namespace {

// The settings of a schema when the source has it with every key asked for.
GSettings* OpenSettings(GSettingsSchemaSource* source, GSettingsBackend* backend, const char* id,
                        const char* key) {
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (schema == nullptr) {
        return nullptr;
    }
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, key)) {
        settings = g_settings_new_full(schema, backend, nullptr);
    }
    g_settings_schema_unref(schema);
    return settings;
}

// A string key whose value has type "s" (enums read as their nick too).
std::string ReadString(GSettings* settings, const char* key) {
    GVariant* value = g_settings_get_value(settings, key);
    std::string text;
    if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
        text = g_variant_get_string(value, nullptr);
    }
    if (value != nullptr) {
        g_variant_unref(value);
    }
    return text;
}

bool PrefersDark(GSettingsSchemaSource* source, GSettingsBackend* backend) {
    GSettings* settings =
        OpenSettings(source, backend, "org.gnome.desktop.interface", "color-scheme");
    if (settings == nullptr) {
        return false;
    }
    const bool dark = ReadString(settings, "color-scheme") == "prefer-dark";
    g_object_unref(settings);
    return dark;
}

std::string PathOfUri(const std::string& uri) {
    if (!uri.empty() && uri[0] == '/') {
        return uri; // a plain path works for GNOME too
    }
    gchar* host = nullptr;
    gchar* path = g_filename_from_uri(uri.c_str(), &host, nullptr);
    std::string result;
    // file://elsewhere/... names a file on another machine.
    if (path != nullptr && (host == nullptr || g_ascii_strcasecmp(host, "localhost") == 0)) {
        result = path;
    }
    g_free(host);
    g_free(path);
    return result;
}

} // namespace

std::string GnomeDesktopPictureFrom(GSettingsSchemaSource* source, GSettingsBackend* backend) {
    if (source == nullptr) {
        source = g_settings_schema_source_get_default();
        if (source == nullptr) {
            return std::string();
        }
    }
    GSettings* settings =
        OpenSettings(source, backend, "org.gnome.desktop.background", "picture-uri");
    if (settings == nullptr) {
        return std::string();
    }
    std::string uri;
    if (PrefersDark(source, backend)) {
        GSettingsSchema* schema = nullptr;
        g_object_get(settings, "settings-schema", &schema, nullptr);
        if (schema != nullptr && g_settings_schema_has_key(schema, "picture-uri-dark")) {
            uri = ReadString(settings, "picture-uri-dark");
        }
        if (schema != nullptr) {
            g_settings_schema_unref(schema);
        }
    }
    if (uri.empty()) {
        uri = ReadString(settings, "picture-uri");
    }
    g_object_unref(settings);
    return PathOfUri(uri);
}

std::string GnomeDesktopPicture(int) {
    return GnomeDesktopPictureFrom(nullptr, nullptr);
}
