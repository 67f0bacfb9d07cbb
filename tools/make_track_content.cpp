// The content of the default tracks besides terrain and gates: the lighting
// that matches the baked shading, trees and banners along the course, hay
// bales lining the outsides of the corners, the flaggers, the fixed cameras
// and the minimap, with the small pictures and the bale model they name.
//
// Everything stands where the course leaves it room: each object is placed
// by distance along the lap and a lateral offset, then pushed outward until
// it clears the riding surface of every part of the lap (hairpins bring
// other straights close).
//
// Owns: nothing past a call; every file is a pure function of the course.
// Never: uses a random source or the clock; the bytes are the same on every
// run.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/image.h"
#include "make_models.h"
#include "make_track.h"

static const double CONTENT_PI = 3.14159265358979323846;

// Least clearance from the riding surface for each kind of object, feet.
static const float k_clear_bale = 4.5f, k_clear_banner = 7.0f, k_clear_flagger = 8.0f, k_clear_tree = 18.0f,
                   k_clear_camera = 14.0f;

// --- placing along the course ---------------------------------------------------

float track_course_clearance(const TrackCourse *c, float x, float z) {
    float best = 1e30f;
    for (const TrackPoint &p : c->points) {
        float d = std::hypot(x - p.x, z - p.z) - p.width * 0.5f;
        if (d < best) best = d;
    }
    return best;
}

int track_gate_count(const TrackCourse *c) { return (int)(c->lap_length / 150.0f); }

int track_gate_after(const TrackCourse *c, float s) {
    int count = track_gate_count(c);
    float lap = c->lap_length;
    s = std::fmod(s, lap);
    if (s < 0) s += lap;
    for (int i = 0; i + 1 < count; i++) {
        if ((i + 1) * lap / count > s) return i;
    }
    return count - 1;   // the gate line
}

struct Spot {
    float x, z;
    float angle;   // statue angle that lays the model's x axis along the course
    bool ok;
};

// The point lateral feet to the rider's right of the centre line at s, moved
// further out in 2 ft steps (up to `slack` feet) until it clears the riding
// surface by `clear`; not ok when it never does or leaves the field.
static Spot spot_beside(const TrackCourse *c, float s, float lateral, float clear, float slack, float world) {
    const TrackPoint *p = track_course_at(c, s);
    Spot out = {0, 0, (float)std::atan2(-p->dir_z, p->dir_x), false};
    float side = lateral < 0 ? -1.0f : 1.0f;
    for (float extra = 0; extra <= slack; extra += 2.0f) {
        float l = lateral + side * extra;
        out.x = p->x - l * p->dir_z;
        out.z = p->z + l * p->dir_x;
        if (out.x < 16 || out.z < 16 || out.x > world - 16 || out.z > world - 16) return out;
        if (track_course_clearance(c, out.x, out.z) >= clear) {
            out.ok = true;
            return out;
        }
    }
    return out;
}

// A small fixed generator for the trees' spread (the same numbers every run).
static unsigned content_next(unsigned *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}
static float content_unit(unsigned *state) { return (float)(content_next(state) & 0xffff) / 65536.0f; }

static void put_line(std::string *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
static void put_line(std::string *out, const char *format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *out += line;
}

static const float k_world_vovezuzize = 2048.0f;

// --- lighting ------------------------------------------------------------------------

static const char *const k_sky_lines =
    "sky_n @sky-n.ppm\n"
    "sky_e @sky-e.ppm\n"
    "sky_s @sky-s.ppm\n"
    "sky_w @sky-w.ppm\n"
    "sky_u @sky-u.ppm\n"
    "sky_env @sky-env.ppm\n";

std::string track_lighting_text(const TrackSun *sun) {
    std::string out;
    put_line(&out, "sun_vector [ %f %f %f ]\n", sun->vector[0], sun->vector[1], sun->vector[2]);
    put_line(&out, "sun_color [ %f %f %f ]\n", sun->color[0], sun->color[1], sun->color[2]);
    put_line(&out, "ambient [ %f %f %f ]\n", sun->ambient[0], sun->ambient[1], sun->ambient[2]);
    out += "global_ambient [ 0.200000 0.200000 0.220000 ]\n";
    out += k_sky_lines;
    // A light summer haze: half the contrast gone at about 2800 ft.
    out += "fog [ 0.720000 0.800000 0.900000 ] 0.000250\n";
    out += "near_plane 0.250000\n";
    out += "far_plane 5000.000000\n";
    // The sun's flare: a glow on the sun, rings and spots down the axis
    // through the middle of the screen.
    out += "flare_element [ 0.000000 1.000000 ] [ 1.000000 0.950000 0.820000 ] 0.300000 flare_glow.png\n";
    out += "flare_element [ 0.400000 1.000000 ] [ 0.600000 0.700000 1.000000 ] 0.060000 flare_glow.png\n";
    out += "flare_element [ 0.700000 1.000000 ] [ 1.000000 0.800000 0.500000 ] 0.120000 flare_ring.png\n";
    out += "flare_element [ 1.100000 1.000000 ] [ 0.500000 1.000000 0.600000 ] 0.050000 flare_glow.png\n";
    out += "flare_element [ 1.500000 1.000000 ] [ 0.700000 0.600000 1.000000 ] 0.180000 flare_ring.png\n";
    put_line(&out, "flare_vector [ %f %f %f ]\n", sun->vector[0], sun->vector[1], sun->vector[2]);
    return out;
}

// --- billboards: trees and banners ------------------------------------------------------

static const char *const k_trees[] = {"tree_pine.png", "tree_round.png"};
static const float k_tree_aspect[] = {0.5f, 1.0f};

std::string track_billboards_text(const TrackCourse *c) {
    std::string out;
    unsigned seed = 12345u;
    // Trees both sides every 70 ft, 20-70 ft off the edge.
    for (float s = 20; s < c->lap_length - 10; s += 70.0f) {
        for (int side = -1; side <= 1; side += 2) {
            const TrackPoint *p = track_course_at(c, s + content_unit(&seed) * 30.0f);
            float lateral = side * (p->width * 0.5f + 20.0f + content_unit(&seed) * 50.0f);
            int kind = (int)(content_next(&seed) % 2);
            float height = 22.0f + content_unit(&seed) * 14.0f;
            Spot at = spot_beside(c, p->s, lateral, k_clear_tree, 40.0f, k_world_vovezuzize);
            if (!at.ok) continue;
            put_line(&out, "[%f %f %f] %f %f %s\n", at.x, 0.0f, at.z, height, k_tree_aspect[kind], k_trees[kind]);
        }
    }
    // Banners along both sides of the start straight, past the start pad,
    // and on the outside of every corner's exit behind its bales.
    for (float s = c->pad_ahead + 30.0f; s < c->start_straight - 40.0f; s += 60.0f) {
        for (int side = -1; side <= 1; side += 2) {
            Spot at = spot_beside(c, s, side * (track_course_at(c, s)->width * 0.5f + 10.0f), k_clear_banner, 20.0f,
                                  k_world_vovezuzize);
            if (at.ok) put_line(&out, "[%f %f %f] %f %f banner_quorvin.png\n", at.x, 1.0f, at.z, 3.0f, 4.0f);
        }
    }
    for (const TrackCorner &k : c->corners) {
        float outside = k.angle > 0 ? -1.0f : 1.0f;
        const TrackPoint *p = track_course_at(c, k.s_end + 15.0f);
        Spot at = spot_beside(c, p->s, outside * (p->width * 0.5f + 14.0f), k_clear_banner, 20.0f, k_world_vovezuzize);
        if (at.ok) put_line(&out, "[%f %f %f] %f %f #ffe080#banner_quorvin.png\n", at.x, 1.0f, at.z, 3.0f, 4.0f);
    }
    return out;
}

// --- statues: hay bales on the corners' outsides ------------------------------------

std::string track_statues_text(const TrackCourse *c) {
    std::string out;
    for (const TrackCorner &k : c->corners) {
        float outside = k.angle > 0 ? -1.0f : 1.0f;
        // From a little before the corner to a little after, a bale every
        // 8 ft (6 ft of bale, 2 ft of gap), 3 ft past the edge.
        for (float s = k.s_start - 12.0f; s <= k.s_end + 12.0f; s += 8.0f) {
            const TrackPoint *p = track_course_at(c, s);
            Spot at = spot_beside(c, p->s, outside * (p->width * 0.5f + 6.0f), k_clear_bale, 6.0f, k_world_vovezuzize);
            if (!at.ok) continue;
            put_line(&out, "[%f %f %f] %f haybale.vx haybale.png haybale.shp\n", at.x, 0.0f, at.z, at.angle);
        }
    }
    return out;
}

// --- flaggers ------------------------------------------------------------------------

std::string track_flaggers_text(const TrackCourse *c) {
    std::string out;
    const float pad_half = c->pad_width * 0.5f;
    // The starter waits beside the right end of the gate, a little ahead of
    // it, and walks further off once it has dropped.
    Spot a = spot_beside(c, 6.0f, pad_half + 8.0f, k_clear_flagger, 20.0f, k_world_vovezuzize);
    Spot b = spot_beside(c, 6.0f, pad_half + 20.0f, k_clear_flagger, 20.0f, k_world_vovezuzize);
    put_line(&out, "[%f %f %f] [%f %f %f] %f %f %f\n", a.x, 0.0f, a.z, b.x, 0.0f, b.z, 6.0f, 0.5f, 3.0f);
    out += "flagger_starter0.png flagger_starter1.png flagger_starter2.png flagger_starter3.png "
           "flagger_starter4.png\n";
    // The lap flagger at the finish, on the left.
    Spot l = spot_beside(c, c->pad_ahead + 6.0f, -(pad_half + 8.0f), k_clear_flagger, 20.0f, k_world_vovezuzize);
    put_line(&out, "[%f %f %f] %f %f\n", l.x, 0.0f, l.z, 6.0f, 0.5f);
    out += "flagger_racing.png flagger_half.png flagger_lastlap.png flagger_finish.png\n";
    // A gate flagger on the landing of every big jump, watching the gates
    // that a rider who falls there has next.
    for (const TrackObstacle &o : c->obstacles) {
        if (o.kind == OBSTACLE_SMALL_DOUBLE || o.kind == OBSTACLE_WHOOPS) continue;
        float s = o.s_lip + o.gap + 6.0f;
        const TrackPoint *p = track_course_at(c, s);
        Spot g = spot_beside(c, p->s, -(p->width * 0.5f + 10.0f), k_clear_flagger, 20.0f, k_world_vovezuzize);
        if (!g.ok) continue;
        int next = track_gate_after(c, s);
        int after = (next + 1) % track_gate_count(c);
        put_line(&out, "[%f %f %f] %f %f %d %d %d %d\n", g.x, 0.0f, g.z, 6.0f, 0.5f, next, after, -1, -1);
        out += "flagger_gate.png flagger_warning.png\n";
    }
    return out;
}

// --- cameras ------------------------------------------------------------------------

enum { TRACK_CAMERAS = 5 };

std::string track_cameras_text(const TrackCourse *c) {
    std::string out;
    int count = track_gate_count(c);
    for (int k = 0; k < TRACK_CAMERAS; k++) {
        int first = k * count / TRACK_CAMERAS, last = (k + 1) * count / TRACK_CAMERAS;   // gates first..last-1
        // Halfway between the checkpoints before and after its stretch.
        float s = (first + 0.5f * (last - first)) * c->lap_length / count;
        const TrackPoint *p = track_course_at(c, s);
        float side = k % 2 ? 1.0f : -1.0f;
        Spot at = spot_beside(c, p->s, side * (p->width * 0.5f + 30.0f), k_clear_camera, 60.0f, k_world_vovezuzize);
        out += "fov 60\n";
        out += "gate";
        for (int g = first; g < last; g++) out += " " + std::to_string(g);
        out += "\n";
        put_line(&out, "addcamera %f %f %f\n", at.x, 14.0f, at.z);
    }
    return out;
}

// --- pictures -----------------------------------------------------------------------

// A picture drawn by coverage: each pixel takes a shape's colour in
// proportion to the part of its 4 x 4 sub-samples inside.
struct Canvas {
    int w, h;
    std::vector<float> px;   // RGBA, 0..1, rows top-down
};

struct Rgba {
    float r, g, b, a;
};

static Canvas canvas(int w, int h, Rgba fill) {
    Canvas c = {w, h, std::vector<float>((size_t)w * h * 4)};
    for (size_t p = 0; p < (size_t)w * h; p++) {
        c.px[p * 4 + 0] = fill.r, c.px[p * 4 + 1] = fill.g, c.px[p * 4 + 2] = fill.b, c.px[p * 4 + 3] = fill.a;
    }
    return c;
}

typedef bool (*Inside)(const float *args, float x, float y);

static void paint(Canvas *c, Inside inside, const float *args, Rgba colour) {
    for (int y = 0; y < c->h; y++) {
        for (int x = 0; x < c->w; x++) {
            int hits = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++) hits += inside(args, x + (i + 0.5f) / 4, y + (j + 0.5f) / 4) ? 1 : 0;
            if (!hits) continue;
            float k = colour.a * hits / 16.0f;
            float *p = &c->px[((size_t)y * c->w + x) * 4];
            p[0] = p[0] * (1 - k) + colour.r * k;
            p[1] = p[1] * (1 - k) + colour.g * k;
            p[2] = p[2] * (1 - k) + colour.b * k;
            p[3] = p[3] + (1 - p[3]) * k;
        }
    }
}

// args: x0 y0 x1 y1
static bool in_rect(const float *a, float x, float y) { return x >= a[0] && x < a[2] && y >= a[1] && y < a[3]; }
// args: cx cy rx ry
static bool in_ellipse(const float *a, float x, float y) {
    float u = (x - a[0]) / a[2], v = (y - a[1]) / a[3];
    return u * u + v * v <= 1;
}
// args: three corners
static bool in_triangle(const float *a, float x, float y) {
    float d0 = (a[2] - a[0]) * (y - a[1]) - (a[3] - a[1]) * (x - a[0]);
    float d1 = (a[4] - a[2]) * (y - a[3]) - (a[5] - a[3]) * (x - a[2]);
    float d2 = (a[0] - a[4]) * (y - a[5]) - (a[1] - a[5]) * (x - a[4]);
    return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
}
// args: x0 y0 x1 y1 half-width: a thick segment
static bool in_segment(const float *a, float x, float y) {
    float dx = a[2] - a[0], dy = a[3] - a[1];
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((x - a[0]) * dx + (y - a[1]) * dy) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    float ex = a[0] + t * dx - x, ey = a[1] + t * dy - y;
    return ex * ex + ey * ey <= a[4] * a[4];
}

static void rect(Canvas *c, float x0, float y0, float x1, float y1, Rgba k) {
    const float a[4] = {x0, y0, x1, y1};
    paint(c, in_rect, a, k);
}
static void ellipse(Canvas *c, float cx, float cy, float rx, float ry, Rgba k) {
    const float a[4] = {cx, cy, rx, ry};
    paint(c, in_ellipse, a, k);
}
static void triangle(Canvas *c, float x0, float y0, float x1, float y1, float x2, float y2, Rgba k) {
    const float a[6] = {x0, y0, x1, y1, x2, y2};
    paint(c, in_triangle, a, k);
}
static void segment(Canvas *c, float x0, float y0, float x1, float y1, float half, Rgba k) {
    const float a[5] = {x0, y0, x1, y1, half};
    paint(c, in_segment, a, k);
}

static std::string canvas_png(const Canvas &c, int channels) {
    std::vector<unsigned char> bytes((size_t)c.w * c.h * channels);
    for (size_t p = 0; p < (size_t)c.w * c.h; p++) {
        for (int k = 0; k < channels; k++) {
            float v = c.px[p * 4 + k];
            v = v < 0 ? 0 : v > 1 ? 1 : v;
            bytes[p * channels + k] = (unsigned char)std::lround(v * 255);
        }
    }
    unsigned char *png = nullptr;
    size_t size = 0;
    if (!png_encode_rgba(bytes.data(), c.w, c.h, channels, nullptr, &png, &size)) return std::string();
    std::string out((const char *)png, size);
    free(png);
    return out;
}

static const Rgba k_clear = {0, 0, 0, 0};
static const Rgba k_trunk = {0.42f, 0.28f, 0.16f, 1};

static std::string picture_pine() {
    Canvas c = canvas(64, 128, k_clear);
    rect(&c, 28, 100, 36, 128, k_trunk);
    const Rgba greens[3] = {{0.10f, 0.36f, 0.16f, 1}, {0.13f, 0.42f, 0.18f, 1}, {0.17f, 0.50f, 0.22f, 1}};
    for (int i = 0; i < 3; i++) {
        float top = 4 + i * 28.0f, base = 56 + i * 24.0f, half = 18 + i * 6.0f;
        triangle(&c, 32, top, 32 - half, base, 32 + half, base, greens[i]);
    }
    return canvas_png(c, 4);
}

static std::string picture_round_tree() {
    Canvas c = canvas(128, 128, k_clear);
    rect(&c, 58, 80, 70, 128, k_trunk);
    ellipse(&c, 64, 52, 50, 44, {0.20f, 0.46f, 0.18f, 1});
    ellipse(&c, 44, 40, 24, 20, {0.27f, 0.56f, 0.22f, 1});
    ellipse(&c, 80, 60, 26, 22, {0.16f, 0.40f, 0.15f, 1});
    return canvas_png(c, 4);
}

// White with a red border and a row of bold blue chevrons: readable from
// far off, in any tint the banner line gives it.
static std::string picture_banner() {
    Canvas c = canvas(256, 64, {1, 1, 1, 1});
    const Rgba red = {0.85f, 0.10f, 0.10f, 1}, blue = {0.10f, 0.25f, 0.75f, 1};
    rect(&c, 0, 0, 256, 6, red);
    rect(&c, 0, 58, 256, 64, red);
    for (int i = 0; i < 6; i++) {
        float x = 22 + i * 40.0f;
        segment(&c, x, 14, x + 14, 32, 5, blue);
        segment(&c, x + 14, 32, x, 50, 5, blue);
    }
    return canvas_png(c, 3);
}

// A soft round glow and a thin ring for the sun's flare; white, tinted by
// each element's colour.
static std::string picture_flare(bool ring) {
    Canvas c = canvas(64, 64, k_clear);
    for (int y = 0; y < 64; y++) {
        for (int x = 0; x < 64; x++) {
            float r = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 32;
            float a = ring ? std::exp(-(r - 0.8f) * (r - 0.8f) * 200) : (r < 1 ? (1 - r) * (1 - r) : 0);
            float *p = &c.px[((size_t)y * 64 + x) * 4];
            p[0] = p[1] = p[2] = 1;
            p[3] = a;
        }
    }
    return canvas_png(c, 4);
}

// The hay bale texture: straw yellow with darker strands and two twine bands.
static std::string picture_haybale() {
    Canvas c = canvas(64, 64, {0.86f, 0.74f, 0.38f, 1});
    for (int i = 0; i < 16; i++) {
        float y = 2 + i * 4.0f;
        rect(&c, 0, y, 64, y + 1, {0.70f, 0.58f, 0.28f, 0.8f});
    }
    rect(&c, 18, 0, 21, 64, {0.55f, 0.30f, 0.15f, 1});
    rect(&c, 43, 0, 46, 64, {0.55f, 0.30f, 0.15f, 1});
    return canvas_png(c, 3);
}

// A marshal in an orange vest; `arm` is where the flag hand is (0 down,
// 1 out to the side, 2 straight up), `flag` the flag's colour (alpha 0: no
// flag), `checks` a chequered flag, `board` a start board held up.
struct FlaggerPose {
    int arm;
    Rgba flag;
    bool checks;
    bool board, board_edge;   // the board, or the board turned edge-on
    bool walking;
    bool crossed;             // two rolled flags crossed above the head
};

static std::string picture_flagger(const FlaggerPose &f) {
    Canvas c = canvas(64, 128, k_clear);
    const Rgba pants = {0.15f, 0.17f, 0.25f, 1}, vest = {1.0f, 0.50f, 0.05f, 1}, skin = {0.90f, 0.72f, 0.58f, 1};
    const Rgba cap = {0.95f, 0.95f, 0.95f, 1};
    float spread = f.walking ? 7.0f : 2.0f;
    segment(&c, 30, 80, 30 - spread, 124, 4, pants);
    segment(&c, 34, 80, 34 + spread, 124, 4, pants);
    rect(&c, 22, 44, 42, 84, vest);
    ellipse(&c, 32, 34, 8, 9, skin);
    rect(&c, 23, 24, 41, 29, cap);
    segment(&c, 24, 48, 20, 80, 3, vest);   // the other arm hangs down
    float hx, hy;
    if (f.arm == 2) hx = 48, hy = 10;
    else if (f.arm == 1) hx = 60, hy = 48;
    else hx = 46, hy = 82;
    segment(&c, 40, 48, hx, hy, 3, vest);
    if (f.board) {
        rect(&c, hx - 10, hy - 20, hx + 4, hy, {0.1f, 0.1f, 0.1f, 1});
        rect(&c, hx - 8, hy - 16, hx + 2, hy - 4, {1, 1, 1, 1});
    } else if (f.board_edge) {
        rect(&c, hx - 2, hy - 20, hx + 1, hy, {0.1f, 0.1f, 0.1f, 1});
    }
    if (f.crossed) {
        segment(&c, 14, 4, 50, 30, 2.5f, {0.9f, 0.1f, 0.1f, 1});
        segment(&c, 50, 4, 14, 30, 2.5f, {0.9f, 0.9f, 0.2f, 1});
    }
    if (f.flag.a > 0) {
        float fx = hx < 54 ? hx : 54, fy = f.arm == 0 ? hy - 2 : hy - 4;
        float w = f.arm == 0 ? 6.0f : 16.0f, h = f.arm == 0 ? 20.0f : 12.0f;
        float x0 = f.arm == 0 ? fx : fx - w, y0 = f.arm == 0 ? fy : fy - h;
        if (f.arm == 2) x0 = fx - w, y0 = fy;
        rect(&c, x0, y0, x0 + w, y0 + h, f.flag);
        if (f.checks) {
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++)
                    if ((i + j) % 2) rect(&c, x0 + i * w / 4, y0 + j * h / 4, x0 + (i + 1) * w / 4,
                                          y0 + (j + 1) * h / 4, {0.05f, 0.05f, 0.05f, 1});
        }
    }
    return canvas_png(c, 4);
}

// The minimap: the course as a wide white line with a dark edge over a
// clear picture, the gate line in red.
std::string track_map_png(const TrackCourse *c, float world_size, int side) {
    Canvas m = canvas(side, side, k_clear);
    float k = side / world_size;
    size_t n = c->points.size();
    const Rgba edge = {0.10f, 0.10f, 0.12f, 0.9f}, road = {1, 1, 1, 1};
    for (int pass = 0; pass < 2; pass++) {
        for (size_t i = 0; i < n; i += 4) {
            const TrackPoint &p = c->points[i], &q = c->points[(i + 4) % n];
            float half = pass == 0 ? 3.0f : 1.6f;
            segment(&m, p.x * k, p.z * k, q.x * k, q.z * k, half, pass == 0 ? edge : road);
        }
    }
    const TrackPoint &g = c->points[0];
    float rx = -g.dir_z, rz = g.dir_x, half = g.width * 0.5f;
    segment(&m, (g.x - rx * half) * k, (g.z - rz * half) * k, (g.x + rx * half) * k, (g.z + rz * half) * k, 1.5f,
            {0.9f, 0.1f, 0.1f, 1});
    return canvas_png(m, 4);
}

// --- the hay bale model ---------------------------------------------------------------

MeshModel track_haybale_model() {
    MeshModel model;
    model.bones = 0;
    MeshPiece piece = mesh_piece(4.0f, 0.1f, 0.1f, 0.08f);
    const float centre[3] = {0, 1.25f, 0}, half[3] = {3.0f, 1.25f, 1.5f};
    mesh_box(&piece, centre, half, UvRect{0, 0, 64, 64, 64, 64});
    model.pieces.push_back(piece);
    return model;
}

// --- "flat" ----------------------------------------------------------------------------

// The field's slots lie across its middle facing -z; its six gates on a
// circle of 150 ft to the left (see the timing gates), so the trees keep to
// a ring 380 ft out and the cameras stand outside the circle.
static std::string flat_billboards(float size) {
    std::string out;
    float m = size / 2;
    for (int i = 0; i < 16; i++) {
        double a = 2 * CONTENT_PI * i / 16;
        int kind = i % 2;
        put_line(&out, "[%f %f %f] %f %f %s\n", m + 380.0f * (float)std::cos(a), 0.0f,
                 m + 380.0f * (float)std::sin(a), 26.0f, k_tree_aspect[kind], k_trees[kind]);
    }
    put_line(&out, "[%f %f %f] %f %f banner_quorvin.png\n", m, 1.0f, m + 40.0f, 3.0f, 4.0f);
    return out;
}

static std::string flat_cameras(float size) {
    std::string out;
    float cx = size / 2 - 150.0f, cz = size / 2;
    // Three cameras, each for two of the six gates, 90 ft outside the circle.
    for (int k = 0; k < 3; k++) {
        double theta = -(2 * k + 1.5) * CONTENT_PI / 3;
        put_line(&out, "fov 70\ngate %d %d\naddcamera %f %f %f\n", 2 * k, 2 * k + 1,
                 cx + 240.0f * (float)std::cos(theta), 12.0f, cz + 240.0f * (float)std::sin(theta));
    }
    return out;
}

static const char *const k_flat_lighting =
    "sun_vector [ -0.450790 0.621089 0.641123 ]\n"
    "sun_color [ 1.000000 0.960000 0.880000 ]\n"
    "ambient [ 0.420000 0.450000 0.520000 ]\n"
    "global_ambient [ 0.200000 0.200000 0.220000 ]\n";

// --- the whole set ----------------------------------------------------------------------

void track_add_content(std::vector<ArchiveMember> *members, float flat_size) {
    const TrackCourse *c = track_course_vovezuzize();
    members->push_back({"vovezuzize/lighting", track_lighting_text(&k_track_sun)});
    members->push_back({"vovezuzize/billboards", track_billboards_text(c)});
    members->push_back({"vovezuzize/statues", track_statues_text(c)});
    members->push_back({"vovezuzize/flaggers", track_flaggers_text(c)});
    members->push_back({"vovezuzize/cameras", track_cameras_text(c)});
    members->push_back({"vovezuzize/map.png", track_map_png(c, k_world_vovezuzize, 256)});

    members->push_back({"flat/lighting", std::string(k_flat_lighting) + k_sky_lines});
    members->push_back({"flat/billboards", flat_billboards(flat_size)});
    members->push_back({"flat/cameras", flat_cameras(flat_size)});

    members->push_back({"haybale.vx", vx_image(track_haybale_model(), "haybale")});
    members->push_back({"haybale.png", picture_haybale()});
    members->push_back({"tree_pine.png", picture_pine()});
    members->push_back({"tree_round.png", picture_round_tree()});
    members->push_back({"banner_quorvin.png", picture_banner()});
    members->push_back({"flare_glow.png", picture_flare(false)});
    members->push_back({"flare_ring.png", picture_flare(true)});

    const Rgba none = {0, 0, 0, 0}, green = {0.1f, 0.75f, 0.2f, 1}, white = {1, 1, 1, 1}, yellow = {1, 0.85f, 0, 1};
    static const char *const starter[] = {"flagger_starter0.png", "flagger_starter1.png", "flagger_starter2.png",
                                          "flagger_starter3.png", "flagger_starter4.png"};
    // Board up, board turned, board down, walking off, standing aside.
    const FlaggerPose starter_poses[5] = {
        {2, none, false, true, false, false, false}, {2, none, false, false, true, false, false},
        {0, none, false, false, true, false, false}, {0, none, false, false, true, true, false},
        {0, none, false, false, false, false, false},
    };
    for (int i = 0; i < 5; i++) members->push_back({starter[i], picture_flagger(starter_poses[i])});
    members->push_back({"flagger_racing.png", picture_flagger({1, green, false, false, false, false, false})});
    members->push_back({"flagger_half.png", picture_flagger({0, none, false, false, false, false, true})});
    members->push_back({"flagger_lastlap.png", picture_flagger({2, white, false, false, false, false, false})});
    members->push_back({"flagger_finish.png", picture_flagger({2, white, true, false, false, false, false})});
    members->push_back({"flagger_gate.png", picture_flagger({0, yellow, false, false, false, false, false})});
    members->push_back({"flagger_warning.png", picture_flagger({2, yellow, false, false, false, false, false})});
}
