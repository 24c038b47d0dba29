// tumblix-vpointer: a pointer device for the tests, made through the wlroots
// virtual pointer protocol on $WAYLAND_DISPLAY. It runs the commands on its
// command line, or with "-" one line of commands at a time from stdin,
// answering each line with "ok" once the compositor has taken it (a
// roundtrip), so the device lives as long as the test needs it:
//   move DX DY       relative motion, in layout pixels
//   to X Y W H       absolute motion to (X, Y) of a W x H layout
//   click [BUTTON]   press and release (a Linux button code; the left one)
//   wheel STEPS      the vertical wheel, in notches

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include <wayland-client.h>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void Withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistry = {Announce, Withdraw};

uint32_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

constexpr uint32_t kLeftButton = 0x110; // BTN_LEFT

// Sends the commands of one line; false (with why) on one it does not know.
bool Perform(zwlr_virtual_pointer_v1* pointer, const std::vector<std::string>& words,
             std::string* why) {
    size_t at = 0;
    // The next `count` words as numbers, or none when they are not.
    auto numbers = [&](size_t count, std::vector<double>* out) {
        for (size_t i = 0; i < count; i++, at++) {
            char* end = nullptr;
            const double v = at < words.size() ? std::strtod(words[at].c_str(), &end) : 0;
            if (end == nullptr || *end != '\0' || end == words[at].c_str()) {
                return false;
            }
            out->push_back(v);
        }
        return true;
    };
    while (at < words.size()) {
        const std::string command = words[at++];
        std::vector<double> n;
        if (command == "move" && numbers(2, &n)) {
            zwlr_virtual_pointer_v1_motion(pointer, Now(), wl_fixed_from_double(n[0]),
                                           wl_fixed_from_double(n[1]));
        } else if (command == "to" && numbers(4, &n) && n[2] > 0 && n[3] > 0) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), uint32_t(n[0]), uint32_t(n[1]),
                                                    uint32_t(n[2]), uint32_t(n[3]));
        } else if (command == "click") {
            const uint32_t button = numbers(1, &n) ? uint32_t(n[0]) : kLeftButton;
            zwlr_virtual_pointer_v1_button(pointer, Now(), button, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, Now(), button,
                                           WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (command == "wheel" && numbers(1, &n)) {
            const int steps = int(n[0]);
            zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
            zwlr_virtual_pointer_v1_axis_discrete(pointer, Now(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                                  wl_fixed_from_int(15 * steps), steps);
        } else {
            *why =
                "cannot do " + command + " (move DX DY, to X Y W H, click [BUTTON], wheel STEPS)";
            return false;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "tumblix-vpointer: cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        std::fprintf(stderr, "tumblix-vpointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    if (wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "tumblix-vpointer: the compositor went away\n");
        return 1;
    }

    const bool fromInput = argc == 2 && std::strcmp(argv[1], "-") == 0;
    std::string line;
    for (int i = 1; i < argc; i++) {
        line += std::string(argv[i]) + " ";
    }
    int status = 0;
    while (fromInput ? bool(std::getline(std::cin, line)) : !line.empty()) {
        std::istringstream in(line);
        const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
        std::string why;
        const bool done = Perform(pointer, words, &why);
        if (wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "tumblix-vpointer: the compositor went away\n");
            return 1;
        }
        if (!done) {
            std::fprintf(stderr, "tumblix-vpointer: %s\n", why.c_str());
            status = 2;
        }
        if (!fromInput) {
            break;
        }
        std::printf("%s\n", done ? "ok" : "error");
        std::fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return status;
}
