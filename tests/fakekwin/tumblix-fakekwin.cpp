// tumblix-fakekwin: a stand-in for KWin's org.kde.KWin.ScreenShot2 on the
// session bus (DBUS_SESSION_BUS_ADDRESS) that serves CaptureScreen well or
// in one of the ways a compositor may serve it badly:
//   tumblix-fakekwin MODE WIDTH HEIGHT FORMAT TOP BOTTOM
// MODE: good (the picture, TOP above BOTTOM, both RRGGBB), silent (never
// answers, never writes), mute (answers, never writes, keeps the pipe
// open), empty (answers, closes the pipe unwritten), short (answers, writes
// half the picture, closes), refuse (a D-Bus error). The answer promises a
// WIDTH x HEIGHT picture in QImage FORMAT; good and short write 32-bit
// pixels, B, G, R, A in memory. Prints "ready" once it owns org.kde.KWin,
// and "capture OUTPUT" for each call.

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kInterface[] =
    "<node><interface name='org.kde.KWin.ScreenShot2'><method name='CaptureScreen'>"
    "<arg type='s' name='name' direction='in'/><arg type='a{sv}' name='options' direction='in'/>"
    "<arg type='h' name='pipe' direction='in'/><arg type='a{sv}' name='results' direction='out'/>"
    "</method></interface></node>";

struct Service {
    std::string mode;
    uint32_t width = 0, height = 0, format = 0;
    uint32_t top = 0, bottom = 0; // 0xRRGGBB
    std::vector<int> held;        // pipes kept open, never written
    std::vector<GDBusMethodInvocation*> unanswered;
};

std::string Picture(const Service& s) {
    std::string bytes;
    bytes.reserve(size_t(s.width) * s.height * 4);
    for (uint32_t y = 0; y < s.height; y++) {
        const uint32_t c = y < s.height / 2 ? s.top : s.bottom;
        for (uint32_t x = 0; x < s.width; x++) {
            bytes += {char(c & 0xff), char(c >> 8 & 0xff), char(c >> 16 & 0xff), char(0xff)};
        }
    }
    return bytes;
}

// Writes as a client reads, then closes: on a thread of its own, so that
// the bus is served meanwhile.
void WriteAndClose(int fd, std::string bytes) {
    std::thread([fd, bytes = std::move(bytes)] {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
            if (n <= 0) {
                break; // the reader gave up
            }
            at += size_t(n);
        }
        close(fd);
    }).detach();
}

void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* s = static_cast<Service*>(data);
    const gchar* output = nullptr;
    gint32 handle = -1;
    g_variant_get(parameters, "(&s@a{sv}h)", &output, nullptr, &handle);
    std::printf("capture %s\n", output);
    std::fflush(stdout);
    GUnixFDList* fds = g_dbus_message_get_unix_fd_list(g_dbus_method_invocation_get_message(invocation));
    const int fd = fds != nullptr ? g_unix_fd_list_get(fds, handle, nullptr) : -1;
    if (s->mode == "refuse") {
        close(fd);
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.kde.KWin.ScreenShot2.Error.NoAuthorized",
            "The process is not authorized to take a screenshot");
        return;
    }
    if (s->mode == "silent") {
        s->held.push_back(fd);
        s->unanswered.push_back(invocation);
        return;
    }
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&results, "{sv}", "type", g_variant_new_string("raw"));
    g_variant_builder_add(&results, "{sv}", "width", g_variant_new_uint32(s->width));
    g_variant_builder_add(&results, "{sv}", "height", g_variant_new_uint32(s->height));
    g_variant_builder_add(&results, "{sv}", "stride", g_variant_new_uint32(s->width * 4));
    g_variant_builder_add(&results, "{sv}", "format", g_variant_new_uint32(s->format));
    g_variant_builder_add(&results, "{sv}", "scale", g_variant_new_double(1.0));
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(a{sv})", &results));
    if (s->mode == "mute") {
        s->held.push_back(fd);
    } else if (s->mode == "empty") {
        close(fd);
    } else if (s->mode == "short") {
        std::string picture = Picture(*s);
        picture.resize(picture.size() / 2);
        WriteAndClose(fd, std::move(picture));
    } else {
        WriteAndClose(fd, Picture(*s));
    }
}

void OnAcquired(GDBusConnection*, const gchar*, gpointer) {
    std::printf("ready\n");
    std::fflush(stdout);
}

void OnLost(GDBusConnection*, const gchar* name, gpointer) {
    std::fprintf(stderr, "tumblix-fakekwin: %s is not ours\n", name);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv) {
    const std::string modes = " good silent mute empty short refuse ";
    if (argc != 7 || modes.find(" " + std::string(argv[1]) + " ") == std::string::npos) {
        std::fprintf(stderr, "usage: tumblix-fakekwin good|silent|mute|empty|short|refuse WIDTH "
                             "HEIGHT FORMAT TOP BOTTOM\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    Service s;
    s.mode = argv[1];
    s.width = uint32_t(std::strtoul(argv[2], nullptr, 10));
    s.height = uint32_t(std::strtoul(argv[3], nullptr, 10));
    s.format = uint32_t(std::strtoul(argv[4], nullptr, 10));
    s.top = uint32_t(std::strtoul(argv[5], nullptr, 16));
    s.bottom = uint32_t(std::strtoul(argv[6], nullptr, 16));
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        std::fprintf(stderr, "tumblix-fakekwin: %s\n", error->message);
        return 1;
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    const GDBusInterfaceVTable table = {OnCall, nullptr, nullptr, {}};
    if (g_dbus_connection_register_object(bus, "/org/kde/KWin/ScreenShot2", node->interfaces[0],
                                          &table, &s, nullptr, &error) == 0) {
        std::fprintf(stderr, "tumblix-fakekwin: %s\n", error->message);
        return 1;
    }
    g_bus_own_name_on_connection(bus, "org.kde.KWin", G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                 OnAcquired, OnLost, nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop); // until the bus goes (GDBus then ends the program) or a signal
    return 0;
}
