// The bike catalogue: the fixed parameters of every bike model the game
// knows, compiled into the program, and the name lookup with its fallback.
//
// Units are the simulation's: feet, slugs, seconds, radians, pounds-force.
// A bike is described standing upright on y = 0 with its front wheel
// towards -z (forward), +y up and +x the rider's right.
//
// Owns: the catalogue table (read-only, whole process).
// Never: changes a row after start-up; every bike copies its row.
#pragma once

enum {
    BIKE_MODEL_COUNT = 45,
    BIKE_GEARS = 6,
    BIKE_TORQUE_POINTS = 50,   // one entry per 500 rpm from 0 to 24500
};

// The files every model names, in this order.
enum BikeFile {
    BIKE_FILE_FRAME_SHAPE,          // "@generic_frame.shp"
    BIKE_FILE_FORK_UPPER_SHAPE,
    BIKE_FILE_FORK_LOWER_SHAPE,
    BIKE_FILE_SWINGARM_SHAPE,
    BIKE_FILE_FRONT_WHEEL_SHAPE,    // "@front_wheel.shp"
    BIKE_FILE_REAR_WHEEL_SHAPE,
    BIKE_FILE_RIDER_SHAPE,          // "@generic_rider.shp"
    BIKE_FILE_FRAME_MODEL,          // "@" stem "_frame.vx"
    BIKE_FILE_FORK_UPPER_MODEL,
    BIKE_FILE_FORK_LOWER_MODEL,
    BIKE_FILE_SWINGARM_MODEL,
    BIKE_FILE_SIDE_PLATES_MODEL,
    BIKE_FILE_FRONT_PLATE_MODEL,
    BIKE_FILE_BIKE_TEXTURE,         // "@" stem ".png"
    BIKE_FILE_FRONT_WHEEL_MODEL,    // "@front_wheel.vx"
    BIKE_FILE_REAR_WHEEL_MODEL,
    BIKE_FILE_WHEEL_TEXTURE,        // "@wheels.png"
    BIKE_FILE_RIDER_HEAD_MODEL,     // "@rider_head.vx"
    BIKE_FILE_RIDER_HEAD_TEXTURE,
    BIKE_FILE_RIDER_BODY_MODEL,
    BIKE_FILE_RIDER_BODY_FP_MODEL,  // the first-person body
    BIKE_FILE_RIDER_BODY_TEXTURE,
    BIKE_FILE_RIDER_PLATE_MODEL,
    BIKE_FILE_COUNT,                // 23
};

// Where the drawn rider's hands, hips, feet and head attach, shared by all
// models (the drawing and the foot placement read them).
struct RiderPosePoints {
    float left_hand[3], right_hand[3];     // rider body
    float left_hip[3], right_hip[3];       // rider body
    float rider_hip[3];                    // rider body: the middle of the hips
    float left_grip[3], right_grip[3];     // fork upper body
    float left_peg[3], right_peg[3];       // frame
    float head_point[3];                   // rider body, drawing only
    float upper_arm, forearm, thigh, shin; // limb lengths
    const float *bone_origins;             // the skeleton's 9 rest points (27 floats), or none
};

// The fixed parameters of one bike model.
struct BikeModelInfo {
    const char *name;                 // display name, unique
    const char *engine_class;         // sound family: "450f", "250f", "250", "125", "50"

    float front_wheel_pos[3];
    float front_tire_ring_radius, front_tire_section_radius, front_tire_mass;
    float front_hub_radius, front_hub_mass;
    float rear_wheel_pos[3];
    float rear_tire_ring_radius, rear_tire_section_radius, rear_tire_mass;
    float rear_hub_radius, rear_hub_mass;
    float frame_pos[3];
    float frame_mass;                 // without the rider
    float frame_size[3];
    float fork_upper_pos[3];          // also the steering-head anchor
    float swingarm_pos[3];
    float swingarm_pivot[3];
    float fork_lower_pos[3];
    float fork_leg_spacing;           // a leg's radius is 1/8 of it
    float fork_length;
    float fork_mass;                  // each of the two fork bodies

    // suspension
    float fork_spring_min, fork_spring_max;         // both legs together, lbf/ft
    float fork_preload_min, fork_preload_max;       // ft
    float fork_air_gap_min, fork_air_gap_max;       // ft, at oil level 0 and 100
    float fork_compression_base, fork_rebound_base; // lbf per ft/s at the middle setting
    float fork_travel;                              // ft
    float swingarm_half_mass;                       // slugs; the swingarm weighs twice this
    float shock_spring_min, shock_spring_max;
    float shock_preload_min, shock_preload_max;
    float shock_compression_base, shock_rebound_base;
    float linkage_s1, linkage_s2;                   // stroke at the break point and at full travel
    float swingarm_max_angle;                       // rad; also the pivot's stop
    float linkage_break;                            // normalised travel of the break point
    float linkage_d0, linkage_d1, linkage_d2;       // stroke slopes at 0, the break and full travel

    // drivetrain
    float primary_ratio;
    float front_sprocket, rear_sprocket;            // standard teeth
    float gear_ratio[BIKE_GEARS];                   // -1: the model has no such gear
    float engine_inertia;                           // slug ft^2 at the crank
    float driveline_stiffness;                      // ft lbf per rad of wheel angle
    float driveline_damping;                        // ft lbf per rad/s
    float torque_closed[BIKE_TORQUE_POINTS];        // ft lbf at 0, 500 ... 24500 rpm
    float torque_open[BIKE_TORQUE_POINTS];
    float downshift_rpm, upshift_rpm, redline_rpm;

    // rider
    float rider_mount_dir[3];         // the compact state encoding's travel direction
    float rider_anchor_pos[3];        // rider body position
    float rider_mount_min, rider_mount_max;
    float rider_mass;
    RiderPosePoints pose;

    const char *files[BIKE_FILE_COUNT];
};

// The catalogue in search order, BIKE_MODEL_COUNT rows.
const BikeModelInfo *bike_catalogue();
// Exact name match in catalogue order; none when no row has the name.
const BikeModelInfo *bike_info_lookup(const char *name);
// The row bike_create uses: the exact match, else the first row whose name
// contains "125" when the name does, else the first containing "250f", else
// row 0. A fallback shows "bike info for '%.20s' not found using '%.20s'
// instead" on the console.
const BikeModelInfo *bike_info_choose(const char *name);
// The engine's cut-off speed: the rpm of the first full-throttle table
// entry at or below 0 after the positive ones (the top of the table when
// the torque never falls to 0).
float bike_info_cutoff_rpm(const BikeModelInfo *info);
