// Drawing of the gauge's images. The face and the needle are drawn with cairo, which works in
// premultiplied alpha; they are turned into straight alpha at the end. The bezel's metal, the
// lamp and the light disc are computed pixel by pixel, where an exact alpha profile matters.
// The graduations are placed with the gauge's own scale, so the dial and the needle agree.
#include "tools/artgen/artwork.h"

#include "gauge/scale.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Rgb {
    double r;
    double g;
    double b;
};

// Every position below is in image pixels: pixel (i, j) covers (i, j) to (i + 1, j + 1).
constexpr double Pi = 3.14159265358979323846;
constexpr double PivotX = 147.5;
constexpr double PivotY = 147.5;
constexpr double BezelCx = 143.75;
constexpr double BezelCy = 143.75;
constexpr double BezelR = 143.5;
constexpr double RingCx = 145.0;
constexpr double RingCy = 144.5;
constexpr double RingR = 127.5;
constexpr double DialCx = 146.0;
constexpr double DialCy = 145.0;
constexpr double DialR = 120.0;
constexpr double MarkEndR = 110.0;

constexpr Rgb DialGrey = {40, 41, 41};
constexpr Rgb MarkWhite = {230, 235, 236};
constexpr Rgb ZeroOrange = {211, 137, 62};
constexpr Rgb NeedleGrey = {66, 70, 71};
constexpr Rgb BezelMean = {80, 87, 88};

struct ArtFontState {
    FT_Library library = nullptr;
    FT_Face boldFt = nullptr;
    FT_Face condensedFt = nullptr;
    cairo_font_face_t* bold = nullptr;
    cairo_font_face_t* condensed = nullptr;
};
ArtFontState fonts;

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

uint8_t ToByte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// A fixed hash instead of a library generator, so every machine draws the same metal.
double Noise01(uint32_t n)
{
    n ^= n >> 16;
    n *= 0x7feb352dU;
    n ^= n >> 15;
    n *= 0x846ca68bU;
    n ^= n >> 16;
    return (n & 0xffffff) / double(0xffffff);
}

double SmoothNoise(double x, uint32_t seed)
{
    double cell = std::floor(x);
    double f = x - cell;
    double a = Noise01(static_cast<uint32_t>(static_cast<int32_t>(cell)) * 2654435761U + seed);
    double b = Noise01(static_cast<uint32_t>(static_cast<int32_t>(cell) + 1) * 2654435761U + seed);
    double t = f * f * (3 - 2 * f);
    return (a + (b - a) * t) * 2 - 1;
}

RgbaImage SurfaceToImage(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    RgbaImage image = MakeRgbaImage(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
            uint32_t a = p >> 24;
            uint8_t* out = &image.rgba[(static_cast<size_t>(y) * w + x) * 4];
            out[3] = static_cast<uint8_t>(a);
            if (a == 0) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                uint32_t v = (p >> (16 - 8 * c)) & 0xff;
                out[c] = static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
            }
        }
    }
    return image;
}

// Gives fully transparent pixels the colour of their nearest visible neighbours, so that
// bilinear sampling of a turned sprite does not pull black into its antialiased edge.
void BleedIntoTransparent(RgbaImage& image, int passes)
{
    int w = image.width;
    int h = image.height;
    std::vector<uint8_t> known(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < known.size(); ++i) {
        known[i] = image.rgba[i * 4 + 3] != 0;
    }
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<uint8_t> next = known;
        RgbaImage out = image;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                size_t i = static_cast<size_t>(y) * w + x;
                if (known[i]) {
                    continue;
                }
                int sum[3] = {0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx;
                        int ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h) {
                            continue;
                        }
                        size_t n = static_cast<size_t>(ny) * w + nx;
                        if (!known[n]) {
                            continue;
                        }
                        for (int c = 0; c < 3; ++c) {
                            sum[c] += image.rgba[n * 4 + c];
                        }
                        ++count;
                    }
                }
                if (count > 0) {
                    for (int c = 0; c < 3; ++c) {
                        out.rgba[i * 4 + c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
                    }
                    next[i] = 1;
                }
            }
        }
        image = out;
        known = next;
    }
}

// Surface position of the point at radius r about the needle pivot, at a needle angle in
// degrees: 0 is 9 o'clock, positive clockwise on the screen.
void DialPoint(double angleDegrees, double r, double* x, double* y)
{
    double a = angleDegrees * Pi / 180.0;
    *x = PivotX - r * std::cos(a);
    *y = PivotY - r * std::sin(a);
}

double MarkAngle(int fpm)
{
    return NeedleAngleFromFpm(static_cast<float>(fpm));
}

// ---- Face ----------------------------------------------------------------------------------

// Turned metal: a rounded ring lit from the upper left, with the bright spokes that circular
// brushing throws towards and away from the light, fine radial streaks and concentric grain.
void PaintBezelMetal(cairo_surface_t* metal)
{
    cairo_surface_flush(metal);
    int stride = cairo_image_surface_get_stride(metal);
    unsigned char* data = cairo_image_surface_get_data(metal);
    const double lightX = -0.55;
    const double lightY = -0.835;
    const double lightAngle = std::atan2(lightY, lightX);
    const double inner = 126.5;

    struct Streak {
        double frequency;
        double phase;
        double weight;
    };
    Streak streaks[28];
    double streakNorm = 0;
    for (int k = 0; k < 28; ++k) {
        streaks[k].frequency = 9 + std::floor(Noise01(100 + k) * 160);
        streaks[k].phase = Noise01(200 + k) * 2 * Pi;
        streaks[k].weight = 0.4 + Noise01(300 + k);
        streakNorm += streaks[k].weight;
    }

    std::vector<double> value(static_cast<size_t>(FaceSize) * FaceSize, 0.0);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < FaceSize; ++y) {
        for (int x = 0; x < FaceSize; ++x) {
            double dx = x + 0.5 - BezelCx;
            double dy = y + 0.5 - BezelCy;
            double rho = std::max(std::hypot(dx, dy), 1e-6);
            double theta = std::atan2(dy, dx);
            double s = std::clamp((rho - inner) / (BezelR - inner), 0.0, 1.0);
            // Cross-section: rises from the inner edge, a broad crest, falls to the outer edge.
            double tilt = -std::cos(Pi * s);
            tilt = std::copysign(std::pow(std::fabs(tilt), 0.8), tilt);
            double facing = (dx * lightX + dy * lightY) / rho;
            double diffuse = tilt * facing;
            double c = std::cos(theta - lightAngle);
            double spokes = std::pow(c * c, 5.0);
            double spokesWide = std::pow(c * c, 1.5);
            double fine = 0;
            for (const Streak& st : streaks) {
                fine += st.weight * std::cos(st.frequency * theta + st.phase);
            }
            fine /= streakNorm * 0.35;
            double grain = SmoothNoise(rho * 1.6, 77) * 0.6 + SmoothNoise(rho * 4.1, 91) * 0.4;
            double crest = std::exp(-std::pow((s - 0.42) / 0.2, 2));
            double sheen = std::pow(std::max(0.0, facing), 3.0) * crest;
            double v = 70 + 38 * diffuse + 58 * spokes + 16 * spokesWide + 50 * sheen + 9 * fine +
                       4 * grain;
            // A dark groove at the outer lip and a fine bright edge where the ring meets the black.
            if (rho > BezelR - 1.6) {
                v *= 0.62;
            } else if (rho > BezelR - 2.6) {
                v *= 0.85;
            }
            value[static_cast<size_t>(y) * FaceSize + x] = v;
            double rr = std::hypot(x + 0.5 - RingCx, y + 0.5 - RingCy);
            if (rho < BezelR - 0.5 && rr > RingR + 0.5) {
                sum += v;
                ++count;
            }
        }
    }
    double scale = BezelMean.g / (sum / count);
    for (int y = 0; y < FaceSize; ++y) {
        for (int x = 0; x < FaceSize; ++x) {
            double v = value[static_cast<size_t>(y) * FaceSize + x] * scale;
            uint32_t r = ToByte(v * BezelMean.r / BezelMean.g);
            uint32_t g = ToByte(v);
            uint32_t b = ToByte(v * BezelMean.b / BezelMean.g);
            *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) =
                0xff000000U | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(metal);
}

void DrawBezel(cairo_t* cr)
{
    cairo_surface_t* metal = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, FaceSize, FaceSize);
    PaintBezelMetal(metal);
    cairo_set_source_surface(cr, metal, 0, 0);
    cairo_new_path(cr);
    cairo_arc(cr, BezelCx, BezelCy, BezelR, 0, 2 * Pi);
    cairo_fill(cr);
    cairo_surface_destroy(metal);

    // The black ring, with a soft shadow line where it dips under the bezel's inner lip.
    cairo_pattern_t* ring = cairo_pattern_create_radial(RingCx, RingCy, RingR - 8, RingCx, RingCy, RingR);
    cairo_pattern_add_color_stop_rgb(ring, 0.0, 14 / 255.0, 15 / 255.0, 15 / 255.0);
    cairo_pattern_add_color_stop_rgb(ring, 0.7, 10 / 255.0, 10 / 255.0, 11 / 255.0);
    cairo_pattern_add_color_stop_rgb(ring, 1.0, 3 / 255.0, 3 / 255.0, 3 / 255.0);
    cairo_set_source(cr, ring);
    cairo_arc(cr, RingCx, RingCy, RingR, 0, 2 * Pi);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
}

void DrawDial(cairo_t* cr)
{
    SetColour(cr, DialGrey);
    cairo_arc(cr, DialCx, DialCy, DialR, 0, 2 * Pi);
    cairo_fill(cr);
    // The dial sits a little below the ring: its edge falls into shadow, well outside the marks.
    cairo_pattern_t* shade = cairo_pattern_create_radial(DialCx, DialCy, 113, DialCx, DialCy, DialR);
    cairo_pattern_add_color_stop_rgba(shade, 0.0, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(shade, 1.0, 0, 0, 0, 0.5);
    cairo_set_source(cr, shade);
    cairo_arc(cr, DialCx, DialCy, DialR, 0, 2 * Pi);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
}

// Drawn over the marks: the 100 ft/min marks run in under it, as on a painted dial.
void DrawZeroIndex(cairo_t* cr)
{
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_rectangle(cr, 35, 135, 10, 21);
    cairo_fill(cr);
    SetColour(cr, ZeroOrange);
    cairo_rectangle(cr, 36, 136, 8, 19);
    cairo_fill(cr);
}

void DrawMark(cairo_t* cr, double angle, double startR, double width)
{
    double x0, y0, x1, y1;
    DialPoint(angle, startR, &x0, &y0);
    DialPoint(angle, MarkEndR, &x1, &y1);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_stroke(cr);
}

void DrawGraduations(cairo_t* cr)
{
    SetColour(cr, MarkWhite);
    for (int side = -1; side <= 1; side += 2) {
        for (int v = 100; v < 1000; v += 100) {
            if (v != 500) {
                DrawMark(cr, side * MarkAngle(v), 100, 2.0);
            }
        }
        for (int v = 500; v <= 6000; v += 500) {
            bool thousand = v % 1000 == 0;
            DrawMark(cr, side * MarkAngle(v), thousand ? 91 : 96, 3.0);
        }
    }
    // The bar of the bracket that joins the two 6000 marks near their outer ends.
    double xa, ya, xb, yb;
    DialPoint(MarkAngle(6000), MarkEndR - 2.2, &xa, &ya);
    DialPoint(-MarkAngle(6000), MarkEndR - 2.2, &xb, &yb);
    double barRight = std::floor(xa + 1.5);
    cairo_rectangle(cr, barRight - 3, ya - 1.0, 3, yb - ya + 2.0);
    cairo_fill(cr);
}

// Outline of text at a large size, and its ink box taken from the flattened outline, so that
// round glyphs are measured by their curves rather than their control points.
void FitText(cairo_t* cr, cairo_font_face_t* face, const char* text, int x0, int x1, int y0, int y1)
{
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, 200);
    cairo_set_tolerance(cr, 0.01);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_new_path(cr);
    cairo_text_path(cr, text);
    cairo_path_t* outline = cairo_copy_path(cr);
    cairo_path_t* flat = cairo_copy_path_flat(cr);
    cairo_new_path(cr);
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t& head = flat->data[i];
        // Only points that start or end a drawn segment are ink.
        if (head.header.type == CAIRO_PATH_CLOSE_PATH ||
            (head.header.type == CAIRO_PATH_MOVE_TO &&
             (i + 2 >= flat->num_data || flat->data[i + 2].header.type != CAIRO_PATH_LINE_TO))) {
            continue;
        }
        const cairo_path_data_t& point = flat->data[i + 1];
        minX = std::min(minX, point.point.x);
        maxX = std::max(maxX, point.point.x);
        minY = std::min(minY, point.point.y);
        maxY = std::max(maxY, point.point.y);
    }
    cairo_path_destroy(flat);
    cairo_translate(cr, x0, y0);
    cairo_scale(cr, (x1 + 1 - x0) / (maxX - minX), (y1 + 1 - y0) / (maxY - minY));
    cairo_translate(cr, -minX, -minY);
    cairo_append_path(cr, outline);
    cairo_path_destroy(outline);
    cairo_set_tolerance(cr, 0.1);
    cairo_identity_matrix(cr);
    SetColour(cr, MarkWhite);
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawLettering(cairo_t* cr)
{
    struct Label {
        const char* text;
        bool condensed;
        int x0, x1, y0, y1;
    };
    static const Label labels[] = {
        {"CLIMB", false, 112, 181, 101, 120},
        {"1000 FT PER MINUTE", false, 96, 197, 123, 129},
        {".5 UP", false, 61, 96, 107, 117},
        {".5 DOWN", false, 59, 112, 172, 184},
        {"1", true, 84, 87, 82, 98},
        {"2", true, 133, 144, 59, 77},
        {"4", true, 200, 213, 85, 102},
        {"6", true, 221, 234, 137, 155},
        {"4", true, 200, 213, 190, 208},
        {"2", true, 133, 144, 216, 235},
        {"1", true, 83, 86, 193, 210},
    };
    for (const Label& l : labels) {
        FitText(cr, l.condensed ? fonts.condensed : fonts.bold, l.text, l.x0, l.x1, l.y0, l.y1);
    }
}

// ---- Needle --------------------------------------------------------------------------------

// Straight edges lie half a pixel outside the rows and columns each part covers fully, which
// gives the one-pixel antialiased fringe around the whole outline.
void DrawNeedleShapes(cairo_t* cr)
{
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    // Pointer: arrow tip, shaft, sleeve, shaft, all in one fill so the joins leave no seams.
    cairo_move_to(cr, 0, 104.5);
    cairo_line_to(cr, 6, 100.5);
    cairo_line_to(cr, 13.5, 100.5);
    cairo_line_to(cr, 13.5, 110.5);
    cairo_line_to(cr, 6, 110.5);
    cairo_line_to(cr, 0, 106.5);
    cairo_close_path(cr);
    cairo_rectangle(cr, 13, 101.5, 41, 8);
    cairo_rectangle(cr, 53.5, 99.5, 34, 12);
    cairo_rectangle(cr, 87, 101.5, 14, 8);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);

    // Hub, counterweight bar and knob, shaded a little so the hub reads as a raised cap.
    cairo_arc(cr, 105, 105.5, 9, 0, 2 * Pi);
    cairo_close_path(cr);
    cairo_rectangle(cr, 112, 100.5, 24, 10);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 138, 105.5, 7.9, 0, 2 * Pi);
    cairo_close_path(cr);
    cairo_pattern_t* grey = cairo_pattern_create_linear(0, 96, 0, 115);
    cairo_pattern_add_color_stop_rgb(grey, 0.0, (NeedleGrey.r + 14) / 255.0,
                                     (NeedleGrey.g + 14) / 255.0, (NeedleGrey.b + 14) / 255.0);
    cairo_pattern_add_color_stop_rgb(grey, 0.5, NeedleGrey.r / 255.0, NeedleGrey.g / 255.0,
                                     NeedleGrey.b / 255.0);
    cairo_pattern_add_color_stop_rgb(grey, 1.0, (NeedleGrey.r - 14) / 255.0,
                                     (NeedleGrey.g - 14) / 255.0, (NeedleGrey.b - 14) / 255.0);
    cairo_set_source(cr, grey);
    cairo_fill(cr);
    cairo_pattern_destroy(grey);

    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 107, 104, 3, 3);
    cairo_fill(cr);
}

// Fraction of pixel (x, y) inside the circle, from an 8 x 8 grid of samples.
double DiscCoverage(int x, int y, double cx, double cy, double r)
{
    int inside = 0;
    for (int sy = 0; sy < 8; ++sy) {
        for (int sx = 0; sx < 8; ++sx) {
            double px = x + (sx + 0.5) / 8.0;
            double py = y + (sy + 0.5) / 8.0;
            inside += std::hypot(px - cx, py - cy) <= r;
        }
    }
    return inside / 64.0;
}

void SetPixel(RgbaImage& image, int x, int y, Rgb c, double alpha)
{
    uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
    p[0] = ToByte(c.r);
    p[1] = ToByte(c.g);
    p[2] = ToByte(c.b);
    p[3] = ToByte(alpha);
}

// ---- Icon ----------------------------------------------------------------------------------

// Drawn on a 48-unit grid and scaled; strokes widen as the icon shrinks, so that the needle
// and the ticks still read at 16 pixels.
void DrawIconShapes(cairo_t* cr, int size)
{
    const double unitsPerPixel = 48.0 / size;
    const double cx = 24;
    const double cy = 24;
    cairo_scale(cr, 1 / unitsPerPixel, 1 / unitsPerPixel);

    cairo_pattern_t* metal = cairo_pattern_create_linear(6, 2, 42, 46);
    cairo_pattern_add_color_stop_rgb(metal, 0.0, 0.80, 0.84, 0.85);
    cairo_pattern_add_color_stop_rgb(metal, 0.5, 0.42, 0.46, 0.47);
    cairo_pattern_add_color_stop_rgb(metal, 1.0, 0.20, 0.21, 0.22);
    cairo_set_source(cr, metal);
    cairo_arc(cr, cx, cy, 24, 0, 2 * Pi);
    cairo_fill(cr);
    cairo_pattern_destroy(metal);
    double rim = std::max(3.5, 1.2 * unitsPerPixel);
    cairo_set_source_rgb(cr, 0.03, 0.03, 0.03);
    cairo_arc(cr, cx, cy, 24 - rim, 0, 2 * Pi);
    cairo_fill(cr);
    double dialR = 24 - rim - std::max(1.0, 0.4 * unitsPerPixel);
    SetColour(cr, DialGrey);
    cairo_arc(cr, cx, cy, dialR, 0, 2 * Pi);
    cairo_fill(cr);

    // Ticks at the whole thousands of both scales, the zero index and the 6000 bracket.
    SetColour(cr, MarkWhite);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, std::max(2.0, 1.1 * unitsPerPixel));
    double outer = dialR - 0.5;
    double inner = dialR - std::max(5.0, 2.2 * unitsPerPixel);
    const int ticks[] = {2000, 4000, 1000, 6000};
    int tickCount = size > 16 ? 4 : 2;
    for (int t = 0; t < tickCount; ++t) {
        int v = ticks[t];
        for (int side = -1; side <= 1; side += 2) {
            double a = side * MarkAngle(v) * Pi / 180.0;
            cairo_move_to(cr, cx - inner * std::cos(a), cy - inner * std::sin(a));
            cairo_line_to(cr, cx - outer * std::cos(a), cy - outer * std::sin(a));
        }
    }
    cairo_stroke(cr);
    SetColour(cr, ZeroOrange);
    double indexH = std::max(5.0, 2.0 * unitsPerPixel);
    cairo_rectangle(cr, cx - outer, cy - indexH / 2, outer - inner, indexH);
    cairo_fill(cr);

    // The needle climbing at 3000 ft/min, over a small hub.
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, (180 + MarkAngle(3000)) * Pi / 180.0);
    double half = std::max(1.3, (size > 16 ? 0.75 : 1.0) * unitsPerPixel);
    cairo_move_to(cr, outer - 0.5, 0);
    cairo_line_to(cr, outer - 4 * half, -half);
    cairo_line_to(cr, -5, -half);
    cairo_line_to(cr, -5, half);
    cairo_line_to(cr, outer - 4 * half, half);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_arc(cr, 0, 0, size > 16 ? std::max(3.0, 1.2 * unitsPerPixel) : half, 0, 2 * Pi);
    cairo_set_source_rgb(cr, 0.55, 0.58, 0.59);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace

bool OpenArtFonts(const std::string& fontDir, std::string* error)
{
    if (FT_Init_FreeType(&fonts.library) != 0) {
        *error = "cannot start FreeType";
        return false;
    }
    std::string bold = fontDir + "/DejaVuSans-Bold.ttf";
    std::string condensed = fontDir + "/DejaVuSansCondensed-Bold.ttf";
    if (FT_New_Face(fonts.library, bold.c_str(), 0, &fonts.boldFt) != 0) {
        *error = "cannot load font " + bold;
        CloseArtFonts();
        return false;
    }
    if (FT_New_Face(fonts.library, condensed.c_str(), 0, &fonts.condensedFt) != 0) {
        *error = "cannot load font " + condensed;
        CloseArtFonts();
        return false;
    }
    fonts.bold = cairo_ft_font_face_create_for_ft_face(fonts.boldFt, 0);
    fonts.condensed = cairo_ft_font_face_create_for_ft_face(fonts.condensedFt, 0);
    return true;
}

void CloseArtFonts()
{
    // cairo may still hold the faces in its caches; dropping our references first and the
    // FreeType faces last is the order cairo-ft asks for.
    if (fonts.bold) {
        cairo_font_face_destroy(fonts.bold);
    }
    if (fonts.condensed) {
        cairo_font_face_destroy(fonts.condensed);
    }
    cairo_debug_reset_static_data();
    if (fonts.boldFt) {
        FT_Done_Face(fonts.boldFt);
    }
    if (fonts.condensedFt) {
        FT_Done_Face(fonts.condensedFt);
    }
    if (fonts.library) {
        FT_Done_FreeType(fonts.library);
    }
    fonts = ArtFontState{};
}

RgbaImage DrawFace()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, FaceSize, FaceSize);
    cairo_t* cr = cairo_create(surface);
    DrawBezel(cr);
    DrawDial(cr);
    DrawGraduations(cr);
    DrawZeroIndex(cr);
    DrawLettering(cr);
    cairo_destroy(cr);
    RgbaImage image = SurfaceToImage(surface);
    cairo_surface_destroy(surface);
    return image;
}

RgbaImage DrawNeedle()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, NeedleSize, NeedleSize);
    cairo_t* cr = cairo_create(surface);
    DrawNeedleShapes(cr);
    cairo_destroy(cr);
    RgbaImage image = SurfaceToImage(surface);
    cairo_surface_destroy(surface);
    BleedIntoTransparent(image, 3);
    return image;
}

RgbaImage DrawLampDot()
{
    static const Rgb red = {255, 0, 0};
    static const Rgb highlight = {204, 204, 204};
    RgbaImage image = MakeRgbaImage(LampSize, LampSize);
    for (int y = 0; y < LampSize; ++y) {
        for (int x = 0; x < LampSize; ++x) {
            // The rim keeps to four steps of alpha, which reads as a crisp round bulb.
            double cover = DiscCoverage(x, y, 15, 15, 5);
            int level = static_cast<int>(std::lround(cover * 4));
            static const int alphas[] = {0, 64, 128, 191, 255};
            bool lit = x >= 15 && x <= 17 && y >= 12 && y <= 14;
            SetPixel(image, x, y, lit ? highlight : red, alphas[level]);
        }
    }
    return image;
}

RgbaImage DrawLampRing()
{
    RgbaImage image = MakeRgbaImage(LampSize, LampSize);
    for (int y = 0; y < LampSize; ++y) {
        for (int x = 0; x < LampSize; ++x) {
            double r = std::hypot(x + 0.5 - 15, y + 0.5 - 15);
            double alpha = r < 4 ? 0 : std::max(0.0, 170 - 17 * (std::max(r, 5.0) - 5));
            SetPixel(image, x, y, {255, 0, 0}, alpha);
        }
    }
    return image;
}

RgbaImage DrawLightDisc()
{
    const double cx = 135;
    const double cy = 136;
    const double radius = 112;
    // Brightness grows evenly along the lit diagonal, from black at the lower-left edge.
    const double hx = 200 - cx;
    const double hy = 57 - cy;
    const double hl = std::hypot(hx, hy);
    RgbaImage image = MakeRgbaImage(LightDiscSize, LightDiscSize);
    for (int y = 0; y < LightDiscSize; ++y) {
        for (int x = 0; x < LightDiscSize; ++x) {
            double px = x + 0.5 - cx;
            double py = y + 0.5 - cy;
            double along = (px * hx + py * hy) / hl;
            double level = std::clamp((along + radius) / (hl + radius), 0.0, 1.0);
            double red = 241 * level;
            double cover = std::hypot(px, py) < radius - 1.5 ? 1.0 : DiscCoverage(x, y, cx, cy, radius);
            SetPixel(image, x, y, {red, red * 0.66, red * 0.05}, cover * 255);
        }
    }
    return image;
}

RgbaImage DrawIcon(int size)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    DrawIconShapes(cr, size);
    cairo_destroy(cr);
    RgbaImage image = SurfaceToImage(surface);
    cairo_surface_destroy(surface);
    return image;
}
