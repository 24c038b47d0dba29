#include "host/platform/files/UserFolders.h"

#include <cstdlib>
#include <glib.h>

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    return g_get_home_dir();
}

std::string WithoutTrailingSlash(std::string path) {
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string BaseFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        return WithoutTrailingSlash(value);
    }
    return WithoutTrailingSlash(HomeFolder()) + underHome;
}

} // namespace

std::string UserConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", "/.config");
}

std::string UserDataHome() {
    return BaseFolder("XDG_DATA_HOME", "/.local/share");
}
