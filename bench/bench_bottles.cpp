// The cost of the bottles' frame with the default content: the whole
// DrawBottles, and its parts (collisions, motion with the depth sort, the
// sort alone, drawing). Draws on SDL's offscreen driver at 1280x720.
//   build/bin/bench_bottles [--resources DIR]

#include "bottles/MainClass.h"
#include "host/platform/sdl/GLWindow.h"
#include "scene/Settings.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string resources = TUMBLIX_SHARE_DIR;

struct Scene {
    GLWindow window;
    MAINCLASS manager;
    bool ok = false;

    Scene() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (!window.Open("bench", 1280, 720, false)) {
            std::fprintf(stderr, "bench: %s\n", window.error().c_str());
            return;
        }
        glViewport(0, 0, 1280, 720);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_COLOR_MATERIAL);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glMatrixMode(GL_PROJECTION);
        gluPerspective(45.0, 1280.0 / 720.0, 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();

        SETTINGS s;
        s.NUM_BOTTLES = 5;
        s.LBOTTLESIZE = 50;
        s.GOODSHINE = true;
        std::snprintf(s.BottlePath, sizeof s.BottlePath, "%s", resources.c_str());
        s.bottleSelection = new char[3]{'#', '#', 0};
        s.selectionSize = 3;
        std::srand(7);
        ok = manager.Setup(&s);
        manager.frustum.ExtractFrustumFaster();
        int triangles = 0;
        for (int i = 0; ok && i < 5; i++)
            triangles += manager.bottles[i].numMids;
        std::fprintf(stderr, "bench: %s, 5 bottles, %d triangles\n",
                     ok ? "default content" : "NO CONTENT", triangles);
    }
    ~Scene() {
        window.MakeCurrent();
        manager.Cleanup();
        manager.CleanupBottleList();
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void Frame(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) {
        state.SkipWithError("no bottles");
        return;
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        s.manager.DrawBottles(1.0 / 35);
        glFinish();
    }
}

void Collisions(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state)
        s.manager.CheckCollisions();
}

void MotionAndSort(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state)
        for (int i = 0; i < 5; i++)
            s.manager.bottles[i].Move(1.0 / 35, &s.manager);
}

void SortOnly(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state)
        for (int i = 0; i < 5; i++)
            s.manager.bottles[i].Rotate(s.manager.bottles[i].rotation);
}

void DrawOnly(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < 5; i++)
            s.manager.bottles[i].Draw(&s.manager);
        glFinish();
    }
}

} // namespace

BENCHMARK(Frame)->MinTime(2.0)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Collisions)->Unit(benchmark::kMicrosecond);
BENCHMARK(MotionAndSort)->Unit(benchmark::kMicrosecond);
BENCHMARK(SortOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawOnly)->MinTime(2.0)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i++) {
        if (std::strcmp(argv[i], "--resources") == 0) {
            resources = argv[i + 1];
            for (int j = i; j + 2 <= argc; j++)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
