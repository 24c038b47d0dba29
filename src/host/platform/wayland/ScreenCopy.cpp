#include "host/platform/wayland/ScreenCopy.h"

#include "host/Diagnostics.h"
#include "host/HostClock.h"
#include "host/platform/kde/KwinScreenShot.h"
#include "host/platform/wayland/WaylandDisplay.h"
#include "host/platform/wayland/WaylandOutput.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// An output far larger than 8K is no monitor; this also keeps every size
// product below 2^31.
const int kMaxEdge = 16384;
const double kWaitSeconds = 5.0;

struct Frame {
    bool offered = false; // a wl_shm buffer we can read was offered
    uint32_t format = 0;
    uint32_t width = 0, height = 0, stride = 0;
    bool listed = false; // every buffer kind was offered (version 3)
    uint32_t flags = 0;
    bool ready = false;
    bool failed = false;
};

void OnBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width,
              uint32_t height, uint32_t stride) {
    auto* f = static_cast<Frame*>(data);
    if (!f->offered && ScreenCopy::Readable(format)) {
        f->offered = true;
        f->format = format;
        f->width = width;
        f->height = height;
        f->stride = stride;
    }
}
void OnFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<Frame*>(data)->flags = flags;
}
void OnReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<Frame*>(data)->ready = true;
}
void OnFailed(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<Frame*>(data)->failed = true;
}
void OnDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void OnBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<Frame*>(data)->listed = true;
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {OnBuffer, OnFlags,  OnReady,     OnFailed,
                                                          OnDamage, OnDmabuf, OnBufferDone};

// Dispatches until `done` says so, the connection is lost or the wait runs
// out.
template <typename Done> bool WaitFor(WaylandDisplay& display, Done done) {
    const double until = HostClock::Now() + kWaitSeconds;
    while (!done()) {
        const double left = until - HostClock::Now();
        if (left <= 0 || !display.Dispatch(int(left * 1000.0) + 1)) {
            return false;
        }
    }
    return true;
}

// Shared memory the compositor copies into.
class ShmBuffer {
  public:
    ~ShmBuffer() {
        if (buffer != nullptr) {
            wl_buffer_destroy(buffer);
        }
        if (pixels != MAP_FAILED) {
            munmap(pixels, size);
        }
        if (fd >= 0) {
            close(fd);
        }
    }
    bool Create(wl_shm* shm, uint32_t format, int width, int height, int stride) {
        size = size_t(stride) * size_t(height);
        fd = memfd_create("tumblix-screencopy", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
            return false;
        }
        pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (pixels == MAP_FAILED) {
            return false;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
        wl_shm_pool_destroy(pool);
        return buffer != nullptr;
    }
    wl_buffer* buffer = nullptr;
    void* pixels = MAP_FAILED;
    size_t size = 0;
    int fd = -1;
};

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool ScreenCopy::Readable(uint32_t format) {
    switch (format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888:
    case WL_SHM_FORMAT_ARGB2101010:
    case WL_SHM_FORMAT_XRGB2101010:
    case WL_SHM_FORMAT_ABGR2101010:
    case WL_SHM_FORMAT_XBGR2101010:
        return true;
    default:
        return false;
    }
}

bool ScreenCopy::Convert(uint32_t format, int width, int height, int stride, bool yInverted,
                         const uint8_t* data, size_t size, DesktopPixels* out) {
    if (!Readable(format) || width <= 0 || height <= 0 || width > kMaxEdge || height > kMaxEdge ||
        stride < width * 4 || data == nullptr ||
        size_t(stride) * size_t(height - 1) + size_t(width) * 4 > size) {
        return false;
    }
    // Each format as a little-endian 32-bit word: where red and blue sit,
    // and whether channels have 8 or 10 bits.
    const bool redLow = format == WL_SHM_FORMAT_ABGR8888 || format == WL_SHM_FORMAT_XBGR8888 ||
                        format == WL_SHM_FORMAT_ABGR2101010 || format == WL_SHM_FORMAT_XBGR2101010;
    const bool tenBits = format == WL_SHM_FORMAT_ARGB2101010 ||
                         format == WL_SHM_FORMAT_XRGB2101010 ||
                         format == WL_SHM_FORMAT_ABGR2101010 || format == WL_SHM_FORMAT_XBGR2101010;
    const int bits = tenBits ? 10 : 8;
    const uint32_t mask = (1u << bits) - 1;
    const int drop = bits - 8;

    out->width = width;
    out->height = height;
    out->rgba.assign(size_t(width) * size_t(height) * 4, 0);
    for (int row = 0; row < height; row++) {
        // Desktop pixels go bottom row first; the copy comes top row first
        // unless the compositor says it is upside down.
        const int from = yInverted ? row : height - 1 - row;
        const uint8_t* src = data + size_t(from) * size_t(stride);
        uint8_t* dst = out->rgba.data() + size_t(row) * size_t(width) * 4;
        for (int x = 0; x < width; x++, src += 4, dst += 4) {
            const uint32_t v = Read32(src);
            const uint32_t low = v & mask, mid = (v >> bits) & mask,
                           high = (v >> (2 * bits)) & mask;
            dst[0] = uint8_t((redLow ? low : high) >> drop);
            dst[1] = uint8_t(mid >> drop);
            dst[2] = uint8_t((redLow ? high : low) >> drop);
            dst[3] = 255;
        }
    }
    return true;
}

bool ScreenCopy::Capture(WaylandDisplay& display, const WaylandOutput& output, DesktopPixels* out,
                         std::string* why) {
    if (display.Screencopy() == nullptr) {
        *why = "the compositor offers no screencopy";
        return false;
    }
    Frame f;
    zwlr_screencopy_frame_v1* frame =
        zwlr_screencopy_manager_v1_capture_output(display.Screencopy(), 0, output.Output());
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &f);
    const bool listsAll = display.ScreencopyVersion() >= 3;
    bool ok = WaitFor(display, [&] { return f.failed || (listsAll ? f.listed : f.offered); });
    if (!ok || f.failed || !f.offered) {
        *why = !ok ? "the compositor did not answer" : "no buffer format we read";
        zwlr_screencopy_frame_v1_destroy(frame);
        return false;
    }
    // The copy is of the output's mode, before any turn; a turned output or
    // a buffer of any other size is not what we would show.
    const int width = int(f.width), height = int(f.height), stride = int(f.stride);
    if (f.width > uint32_t(kMaxEdge) || f.height > uint32_t(kMaxEdge) ||
        f.stride > uint32_t(kMaxEdge) * 8 || width == 0 || height == 0 || stride < width * 4 ||
        (output.ModeWidth() > 0 &&
         (width != output.ModeWidth() || height != output.ModeHeight())) ||
        output.Transform() != 0) {
        *why = "a buffer of " + std::to_string(f.width) + "x" + std::to_string(f.height) +
               " for an output of " + std::to_string(output.ModeWidth()) + "x" +
               std::to_string(output.ModeHeight());
        zwlr_screencopy_frame_v1_destroy(frame);
        return false;
    }
    ShmBuffer shm;
    if (!shm.Create(display.Shm(), f.format, width, height, stride)) {
        *why = "no shared memory for the copy";
        zwlr_screencopy_frame_v1_destroy(frame);
        return false;
    }
    zwlr_screencopy_frame_v1_copy(frame, shm.buffer);
    ok = WaitFor(display, [&] { return f.ready || f.failed; });
    zwlr_screencopy_frame_v1_destroy(frame);
    if (!ok || !f.ready) {
        *why = !ok ? "the copy never came" : "the compositor failed the copy";
        return false;
    }
    const bool inverted = (f.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    if (!Convert(f.format, width, height, stride, inverted, static_cast<uint8_t*>(shm.pixels),
                 shm.size, out)) {
        *why = "the copy could not be read";
        return false;
    }
    return true;
}

bool ScreenCopy::CaptureDesktop(WaylandDisplay& display, const WaylandOutput& output,
                                DesktopPixels* out, std::string* why) {
    if (display.Screencopy() != nullptr) {
        return Capture(display, output, out, why);
    }
    // KDE Plasma has no screencopy; KWin hands its outputs' pictures to the
    // programs it trusts over D-Bus. A turned output's picture is not what
    // we would show, as with screencopy.
    if (output.Transform() != 0) {
        *why = "the output is turned";
        return false;
    }
    std::string refused;
    if (!KwinScreenShot::Capture(output.Name(), output.ModeWidth(), output.ModeHeight(), out,
                                 &refused)) {
        *why = "no screencopy, and KWin's screenshot: " + refused;
        return false;
    }
    return true;
}

bool GrabWaylandOutput(const NSRect& area, DesktopPixels* out) {
    WaylandDisplay display;
    if (!display.Connect()) {
        return false;
    }
    const WaylandOutput* chosen = nullptr;
    for (const auto& output : display.Outputs()) {
        int w = 0, h = 0;
        output->LogicalSize(&w, &h);
        const bool overlaps = area.width <= 0 || area.height <= 0 ||
                              (output->X() < area.x + area.width && area.x < output->X() + w &&
                               output->Y() < area.y + area.height && area.y < output->Y() + h);
        if (overlaps) {
            chosen = output.get();
            break;
        }
    }
    std::string why;
    if (chosen == nullptr) {
        return false;
    }
    if (!ScreenCopy::CaptureDesktop(display, *chosen, out, &why)) {
        Diagnostics::Note("wayland: " + chosen->Name() + ": no desktop capture: " + why);
        return false;
    }
    return true;
}
