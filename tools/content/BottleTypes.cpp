// The bottle types of the default content: shape, glass and labels.
#include "Content.h"
#include "Lathe.h"
#include "Painter.h"

#include <cmath>

namespace {

const double pi = 3.14159265358979323846;
const int segments = 28;

// With the shine pass on, the glass is one flat colour at the type's alpha
// over both walls, so the background comes through about (1 - alpha)^2: an
// alpha much above 100 of 255 turns the bottle into opaque plastic. The tint
// therefore comes from a clear, fairly light colour, which the light shades
// across the body, rather than from density.
struct Glass {
    uint8_t alpha;   // the flat glass's opacity (the shine pass on)
    unsigned flat;   // the glass colour when the shine pass is on
    unsigned centre; // sphere-mapped: facing the viewer (dim, so mostly see-through)
    unsigned rim;    // sphere-mapped: grazing (bright, so the outline shows)
};

// The glass texture. Its corners, which a sphere map never reaches, hold the
// flat colour: the shine pass reads only the texel at (0, 0). The disc is the
// sphere-mapped glass: alpha is brightness there, so the middle stays clear,
// the edges go denser like real glass seen at a slant, and the reflections of
// a window and a lamp (the same room as the shine map) are nearly opaque.
brew::Image MakeGlass(const Glass& g) {
    const int size = 256;
    Canvas canvas(size, size);
    cairo_t* cr = canvas.cr();
    SetColour(cr, g.flat);
    cairo_paint(cr);
    cairo_pattern_t* body = cairo_pattern_create_radial(128, 128, 0, 128, 128, 124);
    auto stop = [&](double at, unsigned c) {
        cairo_pattern_add_color_stop_rgb(body, at, ((c >> 16) & 0xff) / 255.0,
                                         ((c >> 8) & 0xff) / 255.0, (c & 0xff) / 255.0);
    };
    stop(0, g.centre);
    stop(0.55, g.centre);
    stop(1, g.rim);
    cairo_arc(cr, 128, 128, 124, 0, 2 * pi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);

    Canvas lights(size, size);
    cairo_t* lc = lights.cr();
    for (int i = 0; i < 4; i++) {
        RoundedRectangle(lc, 62 + (i % 2) * 30, 44 + (i / 2) * 36, 26, 32, 4);
    }
    cairo_arc(lc, 178, 70, 8, 0, 2 * pi);
    SetColour(lc, 0xffffff);
    cairo_fill(lc);
    brew::Image soft = lights.ToImage();
    BlurImage(&soft, 4);
    brew::Image out = canvas.ToImage();
    for (uint32_t y = 0; y < out.height; y++) {
        for (uint32_t x = 0; x < out.width; x++) {
            const double a = soft.At(x, y)[0] / 255.0 * 0.9;
            uint8_t* p = out.At(x, y);
            for (int k = 0; k < 3; k++) {
                p[k] = uint8_t(std::lround(p[k] * (1 - a) + 255 * a));
            }
        }
    }
    return out;
}

void Fill(cairo_t* cr, unsigned colour) {
    SetColour(cr, colour);
    cairo_fill(cr);
}

void Star(cairo_t* cr, double x, double y, double r) {
    cairo_new_sub_path(cr);
    for (int i = 0; i < 10; i++) {
        const double a = -pi / 2 + i * pi / 5;
        const double d = (i % 2) ? r * 0.42 : r;
        cairo_line_to(cr, x + d * std::cos(a), y + d * std::sin(a));
    }
    cairo_close_path(cr);
}

brew::Image LagerLabel() {
    Canvas canvas(512, 256);
    cairo_t* cr = canvas.cr();
    SetColour(cr, 0xf2e4c4);
    cairo_paint(cr);
    cairo_rectangle(cr, 0, 84, 512, 88);
    Fill(cr, 0xa31f1f);
    cairo_set_line_width(cr, 3);
    SetColour(cr, 0xc9a13f);
    for (double y : {82.0, 174.0}) {
        cairo_move_to(cr, 0, y);
        cairo_line_to(cr, 512, y);
    }
    cairo_stroke(cr);
    cairo_rectangle(cr, 7, 7, 498, 242);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    TextPathCentred(cr, "TUMBLIX BREWING CO.", Face::SerifBold, 24, 256, 58, 290);
    Fill(cr, 0x5a2a10);
    TextPathCentred(cr, "LONGNECK", Face::SerifBold, 70, 256, 154, 310);
    Fill(cr, 0xf7ecd2);
    TextPathCentred(cr, "LAGER", Face::SansBold, 40, 256, 222, 300);
    Fill(cr, 0xa31f1f);
    Star(cr, 140, 208, 13);
    Star(cr, 372, 208, 13);
    Fill(cr, 0xc9a13f);
    return canvas.ToImage();
}

brew::Image LagerNeck() {
    Canvas canvas(256, 64);
    cairo_t* cr = canvas.cr();
    SetColour(cr, 0xa31f1f);
    cairo_paint(cr);
    cairo_rectangle(cr, 0, 0, 256, 6);
    cairo_rectangle(cr, 0, 58, 256, 6);
    Fill(cr, 0xc9a13f);
    TextPathCentred(cr, "LAGER", Face::SerifBold, 34, 128, 45, 150);
    Fill(cr, 0xf7ecd2);
    Star(cr, 40, 32, 9);
    Star(cr, 216, 32, 9);
    Fill(cr, 0xc9a13f);
    return canvas.ToImage();
}

// Colour-keyed labels: the key is the label's own edge colour plus one step
// of blue, so filtered edge pixels keep the edge colour instead of fringing.
const unsigned pilsnerEdge = 0xc9a640;
const unsigned stoutEdge = 0xede0c0;

brew::Image PilsnerLabel() {
    Canvas canvas(512, 256);
    cairo_t* cr = canvas.cr();
    SetColour(cr, pilsnerEdge + 1);
    cairo_paint(cr);
    auto ellipse = [&](double rx, double ry) {
        cairo_save(cr);
        cairo_translate(cr, 256, 128);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, 0, 2 * pi);
        cairo_restore(cr);
    };
    ellipse(250, 124);
    Fill(cr, pilsnerEdge);
    ellipse(240, 114);
    Fill(cr, 0xf4f7ee);
    ellipse(228, 102);
    SetColour(cr, 0x2f7a2a);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    TextPathCentred(cr, "GREEN", Face::SansBold, 34, 256, 82, 200);
    Fill(cr, 0x2f7a2a);
    TextPathCentred(cr, "PILSNER", Face::SerifBold, 78, 256, 160, 330);
    Fill(cr, 0x1c4f1c);
    TextPathCentred(cr, "PREMIUM  \xc2\xb7  TUMBLIX", Face::Sans, 20, 256, 198, 260);
    Fill(cr, 0x8a6a20);
    return canvas.ToImage();
}

brew::Image PilsnerFoil() {
    Canvas canvas(256, 64);
    cairo_t* cr = canvas.cr();
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, 0, 0, 64);
    cairo_pattern_add_color_stop_rgb(gold, 0, 0.62, 0.48, 0.16);
    cairo_pattern_add_color_stop_rgb(gold, 0.45, 0.98, 0.88, 0.55);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.55, 0.40, 0.12);
    cairo_set_source(cr, gold);
    cairo_paint(cr);
    cairo_pattern_destroy(gold);
    TextPathCentred(cr, "PILSNER", Face::SansBold, 30, 128, 43, 170);
    Fill(cr, 0x1c4f1c);
    return canvas.ToImage();
}

brew::Image StubbyLabel() {
    Canvas canvas(512, 256);
    cairo_t* cr = canvas.cr();
    SetColour(cr, 0xf2c230);
    cairo_paint(cr);
    for (int i = 0; i < 18; i++) {
        const double x = i * 32 - 16;
        cairo_move_to(cr, x, 0);
        cairo_line_to(cr, x + 16, 0);
        cairo_line_to(cr, x + 30, 22);
        cairo_line_to(cr, x + 14, 22);
        cairo_close_path(cr);
        cairo_move_to(cr, x, 234);
        cairo_line_to(cr, x + 16, 234);
        cairo_line_to(cr, x + 30, 256);
        cairo_line_to(cr, x + 14, 256);
        cairo_close_path(cr);
    }
    Fill(cr, 0x1a1a1a);
    TextPathCentred(cr, "SQUAT", Face::SansBold, 84, 256, 118, 300);
    Fill(cr, 0x1a1a1a);
    TextPathCentred(cr, "STUBBY", Face::SansBold, 70, 256, 200, 300);
    Fill(cr, 0xc8281e);
    return canvas.ToImage();
}

brew::Image StoutLabel() {
    Canvas canvas(512, 256);
    cairo_t* cr = canvas.cr();
    SetColour(cr, stoutEdge + 1);
    cairo_paint(cr);
    auto badge = [&](double inset) {
        const double c = 40 - inset * 0.4;
        const double x0 = 4 + inset, y0 = 4 + inset, x1 = 508 - inset, y1 = 252 - inset;
        cairo_move_to(cr, x0 + c, y0);
        cairo_line_to(cr, x1 - c, y0);
        cairo_line_to(cr, x1, y0 + c);
        cairo_line_to(cr, x1, y1 - c);
        cairo_line_to(cr, x1 - c, y1);
        cairo_line_to(cr, x0 + c, y1);
        cairo_line_to(cr, x0, y1 - c);
        cairo_line_to(cr, x0, y0 + c);
        cairo_close_path(cr);
    };
    badge(0);
    Fill(cr, stoutEdge);
    badge(8);
    Fill(cr, 0x141110);
    badge(16);
    SetColour(cr, 0xd4a94a);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    TextPathCentred(cr, "DARK", Face::SerifBold, 40, 256, 80, 200);
    Fill(cr, stoutEdge);
    TextPathCentred(cr, "STOUT", Face::SerifBold, 96, 256, 172, 300);
    Fill(cr, 0xd4a94a);
    TextPathCentred(cr, "EXTRA  \xc2\xb7  TUMBLIX", Face::Sans, 20, 256, 212, 260);
    Fill(cr, stoutEdge);
    return canvas.ToImage();
}

brew::Image StoutNeck() {
    Canvas canvas(256, 64);
    cairo_t* cr = canvas.cr();
    SetColour(cr, stoutEdge);
    cairo_paint(cr);
    cairo_rectangle(cr, 0, 4, 256, 3);
    cairo_rectangle(cr, 0, 57, 256, 3);
    Fill(cr, 0xd4a94a);
    TextPathCentred(cr, "STOUT", Face::SerifBold, 32, 128, 44, 160);
    Fill(cr, 0x141110);
    return canvas.ToImage();
}

brew::Image SummerLabel() {
    Canvas canvas(512, 256);
    cairo_t* cr = canvas.cr();
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 256);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.55, 0.80, 0.97);
    cairo_pattern_add_color_stop_rgb(sky, 1, 1.0, 1.0, 1.0);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    cairo_arc(cr, 256, 250, 150, pi, 2 * pi);
    Fill(cr, 0xffd166);
    for (int i = 0; i < 3; i++) {
        cairo_move_to(cr, 0, 226 + i * 10);
        for (int x = 0; x <= 512; x += 8) {
            cairo_line_to(cr, x, 226 + i * 10 + 4 * std::sin(x / 24.0 + i));
        }
        SetColour(cr, 0x2a7fb8, 0.8);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
    }
    TextPathCentred(cr, "CLEAR", Face::SansBold, 30, 256, 58, 200);
    Fill(cr, 0x1f3b70);
    TextPathCentred(cr, "SUMMER ALE", Face::SansBold, 64, 256, 150, 320);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, 0xffffff);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    Fill(cr, 0xe0561b);
    TextPathCentred(cr, "TUMBLIX", Face::Sans, 20, 256, 196, 200);
    Fill(cr, 0x1f3b70);
    return canvas.ToImage();
}

TextureImage Slot(const char* name, brew::Image image, uint32_t mode) {
    TextureImage t;
    t.name = name;
    t.image = std::move(image);
    t.alphaMode = mode;
    return t;
}

BottleType Make(const char* file, const char* name, const BottleShape& shape,
                const std::vector<LabelPatch>& labels, const Glass& glass) {
    BottleType b;
    b.fileName = file;
    b.header.name = name;
    b.header.alpha = glass.alpha;
    b.model = BuildBottleModel(shape, labels, segments);
    b.slots.push_back(Slot("glass", MakeGlass(glass), ALPHA_BRIGHT));
    brew::Ms3dMaterial m;
    m.name = "glass";
    m.texture = "glass.tga";
    b.model.materials.push_back(m);
    return b;
}

void AddLabel(BottleType* b, const char* name, brew::Image image, uint32_t mode) {
    b->slots.push_back(Slot(name, std::move(image), mode));
    brew::Ms3dMaterial m;
    m.name = name;
    m.texture = std::string(name) + ".tga";
    b->model.materials.push_back(m);
}

LabelPatch Label(const char* group, double bottom, double top, double degrees, int columns,
                 int rows, int material) {
    LabelPatch l;
    l.group = group;
    l.bottom = bottom;
    l.top = top;
    l.degrees = degrees;
    l.columns = columns;
    l.rows = rows;
    l.materialIndex = material;
    return l;
}

} // namespace

std::vector<BottleType> MakeBottleTypes() {
    std::vector<BottleType> types;
    {
        BottleShape s;
        s.height = 21;
        s.bodyRadius = 2.9;
        s.baseFillet = 0.6;
        s.shoulderStart = 10.5;
        s.shoulderEnd = 14.5;
        s.shoulderPower = 1.3;
        s.neckRadius = 1.05;
        s.neckTopRadius = 0.95;
        s.lipStart = 20.1;
        s.lipRadius = 1.16;
        BottleType b = Make("longneck-lager.brew", "Longneck Lager", s,
                            {Label("label", 3.2, 9.0, 145, 16, 4, 1),
                             Label("neck label", 16.2, 17.8, 300, 20, 2, 2)},
                            {92, 0xc8680e, 0x4a2408, 0xb0702c});
        AddLabel(&b, "label", LagerLabel(), ALPHA_OPAQUE);
        AddLabel(&b, "neck label", LagerNeck(), ALPHA_OPAQUE);
        types.push_back(std::move(b));
    }
    {
        BottleShape s;
        s.height = 20.5;
        s.bodyRadius = 2.7;
        s.baseFillet = 0.5;
        s.shoulderStart = 9.5;
        s.shoulderEnd = 15.2;
        s.shoulderPower = 1.0;
        s.neckRadius = 0.95;
        s.neckTopRadius = 0.9;
        s.lipStart = 19.6;
        s.lipRadius = 1.1;
        BottleType b = Make(
            "green-pilsner.brew", "Green Pilsner", s,
            {Label("label", 3.0, 8.6, 150, 16, 4, 1), Label("foil", 14.6, 17.4, 330, 22, 4, 2)},
            {88, 0x3fae3a, 0x174a16, 0x5cb850});
        AddLabel(&b, "label", PilsnerLabel(), ALPHA_KEY);
        AddLabel(&b, "foil", PilsnerFoil(), ALPHA_OPAQUE);
        types.push_back(std::move(b));
    }
    {
        BottleShape s;
        s.height = 16;
        s.bodyRadius = 3.5;
        s.baseFillet = 0.8;
        s.shoulderStart = 8.6;
        s.shoulderEnd = 12.2;
        s.shoulderPower = 1.6;
        s.neckRadius = 1.35;
        s.neckTopRadius = 1.28;
        s.lipStart = 15.0;
        s.lipRadius = 1.52;
        s.wall = 0.32;
        s.mouthDepth = 1.4;
        BottleType b =
            Make("squat-stubby.brew", "Squat Stubby", s, {Label("label", 2.0, 7.8, 140, 16, 4, 1)},
                 {96, 0xdc8012, 0x52300c, 0xc08038});
        AddLabel(&b, "label", StubbyLabel(), ALPHA_OPAQUE);
        types.push_back(std::move(b));
    }
    {
        BottleShape s;
        s.height = 19.5;
        s.bodyRadius = 3.1;
        s.baseFillet = 0.7;
        s.shoulderStart = 9.2;
        s.shoulderEnd = 13.2;
        s.shoulderPower = 2.2;
        s.neckRadius = 1.15;
        s.neckTopRadius = 1.05;
        s.lipStart = 18.4;
        s.lipRadius = 1.3;
        BottleType b = Make("dark-stout.brew", "Dark Stout", s,
                            {Label("label", 2.8, 8.6, 145, 16, 4, 1),
                             Label("neck label", 14.6, 16.4, 300, 20, 2, 2)},
                            {90, 0x3a200c, 0x3a2414, 0x8a6040});
        AddLabel(&b, "label", StoutLabel(), ALPHA_KEY);
        AddLabel(&b, "neck label", StoutNeck(), ALPHA_OPAQUE);
        types.push_back(std::move(b));
    }
    {
        BottleShape s;
        s.height = 20;
        s.bodyRadius = 2.8;
        s.baseFillet = 0.55;
        s.shoulderStart = 10.0;
        s.shoulderEnd = 14.2;
        s.shoulderPower = 1.0;
        s.neckRadius = 1.0;
        s.neckTopRadius = 0.92;
        s.lipStart = 19.1;
        s.lipRadius = 1.12;
        BottleType b =
            Make("clear-summer-ale.brew", "Clear Summer Ale", s,
                 {Label("label", 3.4, 8.8, 145, 16, 4, 1)}, {56, 0xb4d8d4, 0x3c4a50, 0xc8dce2});
        AddLabel(&b, "label", SummerLabel(), ALPHA_OPAQUE);
        types.push_back(std::move(b));
    }
    return types;
}
