#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_SEATINPUT_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_SEATINPUT_H

#include "host/platform/sdl/InputWatch.h"

#include <cstdint>
#include <functional>

struct wl_keyboard;
struct wl_pointer;
struct wl_seat;
struct wl_surface;
struct wl_touch;

// The seat's keyboard, pointer and touch screen, watched for the person at
// the screen: a key, a button, a wheel turn or a touch ends the saver, and
// so does a move of the pointer by the same rule as on X11 (InputWatch).
// The pointer is hidden over our surfaces.
class SeatInput {
  public:
    // Where a surface of ours sits in the desktop; false for a surface that
    // is not ours (any more).
    using Placer = std::function<bool(wl_surface*, int* x, int* y)>;

    SeatInput() = default;
    ~SeatInput();
    SeatInput(const SeatInput&) = delete;
    SeatInput& operator=(const SeatInput&) = delete;

    void Attach(wl_seat* seat, Placer placer, double now);
    void Detach();
    bool QuitAsked() const { return quit; }

  private:
    static void Capabilities(void* data, wl_seat*, uint32_t caps);
    static void SeatName(void*, wl_seat*, const char*);
    static void Enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, int32_t sx,
                      int32_t sy);
    static void Leave(void* data, wl_pointer*, uint32_t, wl_surface*);
    static void Motion(void* data, wl_pointer*, uint32_t, int32_t sx, int32_t sy);
    static void Button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state);
    static void Axis(void* data, wl_pointer*, uint32_t, uint32_t, int32_t value);
    static void Keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t);
    static void Key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state);
    static void TouchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, int32_t,
                          int32_t);
    void PointerAt(int32_t sx, int32_t sy);

    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_touch* touch = nullptr;
    wl_surface* under = nullptr; // the surface of ours the pointer is over
    Placer place;
    InputWatch watch;
    bool quit = false;
};

#endif
