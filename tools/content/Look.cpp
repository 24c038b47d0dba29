// A developer's aid: draws every bottle type the way the saver draws bottles
// (labels inside, glass, shine, labels outside) and lays out the scene
// textures as the overlay and the clock use them, into PNG files.
#include "Content.h"
#include "Painter.h"

#include "host/platform/sdl/GLWindow.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const float bottleScale = 0.5f; // the saver's default bottle size

// Uploads an image as the saver builds textures: rows in the order the
// container stores them (bottom row first), alpha formed by the mode.
GLuint Upload(const brew::Image& image, uint32_t mode) {
    const uint32_t w = image.width, h = image.height;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    const uint8_t* key = image.At(0, h - 1);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            const uint8_t* p = image.At(x, h - 1 - y);
            uint8_t* q = &rgba[(size_t(y) * w + x) * 4];
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            if (mode == ALPHA_KEY) {
                q[3] = (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) ? 0 : 255;
            } else if (mode == ALPHA_BRIGHT) {
                q[3] = std::max({p[0], p[1], p[2]});
            } else {
                q[3] = 255;
            }
        }
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(w), GLsizei(h), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return id;
}

brew::Image ReadBack(int w, int h) {
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    brew::Image image(uint32_t(w), uint32_t(h), 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            std::memcpy(image.At(uint32_t(x), uint32_t(h - 1 - y)), &rgba[(size_t(y) * w + x) * 4],
                        3);
        }
    }
    return image;
}

bool Save(const brew::Image& image, const std::string& path, std::string* error) {
    const brew::Bytes png = EncodePng(image);
    if (png.empty()) {
        *error = "cannot encode " + path;
        return false;
    }
    return brew::WriteFileBytes(path, png, error);
}

// The saver's frame state: lit, colour-driven material, sphere-map generation.
void SceneState(int w, int h) {
    glViewport(0, 0, w, h);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat ambient[] = {0, 0, 0, 0}, diffuse[] = {1, 1, 1, 1};
    const GLfloat specular[] = {0.3f, 0.3f, 0.3f, 1}, position[] = {0, 5, 5, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glCullFace(GL_BACK);
}

void Flat(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Quad(float x, float y, float w, float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(x, y, 0);
    glTexCoord2f(1, 0);
    glVertex3f(x + w, y, 0);
    glTexCoord2f(1, 1);
    glVertex3f(x + w, y + h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(x, y + h, 0);
    glEnd();
}

void Background(GLuint texture, int w, int h) {
    Flat(w, h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    Quad(0, 0, float(w), float(h));
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void Corner(const brew::Ms3dModel& m, const brew::Ms3dTriangle& t, int k, bool texture) {
    glNormal3fv(t.vertexNormals[k]);
    if (texture) {
        glTexCoord2f(t.s[k], -t.t[k]);
    }
    const float* v = m.vertices[t.vertexIndices[k]].location;
    glVertex3f(v[0] * bottleScale, v[1] * bottleScale, v[2] * bottleScale);
}

void Labels(const brew::Ms3dModel& m, const std::vector<GLuint>& slots) {
    for (const brew::Ms3dGroup& g : m.groups) {
        if (g.materialIndex <= 0 || size_t(g.materialIndex) >= slots.size()) {
            continue;
        }
        glBindTexture(GL_TEXTURE_2D, slots[g.materialIndex]);
        glBegin(GL_TRIANGLES);
        for (uint16_t i : g.triangleIndices) {
            for (int k = 0; k < 3; k++) {
                Corner(m, m.triangles[i], k, true);
            }
        }
        glEnd();
    }
}

// One bottle at (0, 0, -distance), turned by the given angles, drawn in the
// saver's passes with its triangles sorted far to near.
void DrawBottle(const BottleType& b, const std::vector<GLuint>& slots, GLuint shine, bool goodShine,
                float ax, float ay, float distance) {
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(0, 0, -distance);
    glRotatef(ax, 1, 0, 0);
    glRotatef(ay, 0, 1, 0);
    GLfloat mv[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    const brew::Ms3dModel& m = b.model;
    std::vector<std::pair<float, size_t>> order;
    for (size_t i = 0; i < m.triangles.size(); i++) {
        float z = 0;
        for (uint16_t v : m.triangles[i].vertexIndices) {
            const float* p = m.vertices[v].location;
            z += mv[2] * p[0] + mv[6] * p[1] + mv[10] * p[2];
        }
        order.push_back({z, i});
    }
    std::sort(order.begin(), order.end());

    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    Labels(m, slots);
    glDisable(GL_CULL_FACE);

    glColor4f(1, 1, 1, b.header.alpha / 255.0f);
    glBindTexture(GL_TEXTURE_2D, slots[0]);
    if (!goodShine) {
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
    }
    glTexCoord2f(0, 0);
    glBegin(GL_TRIANGLES);
    for (const auto& o : order) {
        for (int k = 0; k < 3; k++) {
            Corner(m, m.triangles[o.second], k, false);
        }
    }
    glEnd();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    if (goodShine) {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glBindTexture(GL_TEXTURE_2D, shine);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 0.125f);
        glBegin(GL_TRIANGLES);
        for (const auto& o : order) {
            for (int k = 0; k < 3; k++) {
                Corner(m, m.triangles[o.second], k, true);
            }
        }
        glEnd();
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
        glDisable(GL_CULL_FACE);
    }

    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    Labels(m, slots);
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    glDisable(GL_BLEND);
}

void Perspective(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(w) / h, 1.0, 250.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The bitmap text drawer's layout: cells size by size, a pitch of 0.75 size.
void DrawText(const char* text, float size, GLuint font) {
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, font);
    const size_t n = std::strlen(text);
    glTranslatef(-float(n + 2) * size * 0.375f, 0, 0);
    for (const char* c = text; *c; c++) {
        glTranslatef(0.75f * size, 0, 0);
        if (*c == ' ') {
            continue;
        }
        const int g = *c - 32;
        const float left = (g % 16) * 0.0625f, right = left + 0.0625f;
        const float top = 1 - (g / 16) * 0.125f, bottom = top - 0.125f;
        glBegin(GL_QUADS);
        glTexCoord2f(right, top);
        glVertex3f(size, size / 2, 0);
        glTexCoord2f(left, top);
        glVertex3f(0, size / 2, 0);
        glTexCoord2f(left, bottom);
        glVertex3f(0, -size / 2, 0);
        glTexCoord2f(right, bottom);
        glVertex3f(size, -size / 2, 0);
        glEnd();
    }
    glDisable(GL_BLEND);
}

// A texture over a checkerboard, with its alpha formed by its mode.
brew::Image Sheet(const TextureImage& t) {
    brew::Image out(t.image.width, t.image.height, 3);
    const uint8_t* key = t.image.At(0, t.image.height - 1);
    for (uint32_t y = 0; y < out.height; y++) {
        for (uint32_t x = 0; x < out.width; x++) {
            const uint8_t* p = t.image.At(x, y);
            double a = 1;
            if (t.alphaMode == ALPHA_KEY) {
                a = (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) ? 0 : 1;
            } else if (t.alphaMode == ALPHA_BRIGHT) {
                a = std::max({p[0], p[1], p[2]}) / 255.0;
            }
            const uint8_t check = ((x / 8 + y / 8) % 2) ? 90 : 60;
            for (int k = 0; k < 3; k++) {
                out.At(x, y)[k] = uint8_t(std::lround(p[k] * a + check * (1 - a)));
            }
        }
    }
    return out;
}

} // namespace

bool WriteLooks(const std::string& folder, std::string* error) {
    if (!MakeFolder(folder, error)) {
        return false;
    }
    const std::string base = folder + "/";
    const std::vector<TextureImage> scene = MakeSceneTextures();
    const std::vector<BottleType> types = MakeBottleTypes();
    for (size_t i = 0; i < scene.size(); i++) {
        if (!Save(Sheet(scene[i]), base + "lump" + std::to_string(i) + "-" + scene[i].name + ".png",
                  error)) {
            return false;
        }
    }
    for (const BottleType& b : types) {
        const std::string stem = b.fileName.substr(0, b.fileName.find('.'));
        for (const TextureImage& t : b.slots) {
            if (!Save(Sheet(t), base + stem + "-" + t.name + ".png", error)) {
                return false;
            }
        }
    }

    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    const int w = 1280, h = 720;
    GLWindow window;
    if (!window.Open("tumblix look", w, h, false)) {
        *error = window.error();
        return false;
    }
    SceneState(w, h);
    const GLuint background = Upload(MakeBackgroundPicture(), ALPHA_OPAQUE);
    std::vector<GLuint> sceneIds;
    for (const TextureImage& t : scene) {
        sceneIds.push_back(Upload(t.image, t.alphaMode));
    }

    // Each bottle from three sides, with and without the shine pass.
    const float views[3][2] = {{0, 0}, {18, 50}, {55, 160}};
    for (const BottleType& b : types) {
        const std::string stem = b.fileName.substr(0, b.fileName.find('.'));
        for (bool goodShine : {true, false}) {
            std::vector<GLuint> slots;
            for (size_t i = 0; i < b.slots.size(); i++) {
                slots.push_back(Upload(
                    b.slots[i].image, (goodShine && i == 0) ? ALPHA_OPAQUE : b.slots[i].alphaMode));
            }
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            Background(background, w, h);
            Perspective(w, h);
            for (int v = 0; v < 3; v++) {
                glPushMatrix();
                glTranslatef(float(v - 1) * 9.0f, 0, 0);
                DrawBottle(b, slots, sceneIds[8], goodShine, views[v][0], views[v][1], 20);
                glPopMatrix();
            }
            const std::string name =
                base + "bottle-" + stem + (goodShine ? "-shine" : "-sphere") + ".png";
            if (!Save(ReadBack(w, h), name, error)) {
                return false;
            }
            glDeleteTextures(GLsizei(slots.size()), slots.data());
        }
    }

    // All the bottles together, as a scene might show them.
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Background(background, w, h);
        Perspective(w, h);
        std::vector<std::vector<GLuint>> all;
        for (const BottleType& b : types) {
            std::vector<GLuint> slots;
            for (size_t i = 0; i < b.slots.size(); i++) {
                slots.push_back(
                    Upload(b.slots[i].image, i == 0 ? ALPHA_OPAQUE : b.slots[i].alphaMode));
            }
            all.push_back(slots);
        }
        for (size_t i = 0; i < types.size(); i++) {
            glPushMatrix();
            glTranslatef((float(i) - 2) * 7.5f, 0, 0);
            DrawBottle(types[i], all[i], sceneIds[8], true, 10, float(i) * 25 - 30, 28);
            glPopMatrix();
        }
        if (!Save(ReadBack(w, h), base + "bottles-together.png", error)) {
            return false;
        }
        for (auto& s : all) {
            glDeleteTextures(GLsizei(s.size()), s.data());
        }
    }

    // Clock and countdown text at their sizes in the 1024 by 768 layout, and
    // the banner and message screen, over the background.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Background(background, w, h);
    Flat(w, h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glScalef(w / 1024.0f, h / 768.0f, 1);
    const struct {
        const char* text;
        float y, size;
    } lines[] = {{"21:05:07", 600, 100},
                 {"9 05 08PM", 480, 100},
                 {"You can have a beer in...", 404, 40},
                 {"1 Hours,29 Minutes,40 Seconds.", 364, 40},
                 {"Now! Go forth and drink beer!", 300, 40},
                 {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 240, 40},
                 {"abcdefghijklmnopqrstuvwxyz 0123456789", 200, 40},
                 {"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", 160, 40}};
    for (const auto& l : lines) {
        glPushMatrix();
        glTranslatef(512, l.y, 0);
        DrawText(l.text, l.size, sceneIds[0]);
        glPopMatrix();
    }
    if (!Save(ReadBack(w, h), base + "text.png", error)) {
        return false;
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Background(background, w, h);
    Flat(w, h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    for (int i = 0; i < 4; i++) {
        const float y = float(h - 40 - i * 40);
        glBindTexture(GL_TEXTURE_2D, sceneIds[1]);
        Quad(i % 2 ? float(w - 256) : 0, y, 256, 32);
        glBindTexture(GL_TEXTURE_2D, sceneIds[4 + i]);
        Quad(w * 0.5f - 256, y, 512, 32);
    }
    // The message screen at full opacity, in the lower half.
    glScalef(w / 1024.0f, h / 768.0f, 1);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 0, 0, 1);
    Quad(0, 0, 1024, 384);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, sceneIds[5]);
    Quad(0, 160, 1024, 64);
    glDisable(GL_BLEND);
    if (!Save(ReadBack(w, h), base + "overlay.png", error)) {
        return false;
    }

    glDeleteTextures(GLsizei(sceneIds.size()), sceneIds.data());
    glDeleteTextures(1, &background);
    window.Close();
    return true;
}
