// The physics world every bike lives in: one ODE world with gravity and the
// contact group, stepped once per game tick, and the physics part of a
// tick in its fixed order.
//
// Owns: g_world and g_contact_group from physics_init to physics_shutdown.
// Never: uses the iterative stepper, or steps with anything but one tick.
#pragma once

#include <cstdint>

#include <ode/ode.h>

struct BikeState;

#define PHYSICS_STEP (1.0 / 128.0)
#define PHYSICS_MAX_BIKES 256   // rider-to-rider collisions among the first this many
#define PHYSICS_GRAVITY 32.0

// Whole process: made by physics_init at start-up, destroyed at shut-down.
extern dWorldID g_world;
extern dJointGroupID g_contact_group;   // emptied after every step

// Starts ODE and makes the world. False (with a log line) when the library
// is not built in double precision.
bool physics_init();
void physics_shutdown();
bool physics_ready();

// What the tick needs beyond the bikes: the roost frequency setting and the
// erosion switch.
struct PhysicsTickOptions {
    int roost_frequency;     // "--roostfrequency", 1000 by default
    bool erosion;            // the terrain erosion setting is above 0
    bool collisions;         // rider-to-rider collisions (off in warm-up)
};

// One tick of the bikes' physics in its fixed order: the contact pass of
// every active bike (tyres, body shapes, objects), rider-to-rider
// collisions of every pair, roost emission, the world step and emptying the
// contact group, erosion samples, then each bike's update for the next
// step. Bikes are given in slot order; none entries are skipped. A bike
// whose state stops being finite is put back where it was placed.
void physics_tick(BikeState *const *bikes, int count, int64_t tick, const PhysicsTickOptions *options);

// The pieces of physics_tick, for a caller that runs the tick in an order
// of its own (the race step). Each takes one bike (never none).
// Puts a bike whose state is no longer finite back where it was placed.
void physics_bike_recover(BikeState *bike, int64_t tick);
// Tyres and body shapes against the ground, then the track's objects.
void physics_contact_pass(BikeState *bike);
// The roost emissions of both wheels.
void physics_bike_roost(BikeState *bike, int roost_frequency);
// One world step, then the contact group emptied.
void physics_world_step();
// One erosion sample of each wheel.
void physics_bike_erosion(BikeState *bike);

// The per-tick random numbers of the roost count, from the race generator.
uint32_t physics_random();
