// Collisions other than the tyres' ground contact: shapes made of spheres,
// read from ".shp" files, against the terrain, against the track's static
// objects and against other bikes. Each touching pair becomes a soft
// contact joint for one step, or in one case a pair of penalty forces.
//
// Owns: the shape cache (whole process, freed by shapes_free), every shape
// instance handed out (freed by its owner with shape_instance_free), and
// the 8 x 8 bins of track objects.
// Never: allocates in the per-tick passes.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "bike/tire.h"

struct BikeState;
struct VfsFile;

enum {
    SHAPE_MAX_SPHERES = 4096,
    OBJECT_BINS = 8,
};

// How a sphere pair makes its contact.
enum SphereMode {
    SPHERE_TEST = -1,       // report only
    SPHERE_JOINT = 0,       // one soft contact joint
    SPHERE_PENALTY = 1,     // a pair of forces
};

// The parts of a bike, as bits of a part mask.
enum BikePartBit {
    PART_FRAME = 1,
    PART_FRONT_WHEEL = 2,
    PART_REAR_WHEEL = 4,
    PART_FORK_UPPER = 8,
    PART_FORK_LOWER = 16,
    PART_SWINGARM = 32,
    PART_RIDER = 64,
    PART_FRONT_END = PART_FRONT_WHEEL | PART_FORK_LOWER,
};

struct ShapeSphere {
    float centre[3];        // in the owning body's frame
    float radius, mu, kp, kd;
};

// A loaded shape, or an instance: a copy whose world[] holds the spheres'
// world centres during a test.
struct Shape {
    char *name;
    int count;
    ShapeSphere *spheres;
    float bound;            // largest |centre| + radius
    const Shape *source;    // for an instance: the cached shape; none for a cached one
    float *world;           // instance only: 3 floats a sphere
};

// Reads a shape file's text: "%d" spheres, each "%f %f %f" centre and
// "%f %f %f %f" radius, mu, kp, kd. False (nothing allocated) on a short or
// bad file, a count outside 1..SHAPE_MAX_SPHERES or a value not finite or a
// radius not positive.
bool shape_read(VfsFile *f, int *count, ShapeSphere **spheres);
// The cached load; none when the file is missing or bad.
Shape *shape_load(const char *name);
// A fresh instance of the cached shape; none when it does not load.
Shape *shape_instance(const char *name);
void shape_instance_free(Shape *instance);
void shapes_free();   // the cache, at exit (instances must be freed first)

// The deepest contact of a sphere with g_terrain's triangles; false when
// it does not touch.
bool sphere_terrain(const float centre[3], float radius, TireContact *out);
// Two spheres at world centres with their bodies (either may be none).
// With contact given, a touch also stores point, B's point velocity,
// normal and depth there.
bool sphere_sphere(const float ca[3], const ShapeSphere *a, dBodyID body_a, const float cb[3],
                   const ShapeSphere *b, dBodyID body_b, int mode, WheelState *contact);
// Every sphere of the instance at the pose (pos, rotation as dMatrix3)
// against the terrain; with a body, one contact joint each. True when any
// touched.
bool body_shape_terrain(Shape *instance, dBodyID body, const dReal *pos, const dReal *rotation);
// A tyre against another shape's spheres at the pose.
bool wheel_shape(WheelState *wheel, Shape *other, dBodyID other_body, const dReal *pos, const dReal *rotation,
                 int mode);
// Every part of the bike against one shape at the pose; the part mask of
// what touched. With steering_test_only the front wheel and both fork
// parts only report.
int bike_shape(BikeState *bike, Shape *other, dBodyID other_body, const dReal *pos, const dReal *rotation, int mode,
               bool steering_test_only);

// The crashed rider's shape against the bike's own other parts, with
// joints; the part mask of the parts it touched.
int bike_rider_collide(BikeState *bike);

// The bike's terrain collisions: both tyres and the body shapes; a rider
// upside down on the ground at speed crashes; sets touched. True when
// anything touched.
bool bike_terrain_pass(BikeState *bike);
// The bike against the track's objects in the bins around its frame.
void bike_objects_pass(BikeState *bike);
// How far from its frame any part of the bike reaches now (a crashed
// rider may lie well away from the bike).
float bike_reach(const BikeState *bike);
// Rider-to-rider collisions of one pair at this tick; the part mask of B
// that A touched (0 when they did not touch).
int bike_pair(BikeState *a, BikeState *b, bool wake_test, int64_t tick);
// Whether the bike at its pose touches the ground with a body shape or a
// track object (the placement test; installed as g_bike_place_test).
bool bike_touches_static(BikeState *bike);

// The track's static objects with shapes, binned 8 x 8 over the terrain.
// An object keeps the instance (owned by the caller) and its pose.
void objects_clear();
bool objects_add(Shape *instance, const float pos[3], const float rotation[9]);
int objects_count();
