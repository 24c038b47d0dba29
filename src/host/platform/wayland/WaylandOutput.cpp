#include "host/platform/wayland/WaylandOutput.h"

#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace {

// Far beyond any monitor, small enough that no product of two overflows.
const int kMaxEdge = 32768;
const int kMaxScale = 16;

int Clamp(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

} // namespace

WaylandOutput::WaylandOutput(wl_registry* registry, uint32_t global, uint32_t version)
    : globalName(global), name("output " + std::to_string(global)) {
    static const wl_output_listener listener = {Geometry, Mode,     Done,
                                                ScaleEvent, NameEvent, Description};
    output = static_cast<wl_output*>(
        wl_registry_bind(registry, global, &wl_output_interface, std::min<uint32_t>(version, 4)));
    wl_output_add_listener(output, &listener, this);
}

WaylandOutput::~WaylandOutput() {
    if (layout != nullptr) {
        zxdg_output_v1_destroy(layout);
    }
    if (output != nullptr) {
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(output);
        } else {
            wl_output_destroy(output);
        }
    }
}

void WaylandOutput::PixelSize(int* width, int* height) const {
    // Turned a quarter (90, 270 and their flipped forms): the desktop sees
    // the mode on its side.
    const bool turned = (transform & 1) != 0;
    *width = turned ? modeHeight : modeWidth;
    *height = turned ? modeWidth : modeHeight;
}

void WaylandOutput::WatchLayout(zxdg_output_manager_v1* manager) {
    if (manager == nullptr || layout != nullptr) {
        return;
    }
    static const zxdg_output_v1_listener listener = {LogicalPosition, LogicalSizeEvent, XdgDone,
                                                     XdgName, XdgDescription};
    layout = zxdg_output_manager_v1_get_xdg_output(manager, output);
    zxdg_output_v1_add_listener(layout, &listener, this);
}

void WaylandOutput::LogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    auto* self = static_cast<WaylandOutput*>(data);
    self->x = Clamp(x, -kMaxEdge, kMaxEdge);
    self->y = Clamp(y, -kMaxEdge, kMaxEdge);
}

void WaylandOutput::LogicalSizeEvent(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    auto* self = static_cast<WaylandOutput*>(data);
    self->logicalWidth = Clamp(width, 0, kMaxEdge);
    self->logicalHeight = Clamp(height, 0, kMaxEdge);
}

void WaylandOutput::XdgDone(void* data, zxdg_output_v1*) {
    static_cast<WaylandOutput*>(data)->placed = true;
}
void WaylandOutput::XdgName(void*, zxdg_output_v1*, const char*) {}
void WaylandOutput::XdgDescription(void*, zxdg_output_v1*, const char*) {}

void WaylandOutput::LogicalSize(int* width, int* height) const {
    if (logicalWidth > 0 && logicalHeight > 0) {
        *width = logicalWidth;
        *height = logicalHeight;
        return;
    }
    PixelSize(width, height);
    *width /= scale;
    *height /= scale;
}

void WaylandOutput::Geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t,
                             int32_t, const char*, const char*, int32_t transform) {
    auto* self = static_cast<WaylandOutput*>(data);
    if (self->layout == nullptr) {
        self->x = Clamp(x, -kMaxEdge, kMaxEdge);
        self->y = Clamp(y, -kMaxEdge, kMaxEdge);
    }
    self->transform = Clamp(transform, 0, 7);
}

void WaylandOutput::Mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height,
                         int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) {
        return;
    }
    auto* self = static_cast<WaylandOutput*>(data);
    self->modeWidth = Clamp(width, 0, kMaxEdge);
    self->modeHeight = Clamp(height, 0, kMaxEdge);
}

void WaylandOutput::Done(void* data, wl_output*) {
    static_cast<WaylandOutput*>(data)->described = true;
}

void WaylandOutput::ScaleEvent(void* data, wl_output*, int32_t factor) {
    static_cast<WaylandOutput*>(data)->scale = Clamp(factor, 1, kMaxScale);
}

void WaylandOutput::NameEvent(void* data, wl_output*, const char* text) {
    if (text != nullptr && text[0] != '\0') {
        static_cast<WaylandOutput*>(data)->name.assign(text, std::min<size_t>(63, strlen(text)));
    }
}

void WaylandOutput::Description(void*, wl_output*, const char*) {}
