#include "host/platform/wayland/SeatInput.h"

#include "host/HostClock.h"

#include <wayland-client.h>

#include <unistd.h>

namespace {

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void PointerFrame(void*, wl_pointer*) {}
void AxisSource(void*, wl_pointer*, uint32_t) {}
void AxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void AxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void AxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void Modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void RepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
void TouchUp(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
void TouchMotion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
void TouchFrame(void*, wl_touch*) {}
void TouchCancel(void*, wl_touch*) {}
void TouchShape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
void TouchOrientation(void*, wl_touch*, int32_t, wl_fixed_t) {}

} // namespace

SeatInput::~SeatInput() {
    Detach();
}

void SeatInput::Attach(wl_seat* s, Placer placer, double now) {
    Detach();
    seat = s;
    place = std::move(placer);
    quit = false;
    watch.BeginUnplaced(now);
    if (seat != nullptr) {
        static const wl_seat_listener listener = {Capabilities, SeatName};
        wl_seat_add_listener(seat, &listener, this);
    }
}

void SeatInput::Detach() {
    // Version 3 of the seat releases its devices; older ones destroy them.
    if (pointer != nullptr) {
        wl_pointer_get_version(pointer) >= 3 ? wl_pointer_release(pointer)
                                             : wl_pointer_destroy(pointer);
        pointer = nullptr;
    }
    if (keyboard != nullptr) {
        wl_keyboard_get_version(keyboard) >= 3 ? wl_keyboard_release(keyboard)
                                               : wl_keyboard_destroy(keyboard);
        keyboard = nullptr;
    }
    if (touch != nullptr) {
        wl_touch_get_version(touch) >= 3 ? wl_touch_release(touch) : wl_touch_destroy(touch);
        touch = nullptr;
    }
    under = nullptr;
    seat = nullptr;
}

void SeatInput::Capabilities(void* data, wl_seat* seat, uint32_t caps) {
    auto* self = static_cast<SeatInput*>(data);
    if ((caps & WL_SEAT_CAPABILITY_POINTER) != 0 && self->pointer == nullptr) {
        static const wl_pointer_listener listener = {
            Enter, PointerLeave, Motion, Button, Axis, PointerFrame, AxisSource, AxisStop,
            AxisDiscrete, AxisValue120};
        self->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(self->pointer, &listener, self);
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && self->keyboard == nullptr) {
        static const wl_keyboard_listener listener = {Keymap, KeyboardEnter, KeyboardLeave,
                                                      Key,    Modifiers,     RepeatInfo};
        self->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->keyboard, &listener, self);
    }
    if ((caps & WL_SEAT_CAPABILITY_TOUCH) != 0 && self->touch == nullptr) {
        static const wl_touch_listener listener = {TouchDown,  TouchUp,    TouchMotion,
                                                   TouchFrame, TouchCancel, TouchShape,
                                                   TouchOrientation};
        self->touch = wl_seat_get_touch(seat);
        wl_touch_add_listener(self->touch, &listener, self);
    }
}

void SeatInput::SeatName(void*, wl_seat*, const char*) {}

void SeatInput::PointerAt(int32_t sx, int32_t sy) {
    int x = 0, y = 0;
    if (under == nullptr || !place || !place(under, &x, &y)) {
        return;
    }
    if (watch.PointerAt(HostClock::Now(), x + wl_fixed_to_int(sx), y + wl_fixed_to_int(sy))) {
        quit = true;
    }
}

void SeatInput::Enter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                      int32_t sx, int32_t sy) {
    auto* self = static_cast<SeatInput*>(data);
    // No cursor over the saver.
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    self->under = surface;
    self->PointerAt(sx, sy);
}

void SeatInput::Leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<SeatInput*>(data)->under = nullptr;
}

void SeatInput::Motion(void* data, wl_pointer*, uint32_t, int32_t sx, int32_t sy) {
    static_cast<SeatInput*>(data)->PointerAt(sx, sy);
}

void SeatInput::Button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
        static_cast<SeatInput*>(data)->quit = true;
    }
}

void SeatInput::Axis(void* data, wl_pointer*, uint32_t, uint32_t, int32_t value) {
    if (value != 0) {
        static_cast<SeatInput*>(data)->quit = true;
    }
}

void SeatInput::Keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) {
    // Which key it was does not matter: any key ends the saver.
    if (fd >= 0) {
        close(fd);
    }
}

void SeatInput::Key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
        static_cast<SeatInput*>(data)->quit = true;
    }
}

void SeatInput::TouchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t,
                          int32_t, int32_t) {
    static_cast<SeatInput*>(data)->quit = true;
}
