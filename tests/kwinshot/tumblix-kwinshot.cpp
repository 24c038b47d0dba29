// tumblix-kwinshot: what one output of KWin shows now, taken through KWin's
// own org.kde.KWin.ScreenShot2 interface on the session bus, written to
// stdout as a binary PPM (top row first), as grim writes one.
//   tumblix-kwinshot OUTPUT
// KWin hands the interface to programs whose .desktop file grants it (the
// test rig writes one for this program) or to anyone when it runs with
// KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1.

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "tumblix-kwinshot: %s\n", why.c_str());
    return 1;
}

uint32_t Number(GVariant* results, const char* key) {
    uint32_t value = 0;
    g_variant_lookup(results, key, "u", &value);
    return value;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return Fail("usage: tumblix-kwinshot OUTPUT");
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        return Fail(error->message);
    }
    int ends[2];
    if (pipe(ends) != 0) {
        return Fail("no pipe");
    }
    GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1); // takes the write end
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "native-resolution", g_variant_new_boolean(TRUE));
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
        "CaptureScreen", g_variant_new("(sa{sv}h)", argv[1], &options, 0),
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 10000, fds, nullptr, nullptr, &error);
    g_object_unref(fds); // closes our copy of the write end: the pipe ends when KWin's does
    if (reply == nullptr) {
        return Fail(error->message);
    }
    GVariant* results = g_variant_get_child_value(reply, 0);
    const uint32_t width = Number(results, "width"), height = Number(results, "height"),
                   stride = Number(results, "stride"), format = Number(results, "format");
    // QImage's 32-bit formats: 4 RGB32, 5 ARGB32, 6 ARGB32 premultiplied hold
    // B, G, R, A in memory on a little-endian machine.
    if (width == 0 || height == 0 || stride < width * 4 || format < 4 || format > 6) {
        return Fail("an image this tool does not read (format " + std::to_string(format) + ")");
    }
    std::string data;
    const size_t size = size_t(stride) * height;
    char chunk[65536];
    while (data.size() < size) {
        pollfd p{ends[0], POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) {
            return Fail("KWin wrote too little");
        }
        const ssize_t n = read(ends[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail("KWin wrote too little");
        }
        data.append(chunk, size_t(n));
    }
    std::printf("P6\n%u %u\n255\n", width, height);
    for (uint32_t y = 0; y < height; y++) {
        const auto* row = reinterpret_cast<const uint8_t*>(data.data()) + size_t(y) * stride;
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t rgb[3] = {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]};
            std::fwrite(rgb, 1, 3, stdout);
        }
    }
    return 0;
}
