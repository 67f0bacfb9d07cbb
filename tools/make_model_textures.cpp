// The textures of the default bikes, wheels, rider and starting gate. Each
// picture is an atlas of rectangles, one per kind of surface, that the
// model builders map their parts onto; each rectangle is painted by a small
// function of the point (s, t) inside it (0..1, t top-down), sampled 2 x 2
// per pixel. Clean bright colours over realism: every bike its own colours,
// white plates with dark numbers.
#include "make_models.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/image.h"

static const double TEX_PI = 3.14159265358979323846;

struct Rgba {
    double r, g, b, a;
};

struct TexCanvas {
    int w, h;
    std::vector<double> px;   // RGBA, rows top-down
};

static Rgba rgb(double r, double g, double b) { return {r, g, b, 1}; }
static Rgba mix(Rgba a, Rgba b, double t) {
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
static Rgba shade(Rgba c, double k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

static TexCanvas tex_canvas(int w, int h, Rgba fill) {
    TexCanvas c = {w, h, std::vector<double>((size_t)w * h * 4)};
    for (size_t i = 0; i < c.px.size(); i += 4) {
        c.px[i] = fill.r, c.px[i + 1] = fill.g, c.px[i + 2] = fill.b, c.px[i + 3] = fill.a;
    }
    return c;
}

// Paints the rectangle (x0, y0)-(x1, y1) with paint(s, t).
template <class Paint>
static void tex_paint(TexCanvas *c, int x0, int y0, int x1, int y1, Paint paint) {
    for (int y = y0; y < y1; y++) {
        for (int x = x0; x < x1; x++) {
            Rgba sum = {0, 0, 0, 0};
            for (int k = 0; k < 4; k++) {
                double s = (x - x0 + 0.25 + 0.5 * (k & 1)) / (x1 - x0);
                double t = (y - y0 + 0.25 + 0.5 * (k >> 1)) / (y1 - y0);
                Rgba p = paint(s, t);
                sum.r += p.r / 4, sum.g += p.g / 4, sum.b += p.b / 4, sum.a += p.a / 4;
            }
            double *d = &c->px[((size_t)y * c->w + x) * 4];
            d[0] = sum.r, d[1] = sum.g, d[2] = sum.b, d[3] = sum.a;
        }
    }
}

static std::vector<unsigned char> tex_bytes(const TexCanvas &c, int channels) {
    std::vector<unsigned char> bytes((size_t)c.w * c.h * channels);
    for (size_t p = 0; p < (size_t)c.w * c.h; p++) {
        for (int k = 0; k < channels; k++) {
            double v = c.px[p * 4 + k];
            v = v < 0 ? 0 : v > 1 ? 1 : v;
            bytes[p * channels + k] = (unsigned char)std::lround(v * 255);
        }
    }
    return bytes;
}

static std::string tex_png(const TexCanvas &c, int channels, const char *text) {
    std::vector<unsigned char> bytes = tex_bytes(c, channels);
    unsigned char *png = nullptr;
    size_t size = 0;
    if (!png_encode_rgba(bytes.data(), c.w, c.h, channels, text, &png, &size)) return std::string();
    std::string out((const char *)png, size);
    free(png);
    return out;
}

// A tube-like highlight across s: darker at the edges, brightest a little
// off the middle.
static double tex_round(double s) { return 0.7 + 0.35 * std::sin(TEX_PI * s) * (1 - 0.3 * std::fabs(s - 0.4)); }

static bool tex_band(double v, double from, double to) { return v >= from && v < to; }

// --- bikes ------------------------------------------------------------------

struct BikeColors {
    const char *stem;
    Rgba main, accent, frame;
    Rgba digits;   // the plate numbers, on white
};

static const BikeColors k_bike_colors[] = {
    {"crf450v2013", rgb(0.86, 0.06, 0.06), rgb(1, 1, 1), rgb(0.75, 0.76, 0.8), rgb(0.05, 0.05, 0.05)},
    {"kx450f", rgb(0.35, 0.82, 0.08), rgb(0.08, 0.08, 0.1), rgb(0.2, 0.6, 0.1), rgb(0.05, 0.05, 0.05)},
    {"rmz450", rgb(1.0, 0.85, 0.05), rgb(0.1, 0.2, 0.7), rgb(0.25, 0.25, 0.3), rgb(0.05, 0.05, 0.3)},
    {"yz450f", rgb(0.08, 0.28, 0.92), rgb(1, 1, 1), rgb(0.15, 0.2, 0.6), rgb(0.05, 0.05, 0.05)},
    {"450sxfv2013", rgb(1.0, 0.45, 0.0), rgb(0.1, 0.1, 0.2), rgb(0.95, 0.38, 0.05), rgb(0.05, 0.05, 0.05)},
    {"350sxfv2013", rgb(1.0, 0.52, 0.05), rgb(1, 1, 1), rgb(0.2, 0.2, 0.24), rgb(0.05, 0.05, 0.05)},
    {"crf450", rgb(0.8, 0.04, 0.1), rgb(0.1, 0.1, 0.1), rgb(0.7, 0.7, 0.72), rgb(0.05, 0.05, 0.05)},
    {"450sxf", rgb(0.95, 0.4, 0.02), rgb(0.12, 0.12, 0.12), rgb(0.9, 0.35, 0.05), rgb(0.05, 0.05, 0.05)},
    {"350sxf", rgb(1.0, 0.6, 0.1), rgb(0.12, 0.12, 0.12), rgb(0.2, 0.2, 0.24), rgb(0.05, 0.05, 0.05)},
    {"250sx", rgb(1.0, 0.47, 0.1), rgb(0.6, 0.62, 0.66), rgb(0.88, 0.4, 0.06), rgb(0.05, 0.05, 0.05)},
    {"cr250", rgb(0.9, 0.1, 0.12), rgb(0.1, 0.2, 0.75), rgb(0.72, 0.72, 0.75), rgb(0.05, 0.05, 0.05)},
    {"kx250", rgb(0.3, 0.75, 0.12), rgb(0.45, 0.15, 0.65), rgb(0.15, 0.5, 0.1), rgb(0.05, 0.05, 0.05)},
    {"rm250", rgb(0.98, 0.8, 0.0), rgb(0.15, 0.15, 0.15), rgb(0.3, 0.3, 0.35), rgb(0.05, 0.05, 0.05)},
    {"yz250", rgb(0.1, 0.35, 0.95), rgb(1.0, 0.85, 0.1), rgb(0.12, 0.15, 0.5), rgb(0.05, 0.05, 0.05)},
    {"crf250v2010", rgb(0.88, 0.1, 0.08), rgb(0.5, 0.52, 0.56), rgb(0.74, 0.75, 0.78), rgb(0.05, 0.05, 0.05)},
    {"kx250fv2013", rgb(0.4, 0.85, 0.1), rgb(1, 1, 1), rgb(0.25, 0.6, 0.12), rgb(0.05, 0.05, 0.05)},
    {"rmz250v2010", rgb(1.0, 0.9, 0.1), rgb(0.08, 0.08, 0.1), rgb(0.28, 0.28, 0.3), rgb(0.05, 0.05, 0.05)},
    {"yz250fv2010", rgb(0.05, 0.25, 0.85), rgb(0.08, 0.08, 0.1), rgb(0.15, 0.2, 0.55), rgb(0.05, 0.05, 0.05)},
    {"250sxfv2013", rgb(1.0, 0.5, 0.0), rgb(1, 1, 1), rgb(0.92, 0.4, 0.05), rgb(0.05, 0.05, 0.05)},
    {"crf250", rgb(0.93, 0.15, 0.1), rgb(1, 1, 1), rgb(0.78, 0.78, 0.8), rgb(0.05, 0.05, 0.05)},
    {"kx250f", rgb(0.3, 0.8, 0.2), rgb(0.1, 0.25, 0.7), rgb(0.18, 0.55, 0.12), rgb(0.05, 0.05, 0.05)},
    {"rmz250", rgb(1.0, 0.82, 0.15), rgb(1, 1, 1), rgb(0.32, 0.32, 0.36), rgb(0.05, 0.05, 0.05)},
    {"yz250f", rgb(0.15, 0.4, 1.0), rgb(1, 1, 1), rgb(0.15, 0.22, 0.6), rgb(0.05, 0.05, 0.05)},
    {"250sxf", rgb(0.98, 0.42, 0.05), rgb(0.1, 0.2, 0.6), rgb(0.9, 0.35, 0.05), rgb(0.05, 0.05, 0.05)},
    {"cr125", rgb(0.85, 0.12, 0.15), rgb(1.0, 0.85, 0.1), rgb(0.7, 0.7, 0.74), rgb(0.05, 0.05, 0.05)},
    {"kx125", rgb(0.45, 0.9, 0.15), rgb(1.0, 0.9, 0.1), rgb(0.3, 0.6, 0.15), rgb(0.05, 0.05, 0.05)},
    {"rm125", rgb(0.95, 0.78, 0.1), rgb(0.85, 0.1, 0.1), rgb(0.3, 0.3, 0.33), rgb(0.05, 0.05, 0.05)},
    {"yz125", rgb(0.1, 0.3, 0.8), rgb(0.1, 0.8, 0.95), rgb(0.12, 0.18, 0.5), rgb(0.05, 0.05, 0.05)},
    {"125sx", rgb(1.0, 0.55, 0.15), rgb(0.5, 0.2, 0.7), rgb(0.9, 0.45, 0.1), rgb(0.05, 0.05, 0.05)},
    {"yz250f_se", rgb(0.95, 0.95, 0.97), rgb(0.1, 0.3, 0.9), rgb(0.15, 0.2, 0.55), rgb(0.05, 0.1, 0.4)},
};

static const int k_bike_rects[BR_COUNT][4] = {
    {0, 0, 128, 64},      {0, 64, 128, 128},    {192, 0, 256, 64},    {128, 64, 192, 128},
    {192, 64, 256, 128},  {0, 128, 64, 192},    {64, 128, 128, 192},  {128, 128, 192, 192},
    {192, 128, 256, 192}, {0, 192, 64, 256},    {128, 0, 192, 64},
};

static UvRect tex_uv(const int r[4], int w, int h) {
    // Two pixels in from each edge, so filtering never reaches a neighbour.
    return {(float)r[0] + 2, (float)r[1] + 2, (float)r[2] - 2, (float)r[3] - 2, w, h};
}

UvRect bike_uv(BikeRegion r) { return tex_uv(k_bike_rects[r], 256, 256); }

static void bike_region(TexCanvas *c, BikeRegion r, Rgba (*paint)(const BikeColors &, double, double),
                        const BikeColors &bc) {
    const int *q = k_bike_rects[r];
    tex_paint(c, q[0], q[1], q[2], q[3], [&](double s, double t) { return paint(bc, s, t); });
}

static Rgba bike_plastic(const BikeColors &c, double, double t) { return shade(c.main, 1.08 - 0.16 * t); }
static Rgba bike_graphic(const BikeColors &c, double s, double t) {
    // A swoosh of the accent colour with white pin stripes, over the colour.
    double d = t - 0.85 + 0.6 * s;
    if (tex_band(d, 0.0, 0.22)) return c.accent;
    if (tex_band(d, -0.06, 0.0) || tex_band(d, 0.22, 0.27)) return rgb(1, 1, 1);
    if (tex_band(s, 0.62, 0.9) && tex_band(t, 0.12, 0.36)) return shade(c.accent, 0.9);
    return shade(c.main, 1.05 - 0.12 * t);
}
static Rgba bike_accent(const BikeColors &c, double, double t) { return shade(c.accent, 1.05 - 0.1 * t); }
static Rgba bike_seat(const BikeColors &c, double s, double t) {
    Rgba base = rgb(0.1, 0.1, 0.11);
    if (tex_band(s, 0.46, 0.54)) return mix(base, c.accent, 0.5);
    int cell = ((int)(s * 16) + (int)(t * 16)) & 1;
    return shade(base, cell ? 1.25 : 1.0);
}
static Rgba bike_frame(const BikeColors &c, double s, double) { return shade(c.frame, tex_round(s)); }
static Rgba bike_engine(const BikeColors &, double s, double t) {
    Rgba base = rgb(0.24, 0.24, 0.26);
    if (std::fmod(t * 10, 1.0) < 0.3) return shade(base, 0.6);
    return shade(base, 0.9 + 0.3 * s);
}
static Rgba bike_exhaust(const BikeColors &, double s, double t) {
    Rgba steel = shade(rgb(0.78, 0.78, 0.8), tex_round(s));
    return mix(steel, rgb(0.55, 0.42, 0.55), 0.5 * t * t);
}
static Rgba bike_fork_tube(const BikeColors &, double s, double) { return shade(rgb(0.9, 0.7, 0.22), tex_round(s)); }
static Rgba bike_black(const BikeColors &, double s, double) { return shade(rgb(0.1, 0.1, 0.11), tex_round(s)); }
static Rgba bike_radiator(const BikeColors &, double s, double t) {
    bool fin = std::fmod(s * 24, 1.0) < 0.35 || std::fmod(t * 12, 1.0) < 0.1;
    return fin ? rgb(0.12, 0.12, 0.13) : rgb(0.3, 0.3, 0.32);
}
static Rgba bike_swingarm(const BikeColors &, double s, double t) {
    return shade(rgb(0.74, 0.75, 0.78), tex_round(s) * (0.97 + 0.03 * std::sin(t * 90)));
}

static std::string bike_texture(const BikeColors &bc) {
    TexCanvas c = tex_canvas(256, 256, bc.main);
    Rgba (*painters[BR_COUNT])(const BikeColors &, double, double) = {
        bike_plastic, bike_graphic, bike_seat, bike_frame, bike_engine, bike_exhaust,
        bike_fork_tube, bike_black, bike_radiator, bike_swingarm, bike_accent,
    };
    for (int r = 0; r < BR_COUNT; r++) bike_region(&c, (BikeRegion)r, painters[r], bc);
    // The corner left over: the colours side by side, for anyone editing the
    // picture by hand.
    tex_paint(&c, 64, 192, 256, 256, [&](double s, double) { return s < 0.5 ? bc.main : bc.accent; });
    char text[200];
    snprintf(text, sizeof text, "[numberbackground:%f,%f,%f][numberforeground:%f,%f,%f]", 1.0, 1.0, 1.0,
             bc.digits.r, bc.digits.g, bc.digits.b);
    return tex_png(c, 3, text);
}

// The "-alt" graphics: alt1 swaps colour and accent (a white accent gives
// way to black), alt2 is black with the colour as accent.
static BikeColors bike_alt(const BikeColors &bc, int alt) {
    BikeColors a = bc;
    if (alt == 1) {
        bool white = bc.accent.r > 0.9 && bc.accent.g > 0.9 && bc.accent.b > 0.9;
        a.main = white ? rgb(0.1, 0.1, 0.12) : bc.accent;
        a.accent = bc.main;
    } else {
        a.main = rgb(0.09, 0.09, 0.1);
        a.accent = bc.main;
        a.frame = bc.main;
    }
    return a;
}

// --- wheels -----------------------------------------------------------------

struct WheelColors {
    Rgba rim, hub, disc;
};

static const int k_wheel_rects[WR_COUNT][4] = {
    {128, 0, 192, 64}, {192, 0, 256, 64}, {128, 64, 192, 128}, {192, 64, 256, 128},
    {0, 0, 128, 128},  {0, 128, 128, 256}, {128, 128, 256, 256},
};

UvRect wheel_uv(WheelRegion r) { return tex_uv(k_wheel_rects[r], 256, 256); }

template <class Paint>
static void wheel_region(TexCanvas *c, WheelRegion r, Paint paint) {
    const int *q = k_wheel_rects[r];
    tex_paint(c, q[0], q[1], q[2], q[3], paint);
}

// Polar coordinates of (s, t) about the centre: radius 1 at the edge.
static void tex_polar(double s, double t, double *r, double *a) {
    double x = 2 * s - 1, y = 2 * t - 1;
    *r = std::sqrt(x * x + y * y);
    *a = std::atan2(y, x);
}

static std::string wheel_texture(const WheelColors &wc) {
    TexCanvas c = tex_canvas(256, 256, rgb(0.1, 0.1, 0.1));
    Rgba rubber = rgb(0.1, 0.1, 0.1);
    wheel_region(&c, WR_TREAD, [&](double s, double t) {
        // Two staggered knobs across each repeat of the tread.
        bool knob = (tex_band(s, 0.08, 0.42) && tex_band(t, 0.1, 0.45)) || (tex_band(s, 0.58, 0.92) && tex_band(t, 0.55, 0.9));
        return knob ? shade(rubber, 2.0) : rubber;
    });
    wheel_region(&c, WR_SIDEWALL, [&](double, double t) { return shade(rubber, 1.2 - 0.3 * t); });
    wheel_region(&c, WR_RIM, [&](double, double t) { return shade(wc.rim, 0.75 + 0.4 * std::sin(TEX_PI * t)); });
    wheel_region(&c, WR_HUB, [&](double s, double) { return shade(wc.hub, tex_round(s)); });
    Rgba spoke = rgb(0.78, 0.78, 0.8);
    wheel_region(&c, WR_SPOKES, [&](double s, double t) {
        double r, a;
        tex_polar(s, t, &r, &a);
        Rgba clear = {spoke.r, spoke.g, spoke.b, 0};
        if (r > 1) return clear;
        if (r > 0.93) return shade(wc.rim, 0.9);   // nipples and rim edge
        if (r < 0.2) return shade(wc.hub, 0.9);
        // 18 spokes each way, laced tangentially from the hub.
        for (int k = 0; k < 36; k++) {
            double a0 = 2 * TEX_PI * (k / 2) / 18 + (k & 1 ? 0.0 : TEX_PI / 18);
            double lean = (k & 1) ? 0.6 : -0.6;
            double a1 = a0 + lean;
            double hx = 0.2 * std::cos(a0), hy = 0.2 * std::sin(a0);
            double rx = 0.95 * std::cos(a1), ry = 0.95 * std::sin(a1);
            double px = r * std::cos(a) - hx, py = r * std::sin(a) - hy;
            double dx = rx - hx, dy = ry - hy, len2 = dx * dx + dy * dy;
            double u = (px * dx + py * dy) / len2;
            if (u < 0 || u > 1) continue;
            double ex = px - u * dx, ey = py - u * dy;
            if (ex * ex + ey * ey < 0.016 * 0.016) return shade(spoke, 0.9 + 0.2 * u);
        }
        return clear;
    });
    wheel_region(&c, WR_DISC, [&](double s, double t) {
        double r, a;
        tex_polar(s, t, &r, &a);
        if (r > 0.55) {
            // The braking ring with its drilled holes.
            for (int k = 0; k < 24; k++) {
                double q = 2 * TEX_PI * k / 24 + (k & 1) * 0.1, rr = (k & 1) ? 0.7 : 0.85;
                double x = r * std::cos(a) - rr * std::cos(q), y = r * std::sin(a) - rr * std::sin(q);
                if (x * x + y * y < 0.035 * 0.035) return rgb(0.05, 0.05, 0.05);
            }
            return shade(wc.disc, 0.95 + 0.1 * std::sin(r * 40));
        }
        if (r < 0.25) return shade(wc.hub, 0.8);
        return shade(wc.hub, 0.5);
    });
    wheel_region(&c, WR_SPROCKET, [&](double s, double t) {
        double r, a;
        tex_polar(s, t, &r, &a);
        double tooth = 0.5 + 0.5 * std::cos(a * 48);
        Rgba metal = shade(wc.hub, 0.9);
        if (r > 0.88 + 0.1 * tooth) return Rgba{metal.r, metal.g, metal.b, 0};
        for (int k = 0; k < 6; k++) {
            double q = 2 * TEX_PI * k / 6, x = r * std::cos(a) - 0.55 * std::cos(q), y = r * std::sin(a) - 0.55 * std::sin(q);
            if (x * x + y * y < 0.16 * 0.16) return rgb(0.05, 0.05, 0.05);
        }
        return metal;
    });
    return tex_png(c, 4, nullptr);
}

// --- rider ------------------------------------------------------------------

struct GearColors {
    Rgba jersey, accent, pants, glove, boot;
    Rgba shell, shell_accent, lens;
};

static const GearColors k_gear[] = {
    {rgb(0.1, 0.35, 0.85), rgb(1, 1, 1), rgb(0.15, 0.15, 0.2), rgb(0.1, 0.35, 0.85), rgb(0.92, 0.92, 0.92),
     rgb(0.95, 0.95, 0.95), rgb(0.1, 0.35, 0.85), rgb(0.95, 0.55, 0.1)},
    {rgb(0.85, 0.1, 0.1), rgb(0.1, 0.1, 0.1), rgb(0.1, 0.1, 0.1), rgb(0.85, 0.1, 0.1), rgb(0.1, 0.1, 0.1),
     rgb(0.85, 0.1, 0.1), rgb(0.1, 0.1, 0.1), rgb(0.3, 0.5, 0.95)},
    {rgb(0.9, 1.0, 0.1), rgb(0.1, 0.1, 0.12), rgb(0.1, 0.1, 0.12), rgb(0.9, 1.0, 0.1), rgb(0.95, 0.95, 0.95),
     rgb(0.9, 1.0, 0.1), rgb(0.1, 0.1, 0.12), rgb(0.85, 0.2, 0.7)},
    {rgb(0.45, 0.15, 0.7), rgb(0.2, 0.9, 0.4), rgb(0.9, 0.9, 0.92), rgb(0.2, 0.9, 0.4), rgb(0.15, 0.15, 0.15),
     rgb(0.12, 0.12, 0.14), rgb(0.2, 0.9, 0.4), rgb(0.95, 0.85, 0.2)},
};

static const int k_rider_rects[RR_COUNT][4] = {
    {0, 0, 128, 128}, {128, 0, 256, 64}, {128, 64, 256, 128}, {0, 128, 64, 192}, {64, 128, 128, 192},
    {128, 128, 192, 192},
};
static const int k_head_rects[HR_COUNT][4] = {
    {0, 0, 256, 128}, {0, 128, 64, 192}, {64, 128, 128, 192}, {128, 128, 192, 192}, {192, 128, 256, 192},
};

UvRect rider_uv(RiderRegion r) { return tex_uv(k_rider_rects[r], 256, 256); }
UvRect head_uv(HeadRegion r) { return tex_uv(k_head_rects[r], 256, 256); }
UvRect plate_uv() { return {0, 0, 128, 128, 128, 128}; }

template <class Paint>
static void tex_region(TexCanvas *c, const int q[4], Paint paint) {
    tex_paint(c, q[0], q[1], q[2], q[3], paint);
}

static std::string rider_body_texture(const GearColors &g) {
    TexCanvas c = tex_canvas(256, 256, g.jersey);
    tex_region(&c, k_rider_rects[RR_JERSEY], [&](double s, double t) {
        // Around the body the front is at s = 0.5; a chest band and a
        // panel down the sides.
        double side = std::fabs(std::fabs(s - 0.5) - 0.25);
        if (tex_band(t, 0.3, 0.42)) return g.accent;
        if (side < 0.05) return shade(g.accent, 0.9);
        return shade(g.jersey, 1.05 - 0.15 * t);
    });
    tex_region(&c, k_rider_rects[RR_SLEEVE], [&](double s, double t) {
        if (tex_band(s, 0.2, 0.3) || tex_band(t, 0.85, 1.0)) return g.accent;
        return shade(g.jersey, 1.0 - 0.1 * t);
    });
    tex_region(&c, k_rider_rects[RR_PANTS], [&](double s, double t) {
        if (tex_band(s, 0.72, 0.8)) return g.accent;
        if (tex_band(t, 0.55, 0.75)) return shade(g.pants, 0.75);
        return g.pants;
    });
    tex_region(&c, k_rider_rects[RR_GLOVE], [&](double s, double) {
        return tex_band(s, 0.3, 0.7) ? shade(g.glove, 0.7) : g.glove;
    });
    tex_region(&c, k_rider_rects[RR_BOOT], [&](double, double t) {
        if (std::fmod(t * 4, 1.0) < 0.18) return rgb(0.2, 0.2, 0.22);
        return shade(g.boot, 1.0 - 0.2 * t);
    });
    tex_region(&c, k_rider_rects[RR_SKIN], [&](double, double) { return shade(g.jersey, 0.5); });
    return tex_png(c, 3, nullptr);
}

static std::string rider_head_texture(const GearColors &g) {
    TexCanvas c = tex_canvas(256, 256, g.shell);
    tex_region(&c, k_head_rects[HR_SHELL], [&](double s, double t) {
        // s = 0 and 1 at the back, 0.5 at the face; t = 0 at the crown.
        double from_mid = std::fabs(s - 0.5);
        if (t < 0.45 && (std::fabs(from_mid - 0.5) < 0.03 || from_mid < 0.03)) return g.shell_accent;
        if (tex_band(t, 0.5, 0.62) && std::fabs(from_mid - 0.25) < 0.16) return g.shell_accent;
        return shade(g.shell, 1.05 - 0.2 * t);
    });
    tex_region(&c, k_head_rects[HR_CHIN], [&](double s, double t) {
        if (tex_band(t, 0.3, 0.7) && std::fmod(s * 5, 1.0) < 0.4) return rgb(0.08, 0.08, 0.08);
        return g.shell_accent;
    });
    tex_region(&c, k_head_rects[HR_VISOR], [&](double, double t) { return t > 0.8 ? g.shell_accent : g.shell; });
    tex_region(&c, k_head_rects[HR_GOGGLE], [&](double s, double t) {
        if (s < 0.08 || s > 0.92 || t < 0.12 || t > 0.88) return rgb(0.08, 0.08, 0.08);
        return mix(g.lens, rgb(1, 1, 1), 0.5 - 0.5 * t);
    });
    tex_region(&c, k_head_rects[HR_STRAP], [&](double s, double) {
        return std::fmod(s * 8, 1.0) < 0.5 ? g.shell_accent : rgb(0.08, 0.08, 0.08);
    });
    return tex_png(c, 3, nullptr);
}

// --- starting gate ----------------------------------------------------------

UvRect gate_uv(int region) {
    return region == 0 ? UvRect{2, 2, 62, 46, 64, 64} : UvRect{2, 50, 62, 62, 64, 64};
}

// A binary PPM: yellow and black chevrons with a white line on the plate,
// grey metal below.
static std::string startgate_texture() {
    TexCanvas c = tex_canvas(64, 64, rgb(0.5, 0.5, 0.52));
    tex_paint(&c, 0, 0, 64, 48, [](double s, double t) {
        if (tex_band(t, 0.08, 0.16)) return rgb(1, 1, 1);
        return std::fmod(s * 6 + std::fabs(t - 0.5) * 3, 1.0) < 0.5 ? rgb(1.0, 0.82, 0.05) : rgb(0.08, 0.08, 0.08);
    });
    tex_paint(&c, 0, 48, 64, 64, [](double s, double) { return shade(rgb(0.55, 0.56, 0.6), tex_round(s)); });
    std::vector<unsigned char> bytes = tex_bytes(c, 3);
    return "P6\n64 64\n255\n" + std::string((const char *)bytes.data(), bytes.size());
}

// --- the set ----------------------------------------------------------------

void model_textures_add(std::vector<ArchiveMember> *members) {
    for (const BikeColors &bc : k_bike_colors) {
        std::string stem = bc.stem;
        members->push_back({stem + ".png", bike_texture(bc)});
        for (int alt = 1; alt <= 2; alt++) {
            members->push_back({stem + "-alt" + std::to_string(alt) + ".png", bike_texture(bike_alt(bc, alt))});
        }
    }
    static const WheelColors wheels[] = {
        {rgb(0.12, 0.12, 0.13), rgb(0.75, 0.76, 0.8), rgb(0.7, 0.7, 0.72)},
        {rgb(0.9, 0.7, 0.2), rgb(0.15, 0.3, 0.85), rgb(0.7, 0.7, 0.72)},
        {rgb(0.8, 0.8, 0.83), rgb(0.85, 0.12, 0.1), rgb(0.6, 0.6, 0.62)},
    };
    for (int i = 0; i < 3; i++) {
        std::string suffix = i ? "-alt" + std::to_string(i) : std::string();
        members->push_back({"wheels" + suffix + ".png", wheel_texture(wheels[i])});
    }
    for (int i = 0; i < (int)(sizeof k_gear / sizeof k_gear[0]); i++) {
        std::string suffix = i ? "-alt" + std::to_string(i) : std::string();
        members->push_back({"rider_body" + suffix + ".png", rider_body_texture(k_gear[i])});
        members->push_back({"rider_head" + suffix + ".png", rider_head_texture(k_gear[i])});
    }
    members->push_back({"startgate.ppm", startgate_texture()});
}
