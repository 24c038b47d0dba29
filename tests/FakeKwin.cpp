#include "FakeKwin.h"

#include <csignal>
#include <cstdio>
#include <sstream>

namespace {

std::string Hex(RGBA c) {
    char text[7];
    std::snprintf(text, sizeof text, "%02X%02X%02X", c.r, c.g, c.b);
    return text;
}

} // namespace

FakeKwin::FakeKwin(const std::string& mode, int width, int height, int format) {
    if (!daemon.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1",
                       "--address=unix:tmpdir=/tmp"})) {
        reason = "dbus-daemon did not start";
        return;
    }
    WaitFor(kPatience, [&] {
        address = daemon.Output();
        return address.find('\n') != std::string::npos || !daemon.Running();
    });
    if (address.find('\n') == std::string::npos) {
        reason = "dbus-daemon gave no address: " + address;
        return;
    }
    address.erase(address.find('\n'));
    if (!service.Start({BuildProgram("tumblix-fakekwin"), mode, std::to_string(width),
                        std::to_string(height), std::to_string(format), Hex(kTop), Hex(kBottom)},
                       env()) ||
        !WaitFor(kPatience, [&] {
            return service.Output().find("ready\n") != std::string::npos || !service.Running();
        }) ||
        !service.Running()) {
        reason = "tumblix-fakekwin did not take org.kde.KWin: " + service.Output();
    }
}

FakeKwin::~FakeKwin() {
    Stop();
}

void FakeKwin::Stop() {
    service.Signal(SIGTERM);
    service.WaitExit(kPatience, nullptr);
    daemon.Signal(SIGTERM);
    daemon.WaitExit(kPatience, nullptr);
}

std::vector<std::string> FakeKwin::Captures() const {
    std::istringstream lines(service.Output());
    std::vector<std::string> outputs;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("capture ", 0) == 0) {
            outputs.push_back(line.substr(8));
        }
    }
    return outputs;
}
