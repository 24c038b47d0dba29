#ifndef TUMBLIX_TESTS_MUTTERINPUT_H
#define TUMBLIX_TESTS_MUTTERINPUT_H

#include <string>
#include <utility>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;

// A keyboard and a pointer plugged into a headless mutter's seat for as long
// as the object lives: a session of mutter's own remote-desktop interface
// (org.gnome.Mutter.RemoteDesktop) on its session bus, whose virtual devices
// mutter treats as real ones. mutter makes each device on its first event,
// and a client handed a keyboard while a key is down sees only the key's
// release; so both are made here, before a saver starts, as a keyboard and
// a mouse are there before one.
class MutterInput {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    // `session`: the rig's env(), for DBUS_SESSION_BUS_ADDRESS.
    explicit MutterInput(const Env& session);
    ~MutterInput();
    MutterInput(const MutterInput&) = delete;
    MutterInput& operator=(const MutterInput&) = delete;

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    // "key CODE" (a Linux input code, pressed and released), "click" (the
    // left button), "move DX DY"; true once mutter has taken it.
    bool Do(const std::string& command);

  private:
    bool Call(const char* method, const char* signature, ...);
    GDBusConnection* bus = nullptr;
    std::string session; // the remote-desktop session's object path
    std::string reason;
};

#endif
