#ifndef TUMBLIX_HOST_PLATFORM_WEB_DOWNLOADPUMP_H
#define TUMBLIX_HOST_PLATFORM_WEB_DOWNLOADPUMP_H

class BottleDownloads;

// Steps a running download and list fetch from the GLib main loop (the
// dialog's), as often as they ask, until both have ended. No threads.
class DownloadPump {
  public:
    explicit DownloadPump(BottleDownloads& downloads);
    ~DownloadPump();
    DownloadPump(const DownloadPump&) = delete;
    DownloadPump& operator=(const DownloadPump&) = delete;

    // Starts stepping (when not already); stops by itself when the download
    // has ended.
    void Kick();
    bool Pumping() const { return source != 0; }

  private:
    static int OnTimer(void* self);
    void Schedule();

    BottleDownloads& downloads;
    unsigned source = 0;
};

#endif
