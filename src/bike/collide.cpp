// A bike's collisions beyond the tyres' ground contact: its tyres and body
// shapes against another shape, the per-tick passes against the terrain and
// the track's objects, the rider-to-rider rules with their collision timer,
// and the placement's test for a bike standing in something solid.
//
// Owns: the track objects (their poses and bins) from objects_add until
// objects_clear; the instances they point at belong to the caller.
// Never: allocates in a per-tick pass (only objects_add grows its lists).
#include "bike/collide.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/memory.h"
#include "track/terrain.h"

// collide_shapes.cpp: the instance's world centres at a pose (position,
// rotation as dMatrix3).
void shape_place(Shape *instance, const dReal *pos, const dReal *rotation);

enum {
    COLLISION_TIMER_REAR_END = 256,   // a front end struck another bike elsewhere
    COLLISION_TIMER_HEAD_ON = 192,    // front end on front end
};

static const float k_objects_reach = 6;             // ft around the frame searched for objects
static const float k_fast_speed = 10, k_moving_speed = 5;   // ft/s, the rider-to-rider rules
static const float k_ground_crash_speed = 5;        // ft/s, a rider upside down on the ground
static const float k_object_crash_speed2 = 400;     // (ft/s)^2, a rider hitting an object

// The tyre as a sphere at its core circle's point nearest another sphere.
static const ShapeSphere k_tyre_sphere_material = {{0, 0, 0}, 0, 1, 25000, 2500};

// Part order of a bike as the part bits and passes name them.
static const int k_part_bit[BIKE_BODIES] = {
    PART_FRAME, PART_FRONT_WHEEL, PART_REAR_WHEEL, PART_FORK_UPPER, PART_FORK_LOWER, PART_SWINGARM, PART_RIDER,
};
// The bodies whose shapes collide as sphere sets (the tyres go as tori).
static const int k_body_parts[5] = {BODY_FRAME, BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM, BODY_RIDER};

static inline float length3(const dReal *v) { return (float)sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

static inline float distance3(const dReal *a, const dReal *b) {
    dReal d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return length3(d);
}

// --- a bike against one shape -------------------------------------------------------------

bool wheel_shape(WheelState *wheel, Shape *other, dBodyID other_body, const dReal *pos, const dReal *rotation,
                 int mode) {
    if (!wheel->body || !other || !other->world) return false;
    const dReal *wp = dBodyGetPosition(wheel->body);
    double R = wheel->ring_radius, r = wheel->section_radius;
    if (distance3(wp, pos) > R + r + other->bound) return false;
    shape_place(other, pos, rotation);
    dVector3 axle;
    dBodyVectorToWorld(wheel->body, wheel->axle[0], wheel->axle[1], wheel->axle[2], axle);
    double a[3] = {axle[0], axle[1], axle[2]};
    double alen = sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    if (!(alen > 0)) return false;
    a[0] /= alen, a[1] /= alen, a[2] /= alen;
    double c[3] = {wp[0], wp[1], wp[2]};
    ShapeSphere tyre = k_tyre_sphere_material;
    tyre.radius = (float)r;
    // Test-only hits leave the wheel's ground record alone.
    WheelState *record = mode == SPHERE_TEST ? nullptr : wheel;
    bool touched = false;
    for (int i = 0; i < other->count; i++) {
        const float *w = &other->world[3 * i];
        double q[3] = {w[0], w[1], w[2]}, p[3];
        wheel_circle_point(c, a, R, q, p);
        float pf[3] = {(float)p[0], (float)p[1], (float)p[2]};
        if (sphere_sphere(pf, &tyre, wheel->body, w, &other->spheres[i], other_body, mode, record)) touched = true;
    }
    return touched;
}

// One body's sphere set against the other shape (already placed): true
// when any pair touched.
static bool part_shape(Shape *part, dBodyID body, Shape *other, dBodyID other_body, const dReal *other_pos,
                       int mode) {
    const dReal *bp = dBodyGetPosition(body);
    if (distance3(bp, other_pos) > part->bound + other->bound) return false;
    shape_place(part, bp, dBodyGetRotation(body));
    bool touched = false;
    for (int i = 0; i < part->count; i++) {
        for (int k = 0; k < other->count; k++) {
            if (sphere_sphere(&part->world[3 * i], &part->spheres[i], body, &other->world[3 * k], &other->spheres[k],
                              other_body, mode, nullptr))
                touched = true;
        }
    }
    return touched;
}

// Every part of the bike but those in skip against the shape.
static int bike_shape_parts(BikeState *bike, Shape *other, dBodyID other_body, const dReal *pos,
                            const dReal *rotation, int mode, bool steering_test_only, int skip) {
    if (!other || !other->world) return 0;
    int steer_mode = steering_test_only ? SPHERE_TEST : mode;
    int mask = 0;
    for (int w = 0; w < 2; w++) {
        int bit = w == 0 ? PART_FRONT_WHEEL : PART_REAR_WHEEL;
        if (skip & bit) continue;
        if (wheel_shape(&bike->wheels[w], other, other_body, pos, rotation, w == 0 ? steer_mode : mode)) mask |= bit;
    }
    shape_place(other, pos, rotation);
    for (int body : k_body_parts) {
        Shape *part = bike->shapes[body];
        int bit = k_part_bit[body];
        if (!part || !part->world || (skip & bit) || part == other) continue;
        bool steering = body == BODY_FORK_UPPER || body == BODY_FORK_LOWER;
        if (part_shape(part, bike->bodies[body], other, other_body, pos, steering ? steer_mode : mode)) mask |= bit;
    }
    return mask;
}

int bike_shape(BikeState *bike, Shape *other, dBodyID other_body, const dReal *pos, const dReal *rotation, int mode,
               bool steering_test_only) {
    return bike_shape_parts(bike, other, other_body, pos, rotation, mode, steering_test_only, 0);
}

int bike_rider_collide(BikeState *bike) {
    dBodyID rider = bike->bodies[BODY_RIDER];
    Shape *shape = bike->shapes[BODY_RIDER];
    if (!rider || !shape) return 0;
    return bike_shape_parts(bike, shape, rider, dBodyGetPosition(rider), dBodyGetRotation(rider), SPHERE_JOINT,
                            false, PART_RIDER);
}

// --- the terrain pass -------------------------------------------------------------------

static bool body_touches_ground(BikeState *bike, int body, bool joints) {
    dBodyID b = bike->bodies[body];
    if (!b || !bike->shapes[body]) return false;
    return body_shape_terrain(bike->shapes[body], joints ? b : nullptr, dBodyGetPosition(b), dBodyGetRotation(b));
}

bool bike_terrain_pass(BikeState *bike) {
    float friction = wheel_friction_factor(bike->arcade != 0, bike_lean_angle(bike));
    bool touched = wheel_ground_contact(&bike->wheels[0], friction);
    if (wheel_ground_contact(&bike->wheels[1], friction)) touched = true;
    int mask = 0;
    for (int body : k_body_parts) {
        if (body_touches_ground(bike, body, true)) mask |= k_part_bit[body];
    }
    if (mask) touched = true;
    dBodyID rider = bike->bodies[BODY_RIDER];
    if ((mask & PART_RIDER) && dBodyGetRotation(rider)[5] < 0 &&
        length3(dBodyGetLinearVel(rider)) > k_ground_crash_speed && !bike_is_crashed(bike))
        rider_crash(bike);
    if (mask & (PART_FORK_UPPER | PART_FORK_LOWER | PART_SWINGARM | PART_RIDER)) bike->touched = true;
    return touched;
}

// --- the track's objects ------------------------------------------------------------------

struct TrackObject {
    Shape *shape;
    dVector3 pos;
    dMatrix3 rotation;
    uint32_t visited;   // the pass that last tested it
};

// An object's index in each bin its bounding circle reaches.
struct ObjectBin {
    int *objects;
    int count, capacity;
};

// Filled by objects_add while a track loads, emptied by objects_clear.
static TrackObject *s_objects;
static int s_object_count, s_object_capacity;
static ObjectBin s_bins[OBJECT_BINS][OBJECT_BINS];
static uint32_t s_visit;   // counts object searches, to test each object once per search

void objects_clear() {
    free(s_objects);
    s_objects = nullptr;
    s_object_count = s_object_capacity = 0;
    for (auto &row : s_bins) {
        for (ObjectBin &bin : row) {
            free(bin.objects);
            bin = ObjectBin();
        }
    }
}

int objects_count() { return s_object_count; }

// The bin column (or row) of a coordinate, the field's edges extended.
static int bin_of(float v) {
    float size = g_terrain.world_size;
    if (!(size > 0) || !(v == v)) return 0;
    float f = floorf(v / size * OBJECT_BINS);
    return f < 0 ? 0 : f > OBJECT_BINS - 1 ? OBJECT_BINS - 1 : (int)f;
}

bool objects_add(Shape *instance, const float pos[3], const float rotation[9]) {
    if (!instance || !instance->world) return false;
    for (int k = 0; k < 3; k++) {
        if (!std::isfinite(pos[k])) return false;
    }
    if (s_object_count == s_object_capacity) {
        s_object_capacity = s_object_capacity ? 2 * s_object_capacity : 16;
        s_objects = (TrackObject *)mem_realloc(s_objects, (size_t)s_object_capacity * sizeof *s_objects);
    }
    int index = s_object_count++;
    TrackObject *o = &s_objects[index];
    memset(o, 0, sizeof *o);
    o->shape = instance;
    for (int k = 0; k < 3; k++) {
        o->pos[k] = pos[k];
        for (int m = 0; m < 3; m++) o->rotation[4 * k + m] = rotation[3 * k + m];
    }
    float b = instance->bound;
    int i0 = bin_of(pos[0] - b), i1 = bin_of(pos[0] + b), j0 = bin_of(pos[2] - b), j1 = bin_of(pos[2] + b);
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            ObjectBin *bin = &s_bins[j][i];
            if (bin->count == bin->capacity) {
                bin->capacity = bin->capacity ? 2 * bin->capacity : 16;
                bin->objects = (int *)mem_realloc(bin->objects, (size_t)bin->capacity * sizeof *bin->objects);
            }
            bin->objects[bin->count++] = index;
        }
    }
    return true;
}

// The bike against every object in the bins that the square of
// +-k_objects_reach around its frame overlaps, each object once. With
// joints, a rider hitting one fast crashes; in test mode the search stops
// at the first touch. True when anything touched.
static bool objects_near(BikeState *bike, int mode) {
    if (s_object_count == 0) return false;
    const dReal *p = dBodyGetPosition(bike->bodies[BODY_FRAME]);
    float x = (float)p[0], z = (float)p[2];
    int i0 = bin_of(x - k_objects_reach), i1 = bin_of(x + k_objects_reach);
    int j0 = bin_of(z - k_objects_reach), j1 = bin_of(z + k_objects_reach);
    uint32_t stamp = ++s_visit;
    bool touched = false;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            const ObjectBin *bin = &s_bins[j][i];
            for (int k = 0; k < bin->count; k++) {
                TrackObject *o = &s_objects[bin->objects[k]];
                if (o->visited == stamp) continue;
                o->visited = stamp;
                int mask = bike_shape(bike, o->shape, nullptr, o->pos, o->rotation, mode, false);
                if (!mask) continue;
                touched = true;
                if (mode == SPHERE_TEST) return true;
                if ((mask & PART_RIDER) && !bike_is_crashed(bike)) {
                    const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_RIDER]);
                    if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] > k_object_crash_speed2) rider_crash(bike);
                }
            }
        }
    }
    return touched;
}

void bike_objects_pass(BikeState *bike) { objects_near(bike, SPHERE_JOINT); }

bool bike_touches_static(BikeState *bike) {
    for (int body : k_body_parts) {
        if (body_touches_ground(bike, body, false)) return true;
    }
    return objects_near(bike, SPHERE_TEST);
}

// --- rider against rider --------------------------------------------------------------------

float bike_reach(const BikeState *bike) {
    const dReal *frame = dBodyGetPosition(bike->bodies[BODY_FRAME]);
    float reach = 0;
    for (int body = 0; body < BIKE_BODIES; body++) {
        float bound = bike->shapes[body] ? bike->shapes[body]->bound : 0;
        if (body == BODY_FRONT_WHEEL || body == BODY_REAR_WHEEL) {
            const WheelState *w = &bike->wheels[body == BODY_FRONT_WHEEL ? 0 : 1];
            bound = fmaxf(bound, w->ring_radius + w->section_radius);
        }
        if (bound <= 0) continue;
        reach = fmaxf(reach, distance3(dBodyGetPosition(bike->bodies[body]), frame) + bound);
    }
    return reach;
}

int bike_pair(BikeState *a, BikeState *b, bool wake_test, int64_t tick) {
    // Two bikes farther apart than their reaches cannot touch; most pairs
    // of a field end here.
    if (distance3(dBodyGetPosition(a->bodies[BODY_FRAME]), dBodyGetPosition(b->bodies[BODY_FRAME])) >
        bike_reach(a) + bike_reach(b))
        return 0;
    int mode = a->last_collision_tick == tick || b->last_collision_tick == tick ? SPHERE_PENALTY : SPHERE_JOINT;
    static const int order[BIKE_BODIES] = {BODY_FRONT_WHEEL, BODY_REAR_WHEEL, BODY_FRAME,   BODY_FORK_UPPER,
                                           BODY_FORK_LOWER,  BODY_SWINGARM,   BODY_RIDER};
    int hit = 0, front_end = 0;
    for (int body : order) {
        Shape *shape = a->shapes[body];
        dBodyID b_body = a->bodies[body];
        if (!shape || !b_body) continue;
        bool test_only = body == BODY_REAR_WHEEL || body == BODY_FRAME || body == BODY_SWINGARM || body == BODY_RIDER
                             ? wake_test
                             : false;
        int mask = bike_shape(b, shape, b_body, dBodyGetPosition(b_body), dBodyGetRotation(b_body), mode, test_only);
        if (!mask) continue;
        hit |= mask;
        if (k_part_bit[body] & PART_FRONT_END) front_end |= k_part_bit[body];
    }
    if (!hit) return 0;

    float speed_a = length3(dBodyGetLinearVel(a->bodies[BODY_FRAME]));
    float speed_b = length3(dBodyGetLinearVel(b->bodies[BODY_FRAME]));
    bool fast_a = speed_a >= k_fast_speed, fast_b = speed_b >= k_fast_speed;
    if (front_end == 0) {
        if ((hit & PART_FRONT_END) && !bike_is_crashed(a) && speed_a >= k_moving_speed && fast_b)
            b->collision_timer = fmaxf(b->collision_timer, COLLISION_TIMER_REAR_END);
    } else if ((front_end & hit) == 0) {
        if (!bike_is_crashed(b) && speed_b >= k_moving_speed && fast_a)
            a->collision_timer = fmaxf(a->collision_timer, COLLISION_TIMER_REAR_END);
    } else {
        if (fast_a) a->collision_timer = fmaxf(a->collision_timer, COLLISION_TIMER_HEAD_ON);
        if (fast_b) b->collision_timer = fmaxf(b->collision_timer, COLLISION_TIMER_HEAD_ON);
    }
    BikeState *both[2] = {a, b};
    for (BikeState *bike : both) {
        bike->last_collision_tick = tick;
        if (bike->first_collision_tick < 0) bike->first_collision_tick = tick;
    }
    return hit;
}
