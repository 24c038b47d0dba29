#include "PrivateBus.h"

#include <csignal>

std::string PrivateBus::Missing() {
    if (RunTool("command -v dbus-daemon >/dev/null && command -v gdbus >/dev/null && "
                "/usr/bin/python3 -c 'import dbusmock' 2>/dev/null")
            .status != 0) {
        return "dbus-daemon, gdbus or python3-dbusmock is missing (scripts/setup installs them)";
    }
    return "";
}

PrivateBus::PrivateBus(const std::string& existingAddress)
    : busAddress(existingAddress), reason(Missing()) {}

PrivateBus::PrivateBus() : reason(Missing()) {
    if (!reason.empty()) {
        return;
    }
    if (!daemon.Start(
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"})) {
        reason = "dbus-daemon did not start";
        return;
    }
    WaitFor(kPatience, [&] {
        const std::string out = daemon.Output();
        const size_t end = out.find('\n');
        if (end != std::string::npos) {
            busAddress = out.substr(0, end);
        }
        return !busAddress.empty() || !daemon.Running();
    });
    if (busAddress.empty()) {
        reason = "dbus-daemon gave no address: " + daemon.Output();
    }
}

PrivateBus::~PrivateBus() {
    mocks.clear();
    if (!daemon.Running()) {
        return;
    }
    daemon.Signal(SIGTERM);
    daemon.WaitExit(kPatience, nullptr);
}

bool PrivateBus::Mock(const std::string& name, const std::vector<std::string>& args, bool system) {
    auto mock = std::make_unique<ChildProcess>();
    // Debian's python3-dbusmock, whatever python3 comes first on PATH.
    std::vector<std::string> argv = {"/usr/bin/python3", "-m", "dbusmock"};
    if (system) {
        argv.push_back("--system");
    }
    argv.insert(argv.end(), args.begin(), args.end());
    if (!mock->Start(argv, {{"DBUS_SYSTEM_BUS_ADDRESS", busAddress},
                            {"DBUS_SESSION_BUS_ADDRESS", busAddress}})) {
        return false;
    }
    ChildProcess* started = mock.get();
    mocks.emplace_back(name, std::move(mock));
    return WaitFor(kPatience, [&] { return Owned(name) || !started->Running(); }) && Owned(name);
}

void PrivateBus::Kill(const std::string& name) {
    for (auto& [owner, mock] : mocks) {
        if (owner == name) {
            mock->Signal(SIGTERM);
            mock->WaitExit(kPatience, nullptr);
        }
    }
}

ToolResult PrivateBus::Call(const std::string& args) const {
    return RunTool("gdbus call --address " + Quote(busAddress) + " " + args + " 2>&1");
}

bool PrivateBus::Owned(const std::string& name) const {
    const ToolResult r = Call("--dest org.freedesktop.DBus --object-path /org/freedesktop/DBus "
                              "--method org.freedesktop.DBus.NameHasOwner " +
                              Quote(name));
    return r.status == 0 && r.out.find("true") != std::string::npos;
}
