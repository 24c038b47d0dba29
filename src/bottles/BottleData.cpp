#include "bottles/BottleData.h"

#include "assets/DataFile.h"
#include "assets/TGALoader.h"
#include "assets/Texture.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <string>

namespace {

// The mean of the four corner pixels of a decoded image, RGB; alpha is 1,
// as the glass is built opaque whenever its flat colour is used.
void CornerAverage(const Texture& t, float out[4]) {
    if (t.imageData == nullptr || t.width == 0 || t.height == 0) {
        return; // BuildTexture refuses it
    }
    const size_t components = t.type == GL_RGBA ? 4 : 3;
    const size_t w = t.width, h = t.height;
    const size_t corners[4] = {0, w - 1, (h - 1) * w, (h - 1) * w + w - 1};
    for (int c = 0; c < 3; c++) {
        float sum = 0.0f;
        for (size_t corner : corners) {
            sum += t.imageData[corner * components + c];
        }
        out[c] = sum / (4.0f * 255.0f);
    }
    out[3] = 1.0f;
}

} // namespace

BOTTLEINFO::BOTTLEINFO()
    : fileName{}, folder{}, name{}, loaded(false), selected(true), tag(0), flags(0), alpha(0.0f),
      size(1.0f), numTextures(0), textures(nullptr), model(nullptr), triCentres(nullptr),
      numTris(0), top(0.0f), bottom(0.0f), radius(0.0f),
      shortIndices(true), glassColour{1.0f, 1.0f, 1.0f, 1.0f} {}

BOTTLEINFO::~BOTTLEINFO() {
    Release();
}

void BOTTLEINFO::Release() {
    delete[] textures;
    textures = nullptr;
    numTextures = 0;
    delete model;
    model = nullptr;
    delete[] triCentres;
    triCentres = nullptr;
    numTris = 0;
    cornerPositions.clear();
    cornerNormals.clear();
    cornerTexCoords.clear();
    triCorners.clear();
    labelIndices16.clear();
    labelIndices32.clear();
    labelRuns.clear();
    triPlanes.clear();
    loaded = false;
}

void BOTTLEINFO::BuildDrawArrays() {
    // Corners are shared only when every value drawn with them is bit for
    // bit the same, so each shared corner is lit and mapped exactly as the
    // separate corners would be.
    using Key = std::array<uint32_t, 6>;
    std::map<Key, unsigned int> seen;
    auto bits = [](float f) {
        uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        return u;
    };
    triCorners.resize(size_t(numTris) * 3);
    for (int t = 0; t < numTris; t++) {
        const auto& tri = model->triangles[t];
        for (int k = 0; k < 3; k++) {
            const float* n = tri.vertexNormals[k];
            const float s = tri.s[k], tc = -tri.t[k];
            const Key key = {tri.vertexIndices[k], bits(n[0]), bits(n[1]),
                             bits(n[2]),           bits(s),    bits(tc)};
            auto found = seen.find(key);
            if (found == seen.end()) {
                const unsigned int index = unsigned(seen.size());
                found = seen.emplace(key, index).first;
                const float* p = model->vertices[tri.vertexIndices[k]].location;
                cornerPositions.insert(cornerPositions.end(), {p[0], p[1], p[2]});
                cornerNormals.insert(cornerNormals.end(), {n[0], n[1], n[2]});
                cornerTexCoords.insert(cornerTexCoords.end(), {s, tc});
            }
            triCorners[size_t(t) * 3 + k] = found->second;
        }
    }
    triPlanes.resize(size_t(numTris) * 4);
    for (int t = 0; t < numTris; t++) {
        const float* p[3];
        for (int k = 0; k < 3; k++) {
            p[k] = model->vertices[model->triangles[t].vertexIndices[k]].location;
        }
        const VECTOR3D a(p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]);
        const VECTOR3D b(p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]);
        VECTOR3D n(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        // A triangle without area faces nowhere: a zero plane keeps it in
        // every list and leaves the choice to OpenGL.
        if (length > 0.0f) {
            n.x /= length;
            n.y /= length;
            n.z /= length;
        }
        float* plane = &triPlanes[size_t(t) * 4];
        plane[0] = n.x;
        plane[1] = n.y;
        plane[2] = n.z;
        plane[3] = n.x * p[0][0] + n.y * p[0][1] + n.z * p[0][2];
    }
    // Groups whose material names no label slot are never drawn as labels.
    shortIndices = seen.size() <= 65536;
    int used = 0;
    for (int g = 0; g < model->numGroups; g++) {
        const auto& group = model->groups[g];
        const int slot = group.materialIndex;
        if (slot <= 0 || slot >= numTextures) {
            continue;
        }
        LABELRUN run{slot, used, 0};
        for (int j = 0; j < group.numTriangles; j++) {
            const size_t t = group.triangleIndices[j];
            for (int k = 0; k < 3; k++) {
                const unsigned int corner = triCorners[t * 3 + k];
                if (shortIndices) {
                    labelIndices16.push_back(static_cast<unsigned short>(corner));
                } else {
                    labelIndices32.push_back(corner);
                }
            }
        }
        used += group.numTriangles * 3;
        run.count = used - run.first;
        labelRuns.push_back(run);
    }
}

bool BOTTLEINFO::LoadData(const char* /*path*/, float loadSize, bool goodShine) {
    if (loaded) {
        return true;
    }
    DATAFILE file;
    const std::string where = std::string(folder) + fileName;
    if (!file.Open(where.c_str())) {
        ERRORCLOSE("Unable to load currency!");
        file.Close();
        return false;
    }
    const bool ok = Load(&file, loadSize, goodShine);
    file.Close();
    if (!ok) {
        // Nothing of a failed attempt stays behind to be lost by a retry.
        Release();
        return false;
    }
    loaded = true;
    return true;
}

bool BOTTLEINFO::Load(DATAFILE* file, float loadSize, bool goodShine) {
    Release();
    model = new (std::nothrow) MS3D();
    if (model == nullptr) {
        return false;
    }
    if (!file->SeekLump(0)) {
        return false;
    }
    if (!model->LoadFromFStream(file->stream)) {
        return false;
    }
    size = loadSize;
    model->Scale(loadSize);

    numTextures = static_cast<int>(file->header.numLumps) - 1;
    if (file->header.numLumps < 2) {
        numTextures = 0;
        return false;
    }
    textures = new (std::nothrow) Texture[numTextures];
    if (textures == nullptr) {
        numTextures = 0;
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    for (int i = 0; i < numTextures; i++) {
        const auto& entry = file->lumps[i + 1];
        if (entry.type != 1) {
            continue;
        }
        const int mode = (goodShine && i == 0) ? 0 : static_cast<int>(entry.alphaMode);
        if (!file->SeekLump(i + 1) || !LoadTGA2(&textures[i], &file->stream)) {
            return false;
        }
        if (i == 0) {
            CornerAverage(textures[0], glassColour);
        }
        if (!BuildTexture(&textures[i], mode)) {
            return false;
        }
    }

    tag = file->header.tag;
    flags = file->header.flags;
    alpha = static_cast<float>(file->header.alpha / 255.0);

    numTris = model->numTriangles;
    triCentres = new (std::nothrow) VECTOR3D[numTris > 0 ? numTris : 1];
    if (triCentres == nullptr) {
        numTris = 0;
        return false;
    }
    for (int t = 0; t < numTris; t++) {
        const auto& tri = model->triangles[t];
        VECTOR3D c(0.0f, 0.0f, 0.0f);
        for (int k = 0; k < 3; k++) {
            const float* p = model->vertices[tri.vertexIndices[k]].location;
            c.x += p[0];
            c.y += p[1];
            c.z += p[2];
        }
        c.x /= 3.0f;
        c.y /= 3.0f;
        c.z /= 3.0f;
        triCentres[t] = c;
    }

    top = -1.0f;
    bottom = 1.0f;
    radius = -1.0f;
    for (int v = 0; v < model->numVertices; v++) {
        const float* p = model->vertices[v].location;
        if (p[1] > top) {
            top = p[1];
        }
        if (p[1] < bottom) {
            bottom = p[1];
        }
        if (p[0] > radius) {
            radius = p[0];
        }
    }
    top = static_cast<float>(top + radius * -0.35);
    BuildDrawArrays();
    return true;
}
