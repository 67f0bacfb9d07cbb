// The outdoor course "vovezuzize": its centre line, its obstacles and the
// height field shaped from them, and the "flat" practice field.
//
// The course is a turtle walk of straights and circular corners. Two of the
// straights take whatever length closes the loop, so the corners keep their
// exact radii and the other straights their exact run-ups. Every jump is
// sized by ballistics from the speed a rider can reach out of the corner
// before it (see track_obstacle_sizes).
#include "make_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "make_data.h"

static const double TRACK_PI = 3.14159265358979323846;

// The field: N = 1025 points at 2 ft, 2048 ft square.
enum { TRACK_K = 9 };
static const float TRACK_SPACING = 2.0f;
// Where the course's local origin (the gate line) lies in the field.
static const double TRACK_ORIGIN_X = 880.0, TRACK_ORIGIN_Z = 740.0;
// Width of the blend from the course's edge into the surrounding ground.
static const float TRACK_SHOULDER = 24.0f;

// One piece of the turtle walk: a straight (radius 0) or a corner.
struct TrackSegment {
    double length;   // straights; 0 for a straight whose length closes the loop
    double radius;   // corners
    double angle;    // corners, degrees, positive to the right
    float width;     // riding width at the segment's start (linear to the next)
    float berm;      // corners
};

// Clockwise loop, starting on the gate line heading east. Segments 10 (north)
// and 12 (east, into the gate) close the loop.
static const TrackSegment k_layout[] = {
    {330, 0, 0, 80, 0},      // 0 start straight, 80 ft at the gate narrowing into turn 1
    {0, 55, 90, 40, 4.0f},   // 1 turn 1, wide and bermed
    {300, 0, 0, 34, 0},      // 2 table-top straight
    {0, 40, 90, 36, 5.0f},   // 3
    {240, 0, 0, 32, 0},      // 4 the double
    {0, 45, -180, 36, 5.0f}, // 5 left hairpin
    {300, 0, 0, 32, 0},      // 6 whoops
    {0, 45, 180, 36, 5.5f},  // 7 right hairpin
    {600, 0, 0, 32, 0},      // 8 rhythm section and step-up
    {0, 45, 90, 36, 4.0f},   // 9
    {0, 0, 0, 32, 0},        // 10 the triple (closes north-south)
    {0, 50, 90, 38, 0.0f},   // 11 flat sweeper
    {0, 0, 0, 36, 0},        // 12 finish straight into the gate (closes east-west)
};
enum { TRACK_SEGMENTS = sizeof k_layout / sizeof k_layout[0], TRACK_CLOSE_A = 10, TRACK_CLOSE_B = 12 };

// Obstacles, placed by segment and by distance of their face from the
// segment's start. Sizes follow from the design speed; see track_obstacle_sizes.
struct TrackObstaclePlan {
    int kind;
    const char *name;
    int segment;
    double at;            // face start after the segment's start
    float lip_deg;
    float face_height;
    float design_speed;   // ft/s; whoops: their count
    float extra;          // step-up: rise and fixed gap; whoops: height and spacing
    float extra2;
};
static const TrackObstaclePlan k_obstacles[] = {
    {OBSTACLE_TABLE, "table-top", 2, 100, 22, 5.0f, 48, 0, 0},
    {OBSTACLE_DOUBLE, "double", 4, 80, 24, 5.5f, 54, 0, 0},
    {OBSTACLE_WHOOPS, "whoops", 6, 70, 0, 0, 8, 3.0f, 16.0f},
    {OBSTACLE_SMALL_DOUBLE, "rhythm 1", 8, 60, 18, 3.0f, 40, 0, 0},
    {OBSTACLE_SMALL_DOUBLE, "rhythm 2", 8, 138, 18, 3.0f, 40, 0, 0},
    {OBSTACLE_SMALL_DOUBLE, "rhythm 3", 8, 216, 18, 3.0f, 40, 0, 0},
    {OBSTACLE_STEP_UP, "step-up", 8, 360, 32, 5.0f, 0, 5.0f, 28.0f},
    {OBSTACLE_TRIPLE, "triple", 10, 140, 28, 7.0f, 62, 0, 0},
};

const TrackSun k_track_sun = {
    // Afternoon sun from the south-west, about 38 degrees up: (-0.45, 0.62, 0.64) normalised.
    {-0.450790f, 0.621089f, 0.641123f},
    {1.00f, 0.96f, 0.88f},
    {0.42f, 0.45f, 0.52f},
};

static double track_clamp(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

static double track_smoothstep(double e0, double e1, double x) {
    double t = track_clamp((x - e0) / (e1 - e0), 0, 1);
    return t * t * (3 - 2 * t);
}

// The ground around the course: long rolling swells, rising toward the edges
// of the field so the horizon is hills rather than the field's end.
static double track_ground(double x, double z) {
    double h = 14.0;
    h += 6.0 * std::sin(x / 170.0 + 0.6) * std::cos(z / 230.0 - 0.3);
    h += 4.0 * std::sin((x + 0.7 * z) / 310.0 + 1.1);
    h += 2.5 * std::cos((0.6 * x - z) / 120.0);
    double dx = x - 1024.0, dz = z - 1024.0;
    double r = std::sqrt(dx * dx + dz * dz);
    h += 22.0 * track_smoothstep(620.0, 1000.0, r);
    return h;
}

// --- obstacle shapes --------------------------------------------------------

// Fills the derived sizes of an obstacle from its plan: face run, gap,
// landing. Faces are parabolic, h = H (x / L)^2, so the slope at the lip is
// 2H / L = tan(lip angle). Landings fall as H (1 - u)^2: steepest at the
// crest, easing out at the bottom.
static TrackObstacle track_obstacle_sizes(const TrackObstaclePlan &p) {
    TrackObstacle o = {};
    o.kind = p.kind;
    o.name = p.name;
    o.lip_angle = (float)(p.lip_deg * TRACK_PI / 180.0);
    o.face_height = p.face_height;
    if (p.kind == OBSTACLE_WHOOPS) {
        o.count = (int)p.design_speed;
        o.face_height = p.extra;
        o.spacing = p.extra2;
        return o;
    }
    double t = std::tan((double)o.lip_angle);
    double face_run = 2.0 * o.face_height / t;
    o.s_lip = (float)face_run;   // relative until placed
    double landing_deg = p.kind == OBSTACLE_SMALL_DOUBLE ? 20.0 : 25.0;
    if (p.kind == OBSTACLE_STEP_UP) {
        o.gap = p.extra2;
        o.rise = p.extra;
        o.landing_height = o.face_height + o.rise;
        // The take-off speed that reaches the crest rise feet up, gap feet out.
        double c = std::cos((double)o.lip_angle);
        o.design_speed = (float)std::sqrt(16.0 * o.gap * o.gap / (c * c * (o.gap * t - o.rise)));
        landing_deg = 20.0;
    } else {
        o.design_speed = p.design_speed;
        o.gap = (float)(o.design_speed * o.design_speed * std::sin(2.0 * o.lip_angle) / 32.0);
        o.landing_height = o.face_height;
    }
    // A step-up's landing is its deck; what falls after it is a run-out.
    double fall = o.kind == OBSTACLE_STEP_UP ? o.landing_height - 30.0 * std::tan(6.0 * TRACK_PI / 180) : o.landing_height;
    double run = 2.0 * fall / std::tan(landing_deg * TRACK_PI / 180.0);
    if (o.kind != OBSTACLE_STEP_UP) run = track_clamp(run, 20.0, 40.0);
    o.landing_length = (float)run;
    o.landing_angle = (float)std::atan(2.0 * fall / run);
    return o;
}

// Height of an obstacle above the course's base at x feet past its face.
static double track_obstacle_height(const TrackObstacle &o, double x) {
    if (x <= 0) return 0;
    if (o.kind == OBSTACLE_WHOOPS) {
        if (x >= o.count * o.spacing) return 0;
        return o.face_height * (0.5 - 0.5 * std::cos(2.0 * TRACK_PI * x / o.spacing));
    }
    double face_run = o.s_lip - o.s_face;
    double hf = o.face_height;
    double h = 0;
    if (x <= face_run) h = hf * (x / face_run) * (x / face_run);
    double crest = face_run + o.gap;
    if (o.kind == OBSTACLE_TABLE) {
        if (x > face_run && x <= crest) h = hf;
    } else if (x > face_run) {
        double back = hf / std::tan(38.0 * TRACK_PI / 180.0);   // back of the lip
        h = std::max(h, hf * (1.0 - (x - face_run) / back));
        double ht = o.landing_height;
        double wall = ht / std::tan((o.kind == OBSTACLE_STEP_UP ? 40.0 : 35.0) * TRACK_PI / 180.0);
        if (x <= crest) h = std::max(h, ht * (x - (crest - wall)) / wall);
        if (o.kind == OBSTACLE_TRIPLE) {
            // A rounded mound in the middle of the gap, well under the flight.
            double m = face_run + o.gap / 2, half = 16.0;
            if (std::fabs(x - m) < half) h = std::max(h, 3.5 * (0.5 + 0.5 * std::cos(TRACK_PI * (x - m) / half)));
        }
    }
    if (x > crest) {
        double top = o.landing_height, past = x - crest;
        if (o.kind == OBSTACLE_STEP_UP) {
            double deck = 30.0, slope = std::tan(6.0 * TRACK_PI / 180.0);
            if (past <= deck) return top - past * slope;
            top -= deck * slope;
            past -= deck;
        }
        double u = past / o.landing_length;
        if (u < 1) h = std::max(h, top * (1 - u) * (1 - u));
    }
    return h;
}

// --- the course -------------------------------------------------------------

static double track_width_at(const TrackCourse *c, double s);

static double track_wrap(double s, double lap) {
    s = std::fmod(s, lap);
    return s < 0 ? s + lap : s;
}

// Walks the layout with the given closing lengths; returns the end point
// relative to the start and, when out is given, the segment start distances.
static void track_walk(const double *lengths, double *end_x, double *end_z, double *seg_start) {
    double x = 0, z = 0, a = 0, s = 0;
    for (int i = 0; i < TRACK_SEGMENTS; i++) {
        const TrackSegment &g = k_layout[i];
        if (seg_start) seg_start[i] = s;
        if (g.radius == 0) {
            x += lengths[i] * std::cos(a);
            z += lengths[i] * std::sin(a);
            s += lengths[i];
        } else {
            double turn = g.angle * TRACK_PI / 180.0, side = turn > 0 ? 1 : -1;
            // Centre of the corner on the inside, then around it.
            double cx = x - side * g.radius * std::sin(a), cz = z + side * g.radius * std::cos(a);
            a += turn;
            x = cx + side * g.radius * std::sin(a);
            z = cz - side * g.radius * std::cos(a);
            s += g.radius * std::fabs(turn);
        }
    }
    if (seg_start) seg_start[TRACK_SEGMENTS] = s;
    *end_x = x;
    *end_z = z;
}

static void track_build_course(TrackCourse *c) {
    double lengths[TRACK_SEGMENTS];
    for (int i = 0; i < TRACK_SEGMENTS; i++) lengths[i] = k_layout[i].length;
    // The end point is linear in the two closing lengths: solve for both.
    double fx, fz, ax, az, bx, bz;
    lengths[TRACK_CLOSE_A] = lengths[TRACK_CLOSE_B] = 0;
    track_walk(lengths, &fx, &fz, nullptr);
    lengths[TRACK_CLOSE_A] = 1;
    track_walk(lengths, &ax, &az, nullptr);
    lengths[TRACK_CLOSE_A] = 0;
    lengths[TRACK_CLOSE_B] = 1;
    track_walk(lengths, &bx, &bz, nullptr);
    ax -= fx, az -= fz, bx -= fx, bz -= fz;
    double det = ax * bz - az * bx;
    lengths[TRACK_CLOSE_A] = (-fx * bz + fz * bx) / det;
    lengths[TRACK_CLOSE_B] = (-ax * fz + az * fx) / det;

    double seg_start[TRACK_SEGMENTS + 1];
    double ex, ez;
    track_walk(lengths, &ex, &ez, seg_start);
    double lap = seg_start[TRACK_SEGMENTS];
    c->lap_length = (float)lap;
    c->start_straight = (float)lengths[0];
    c->gate_width = k_layout[0].width;
    c->pad_width = 124.0f;   // 40 gate slots of 3 ft and room at the ends
    c->pad_behind = 30.0f;
    c->pad_ahead = 12.0f;

    c->corners.clear();
    for (int i = 0; i < TRACK_SEGMENTS; i++) {
        const TrackSegment &g = k_layout[i];
        if (g.radius == 0) continue;
        c->corners.push_back({(float)seg_start[i], (float)seg_start[i + 1], (float)g.radius,
                              (float)(g.angle * TRACK_PI / 180.0), g.berm});
    }

    // Obstacles, with the run-up from the corner before.
    c->obstacles.clear();
    for (const TrackObstaclePlan &p : k_obstacles) {
        TrackObstacle o = track_obstacle_sizes(p);
        o.s_face = (float)(seg_start[p.segment] + p.at);
        if (o.kind == OBSTACLE_WHOOPS) {
            o.s_lip = o.s_face;
            o.s_end = o.s_face + o.count * o.spacing;
        } else {
            o.s_lip += o.s_face;
            double end = o.s_lip + o.gap + o.landing_length + (o.kind == OBSTACLE_STEP_UP ? 30.0 : 0.0);
            o.s_end = (float)end;
        }
        const TrackSegment &before = k_layout[p.segment - 1];
        o.corner_radius = (float)before.radius;
        o.runup = (float)(o.s_lip - seg_start[p.segment]);
        c->obstacles.push_back(o);
    }

    // Sample the centre line at an even step that divides the lap.
    int count = (int)std::lround(lap / TRACK_SAMPLE_STEP);
    double step = lap / count;
    c->points.assign(count, TrackPoint{});
    int seg = 0;
    double x = 0, z = 0, a = 0;   // at the start of segment seg
    for (int i = 0; i < count; i++) {
        double s = i * step;
        while (seg + 1 < TRACK_SEGMENTS && s >= seg_start[seg + 1]) {
            const TrackSegment &g = k_layout[seg];
            double d = seg_start[seg + 1] - seg_start[seg];
            if (g.radius == 0) {
                x += d * std::cos(a);
                z += d * std::sin(a);
            } else {
                double turn = g.angle * TRACK_PI / 180.0, side = turn > 0 ? 1 : -1;
                double cx = x - side * g.radius * std::sin(a), cz = z + side * g.radius * std::cos(a);
                a += turn;
                x = cx + side * g.radius * std::sin(a);
                z = cz - side * g.radius * std::cos(a);
            }
            seg++;
        }
        const TrackSegment &g = k_layout[seg];
        double d = s - seg_start[seg], px, pz, pa = a, curv = 0;
        if (g.radius == 0) {
            px = x + d * std::cos(a);
            pz = z + d * std::sin(a);
        } else {
            double side = g.angle > 0 ? 1 : -1, turn = side * d / g.radius;
            double cx = x - side * g.radius * std::sin(a), cz = z + side * g.radius * std::cos(a);
            pa = a + turn;
            px = cx + side * g.radius * std::sin(pa);
            pz = cz - side * g.radius * std::cos(pa);
            curv = side / g.radius;
        }
        TrackPoint &p = c->points[i];
        p.x = (float)(px + TRACK_ORIGIN_X);
        p.z = (float)(pz + TRACK_ORIGIN_Z);
        p.dir_x = (float)std::cos(pa);
        p.dir_z = (float)std::sin(pa);
        p.heading = (float)std::atan2(-std::cos(pa), -std::sin(pa));
        p.s = (float)s;
        p.curvature = (float)curv;
        double w0 = g.width, w1 = k_layout[(seg + 1) % TRACK_SEGMENTS].width;
        double len = seg_start[seg + 1] - seg_start[seg];
        p.width = (float)(w0 + (w1 - w0) * track_clamp(d / len, 0, 1));
    }

    // The course's base: the ground under the centre line, smoothed along
    // the lap so it rolls gently, and level over the start.
    std::vector<double> ground(count), smooth(count);
    for (int i = 0; i < count; i++) ground[i] = track_ground(c->points[i].x, c->points[i].z);
    int half = (int)(80.0 / step);
    for (int pass = 0; pass < 3; pass++) {
        for (int i = 0; i < count; i++) {
            double sum = 0;
            for (int k = -half; k <= half; k++) sum += ground[(i + k + count) % count];
            smooth[i] = sum / (2 * half + 1);
        }
        ground = smooth;
    }
    double gate_y = ground[0];
    for (int i = 0; i < count; i++) {
        double s = c->points[i].s;
        double before = s - lap;   // the finish straight, before the gate line
        double level = std::max(1.0 - track_smoothstep(c->start_straight - 40.0, c->start_straight + 40.0, s),
                                track_smoothstep(-120.0, -40.0, before));
        c->points[i].base_y = (float)(ground[i] + (gate_y - ground[i]) * level);
    }
    for (int i = 0; i < count; i++) {
        TrackPoint &p = c->points[i];
        p.berm = 0;
        for (const TrackCorner &k : c->corners) {
            double in = track_smoothstep(k.s_start - 25.0, k.s_start + 10.0, p.s);
            double out = 1.0 - track_smoothstep(k.s_end - 10.0, k.s_end + 25.0, p.s);
            p.berm = (float)std::max((double)p.berm, k.berm * std::min(in, out));
        }
    }
    for (int i = 0; i < count; i++) c->points[i].y = track_course_surface(c, c->points[i].s, 0.0f);
    (void)track_width_at;
}

const TrackPoint *track_course_at(const TrackCourse *c, float s) {
    double step = c->lap_length / c->points.size();
    long i = std::lround(track_wrap(s, c->lap_length) / step) % (long)c->points.size();
    return &c->points[i];
}

static double track_width_at(const TrackCourse *c, double s) {
    double step = c->lap_length / c->points.size();
    double f = track_wrap(s, c->lap_length) / step;
    size_t i = (size_t)f % c->points.size();
    size_t j = (i + 1) % c->points.size();
    double t = f - std::floor(f);
    return c->points[i].width + (c->points[j].width - c->points[i].width) * t;
}

static double track_base_at(const TrackCourse *c, double s) {
    double step = c->lap_length / c->points.size();
    double f = track_wrap(s, c->lap_length) / step;
    size_t i = (size_t)f % c->points.size();
    size_t j = (i + 1) % c->points.size();
    double t = f - std::floor(f);
    return c->points[i].base_y + (c->points[j].base_y - c->points[i].base_y) * t;
}

float track_course_surface(const TrackCourse *c, float s_in, float lateral) {
    double s = track_wrap(s_in, c->lap_length);
    double h = track_base_at(c, s);
    for (const TrackObstacle &o : c->obstacles) {
        if (s > o.s_face && s < o.s_end + 1) h += track_obstacle_height(o, s - o.s_face);
    }
    // Berms: the outside of a corner rises, concave across the width.
    double edge = track_width_at(c, s) / 2;
    for (const TrackCorner &k : c->corners) {
        if (k.berm <= 0) continue;
        double in = track_smoothstep(k.s_start - 25.0, k.s_start + 10.0, s);
        double out = 1.0 - track_smoothstep(k.s_end - 10.0, k.s_end + 25.0, s);
        double amount = k.berm * std::min(in, out);
        if (amount <= 0) continue;
        double outer = (k.angle > 0 ? -lateral : lateral) / edge;
        double q = track_clamp((outer + 0.2) / 1.2, 0, 1);
        h += amount * q * q;
    }
    return (float)h;
}

const TrackCourse *track_course_vovezuzize() {
    static TrackCourse course;   // built on first use, kept for the process
    if (course.points.empty()) track_build_course(&course);
    return &course;
}

// --- the height field -------------------------------------------------------

// Half the width that is dirt at distance s: the riding width, or the start
// pad around the gate line.
static double track_dirt_half(const TrackCourse *c, double s) {
    double half = track_width_at(c, s) / 2;
    double d = s > c->lap_length / 2 ? s - c->lap_length : s;
    if (d >= -c->pad_behind && d <= c->pad_ahead) half = std::max(half, (double)c->pad_width / 2);
    return half;
}

// Quantises heights exactly as the terrain loader reads them back.
static std::string track_hf_quantise(int k, float spacing, std::vector<float> *heights) {
    std::string image = terrain_hf_image(k, spacing, *heights);
    int kk;
    float s, lo, hi;
    int used = 0;
    sscanf(image.c_str(), "%d %f %f %f %n", &kk, &s, &lo, &hi, &used);
    const unsigned char *p = (const unsigned char *)image.data() + used + 1;   // past ":"
    for (size_t i = 0; i < heights->size(); i++) {
        unsigned u = p[2 * i] | (unsigned)p[2 * i + 1] << 8;
        (*heights)[i] = lo + u * (hi - lo) / 65535;
    }
    return image;
}

static void track_build_field(TrackField *f, std::string *hf_image) {
    const TrackCourse *c = track_course_vovezuzize();
    f->k = TRACK_K;
    f->n = (1 << (TRACK_K + 1)) + 1;
    f->spacing = TRACK_SPACING;
    int n = f->n, r = 1 << TRACK_K;
    double sp = f->spacing;
    // Nearest centre-line sample of every grid point near the course.
    std::vector<float> best((size_t)n * n, 1e30f);
    std::vector<int> nearest((size_t)n * n, -1);
    int reach = (int)std::ceil((c->pad_width / 2 + TRACK_SHOULDER + 8) / sp);
    for (size_t idx = 0; idx < c->points.size(); idx++) {
        const TrackPoint &p = c->points[idx];
        int ci = (int)std::lround(p.x / sp), cj = (int)std::lround(p.z / sp);
        for (int j = std::max(0, cj - reach); j <= std::min(n - 1, cj + reach); j++) {
            for (int i = std::max(0, ci - reach); i <= std::min(n - 1, ci + reach); i++) {
                float dx = (float)(i * sp) - p.x, dz = (float)(j * sp) - p.z;
                float d2 = dx * dx + dz * dz;
                size_t g = (size_t)j * n + i;
                if (d2 < best[g]) {
                    best[g] = d2;
                    nearest[g] = (int)idx;
                }
            }
        }
    }
    f->heights.assign((size_t)n * n, 0.0f);
    std::vector<float> lateral((size_t)n * n, 1e9f), along((size_t)n * n, 0.0f);
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            size_t g = (size_t)j * n + i;
            double x = i * sp, z = j * sp;
            double ground = track_ground(x, z);
            double h = ground;
            if (nearest[g] >= 0) {
                const TrackPoint &p = c->points[nearest[g]];
                double dx = x - p.x, dz = z - p.z;
                double s = p.s + dx * p.dir_x + dz * p.dir_z;
                double lat = -dx * p.dir_z + dz * p.dir_x;
                lateral[g] = (float)lat;
                along[g] = (float)track_wrap(s, c->lap_length);
                double edge = track_dirt_half(c, s);
                double surface = track_course_surface(c, (float)s, (float)lat);
                double b = track_smoothstep(edge + 1.0, edge + TRACK_SHOULDER, std::fabs(lat));
                h = surface + (ground - surface) * b;
            }
            f->heights[g] = (float)h;
        }
    }
    *hf_image = track_hf_quantise(f->k, f->spacing, &f->heights);
    // Tile corners: dirt on the course and a little beyond its edge.
    f->dirt.assign((size_t)(r + 1) * (r + 1), 0);
    for (int v = 0; v <= r; v++) {
        for (int u = 0; u <= r; u++) {
            size_t g = (size_t)(2 * v) * n + 2 * u;
            if (nearest[g] < 0) continue;
            double edge = track_dirt_half(c, along[g]);
            f->dirt[(size_t)v * (r + 1) + u] = std::fabs(lateral[g]) <= edge + 2.0 ? 1 : 0;
        }
    }
}

static std::string g_track_hf_image;   // "terrain.hf" of the default track, made with its field

const TrackField *track_field_vovezuzize() {
    static TrackField field;   // built on first use, kept for the process
    if (field.heights.empty()) track_build_field(&field, &g_track_hf_image);
    return &field;
}

// --- the data files ---------------------------------------------------------

// The speed the line asks for at distance s along the lap: on a jump's
// run-up and face the speed that still leaves its design speed at the lip, an easy pace through whoops, and 0
// (free) elsewhere.
static float track_course_speed(const TrackCourse *c, float s) {
    for (const TrackObstacle &o : c->obstacles) {
        if (o.kind == OBSTACLE_WHOOPS) {
            if (s >= o.s_face - 40 && s <= o.s_end) return 30.0f;
        } else if (s >= o.s_lip - 100 && s <= o.s_lip + 4) {
            // Climbing the face costs speed: ask for enough at its foot.
            return std::sqrt(o.design_speed * o.design_speed + 64.0f * o.face_height);
        }
    }
    return 0.0f;
}

std::string track_course_text(const TrackCourse *c) {
    std::string out = "# centre line: x z heading width speed, every 8 ft from the gate line\n";
    char line[112];
    int step = (int)(8.0f / TRACK_SAMPLE_STEP);
    for (size_t i = 0; i < c->points.size(); i += step) {
        const TrackPoint &p = c->points[i];
        snprintf(line, sizeof line, "%.2f %.2f %.4f %.2f %.1f\n", p.x, p.z, p.heading, p.width,
                 track_course_speed(c, p.s));
        out += line;
    }
    return out;
}

// --- timing gates ------------------------------------------------------------------

static void gates_slots(std::string *out, float x, float z, float heading) {
    // 40 slots 3 ft apart across the line, the rider's right being
    // (cos a, -sin a) for heading a.
    char line[128];
    *out += "startinggate:\n";
    for (int k = 0; k < 40; k++) {
        float lateral = (k - 19.5f) * 3.0f;
        snprintf(line, sizeof line, "[%f %f %f] %f\n", x + lateral * cosf(heading), 0.0f,
                 z - lateral * sinf(heading), heading);
        *out += line;
    }
}

static void gates_lists(std::string *out, int count, int switch_every) {
    // Every gate is required on both laps; every switch_every-th one, and
    // the last, also splits the robots' lines.
    for (const char *list : {"firstlap:\n", "normallap:\n"}) {
        *out += list;
        for (int g = 0; g < count; g++) {
            bool switch_point = (g + 1) % switch_every == 0 || g == count - 1;
            *out += std::to_string(switch_point ? g : 100000 + g) + " ";
        }
        *out += "\n";
    }
}

std::string track_timing_gates_text(const TrackCourse *c) {
    std::string out;
    const TrackPoint &start = c->points[0];
    gates_slots(&out, start.x, start.z, start.heading);
    // Checkpoints about every 150 ft of the lap, the last on the gate line.
    out += "checkpoints:\n";
    int count = (int)(c->lap_length / 150.0f);
    char line[160];
    for (int g = 1; g <= count; g++) {
        float s = g == count ? 0.0f : g * c->lap_length / count;
        const TrackPoint *p = track_course_at(c, s);
        snprintf(line, sizeof line, "%f [%f %f %f] [%f %f %f]\n", p->width * 0.5f + 8.0f, p->x, p->y, p->z,
                 p->dir_x, 0.0f, p->dir_z);
        out += line;
    }
    gates_lists(&out, count, 3);
    return out;
}

// "flat": the slots across the middle of the field facing -z, and six gates
// on a circle of 150 ft to the left of them, the last back at the slots.
static std::string track_flat_timing_gates(float middle) {
    std::string out;
    gates_slots(&out, middle, middle, 0.0f);
    out += "checkpoints:\n";
    char line[160];
    float cx = middle - 150.0f, cz = middle;
    for (int g = 1; g <= 6; g++) {
        float theta = -g * 3.14159265f / 3.0f;
        snprintf(line, sizeof line, "%f [%f %f %f] [%f %f %f]\n", 40.0f, cx + 150.0f * cosf(theta), 10.0f,
                 cz + 150.0f * sinf(theta), sinf(theta), 0.0f, -cosf(theta));
        out += line;
    }
    gates_lists(&out, 6, 2);
    return out;
}

void track_add_default_tracks(std::vector<ArchiveMember> *members) {
    track_add_tile_textures(members);

    const TrackField *f = track_field_vovezuzize();
    std::vector<unsigned char> light = track_shadow_light(f, &k_track_sun);
    members->push_back({"vovezuzize/course", track_course_text(track_course_vovezuzize())});
    members->push_back({"vovezuzize/desc", "Vovezuzize\n"});
    members->push_back({"vovezuzize/timing_gates", track_timing_gates_text(track_course_vovezuzize())});
    members->push_back({"vovezuzize/shadingx2.ppm.gz", track_gzip(track_shading_ppm(f, &k_track_sun, light))});
    members->push_back({"vovezuzize/shadows.pgm.gz", track_gzip(track_shadows_pgm(f, light))});
    members->push_back({"vovezuzize/terrain.hf.gz", track_gzip(g_track_hf_image)});
    members->push_back({"vovezuzize/tileinfo", track_tileinfo(false)});
    members->push_back({"vovezuzize/tilemap.gz", track_gzip(track_tilemap(f))});

    // "flat": a level field of dirt, 1024 ft square at 4 ft.
    TrackField flat;
    flat.k = 7;
    flat.n = (1 << (flat.k + 1)) + 1;
    flat.spacing = 4.0f;
    flat.heights.assign((size_t)flat.n * flat.n, 10.0f);
    int r = 1 << flat.k;
    flat.dirt.assign((size_t)(r + 1) * (r + 1), 1);
    std::vector<unsigned char> lit((size_t)flat.n * flat.n, 255);
    members->push_back({"flat/desc", "Flat\n"});
    members->push_back({"flat/timing_gates", track_flat_timing_gates((flat.n - 1) * flat.spacing / 2)});
    members->push_back({"flat/shadingx2.ppm.gz", track_gzip(track_shading_ppm(&flat, &k_track_sun, lit))});
    members->push_back({"flat/terrain.hf.gz", track_gzip(terrain_hf_image(flat.k, flat.spacing, flat.heights))});
    members->push_back({"flat/tileinfo", track_tileinfo(true)});
    members->push_back({"flat/tilemap.gz", track_gzip(track_tilemap(&flat))});
    track_add_content(members, (flat.n - 1) * flat.spacing);
}
