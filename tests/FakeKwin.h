#ifndef TUMBLIX_TESTS_FAKEKWIN_H
#define TUMBLIX_TESTS_FAKEKWIN_H

#include "ChildProcess.h"
#include "GLFixture.h"

#include <string>
#include <utility>
#include <vector>

// A D-Bus session bus of its own (dbus-daemon) on which tumblix-fakekwin
// owns org.kde.KWin and serves ScreenShot2's CaptureScreen in one `mode`
// (see the tool): promising a `width` x `height` picture in QImage
// `format`, the upper half kTop and the lower kBottom where it writes one.
// Where it cannot start, ok() is false and whyNot() says why.
class FakeKwin {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;
    static constexpr RGBA kTop{200, 40, 40, 255}, kBottom{40, 40, 200, 255};

    FakeKwin(const std::string& mode, int width, int height, int format = 5);
    ~FakeKwin();
    FakeKwin(const FakeKwin&) = delete;
    FakeKwin& operator=(const FakeKwin&) = delete;

    bool ok() const { return reason.empty(); }
    const std::string& whyNot() const { return reason; }
    // DBUS_SESSION_BUS_ADDRESS naming this bus.
    Env env() const { return {{"DBUS_SESSION_BUS_ADDRESS", address}}; }
    // Ends the service and its bus now (a test about to end its program in
    // haste leaves neither behind).
    void Stop();
    // The outputs it was asked for so far, in order.
    std::vector<std::string> Captures() const;

  private:
    ChildProcess daemon, service; // the service goes first
    std::string address;
    std::string reason;
};

#endif
