#ifndef TUMBLIX_HOST_PLATFORM_X11_XSSIDLE_H
#define TUMBLIX_HOST_PLATFORM_X11_XSSIDLE_H

#include "host/IdleSource.h"

#include <glib.h>

#include <string>

struct _XDisplay;

// Idle as the X server counts it: the MIT-SCREEN-SAVER extension's time
// since the last input, read on a timer from GLib's main loop. A program
// that keeps resetting the server's saver (XResetScreenSaver, as video
// players do) keeps that time short, so the saver stays away.
class XssIdle : public IdleSource {
  public:
    // How often the idle time is read while the session is idle, to see
    // input come back.
    static constexpr unsigned ACTIVE_POLL_MS = 250;

    XssIdle();
    ~XssIdle() override;
    XssIdle(const XssIdle&) = delete;
    XssIdle& operator=(const XssIdle&) = delete;

    // Connects to $DISPLAY; false, with error(), when there is no X server
    // or it lacks the extension.
    bool Connect();
    // Whether XScreenSaver runs on this display: it names its version on a
    // window of its own.
    bool XScreenSaverRuns() const;

    bool Arm(unsigned seconds, const Listener& listener) override;
    void Disarm() override;
    std::string Name() const override { return "MIT-SCREEN-SAVER"; }
    const std::string& error() const override { return lastError; }

  private:
    static int Tick(void* data);
    static int Readable(int fd, GIOCondition condition, void* data);
    void Schedule(unsigned ms);
    void Lost();
    void Close();

    _XDisplay* display = nullptr;
    unsigned periodMs = 0;
    unsigned long lastIdleMs = 0;
    bool idle = false;
    unsigned timer = 0;
    unsigned watchId = 0;
    Listener listener;
    std::string lastError;
};

#endif
