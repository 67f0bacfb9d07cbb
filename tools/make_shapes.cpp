// The collision spheres of the default bike, rider and starting gate. The
// bike's spheres are placed in bike coordinates (standing on y = 0, front
// wheel towards -z, +x the rider's right) over the parts the default models
// draw, then moved around the rest position of the body that owns them.
// Tyre contact with the ground is the tyre model's business, so no sphere of
// a body other than a wheel comes near the ground or the tyres while the
// bike stands at rest: a bike on its wheels touches nothing else.
#include "make_shapes.h"

#include <cmath>
#include <cstdio>

#include "make_models.h"

static const float SHP_PI = 3.14159265358979323846f;

// The tyres, as the catalogue gives them.
static const float k_front_ring = 0.8333333f, k_rear_ring = 0.75f, k_tire_section = 0.3333333f;
static const float k_front_fender_radius = 0.8333333f + 0.3333333f + 0.16f;   // from the front axle

// Surface response per material: steel and plastic parts, rubber, the
// rider's padded gear.
struct ShpMaterial {
    float mu, kp, kd;
};
static const ShpMaterial k_bike_part = {0.4f, 15000, 600};
static const ShpMaterial k_tyre = {0.8f, 10000, 200};
static const ShpMaterial k_rider = {0.6f, 5000, 300};
static const ShpMaterial k_gate = {0.5f, 20000, 800};
static const ShpMaterial k_straw = {0.7f, 6000, 500};

const char *const k_shp_members[SHP_COUNT] = {
    "generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp", "generic_swingarm.shp",
    "front_wheel.shp",   "rear_wheel.shp",         "generic_rider.shp",      "startgate.shp",
    "haybale.shp",
};

static void shp_add(std::vector<ShpSphere> *out, float x, float y, float z, float radius, ShpMaterial m) {
    ShpSphere s = {{x, y, z}, radius, m.mu, m.kp, m.kd};
    out->push_back(s);
}

// A sphere given at bike point p, stored relative to the body at body_pos.
static void shp_add_at(std::vector<ShpSphere> *out, const float p[3], const float body_pos[3], float radius,
                       ShpMaterial m) {
    shp_add(out, p[0] - body_pos[0], p[1] - body_pos[1], p[2] - body_pos[2], radius, m);
}

// The fork legs run parallel to the steering axis d (up along the fork),
// through the front axle, leg_offset ahead of the axis along e.
struct ShpForkAxes {
    float d[3], e[3];
    float leg_offset;
};

static ShpForkAxes shp_fork_axes() {
    ShpForkAxes f;
    float len = 0;
    for (int k = 0; k < 3; k++) {
        f.d[k] = k_fork_upper_pos[k] - k_fork_lower_pos[k];
        len += f.d[k] * f.d[k];
    }
    len = std::sqrt(len);
    for (float &v : f.d) v /= len;
    f.e[0] = 0, f.e[1] = f.d[2], f.e[2] = -f.d[1];
    f.leg_offset = 0;
    for (int k = 0; k < 3; k++) f.leg_offset += (k_front_axle[k] - k_fork_upper_pos[k]) * f.e[k];
    return f;
}

// The point of the left (side -1) or right (+1) fork leg at distance t along
// the steering axis from the steering head.
static void shp_fork_leg_point(const ShpForkAxes &f, int side, float t, float out[3]) {
    for (int k = 0; k < 3; k++) out[k] = k_fork_upper_pos[k] + f.e[k] * f.leg_offset + f.d[k] * t;
    out[0] = side * k_fork_leg_x;
}

// Steering head, tank, cylinder and radiators, crankcase (its bottom well
// above the frame cradle's lowest tube), seat, side panels, rear fender,
// silencer and the foot pegs that meet the ground first in a hard lean.
static std::vector<ShpSphere> shp_frame() {
    static const float parts[][4] = {
        {0, 2.85f, 2.3f, 0.28f},  {0, 2.95f, 3.05f, 0.42f}, {0, 2.15f, 2.9f, 0.42f},  {0, 1.45f, 3.4f, 0.45f},
        {0, 2.95f, 4.05f, 0.35f}, {0, 2.85f, 4.8f, 0.38f},  {0, 3.1f, 5.55f, 0.25f},  {0, 3.22f, 6.6f, 0.2f},
        {0.36f, 2.25f, 5.1f, 0.2f}, {-0.55f, 1.42f, 4.18f, 0.15f}, {0.55f, 1.42f, 4.18f, 0.15f},
    };
    std::vector<ShpSphere> out;
    for (const float *p : parts) shp_add_at(&out, p, k_frame_pos, p[3], k_bike_part);
    return out;
}

// The fork tubes under the top clamp and above the lower legs, the middle
// of the handlebar and its two ends.
static std::vector<ShpSphere> shp_fork_upper() {
    ShpForkAxes f = shp_fork_axes();
    std::vector<ShpSphere> out;
    for (int side = -1; side <= 1; side += 2) {
        float p[3];
        shp_fork_leg_point(f, side, 0.3f, p);
        shp_add_at(&out, p, k_fork_upper_pos, 0.16f, k_bike_part);
        shp_fork_leg_point(f, side, -0.8f, p);
        shp_add_at(&out, p, k_fork_upper_pos, 0.12f, k_bike_part);
    }
    const float bar_middle[3] = {0, 3.9f, 2.72f};
    shp_add_at(&out, bar_middle, k_fork_upper_pos, 0.2f, k_bike_part);
    for (int side = -1; side <= 1; side += 2) {
        const float bar_end[3] = {side * 1.05f, 4.04f, 2.91f};
        shp_add_at(&out, bar_end, k_fork_upper_pos, 0.15f, k_bike_part);
    }
    return out;
}

// The lower legs just above the axle and near their tops, and the front
// fender over the tyre (its top and its beak).
static std::vector<ShpSphere> shp_fork_lower() {
    ShpForkAxes f = shp_fork_axes();
    float axle_t = 0;
    for (int k = 0; k < 3; k++) axle_t += (k_front_axle[k] - k_fork_upper_pos[k]) * f.d[k];
    std::vector<ShpSphere> out;
    for (int side = -1; side <= 1; side += 2) {
        float p[3];
        shp_fork_leg_point(f, side, axle_t + 0.1f, p);
        shp_add_at(&out, p, k_fork_lower_pos, 0.13f, k_bike_part);
        shp_fork_leg_point(f, side, -1.0f, p);
        shp_add_at(&out, p, k_fork_lower_pos, 0.13f, k_bike_part);
    }
    for (float q : {0.0f, 0.8f}) {
        const float p[3] = {0, k_front_axle[1] + k_front_fender_radius * std::cos(q),
                            k_front_axle[2] - k_front_fender_radius * std::sin(q)};
        shp_add_at(&out, p, k_fork_lower_pos, 0.15f, k_bike_part);
    }
    return out;
}

// The pivot, the cross member behind it, and each arm where it passes in
// front of the tyre and near the axle, outside the tyre's section.
static std::vector<ShpSphere> shp_swingarm() {
    const float arm_x = 0.28f;
    std::vector<ShpSphere> out;
    shp_add_at(&out, k_swingarm_pivot, k_swingarm_pos, 0.16f, k_bike_part);
    const float cross[3] = {0, 1.47f, 4.55f};
    shp_add_at(&out, cross, k_swingarm_pos, 0.14f, k_bike_part);
    const float along[2] = {0.35f, 0.85f}, radius[2] = {0.15f, 0.12f};
    for (int side = -1; side <= 1; side += 2) {
        for (int i = 0; i < 2; i++) {
            float p[3];
            for (int k = 0; k < 3; k++) p[k] = k_swingarm_pivot[k] + (k_rear_axle[k] - k_swingarm_pivot[k]) * along[i];
            p[0] = side * arm_x;
            shp_add_at(&out, p, k_swingarm_pos, radius[i], k_bike_part);
        }
    }
    return out;
}

// Twelve spheres of the tyre's section around its ring, in the wheel's
// y-z plane; together they reach the tyre's outer radius.
static std::vector<ShpSphere> shp_wheel(float ring) {
    std::vector<ShpSphere> out;
    for (int k = 0; k < 12; k++) {
        float q = 2 * SHP_PI * k / 12;
        shp_add(&out, 0, ring * std::cos(q), ring * std::sin(q), k_tire_section, k_tyre);
    }
    return out;
}

// In the rider body's own frame, over the rider as drawn sitting at rest:
// the helmet around the head point, the torso along the line from the hips
// (0, -0.571, 0.671) to the shoulders (0, 0.580, -0.655), the thighs and
// knees towards the pegs, and the arms bent out from the shoulders to the
// grips (the elbows near x = -1.27 and 1.27, at (y, z) = (0.19, -0.27)).
static std::vector<ShpSphere> shp_rider() {
    std::vector<ShpSphere> out;
    shp_add(&out, 0, 1.13f, -0.9f, 0.47f, k_rider);     // helmet
    shp_add(&out, 0, 0.28f, -0.31f, 0.42f, k_rider);    // chest
    shp_add(&out, 0, -0.19f, 0.23f, 0.38f, k_rider);    // belly
    shp_add(&out, 0, -0.5f, 0.59f, 0.42f, k_rider);     // hips
    for (int side = -1; side <= 1; side += 2) {
        shp_add(&out, side * 0.42f, -0.99f, 0.18f, 0.26f, k_rider);    // thigh
        shp_add(&out, side * 0.57f, -1.42f, -0.31f, 0.2f, k_rider);    // knee
        shp_add(&out, side * 0.91f, 0.38f, -0.46f, 0.18f, k_rider);    // upper arm
        shp_add(&out, side * 1.18f, -0.13f, -0.74f, 0.15f, k_rider);   // forearm
    }
    return out;
}

// The gate model's frame: hinge along x at the origin, the drop plate lying
// forward (-z) 1.7 ft deep and 3.2 ft wide, raised by turning about x. Two
// rows of overlapping spheres make the plate a wall no tyre slips through
// when raised and only a low bump when dropped; two more cover the hinge
// posts.
static std::vector<ShpSphere> shp_startgate() {
    std::vector<ShpSphere> out;
    for (float z : {-0.5f, -1.3f}) {
        for (int i = 0; i < 7; i++) shp_add(&out, -1.5f + 0.5f * i, -0.06f, z, 0.26f, k_gate);
    }
    for (int side = -1; side <= 1; side += 2) shp_add(&out, side * 1.8f, 0.16f, 0, 0.2f, k_gate);
    return out;
}

// The hay bale model's frame: 6 ft long along x, 3 ft deep, 2.5 ft high,
// standing on y = 0. One row of overlapping spheres as high as the bale
// keeps a wheel out of it; the soft straw gives way a little before it
// stops a bike.
static std::vector<ShpSphere> shp_haybale() {
    std::vector<ShpSphere> out;
    for (int i = 0; i < 5; i++) shp_add(&out, -2.0f + 1.0f * i, 1.25f, 0, 1.25f, k_straw);
    return out;
}

std::vector<ShpSphere> shp_spheres(ShpFile which) {
    switch (which) {
    case SHP_FRAME: return shp_frame();
    case SHP_FORK_UPPER: return shp_fork_upper();
    case SHP_FORK_LOWER: return shp_fork_lower();
    case SHP_SWINGARM: return shp_swingarm();
    case SHP_FRONT_WHEEL: return shp_wheel(k_front_ring);
    case SHP_REAR_WHEEL: return shp_wheel(k_rear_ring);
    case SHP_RIDER: return shp_rider();
    case SHP_STARTGATE: return shp_startgate();
    case SHP_HAYBALE: return shp_haybale();
    default: return std::vector<ShpSphere>();
    }
}

// "%.4f", with anything that rounds to zero written as plain "0.0000"
// rather than "-0.0000".
static void shp_number(std::string *out, const char *lead, float v) {
    if (std::fabs(v) < 0.00005f) v = 0;
    char buf[48];
    snprintf(buf, sizeof buf, "%s%.4f", lead, (double)v);
    *out += buf;
}

std::string shp_image(const std::vector<ShpSphere> &spheres) {
    char line[32];
    snprintf(line, sizeof line, "%d\n", (int)spheres.size());
    std::string out = line;
    for (const ShpSphere &s : spheres) {
        shp_number(&out, "", s.c[0]);
        shp_number(&out, " ", s.c[1]);
        shp_number(&out, " ", s.c[2]);
        shp_number(&out, " ", s.radius);
        shp_number(&out, " ", s.mu);
        shp_number(&out, " ", s.kp);
        shp_number(&out, " ", s.kd);
        out += '\n';
    }
    return out;
}

void shp_add_files(std::vector<ArchiveMember> *members) {
    for (int i = 0; i < SHP_COUNT; i++) members->push_back({k_shp_members[i], shp_image(shp_spheres((ShpFile)i))});
}
