// One simulated motorcycle with its rider: seven rigid bodies joined by six
// joints in the shared physics world, its copy of the model parameters, its
// controls, drivetrain, suspension and riding-aid settings, and the
// resources it draws with.
//
// Owns: each BikeState from bike_create to bike_free, with its bodies,
// joints, lists, plate texture and model references.
// Never: runs anywhere but the main loop's thread; drops a body or joint
// while the world may still step it.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "bike/catalogue.h"
#include "bike/tire.h"
#include "files/texture.h"

struct Model;
struct Shape;

enum BikeBody {
    BODY_FRAME,
    BODY_FRONT_WHEEL,
    BODY_REAR_WHEEL,
    BODY_FORK_UPPER,    // steering
    BODY_FORK_LOWER,
    BODY_SWINGARM,
    BODY_RIDER,
    BIKE_BODIES,
};

enum BikeJoint {
    JOINT_FRONT_AXLE,      // hinge: fork lower, front wheel; motor = front brake
    JOINT_REAR_AXLE,       // hinge: swingarm, rear wheel; motor = rear brake
    JOINT_STEERING,        // hinge: fork upper, frame
    JOINT_FORK_SLIDE,      // slider: fork upper, fork lower; motor = fork force
    JOINT_SWINGARM_PIVOT,  // hinge: swingarm, frame; motor = shock torque
    JOINT_RIDER_MOUNT,     // hinge-2: rider, frame
    BIKE_JOINTS,
};

// The riding-aid option bits.
enum BikeAidFlag {
    AID_FRONT_ANTILOCK = 1,
    AID_REAR_ANTILOCK = 2,
    AID_WHEELIE_LIMIT = 4,    // Stop Wheelies "Yes"
    AID_STOPPIE_LIMIT = 8,    // Stop Wheelies "Yes" and "Front Only"
    AID_AUTO_SHIFT = 16,
    AID_AUTO_DAB = 32,
    AID_REALIGN = 64,
};

enum BikeModelPart {
    BIKE_MODEL_FRAME,
    BIKE_MODEL_SIDE_PLATES,
    BIKE_MODEL_FORK_UPPER,
    BIKE_MODEL_FRONT_PLATE,
    BIKE_MODEL_FORK_LOWER,
    BIKE_MODEL_SWINGARM,
    BIKE_MODEL_FRONT_WHEEL,
    BIKE_MODEL_REAR_WHEEL,
    BIKE_MODEL_RIDER_BODY,
    BIKE_MODEL_RIDER_BODY_FP,
    BIKE_MODEL_RIDER_PLATE,
    BIKE_MODEL_RIDER_HEAD,
    BIKE_MODELS,
};

enum BikeTextureSet {
    BIKE_TEXTURES_BIKE,
    BIKE_TEXTURES_WHEELS,
    BIKE_TEXTURES_RIDER_BODY,
    BIKE_TEXTURES_RIDER_HEAD,
    BIKE_TEXTURE_SETS,
};

enum {
    BIKE_PLATE_TEXT_MAX = 7,
    BIKE_PLATE_SIZE = 128,
    BIKE_LIST_ENTRY_BYTES = 16,
    BIKE_LISTS = 4,
};

// The control inputs of one bike; every setter clamps.
struct BikeControls {
    float steer;         // -1..1, positive to the right
    float throttle;      // 0..1
    float front_brake;   // 0..1
    float rear_brake;    // 0..1
    float clutch;        // 0..1, 1 = engaged (lever released)
    float dab;           // 0..1
    float back_up;       // 0..1
    float lean;          // -1..1, positive towards the rear
    int shift_request;   // -1, 0, +1: the last shift input
};

// A growable list of 16-byte entries kept for the race rules and lap timing.
struct BikeList {
    unsigned char *entries;
    int count;
    int capacity;
};

struct BikeState {
    BikeModelInfo info;              // copied from the catalogue at creation
    dBodyID bodies[BIKE_BODIES];
    dJointID joints[BIKE_JOINTS];
    dJointFeedback feedback[BIKE_JOINTS];
    WheelState wheels[2];            // front, rear
    BikeControls controls;

    // drivetrain
    int gear;                        // 0..5; 0 is first gear
    float engine_angle;              // rear-wheel radians, -pi..pi
    float engine_speed;              // crank rad/s
    float engine_inertia;
    float final_drive;               // rear / countershaft teeth

    // suspension settings
    float fork_compression, fork_rebound, fork_spring, fork_preload, fork_air_gap;
    float shock_compression, shock_rebound, shock_spring, shock_preload;

    // rider settings, 0..1
    float rider_vertical_spring, rider_vertical_damping, rider_forward_spring, rider_forward_damping;
    float rider_mass_distribution;   // d: the rider body carries d of the rider's mass

    float total_mass;                // of the seven bodies at creation

    // riding-aid settings
    float roll_damping, leveling, roll_limit_factor, roll_limit_angle;
    float steering_damping, steering_strength, max_steering_force, direct_steering;
    float slow_damping_speed, slow_damping_factor;
    float landing_damping_falloff, landing_damping_factor;
    float auto_clutch_rpm;
    float front_brake_torque, rear_brake_torque;
    float max_dab_speed;             // ft/s
    float full_lock_speed, restricted_lock_speed, restricted_lock_angle;
    uint8_t aid_flags;               // BikeAidFlag bits
    uint8_t arcade;                  // arcade physics on

    // crash state
    int crash_countdown;             // ticks; > 0 while crashed
    int crash_count;
    float crash_velocity[3];
    uint8_t fall_flags;

    float activity;                  // seconds of activity left; simulated only above 0.25
    float rider_velocity[4][3];      // the rider body's velocity by tick mod 4

    // rider and riding aids
    float dab_extension;             // 0..1: how far the foot is out
    float lock_proximity;            // 0..1: how near the steering is to its lock
    float landing_damping;           // multiplier on the roll damping, 1 when settled
    float collision_timer;           // set by rider-to-rider hits, relaxes towards 0 by 1 a tick
    bool touched;                    // a body shape touched the ground, or slow after the start
    bool realign_latch;              // realignment after a fall is off until the next reset
    float left_foot[3], left_foot_vel[3];     // foot points for drawing (world)
    float right_foot[3], right_foot_vel[3];
    int64_t last_collision_tick;     // rider-to-rider: -1 after a reset
    int64_t first_collision_tick;    // -1 until the first

    // resources
    Model *models[BIKE_MODELS];
    TextureId textures[BIKE_TEXTURE_SETS];
    TextureId normal_maps[BIKE_TEXTURE_SETS];
    TextureId specular_maps[BIKE_TEXTURE_SETS];
    char plate_text[BIKE_PLATE_TEXT_MAX + 1];
    TextureId plate_texture;         // 0 without a GL context
    uint8_t plate_background[3], plate_digits[3];
    Shape *shapes[BIKE_BODIES];          // physics shapes by body, none when missing

    BikeList lists[BIKE_LISTS];
    int slot;

    ErosionQueue erosion;

    // Where the bike was last placed on the track: a blown-up simulation
    // puts it back here.
    float place_pos[3];
    float place_heading;
    bool blown_up_logged;
};

// What bike_create may load: models and textures (and the plate texture)
// only with a GL context. The default is headless.
struct BikeOptions {
    bool graphics;
};
void bike_set_options(const BikeOptions *options);

// Builds a bike of the model (falling back as bike_info_choose says) in the
// physics world at its initial pose, active. Each texture name may be none
// for the model's own.
BikeState *bike_create(const char *model, int slot, const char *plate_text, const char *rider_texture,
                       const char *head_texture, const char *bike_texture, const char *wheel_texture);
void bike_free(BikeState *bike);

// Every body back at its initial position at rest; controls, drivetrain,
// crash state, contacts, queues and feedback zeroed; activity 1.
void bike_reset_pose(BikeState *bike);
// Sets every body's rotation to R(axis, angle) and its position to R times
// its current position (meant for a bike at its initial pose).
void bike_rotate(BikeState *bike, float ax, float ay, float az, float angle);
void bike_translate(BikeState *bike, float dx, float dy, float dz);

// The heading that makes a bike face the unit direction (dx, dz).
float bike_heading(float dx, float dz);
// Places the bike on g_terrain at (x, z) facing the heading: reset, rotate,
// lift onto the ground at the start cell, and raise it in 0.25 ft steps
// while a tyre sinks deep or a body shape touches the ground or a track
// object. Enables it.
void bike_place(BikeState *bike, float x, float z, float heading);

void bike_enable(BikeState *bike);
void bike_disable(BikeState *bike);
void bike_toggle_active(BikeState *bike);
void bike_decay_activity(BikeState *bike);
bool bike_is_active(const BikeState *bike);   // activity above 0.25

// Control setters: clamp and store. While crashed throttle, dab, back-up
// and lean are forced to 0 and shifting is ignored.
void bike_set_steer(BikeState *bike, float value);
void bike_set_throttle(BikeState *bike, float value);
void bike_set_front_brake(BikeState *bike, float value);
void bike_set_rear_brake(BikeState *bike, float value);
void bike_set_clutch(BikeState *bike, float value);
void bike_set_dab(BikeState *bike, float value);
void bike_set_back_up(BikeState *bike, float value);
void bike_set_lean(BikeState *bike, float value);
// Edge-triggered: acts only when the request differs from the last one.
void bike_shift(BikeState *bike, int request);
// The gear index one step from gear (-1 down, +1 up) over missing gears.
int bike_gear_step(const BikeModelInfo *info, int gear, int step);

bool bike_is_crashed(const BikeState *bike);
dBodyID bike_frame_body(const BikeState *bike);
const char *bike_name(const BikeState *bike);
const char *bike_engine_class(const BikeState *bike);
const char *bike_plate_text(const BikeState *bike);
float bike_engine_rpm(const BikeState *bike);
float bike_throttle(const BikeState *bike);
int bike_gear(const BikeState *bike);

// The frame's roll angle: upright 0, leaning to the rider's right negative.
float bike_lean_angle(const BikeState *bike);

// The update of one active bike after the step, adding the forces, motor
// settings and joints of the next step (rider.cpp gives the order).
void bike_update(BikeState *bike, int64_t tick);

// True when any body's position, rotation or velocity is not finite.
bool bike_blown_up(const BikeState *bike);
