// The generated default content: made the same every time, and fit for the
// way the saver uses it.
#include "ReferenceReaders.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/wait.h>

namespace {

int RunProgram(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One generation for the whole program; the checks read from it.
class Content : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = new ref::TempFolder;
        ASSERT_EQ(RunProgram(ref::BuildProgram("tumblix-content") + " " + folder->path), 0);
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    static ref::Bytes File(const std::string& name) {
        ref::Bytes b;
        EXPECT_TRUE(ref::ReadFile(folder->path + "/" + name, &b)) << name;
        return b;
    }
    static std::vector<std::string> Bottles() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder->path)) {
            if (e.path().extension() == ".brew") {
                names.push_back(e.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static ref::TempFolder* folder;
};
ref::TempFolder* Content::folder = nullptr;

TEST_F(Content, TwoGenerationsAreIdenticalByteForByte) {
    ref::TempFolder second;
    ASSERT_EQ(RunProgram(ref::BuildProgram("tumblix-content") + " " + second.path + "/deeper"), 0);
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder->path)) {
        names.insert(e.path().filename().string());
    }
    std::set<std::string> again;
    for (const auto& e : std::filesystem::directory_iterator(second.path + "/deeper")) {
        again.insert(e.path().filename().string());
    }
    ASSERT_EQ(names, again);
    EXPECT_EQ(names.size(), 1 + Bottles().size() + 8 + 1);
    for (const std::string& n : names) {
        ref::Bytes b;
        ASSERT_TRUE(ref::ReadFile(second.path + "/deeper/" + n, &b));
        EXPECT_TRUE(b == File(n)) << n << " differs between two generations";
    }
}

TEST_F(Content, GeneratorRefusesBadUsage) {
    EXPECT_EQ(RunProgram(ref::BuildProgram("tumblix-content")), 2);
    EXPECT_EQ(RunProgram(ref::BuildProgram("tumblix-content") + " --bogus x"), 2);
    EXPECT_EQ(RunProgram(ref::BuildProgram("tumblix-content") + " /proc/no-such-place"), 1);
}

ref::Tga Image(const ref::Bytes& file, const ref::Lump& lump) {
    ref::Tga t;
    EXPECT_TRUE(ref::DecodeTga(lump.Body(file), &t));
    return t;
}

TEST_F(Content, ResourceContainerHasTheImagesTheSceneDraws) {
    const ref::Bytes f = File("dewkin.works");
    ASSERT_GE(f.size(), 24u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "DWKF");
    EXPECT_EQ(ref::U32(f, 16), ~uint32_t(f.size()));
    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, false, &lumps));
    ASSERT_GE(lumps.size(), 9u);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8}) {
        EXPECT_EQ(lumps[i].type, 1u) << "lump " << i;
        EXPECT_GT(Image(f, lumps[i]).width, 0) << "lump " << i;
    }
    EXPECT_EQ(lumps[0].alphaMode, 2u) << "the font's black must be transparent";
    EXPECT_EQ(lumps[8].alphaMode, 2u) << "only the shine's highlights may show";
    std::set<ref::Bytes> messages;
    for (int i = 4; i <= 7; i++) {
        const ref::Tga m = Image(f, lumps[i]);
        EXPECT_GE(m.width, 1024) << "message " << i << " is stretched to 1024 units";
        EXPECT_GE(m.height, 64);
        EXPECT_EQ(m.width, 16 * m.height) << "messages are drawn 16 times wider than high";
        messages.insert(m.pixels);
    }
    EXPECT_EQ(messages.size(), 4u) << "the four messages must differ";
    const ref::Tga logo = Image(f, lumps[1]);
    EXPECT_EQ(logo.width, 8 * logo.height) << "the logo is drawn 256 by 32";
}

// Brightest channel in a rectangle of the font, rows counted from the top.
int Ink(const ref::Tga& font, int x0, int y0, int w, int h) {
    int ink = 0;
    for (int y = y0; y < y0 + h; y++) {
        for (int x = x0; x < x0 + w; x++) {
            const uint8_t* p = font.At(x, font.height - 1 - y);
            ink = std::max({ink, int(p[0]), int(p[1]), int(p[2])});
        }
    }
    return ink;
}

TEST_F(Content, FontCellsHoldTheirCharacters) {
    const ref::Bytes f = File("dewkin.works");
    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, false, &lumps));
    const ref::Tga font = Image(f, lumps[0]);
    ASSERT_EQ(font.width % 16, 0);
    ASSERT_EQ(font.height % 8, 0);
    const int cw = font.width / 16, ch = font.height / 8;
    auto cell = [&](int g) { return Ink(font, (g % 16) * cw, (g / 16) * ch, cw, ch); };
    EXPECT_EQ(cell(0), 0) << "the space holds no ink";
    EXPECT_GT(cell('A' - 32), 200);
    EXPECT_GT(cell('0' - 32), 200);
    EXPECT_GT(cell('~' - 32), 200);
    // Rows are counted from the top: the unused rows 6 and 7 are the bottom ones.
    EXPECT_EQ(Ink(font, 0, 6 * ch, font.width, 2 * ch), 0);
    for (int g = 1; g < 95; g++) {
        // Filtering must never pull ink from a neighbour: each cell's border is black.
        const int x0 = (g % 16) * cw, y0 = (g / 16) * ch;
        EXPECT_EQ(Ink(font, x0, y0, cw, 1) + Ink(font, x0, y0 + ch - 1, cw, 1) +
                      Ink(font, x0, y0, 1, ch) + Ink(font, x0 + cw - 1, y0, 1, ch),
                  0)
            << "glyph " << char(32 + g) << " touches its cell's edge";
        // Glyphs are laid out three quarters of a cell apart.
        int left = cw, right = -1;
        for (int x = 0; x < cw; x++) {
            if (Ink(font, x0 + x, y0, 1, ch) > 40) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        ASSERT_GE(right, left) << "glyph " << char(32 + g) << " has no ink";
        EXPECT_LE(right - left + 1, cw * 3 / 4) << "glyph " << char(32 + g) << " is too wide";
    }
}

TEST_F(Content, ClinksAreShortQuietAtTheEndsAndDistinct) {
    std::set<int> pitches;
    for (int n = 1; n <= 8; n++) {
        const ref::Bytes w = File("clink" + std::to_string(n) + ".wav");
        ASSERT_GE(w.size(), 44u);
        EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
        EXPECT_EQ(ref::U32(w, 4), w.size() - 8);
        EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(ref::U32(w, 16), 16u);
        EXPECT_EQ(ref::U16(w, 20), 1) << "PCM";
        EXPECT_EQ(ref::U16(w, 22), 1) << "mono";
        const uint32_t rate = ref::U32(w, 24);
        EXPECT_EQ(ref::U32(w, 28), rate * 2);
        EXPECT_EQ(ref::U16(w, 32), 2);
        EXPECT_EQ(ref::U16(w, 34), 16);
        EXPECT_EQ(std::string(w.begin() + 36, w.begin() + 40), "data");
        const uint32_t size = ref::U32(w, 40);
        ASSERT_EQ(size, w.size() - 44);
        const size_t count = size / 2;
        EXPECT_LE(double(count) / rate, 0.6);
        EXPECT_GE(double(count) / rate, 0.2);
        int peak = 0, crossings = 0;
        int16_t previous = 0;
        for (size_t i = 0; i < count; i++) {
            const int16_t s = int16_t(ref::U16(w, 44 + 2 * i));
            peak = std::max(peak, std::abs(int(s)));
            if (i < rate / 20 && i > 0 && (previous < 0) != (s < 0)) {
                crossings++;
            }
            previous = s;
        }
        EXPECT_LE(peak, int(32767 * std::pow(10.0, -3.0 / 20)));
        EXPECT_GT(peak, 8000) << "clink " << n << " is too quiet";
        // No click: the first and last samples start from and return to silence.
        for (size_t i : {size_t(0), count - 1}) {
            EXPECT_LE(std::abs(int(int16_t(ref::U16(w, 44 + 2 * i)))), 64) << "clink " << n;
        }
        pitches.insert(crossings / 10); // crossings in 50 ms, coarsely
    }
    EXPECT_EQ(pitches.size(), 8u) << "every clink has its own pitch";
}

TEST_F(Content, BackgroundIsAPicture) {
    const ref::Bytes p = File("default-background.png");
    ASSERT_GT(p.size(), 33u);
    EXPECT_EQ(std::memcmp(p.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(std::string(p.begin() + 12, p.begin() + 16), "IHDR");
    const uint32_t w = (p[16] << 24) | (p[17] << 16) | (p[18] << 8) | p[19];
    const uint32_t h = (p[20] << 24) | (p[21] << 16) | (p[22] << 8) | p[23];
    EXPECT_GE(w, 512u);
    EXPECT_GE(h, 384u);
}

struct Vec {
    double x, y, z;
    Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator*(double k) const { return {x * k, y * k, z * k}; }
};
double Dot(const Vec& a, const Vec& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(const Vec& a, const Vec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec At(const ref::Ms3d& m, uint16_t v) {
    return {m.vertices[v].p[0], m.vertices[v].p[1], m.vertices[v].p[2]};
}

// Distance along the ray from `from` in `dir` to the triangle, or -1.
double Hit(const Vec& from, const Vec& dir, const Vec& a, const Vec& b, const Vec& c) {
    const Vec e1 = b - a, e2 = c - a, p = Cross(dir, e2);
    const double det = Dot(e1, p);
    if (std::fabs(det) < 1e-12) {
        return -1;
    }
    const Vec s = from - a;
    const double u = Dot(s, p) / det;
    const Vec q = Cross(s, e1);
    const double v = Dot(dir, q) / det;
    if (u < 0 || v < 0 || u + v > 1) {
        return -1;
    }
    return Dot(e2, q) / det;
}

TEST_F(Content, BottleTypesAreDistinctAndComplete) {
    const std::vector<std::string> files = Bottles();
    ASSERT_GE(files.size(), 5u);
    std::set<std::string> names;
    std::set<std::pair<int, int>> shapes;
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        const ref::Bytes f = File(name);
        ASSERT_GE(f.size(), 76u);
        EXPECT_EQ(std::string(f.begin() + 50, f.begin() + 54), "TUMB");
        EXPECT_EQ(f[55], 1);
        EXPECT_EQ(f[54], 0);
        EXPECT_EQ(ref::U32(f, 56) & 1, 0u);
        EXPECT_EQ(ref::U32(f, 64), ~uint32_t(f.size()));
        names.insert(std::string(reinterpret_cast<const char*>(f.data()),
                                 strnlen(reinterpret_cast<const char*>(f.data()), 50)));
        std::vector<ref::Lump> lumps;
        ASSERT_TRUE(ref::ReadDirectory(f, true, &lumps));
        ASSERT_GE(lumps.size(), 3u) << "a model, the glass and at least one label";
        ref::Ms3d m;
        ASSERT_TRUE(ref::ReadMs3d(lumps[0].Body(f), &m));
        EXPECT_GE(m.triangles.size(), 800u);
        EXPECT_LE(m.triangles.size(), 3000u);

        float low = 1e9f, high = -1e9f, wide = 0;
        for (const auto& v : m.vertices) {
            low = std::min(low, v.p[1]);
            high = std::max(high, v.p[1]);
            wide = std::max(wide, v.p[0]);
        }
        EXPECT_GE(high - low, 15.0f);
        EXPECT_LE(high - low, 23.0f);
        EXPECT_NEAR(high + low, 0.0f, 0.5f) << "centred on the origin";
        shapes.insert({int(std::lround((high - low) * 10)), int(std::lround(wide * 10))});

        ASSERT_GE(m.groups.size(), 2u);
        EXPECT_EQ(m.groups[0].material, 0) << "group 0 is the glass";
        // The glass's texel (0, 0) is the flat glass colour: under linear
        // filtering it mixes the four corners, so they must agree.
        ASSERT_EQ(lumps[1].type, 1u);
        const ref::Tga glass = Image(f, lumps[1]);
        const uint8_t* c0 = glass.At(0, 0);
        for (auto xy : {std::pair<int, int>{glass.width - 1, 0},
                        {0, glass.height - 1},
                        {glass.width - 1, glass.height - 1}}) {
            EXPECT_EQ(std::memcmp(glass.At(xy.first, xy.second), c0, 3), 0);
        }
        for (size_t g = 1; g < m.groups.size(); g++) {
            const int material = m.groups[g].material;
            EXPECT_GE(material, 1);
            ASSERT_LT(size_t(material), lumps.size() - 1) << "a label without its slot";
            EXPECT_EQ(lumps[material + 1].type, 1u) << "a label slot must be an image";
        }
        size_t inGroups = 0;
        for (const auto& g : m.groups) {
            inGroups += g.triangles.size();
        }
        EXPECT_EQ(inGroups, m.triangles.size()) << "every triangle belongs to one group";
    }
    EXPECT_EQ(names.size(), files.size()) << "display names must differ";
    EXPECT_EQ(shapes.size(), files.size()) << "shapes must differ";
}

TEST_F(Content, GlassIsClosedWithOutwardNormals) {
    for (const std::string& name : Bottles()) {
        SCOPED_TRACE(name);
        const ref::Bytes f = File(name);
        std::vector<ref::Lump> lumps;
        ASSERT_TRUE(ref::ReadDirectory(f, true, &lumps));
        ref::Ms3d m;
        ASSERT_TRUE(ref::ReadMs3d(lumps[0].Body(f), &m));
        // Closed and consistently wound: every directed edge of the glass is
        // matched by exactly one edge running the other way.
        std::map<std::pair<int, int>, int> edges;
        double volume = 0;
        int badNormals = 0;
        for (uint16_t i : m.groups[0].triangles) {
            const auto& t = m.triangles[i];
            for (int k = 0; k < 3; k++) {
                edges[{t.v[k], t.v[(k + 1) % 3]}]++;
            }
            const Vec a = At(m, t.v[0]), b = At(m, t.v[1]), c = At(m, t.v[2]);
            volume += Dot(a, Cross(b, c)) / 6;
            const Vec face = Cross(b - a, c - a);
            for (int k = 0; k < 3; k++) {
                const Vec n = {t.n[k][0], t.n[k][1], t.n[k][2]};
                EXPECT_NEAR(Dot(n, n), 1.0, 1e-3);
                badNormals += Dot(n, face) <= 0;
            }
        }
        for (const auto& e : edges) {
            ASSERT_EQ(e.second, 1) << "edge used twice the same way";
            const auto back = edges.find({e.first.second, e.first.first});
            ASSERT_TRUE(back != edges.end())
                << "open edge " << e.first.first << "-" << e.first.second;
        }
        EXPECT_GT(volume, 50.0) << "faces wound inwards";
        EXPECT_EQ(badNormals, 0) << "corner normals must agree with their faces";
    }
}

TEST_F(Content, LabelsSitOnTheGlassReadingLeftToRightAndUpright) {
    for (const std::string& name : Bottles()) {
        SCOPED_TRACE(name);
        const ref::Bytes f = File(name);
        std::vector<ref::Lump> lumps;
        ASSERT_TRUE(ref::ReadDirectory(f, true, &lumps));
        ref::Ms3d m;
        ASSERT_TRUE(ref::ReadMs3d(lumps[0].Body(f), &m));
        for (size_t g = 1; g < m.groups.size(); g++) {
            for (uint16_t i : m.groups[g].triangles) {
                const auto& t = m.triangles[i];
                const Vec a = At(m, t.v[0]), b = At(m, t.v[1]), c = At(m, t.v[2]);
                const Vec centre = (a + b + c) * (1.0 / 3);
                // Just outside the glass: the outermost glass surface along
                // the ray from the axis lies a little inside the label.
                const Vec axis = {0, centre.y, 0};
                const double reach = std::sqrt(centre.x * centre.x + centre.z * centre.z);
                const Vec dir = (centre - axis) * (1.0 / reach);
                double glass = -1;
                for (uint16_t j : m.groups[0].triangles) {
                    const auto& u = m.triangles[j];
                    glass = std::max(glass,
                                     Hit(axis, dir, At(m, u.v[0]), At(m, u.v[1]), At(m, u.v[2])));
                }
                ASSERT_GT(glass, 0) << "label over no glass";
                EXPECT_GT(reach - glass, 0.005);
                EXPECT_LT(reach - glass, 0.2);

                // Seen from outside with y up, s grows to the right and t
                // (counted from the image's top) grows downwards.
                const Vec normal = Cross(b - a, c - a);
                const Vec right = Cross({0, 1, 0}, normal);
                const double ds1 = t.s[1] - t.s[0], ds2 = t.s[2] - t.s[0];
                const double dt1 = t.t[1] - t.t[0], dt2 = t.t[2] - t.t[0];
                const double det = ds1 * dt2 - ds2 * dt1;
                ASSERT_NE(det, 0.0);
                const Vec dPds = ((b - a) * dt2 - (c - a) * dt1) * (1 / det);
                const Vec dPdt = ((c - a) * ds1 - (b - a) * ds2) * (1 / det);
                EXPECT_GT(Dot(dPds, right), 0) << "label mirrored";
                EXPECT_LT(dPdt.y, 0) << "label upside down";
                EXPECT_GT(Dot(normal, dir), 0) << "label faces inwards";
            }
        }
    }
}

} // namespace
