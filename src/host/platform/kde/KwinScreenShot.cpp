#include "host/platform/kde/KwinScreenShot.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <glib-unix.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// An output far larger than 8K is no monitor; this also keeps every size
// product below 2^31.
const int kMaxEdge = 16384;

// The QImage formats KWin may name: 4 RGB32, 5 ARGB32 and 6 ARGB32
// premultiplied hold 0xAARRGGBB words (B, G, R, A in memory on the
// little-endian machines we run on); 16 RGBX8888, 17 RGBA8888 and 18
// RGBA8888 premultiplied hold R, G, B, A bytes.
bool Readable(uint32_t format) {
    return (format >= 4 && format <= 6) || (format >= 16 && format <= 18);
}

uint8_t Unpremultiply(uint8_t channel, uint8_t alpha) {
    return alpha == 0 ? 0 : uint8_t(std::min(255, (channel * 255 + alpha / 2) / alpha));
}

// One CaptureScreen call on a connection of our own, whose reply and the
// pipe's bytes are both taken on a private main context: KWin may write the
// picture before, while or after it answers, so both are read as they come,
// without a thread, until the picture is whole or the time is up.
struct PendingCapture {
    GMainContext* context = nullptr;
    GCancellable* cancel = nullptr;
    bool answered = false;
    GVariant* reply = nullptr;
    GError* error = nullptr;
    int pipe = -1;
    bool ended = false; // KWin closed its end
    bool late = false;
    std::string bytes;
    size_t cap = 0;      // more than this is no picture we asked for
    size_t promised = 0; // stride x height, once KWin has answered
};

void OnReply(GObject* source, GAsyncResult* result, gpointer data) {
    auto* c = static_cast<PendingCapture*>(data);
    c->reply = g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(source), nullptr,
                                                               result, &c->error);
    c->answered = true;
    if (c->reply != nullptr) {
        GVariant* results = g_variant_get_child_value(c->reply, 0);
        uint32_t stride = 0, height = 0;
        if (g_variant_lookup(results, "stride", "u", &stride) &&
            g_variant_lookup(results, "height", "u", &height)) {
            c->promised = size_t(stride) * size_t(height);
        }
        g_variant_unref(results);
    }
}

gboolean OnReadable(gint fd, GIOCondition, gpointer data) {
    auto* c = static_cast<PendingCapture*>(data);
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            c->bytes.append(chunk, size_t(n));
            if (c->bytes.size() > c->cap) {
                c->ended = true;
                return G_SOURCE_REMOVE;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return G_SOURCE_CONTINUE;
        }
        c->ended = true; // end of file, or an error: nothing more comes
        return G_SOURCE_REMOVE;
    }
}

gboolean OnLate(gpointer data) {
    static_cast<PendingCapture*>(data)->late = true;
    return G_SOURCE_REMOVE;
}

uint32_t Number(GVariant* results, const char* key, bool* present) {
    uint32_t value = 0;
    *present = g_variant_lookup(results, key, "u", &value) && *present;
    return value;
}

// The session bus's address, where one is known: never the X11 autolaunch
// GIO would otherwise try.
std::string SessionBus() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') {
        return address;
    }
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        const std::string socket = std::string(runtime) + "/bus";
        if (g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
            return "unix:path=" + socket;
        }
    }
    return "";
}

} // namespace

bool KwinScreenShot::Convert(uint32_t format, int width, int height, int stride,
                             const uint8_t* data, size_t size, DesktopPixels* out) {
    if (!Readable(format) || width <= 0 || height <= 0 || width > kMaxEdge || height > kMaxEdge ||
        stride < width * 4 || data == nullptr ||
        size_t(stride) * size_t(height - 1) + size_t(width) * 4 > size) {
        return false;
    }
    const bool words = format <= 6; // B, G, R, A in memory
    const bool premultiplied = format == 6 || format == 18;
    const bool opaque = format == 4 || format == 16;
    out->width = width;
    out->height = height;
    out->rgba.assign(size_t(width) * size_t(height) * 4, 0);
    for (int row = 0; row < height; row++) {
        // Desktop pixels go bottom row first; KWin writes the top row first.
        const uint8_t* src = data + size_t(height - 1 - row) * size_t(stride);
        uint8_t* dst = out->rgba.data() + size_t(row) * size_t(width) * 4;
        for (int x = 0; x < width; x++, src += 4, dst += 4) {
            const uint8_t r = words ? src[2] : src[0], g = src[1], b = words ? src[0] : src[2];
            const uint8_t a = opaque ? 255 : src[3];
            const bool scaled = premultiplied && a != 255;
            dst[0] = scaled ? Unpremultiply(r, a) : r;
            dst[1] = scaled ? Unpremultiply(g, a) : g;
            dst[2] = scaled ? Unpremultiply(b, a) : b;
            dst[3] = 255; // the desktop is opaque, whatever the picture says
        }
    }
    return true;
}

bool KwinScreenShot::Capture(const std::string& output, int width, int height, DesktopPixels* out,
                             std::string* why) {
    const std::string address = SessionBus();
    if (address.empty()) {
        *why = "no session bus";
        return false;
    }
    if (width > kMaxEdge || height > kMaxEdge) {
        *why = "an output too large";
        return false;
    }
    PendingCapture c;
    c.context = g_main_context_new();
    g_main_context_push_thread_default(c.context);
    GError* error = nullptr;
    // A connection of our own, closed when done: the shared one would end
    // the whole program if the bus went away under it.
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    int ends[2] = {-1, -1};
    if (bus == nullptr) {
        *why = std::string("no session bus: ") + error->message;
        g_error_free(error);
    } else if (pipe2(ends, O_CLOEXEC) != 0) {
        *why = "no pipe";
    } else {
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        c.pipe = ends[0];
        c.cap = width > 0 && height > 0 ? size_t(width) * size_t(height) * 8 + (1u << 20)
                                        : size_t(256) << 20;
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1); // owns the write end
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&options, "{sv}", "native-resolution", g_variant_new_boolean(TRUE));
        c.cancel = g_cancellable_new();
        g_dbus_connection_call_with_unix_fd_list(
            bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
            "CaptureScreen", g_variant_new("(sa{sv}h)", output.c_str(), &options, 0),
            G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
            int(kWaitSeconds * 1000) + 1000, fds, c.cancel, OnReply, &c);
        // Our copy of the write end goes once the message is sent, so the
        // pipe ends when KWin's copy does.
        g_object_unref(fds);
        GSource* reader = g_unix_fd_source_new(c.pipe, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
        g_source_set_callback(reader, G_SOURCE_FUNC(OnReadable), &c, nullptr);
        g_source_attach(reader, c.context);
        GSource* timer = g_timeout_source_new(guint(kWaitSeconds * 1000));
        g_source_set_callback(timer, OnLate, &c, nullptr);
        g_source_attach(timer, c.context);

        while (!c.late && !(c.answered && (c.reply == nullptr || c.ended ||
                                           (c.promised > 0 && c.bytes.size() >= c.promised)))) {
            g_main_context_iteration(c.context, TRUE);
        }
        if (!c.answered) {
            // Give the call up; its callback still comes, and must find us.
            g_cancellable_cancel(c.cancel);
            while (!c.answered) {
                g_main_context_iteration(c.context, TRUE);
            }
        }
        g_source_destroy(timer);
        g_source_unref(timer);
        g_source_destroy(reader);
        g_source_unref(reader);
    }

    bool ok = false;
    if (c.reply == nullptr) {
        if (c.error != nullptr) {
            // KWin's own reasons ("not authorized", "invalid screen") are
            // the message's text.
            *why = c.late && g_error_matches(c.error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
                       ? "KWin did not answer in time"
                       : std::string("KWin refused: ") + c.error->message;
        }
    } else {
        GVariant* results = g_variant_get_child_value(c.reply, 0);
        bool present = true;
        const uint32_t w = Number(results, "width", &present);
        const uint32_t h = Number(results, "height", &present);
        const uint32_t stride = Number(results, "stride", &present);
        const uint32_t format = Number(results, "format", &present);
        const char* type = nullptr;
        const bool raw =
            !g_variant_lookup(results, "type", "&s", &type) || std::string(type) == "raw";
        g_variant_unref(results);
        if (!present || !raw) {
            *why = "KWin's answer does not describe a raw picture";
        } else if (w == 0 || h == 0 || w > uint32_t(kMaxEdge) || h > uint32_t(kMaxEdge) ||
                   (width > 0 && height > 0 && (int(w) != width || int(h) != height))) {
            *why = "a picture of " + std::to_string(w) + "x" + std::to_string(h) +
                   " for an output of " + std::to_string(width) + "x" + std::to_string(height);
        } else if (!Readable(format)) {
            *why = "a picture in a format we do not read (" + std::to_string(format) + ")";
        } else if (stride < w * 4 || stride > uint32_t(kMaxEdge) * 8 ||
                   c.bytes.size() < size_t(stride) * h) {
            *why = c.late ? "KWin did not write the picture in time"
                          : "KWin wrote " + std::to_string(c.bytes.size()) + " bytes of " +
                                std::to_string(size_t(stride) * h);
        } else {
            ok = Convert(format, int(w), int(h), int(stride),
                         reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out);
            if (!ok) {
                *why = "the picture could not be read";
            }
        }
    }

    if (c.reply != nullptr) {
        g_variant_unref(c.reply);
    }
    if (c.error != nullptr) {
        g_error_free(c.error);
    }
    if (c.cancel != nullptr) {
        g_object_unref(c.cancel);
    }
    if (c.pipe >= 0) {
        close(c.pipe);
    }
    if (bus != nullptr) {
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }
    g_main_context_pop_thread_default(c.context);
    g_main_context_unref(c.context);
    return ok;
}
