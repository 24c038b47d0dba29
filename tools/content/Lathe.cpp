#include "Lathe.h"

#include <cmath>
#include <stdexcept>

namespace {

const double pi = 3.14159265358979323846;
const double labelLift = 0.04; // labels sit this far outside the glass

struct ProfilePoint {
    double r, y;
    double nr = 0, ny = 0; // outward normal in the (r, y) plane
};

void Add(std::vector<ProfilePoint>* p, double r, double y) {
    p->push_back({r, y});
}

// The profile from the middle of the base round to the middle of the mouth's
// floor, both on the axis, so the turned surface is closed.
std::vector<ProfilePoint> BuildProfile(const BottleShape& s) {
    std::vector<ProfilePoint> p;
    const double foot = s.bodyRadius - s.baseFillet;
    for (int i = 0; i <= 3; i++) {
        const double r = foot * i / 3.0;
        Add(&p, r, s.punt * (1 - (r / foot) * (r / foot)));
    }
    for (int i = 1; i <= 4; i++) {
        const double a = -pi / 2 + i * (pi / 2) / 4;
        Add(&p, foot + s.baseFillet * std::cos(a), s.baseFillet + s.baseFillet * std::sin(a));
    }
    const int wallRings = 6;
    for (int i = 1; i <= wallRings; i++) {
        Add(&p, s.bodyRadius, s.baseFillet + (s.shoulderStart - s.baseFillet) * i / wallRings);
    }
    const int shoulderRings = 10;
    for (int i = 1; i <= shoulderRings; i++) {
        const double u = double(i) / shoulderRings;
        const double roll = (1 + std::cos(pi * std::pow(u, s.shoulderPower))) / 2;
        Add(&p, s.neckRadius + (s.bodyRadius - s.neckRadius) * roll,
            s.shoulderStart + (s.shoulderEnd - s.shoulderStart) * u);
    }
    const int neckRings = 4;
    for (int i = 1; i <= neckRings; i++) {
        const double u = double(i) / neckRings;
        Add(&p, s.neckRadius + (s.neckTopRadius - s.neckRadius) * u,
            s.shoulderEnd + (s.lipStart - s.shoulderEnd) * u);
    }
    // The bead: half an ellipse standing out from the neck.
    const double halfLip = (s.height - s.lipStart) / 2;
    for (int i = 1; i <= 6; i++) {
        const double a = -pi / 2 + i * pi / 6;
        Add(&p, s.neckTopRadius + (s.lipRadius - s.neckTopRadius) * std::cos(a),
            s.lipStart + halfLip + halfLip * std::sin(a));
    }
    // Over the rim, rounded, and down into the mouth.
    const double inner = s.neckTopRadius - s.wall;
    const double round = s.wall * 0.45;
    for (int i = 0; i <= 2; i++) {
        const double a = pi / 2 + i * (pi / 2) / 2;
        Add(&p, inner + round + round * std::cos(a), s.height - round + round * std::sin(a));
    }
    Add(&p, inner, s.height - s.mouthDepth * 0.5);
    Add(&p, inner, s.height - s.mouthDepth);
    Add(&p, inner * 0.5, s.height - s.mouthDepth - 0.05);
    Add(&p, 0, s.height - s.mouthDepth - 0.08);

    // Normals from the neighbours; on the axis they point straight down or up.
    for (size_t i = 0; i < p.size(); i++) {
        double dr, dy;
        if (i == 0 || i + 1 == p.size()) {
            p[i].nr = 0;
            p[i].ny = i == 0 ? -1 : 1;
            continue;
        }
        dr = p[i + 1].r - p[i - 1].r;
        dy = p[i + 1].y - p[i - 1].y;
        const double len = std::sqrt(dr * dr + dy * dy);
        p[i].nr = dy / len;
        p[i].ny = -dr / len;
    }
    return p;
}

// The outer surface at height y, on the way up from the base to the lip.
ProfilePoint OuterAt(const std::vector<ProfilePoint>& p, double y) {
    for (size_t i = 4; i + 1 < p.size(); i++) {
        if (p[i + 1].y < p[i].y) {
            break;
        }
        if (y >= p[i].y && y <= p[i + 1].y) {
            const double u = (p[i + 1].y > p[i].y) ? (y - p[i].y) / (p[i + 1].y - p[i].y) : 0;
            ProfilePoint q;
            q.r = p[i].r + (p[i + 1].r - p[i].r) * u;
            q.y = y;
            q.nr = p[i].nr + (p[i + 1].nr - p[i].nr) * u;
            q.ny = p[i].ny + (p[i + 1].ny - p[i].ny) * u;
            const double len = std::sqrt(q.nr * q.nr + q.ny * q.ny);
            q.nr /= len;
            q.ny /= len;
            return q;
        }
    }
    throw std::invalid_argument("a label lies off the bottle's outer wall");
}

class MeshBuilder {
  public:
    MeshBuilder(brew::Ms3dModel* m, double yOffset) : model(m), offset(yOffset) {}

    struct Corner {
        uint16_t index;
        float normal[3];
        float s, t;
    };

    // A vertex on the turned surface at angle phi (0 faces +z, growing towards +x).
    Corner At(const ProfilePoint& q, double phi, double lift, float s, float t, bool newVertex,
              uint16_t reuse) {
        Corner c;
        const double sn = std::sin(phi), cs = std::cos(phi);
        if (newVertex) {
            brew::Ms3dVertex v;
            const double r = q.r + lift;
            v.location[0] = float(r * sn);
            v.location[1] = float(q.y - offset);
            v.location[2] = float(r * cs);
            if (model->vertices.size() >= 0xffff) {
                throw std::invalid_argument("too many vertices for a model");
            }
            c.index = uint16_t(model->vertices.size());
            model->vertices.push_back(v);
        } else {
            c.index = reuse;
        }
        c.normal[0] = float(q.nr * sn);
        c.normal[1] = float(q.ny);
        c.normal[2] = float(q.nr * cs);
        c.s = s;
        c.t = t;
        return c;
    }

    void Triangle(const Corner& a, const Corner& b, const Corner& c, uint8_t group) {
        brew::Ms3dTriangle tri;
        const Corner* k[3] = {&a, &b, &c};
        for (int i = 0; i < 3; i++) {
            tri.vertexIndices[i] = k[i]->index;
            for (int j = 0; j < 3; j++) {
                tri.vertexNormals[i][j] = k[i]->normal[j];
            }
            tri.s[i] = k[i]->s;
            tri.t[i] = k[i]->t;
        }
        tri.groupIndex = group;
        model->groups[group].triangleIndices.push_back(uint16_t(model->triangles.size()));
        model->triangles.push_back(tri);
    }

  private:
    brew::Ms3dModel* model;
    double offset;
};

} // namespace

brew::Ms3dModel BuildBottleModel(const BottleShape& shape, const std::vector<LabelPatch>& labels,
                                 int segments) {
    const std::vector<ProfilePoint> p = BuildProfile(shape);
    brew::Ms3dModel model;
    MeshBuilder mesh(&model, shape.height / 2);

    brew::Ms3dGroup glass;
    glass.name = "glass";
    glass.materialIndex = 0;
    model.groups.push_back(glass);

    // Rings of shared vertices; the two ends of the profile are single
    // vertices on the axis.
    std::vector<std::vector<uint16_t>> ring(p.size());
    for (size_t i = 0; i < p.size(); i++) {
        const bool pole = (i == 0 || i + 1 == p.size());
        for (int j = 0; j < (pole ? 1 : segments); j++) {
            ring[i].push_back(mesh.At(p[i], 2 * pi * j / segments, 0, 0, 0, true, 0).index);
        }
    }
    const double length = p.size() - 1;
    for (size_t i = 0; i + 1 < p.size(); i++) {
        for (int j = 0; j < segments; j++) {
            const double a0 = 2 * pi * j / segments, a1 = 2 * pi * (j + 1) / segments;
            const float s0 = float(j) / segments, s1 = float(j + 1) / segments;
            const float t0 = float(1 - i / length), t1 = float(1 - (i + 1) / length);
            auto corner = [&](size_t k, double a, int jj, float s, float t) {
                const uint16_t index = ring[k].size() == 1 ? ring[k][0] : ring[k][jj % segments];
                return mesh.At(p[k], a, 0, s, t, false, index);
            };
            const auto a = corner(i, a0, j, s0, t0);
            const auto b = corner(i, a1, j + 1, s1, t0);
            const auto c = corner(i + 1, a1, j + 1, s1, t1);
            const auto d = corner(i + 1, a0, j, s0, t1);
            // Counter-clockwise seen from outside; no slivers at the poles.
            if (ring[i].size() > 1) {
                mesh.Triangle(a, b, c, 0);
            }
            if (ring[i + 1].size() > 1) {
                mesh.Triangle(a, c, d, 0);
            }
        }
    }

    for (const LabelPatch& label : labels) {
        brew::Ms3dGroup g;
        g.name = label.group;
        g.materialIndex = int8_t(label.materialIndex);
        model.groups.push_back(g);
        const uint8_t group = uint8_t(model.groups.size() - 1);
        const double span = label.degrees * pi / 180;
        std::vector<std::vector<uint16_t>> grid(label.rows + 1);
        for (int k = 0; k <= label.rows; k++) {
            const ProfilePoint q =
                OuterAt(p, label.bottom + (label.top - label.bottom) * k / label.rows);
            for (int j = 0; j <= label.columns; j++) {
                const double phi = -span / 2 + span * j / label.columns;
                grid[k].push_back(mesh.At(q, phi, labelLift, 0, 0, true, 0).index);
            }
        }
        for (int k = 0; k < label.rows; k++) {
            const ProfilePoint q0 =
                OuterAt(p, label.bottom + (label.top - label.bottom) * k / label.rows);
            const ProfilePoint q1 =
                OuterAt(p, label.bottom + (label.top - label.bottom) * (k + 1) / label.rows);
            // The image's top row is at the label's top edge: t counts down from it.
            const float t0 = float(1 - double(k) / label.rows);
            const float t1 = float(1 - double(k + 1) / label.rows);
            for (int j = 0; j < label.columns; j++) {
                const double a0 = -span / 2 + span * j / label.columns;
                const double a1 = -span / 2 + span * (j + 1) / label.columns;
                const float s0 = float(j) / label.columns, s1 = float(j + 1) / label.columns;
                const auto a = mesh.At(q0, a0, labelLift, s0, t0, false, grid[k][j]);
                const auto b = mesh.At(q0, a1, labelLift, s1, t0, false, grid[k][j + 1]);
                const auto c = mesh.At(q1, a1, labelLift, s1, t1, false, grid[k + 1][j + 1]);
                const auto d = mesh.At(q1, a0, labelLift, s0, t1, false, grid[k + 1][j]);
                mesh.Triangle(a, b, c, group);
                mesh.Triangle(a, c, d, group);
            }
        }
    }

    for (const brew::Ms3dTriangle& t : model.triangles) {
        for (uint16_t v : t.vertexIndices) {
            uint8_t& n = model.vertices[v].referenceCount;
            n = n < 255 ? uint8_t(n + 1) : n;
        }
    }
    return model;
}
