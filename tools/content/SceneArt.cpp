// The scene textures of the resource container and the fallback background.
#include "Content.h"
#include "Painter.h"
#include "Random.h"

#include <algorithm>
#include <cmath>

namespace {

const double pi = 3.14159265358979323846;

// The bitmap font: 16 by 8 cells of 64 pixels, glyph g (character 32 + g) in
// column g mod 16 and row g div 16 from the top. Text is laid out with a
// pitch of three quarters of a cell, so a glyph centred in its cell may be
// up to 48 pixels wide, outline included, before it meets its neighbour.
// Like a clock face, the digits all share one ink width near that limit.
// Letters and signs come from the monospaced face, drawn for a fixed pitch
// (an "i" or "l" as wide as an "m"), widened by a third and the widest
// squeezed, so the countdown's words read as words.
brew::Image MakeFont() {
    const int cell = 64;
    const double outline = 3;                            // the grey surround, each side
    const double maxInk = cell * 0.75 - 2 * outline - 2; // keeps neighbours apart
    const double digitInk = 39;
    const double widen = 1.35;
    const double baseline = 49;
    Canvas canvas(16 * cell, 8 * cell);
    cairo_t* cr = canvas.cr();
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int g = 1; g < 95; g++) {
        const char text[2] = {char(32 + g), 0};
        const bool digit = text[0] >= '0' && text[0] <= '9';
        SetFont(cr, digit ? Face::SansBold : Face::MonoBold, 56);
        cairo_text_extents_t e;
        cairo_text_extents(cr, text, &e);
        if (e.width <= 0) {
            continue;
        }
        const double ink = digit ? digitInk : std::min(e.width * widen, maxInk);
        const int x0 = (g % 16) * cell, y0 = (g / 16) * cell;
        cairo_save(cr);
        // Two pixels of black around every glyph, so linear filtering never
        // pulls ink over from a neighbouring cell.
        cairo_rectangle(cr, x0 + 2, y0 + 2, cell - 4, cell - 4);
        cairo_clip(cr);
        cairo_save(cr);
        cairo_translate(cr, x0 + cell / 2.0, y0 + baseline);
        cairo_scale(cr, ink / e.width, 1.0);
        cairo_move_to(cr, -e.x_bearing - e.width / 2, 0);
        cairo_text_path(cr, text);
        cairo_restore(cr);
        // Mid grey, whose alpha is its brightness: over a light background
        // it darkens, so white lettering keeps an outline there.
        cairo_set_line_width(cr, 2 * outline);
        SetColour(cr, 0x808080);
        cairo_stroke_preserve(cr);
        SetColour(cr, 0xffffff);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    return canvas.ToImage();
}

// A small bottle seen from the side, standing on (x, y) with the given height.
void BottleIcon(cairo_t* cr, double x, double y, double h) {
    const double w = h * 0.34, neck = h * 0.12;
    cairo_move_to(cr, x - w / 2, y);
    cairo_line_to(cr, x - w / 2, y - h * 0.55);
    cairo_curve_to(cr, x - w / 2, y - h * 0.72, x - neck / 2, y - h * 0.72, x - neck / 2,
                   y - h * 0.82);
    cairo_line_to(cr, x - neck / 2, y - h * 0.96);
    cairo_line_to(cr, x - neck * 0.7, y - h * 0.97);
    cairo_line_to(cr, x - neck * 0.7, y - h);
    cairo_line_to(cr, x + neck * 0.7, y - h);
    cairo_line_to(cr, x + neck * 0.7, y - h * 0.97);
    cairo_line_to(cr, x + neck / 2, y - h * 0.96);
    cairo_line_to(cr, x + neck / 2, y - h * 0.82);
    cairo_curve_to(cr, x + neck / 2, y - h * 0.72, x + w / 2, y - h * 0.72, x + w / 2,
                   y - h * 0.55);
    cairo_line_to(cr, x + w / 2, y);
    cairo_close_path(cr);
}

// The banner logo: a badge on a colour-keyed ground. The key differs from the
// badge's rim by one step of blue, so the soft edge pixels, which mix the two,
// stay rim-coloured instead of fringing.
const unsigned logoRim = 0xd9a441;
const unsigned logoKey = 0xd9a442;

brew::Image MakeLogo() {
    Canvas canvas(512, 64);
    cairo_t* cr = canvas.cr();
    SetColour(cr, logoKey);
    cairo_paint(cr);
    RoundedRectangle(cr, 1, 1, 510, 62, 30);
    SetColour(cr, logoRim);
    cairo_fill(cr);
    RoundedRectangle(cr, 5, 5, 502, 54, 26);
    cairo_pattern_t* ground = cairo_pattern_create_linear(0, 5, 0, 59);
    cairo_pattern_add_color_stop_rgb(ground, 0, 0.13, 0.20, 0.36);
    cairo_pattern_add_color_stop_rgb(ground, 1, 0.05, 0.08, 0.17);
    cairo_set_source(cr, ground);
    cairo_fill(cr);
    cairo_pattern_destroy(ground);

    for (int i = 0; i < 3; i++) {
        BottleIcon(cr, 44 + i * 22, 54, 44 - 4 * std::abs(i - 1));
        SetColour(cr, i == 1 ? 0x3f8f3a : 0x9a5a1c);
        cairo_fill_preserve(cr);
        SetColour(cr, 0xf5e6c8, 0.8);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    TextPathCentred(cr, "TUMBLIX", Face::SansBold, 40, 300, 47, 330);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, 15, 0, 47);
    cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.93, 0.70);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.85, 0.62, 0.22);
    cairo_set_source(cr, gold);
    cairo_fill(cr);
    cairo_pattern_destroy(gold);
    return canvas.ToImage();
}

// Spare image: a crown cap seen from above.
brew::Image MakeCap() {
    Canvas canvas(128, 128);
    cairo_t* cr = canvas.cr();
    SetColour(cr, 0x101820);
    cairo_paint(cr);
    const int teeth = 21;
    for (int i = 0; i <= 2 * teeth; i++) {
        const double a = i * pi / teeth;
        const double r = (i % 2) ? 56 : 61;
        cairo_line_to(cr, 64 + r * std::cos(a), 64 + r * std::sin(a));
    }
    cairo_close_path(cr);
    cairo_pattern_t* metal = cairo_pattern_create_radial(50, 45, 5, 64, 64, 62);
    cairo_pattern_add_color_stop_rgb(metal, 0, 1.0, 0.55, 0.50);
    cairo_pattern_add_color_stop_rgb(metal, 1, 0.55, 0.06, 0.08);
    cairo_set_source(cr, metal);
    cairo_fill(cr);
    cairo_pattern_destroy(metal);
    cairo_arc(cr, 64, 64, 44, 0, 2 * pi);
    SetColour(cr, 0xf5e6c8);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    TextPathCentred(cr, "T", Face::SerifBold, 64, 64, 86, 80);
    SetColour(cr, 0xf5e6c8);
    cairo_fill(cr);
    return canvas.ToImage();
}

// Spare image: rising bubbles in amber beer, seamless left to right.
brew::Image MakeBubbles() {
    Canvas canvas(128, 128);
    cairo_t* cr = canvas.cr();
    cairo_pattern_t* beer = cairo_pattern_create_linear(0, 0, 0, 128);
    cairo_pattern_add_color_stop_rgb(beer, 0, 0.95, 0.72, 0.25);
    cairo_pattern_add_color_stop_rgb(beer, 1, 0.60, 0.32, 0.05);
    cairo_set_source(cr, beer);
    cairo_paint(cr);
    cairo_pattern_destroy(beer);
    Random random(7);
    for (int i = 0; i < 40; i++) {
        const double x = random.Range(0, 128), y = random.Range(0, 128), r = random.Range(1.5, 5);
        for (double dx : {-128.0, 0.0, 128.0}) {
            cairo_arc(cr, x + dx, y, r, 0, 2 * pi);
            SetColour(cr, 0xfff4d8, 0.75);
            cairo_set_line_width(cr, 1.2);
            cairo_stroke(cr);
        }
    }
    return canvas.ToImage();
}

// A message strip: warm lettering with a soft glow on black. Its alpha is
// its brightness, so the black vanishes in the banner.
brew::Image MakeMessage(const std::string& text) {
    Canvas canvas(1024, 64);
    cairo_t* cr = canvas.cr();
    TextPathCentred(cr, text, Face::SansBold, 40, 512, 46, 990);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, 0xc08a2a, 0.35);
    cairo_set_line_width(cr, 7);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 14, 0, 56);
    cairo_pattern_add_color_stop_rgb(fill, 0, 1.0, 1.0, 0.92);
    cairo_pattern_add_color_stop_rgb(fill, 1, 1.0, 0.80, 0.42);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);
    return canvas.ToImage();
}

// The shine: a sphere map, laid over the front of the glass at an eighth of
// its brightness, so only bold, bright shapes show at all. On a bottle the
// map's distance from its centre is the distance across the body, whichever
// way the bottle turns: a ring of light becomes the long streaks of a lit
// glass cylinder, the outer edge its bright outline. The window and lamp of
// the sphere-mapped glass stay, so both looks share one room. Black is
// transparent (alpha is brightness).
brew::Image MakeShine() {
    const int size = 256;
    const double c = size / 2.0;
    Canvas canvas(size, size);
    cairo_t* cr = canvas.cr();
    SetColour(cr, 0xffffff);
    for (int i = 0; i < 4; i++) {
        RoundedRectangle(cr, 62 + (i % 2) * 30, 44 + (i / 2) * 36, 26, 32, 4);
    }
    cairo_fill(cr);
    cairo_arc(cr, 178, 70, 10, 0, 2 * pi);
    cairo_fill(cr);
    // The streaks: broad on the window's side, a thin one opposite.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 14);
    cairo_arc(cr, c, c, 78, 0.85 * pi, 1.65 * pi);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 5);
    cairo_arc(cr, c, c, 60, 0.95 * pi, 1.55 * pi);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 7);
    cairo_arc(cr, c, c, 80, 1.85 * pi, 2.3 * pi);
    cairo_stroke(cr);
    brew::Image soft = canvas.ToImage();
    BlurImage(&soft, 2);
    canvas.FromImage(soft);

    cairo_pattern_t* rim = cairo_pattern_create_radial(c, c, 96, c, c, 127);
    cairo_pattern_add_color_stop_rgba(rim, 0, 1, 1, 1, 0);
    cairo_pattern_add_color_stop_rgba(rim, 0.6, 1, 1, 1, 0.6);
    cairo_pattern_add_color_stop_rgba(rim, 1, 1, 1, 1, 1);
    cairo_arc(cr, c, c, 127, 0, 2 * pi);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    // A faint warm floor towards the bottom.
    cairo_pattern_t* floor = cairo_pattern_create_radial(c, 250, 10, c, 250, 110);
    cairo_pattern_add_color_stop_rgba(floor, 0, 1.0, 0.85, 0.6, 0.35);
    cairo_pattern_add_color_stop_rgba(floor, 1, 1.0, 0.85, 0.6, 0);
    cairo_arc(cr, c, c, 127, 0, 2 * pi);
    cairo_set_source(cr, floor);
    cairo_fill(cr);
    cairo_pattern_destroy(floor);
    return canvas.ToImage();
}

TextureImage Named(const char* name, brew::Image image, uint32_t mode) {
    TextureImage t;
    t.name = name;
    t.image = std::move(image);
    t.alphaMode = mode;
    return t;
}

} // namespace

std::vector<TextureImage> MakeSceneTextures() {
    std::vector<TextureImage> t;
    t.push_back(Named("font", MakeFont(), ALPHA_BRIGHT));
    t.push_back(Named("logo", MakeLogo(), ALPHA_KEY));
    t.push_back(Named("cap", MakeCap(), ALPHA_OPAQUE));
    t.push_back(Named("bubbles", MakeBubbles(), ALPHA_OPAQUE));
    t.push_back(Named("message-4", MakeMessage("Relax. The bottles have everything under control."),
                      ALPHA_BRIGHT));
    t.push_back(Named("message-5",
                      MakeMessage("Clink! No glass was harmed in the making of this scene."),
                      ALPHA_BRIGHT));
    t.push_back(Named("message-6", MakeMessage("Every bottle here was blown from pure arithmetic."),
                      ALPHA_BRIGHT));
    t.push_back(
        Named("message-7", MakeMessage("Good glass, good company, good night."), ALPHA_BRIGHT));
    t.push_back(Named("shine", MakeShine(), ALPHA_BRIGHT));
    return t;
}

brew::Image MakeBackgroundPicture() {
    const int w = 1024, h = 768;
    Canvas canvas(w, h);
    cairo_t* cr = canvas.cr();
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.03, 0.07, 0.16);
    cairo_pattern_add_color_stop_rgb(sky, 0.6, 0.07, 0.22, 0.32);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.03, 0.11, 0.17);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // A low glow, like light over a bar counter.
    cairo_save(cr);
    cairo_translate(cr, w * 0.5, h * 0.66);
    cairo_scale(cr, 1.0, 0.28);
    cairo_pattern_t* glow = cairo_pattern_create_radial(0, 0, 0, 0, 0, w * 0.6);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.45, 0.75, 0.78, 0.30);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.45, 0.75, 0.78, 0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    cairo_restore(cr);

    // Out-of-focus lights.
    Random random(1984);
    for (int i = 0; i < 46; i++) {
        const double x = random.Range(0, w), y = random.Range(h * 0.15, h * 0.9);
        const double r = random.Range(12, 64);
        const double a = random.Range(0.04, 0.13);
        const bool warm = random.Next() % 3 == 0;
        const double cr_ = warm ? 1.0 : 0.55, cg = warm ? 0.75 : 0.85, cb = warm ? 0.40 : 0.90;
        cairo_pattern_t* light = cairo_pattern_create_radial(x, y, r * 0.6, x, y, r);
        cairo_pattern_add_color_stop_rgba(light, 0, cr_, cg, cb, a);
        cairo_pattern_add_color_stop_rgba(light, 1, cr_, cg, cb, 0);
        cairo_arc(cr, x, y, r, 0, 2 * pi);
        cairo_set_source(cr, light);
        cairo_fill(cr);
        cairo_pattern_destroy(light);
    }

    cairo_pattern_t* vignette =
        cairo_pattern_create_radial(w / 2.0, h / 2.0, h * 0.35, w / 2.0, h / 2.0, w * 0.72);
    cairo_pattern_add_color_stop_rgba(vignette, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(vignette, 1, 0, 0, 0, 0.55);
    cairo_set_source(cr, vignette);
    cairo_paint(cr);
    cairo_pattern_destroy(vignette);
    return canvas.ToImage();
}
