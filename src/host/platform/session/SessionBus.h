#ifndef TUMBLIX_HOST_PLATFORM_SESSION_SESSIONBUS_H
#define TUMBLIX_HOST_PLATFORM_SESSION_SESSIONBUS_H

#include <string>

struct _GDBusConnection;

// The D-Bus buses the watcher asks: the session's and the system's, through
// GDBus. A bus that goes away never ends the process by itself: its users
// hear it and decide.
namespace SessionBus {

// The session bus, or null when the session has none ($DBUS_SESSION_BUS_ADDRESS
// unset and no $XDG_RUNTIME_DIR/bus): no bus daemon is ever launched for us.
_GDBusConnection* Session();
// The system bus, or null when it cannot be reached.
_GDBusConnection* System();
// Whether a name has an owner on the bus now.
bool HasOwner(_GDBusConnection* bus, const std::string& name);

} // namespace SessionBus

#endif
