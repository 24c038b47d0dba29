#ifndef TUMBLIX_HOST_GLSURFACE_H
#define TUMBLIX_HOST_GLSURFACE_H

// What a view draws into: a drawable with its own OpenGL context, made
// current before any GL call and presented once a frame is drawn. An SDL
// window is one (GLWindow); a Wayland overlay surface is another.
class GLSurface {
  public:
    virtual ~GLSurface() = default;
    virtual bool MakeCurrent() = 0;
    virtual void Swap() = 0;
};

#endif
