#include "host/platform/files/DesktopPicture.h"

#include "host/platform/files/RegularFile.h"
#include "host/platform/x11/XWindows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Desktop settings files are a few kilobytes; anything near this is not one.
const off_t kSettingsFileLimit = 4 << 20;

bool IsRegularFile(const std::string& path) {
    struct stat info;
    const int fd = OpenRegularFile(path, &info);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

// A settings file of bounded size, whole; false for anything else.
bool ReadSettingsFile(const std::string& path, std::string* text) {
    struct stat info;
    const int fd = OpenRegularFile(path, &info);
    if (fd < 0) {
        return false;
    }
    bool ok = info.st_size <= kSettingsFileLimit;
    text->clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text->append(buffer, size_t(n));
        ok = text->size() <= size_t(kSettingsFileLimit); // it may have grown
    }
    close(fd);
    return ok;
}

// The local path a setting names: an absolute path, or a file:// address
// of this machine. Empty for anything else.
std::string PathOf(const std::string& value) {
    if (!value.empty() && value[0] == '/') {
        return value;
    }
    gchar* host = nullptr;
    gchar* path = g_filename_from_uri(value.c_str(), &host, nullptr);
    std::string result;
    // file://elsewhere/... names a file on another machine.
    if (path != nullptr && (host == nullptr || g_ascii_strcasecmp(host, "localhost") == 0)) {
        result = path;
    }
    g_free(host);
    g_free(path);
    return result;
}

// GSettings -----------------------------------------------------------------

// The settings of a schema when the source has it with the key asked for.
GSettings* OpenSettings(const DesktopPictureQuery& q, const char* id, const char* key) {
    GSettingsSchemaSource* source =
        q.schemas != nullptr ? q.schemas : g_settings_schema_source_get_default();
    if (source == nullptr) {
        return nullptr;
    }
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (schema == nullptr) {
        return nullptr;
    }
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, key)) {
        settings = g_settings_new_full(schema, q.backend, nullptr);
    }
    g_settings_schema_unref(schema);
    return settings;
}

// A key whose value is a string (an enum reads as its nick).
std::string ReadString(GSettings* settings, const char* key) {
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    const bool has = schema != nullptr && g_settings_schema_has_key(schema, key);
    if (schema != nullptr) {
        g_settings_schema_unref(schema);
    }
    if (!has) {
        return std::string();
    }
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

std::string SettingsString(const DesktopPictureQuery& q, const char* id, const char* key) {
    GSettings* settings = OpenSettings(q, id, key);
    if (settings == nullptr) {
        return std::string();
    }
    std::string text = ReadString(settings, key);
    g_object_unref(settings);
    return text;
}

std::string GnomePicture(const DesktopPictureQuery& q) {
    const char* id = "org.gnome.desktop.background";
    std::string uri;
    if (SettingsString(q, "org.gnome.desktop.interface", "color-scheme") == "prefer-dark") {
        uri = SettingsString(q, id, "picture-uri-dark");
    }
    if (uri.empty()) {
        uri = SettingsString(q, id, "picture-uri");
    }
    return PathOf(uri);
}

std::string CinnamonPicture(const DesktopPictureQuery& q) {
    return PathOf(SettingsString(q, "org.cinnamon.desktop.background", "picture-uri"));
}

std::string MatePicture(const DesktopPictureQuery& q) {
    return PathOf(SettingsString(q, "org.mate.background", "picture-filename"));
}

// Xfce ----------------------------------------------------------------------

// The string properties of an xfconf channel, by their slash-joined path
// ("backdrop/screen0/monitor0/workspace0/last-image"), in file order.
struct ChannelReader {
    std::vector<std::string> open;
    std::vector<std::pair<std::string, std::string>> strings;

    static void Start(GMarkupParseContext*, const gchar* element, const gchar** names,
                      const gchar** values, gpointer data, GError**) {
        ChannelReader* self = static_cast<ChannelReader*>(data);
        if (std::strcmp(element, "property") != 0) {
            return;
        }
        const char *name = "", *type = "", *value = nullptr;
        for (int i = 0; names[i] != nullptr; i++) {
            if (std::strcmp(names[i], "name") == 0) {
                name = values[i];
            } else if (std::strcmp(names[i], "type") == 0) {
                type = values[i];
            } else if (std::strcmp(names[i], "value") == 0) {
                value = values[i];
            }
        }
        std::string path;
        for (const std::string& part : self->open) {
            path += part + "/";
        }
        path += name;
        if (std::strcmp(type, "string") == 0 && value != nullptr) {
            self->strings.emplace_back(path, value);
        }
        self->open.push_back(name);
    }
    static void End(GMarkupParseContext*, const gchar* element, gpointer data, GError**) {
        ChannelReader* self = static_cast<ChannelReader*>(data);
        if (std::strcmp(element, "property") == 0 && !self->open.empty()) {
            self->open.pop_back();
        }
    }
};

std::string XfcePicture(const DesktopPictureQuery& q) {
    std::string text;
    if (q.configHome.empty() ||
        !ReadSettingsFile(q.configHome + "/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml",
                          &text)) {
        return std::string();
    }
    ChannelReader reader;
    GMarkupParser parser = {ChannelReader::Start, ChannelReader::End, nullptr, nullptr, nullptr};
    GMarkupParseContext* context =
        g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &reader, nullptr);
    const bool parsed =
        g_markup_parse_context_parse(context, text.data(), gssize(text.size()), nullptr) &&
        g_markup_parse_context_end_parse(context, nullptr);
    g_markup_parse_context_free(context);
    if (!parsed) {
        return std::string();
    }
    // Xfce names a monitor after its output since 4.14, by number before.
    const std::string screen = "backdrop/screen0/";
    const std::string tail = "/workspace0/last-image";
    std::vector<std::string> ours;
    if (!q.monitorName.empty()) {
        ours.push_back(screen + "monitor" + q.monitorName + tail);
    }
    ours.push_back(screen + "monitor" + std::to_string(q.monitor) + tail);
    for (const std::string& wanted : ours) {
        for (const auto& [path, value] : reader.strings) {
            if (path == wanted && !value.empty()) {
                return PathOf(value);
            }
        }
    }
    // Our monitor has none of its own: any monitor's.
    for (const auto& [path, value] : reader.strings) {
        if (path.size() > screen.size() + tail.size() &&
            path.compare(0, screen.size(), screen) == 0 &&
            path.compare(path.size() - tail.size(), tail.size(), tail) == 0 &&
            path.find('/', screen.size()) == path.size() - tail.size() && !PathOf(value).empty()) {
            return PathOf(value);
        }
    }
    return std::string();
}

// KDE Plasma ----------------------------------------------------------------

// Plasma's own wallpapers are folders holding the picture in several sizes
// (contents/images/1920x1080.jpg, ...): the largest one of them.
std::string LargestOfPackage(const std::string& folder) {
    const std::string images = folder + (folder.back() == '/' ? "" : "/") + "contents/images/";
    GDir* dir = g_dir_open(images.c_str(), 0, nullptr);
    if (dir == nullptr) {
        return folder;
    }
    std::string best = folder;
    double bestArea = 0;
    while (const char* name = g_dir_read_name(dir)) {
        unsigned w = 0, h = 0;
        char x = 0;
        if (std::sscanf(name, "%u%c%u", &w, &x, &h) == 3 && x == 'x' &&
            double(w) * double(h) > bestArea && IsRegularFile(images + name)) {
            bestArea = double(w) * double(h);
            best = images + name;
        }
    }
    g_dir_close(dir);
    return best;
}

// KDE's settings files nest groups as [a][b][c], which GKeyFile refuses;
// written as [a/b/c] they read as ordinary groups.
bool LoadKdeSettings(const std::string& path, GKeyFile* file) {
    std::string text;
    if (!ReadSettingsFile(path, &text)) {
        return false;
    }
    std::string flat;
    flat.reserve(text.size());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            std::string name = line.substr(1, line.size() - 2);
            for (size_t at = name.find("]["); at != std::string::npos; at = name.find("][", at)) {
                name.replace(at, 2, "/");
            }
            line = "[" + name + "]";
        }
        flat += line;
        flat += '\n';
        start = end + 1;
    }
    return g_key_file_load_from_data(file, flat.data(), flat.size(), G_KEY_FILE_NONE, nullptr);
}

std::string KeyString(GKeyFile* file, const std::string& group, const char* key) {
    gchar* value = g_key_file_get_string(file, group.c_str(), key, nullptr);
    std::string text = value != nullptr ? value : "";
    g_free(value);
    return text;
}

std::string KdePicture(const DesktopPictureQuery& q) {
    GKeyFile* file = g_key_file_new();
    if (q.configHome.empty() ||
        !LoadKdeSettings(q.configHome + "/plasma-org.kde.plasma.desktop-appletsrc", file)) {
        g_key_file_free(file);
        return std::string();
    }
    // Each activity has its own desktop on every screen.
    std::string activity;
    GKeyFile* activities = g_key_file_new();
    if (LoadKdeSettings(q.configHome + "/kactivitymanagerdrc", activities)) {
        activity = KeyString(activities, "main", "currentActivity");
    }
    g_key_file_free(activities);

    std::string best, onOurScreen, any;
    gsize count = 0;
    gchar** groups = g_key_file_get_groups(file, &count);
    for (gsize i = 0; i < count; i++) {
        const std::string group = groups[i];
        const std::string prefix = "Containments/";
        if (group.compare(0, prefix.size(), prefix) != 0 || group.size() == prefix.size() ||
            group.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
            continue;
        }
        const std::string plugin = KeyString(file, group, "wallpaperplugin");
        const std::string formFactor = KeyString(file, group, "formfactor");
        if ((!plugin.empty() && plugin != "org.kde.image") ||
            (!formFactor.empty() && formFactor != "0") ||
            KeyString(file, group, "plugin") == "org.kde.panel") {
            continue; // a panel, or a desktop showing something else
        }
        std::string image =
            PathOf(KeyString(file, group + "/Wallpaper/org.kde.image/General", "Image"));
        if (image.empty()) {
            continue;
        }
        if (g_file_test(image.c_str(), G_FILE_TEST_IS_DIR)) {
            image = LargestOfPackage(image);
        }
        const bool ours = KeyString(file, group, "lastScreen") == std::to_string(q.monitor);
        if (ours && !activity.empty() && KeyString(file, group, "activityId") == activity) {
            best = image;
            break;
        }
        if (ours && onOurScreen.empty()) {
            onOurScreen = image;
        }
        if (any.empty()) {
            any = image;
        }
    }
    g_strfreev(groups);
    g_key_file_free(file);
    return !best.empty() ? best : !onOurScreen.empty() ? onOurScreen : any;
}

// Which desktop --------------------------------------------------------------

enum class Desktop { Gnome, Cinnamon, Mate, Xfce, Kde };

Desktop DesktopOf(const std::string& desktops) {
    gchar** names = g_strsplit(desktops.c_str(), ":", -1);
    Desktop found = Desktop::Gnome;
    bool known = false;
    for (gchar** name = names; *name != nullptr && !known; name++) {
        known = true;
        if (g_ascii_strcasecmp(*name, "X-Cinnamon") == 0 ||
            g_ascii_strcasecmp(*name, "Cinnamon") == 0) {
            found = Desktop::Cinnamon;
        } else if (g_ascii_strcasecmp(*name, "MATE") == 0) {
            found = Desktop::Mate;
        } else if (g_ascii_strcasecmp(*name, "XFCE") == 0) {
            found = Desktop::Xfce;
        } else if (g_ascii_strcasecmp(*name, "KDE") == 0) {
            found = Desktop::Kde;
        } else if (g_ascii_strcasecmp(*name, "GNOME") == 0) {
            found = Desktop::Gnome;
        } else {
            known = false;
        }
    }
    g_strfreev(names);
    return found; // none we know: GNOME's settings, when they are installed
}

} // namespace

std::string DesktopPictureFor(const DesktopPictureQuery& q) {
    std::string path;
    switch (DesktopOf(q.desktops)) {
    case Desktop::Gnome:
        path = GnomePicture(q);
        break;
    case Desktop::Cinnamon:
        path = CinnamonPicture(q);
        break;
    case Desktop::Mate:
        path = MatePicture(q);
        break;
    case Desktop::Xfce:
        path = XfcePicture(q);
        break;
    case Desktop::Kde:
        path = KdePicture(q);
        break;
    }
    // A FIFO or a device would hang or feed the picture reader endlessly.
    return !path.empty() && IsRegularFile(path) ? path : std::string();
}

std::string CurrentDesktopPicture(int screenNumber, const NSRect& screenFrame) {
    DesktopPictureQuery q;
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    q.desktops = desktops != nullptr ? desktops : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && config[0] == '/') {
        q.configHome = config;
    } else if (home != nullptr) {
        q.configHome = std::string(home) + "/.config";
    }
    q.monitor = screenNumber;
    q.monitorName = MonitorNameAt(screenFrame);
    return DesktopPictureFor(q);
}
