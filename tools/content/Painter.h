#ifndef TUMBLIX_CONTENT_PAINTER_H
#define TUMBLIX_CONTENT_PAINTER_H

#include "brewlib/Image.h"

#include <cairo.h>
#include <string>

// Drawing helpers over cairo for the generators.

enum class Face { SansBold, Sans, SerifBold, Serif, MonoBold };

// The DejaVu faces, loaded from their files through FreeType, so the
// lettering does not depend on the machine's font configuration. Throws
// std::runtime_error when a file is missing.
cairo_font_face_t* GetFace(Face face);
// Releases the faces and cairo's caches; call once, after every canvas is gone.
void ReleaseFaces();

// An opaque RGB drawing surface.
class Canvas {
  public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return context; }
    int Width() const { return width; }
    int Height() const { return height; }
    brew::Image ToImage() const; // RGB, top row first
    void FromImage(const brew::Image& image);
    bool WritePng(const std::string& path) const;

  private:
    int width, height;
    cairo_surface_t* surface;
    cairo_t* context;
};

// Hex colour 0xRRGGBB with an optional alpha.
void SetColour(cairo_t* cr, unsigned rgb, double alpha = 1.0);
// Selects a face and size with fixed rendering options (grey antialiasing,
// no hinting), so the pixels are the same on every machine with these fonts.
void SetFont(cairo_t* cr, Face face, double size);
// Sets a path of `text` centred on cx with its baseline at y, shrinking the
// size until it is at most maxWidth wide; returns the size used.
double TextPathCentred(cairo_t* cr, const std::string& text, Face face, double size, double cx,
                       double y, double maxWidth);
void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r);
// A blur of roughly Gaussian shape (three box passes) of every channel.
void BlurImage(brew::Image* image, int radius);

#endif
