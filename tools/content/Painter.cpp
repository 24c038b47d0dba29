#include "Painter.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

const char* fontFolder = "/usr/share/fonts/truetype/dejavu/";
const char* fontFiles[] = {"DejaVuSans-Bold.ttf", "DejaVuSans.ttf", "DejaVuSerif-Bold.ttf",
                           "DejaVuSerif.ttf", "DejaVuSansMono-Bold.ttf"};
const int numFaces = sizeof fontFiles / sizeof fontFiles[0];

FT_Library library = nullptr;
cairo_font_face_t* faces[numFaces] = {};
const cairo_user_data_key_t faceKey = {};

void DoneFace(void* face) {
    FT_Done_Face(static_cast<FT_Face>(face));
}

} // namespace

cairo_font_face_t* GetFace(Face which) {
    const int i = int(which);
    if (faces[i] != nullptr) {
        return faces[i];
    }
    if (library == nullptr && FT_Init_FreeType(&library) != 0) {
        throw std::runtime_error("cannot start FreeType");
    }
    const std::string path = std::string(fontFolder) + fontFiles[i];
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        throw std::runtime_error("cannot load the font " + path +
                                 " (Debian package fonts-dejavu-core)");
    }
    cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
    // cairo may keep the face in its caches; FreeType's face goes with it.
    if (cairo_font_face_set_user_data(cf, &faceKey, face, DoneFace) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(cf);
        FT_Done_Face(face);
        throw std::runtime_error("cannot use the font " + path);
    }
    faces[i] = cf;
    return cf;
}

void ReleaseFaces() {
    for (cairo_font_face_t*& f : faces) {
        if (f != nullptr) {
            cairo_font_face_destroy(f);
            f = nullptr;
        }
    }
    cairo_debug_reset_static_data();
    if (library != nullptr) {
        FT_Done_FreeType(library);
        library = nullptr;
    }
}

Canvas::Canvas(int w, int h)
    : width(w), height(h), surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)),
      context(cairo_create(surface)) {
    cairo_set_source_rgb(context, 0, 0, 0);
    cairo_paint(context);
}

Canvas::~Canvas() {
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}

brew::Image Canvas::ToImage() const {
    cairo_surface_flush(surface);
    brew::Image image(uint32_t(width), uint32_t(height), 3);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; y++) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < width; x++) {
            uint8_t* p = image.At(uint32_t(x), uint32_t(y));
            p[0] = uint8_t(row[x] >> 16);
            p[1] = uint8_t(row[x] >> 8);
            p[2] = uint8_t(row[x]);
        }
    }
    return image;
}

void Canvas::FromImage(const brew::Image& image) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height && y < int(image.height); y++) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < width && x < int(image.width); x++) {
            const uint8_t* p = image.At(uint32_t(x), uint32_t(y));
            row[x] = 0xff000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    cairo_surface_mark_dirty(surface);
}

bool Canvas::WritePng(const std::string& path) const {
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

void SetColour(cairo_t* cr, unsigned rgb, double alpha) {
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                          (rgb & 0xff) / 255.0, alpha);
}

void SetFont(cairo_t* cr, Face face, double size) {
    cairo_set_font_face(cr, GetFace(face));
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double TextPathCentred(cairo_t* cr, const std::string& text, Face face, double size, double cx,
                       double y, double maxWidth) {
    cairo_text_extents_t e;
    SetFont(cr, face, size);
    cairo_text_extents(cr, text.c_str(), &e);
    if (e.width > maxWidth && e.width > 0) {
        size *= maxWidth / e.width;
        SetFont(cr, face, size);
        cairo_text_extents(cr, text.c_str(), &e);
    }
    cairo_move_to(cr, cx - e.x_bearing - e.width / 2, y);
    cairo_text_path(cr, text.c_str());
    return size;
}

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r) {
    const double pi = 3.14159265358979323846;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

namespace {

// One box pass along rows (step 1) or columns, with clamped edges.
void BoxPass(brew::Image* image, int radius, bool alongRows) {
    const int w = int(image->width), h = int(image->height), c = int(image->channels);
    const int lines = alongRows ? h : w;
    const int length = alongRows ? w : h;
    std::vector<int> line(size_t(length) * c);
    for (int l = 0; l < lines; l++) {
        auto at = [&](int i) {
            return alongRows ? image->At(uint32_t(i), uint32_t(l))
                             : image->At(uint32_t(l), uint32_t(i));
        };
        for (int i = 0; i < length; i++) {
            for (int k = 0; k < c; k++) {
                line[size_t(i) * c + k] = at(i)[k];
            }
        }
        for (int k = 0; k < c; k++) {
            int sum = 0;
            for (int j = -radius; j <= radius; j++) {
                sum += line[size_t(std::clamp(j, 0, length - 1)) * c + k];
            }
            for (int i = 0; i < length; i++) {
                at(i)[k] = uint8_t((sum + radius) / (2 * radius + 1));
                sum += line[size_t(std::min(i + radius + 1, length - 1)) * c + k];
                sum -= line[size_t(std::max(i - radius, 0)) * c + k];
            }
        }
    }
}

} // namespace

void BlurImage(brew::Image* image, int radius) {
    for (int pass = 0; pass < 3; pass++) {
        BoxPass(image, radius, true);
        BoxPass(image, radius, false);
    }
}
