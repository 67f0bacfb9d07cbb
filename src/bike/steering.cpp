// Steering: the torque about the steering axis that the rider's steer input
// becomes each tick. In normal physics the stability controller mixes roll
// damping, leveling, the roll limit, the lean-rate servo (or direct
// steering) and the front tyre's slip limit; in arcade physics a motor rolls
// the frame to a lean target and a servo holds the bars. The steering damper
// damps every rotation of the front wheel other than its spin.
//
// Owns: landing_damping and lock_proximity of each BikeState.
// Never: steers a crashed bike; keeps a joint beyond the step (the arcade
// motor lives in the contact group).
#include "bike/steering.h"

#include <cmath>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "track/terrain.h"

static const double k_quarter_pi = M_PI / 4.0;

static double clampd(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// Moves v towards 0 by step, stopping at 0.
static double shrink(double v, double step) {
    if (v > step) return v - step;
    if (v < -step) return v + step;
    return 0;
}

// The steering axis in the bike's own frame, unit length.
static void steering_axis(const BikeState *bike, double u[3]) {
    const BikeModelInfo *info = &bike->info;
    double len = 0;
    for (int i = 0; i < 3; i++) {
        u[i] = info->fork_upper_pos[i] - info->fork_lower_pos[i];
        len += u[i] * u[i];
    }
    len = sqrt(len);
    for (int i = 0; i < 3; i++) u[i] = len > 0 ? u[i] / len : (i == 1 ? 1 : 0);
}

// The front wheel's speed over the ground from its spin (ft/s, forward positive).
static double front_wheel_speed(const BikeState *bike) {
    return (bike->info.front_tire_ring_radius + bike->info.front_tire_section_radius) *
           dJointGetHingeAngleRate(bike->joints[JOINT_FRONT_AXLE]);
}

float front_slip_angle(const BikeState *bike) {
    double u[3];
    steering_axis(bike, u);
    const dReal *w = dBodyGetLinearVel(bike->bodies[BODY_FRONT_WHEEL]);
    dVector3 v;
    dBodyVectorFromWorld(bike->bodies[BODY_FORK_UPPER], w[0], w[1], w[2], v);
    // a: the wheel's rolling direction, square to the axle and the steering axis.
    double along = -u[2] * v[1] + u[1] * v[2];
    if (v[0] * v[0] + along * along <= 1) return 0;
    return (float)-atan2(v[0], -along);
}

float steering_lock_angle(const BikeState *bike, float vf, float mu0) {
    double sp = vf > 1 ? vf : 1;
    double fl = bike->full_lock_speed;
    double rl = bike->restricted_lock_speed > fl + 1 ? bike->restricted_lock_speed : fl + 1;
    double t = clampd((1 / sp - 1 / rl) / (1 / fl - 1 / rl), 0, 1);
    double mu = mu0 > 0.125f ? mu0 : 0.125;
    double la = bike->restricted_lock_angle / mu;
    if (la > k_quarter_pi) la = k_quarter_pi;
    return (float)(la + (k_quarter_pi - la) * t);
}

void steering_apply_torque(BikeState *bike, float tau) {
    double u[3];
    steering_axis(bike, u);
    dVector3 w;
    dBodyVectorToWorld(bike->bodies[BODY_FRAME], u[0], u[1], u[2], w);
    dBodyAddTorque(bike->bodies[BODY_FRONT_WHEEL], tau * w[0], tau * w[1], tau * w[2]);
    dBodyAddTorque(bike->bodies[BODY_FRAME], -tau * w[0], -tau * w[1], -tau * w[2]);
}

// The frame's roll rate: its angular velocity about its own z axis.
static double roll_rate(const BikeState *bike) {
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *w = dBodyGetAngularVel(frame);
    dVector3 local;
    dBodyVectorFromWorld(frame, w[0], w[1], w[2], local);
    return local[2];
}

void stability_controller(BikeState *bike) {
    bike->lock_proximity = 0;
    if (bike_is_crashed(bike)) return;

    const BikeModelInfo *info = &bike->info;
    const WheelState *front = &bike->wheels[0];
    double steer = bike->controls.steer;
    double fmax = bike->max_steering_force, fmin = -fmax;
    double direct = bike->steering_strength * steer * bike->direct_steering;

    double lean = bike_lean_angle(bike);
    double wz = roll_rate(bike);
    double delta = dJointGetHingeAngle(bike->joints[JOINT_STEERING]);
    double beta = front_slip_angle(bike);
    double front_rate = dJointGetHingeAngleRate(bike->joints[JOINT_FRONT_AXLE]);
    double vf = front_wheel_speed(bike);
    const dReal *fv = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
    double s = sqrt(fv[0] * fv[0] + fv[1] * fv[1] + fv[2] * fv[2]);
    const dReal *c = dBodyGetPosition(bike->bodies[BODY_FRONT_WHEEL]);
    double radius = info->front_tire_ring_radius + info->front_tire_section_radius;

    // The lock narrows with speed and on slippery ground.
    float mu0 = g_terrain.tiles[terrain_tile_at((float)c[0], (float)c[2])].friction[0];
    double lock = steering_lock_angle(bike, (float)vf, mu0);

    // Slip limit: near the ground, a front tyre sliding past the lock loses
    // the torque that would turn it further, down to a quarter against it.
    double gap = c[1] - terrain_height((float)c[0], (float)c[2]) - radius;
    if (vf > 1 && gap < 0.5) {
        double l = lock + (k_quarter_pi - lock) * clampd(2 * gap, 0, 1);
        double m = 1.125 * l + 0.015;
        if (beta > l) fmin = (1.25 * clampd((beta - m) / (l - m), 0, 1) - 0.25) * fmin;
        if (beta < -l) fmax = (1.25 * clampd((beta + m) / (m - l), 0, 1) - 0.25) * fmax;
    }

    double t;
    if (front->contact_depth <= 0 || front_rate <= k_quarter_pi) {
        // Airborne or nearly still: the bars return to centre, and the roll
        // damping is raised for the landing.
        bike->landing_damping = bike->landing_damping_factor;
        t = -50 * delta;
    } else {
        t = wz * bike->roll_damping * bike->landing_damping;
        if (bike->landing_damping > 1) {
            if (bike->landing_damping_falloff > 0)
                bike->landing_damping -=
                    (float)((bike->landing_damping_factor - 1) * PHYSICS_STEP / bike->landing_damping_falloff);
            if (bike->landing_damping < 1 || bike->landing_damping_falloff <= 0) bike->landing_damping = 1;
        }

        double level = lean * bike->leveling;
        if (s < bike->slow_damping_speed) {
            double k = bike->slow_damping_factor +
                       (1 - bike->slow_damping_factor) * clampd(s / bike->slow_damping_speed, 0, 1);
            t *= k;
            level *= k;
        }

        double limit = bike->roll_limit_angle;
        bool rolling_out = (wz < 0 && lean < 0) || (wz >= 0 && lean >= 0);
        if (rolling_out && fabs(lean) > limit) t *= 1 + (fabs(lean) - limit) * bike->roll_limit_factor;
        t += level;

        if (bike->direct_steering < 1) {
            // Lean-rate steering: a roll rate towards the lean the rider asks
            // for, within what this speed permits.
            double permitted = permitted_lean((float)s, (float)limit, bike->max_dab_speed, 4);
            double r = (-steer * permitted - lean) * 2.5;
            double rmax = (r < 0) != (lean < 0) && r != 0 && lean != 0 ? 3.125 * M_PI : 1.25 * M_PI;
            r = clampd(r, -rmax, rmax);
            double e = clampd(r - wz, -0.125, 0.125);
            double servo = clampd(4 * (wz - (r - e)), -1, 1);
            double strength = bike->steering_strength * servo;
            direct = (direct - strength) * bike->direct_steering + strength;
        }
    }

    // Collision relief: a rider just hit by another does not fight back hard.
    if (bike->collision_timer > 0) {
        double cap = 200 * clampd((192 - bike->collision_timer) / 192, 0, 1);
        t = clampd(t, -cap, cap);
    }

    double total = 1.5 * (t + direct);

    // How near the bars or the tyre's slip are to the lock, for the dab assist.
    double near = clampd((vf - 5) / 10, 0, 1);
    double a = 0.25 * lock * near, b = (0.125 + 0.625 * near) * lock;
    double x, y;
    if (lean >= 0) {
        x = clampd((-beta - a) / (b - a), 0, 1);
        y = clampd((delta - 0.2617994) * 3.8197186, 0, 1);
    } else {
        x = clampd((beta - a) / (b - a), 0, 1);
        y = clampd(-(delta + 0.2617994) * 3.8197186, 0, 1);
    }
    bike->lock_proximity = (float)(x > y ? x : y);

    total = total < fmin ? fmin : total > fmax ? fmax : total;
    steering_apply_torque(bike, (float)total);
}

void arcade_controller(BikeState *bike) {
    if (bike_is_crashed(bike)) return;
    dBodyID frame = bike->bodies[BODY_FRAME];
    double steer = bike->controls.steer;

    // Roll the frame towards the target lean.
    double lean = bike_lean_angle(bike);
    double target = -steer * k_quarter_pi;
    double c = clampd((bike->roll_damping - 40) * 0.025, 0, 1);
    double off = fabs(lean - target);
    double q = (1.5 - 0.5 * c) * (off < 1.0 / 16 ? off : 1.0 / 16) * 16;
    if (lean >= target) q = -q;
    dVector3 z;
    dBodyVectorToWorld(frame, 0, 0, 1, z);
    dJointID motor = dJointCreateAMotor(g_world, g_contact_group);
    dJointAttach(motor, frame, 0);
    dJointSetAMotorNumAxes(motor, 1);
    dJointSetAMotorAxis(motor, 0, 0, z[0], z[1], z[2]);
    dJointSetAMotorParam(motor, dParamVel, q);
    dJointSetAMotorParam(motor, dParamFMax, 1000);

    // Hold the bars at the slip angle, turned by the steer input.
    double delta = dJointGetHingeAngle(bike->joints[JOINT_STEERING]);
    double rate = dJointGetHingeAngleRate(bike->joints[JOINT_STEERING]);
    double theta = front_slip_angle(bike) - 0.5 * steer;
    double d = shrink(clampd(theta - delta, -0.25, 0.25), 1.0 / 32);
    double f = shrink(8 * d - rate, 1.0 / 2400);
    f = clampd(0.5 * f, -2.0 / 3, 2.0 / 3);
    steering_apply_torque(bike, (float)(bike->steering_strength * f));

    // Drag on a point 20 ft behind the bike keeps it running straight.
    dVector3 w;
    dBodyGetRelPointVel(frame, 0, 0, 20, w);
    dBodyAddForceAtRelPos(frame, -0.25 * w[0], -0.25 * w[1], -0.25 * w[2], 0, 0, 20);
}

void steering_damper(BikeState *bike) {
    dBodyID wheel = bike->bodies[BODY_FRONT_WHEEL];
    const float *axle = bike->wheels[0].axle;
    dVector3 a;
    dBodyVectorToWorld(wheel, axle[0], axle[1], axle[2], a);
    const dReal *w = dBodyGetAngularVel(wheel);
    double spin = a[0] * w[0] + a[1] * w[1] + a[2] * w[2];
    double k = bike->steering_damping;
    double t[3];
    for (int i = 0; i < 3; i++) t[i] = (a[i] * spin - w[i]) * k;
    dBodyAddTorque(wheel, t[0], t[1], t[2]);
    dBodyAddTorque(bike->bodies[BODY_FRAME], -t[0], -t[1], -t[2]);
}
