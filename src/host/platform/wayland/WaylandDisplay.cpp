#include "host/platform/wayland/WaylandDisplay.h"

#include "host/platform/wayland/LayerShellProtocol.h"
#include "host/platform/wayland/WaylandOutput.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace {

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

WaylandDisplay::WaylandDisplay() = default;

WaylandDisplay::~WaylandDisplay() {
    Disconnect();
}

bool WaylandDisplay::Connect() {
    Disconnect();
    display = wl_display_connect(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        lastError = std::string("cannot reach the Wayland compositor ") +
                    (name != nullptr ? name : "wayland-0") + ": " + std::strerror(errno);
        return false;
    }
    static const wl_registry_listener listener = {Global, GlobalRemove};
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, this);
    // The first round trip lists the globals, the second brings each
    // output's description and place.
    if (!Roundtrip()) {
        Disconnect();
        return false;
    }
    for (const auto& output : outputs) {
        output->WatchLayout(layoutManager);
    }
    if (!Roundtrip()) {
        Disconnect();
        return false;
    }
    if (compositor == nullptr || shm == nullptr) {
        lastError = "the Wayland compositor offers no wl_compositor or wl_shm";
        Disconnect();
        return false;
    }
    return true;
}

void WaylandDisplay::Disconnect() {
    removed.clear();
    outputs.clear();
    if (layoutManager != nullptr) {
        zxdg_output_manager_v1_destroy(layoutManager);
        layoutManager = nullptr;
    }
    if (screencopy != nullptr) {
        zwlr_screencopy_manager_v1_destroy(screencopy);
        screencopy = nullptr;
    }
    if (layerShell != nullptr) {
        if (zwlr_layer_shell_v1_get_version(layerShell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION) {
            zwlr_layer_shell_v1_destroy(layerShell);
        } else {
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell));
        }
        layerShell = nullptr;
    }
    if (seat != nullptr) {
        wl_seat_destroy(seat);
        seat = nullptr;
    }
    if (shm != nullptr) {
        wl_shm_destroy(shm);
        shm = nullptr;
    }
    if (compositor != nullptr) {
        wl_compositor_destroy(compositor);
        compositor = nullptr;
    }
    if (registry != nullptr) {
        wl_registry_destroy(registry);
        registry = nullptr;
    }
    if (display != nullptr) {
        wl_display_disconnect(display);
        display = nullptr;
    }
}

bool WaylandDisplay::Lost(const char* what) {
    const int failure = errno;
    int code = display != nullptr ? wl_display_get_error(display) : 0;
    if (code == 0) {
        code = failure;
    }
    if (code == EPROTO) {
        lastError = "the Wayland compositor ended the connection over a protocol error";
    } else {
        lastError = std::string("the Wayland compositor went away (") + what +
                    (code != 0 ? std::string(": ") + std::strerror(code) : std::string()) + ")";
    }
    return false;
}

bool WaylandDisplay::Roundtrip() {
    if (display == nullptr) {
        return false;
    }
    return wl_display_roundtrip(display) >= 0 || Lost("round trip");
}

bool WaylandDisplay::Dispatch(int timeoutMs) {
    if (display == nullptr) {
        return false;
    }
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            return Lost("dispatch");
        }
    }
    // A full socket only means the compositor is slow to read: what is left
    // goes with the next flush.
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return Lost("send");
    }
    pollfd fd = {wl_display_get_fd(display), POLLIN, 0};
    const int ready = poll(&fd, 1, timeoutMs);
    if (ready > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        if (wl_display_read_events(display) < 0) {
            return Lost("read");
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) {
        return Lost("dispatch");
    }
    return true;
}

std::vector<std::unique_ptr<WaylandOutput>> WaylandDisplay::TakeRemovedOutputs() {
    std::vector<std::unique_ptr<WaylandOutput>> gone;
    gone.swap(removed);
    return gone;
}

void WaylandDisplay::Global(void* data, wl_registry* registry, uint32_t name,
                            const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandDisplay*>(data);
    const std::string which = interface != nullptr ? interface : "";
    if (which == wl_compositor_interface.name && self->compositor == nullptr) {
        // Version 4 for the buffer scale and damage in buffer pixels.
        if (version >= 3) {
            self->compositor =
                Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
        }
    } else if (which == wl_shm_interface.name && self->shm == nullptr) {
        self->shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (which == wl_seat_interface.name && self->seat == nullptr) {
        self->seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
    } else if (which == zwlr_layer_shell_v1_interface.name && self->layerShell == nullptr) {
        self->layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface,
                                                     version, 3);
    } else if (which == zwlr_screencopy_manager_v1_interface.name &&
               self->screencopy == nullptr) {
        self->screencopyVersion = std::min<uint32_t>(version, 3);
        self->screencopy = Bind<zwlr_screencopy_manager_v1>(
            registry, name, &zwlr_screencopy_manager_v1_interface, version, 3);
    } else if (which == zxdg_output_manager_v1_interface.name &&
               self->layoutManager == nullptr) {
        self->layoutManager = Bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2);
    } else if (which == wl_output_interface.name && version >= 2) {
        // Version 2 brings the scale and the done event.
        self->outputs.push_back(std::make_unique<WaylandOutput>(registry, name, version));
        self->outputs.back()->WatchLayout(self->layoutManager);
    }
}

void WaylandDisplay::GlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* self = static_cast<WaylandDisplay*>(data);
    auto& outputs = self->outputs;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        if ((*it)->GlobalName() == name) {
            self->removed.push_back(std::move(*it));
            outputs.erase(it);
            return;
        }
    }
}

bool WaylandOffersLayerShell() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    WaylandDisplay display;
    return display.Connect() && display.LayerShell() != nullptr;
}
