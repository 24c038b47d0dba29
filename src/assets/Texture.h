#ifndef TUMBLIX_ASSETS_TEXTURE_H
#define TUMBLIX_ASSETS_TEXTURE_H

#include <GL/gl.h>

// One image on its way from a decoder to OpenGL, and the texture name it
// became. Owns imageData (malloc) and the texture texID; an owner that hands
// texID to someone else sets it to 0 here.
class Texture {
  public:
    Texture() = default;
    ~Texture(); // needs the GL context current when texID is not 0
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    GLubyte* imageData = nullptr; // R, G, B (and A) per pixel, row after row
    GLuint bpp = 0;               // 24 or 32
    GLuint width = 0;
    GLuint height = 0;
    GLuint texID = 0; // 0: none
    GLuint type = 0;  // GL_RGB or GL_RGBA
};

// Alpha modes of BuildTexture (and of the lump directories).
enum { ALPHA_OPAQUE = 0, ALPHA_COLOUR_KEY = 1, ALPHA_BRIGHTNESS = 2 };

// Uploads t's pixels as an RGBA texture, left bound to GL_TEXTURE_2D, and
// frees them. The alpha of every pixel comes from alphaMode alone: 1 is 0
// where R, G, B equal the first pixel's and 255 elsewhere, 2 is the largest
// of R, G and B, anything else is 255. False when t holds no pixels or the
// conversion buffer cannot be obtained.
bool BuildTexture(Texture* t, int alphaMode);

// Builds every image lump of the resource container at path into
// (*textures)[lump]. The array of *count records is stored through textures
// as soon as it exists and belongs to the caller from then on, even when
// the function fails; release it with delete[]. Lumps that are not images
// leave their record empty.
bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count);

#endif
