#include "scene/Background.h"

#include "scene/Settings.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

namespace {

// Stored, not derived from the spacing; the diagonal is a hair longer than
// 16 * sqrt(2), which keeps a mesh at rest very nearly at rest.
const float kRestLength[3][3] = {
    {0.0f, 16.0f, 32.0f},
    {16.0f, 22.627424f, 35.777088f},
    {32.0f, 35.777088f, 45.254848f},
};

bool IsBorder(int i, int j) {
    return i == 0 || i == WOBBLE_COLUMNS - 1 || j == 0 || j == WOBBLE_ROWS - 1;
}

// The picture stretched over the view as one flat polygon.
void DrawFlat(int width, int height) {
    glBegin(GL_POLYGON);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(float(width), 0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(float(width), float(height), 0);
    glTexCoord2f(0, 1);
    glVertex3f(0, float(height), 0);
    glEnd();
}

} // namespace

void BACKGROUND::InitWobble() {
    spacing = 16;
    for (int a = 0; a < 3; a++) {
        for (int b = 0; b < 3; b++) {
            restLength[a][b] = kRestLength[a][b];
        }
    }

    // The phases run on across the whole mesh, so every node gets its own nudge.
    float p0 = 0.0f, p1 = 0.0f, p2 = 0.0f, p3 = 0.0f;
    for (int j = 0; j < WOBBLE_ROWS; j++) {
        for (int i = 0; i < WOBBLE_COLUMNS; i++) {
            p0 += 0.081f;
            p1 += 0.083f;
            p2 += 0.085f;
            p3 += 0.087f;
            WOBBLENODE& n = nodes[i][j];
            const float fi = float(i), fj = float(j);
            n.x = float(spacing * i);
            n.y = float(spacing * j);
            if (!IsBorder(i, j)) {
                n.x = float(spacing * i +
                            0.5 * (std::sin(double(p2 - fi)) + std::cos(double(p2 + fj)) +
                                   std::sin(double(p0 - fj)) - std::cos(double(p0 + fi))));
                n.y = float(spacing * j +
                            0.5 * (std::sin(double(p1 - fi)) + std::cos(double(p3 + fj)) +
                                   std::sin(double(p3 - fj)) - std::cos(double(p1 + fi))));
            }
            n.vx = 0.0f;
            n.vy = 0.0f;
        }
    }
}

void BACKGROUND::RelaxWobble(double step) {
    // Each free node pushes or pulls its neighbours towards their rest
    // distance; positions move only afterwards, so the visiting order does
    // not matter. There is no damping: the nudge of InitWobble swings on.
    for (int j = 1; j < WOBBLE_ROWS - 1; j++) {
        for (int i = 1; i < WOBBLE_COLUMNS - 1; i++) {
            const WOBBLENODE& c = nodes[i][j];
            for (int nj = j - 1; nj <= j + 1; nj++) {
                for (int ni = i - 1; ni <= i + 1; ni++) {
                    if (ni == i && nj == j) {
                        continue;
                    }
                    WOBBLENODE& n = nodes[ni][nj];
                    const float dx = n.x - c.x;
                    const float dy = n.y - c.y;
                    const float len = std::sqrt(dx * dx + dy * dy);
                    const double k =
                        (double(restLength[std::abs(ni - i)][std::abs(nj - j)]) - len) * step *
                        0.001;
                    n.vx += float(dx * k);
                    n.vy += float(dy * k);
                }
            }
        }
    }
    for (int j = 1; j < WOBBLE_ROWS - 1; j++) {
        for (int i = 1; i < WOBBLE_COLUMNS - 1; i++) {
            nodes[i][j].x += nodes[i][j].vx;
            nodes[i][j].y += nodes[i][j].vy;
        }
    }
}

void BACKGROUND::Draw(int width, int height, float, double) {
    // Rows 0 to 10 cover the view at rest; row 11 lies one cell above it and
    // row 12 only anchors the springs.
    const int strips = WOBBLE_ROWS - 2;
    glPushMatrix();
    glScalef(float(width / 160.0), float(height / 160.0), 1.0f);
    for (int j = 0; j < strips; j++) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i < WOBBLE_COLUMNS; i++) {
            glTexCoord2f(0.1f * float(i), 0.1f * float(j));
            glVertex3f(nodes[i][j].x, nodes[i][j].y, 0.0f);
            glTexCoord2f(0.1f * float(i), 0.1f * float(j + 1));
            glVertex3f(nodes[i][j + 1].x, nodes[i][j + 1].y, 0.0f);
        }
        glEnd();
    }
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
}

void DrawBackground(const SETTINGS* settings, unsigned int picture, BACKGROUND* mesh, int width,
                    int height, double frameTime) {
    if (settings == nullptr || settings->BGTYPE == BG_COLOUR) {
        return; // the clear colour is the background
    }
    // Name 0 binds no picture: the background is then plain white.
    glBindTexture(GL_TEXTURE_2D, picture);
    glColor4f(1, 1, 1, 1);
    // The picture is modulated by white, which leaves every texel as it is:
    // replacing instead spares the rasteriser a multiply per pixel of the
    // whole view. The alpha written is the texel's either way.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    if (settings->DRUNKENBG && mesh != nullptr) {
        mesh->Draw(width, height, 1.0f, frameTime);
    } else {
        DrawFlat(width, height);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}
