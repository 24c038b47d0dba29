#ifndef TUMBLIX_HOST_DESKTOPTEXTURE_H
#define TUMBLIX_HOST_DESKTOPTEXTURE_H

#include <GL/gl.h>

struct DesktopPixels;

// The largest edge of a desktop texture: 512 at detail 0, 1024 at detail 1,
// the implementation's maximum texture size at any other detail.
int DesktopTextureLimit(int detail, int maxTextureSize);

// The texture size for a capture: each edge the power of two nearest to
// the display's on a logarithmic scale, lowered to the detail's limit.
// False for an empty display.
bool DesktopTextureSize(int displayWidth, int displayHeight, int detail, int maxTextureSize,
                        int* textureWidth, int* textureHeight);

// Turns a capture into a texture in the current context: *texName (made
// when 0) ends up bound to GL_TEXTURE_2D and holding the picture scaled to
// DesktopTextureSize. A picture that cannot be scaled, or is black all
// over, deletes the name and leaves *texName 0.
void BuildDesktopTexture(GLuint* texName, const DesktopPixels& pixels, int detail);

#endif
