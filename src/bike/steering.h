// Steering: the rider steers only by a torque about the steering axis. The
// stability controller (or the arcade controller) turns the steer input,
// lean, roll rate, speed and front-tyre slip into that torque every tick;
// the steering damper damps every turn of the front wheel but its spin.
//
// Owns: landing_damping and lock_proximity of each BikeState.
// Never: steers a crashed bike.
#pragma once

struct BikeState;

// The front tyre's slip angle (0 when the wheel barely moves).
float front_slip_angle(const BikeState *bike);
// The lock angle at front wheel speed vf on ground whose first friction
// coefficient is mu0.
float steering_lock_angle(const BikeState *bike, float vf, float mu0);
// Applies tau about the steering axis: +tau on the front wheel, -tau on the frame.
void steering_apply_torque(BikeState *bike, float tau);
void stability_controller(BikeState *bike);
void arcade_controller(BikeState *bike);
void steering_damper(BikeState *bike);
