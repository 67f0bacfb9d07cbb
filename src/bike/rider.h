// The rider on the bike: the springs that hold the rider body over the
// frame, crashing and getting back on, walking the bike backwards, putting
// a foot down, the dab assist that pushes a slow bike upright, and the
// foot points the drawing and the network state use. bike_update (bike.h)
// runs all of it in its fixed order.
//
// Owns: the rider and crash fields of each BikeState.
// Never: leaves a joint of its own behind after a step (every joint it
// makes is in the contact group).
#pragma once

#include <cstdint>

#include <ode/ode.h>

struct BikeState;

// What the bike update needs to know of the race; the race code keeps it.
struct BikeRaceInfo {
    int64_t start_tick;          // the race's start tick
    bool running;                // the race is under way
    int32_t crash_delay[16];     // extra ticks a crashed rider stays down, by crash count (a server sets them)
};
extern BikeRaceInfo g_bike_race;   // whole process; zero until a race sets it

// The timing gates a bike has passed in this race, for the realignment
// after a fall; none (no gates, no realignment) until the race code
// installs it.
typedef int (*BikeGatesPassed)(const BikeState *bike);
extern BikeGatesPassed g_bike_gates_passed;

// A soft distance limit: when the two points (each in its body's frame)
// are more than length apart, one contact joint pulls them together.
void rider_tether(dBodyID a, const float point_a[3], dBodyID b, const float point_b[3], float length);
// Pushes the body's horizontal velocity towards target with up to force.
void horizontal_velocity_servo(dBodyID body, float force, const float target[3]);
// The springs that hold the rider body over the frame (soft contacts
// between the two) and the rider mount's damping.
void rider_springs(BikeState *bike);
// Detaches the rider and starts the crash countdown.
void rider_crash(BikeState *bike);

// Where the feet go this moment (world points) and how far each is put
// down (0 on the peg, 1 on the ground).
void rider_foot_points(const BikeState *bike, float left[3], float *left_weight, float right[3],
                       float *right_weight);
// Stores the foot points of this moment in the bike, each moving with the
// rider body.
void rider_place_feet(BikeState *bike);
// The reach limits of a free foot with position p and velocity v, hip the
// world point of its hip on the rider body; p and v are updated.
void rider_leg_limits(const BikeState *bike, float p[3], float v[3], const float hip[3]);

// The permitted lean at frame speed s: 0 at rest, (1 - (1 - x)^exponent)
// limit up to 15 ft/s (x = s^2 / D^2), rising to 2 pi at the maximum dab
// speed D.
float permitted_lean(float s, float limit_angle, float max_dab_speed, int exponent);
