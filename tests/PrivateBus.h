#ifndef TUMBLIX_TESTS_PRIVATEBUS_H
#define TUMBLIX_TESTS_PRIVATEBUS_H

#include "ChildProcess.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// A D-Bus bus daemon of the test's own, standing in for the session's or
// the system's bus, and python3-dbusmock services on it (UPower, GNOME's
// session manager, a desktop's screen saver). Where dbus-daemon or dbusmock
// is missing, ok() is false and whyNot() says why: the tests then fail,
// both being part of the setup.
class PrivateBus {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    PrivateBus();
    // Mocks on a bus that is already there (a compositor's session bus).
    explicit PrivateBus(const std::string& existingAddress);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    const std::string& address() const { return busAddress; }

    // Runs dbusmock with these arguments (a --template, or a name, path and
    // interface) on this bus, as the system bus or the session bus; true
    // once `name` is owned. Each mock lives as long as the bus object, or
    // until Kill(name).
    bool Mock(const std::string& name, const std::vector<std::string>& args, bool system);
    void Kill(const std::string& name);
    // gdbus call --address ADDRESS ARGS; its status and what it printed.
    ToolResult Call(const std::string& args) const;
    bool Owned(const std::string& name) const;

  private:
    static std::string Missing();
    ChildProcess daemon;
    std::vector<std::pair<std::string, std::unique_ptr<ChildProcess>>> mocks;
    std::string busAddress;
    std::string reason;
};

#endif
