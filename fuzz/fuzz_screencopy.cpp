// A compositor's copy of an output, as the compositor describes it (format,
// size, stride, row order) and as many bytes as it happened to hand over.
#include "FuzzInput.h"
#include "host/platform/wayland/ScreenCopy.h"

#include <wayland-client-protocol.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) {
        return 0;
    }
    // The formats we read and a few we do not, sizes up to 255 x 255.
    const uint32_t formats[] = {WL_SHM_FORMAT_ARGB8888,    WL_SHM_FORMAT_XRGB8888,
                                WL_SHM_FORMAT_ABGR8888,    WL_SHM_FORMAT_XBGR8888,
                                WL_SHM_FORMAT_XRGB2101010, WL_SHM_FORMAT_ABGR2101010,
                                WL_SHM_FORMAT_RGB565,      WL_SHM_FORMAT_C8};
    const uint32_t format = formats[data[0] % 8];
    const int width = data[1], height = data[2];
    const int stride = int(data[3]) | int(data[4]) << 8;
    const bool inverted = (data[5] & 1) != 0;
    DesktopPixels out;
    if (ScreenCopy::Convert(format, width, height, stride, inverted, data + 8, size - 8, &out)) {
        fuzzinput::Check(out.width == width && out.height == height, "size kept");
        fuzzinput::Check(out.rgba.size() == size_t(width) * height * 4, "whole picture");
        for (size_t i = 3; i < out.rgba.size(); i += 4) {
            fuzzinput::Check(out.rgba[i] == 255, "opaque");
        }
    }
    return 0;
}
