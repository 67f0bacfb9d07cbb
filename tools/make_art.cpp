// The default pictures, drawn by code into a floating-point canvas with
// 4 x 4 supersampled shape edges and a tiny 5 x 7 bitmap font of our own,
// then encoded as PNG in memory. Only plain arithmetic and the C library's
// sin/cos/exp are used, so a build gives the same bytes on every run.
#include "make_art.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/image.h"

// A straight (not premultiplied) RGBA canvas, rows top-down, values 0..1.
struct ArtCanvas {
    int width, height;
    std::vector<double> px;
};

struct ArtColor {
    double r, g, b, a;
};

static const double ART_PI = 3.14159265358979323846;

static ArtCanvas art_canvas(int width, int height, ArtColor fill) {
    ArtCanvas c;
    c.width = width;
    c.height = height;
    c.px.resize((size_t)width * height * 4);
    for (size_t i = 0; i < c.px.size(); i += 4) {
        c.px[i] = fill.r;
        c.px[i + 1] = fill.g;
        c.px[i + 2] = fill.b;
        c.px[i + 3] = fill.a;
    }
    return c;
}

static double art_clamp(double v, double lo, double hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

static ArtColor art_mix(ArtColor a, ArtColor b, double t) {
    t = art_clamp(t, 0, 1);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Paints s over the pixel with s.a scaled by cover.
static void art_blend(ArtCanvas *c, int x, int y, ArtColor s, double cover) {
    if (x < 0 || y < 0 || x >= c->width || y >= c->height) return;
    double a = art_clamp(s.a * cover, 0, 1);
    if (a <= 0) return;
    double *d = &c->px[((size_t)y * c->width + x) * 4];
    double keep = d[3] * (1 - a);
    double out = a + keep;
    d[0] = (s.r * a + d[0] * keep) / out;
    d[1] = (s.g * a + d[1] * keep) / out;
    d[2] = (s.b * a + d[2] * keep) / out;
    d[3] = out;
}

// Fills the shape inside(x, y) within the box with paint(x, y), covering
// each pixel by the share of its 16 sample points inside.
template <class Inside, class Paint>
static void art_shape(ArtCanvas *c, double x0, double y0, double x1, double y1, Inside inside, Paint paint) {
    int ix0 = std::max(0, (int)std::floor(x0)), iy0 = std::max(0, (int)std::floor(y0));
    int ix1 = std::min(c->width - 1, (int)std::ceil(x1)), iy1 = std::min(c->height - 1, (int)std::ceil(y1));
    for (int y = iy0; y <= iy1; y++) {
        for (int x = ix0; x <= ix1; x++) {
            int hits = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++) hits += inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4) ? 1 : 0;
            if (hits) art_blend(c, x, y, paint(x + 0.5, y + 0.5), hits / 16.0);
        }
    }
}

static std::string art_png(const ArtCanvas &c, int channels) {
    std::vector<unsigned char> bytes((size_t)c.width * c.height * channels);
    for (size_t p = 0; p < (size_t)c.width * c.height; p++) {
        for (int k = 0; k < channels; k++)
            bytes[p * channels + k] = (unsigned char)std::lround(art_clamp(c.px[p * 4 + k], 0, 1) * 255);
    }
    unsigned char *png = nullptr;
    size_t size = 0;
    if (!png_encode_rgba(bytes.data(), c.width, c.height, channels, nullptr, &png, &size)) return std::string();
    std::string out((const char *)png, size);
    free(png);
    return out;
}

// --- shapes -----------------------------------------------------------------

static bool art_in_rounded(double x, double y, double x0, double y0, double x1, double y1, double r) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    double cx = art_clamp(x, x0 + r, x1 - r), cy = art_clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// A bar from radius r0 to r1 along the direction of angle a (radians,
// counter-clockwise from +x, screen y down), width w, around (cx, cy).
static bool art_in_spoke(double x, double y, double cx, double cy, double a, double r0, double r1, double w) {
    double ux = std::cos(a), uy = -std::sin(a);
    double dx = x - cx, dy = y - cy;
    double along = dx * ux + dy * uy, across = dx * uy - dy * ux;
    return along >= r0 && along <= r1 && std::fabs(across) <= w / 2;
}

// --- the font ---------------------------------------------------------------

struct ArtGlyph {
    char ch;
    const char *rows[7];
};

static const ArtGlyph k_glyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'0', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
};

static bool art_glyph_bit(char ch, int col, int row) {
    for (const ArtGlyph &g : k_glyphs)
        if (g.ch == ch) return g.rows[row][col] == '#';
    return false;
}

// A line of text: cells of `cell` pixels, 5 x 7 per glyph and one empty
// column between glyphs; skew leans the tops to the right by skew pixels
// per pixel of height.
struct ArtText {
    const char *text;
    double x0, y0, cell, skew;
};

static double art_text_width(const char *text, double cell) {
    return ((double)strlen(text) * 6 - 1) * cell;
}

static bool art_in_text(const ArtText &t, double x, double y) {
    double v = (y - t.y0) / t.cell;
    if (v < 0 || v >= 7) return false;
    double u = (x - t.x0 - t.skew * (t.y0 + 7 * t.cell - y)) / t.cell;
    if (u < 0) return false;
    int column = (int)u, glyph = column / 6;
    if (glyph >= (int)strlen(t.text) || column % 6 == 5) return false;
    return art_glyph_bit(t.text[glyph], column % 6, (int)v);
}

// Text within r pixels (twelve directions): the outline around it.
static bool art_near_text(const ArtText &t, double x, double y, double r) {
    if (art_in_text(t, x, y)) return true;
    for (int k = 0; k < 12; k++) {
        double a = k * ART_PI / 6;
        if (art_in_text(t, x + r * std::cos(a), y + r * std::sin(a))) return true;
    }
    return false;
}

template <class Paint>
static void art_text(ArtCanvas *c, const ArtText &t, double outline, Paint paint) {
    double w = art_text_width(t.text, t.cell) + t.skew * 7 * t.cell;
    double m = outline + 2;
    art_shape(c, t.x0 - m, t.y0 - m, t.x0 + w + m, t.y0 + 7 * t.cell + m,
              [&](double x, double y) { return outline > 0 ? art_near_text(t, x, y, outline) : art_in_text(t, x, y); },
              paint);
}

// Text centred on (cx, top), plain colour.
static void art_label(ArtCanvas *c, const char *text, double cx, double top, double cell, ArtColor color) {
    ArtText t = {text, cx - art_text_width(text, cell) / 2, top, cell, 0};
    art_text(c, t, 0, [&](double, double) { return color; });
}

// --- title.png --------------------------------------------------------------

static double title_far(double x) {
    return 318 + 16 * std::sin(x / 83 + 0.7) + 9 * std::sin(x / 31 + 2.1);
}
static double title_mid(double x) {
    return 352 + 22 * std::sin(x / 127 + 2.0) + 8 * std::sin(x / 47 + 0.3);
}
static double title_near(double x) {
    return 408 + 36 * std::sin(x / 171 - 0.4) + 13 * std::sin(x / 67 + 1.3);
}

// A small repeatable grain in -1..1 for the dirt.
static double art_grain(int x, int y) {
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h >> 16) & 0xffff) / 32767.5 - 1;
}

// The cover of pixel row y by ground whose surface is at height s.
static double title_ground_cover(int y, double s) {
    return art_clamp(y + 1 - s, 0, 1);
}

static void title_cloud(ArtCanvas *c, double cx, double cy, double scale) {
    static const double puffs[][3] = {{0, 0, 1}, {-38, 8, 0.7}, {40, 6, 0.75}, {-70, 16, 0.45}, {72, 15, 0.5}, {18, -14, 0.6}};
    for (int y = (int)(cy - 60 * scale); y < cy + 40 * scale; y++) {
        for (int x = (int)(cx - 130 * scale); x < cx + 130 * scale; x++) {
            double field = 0;
            for (const auto &p : puffs) {
                double dx = (x + 0.5 - cx - p[0] * scale) / (46 * p[2] * scale);
                double dy = (y + 0.5 - cy - p[1] * scale) / (30 * p[2] * scale);
                field = std::max(field, 1 - dx * dx - dy * dy);
            }
            double shade = art_clamp((y - cy) / (36 * scale), 0, 1);
            ArtColor white = art_mix({1, 1, 1, 1}, {0.82, 0.86, 0.92, 1}, shade);
            art_blend(c, x, y, white, art_clamp(field * 3, 0, 1) * 0.9);
        }
    }
}

static std::string art_title() {
    const int W = 1024, H = 512;
    ArtCanvas c = art_canvas(W, H, {0, 0, 0, 1});
    ArtColor sky_top = {0.12, 0.32, 0.66, 1}, sky_low = {0.80, 0.89, 0.96, 1};
    ArtColor far = {0.47, 0.60, 0.66, 1}, grass = {0.33, 0.53, 0.23, 1}, grass_low = {0.24, 0.41, 0.17, 1};
    ArtColor dirt = {0.60, 0.41, 0.24, 1}, dirt_low = {0.36, 0.23, 0.13, 1};
    ArtColor track = {0.47, 0.31, 0.18, 1}, crest = {0.82, 0.64, 0.42, 1}, rut = {0.30, 0.19, 0.11, 1};
    for (int y = 0; y < H; y++) {
        for (int x = 0; x < W; x++) {
            double fx = x + 0.5;
            art_blend(&c, x, y, art_mix(sky_top, sky_low, std::pow(y / 340.0, 0.8)), 1);
            double dx = fx - 912, dy = y + 0.5 - 84, d = std::sqrt(dx * dx + dy * dy);
            art_blend(&c, x, y, {1, 0.92, 0.65, 1}, 0.45 * std::exp(-(d / 95) * (d / 95)));
        }
    }
    art_shape(&c, 878, 50, 946, 118, [](double x, double y) { return (x - 912) * (x - 912) + (y - 84) * (y - 84) <= 30 * 30; },
              [](double, double) { return ArtColor{1, 0.98, 0.88, 1}; });
    title_cloud(&c, 190, 92, 1.0);
    title_cloud(&c, 560, 58, 0.8);
    title_cloud(&c, 930, 220, 0.6);

    for (int y = 0; y < H; y++) {
        for (int x = 0; x < W; x++) {
            double fx = x + 0.5;
            double s_far = title_far(fx), s_mid = title_mid(fx), s_near = title_near(fx);
            art_blend(&c, x, y, far, title_ground_cover(y, s_far));
            art_blend(&c, x, y, art_mix(grass, grass_low, (y - s_mid) / 90), title_ground_cover(y, s_mid));
            double depth = y - s_near;
            if (depth < -1) continue;
            ArtColor ground = art_mix(dirt, dirt_low, (depth - 24) / 100);
            double g = art_grain(x, y) * 0.025;
            ground = {ground.r + g, ground.g + g, ground.b + g, 1};
            if (depth < 22) ground = art_mix(track, ground, (depth - 18) / 4);
            art_blend(&c, x, y, ground, title_ground_cover(y, s_near));
            // The groomed line: a bright crest and two ruts following it.
            art_blend(&c, x, y, crest, art_clamp(1 - std::fabs(depth - 1.5) / 1.5, 0, 1));
            art_blend(&c, x, y, rut, 0.8 * art_clamp(1 - std::fabs(depth - 8) / 1.2, 0, 1));
            art_blend(&c, x, y, rut, 0.6 * art_clamp(1 - std::fabs(depth - 14) / 1.2, 0, 1));
        }
    }
    // Marker stakes along the track, white with an orange top.
    for (int i = 0; i < 9; i++) {
        double px = 58 + i * 116.0, base = title_near(px) + 1;
        art_shape(&c, px - 2, base - 26, px + 2, base, [&](double x, double y) { return std::fabs(x - px) <= 1.6 && y >= base - 24 && y <= base; },
                  [&](double, double y) { return y < base - 17 ? ArtColor{0.98, 0.45, 0.08, 1} : ArtColor{0.96, 0.96, 0.94, 1}; });
    }

    // The name in leaning block letters: shadow, dark outline, warm fill.
    const double cell = 15, skew = 0.22;
    double width = art_text_width("QUORVIN", cell) + skew * 7 * cell;
    ArtText name = {"QUORVIN", (W - width) / 2, 92, cell, skew};
    ArtText shadow = name;
    shadow.x0 += 8;
    shadow.y0 += 9;
    art_text(&c, shadow, 4.5, [](double, double) { return ArtColor{0.02, 0.04, 0.10, 0.45}; });
    art_text(&c, name, 4.5, [](double, double) { return ArtColor{0.10, 0.06, 0.04, 1}; });
    art_text(&c, name, 0, [&](double, double y) {
        ArtColor top = {1.0, 0.90, 0.30, 1}, bottom = {0.96, 0.40, 0.07, 1};
        return art_mix(top, bottom, (y - name.y0) / (7 * cell));
    });
    const double small = 5;
    double sub_width = art_text_width("MOTOCROSS", small) + skew * 7 * small;
    ArtText sub = {"MOTOCROSS", (W - sub_width) / 2, 226, small, skew};
    art_text(&c, sub, 2, [](double, double) { return ArtColor{0.10, 0.06, 0.04, 0.9}; });
    art_text(&c, sub, 0, [](double, double) { return ArtColor{1, 1, 1, 1}; });
    return art_png(c, 3);
}

// --- tach.png ---------------------------------------------------------------

static const double TACH_MAX_RPM = 14;     // thousands
static const double TACH_RED_RPM = 12;

// The needle angle of an engine speed (thousands): 0 at lower left, the
// maximum at lower right, clockwise over three quarters of a turn.
static double tach_angle(double rpm) {
    return (225 - rpm / TACH_MAX_RPM * 270) * ART_PI / 180;
}

// The engine speed a direction points at, or a value outside 0..max in the gap.
static double tach_rpm_at(double dx, double dy) {
    double a = std::atan2(-dy, dx) * 180 / ART_PI;
    if (a < -90) a += 360;
    return (225 - a) / 270 * TACH_MAX_RPM;
}

static std::string art_tach() {
    const double cx = 128, cy = 128;
    ArtCanvas c = art_canvas(256, 256, {0, 0, 0, 0});
    auto radius = [&](double x, double y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)); };
    // Bezel: a chrome ring lit from above, then the face.
    art_shape(&c, 0, 0, 256, 256, [&](double x, double y) { return radius(x, y) <= 126; },
              [&](double x, double y) {
                  double r = radius(x, y), light = 0.55 - 0.35 * (y - cy) / std::max(r, 1.0);
                  if (r > 124.5) light *= 0.5;
                  return ArtColor{light, light, light * 1.05, 1};
              });
    art_shape(&c, 14, 14, 242, 242, [&](double x, double y) { return radius(x, y) <= 112; },
              [&](double x, double y) {
                  double lift = 0.07 * (1 - radius(x, y) / 112);
                  return ArtColor{0.06 + lift, 0.06 + lift, 0.08 + lift, 1};
              });
    // The scale line and the red zone.
    art_shape(&c, 14, 14, 242, 242,
              [&](double x, double y) {
                  double r = radius(x, y), rpm = tach_rpm_at(x - cx, y - cy);
                  return r >= 107 && r <= 110 && rpm >= 0 && rpm <= TACH_RED_RPM;
              },
              [](double, double) { return ArtColor{0.92, 0.92, 0.92, 1}; });
    art_shape(&c, 14, 14, 242, 242,
              [&](double x, double y) {
                  double r = radius(x, y), rpm = tach_rpm_at(x - cx, y - cy);
                  return r >= 92 && r <= 110 && rpm >= TACH_RED_RPM && rpm <= TACH_MAX_RPM;
              },
              [](double, double) { return ArtColor{0.86, 0.09, 0.06, 1}; });
    // Ticks every 500 rpm, long ones at each thousand, and the numbers.
    for (int k = 0; k <= (int)TACH_MAX_RPM * 2; k++) {
        double a = tach_angle(k / 2.0);
        bool major = k % 2 == 0;
        double r0 = major ? 93 : 101, w = major ? 3.5 : 2;
        art_shape(&c, 14, 14, 242, 242, [&](double x, double y) { return art_in_spoke(x, y, cx, cy, a, r0, 110, w); },
                  [](double, double) { return ArtColor{0.97, 0.97, 0.97, 1}; });
    }
    for (int n = 0; n <= (int)TACH_MAX_RPM; n++) {
        char text[4];
        snprintf(text, sizeof text, "%d", n);
        double a = tach_angle(n), cell = 2.2, r = n >= 10 ? 76 : 79;
        double x = cx + r * std::cos(a), y = cy - r * std::sin(a);
        ArtColor color = n >= TACH_RED_RPM ? ArtColor{1, 0.36, 0.30, 1} : ArtColor{1, 1, 1, 1};
        art_label(&c, text, x, y - 3.5 * cell, cell, color);
    }
    art_label(&c, "RPM", cx, 160, 2, {0.72, 0.72, 0.74, 1});
    art_label(&c, "X1000", cx, 178, 1.6, {0.60, 0.60, 0.62, 1});
    // The needle's hub.
    art_shape(&c, cx - 12, cy - 12, cx + 12, cy + 12, [&](double x, double y) { return radius(x, y) <= 11; },
              [&](double x, double y) { return radius(x, y) > 8.5 ? ArtColor{0.55, 0.55, 0.58, 1} : ArtColor{0.18, 0.18, 0.20, 1}; });
    return art_png(c, 4);
}

// --- shifter.png, pitboard.png ----------------------------------------------

static std::string art_shifter() {
    ArtCanvas c = art_canvas(128, 128, {0, 0, 0, 0});
    art_shape(&c, 4, 4, 124, 124, [](double x, double y) { return art_in_rounded(x, y, 5, 5, 123, 123, 20); },
              [](double, double y) { return art_mix({0.72, 0.74, 0.78, 1}, {0.38, 0.40, 0.44, 1}, (y - 5) / 118); });
    art_shape(&c, 4, 4, 124, 124, [](double x, double y) { return art_in_rounded(x, y, 8, 8, 120, 120, 17); },
              [](double, double y) { return art_mix({0.22, 0.23, 0.26, 1}, {0.08, 0.08, 0.10, 1}, (y - 8) / 112); });
    // The window the gear shows in, sunk into the panel.
    art_shape(&c, 20, 14, 108, 102, [](double x, double y) { return art_in_rounded(x, y, 24, 18, 104, 98, 11); },
              [](double, double) { return ArtColor{0.30, 0.31, 0.34, 1}; });
    art_shape(&c, 20, 14, 108, 102, [](double x, double y) { return art_in_rounded(x, y, 26, 20, 102, 96, 9); },
              [](double, double y) { return art_mix({0.01, 0.01, 0.02, 1}, {0.05, 0.05, 0.06, 1}, (y - 20) / 76); });
    art_label(&c, "GEAR", 64, 103, 2.2, {0.95, 0.78, 0.25, 1});
    return art_png(c, 4);
}

static std::string art_pitboard() {
    ArtCanvas c = art_canvas(256, 128, {0, 0, 0, 0});
    art_shape(&c, 0, 0, 256, 128, [](double x, double y) { return art_in_rounded(x, y, 2, 2, 254, 126, 10); },
              [](double, double) { return ArtColor{0.05, 0.05, 0.06, 1}; });
    // A white frame, a rule between the two rows and one after the labels.
    ArtColor white = {0.95, 0.95, 0.93, 1};
    art_shape(&c, 0, 0, 256, 128,
              [](double x, double y) {
                  return art_in_rounded(x, y, 7, 7, 249, 121, 6) && !art_in_rounded(x, y, 10, 10, 246, 118, 4);
              },
              [&](double, double) { return white; });
    art_shape(&c, 8, 60, 248, 68, [](double x, double y) { return x >= 10 && x <= 246 && y >= 62.5 && y <= 65.5; },
              [&](double, double) { return white; });
    art_shape(&c, 60, 8, 70, 120, [](double x, double y) { return x >= 63 && x <= 66 && y >= 10 && y <= 118; },
              [&](double, double) { return white; });
    ArtColor yellow = {1, 0.84, 0.10, 1};
    art_label(&c, "POS", 37, 27.5, 2.5, yellow);
    art_label(&c, "LAP", 37, 82.5, 2.5, yellow);
    return art_png(c, 4);
}

// --- roost.png, colors/white.png --------------------------------------------

static std::string art_roost() {
    // Soft lumps of dirt around the middle and a few loose clods.
    static const double blobs[][4] = {
        {32, 32, 13, 0.95}, {24, 27, 9, 0.6}, {41, 29, 10, 0.6}, {30, 42, 9, 0.55}, {39, 39, 8, 0.5},
        {20, 37, 6, 0.45}, {45, 41, 6, 0.4}, {33, 20, 7, 0.45}, {13, 23, 2.2, 1.2}, {51, 19, 2.6, 1.2},
        {49, 51, 2.2, 1.2}, {16, 49, 2.4, 1.2}, {29, 9, 2.0, 1.2},
    };
    ArtCanvas c = art_canvas(64, 64, {0, 0, 0, 0});
    for (int y = 0; y < 64; y++) {
        for (int x = 0; x < 64; x++) {
            double fx = x + 0.5, fy = y + 0.5, field = 0;
            for (const auto &b : blobs) {
                double d2 = ((fx - b[0]) * (fx - b[0]) + (fy - b[1]) * (fy - b[1])) / (b[2] * b[2]);
                field += b[3] * std::exp(-d2);
            }
            double dc = std::sqrt((fx - 32) * (fx - 32) + (fy - 32) * (fy - 32)) / 31;
            double falloff = art_clamp(1 - dc * dc, 0, 1);
            double alpha = art_clamp(field, 0, 1) * falloff;
            double light = 0.92 + 0.16 * art_clamp((64 - fx - fy) / 64, -1, 1) + 0.04 * art_grain(x, y);
            art_blend(&c, x, y, {0.44 * light, 0.30 * light, 0.18 * light, 1}, alpha);
        }
    }
    return art_png(c, 4);
}

void art_add_pictures(std::vector<ArchiveMember> *members) {
    ArtCanvas white = art_canvas(8, 8, {1, 1, 1, 1});
    members->push_back({"title.png", art_title()});
    members->push_back({"tach.png", art_tach()});
    members->push_back({"shifter.png", art_shifter()});
    members->push_back({"pitboard.png", art_pitboard()});
    members->push_back({"roost.png", art_roost()});
    members->push_back({"colors/white.png", art_png(white, 3)});
}
