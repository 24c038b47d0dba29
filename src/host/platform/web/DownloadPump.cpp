#include "host/platform/web/DownloadPump.h"

#include "host/BottleDownloads.h"

#include <glib.h>

DownloadPump::DownloadPump(BottleDownloads& d) : downloads(d) {}

DownloadPump::~DownloadPump() {
    if (source != 0) {
        g_source_remove(source);
    }
}

void DownloadPump::Kick() {
    if (source == 0 && downloads.busy()) {
        Schedule();
    }
}

void DownloadPump::Schedule() {
    source = g_timeout_add(guint(downloads.TimeoutHint()), &DownloadPump::OnTimer, this);
}

int DownloadPump::OnTimer(void* self) {
    auto* pump = static_cast<DownloadPump*>(self);
    pump->source = 0;
    pump->downloads.Step();
    // The wait the download asks for changes as it goes: a fresh timer each
    // time, unless what Step() started has already kicked one off.
    if (pump->source == 0 && pump->downloads.busy()) {
        pump->Schedule();
    }
    return G_SOURCE_REMOVE;
}
