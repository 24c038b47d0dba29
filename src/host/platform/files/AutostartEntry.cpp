#include "host/platform/files/AutostartEntry.h"

#include "host/platform/files/UserFolders.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

// A program path as an Exec key's first word: quoted where it holds
// anything but the plainest characters, with the desktop-entry escapes.
std::string ExecWord(const std::string& path) {
    if (path.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+-") ==
        std::string::npos) {
        return path;
    }
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string AutostartEntry::Path() {
    return UserConfigHome() + "/autostart/tumblix-watch.desktop";
}

bool AutostartEntry::Enabled() {
    GKeyFile* entry = g_key_file_new();
    bool on = false;
    if (g_key_file_load_from_file(entry, Path().c_str(), G_KEY_FILE_NONE, nullptr)) {
        const char* group = G_KEY_FILE_DESKTOP_GROUP;
        on = !g_key_file_get_boolean(entry, group, "Hidden", nullptr);
        GError* error = nullptr;
        const bool gnome =
            g_key_file_get_boolean(entry, group, "X-GNOME-Autostart-enabled", &error);
        if (error == nullptr) {
            on = on && gnome;
        } else {
            g_error_free(error);
        }
    }
    g_key_file_free(entry);
    return on;
}

bool AutostartEntry::Enable(const std::string& program, std::string* error) {
    const std::string path = Path();
    const std::string folder = path.substr(0, path.rfind('/'));
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        *error = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (program.find_first_of("\n\r") != std::string::npos) {
        *error = "the program's path cannot be written in an autostart entry";
        return false;
    }
    // The key file's own escape: a backslash is written twice.
    std::string exec;
    for (char c : ExecWord(program) + " --watch") {
        exec += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    const std::string text = std::string("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tumblix\n"
                                         "Comment=Starts the Tumblix screen saver when the "
                                         "session is idle\n"
                                         "Exec=") +
                             exec +
                             "\n"
                             "Icon=preferences-desktop-screensaver\n"
                             "Terminal=false\n"
                             "NoDisplay=true\n"
                             "X-GNOME-Autostart-enabled=true\n"
                             "Hidden=false\n";
    GError* failure = nullptr;
    if (!g_file_set_contents(path.c_str(), text.c_str(), gssize(text.size()), &failure)) {
        *error = failure->message;
        g_error_free(failure);
        return false;
    }
    return true;
}

bool AutostartEntry::Disable(std::string* error) {
    if (unlink(Path().c_str()) != 0 && errno != ENOENT) {
        *error = "cannot remove " + Path() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string AutostartEntry::ThisProgram() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, size_t(n)) : std::string("tumblix");
}
