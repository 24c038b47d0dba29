// The generated default content: made the same every time, and fit for the
// way the saver uses it.
#include "ChildProcess.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "assets/DataFile.h"
#include "assets/Pics.h"
#include "assets/ResFile.h"
#include "assets/TGALoader.h"
#include "host/platform/files/PictureReader.h"
#include "model/MilkshapeModel.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/wait.h>

namespace {

int Generate(const std::string& arguments) {
    const std::string command = BuildProgram("tumblix-content") + arguments;
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The names in a folder that end in ext, sorted.
std::vector<std::string> Names(const std::string& path, const std::string& ext = "") {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path)) {
        if (ext.empty() || e.path().extension() == ext) {
            names.push_back(e.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// One generation for the whole program; the checks read from it.
class Content : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        ASSERT_EQ(Generate(" " + folder->path()), 0);
    }
    static void TearDownTestSuite() { delete folder; }
    static inline TempDir* folder = nullptr;
    const std::string dir = folder->path() + "/";
    PicBitmap Render(const saverfiles::Prefs& prefs, const std::string& size, long frames);
    double LetThrough(saverfiles::Prefs prefs);
};

TEST_F(Content, TwoGenerationsAreIdenticalAndHoldTheImagesTheSceneDraws) {
    TempDir second;
    ASSERT_EQ(Generate(" " + second.path() + "/deeper"), 0);
    const std::vector<std::string> names = Names(dir);
    ASSERT_EQ(names, Names(second.path() + "/deeper"));
    EXPECT_EQ(names.size(), Names(dir, ".brew").size() + 10)
        << "the bottles, the resources, the background and eight clinks";
    for (const std::string& n : names) {
        EXPECT_TRUE(Contents(second.path() + "/deeper/" + n) == Contents(dir + n))
            << n << " differs";
    }
    EXPECT_EQ(Generate(""), 2);
    EXPECT_EQ(Generate(" --bogus x"), 2);
    EXPECT_EQ(Generate(" /proc/no-such-place"), 1);

    // The resource container has the images the scene draws.
    RESFILE file; // as the saver reads it
    ASSERT_TRUE(file.Open((dir + "dewkin.works").c_str()));
    ASSERT_GE(file.lumps.size(), 9u);
    std::set<std::vector<uint8_t>> messages;
    for (int i = 0; i < 9; i++) {
        Texture image;
        EXPECT_EQ(file.lumps[i].type, 1u) << "lump " << i;
        ASSERT_TRUE(file.SeekLump(i) && LoadTGA2(&image, &file.stream)) << "lump " << i;
        if (i >= 4 && i <= 7) {
            EXPECT_GE(image.width, 1024u) << "message " << i << " is stretched to 1024 units";
            EXPECT_EQ(image.width, 16 * image.height) << "drawn 16 times wider than high";
            messages.insert({image.imageData, image.imageData + image.width * image.height * 3});
        }
    }
    EXPECT_EQ(messages.size(), 4u) << "the four messages must differ";
    EXPECT_EQ(file.lumps[0].alphaMode, 2u) << "the font's black must be transparent";
    EXPECT_EQ(file.lumps[8].alphaMode, 2u) << "only the shine's highlights may show";
}

struct Vec {
    double x, y, z;
    Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
};
double Dot(const Vec& a, const Vec& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(const Vec& a, const Vec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Every bottle type as the saver loads it: complete, its glass closed with
// outward normals, its labels facing out, reading left to right and upright.
TEST_F(Content, BottleTypesAreCompleteAndWellShaped) {
    const std::vector<std::string> files = Names(dir, ".brew");
    ASSERT_GE(files.size(), 5u);
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        DATAFILE file; // as the saver reads it
        ASSERT_TRUE(file.Open((dir + name).c_str()));
        ASSERT_GE(file.lumps.size(), 3u) << "a model, the glass and at least one label";
        MS3D m;
        ASSERT_TRUE(file.SeekLump(0) && m.LoadFromFStream(file.stream));
        EXPECT_TRUE(m.numTriangles >= 800 && m.numTriangles <= 3000) << m.numTriangles;

        float low = 1e9f, high = -1e9f;
        for (int i = 0; i < m.numVertices; i++) {
            low = std::min(low, m.vertices[i].location[1]);
            high = std::max(high, m.vertices[i].location[1]);
        }
        EXPECT_TRUE(high - low >= 15.0f && high - low <= 23.0f) << high - low;
        EXPECT_NEAR(high + low, 0.0f, 0.5f) << "centred on the origin";

        ASSERT_GE(m.numGroups, 2);
        EXPECT_EQ(m.groups[0].materialIndex, 0) << "group 0 is the glass";
        // The glass is closed and consistently wound: every directed edge is
        // matched by exactly one edge running the other way.
        std::map<std::pair<int, int>, int> edges;
        double volume = 0;
        size_t inGroups = 0;
        for (int g = 0; g < m.numGroups; g++) {
            inGroups += m.groups[g].numTriangles;
            const int material = m.groups[g].materialIndex;
            ASSERT_TRUE(g == 0 || (material >= 1 && size_t(material) + 1 < file.lumps.size()))
                << "a label without its slot";
            EXPECT_EQ(file.lumps[material + 1].type, 1u) << "a slot drawn must be an image";
            for (int i = 0; i < m.groups[g].numTriangles; i++) {
                const MS3DTRIANGLE& t = m.triangles[m.groups[g].triangleIndices[i]];
                Vec c[3];
                for (int k = 0; k < 3; k++) {
                    const float* p = m.vertices[t.vertexIndices[k]].location;
                    c[k] = {p[0], p[1], p[2]};
                }
                const Vec normal = Cross(c[1] - c[0], c[2] - c[0]);
                if (g == 0) {
                    volume += Dot(c[0], Cross(c[1], c[2])) / 6;
                    for (int k = 0; k < 3; k++) {
                        edges[{t.vertexIndices[k], t.vertexIndices[(k + 1) % 3]}]++;
                        const float* n = t.vertexNormals[k];
                        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-3);
                        EXPECT_GT(Dot({n[0], n[1], n[2]}, normal), 0)
                            << "corner normals must agree with their faces";
                    }
                    continue;
                }
                // Labels face out; seen from outside with y up, s grows to
                // the right and t (counted from the image's top) downwards.
                const Vec centre = c[0] + c[1] + c[2];
                EXPECT_GT(Dot(normal, {centre.x, 0, centre.z}), 0) << "label faces inwards";
                const Vec right = Cross({0, 1, 0}, normal);
                for (int k = 0; k < 3; k++) {
                    const int j = (k + 1) % 3;
                    EXPECT_LE((t.t[k] - t.t[j]) * (c[k].y - c[j].y), 1e-9) << "label upside down";
                    EXPECT_GE((t.s[k] - t.s[j]) * Dot(c[k] - c[j], right), -1e-9)
                        << "label mirrored";
                }
            }
        }
        EXPECT_EQ(inGroups, m.numTriangles) << "every triangle belongs to one group";
        for (const auto& e : edges) {
            ASSERT_EQ(e.second, 1) << "edge used twice the same way";
            ASSERT_TRUE(edges.count({e.first.second, e.first.first}))
                << "open edge " << e.first.first << "-" << e.first.second;
        }
        EXPECT_GT(volume, 50.0) << "faces wound inwards";
    }
}

// The last of `frames` frames of the real program over the generated content,
// seed 10; empty when none came. Pixels top row first, RGB(A).
PicBitmap Content::Render(const saverfiles::Prefs& prefs, const std::string& size, long frames) {
    TempDir home;
    saverfiles::UseUserFolders(home.path());
    saverfiles::WritePreferences(prefs);
    const std::string n = std::to_string(frames);
    const std::string cmd = Quote(BuildProgram("tumblix")) + " --render " + Quote(home / "out") +
                            " --size " + size + " --frames " + n + " --every " + n +
                            " --seed 10 --resources " + Quote(dir) + " >/dev/null 2>&1";
    char name[32];
    std::snprintf(name, sizeof name, "/out/frame-%05ld.png", frames);
    PicBitmap frame;
    EXPECT_TRUE(RunTool(cmd).status == 0 && ReadPicture((home.path() + name).c_str(), &frame))
        << cmd;
    return frame;
}

int Channel(const PicBitmap& f, int x, int y, int k) {
    return f.bitmapData[size_t(y) * f.bytesPerRow + size_t(x) * f.bitsPerPixel / 8 + k];
}

// The clock at full opacity (from 13 s in) over a plain dark ground. Its
// digits' ink (their bright bodies, not the grey outline), found column by
// column, is as wide as the layout's pitch allows, no two glyphs touching.
TEST_F(Content, ClockDigitsFillTheirCellsWithoutTouching) {
    saverfiles::Prefs prefs;
    prefs.colour = {20, 30, 60, 255};
    prefs.showClock = true;
    const PicBitmap f = Render(prefs, "1920x1080", 14 * 35);
    ASSERT_EQ(f.pixelsWide, 1920);
    const double pitch = 0.75 * 100 * 1920 / 1024; // the line's rows: 540 -+ 100 * 1080 / 768 / 2
    std::vector<std::pair<int, int>> digits;       // ink columns [first, last); colons are narrower
    for (int x = 0, start = -1; x <= 1920; x++) {
        bool ink = false;
        for (int y = 460; y < 620 && x < 1920 && !ink; y++) {
            ink = Channel(f, x, y, 1) > 150;
        }
        if (ink && start < 0) {
            start = x;
        } else if (!ink && start >= 0) {
            EXPECT_LT(x - start, pitch) << "glyphs at x " << start << " run into each other";
            if (x - start > 0.45 * pitch) {
                digits.push_back({start, x});
            }
            start = -1;
        }
    }
    ASSERT_GE(digits.size(), 5u) << "H:MM:SS at least";
    int pairs = 0;
    for (size_t i = 1; i < digits.size(); i++) {
        const int gap = digits[i].first - digits[i - 1].second;
        const int width = std::min(digits[i].second - digits[i].first,
                                   digits[i - 1].second - digits[i - 1].first);
        if (gap < 0.75 * pitch) { // else a separator stands between them
            pairs++;
            EXPECT_LE(gap, 0.4 * width) << "digits " << width << " px wide, " << gap << " apart";
        }
    }
    EXPECT_GE(pairs, 2) << "the minutes and the seconds have two digits each";
}

// How much of the background one bottle lets through: over a near-white and a
// near-black ground, the change of its pixels (those off either ground) as a
// part of the grounds' change. Labels let nothing through, so this is the
// 80th percentile, what most of the glass lets through.
double Content::LetThrough(saverfiles::Prefs prefs) {
    const int light = 235, dark = 20;
    prefs.colour = {light, light, light, 255};
    const PicBitmap a = Render(prefs, "1280x720", 2);
    prefs.colour = {dark, dark, dark, 255};
    const PicBitmap b = Render(prefs, "1280x720", 2);
    std::vector<double> through;
    for (int i = 0; a.pixelsWide == 1280 && b.pixelsWide == 1280 && i < 1280 * 720; i++) {
        int offA = 0, offB = 0, diff = 0;
        for (int k = 0; k < 3; k++) {
            const int pa = Channel(a, i % 1280, i / 1280, k),
                      pb = Channel(b, i % 1280, i / 1280, k);
            offA = std::max(offA, std::abs(pa - light));
            offB = std::max(offB, std::abs(pb - dark));
            diff += pa - pb;
        }
        if (offA > 12 || offB > 12) {
            through.push_back(diff / 3.0 / (light - dark));
        }
    }
    EXPECT_GT(through.size(), 2000u) << "the bottle is in view";
    std::sort(through.begin(), through.end());
    return through.empty() ? -1 : through[through.size() * 8 / 10];
}

// With the shine pass on (the default) every type is see-through glass, and
// at least as clear as the sphere-mapped glass of the shine pass off.
TEST_F(Content, EveryTypeLetsTheBackgroundThroughItsGlass) {
    const std::vector<std::string> files = Names(dir, ".brew");
    for (const std::string& name : files) {
        saverfiles::Prefs prefs;
        prefs.maxBottles = 1;
        for (const std::string& other : files) {
            prefs.switchedOff += other == name ? "" : other + "#";
        }
        prefs.switchedOff += "#";
        const double shine = LetThrough(prefs);
        prefs.goodShine = false;
        const double sphere = LetThrough(prefs);
        EXPECT_TRUE(shine >= 0.30 && shine >= sphere - 0.02)
            << name << ": " << shine << " through with the shine pass, " << sphere << " without";
    }
}

} // namespace
