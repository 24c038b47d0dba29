#include "host/platform/sdl/Runners.h"

#include "host/HostClock.h"
#include "host/TumblixView.h"
#include "host/platform/sdl/GLWindow.h"
#include "host/platform/sdl/MixerSound.h"
#include "maths/Misc.h"
#include "scene/SSMain.h"
#include "scene/Text.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

volatile std::sig_atomic_t quitRequested = 0;
void OnQuitSignal(int) {
    quitRequested = 1;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When a headless run had opened its sound and its GL window, for the
// bench's split of the set-up time.
struct SetupMarks {
    double sound = 0, video = 0;
};
SetupMarks setupMarks;

time_t SimulatedWall() {
    return HostClock::WallSeconds();
}

// Headless runs: SDL's offscreen driver and no sound card needed.
void UseHeadlessDrivers() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (getenv("SDL_AUDIODRIVER") == nullptr) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
}

// The view's back buffer as a PNG, top row first.
bool WritePNG(const std::string& path, int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) {
        return false;
    }
    for (int y = 0; y < height; y++) {
        std::copy_n(&pixels[size_t(height - 1 - y) * width * 4], size_t(width) * 4,
                    static_cast<uint8_t*>(surface->pixels) + size_t(y) * surface->pitch);
    }
    // Drawn with alpha 0 where the clear colour shows; a screen ignores it.
    for (int y = 0; y < height; y++) {
        uint8_t* row = static_cast<uint8_t*>(surface->pixels) + size_t(y) * surface->pitch;
        for (int x = 0; x < width; x++) {
            row[x * 4 + 3] = 255;
        }
    }
    const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

// One headless view on a simulated clock. Calls perFrame after each drawn
// frame, before it is presented; stops after `frames` drawn frames.
template <typename PerFrame>
int RunHeadless(const RunOptions& o, PerFrame perFrame, std::string* error) {
    UseHeadlessDrivers();
    HostClock::UseSimulated(std::time(nullptr));
    SetWallClock(SimulatedWall);
    MixerSound::Open();
    setupMarks.sound = SteadySeconds();

    GLWindow window;
    if (!GLWindow::StartVideo(error)) {
        return 1;
    }
    if (!window.Open("tumblix", o.width, o.height, false)) {
        *error = window.error();
        return 1;
    }
    setupMarks.video = SteadySeconds();
    NSRect frame;
    frame.width = o.width;
    frame.height = o.height;
    int status = 0;
    {
        TumblixView view(frame, o.preview, &window, o.resources);
        view.seed = o.seed;
        view.onFrameDrawn = [&] { perFrame(view.framesDrawn); };
        view.startAnimation();
        // Ticks at the host's interval; a tick that draws nothing (the
        // set-up tick) does not count.
        long ticks = 0;
        while (view.framesDrawn < o.frames && !QuitRequested()) {
            view.animateOneFrame();
            if (!view.setupError.empty()) {
                *error = "cannot set the scene up: " + view.setupError;
                status = 1;
                break;
            }
            HostClock::Advance(view.animationTimeInterval());
            if (++ticks > o.frames * 4 + 100) {
                *error = "the view stopped drawing frames";
                status = 1;
                break;
            }
        }
        view.stopAnimation();
    }
    MixerSound::Close();
    SetWallClock(nullptr);
    HostClock::UseSystem();
    return status;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// CPU time of the whole process, every rasteriser thread included, at a
// finer grain than getrusage.
double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The bench's split of each frame's CPU time. A part ends when its drawing
// has been rasterised (glFinish), so the rasteriser's threads are counted
// with the part that gave them the work. The underlay's share starts where
// the previous frame ended and so includes clearing the frame.
struct FrameParts {
    double mark = 0;
    double sum[FRAME_PARTS] = {0, 0, 0};
    bool counting = false;
};
FrameParts frameParts;

void OnFramePart(int part) {
    if (part < 0 || part >= FRAME_PARTS) {
        return;
    }
    glFinish();
    const double now = ProcessCpuSeconds();
    if (frameParts.counting) {
        frameParts.sum[part] += now - frameParts.mark;
    }
    frameParts.mark = now;
}

} // namespace

void InstallQuitSignals() {
    std::signal(SIGTERM, OnQuitSignal);
    std::signal(SIGINT, OnQuitSignal);
    // A watcher starts the saver with them blocked, so that one sent while
    // the program was still loading waits for these handlers.
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    sigprocmask(SIG_UNBLOCK, &quit, nullptr);
}

bool QuitRequested() {
    return quitRequested != 0;
}

int RunRender(const RunOptions& o) {
    mkdir(o.outputDir.c_str(), 0755);
    std::string error;
    long written = 0;
    bool writeFailed = false;
    const int status = RunHeadless(
        o,
        [&](long frame) {
            if (frame % std::max(1L, o.every) != 0 && frame != o.frames) {
                return;
            }
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05ld.png", frame);
            if (WritePNG(o.outputDir + name, o.width, o.height)) {
                written++;
            } else {
                writeFailed = true;
            }
        },
        &error);
    if (status != 0) {
        std::fprintf(stderr, "tumblix: %s\n", error.c_str());
        return status;
    }
    if (writeFailed) {
        std::fprintf(stderr, "tumblix: cannot write frames into %s\n", o.outputDir.c_str());
        return 1;
    }
    std::printf("tumblix: wrote %ld frames into %s\n", written, o.outputDir.c_str());
    return 0;
}

int RunBench(const RunOptions& o, double processStart) {
    std::string error;
    std::vector<double> frameMs;
    frameMs.reserve(size_t(o.frames));
    double setupMs = -1, sceneMs = -1, cpuStart = 0, last = 0;
    frameParts = FrameParts();
    SetFramePartHook(OnFramePart);
    const int status = RunHeadless(
        o,
        [&](long frame) {
            glFinish(); // the frame's cost includes the rasterising
            const double now = SteadySeconds();
            // The parts are counted from the second frame on, like the totals.
            frameParts.mark = ProcessCpuSeconds();
            frameParts.counting = true;
            if (frame == 1) {
                setupMs = (now - processStart) * 1000.0;
                sceneMs = (now - setupMarks.video) * 1000.0;
                cpuStart = CpuSeconds();
            } else {
                frameMs.push_back((now - last) * 1000.0);
            }
            last = now;
        },
        &error);
    SetFramePartHook(nullptr);
    if (status != 0) {
        std::fprintf(stderr, "tumblix: %s\n", error.c_str());
        return status;
    }
    const double cpu = CpuSeconds() - cpuStart;
    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double p) {
        if (sorted.empty()) {
            return 0.0;
        }
        return sorted[std::min(sorted.size() - 1, size_t(p * (sorted.size() - 1) + 0.5))];
    };
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const long timed = std::max<long>(1, long(frameMs.size()));
    std::printf(
        "{\"frames\": %ld, \"width\": %d, \"height\": %d, \"setup_ms\": %.1f, "
        "\"cpu_ms_per_frame\": %.3f, \"wall_ms_per_frame\": {\"p50\": %.3f, \"p99\": %.3f}, "
        "\"max_rss_mb\": %.1f, \"cpu_ms_per_frame_part\": {\"underlay\": %.3f, \"bottles\": %.3f, "
        "\"overlay\": %.3f}, \"setup_ms_part\": {\"sound\": %.1f, \"video\": %.1f, "
        "\"scene\": %.1f}}\n",
        o.frames, o.width, o.height, setupMs, cpu * 1000.0 / timed, percentile(0.5),
        percentile(0.99), u.ru_maxrss / 1024.0, frameParts.sum[FRAME_UNDERLAY] * 1000.0 / timed,
        frameParts.sum[FRAME_BOTTLES] * 1000.0 / timed,
        frameParts.sum[FRAME_OVERLAY] * 1000.0 / timed, (setupMarks.sound - processStart) * 1000.0,
        (setupMarks.video - setupMarks.sound) * 1000.0, sceneMs);
    return 0;
}
