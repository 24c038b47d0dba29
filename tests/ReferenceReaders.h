#ifndef TUMBLIX_TESTS_REFERENCEREADERS_H
#define TUMBLIX_TESTS_REFERENCEREADERS_H

// Small, independent readers of our file formats, for tests that check what
// the writers and generators made. They trust their input far less than they
// trust nothing: a malformed file makes them return false, never crash.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace ref {

using Bytes = std::vector<uint8_t>;

inline uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
inline uint16_t U16(const Bytes& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
inline float F32(const Bytes& b, size_t at) {
    const uint32_t u = U32(b, at);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

struct Lump {
    uint32_t size = 0, offset = 0, type = 0, alphaMode = 0;
    Bytes Body(const Bytes& file) const {
        if (offset > file.size() || size > file.size() - offset) {
            return {};
        }
        return Bytes(file.begin() + offset, file.begin() + offset + size);
    }
};

// Directory of a bottle data file (header 76, entries 16) or a resource
// container (header 24, entries 28).
inline bool ReadDirectory(const Bytes& file, bool bottle, std::vector<Lump>* lumps) {
    const size_t header = bottle ? 76 : 24, entry = bottle ? 16 : 28;
    if (file.size() < header) {
        return false;
    }
    const uint32_t n = U32(file, bottle ? 60 : 12);
    const uint32_t dir = U32(file, bottle ? 68 : 20);
    if (dir > file.size() || n > (file.size() - dir) / entry) {
        return false;
    }
    lumps->clear();
    for (uint32_t i = 0; i < n; i++) {
        Lump l;
        const size_t at = dir + i * entry;
        l.size = U32(file, at);
        l.offset = U32(file, at + 4);
        l.type = U32(file, at + 8);
        l.alphaMode = U32(file, at + 12);
        lumps->push_back(l);
    }
    return true;
}

// A decoded TGA: pixels R, G, B (, A) in file order, as the saver keeps them.
struct Tga {
    int width = 0, height = 0, channels = 0;
    Bytes pixels;
    const uint8_t* At(int x, int fileRow) const {
        return &pixels[(size_t(fileRow) * width + x) * channels];
    }
};

// Types 2 and 10 only, 24 or 32 bits; packets may cross rows, never the end.
inline bool DecodeTga(const Bytes& b, Tga* out) {
    static const uint8_t plain[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    static const uint8_t packed[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (b.size() < 18) {
        return false;
    }
    const bool rle = std::memcmp(b.data(), packed, 12) == 0;
    if (!rle && std::memcmp(b.data(), plain, 12) != 0) {
        return false;
    }
    out->width = U16(b, 12);
    out->height = U16(b, 14);
    if (b[16] != 24 && b[16] != 32) {
        return false;
    }
    out->channels = b[16] / 8;
    const size_t total = size_t(out->width) * out->height, c = out->channels;
    out->pixels.assign(total * c, 0);
    size_t at = 18, count = 0;
    auto put = [&](const uint8_t* p) {
        uint8_t* q = &out->pixels[count * c];
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
        if (c == 4) {
            q[3] = p[3];
        }
        count++;
    };
    while (count < total) {
        if (!rle) {
            if (b.size() - at < c) {
                return false;
            }
            put(&b[at]);
            at += c;
            continue;
        }
        if (at >= b.size()) {
            return false;
        }
        const uint8_t h = b[at++];
        const size_t n = (h & 0x7f) + 1;
        if (n > total - count) {
            return false;
        }
        if (h & 0x80) {
            if (b.size() - at < c) {
                return false;
            }
            for (size_t k = 0; k < n; k++) {
                put(&b[at]);
            }
            at += c;
        } else {
            if ((b.size() - at) / c < n) {
                return false;
            }
            for (size_t k = 0; k < n; k++, at += c) {
                put(&b[at]);
            }
        }
    }
    return true;
}

struct Ms3d {
    struct Vertex {
        float p[3];
    };
    struct Triangle {
        uint16_t v[3];
        float n[3][3];
        float s[3], t[3];
        uint8_t group;
    };
    struct Group {
        std::string name;
        std::vector<uint16_t> triangles;
        int8_t material;
    };
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    std::vector<Group> groups;
};

// Vertices, triangles and groups; the sections after them are not needed here.
inline bool ReadMs3d(const Bytes& b, Ms3d* m) {
    if (b.size() < 16 || std::memcmp(b.data(), "MS3D000000", 10) != 0) {
        return false;
    }
    size_t at = 14;
    auto need = [&](size_t n) { return n <= b.size() - at; };
    const uint16_t nv = U16(b, at);
    at += 2;
    if (!need(size_t(nv) * 15 + 2)) {
        return false;
    }
    for (int i = 0; i < nv; i++, at += 15) {
        Ms3d::Vertex v;
        for (int k = 0; k < 3; k++) {
            v.p[k] = F32(b, at + 1 + 4 * k);
        }
        m->vertices.push_back(v);
    }
    const uint16_t nt = U16(b, at);
    at += 2;
    if (!need(size_t(nt) * 70 + 2)) {
        return false;
    }
    for (int i = 0; i < nt; i++, at += 70) {
        Ms3d::Triangle t;
        for (int k = 0; k < 3; k++) {
            t.v[k] = U16(b, at + 2 + 2 * k);
            if (t.v[k] >= nv) {
                return false;
            }
            for (int j = 0; j < 3; j++) {
                t.n[k][j] = F32(b, at + 8 + 12 * k + 4 * j);
            }
            t.s[k] = F32(b, at + 44 + 4 * k);
            t.t[k] = F32(b, at + 56 + 4 * k);
        }
        t.group = b[at + 69];
        m->triangles.push_back(t);
    }
    const uint16_t ng = U16(b, at);
    at += 2;
    for (int g = 0; g < ng; g++) {
        if (!need(35)) {
            return false;
        }
        Ms3d::Group group;
        group.name.assign(reinterpret_cast<const char*>(&b[at + 1]),
                          strnlen(reinterpret_cast<const char*>(&b[at + 1]), 32));
        const uint16_t n = U16(b, at + 33);
        at += 35;
        if (!need(size_t(n) * 2 + 1)) {
            return false;
        }
        for (int k = 0; k < n; k++, at += 2) {
            group.triangles.push_back(U16(b, at));
        }
        group.material = int8_t(b[at++]);
        m->groups.push_back(group);
    }
    return true;
}

inline bool ReadFile(const std::string& path, Bytes* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    out->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out->insert(out->end(), buffer, buffer + n);
    }
    std::fclose(f);
    return true;
}

// A fresh, empty folder that removes itself.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tumblix-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~TempFolder() {
        if (!path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
    std::string path;
};

// A program of the build, by name: beside this test program, or in the
// build folder that CTest names.
inline std::string BuildProgram(const char* name) {
    if (const char* dir = std::getenv("TUMBLIX_BUILD_DIR")) {
        return std::string(dir) + "/bin/" + name;
    }
    std::error_code ignored;
    return (std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / name).string();
}

} // namespace ref

#endif
