#include "MutterInput.h"

#include <gio/gio.h>

#include <cstdarg>
#include <sstream>

namespace {

const char kService[] = "org.gnome.Mutter.RemoteDesktop";

} // namespace

MutterInput::MutterInput(const Env& env) {
    std::string address;
    for (const auto& [name, value] : env) {
        if (name == "DBUS_SESSION_BUS_ADDRESS") {
            address = value;
        }
    }
    GError* error = nullptr;
    bus = address.empty()
              ? nullptr
              : g_dbus_connection_new_for_address_sync(
                    address.c_str(),
                    GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                         G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                    nullptr, nullptr, &error);
    if (bus == nullptr) {
        reason = std::string("no session bus: ") + (error != nullptr ? error->message : "");
        g_clear_error(&error);
        return;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    // The session lasts as long as this connection.
    GVariant* made = g_dbus_connection_call_sync(
        bus, kService, "/org/gnome/Mutter/RemoteDesktop", kService, "CreateSession", nullptr,
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    if (made == nullptr) {
        reason = std::string("no remote-desktop session: ") + error->message;
        g_clear_error(&error);
        return;
    }
    const gchar* path = nullptr;
    g_variant_get(made, "(&o)", &path);
    session = path;
    g_variant_unref(made);
    // A shift pressed and released, and the pointer moved a pixel, while no
    // window is there to take them, make the two devices.
    if (!Call("Start", "()") || !Do("key 42") || !Do("move 1 0")) {
        reason = "mutter did not take the remote-desktop devices: " + reason;
    }
}

MutterInput::~MutterInput() {
    if (bus != nullptr) {
        if (!session.empty()) {
            Call("Stop", "()");
        }
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }
}

bool MutterInput::Call(const char* method, const char* signature, ...) {
    if (bus == nullptr || session.empty()) {
        return false;
    }
    va_list args;
    va_start(args, signature);
    GVariant* parameters = g_variant_new_va(signature, nullptr, &args);
    va_end(args);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kService, session.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", method,
        parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    if (reply == nullptr) {
        reason = std::string(method) + ": " + error->message;
        g_clear_error(&error);
        return false;
    }
    g_variant_unref(reply);
    return true;
}

bool MutterInput::Do(const std::string& command) {
    std::istringstream words(command);
    std::string verb;
    words >> verb;
    if (verb == "key") {
        unsigned code = 0;
        return bool(words >> code) && Call("NotifyKeyboardKeycode", "(ub)", code, TRUE) &&
               Call("NotifyKeyboardKeycode", "(ub)", code, FALSE);
    }
    if (verb == "click") {
        const int left = 0x110; // BTN_LEFT
        return Call("NotifyPointerButton", "(ib)", left, TRUE) &&
               Call("NotifyPointerButton", "(ib)", left, FALSE);
    }
    double dx = 0, dy = 0;
    return verb == "move" && bool(words >> dx >> dy) &&
           Call("NotifyPointerMotionRelative", "(dd)", dx, dy);
}
