// tumblix-inhibit: a program that asks the compositor not to go idle, as a
// video player does: a small window of one colour on $WAYLAND_DISPLAY that
// holds an idle inhibitor (zwp_idle_inhibit_manager_v1) on its surface.
// Prints "inhibiting" once the window shows and the inhibitor is taken,
// then stays until it is killed.

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

struct Client {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
    zwp_idle_inhibit_manager_v1* inhibitor = nullptr;
    bool configured = false;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* c = static_cast<Client*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        c->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        c->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        c->shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    } else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0) {
        c->inhibitor = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    }
}

void Withdraw(void*, wl_registry*, uint32_t) {}

// A buffer of one colour, w x h.
wl_buffer* PlainBuffer(wl_shm* shm, int w, int h) {
    const int size = w * h * 4;
    const int fd = memfd_create("tumblix-inhibit", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        return nullptr;
    }
    void* pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        return nullptr;
    }
    for (int i = 0; i < w * h; i++) {
        static_cast<uint32_t*>(pixels)[i] = 0xff30a040;
    }
    munmap(pixels, size_t(size));
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, w, h, w * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "tumblix-inhibit: cannot connect to the Wayland display\n");
        return 1;
    }
    Client c;
    static const wl_registry_listener registryListener = {Announce, Withdraw};
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &c);
    wl_display_roundtrip(display);
    if (c.compositor == nullptr || c.shm == nullptr || c.shell == nullptr ||
        c.inhibitor == nullptr) {
        std::fprintf(stderr, "tumblix-inhibit: the compositor lacks a window or idle inhibitor\n");
        return 1;
    }
    static const xdg_wm_base_listener shellListener = {
        [](void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); }};
    xdg_wm_base_add_listener(c.shell, &shellListener, nullptr);
    wl_surface* surface = wl_compositor_create_surface(c.compositor);
    xdg_surface* window = xdg_wm_base_get_xdg_surface(c.shell, surface);
    static const xdg_surface_listener windowListener = {
        [](void* data, xdg_surface* s, uint32_t serial) {
            xdg_surface_ack_configure(s, serial);
            static_cast<Client*>(data)->configured = true;
        }};
    xdg_surface_add_listener(window, &windowListener, &c);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(window);
    xdg_toplevel_set_title(toplevel, "tumblix-inhibit");
    wl_surface_commit(surface);
    while (!c.configured) {
        if (wl_display_dispatch(display) < 0) {
            return 1;
        }
    }
    wl_buffer* buffer = PlainBuffer(c.shm, 64, 64);
    if (buffer == nullptr) {
        std::fprintf(stderr, "tumblix-inhibit: no buffer\n");
        return 1;
    }
    zwp_idle_inhibit_manager_v1_create_inhibitor(c.inhibitor, surface);
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, 64, 64);
    wl_surface_commit(surface);
    wl_display_roundtrip(display);
    std::printf("inhibiting\n");
    std::fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
        // Answer the shell's pings and configures until killed.
    }
    return 0;
}
