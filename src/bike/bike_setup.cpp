// The rider's bike setup turned into physical values: suspension rates and
// damping, gearing, brake torques, riding-aid values and option bits, and
// the split of the rider's mass between the frame and the rider body.
//
// Owns: the setting fields of each BikeState, g_setup_out_of_range and the
// time of the last refused setup.
// Never: changes a bike that is moving (the mechanic can't keep up).
#include <cmath>

#include "bike/bike.h"
#include "bike/drivetrain.h"
#include "core/console.h"
#include "core/settings.h"

// Whole process: raised by the first far-out setup value, never lowered.
bool g_setup_out_of_range;

// The game time of the last refusal; s_refused false until one happened
// (or after bike_setup_reset_refusals).
static bool s_refused;
static double s_last_refusal;

static const double k_pi = 3.14159265358979323846;

// Clamps v to lo..hi and raises the flag when v lies further outside than
// one eighth of the range's width.
static double setup_clamp(double v, double lo, double hi) {
    double margin = (hi - lo) / 8.0;
    if (v < lo - margin || v > hi + margin) g_setup_out_of_range = true;
    return v < lo ? lo : (v > hi ? hi : v);
}

static float setup_lerp(float lo, float hi, double t) { return (float)(lo + t * (hi - lo)); }

// rear / countershaft teeth, neither below 3.
static float setup_final_drive(float front, float rear) {
    double f = std::floor(front), r = std::floor(rear);
    if (f < 3.0) f = 3.0;
    if (r < 3.0) r = 3.0;
    return (float)(r / f);
}

// The damping multiplier of a 0..100 setting: 1 in the middle, half at 0,
// double at 100.
static double setup_damping_factor(double v) { return setup_clamp(std::pow(2.0, v / 50.0 - 1.0), 0.5, 2.0); }

static void setup_set_masses(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    float d = bike->rider_mass_distribution;
    dMass m;
    if (bike->bodies[BODY_FRAME]) {
        dMassSetBoxTotal(&m, info->frame_mass + (1.0f - d) * info->rider_mass, info->frame_size[0],
                         info->frame_size[1], info->frame_size[2]);
        dBodySetMass(bike->bodies[BODY_FRAME], &m);
    }
    if (bike->bodies[BODY_RIDER]) {
        dMassSetSphereTotal(&m, d * info->rider_mass, 1.0);
        dBodySetMass(bike->bodies[BODY_RIDER], &m);
    }
}

void bike_setup_defaults(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;

    bike->fork_compression = info->fork_compression_base;
    bike->fork_rebound = info->fork_rebound_base;
    bike->fork_spring = setup_lerp(info->fork_spring_min, info->fork_spring_max, 0.5);
    bike->fork_preload = setup_lerp(info->fork_preload_min, info->fork_preload_max, 0.5);
    bike->fork_air_gap = info->fork_air_gap_min;
    bike->shock_compression = info->shock_compression_base;
    bike->shock_rebound = info->shock_rebound_base;
    bike->shock_spring = setup_lerp(info->shock_spring_min, info->shock_spring_max, 0.5);
    bike->shock_preload = setup_lerp(info->shock_preload_min, info->shock_preload_max, 0.5);

    bike->final_drive = setup_final_drive(info->front_sprocket, info->rear_sprocket);
    bike->gear = 0;
    bike->engine_angle = 0.0f;
    bike->engine_speed = 0.0f;
    bike->engine_inertia = info->engine_inertia;

    bike->rider_vertical_spring = 0.5f;
    bike->rider_vertical_damping = 0.5f;
    bike->rider_forward_spring = 0.5f;
    bike->rider_forward_damping = 0.5f;
    bike->rider_mass_distribution = 1.0f / 3.0f;

    bike->leveling = 20.0f;
    bike->roll_damping = 60.0f;
    bike->roll_limit_factor = 10.0f;
    bike->roll_limit_angle = (float)(k_pi / 4.0);
    bike->steering_damping = 45.0f;
    bike->steering_strength = 75.0f;
    bike->max_steering_force = 400.0f;
    bike->direct_steering = 1.0f;
    bike->slow_damping_speed = 0.0f;
    bike->slow_damping_factor = 1.0f;
    bike->landing_damping_falloff = 0.25f;
    bike->landing_damping_factor = 2.0f;
    bike->auto_clutch_rpm = 5000.0f;
    bike->front_brake_torque = 250.0f;
    bike->rear_brake_torque = 250.0f;
    bike->max_dab_speed = 30.0f;
    bike->full_lock_speed = 10.0f;
    bike->restricted_lock_speed = 50.0f;
    bike->restricted_lock_angle = 0.0872665f;

    bike->aid_flags = AID_FRONT_ANTILOCK | AID_STOPPIE_LIMIT | AID_REALIGN;
    bike->arcade = 0;
}

void bike_setup_reset_refusals() {
    s_refused = false;
    s_last_refusal = 0.0;
}

bool bike_apply_setup(BikeState *bike, const BikeSetup *setup, double game_seconds, bool arcade_allowed) {
    dBodyID frame = bike->bodies[BODY_FRAME];
    if (frame) {
        const dReal *v = dBodyGetLinearVel(frame);
        if (std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) > 0.125) {
            if (!s_refused || game_seconds - s_last_refusal >= 10.0)
                console_message("Settings not applied.  Mechanic can't keep up error.");
            s_refused = true;
            s_last_refusal = game_seconds;
            return false;
        }
    }
    const BikeModelInfo *info = &bike->info;

    bike->leveling = (float)setup_clamp(setup->leveling.value, 0.0, 100.0);
    bike->roll_damping = (float)setup_clamp(setup->roll_damping.value, 0.0, 100.0);
    bike->roll_limit_angle = (float)setup_clamp(setup->roll_limit_angle.value * k_pi / 180.0, 0.0, k_pi);
    bike->roll_limit_factor = (float)setup_clamp(setup->roll_limit_factor.value, 0.0, 64.0);
    bike->steering_damping = (float)setup_clamp(setup->steering_damping.value, 0.0, 100.0);
    bike->steering_strength = (float)setup_clamp(setup->steering_strength.value, 0.0, 100.0);
    bike->max_steering_force = (float)setup_clamp(setup->max_steering_force.value, 0.0, 1000.0);

    bike->arcade = (setup->arcade.index == 1 && arcade_allowed) ? 1 : 0;
    uint8_t flags = 0;
    if (setup->front_brake.index == 1) flags |= AID_FRONT_ANTILOCK;
    if (setup->rear_brake.index == 1) flags |= AID_REAR_ANTILOCK;
    if (setup->stop_wheelies.index == 1) flags |= AID_WHEELIE_LIMIT | AID_STOPPIE_LIMIT;
    if (setup->stop_wheelies.index == 2) flags |= AID_STOPPIE_LIMIT;
    if (setup->auto_shift.index == 1) flags |= AID_AUTO_SHIFT;
    if (setup->auto_dab.index == 1) flags |= AID_AUTO_DAB;
    if (setup->auto_align.index == 1) flags |= AID_REALIGN;
    bike->aid_flags = flags;

    bike->direct_steering = (float)setup_clamp(setup->direct_steering.value, 0.0, 1.0);
    bike->slow_damping_speed = (float)setup_clamp(setup->slow_damping_speed.value, 0.0, 100.0);
    bike->slow_damping_factor = (float)setup_clamp(setup->slow_damping_factor.value, 1.0, 10.0);
    bike->landing_damping_falloff = (float)setup_clamp(setup->land_damping_falloff.value, 0.0, 0.5);
    bike->landing_damping_factor = (float)setup_clamp(setup->land_damping_factor.value, 1.0, 3.0);
    bike->full_lock_speed = (float)setup_clamp(setup->full_lock_speed.value, 1.0, 100.0);
    bike->restricted_lock_speed = (float)setup_clamp(setup->restricted_lock_speed.value, 1.0, 100.0);
    bike->restricted_lock_angle = (float)setup_clamp(setup->restricted_lock.value * k_pi / 180.0, 0.0, k_pi / 4.0);
    bike->auto_clutch_rpm = (float)setup_clamp(setup->auto_clutch_rpms.value, 0.0, 5000.0);
    bike->front_brake_torque = (float)setup_clamp(setup->brake_torque.value, 0.0, 500.0);
    bike->rear_brake_torque = (float)setup_clamp(setup->rear_brake_torque.value, 0.0, 500.0);
    bike->max_dab_speed = (float)setup_clamp(setup->max_dab_speed.value * 1.4666667, 7.0, 100.0);

    double front_offset = setup_clamp(setup->front_sprocket_adjustment.value, -2.0, 2.0);
    double rear_offset = setup_clamp(setup->rear_sprocket_adjustment.value, -2.0, 2.0);
    bike->final_drive =
        setup_final_drive((float)(info->front_sprocket + front_offset), (float)(info->rear_sprocket + rear_offset));

    bike->fork_compression = (float)(setup_damping_factor(setup->fork_compression_adjustment.value) *
                                     info->fork_compression_base);
    bike->fork_rebound = (float)(setup_damping_factor(setup->fork_rebound_adjustment.value) * info->fork_rebound_base);
    double t = setup_clamp(setup->fork_spring_rate_adjustment.value / 100.0, 0.0, 1.0);
    bike->fork_spring = setup_lerp(info->fork_spring_min, info->fork_spring_max, t);
    t = setup_clamp(setup->fork_preload_adjustment.value / 100.0, 0.0, 1.0);
    bike->fork_preload = setup_lerp(info->fork_preload_min, info->fork_preload_max, t);
    t = setup_clamp(setup->fork_oil_level_adjustment.value / 100.0, 0.0, 1.0);
    bike->fork_air_gap = setup_lerp(info->fork_air_gap_min, info->fork_air_gap_max, t);

    bike->shock_compression = (float)(setup_damping_factor(setup->shock_compression_adjustment.value) *
                                      info->shock_compression_base);
    bike->shock_rebound =
        (float)(setup_damping_factor(setup->shock_rebound_adjustment.value) * info->shock_rebound_base);
    t = setup_clamp(setup->shock_spring_rate_adjustment.value / 100.0, 0.0, 1.0);
    bike->shock_spring = setup_lerp(info->shock_spring_min, info->shock_spring_max, t);
    t = setup_clamp(setup->shock_preload_adjustment.value / 100.0, 0.0, 1.0);
    bike->shock_preload = setup_lerp(info->shock_preload_min, info->shock_preload_max, t);

    bike->rider_vertical_spring = (float)setup_clamp(setup->rider_yspring.value / 100.0, 0.0, 1.0);
    bike->rider_vertical_damping = (float)setup_clamp(setup->rider_ydamping.value / 100.0, 0.0, 1.0);
    bike->rider_forward_spring = (float)setup_clamp(setup->rider_zspring.value / 100.0, 0.0, 1.0);
    bike->rider_forward_damping = (float)setup_clamp(setup->rider_zdamping.value / 100.0, 0.0, 1.0);
    bike->rider_mass_distribution = (float)setup_clamp(setup->rider_mass_distribution.value, 0.33, 0.5);
    setup_set_masses(bike);
    return true;
}

float fork_spring_kg_per_mm(float lbf_per_ft) { return lbf_per_ft * 0.0007440820f; }
float shock_spring_kg_per_mm(float lbf_per_ft) { return lbf_per_ft * 0.001488164f; }
float feet_to_mm(float feet) { return feet * 304.8f; }
