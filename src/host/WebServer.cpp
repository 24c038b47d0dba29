#include "host/WebServer.h"

#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"

#include <cctype>
#include <cstring>
#include <memory>

namespace {

const char* const kDefaultWebServer = "http://127.0.0.1:8018";
const char* const kWebPagePath = "/mac/tumblix/";
const char* const kBottleListPath = "/mac/zips/tumblix/bottleTypes.plist";

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (text.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::string Joined(const char* path, std::string* problem) {
    const std::string base = WebServer::Base(problem);
    return base.empty() ? base : base + path;
}

} // namespace

namespace WebServer {

bool IsWebAddress(const std::string& address) {
    const size_t schemeEnd = address.find("://");
    if (!(StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://")) ||
        address.size() <= schemeEnd + 3 || address[schemeEnd + 3] == '/') {
        return false;
    }
    for (char c : address) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::string Base(std::string* problem) {
    const std::unique_ptr<ScreenSaverDefaults> store =
        ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    std::string base = store != nullptr ? store->stringForKey("WebServer").value_or("") : "";
    while (!base.empty() && std::isspace(static_cast<unsigned char>(base.back()))) {
        base.pop_back();
    }
    while (!base.empty() && std::isspace(static_cast<unsigned char>(base.front()))) {
        base.erase(0, 1);
    }
    if (base.empty()) {
        base = kDefaultWebServer;
    }
    if (!IsWebAddress(base)) {
        if (problem != nullptr) {
            *problem = "The web server address \"" + base +
                       "\" (preference WebServer) is not an http or https address.";
        }
        return "";
    }
    while (base.back() == '/') {
        base.pop_back();
    }
    return base;
}

std::string WebPageAddress(std::string* problem) {
    return Joined(kWebPagePath, problem);
}

std::string BottleListAddress(std::string* problem) {
    return Joined(kBottleListPath, problem);
}

} // namespace WebServer
