// Tyres on the ground: the one contact per wheel and tick where the tyre, a
// torus, sinks deepest into the height field; the soft contact joint made
// from it with the friction of the surface tile underneath; rolling
// resistance; and what the wheels hand to the roost and erosion code.
//
// Owns: nothing beyond the WheelState records inside each bike.
// Never: allocates, or makes more than one contact joint per wheel and tick.
#pragma once

#include <cstdint>

#include <ode/ode.h>

struct BikeState;

enum {
    EROSION_QUEUE_SLOTS = 1024,   // one slot is always kept free
};

// One wheel's tyre and the contact of the last contact pass.
struct WheelState {
    dBodyID body;
    float axle[3];                // in the body's frame: (1, 0, 0)
    float ring_radius;            // R: the ring the section centres lie on
    float section_radius;         // r: the tyre's cross-section
    float contact_pos[3];         // world
    float contact_vel[3];         // the wheel body's velocity at the contact point
    float contact_normal[3];      // unit, out of the ground
    float contact_depth;          // 0: not on the ground
    dJointFeedback feedback;      // what the contact joint applied in the last step
};

// One erosion sample: where, and the horizontal ground force scaled by the
// wheel's speed factor.
struct ErosionSample {
    float x, z, fx, fz;
};

struct ErosionQueue {
    ErosionSample samples[EROSION_QUEUE_SLOTS];
    int read, write;              // empty when equal; full when write + 1 == read (mod slots)
};

// The result of a torus or sphere test against one triangle or the field.
struct TireContact {
    float depth;                  // > 0 when touching
    float point[3];
    float normal[3];              // unit, from the point towards the tyre's core
};

// The torus (centre c, unit axle a, core radius R, tube radius r) against the
// closed triangle v0 v1 v2: depth = r - the smallest distance between the
// core circle and the triangle (may be negative), the triangle's point
// nearest to the circle and the normal from it towards the circle (the
// face normal, oriented towards the circle, when the nearest point lies
// inside the face). Returns the depth.
float wheel_torus_triangle(const double c[3], const double a[3], double R, double r, const double v0[3],
                           const double v1[3], const double v2[3], TireContact *out);

// The point of the core circle (c, a, R) nearest to q (a point on the axle
// takes a fixed fallback direction).
void wheel_circle_point(const double c[3], const double a[3], double R, const double q[3], double out[3]);

// The deepest contact of the wheel's tyre with g_terrain's triangles, with
// the normal corrected to point upwards; false when nothing touches.
bool wheel_find_contact(const WheelState *wheel, TireContact *out);

// The contact pass of one wheel: finds the contact, stores it in the wheel,
// makes the soft contact joint in the contact group with the tile's friction
// times friction_factor, and adds the rolling resistance. False (and depth
// 0) when the wheel does not touch.
bool wheel_ground_contact(WheelState *wheel, float friction_factor);

// The soft contact parameters of a sinkage depth / section radius (clamped
// to 0..1): kp = 1000 + 24000 k^3, kd = 200 + 2300 k^3, and the ERP and CFM
// they give with the simulation step.
struct SoftContact {
    double kp, kd, erp, cfm;
};
SoftContact wheel_soft_contact(double depth, double section_radius);

// The first friction direction of a contact: normal x velocity, else normal
// x axle when that is too short; false when both are degenerate.
bool wheel_friction_direction(const float normal[3], const float velocity[3], const float axle_world[3],
                              float out[3]);

// The rolling resistance force (world, to add to the wheel body) of a wheel
// moving with velocity v over ground with normal n, on tile, at sinkage k.
void wheel_rolling_resistance(const float v[3], const float n[3], int tile, float k, float out[3]);

// The friction factor of the contact pass: 1, or with arcade physics
// 1 - 0.375 min(1, 4 |lean| / pi).
float wheel_friction_factor(bool arcade, float lean);

// Adds one erosion sample of the wheel to the bike's queue (after the step,
// only while terrain erosion is on).
void wheel_queue_erosion(BikeState *bike, const WheelState *wheel);
// Takes the oldest sample; false when the queue is empty.
bool erosion_queue_peek(const ErosionQueue *q, ErosionSample *out);
void erosion_queue_pop(ErosionQueue *q);

// The number of roost emissions of one wheel this tick for a roost
// frequency: frequency div 100, plus one when random mod 100 < frequency mod 100.
int roost_emission_count(int frequency, uint32_t random);

// The roost generator the deformation code installs: called for every wheel
// of every bike before the world step (front spread pi/8, rear 2 pi). None
// until a generator exists.
typedef void (*RoostEmitHook)(WheelState *wheel, bool contacts_valid, int emissions, float spread);
extern RoostEmitHook g_roost_emit;   // whole process; set once at start-up
