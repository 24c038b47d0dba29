#include "SwayServer.h"

#include "SaverFiles.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

std::string Hex(RGBA c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
    return text;
}

} // namespace

SwayServer::SwayServer(const Layout& layout) : shape(layout) {
    if (RunTool("for p in sway swaymsg swaybg swayidle grim wtype setpriv; do command -v $p || "
                "exit 1; done")
            .status != 0) {
        reason = "sway, swaybg, swayidle, grim, wtype or setpriv is missing (scripts/setup "
                 "installs them)";
        return;
    }
    // Under /tmp, not $TMPDIR: the compositor's user must reach it, and a
    // socket's path must stay short.
    char pattern[] = "/tmp/tumblix-sway-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        reason = "no temporary folder";
        return;
    }
    folder = pattern;
    runtime = folder + "/run";
    const bool root = geteuid() == 0;
    if (chmod(folder.c_str(), 0711) != 0 || mkdir(runtime.c_str(), 0700) != 0 ||
        (root && chown(runtime.c_str(), kNobody, kNobody) != 0)) {
        reason = "cannot make the compositor's runtime folder";
        return;
    }
    if (!Start()) {
        const std::string said = sway.Output(); // its last words say why
        reason += "\n" + said.substr(said.size() > 600 ? said.size() - 600 : 0);
    }
}

bool SwayServer::Start() {
    const int width = int(shape.width / shape.scale), height = int(shape.height / shape.scale);
    std::ofstream config(folder + "/config");
    config << "xwayland disable\n";
    for (int i = 0; i < 3; i++) {
        config << "output " << OutputName(i) << " mode " << shape.width << "x" << shape.height
               << " scale " << shape.scale << " position " << (shape.stacked ? 0 : i * width) << " "
               << (shape.stacked ? i * height : 0) << " bg ";
        if (shape.split) { // a picture of the output's own size, shown as it is
            const std::string picture = folder + "/desktop-" + std::to_string(i) + ".png";
            saverfiles::WriteSplitPicture(picture, shape.width, shape.height, shape.colours[i],
                                          shape.lower[i]);
            chmod(picture.c_str(), 0644);
            config << picture << " center\n";
        } else {
            config << Hex(shape.colours[i]) << " solid_color\n";
        }
    }
    config.close();
    chmod((folder + "/config").c_str(), 0644);

    std::vector<std::string> argv = {"sway", "-c", folder + "/config"};
    if (geteuid() == 0) {
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    if (!sway.Start(argv, {{"WLR_BACKENDS", "headless"},
                           {"WLR_RENDERER", "pixman"},
                           {"WLR_LIBINPUT_NO_DEVICES", "1"},
                           {"XDG_RUNTIME_DIR", runtime},
                           {"HOME", runtime},
                           {"-DISPLAY", ""},
                           {"-WAYLAND_DISPLAY", ""},
                           {"-WAYLAND_SOCKET", ""},
                           {"-SWAYSOCK", ""}})) {
        reason = "sway did not start";
        return false;
    }
    // The Wayland socket and the IPC socket, in a folder no one else uses.
    std::string display, ipc;
    WaitFor(kPatience, [&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(runtime, error)) {
            const std::string name = entry.path().filename();
            if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) {
                display = name;
            } else if (name.rfind("sway-ipc.", 0) == 0) {
                ipc = entry.path();
            }
        }
        return (!display.empty() && !ipc.empty()) || !sway.Running();
    });
    if (display.empty() || ipc.empty()) {
        reason = "sway made no sockets";
        return false;
    }
    clientEnv = {{"WAYLAND_DISPLAY", display},
                 {"XDG_RUNTIME_DIR", runtime},
                 {"SWAYSOCK", ipc},
                 {"-DISPLAY", ""},
                 {"-WAYLAND_SOCKET", ""}};

    // The headless backend starts with one output; the second is made.
    auto both = [&] {
        return ActiveOutputs() == std::vector<std::string>{OutputName(0), OutputName(1)};
    };
    if (!WaitFor(kPatience, [&] { return ActiveOutputs().size() == 1 || !sway.Running(); }) ||
        Run("swaymsg create_output >/dev/null").status != 0 || !WaitFor(kPatience, both)) {
        reason = "sway did not show two outputs";
        return false;
    }
    for (int i = 0; i < 2; i++) { // swaybg paints the desktops on its own time
        Picture p;
        if (!WaitFor(kPatience, [&] {
                p = Screenshot(i);
                return p.Halves(shape.colours[i], shape.BottomOf(i));
            })) {
            p.Keep("sway-desktop-" + OutputName(i) + "-failed");
            reason = OutputName(i) + " never showed its desktop colour";
            return false;
        }
    }
    return true;
}

SwayServer::~SwayServer() {
    if (sway.Running()) {
        Run("swaymsg exit >/dev/null 2>&1");
        if (!sway.WaitExit(kPatience, nullptr)) {
            sway.Signal(SIGKILL);
            sway.WaitExit(kPatience, nullptr);
        }
    }
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

ToolResult SwayServer::Run(const std::string& commandLine) const {
    return RunToolIn(clientEnv, commandLine);
}

std::vector<std::string> SwayServer::ActiveOutputs() const {
    // The plain listing names each output on a line "Output NAME 'make model serial'".
    const ToolResult r = Run("swaymsg -t get_outputs -p 2>/dev/null");
    std::vector<std::string> names;
    for (size_t at = 0; r.status == 0 && (at = r.out.find("Output ", at)) != std::string::npos;) {
        const size_t end = r.out.find(' ', at + 7);
        names.push_back(r.out.substr(at + 7, end - at - 7));
        at = end;
    }
    return names;
}

SwayServer::Picture SwayServer::Screenshot(int output) const {
    const ToolResult r = Run("grim -t ppm -o " + OutputName(output) + " - 2>/dev/null");
    return r.status == 0 ? Picture::FromPpm(r.out) : Picture{};
}

SwayServer::Picture SwayServer::Picture::FromPpm(const std::string& ppm) {
    // "P6\nW H\n255\n" and the rows, top first.
    Picture p;
    int depth = 0, header = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &p.width, &p.height, &depth, &header) != 3 ||
        depth != 255 || p.width <= 0 || p.height <= 0 ||
        ppm.size() != size_t(header) + 1 + size_t(p.width) * p.height * 3) {
        return Picture{};
    }
    const char* rgb = ppm.data() + header + 1;
    for (int i = 0; i < p.width * p.height; i++, rgb += 3) {
        p.pixels.push_back(RGBA{uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]), 255});
    }
    return p;
}

double SwayServer::Picture::Share(RGBA colour, double top, double bottom) const {
    const size_t from = size_t(top * height + 0.5) * width,
                 to = std::min(pixels.size(), size_t(bottom * height + 0.5) * width);
    size_t near = 0;
    for (size_t i = from; i < to; i++) {
        near += saverfiles::Near(pixels[i], colour) ? 1 : 0;
    }
    return to <= from ? 0.0 : double(near) / double(to - from);
}

bool SwayServer::Picture::UprightBehindBottles(RGBA top, RGBA bottom) const {
    return Share(top, 0.0, 0.25) > 0.5 && Share(bottom, 0.0, 0.25) < 0.05 &&
           Share(bottom, 0.75, 1.0) > 0.5 && Share(top, 0.75, 1.0) < 0.05 &&
           Share(top) + Share(bottom) < 0.99;
}

void SwayServer::Picture::Keep(const std::string& name) const {
    const char* folder = std::getenv("TUMBLIX_TEST_SHOTS");
    if (folder == nullptr || pixels.empty()) {
        return;
    }
    pics::PngImage png;
    png.width = uint32_t(width);
    png.height = uint32_t(height);
    for (const RGBA& c : pixels) {
        png.rows.insert(png.rows.end(), {c.r, c.g, c.b});
    }
    const brew::Bytes bytes = pics::EncodePNG(png);
    std::ofstream(std::string(folder) + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void SwayServer::Kill() {
    sway.Signal(SIGKILL);
    sway.WaitExit(kPatience, nullptr);
}
