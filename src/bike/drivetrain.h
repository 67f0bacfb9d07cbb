// What makes a bike ride besides its tyres: the fork and the rear shock
// through its linkage, the engine with its torque tables, clutch and
// gearbox, the brakes with antilock and the stoppie limiter, and the
// rider's setup turned into physical values.
//
// Each force acts through one joint motor or as a torque pair, recomputed
// every tick from the state the last step produced.
//
// Owns: the engine state and the setting fields of each BikeState, and the
// process-wide setup_out_of_range flag.
// Never: changes settings of a bike that is moving (the mechanic refuses).
#pragma once

#include <cstdint>

struct BikeState;
struct BikeModelInfo;
struct BikeSetup;

// Raised when any setup value was applied from further than one eighth of
// its range outside it; stays raised for the rest of the run.
extern bool g_setup_out_of_range;

// Writes every setup value into the bike, clamped, when the frame moves no
// faster than 0.125 ft/s; otherwise refuses with "Settings not applied.
// Mechanic can't keep up error." (shown at most once per 10 s of game time).
// arcade_allowed is false while the race server forbids arcade physics.
bool bike_apply_setup(BikeState *bike, const BikeSetup *setup, double game_seconds, bool arcade_allowed);
// The creation defaults of the setting fields (suspension midpoints,
// damping bases, aid values, brake torques, auto clutch).
void bike_setup_defaults(BikeState *bike);
// Forgets the last refusal time (a new process or test).
void bike_setup_reset_refusals();

// Shock stroke s(u) and slope s'(u) of the two-piece Hermite linkage curve
// at normalised travel u (0..1).
void shock_linkage(const BikeModelInfo *info, float u, float *stroke, float *slope);
// The fork force at slider position x (0 extended, -travel compressed) and
// rate v; the shock torque at swingarm angle theta and rate omega.
float fork_force(const BikeState *bike, float x, float v);
float shock_torque(const BikeState *bike, float theta, float omega);
void suspension_update(BikeState *bike);

// The crank torque at rpm for the throttle, without the wheelie limiter.
float engine_torque_at(const BikeModelInfo *info, float rpm, float throttle);
// The crank torque of the bike now, with the wheelie limiter.
float engine_torque(const BikeState *bike);
// Total reduction between crank and rear wheel in the current gear.
float bike_total_reduction(const BikeState *bike);
// The clutch engagement the drivetrain uses at crank rpm.
float effective_clutch(float clutch, float rpm, float auto_clutch_rpm);
void auto_shift_update(BikeState *bike, int64_t tick);
void drivetrain_update(BikeState *bike);
void brakes_update(BikeState *bike);

// Setup screen values.
float fork_spring_kg_per_mm(float lbf_per_ft);    // per leg
float shock_spring_kg_per_mm(float lbf_per_ft);
float feet_to_mm(float feet);
