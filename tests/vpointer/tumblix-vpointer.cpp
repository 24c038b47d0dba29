// tumblix-vpointer: a pointer device for the tests, made through wlroots'
// virtual pointer protocol on $WAYLAND_DISPLAY, or KWin's fake input where
// the compositor offers that instead, that lives as long as its stdin. Each
// line of stdin holds commands; the line is answered "ok" once the
// compositor has taken them (a roundtrip), or "error":
//   move DX DY       relative motion, in layout pixels
//   to X Y W H       absolute motion to (X, Y) of a W x H layout
//   click            the left button pressed and released
//   wheel STEPS      the vertical wheel, in notches
//   key CODE         a key (evdev code) pressed and released: KWin only

#include "fake-input-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>
#include <wayland-client.h>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
    org_kde_kwin_fake_input* fake = nullptr;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
               version >= 4) {
        g->fake = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

void Withdraw(void*, wl_registry*, uint32_t) {}

uint32_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// Sends one line's commands; false at the first it cannot read.
bool Perform(zwlr_virtual_pointer_v1* pointer, std::istream& words) {
    for (std::string command; words >> command;) {
        double dx = 0, dy = 0;
        uint32_t x = 0, y = 0, w = 0, h = 0;
        int steps = 0;
        if (command == "move" && words >> dx >> dy) {
            zwlr_virtual_pointer_v1_motion(pointer, Now(), wl_fixed_from_double(dx),
                                           wl_fixed_from_double(dy));
        } else if (command == "to" && words >> x >> y >> w >> h && w > 0 && h > 0) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), x, y, w, h);
        } else if (command == "click") {
            const uint32_t left = 0x110; // BTN_LEFT
            zwlr_virtual_pointer_v1_button(pointer, Now(), left, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, Now(), left, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (command == "wheel" && words >> steps) {
            zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
            zwlr_virtual_pointer_v1_axis_discrete(pointer, Now(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                                  wl_fixed_from_int(15 * steps), steps);
        } else {
            std::fprintf(stderr, "tumblix-vpointer: cannot do %s\n", command.c_str());
            return false;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
    }
    return true;
}

// The same through KWin's fake input, which moves the pointer in global
// (layout) coordinates and also presses keys.
bool Perform(org_kde_kwin_fake_input* fake, std::istream& words) {
    for (std::string command; words >> command;) {
        double dx = 0, dy = 0;
        uint32_t x = 0, y = 0, w = 0, h = 0, code = 0;
        int steps = 0;
        if (command == "move" && words >> dx >> dy) {
            org_kde_kwin_fake_input_pointer_motion(fake, wl_fixed_from_double(dx),
                                                   wl_fixed_from_double(dy));
        } else if (command == "to" && words >> x >> y >> w >> h && w > 0 && h > 0) {
            org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(int(x)),
                                                            wl_fixed_from_int(int(y)));
        } else if (command == "click") {
            const uint32_t left = 0x110; // BTN_LEFT
            org_kde_kwin_fake_input_button(fake, left, WL_POINTER_BUTTON_STATE_PRESSED);
            org_kde_kwin_fake_input_button(fake, left, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (command == "wheel" && words >> steps) {
            org_kde_kwin_fake_input_axis(fake, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                         wl_fixed_from_int(15 * steps));
        } else if (command == "key" && words >> code) {
            org_kde_kwin_fake_input_keyboard_key(fake, code, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(fake, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else {
            std::fprintf(stderr, "tumblix-vpointer: cannot do %s\n", command.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "tumblix-vpointer: cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    static const wl_registry_listener registryListener = {Announce, Withdraw};
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr && globals.fake == nullptr) {
        std::fprintf(stderr, "tumblix-vpointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = nullptr;
    if (globals.manager != nullptr) {
        pointer =
            zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    } else {
        // KWin grants it without asking (in the rig, through its
        // permission-check variable).
        org_kde_kwin_fake_input_authenticate(globals.fake, "tumblix tests", "test input");
    }
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        const bool done =
            pointer != nullptr ? Perform(pointer, words) : Perform(globals.fake, words);
        if (wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "tumblix-vpointer: the compositor went away\n");
            return 1;
        }
        std::printf("%s\n", done ? "ok" : "error");
        std::fflush(stdout);
    }
    if (pointer != nullptr) {
        zwlr_virtual_pointer_v1_destroy(pointer);
    }
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
