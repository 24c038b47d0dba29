#include "ChildProcess.h"
#include "SceneFiles.h"
#include "assets/Texture.h"
#include "bottles/MainClass.h"
#include "model/MilkshapeModel.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The bottles' drawing is free to take cheaper ways to the same picture, as
// long as the picture stays what the straightforward drawing below gives:
// one corner at a time, every pass over every triangle it names. Frames of
// the real content are drawn both ways and compared pixel by pixel.
namespace {

void Corner(const MS3D& model, const MS3DTRIANGLE& tri, int k, bool texCoord) {
    glNormal3fv(tri.vertexNormals[k]);
    if (texCoord) {
        glTexCoord2f(tri.s[k], -tri.t[k]);
    }
    glVertex3fv(model.vertices[tri.vertexIndices[k]].location);
}

void Labels(const ONEBOTTLE& b) {
    const MS3D& model = *b.model;
    for (int g = 0; g < model.numGroups; g++) {
        const int slot = model.groups[g].materialIndex;
        if (slot <= 0 || slot >= b.info->numTextures) {
            continue;
        }
        glBindTexture(GL_TEXTURE_2D, b.info->textures[slot].texID);
        glBegin(GL_TRIANGLES);
        for (int j = 0; j < model.groups[g].numTriangles; j++) {
            const MS3DTRIANGLE& tri = model.triangles[model.groups[g].triangleIndices[j]];
            for (int k = 0; k < 3; k++) {
                Corner(model, tri, k, true);
            }
        }
        glEnd();
    }
}

// Every triangle in the order of the bottle's last depth sort.
void Sorted(const ONEBOTTLE& b, bool texCoord) {
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < b.numMids; i++) {
        const MS3DTRIANGLE& tri = b.model->triangles[b.mids[i].tri];
        for (int k = 0; k < 3; k++) {
            Corner(*b.model, tri, k, texCoord);
        }
    }
    glEnd();
}

void ReferenceDraw(const ONEBOTTLE& b, const MAINCLASS& manager) {
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(b.pos.x, b.pos.y, b.pos.z);
    glMultMatrixd(b.rotation.m);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    Labels(b);
    glDisable(GL_CULL_FACE);

    glColor4f(1, 1, 1, b.info->alpha);
    glBindTexture(GL_TEXTURE_2D, b.info->textures[0].texID);
    if (!manager.goodShine) {
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
    }
    glTexCoord2f(0, 0);
    Sorted(b, false);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    if (manager.goodShine) {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glBindTexture(GL_TEXTURE_2D, manager.shineTex);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 0.125f);
        Sorted(b, true);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glColor4f(1, 1, 1, 1);
        glDisable(GL_CULL_FACE);
    }

    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    Labels(b);
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    glDisable(GL_BLEND);
}

int Difference(const RGBA& a, const RGBA& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

class BottleLook : public SceneFixture {
  protected:
    BottleLook() : SceneFixture(1280, 720) {}

    // The scene as the pump leaves it for the bottles, over the clear colour.
    void Prepare() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(float(viewWidth) / float(viewHeight)), 1.0, 250.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_TEXTURE_2D);
        glColor3f(1, 1, 1);
    }
};

} // namespace

// Both looks of the glass (flat with a shine, or sphere-mapped), over ten
// seconds of the generated bottles tumbling at the size --render uses: on
// the pixels either drawing gives the bottles, nearly all stay within 3
// levels a channel of the straightforward drawing and none is off by more
// than 16.
TEST_F(BottleLook, CheaperDrawingKeepsThePicture) {
    resources = BuildPath("share/tumblix/");
    std::snprintf(settings.BottlePath, SETTINGS_PATH_SIZE, "%s", resources.c_str());
    std::snprintf(settings.BottlePath2, SETTINGS_PATH_SIZE, "%s/", tmp.Subdir("none").c_str());
    settings.SHOWCLOCK = false;
    settings.BGCol = VECTOR3D(0.2f, 0.3f, 0.5f);
    for (bool goodShine : {true, false}) {
        SCOPED_TRACE(goodShine ? "flat glass with shine" : "sphere-mapped glass");
        settings.GOODSHINE = goodShine;
        std::srand(1);
        ASSERT_TRUE(SetUpScene(true));
        ASSERT_EQ(scene.bottleManager->numBottles, 5);
        ASSERT_GE(scene.bottleManager->numTypes, 5) << "the generated bottle types";
        long bottlePixels = 0, within3 = 0;
        int worst = 0;
        for (double seconds : {0.5, 1.5, 3.0, 5.0, 7.5, 10.0}) {
            Run(seconds - elapsed);
            const std::vector<RGBA> drawn = ReadPixels();
            Prepare();
            const std::vector<RGBA> ground = ReadPixels();
            MAINCLASS& manager = *scene.bottleManager;
            for (int i = 0; i < manager.numBottles; i++) {
                ReferenceDraw(manager.bottles[i], manager);
            }
            const std::vector<RGBA> reference = ReadPixels();
            for (size_t p = 0; p < drawn.size(); p++) {
                if (Difference(reference[p], ground[p]) == 0 &&
                    Difference(drawn[p], ground[p]) == 0) {
                    continue;
                }
                const int d = Difference(drawn[p], reference[p]);
                bottlePixels++;
                within3 += d <= 3;
                worst = std::max(worst, d);
            }
        }
        scene.Cleanup();
        elapsed = 0.0;
        EXPECT_GT(bottlePixels, 6 * 5000) << "the bottles are in view";
        EXPECT_GE(double(within3), 0.995 * double(bottlePixels))
            << bottlePixels - within3 << " of " << bottlePixels << " pixels off by more than 3";
        EXPECT_LE(worst, 16);
    }
}
