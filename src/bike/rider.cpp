// The rider on the bike: the springs that hold the rider body at its place
// over the frame, the riding aids (backing up, the automatic dab, the dab
// assist, realignment after a fall), crashing and getting back on, and the
// order of the per-tick bike update.
//
// Owns: the rider and crash fields of each BikeState, and the rider
// velocity ring.
// Never: keeps a joint of its own beyond one step. The springs, tethers
// and motors are contact-group joints made anew every tick, so their
// stiffness can follow the rider's setup and inputs from tick to tick.
#include <cmath>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/steering.h"
#include "robots/lines.h"
#include "track/terrain.h"

BikeRaceInfo g_bike_race;
BikeGatesPassed g_bike_gates_passed;

static const double k_pi = 3.14159265358979323846;

static float clampf(float x, float lo, float hi) { return x < lo ? lo : x > hi ? hi : x; }

static double length3(const double v[3]) { return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

static double body_speed(dBodyID body) {
    const dReal *v = dBodyGetLinearVel(body);
    return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The frame-relative point where the rider body sits when mounted.
static void mount_point(const BikeState *bike, float out[3]) {
    for (int i = 0; i < 3; i++) out[i] = bike->info.rider_anchor_pos[i] - bike->info.frame_pos[i];
}

void rider_tether(dBodyID a, const float point_a[3], dBodyID b, const float point_b[3], float length) {
    dVector3 pa, pb;
    dBodyGetRelPointPos(a, point_a[0], point_a[1], point_a[2], pa);
    dBodyGetRelPointPos(b, point_b[0], point_b[1], point_b[2], pb);
    double n[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
    double d = length3(n);
    if (d <= length) return;
    const double h = PHYSICS_STEP, kp = 5000, kd = 500;
    dContact c = {};
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    c.surface.soft_cfm = 1.0 / (h * kp + kd);
    c.surface.soft_erp = h * kp * c.surface.soft_cfm;
    // The normal keeps its length d: the pull grows with the stretch.
    for (int i = 0; i < 3; i++) {
        c.geom.pos[i] = pa[i];
        c.geom.normal[i] = n[i];
    }
    c.geom.depth = d - length;
    dJointID j = dJointCreateContact(g_world, g_contact_group, &c);
    dJointAttach(j, a, b);
}

void horizontal_velocity_servo(dBodyID body, float force, const float target[3]) {
    const dReal *v = dBodyGetLinearVel(body);
    double e[3] = {v[0] - target[0], v[1] - target[1], v[2] - target[2]};
    double len = length3(e);
    if (len < 0.25) return;
    double k = clampf((float)((len - 0.25) * 0.8), 0, 1);
    dBodyAddForce(body, -k * force * e[0] / len, 0, -k * force * e[2] / len);
}

float permitted_lean(float s, float limit_angle, float max_dab_speed, int exponent) {
    if (s <= 0) return 0;
    double s2 = (double)s * s, d2 = (double)max_dab_speed * max_dab_speed;
    if (s2 <= 225) {
        double x = d2 > 0 ? s2 / d2 : 1;
        x = x < 0 ? 0 : x > 1 ? 1 : x;
        return (float)((1 - pow(1 - x, exponent)) * limit_angle);
    }
    if (s2 < d2) {
        double k = (s2 - 225) / (d2 - 225);
        k = k < 0 ? 0 : k > 1 ? 1 : k;
        return (float)(limit_angle + (2 * k_pi - limit_angle) * k);
    }
    return (float)(2 * k_pi);
}

static void rider_contact(BikeState *bike, const dReal *pos, const dReal *axis, float error, double kp, double kd) {
    double h = PHYSICS_STEP;
    dContact c = {};
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    c.surface.soft_erp = h * kp / (h * kp + kd);
    c.surface.soft_cfm = 1.0 / (h * kp + kd);
    double sign = error >= 0 ? 1 : -1;
    for (int i = 0; i < 3; i++) {
        c.geom.pos[i] = pos[i];
        c.geom.normal[i] = axis[i] * sign;
    }
    c.geom.depth = fabsf(error);
    dJointID j = dJointCreateContact(g_world, g_contact_group, &c);
    dJointAttach(j, bike->bodies[BODY_RIDER], bike->bodies[BODY_FRAME]);
}

void rider_springs(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *r = dBodyGetRotation(frame);
    const dReal y_axis[3] = {r[1], r[5], r[9]}, z_axis[3] = {r[2], r[6], r[10]};
    dVector3 anchor;
    dBodyGetRelPointPos(frame, info->rider_anchor_pos[0] - info->frame_pos[0],
                        info->rider_anchor_pos[1] - info->frame_pos[1], info->rider_anchor_pos[2] - info->frame_pos[2],
                        anchor);
    const dReal *p = dBodyGetPosition(bike->bodies[BODY_RIDER]);
    double d[3] = {anchor[0] - p[0], anchor[1] - p[1], anchor[2] - p[2]};
    float dz = (float)(d[0] * z_axis[0] + d[1] * z_axis[1] + d[2] * z_axis[2]);
    float dy = (float)(d[0] * y_axis[0] + d[1] * y_axis[1] + d[2] * y_axis[2]);
    float kr = 0.2133333f * info->rider_mass;
    const BikeControls *in = &bike->controls;

    float target = (0.5f + 0.5f * in->dab) * dy - in->lean;
    target = target < -0.75f ? -0.75f : target > 0.75f ? 0.75f : target;
    float e = dz - target;
    double kp, kd;
    if (dz >= -0.75f && dz < 0.75f) kp = kr * (600.0 * bike->rider_forward_spring + 100.0 * fabsf(e)), kd = 0;
    else kp = kd = 2500.0 * kr;
    if (kp > 0) rider_contact(bike, p, z_axis, e, kp, kd);

    float v = dy + 0.125f - 0.5f * in->dab;
    if (dy >= -0.75f && dy <= 0.5f) kp = kr * 400.0 * bike->rider_vertical_spring, kd = kr * 100.0 * bike->rider_vertical_damping;
    else kp = kd = 2500.0 * kr;
    if (kp + kd > 0) rider_contact(bike, p, y_axis, v, kp, kd);

    dJointSetHinge2Param(bike->joints[JOINT_RIDER_MOUNT], dParamSuspensionERP, 0);
    dJointSetHinge2Param(bike->joints[JOINT_RIDER_MOUNT], dParamSuspensionCFM,
                         1.0 / (kr * (30.0 * bike->rider_forward_damping + 5.0)));
}

// A one-axis motor between the frame and the static world that turns the
// frame about world up at vel, with up to fmax.
static void yaw_motor(BikeState *bike, double vel, double fmax) {
    dJointID j = dJointCreateAMotor(g_world, g_contact_group);
    dJointAttach(j, bike->bodies[BODY_FRAME], 0);
    dJointSetAMotorNumAxes(j, 1);
    dJointSetAMotorAxis(j, 0, 0, 0, 1, 0);
    dJointSetAMotorParam(j, dParamVel, vel);
    dJointSetAMotorParam(j, dParamFMax, fmax);
}

static bool wheel_on_ground(const BikeState *bike, int w) { return bike->wheels[w].contact_depth > 0; }

void rider_place_feet(BikeState *bike) {
    float wl, wr;
    rider_foot_points(bike, bike->left_foot, &wl, bike->right_foot, &wr);
    dBodyID rider = bike->bodies[BODY_RIDER];
    dVector3 v;
    dBodyGetPointVel(rider, bike->left_foot[0], bike->left_foot[1], bike->left_foot[2], v);
    for (int i = 0; i < 3; i++) bike->left_foot_vel[i] = (float)v[i];
    dBodyGetPointVel(rider, bike->right_foot[0], bike->right_foot[1], bike->right_foot[2], v);
    for (int i = 0; i < 3; i++) bike->right_foot_vel[i] = (float)v[i];
}

void rider_crash(BikeState *bike) {
    dJointAttach(bike->joints[JOINT_RIDER_MOUNT], 0, 0);
    rider_place_feet(bike);
    int n = bike->crash_count < 15 ? bike->crash_count : 15;
    bike->crash_countdown = 512 + g_bike_race.crash_delay[n < 0 ? 0 : n];
    bike->crash_count += 1;
}

// Step 4: a rider torn off the bike by speed or by a shock.
static void crash_detection(BikeState *bike, int64_t tick) {
    if (bike_is_crashed(bike)) return;
    dBodyID rider = bike->bodies[BODY_RIDER];
    const dReal *p = dBodyGetPosition(rider), *v = dBodyGetLinearVel(rider);
    dVector3 fv;
    dBodyGetPointVel(bike->bodies[BODY_FRAME], p[0], p[1], p[2], fv);
    double rel[3] = {v[0] - fv[0], v[1] - fv[1], v[2] - fv[2]};
    if (rel[0] * rel[0] + rel[1] * rel[1] + rel[2] * rel[2] > 961) {
        rider_crash(bike);
        return;
    }
    const float *old = bike->rider_velocity[tick & 3];
    double a[3];
    for (int i = 0; i < 3; i++) a[i] = (v[i] - old[i]) * (0.25 / PHYSICS_STEP);
    a[1] += PHYSICS_GRAVITY;
    if (a[0] * a[0] + a[1] * a[1] + a[2] * a[2] > 1893376) rider_crash(bike);
}

// Step 5: the rider held near the bike while moving, the countdown running
// only while he lies still, then drawn back onto the bike.
static void crashed_state(BikeState *bike) {
    const RiderPosePoints *pose = &bike->info.pose;
    dBodyID rider = bike->bodies[BODY_RIDER], frame = bike->bodies[BODY_FRAME];
    dBodyID fork = bike->bodies[BODY_FORK_UPPER];
    if (body_speed(rider) >= 2) {
        float reach = 0.875f * (pose->upper_arm + pose->forearm);
        rider_tether(rider, pose->left_hand, fork, pose->left_grip, reach);
        rider_tether(rider, pose->right_hand, fork, pose->right_grip, reach);
        if (bike->crash_countdown > 511) {
            static const float far_point[3] = {0, 1.145f, 10.753f};
            rider_tether(rider, pose->rider_hip, fork, far_point, 8);
        }
        bike_rider_collide(bike);
    } else {
        bike->crash_countdown -= 1;
    }
    float mp[3];
    mount_point(bike, mp);
    if (bike->crash_countdown <= 0) {
        bike->crash_countdown = 0;
        dVector3 anchor;
        dBodyGetRelPointPos(frame, mp[0], mp[1], mp[2], anchor);
        dBodySetPosition(rider, anchor[0], anchor[1], anchor[2]);
        dBodySetRotation(rider, dBodyGetRotation(frame));
        dJointAttach(bike->joints[JOINT_RIDER_MOUNT], rider, frame);
        return;
    }
    if (bike->crash_countdown <= 511) {
        float l = 5 * clampf((bike->crash_countdown - 128) / 384.0f, 0, 1);
        static const float origin[3] = {0, 0, 0}, left[3] = {-5, 10, 0}, right[3] = {5, 10, 0};
        float ml[3] = {mp[0] - 5, mp[1] + 10, mp[2]}, mr[3] = {mp[0] + 5, mp[1] + 10, mp[2]};
        rider_tether(frame, mp, rider, origin, l);
        rider_tether(frame, ml, rider, left, l);
        rider_tether(frame, mr, rider, right, l);
    }
}

// The pulse of the back-up walk: one push per 128-tick second, none before
// the race's first whole second in the ticks that the mask marks.
static float back_up_pulse(int64_t tick) {
    float k = (float)((1 - cos((double)(tick % 128) * 2 * k_pi / 127)) / 2);
    int64_t base = g_bike_race.start_tick + 128;
    int64_t first = base >= 0 ? base / 128 * 128 : -((-base + 127) / 128) * 128;
    if (tick < first && (tick & 0x180) != 0) k = 0;
    return k;
}

// Step 7: walking the bike backwards, or else a foot put down when stopped.
static void back_up_or_auto_dab(BikeState *bike, int64_t tick, double s) {
    BikeControls *in = &bike->controls;
    dBodyID frame = bike->bodies[BODY_FRAME];
    bool crashed = bike_is_crashed(bike);
    if (in->back_up > 0 && s < 5) {
        float k = back_up_pulse(tick);
        in->dab = crashed ? 0.0f : 1.0f;
        dVector3 z;
        dBodyVectorToWorld(frame, 0, 0, 1, z);
        float target[3] = {(float)(4 * k * z[0]), (float)(4 * k * z[1]), (float)(4 * k * z[2])};
        horizontal_velocity_servo(frame, 2000, target);
        yaw_motor(bike, -in->steer * k * k_pi / 2, 2000);
        return;
    }
    if (!(bike->aid_flags & AID_AUTO_DAB) || s > bike->max_dab_speed) return;
    float lean = fabsf(bike_lean_angle(bike));
    if (s > 15 && lean < clampf((float)(s - 15) / 15, 0, 1) * (float)(k_pi / 4)) return;
    if (in->throttle != 0 && in->clutch != 0 && s >= 5 && !(lean > k_pi / 16)) return;
    float dab = clampf((float)(1 - s / bike->max_dab_speed), 0, 1);
    in->dab = crashed ? 0.0f : (dab > in->dab ? dab : in->dab);
    if (s < 5 && (in->throttle == 0 || in->clutch == 0) && wheel_on_ground(bike, 0) && wheel_on_ground(bike, 1)) {
        in->front_brake = in->rear_brake = 1;
        static const float still[3] = {0, 0, 0};
        horizontal_velocity_servo(frame, 1000, still);
    }
}

// Step 15: whatever net force and torque the bike's own joints put on it
// in the last step is taken back from the frame.
static void net_joint_force_correction(BikeState *bike) {
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *pf = dBodyGetPosition(frame);
    double f[3] = {0, 0, 0}, t[3] = {0, 0, 0};
    for (int j = 0; j < BIKE_JOINTS; j++) {
        const dJointFeedback *fb = &bike->feedback[j];
        const dReal *forces[2] = {fb->f1, fb->f2}, *torques[2] = {fb->t1, fb->t2};
        for (int k = 0; k < 2; k++) {
            dBodyID body = dJointGetBody(bike->joints[j], k);
            if (!body) continue;
            const dReal *p = dBodyGetPosition(body), *F = forces[k];
            double r[3] = {p[0] - pf[0], p[1] - pf[1], p[2] - pf[2]};
            for (int i = 0; i < 3; i++) f[i] += F[i];
            t[0] += torques[k][0] + r[1] * F[2] - r[2] * F[1];
            t[1] += torques[k][1] + r[2] * F[0] - r[0] * F[2];
            t[2] += torques[k][2] + r[0] * F[1] - r[1] * F[0];
        }
    }
    dBodyAddForce(frame, -f[0], -f[1], -f[2]);
    dBodyAddTorque(frame, -t[0], -t[1], -t[2]);
}

// Turning a fallen, slow bike towards the riding line. True when it took
// over the dab assist for this tick.
static bool realignment(BikeState *bike, float lean) {
    float a = fabsf(lean);
    if (!(a > k_pi / 8 && a < 1.0995574f)) return false;
    if (!g_bike_race.running || !g_bike_gates_passed || g_bike_gates_passed(bike) < 1) return false;
    if (bike->realign_latch || !(bike->aid_flags & AID_REALIGN) || bike->controls.back_up > 0.125f) return false;
    float target[3];
    if (!line_target_point(bike, target)) return false;
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *pf = dBodyGetPosition(frame);
    double d[3] = {target[0] - pf[0], target[1] - pf[1], target[2] - pf[2]};
    dVector3 z;
    dBodyVectorToWorld(frame, 0, 0, 1, z);
    double h2 = z[0] * z[0] + z[2] * z[2];
    if (h2 < 1.0 / 1024) return false;
    double hx = z[0] / sqrt(h2), hz = z[2] / sqrt(h2);
    double q = d[0] * hx + d[2] * hz, lat = d[0] * hz - d[2] * hx;
    double w = lat >= 0 ? -k_pi / 2 : k_pi / 2;
    double fm = 320.0 * bike->total_mass;
    if (q >= 0 || -q / 4 <= fabs(lat)) {
        yaw_motor(bike, w, fm);
        for (int i = 0; i < 2; i++) {
            if (wheel_on_ground(bike, i)) dBodyAddForce(bike->wheels[i].body, 0, 32.0 * bike->total_mass, 0);
        }
    } else {
        yaw_motor(bike, w, fabs(lat / (q / 4)) * fm);
    }
    return true;
}

// Step 16: the rider's foot pushes a slow bike upright.
static void dab_assist(BikeState *bike, double s) {
    if (bike_is_crashed(bike)) {
        bike->dab_extension = clampf(bike->dab_extension + (float)(8 * PHYSICS_STEP), 0, 1);
        return;
    }
    const BikeControls *in = &bike->controls;
    if (in->dab == 0) return;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    if (!wheel_on_ground(bike, 0)) {
        const dReal *p = dBodyGetPosition(rider);
        float centre[3] = {(float)p[0], (float)p[1], (float)p[2]};
        TireContact c;
        if (!sphere_terrain(centre, bike->info.rider_anchor_pos[1] + 1, &c)) return;
    }
    if (s > bike->max_dab_speed) return;
    float lean = bike_lean_angle(bike), alean = fabsf(lean);
    if (s > 15 && !(wheel_on_ground(bike, 0) && wheel_on_ground(bike, 1) && alean >= 0.5890486f)) return;
    bike->dab_extension = clampf(bike->dab_extension + (float)(8 * PHYSICS_STEP), 0, 1);
    if (bike->arcade) return;
    if (s >= 5) {
        if (bike->collision_timer > 0) return;
    } else if (realignment(bike, lean)) {
        return;
    }

    double rho = lean >= 0 ? -k_pi / 8 : k_pi / 8;
    if (alean < k_pi / 16) rho *= alean * 16 / k_pi;
    dVector3 w;
    const dReal *wa = dBodyGetAngularVel(frame);
    dBodyVectorFromWorld(frame, wa[0], wa[1], wa[2], w);
    double m = 0;
    if (rho > 0 && rho > w[2]) m = -400;
    else if (rho < 0 && rho < w[2]) m = 400;
    if (alean < k_pi / 32) m *= alean * 32 / k_pi;

    if (in->back_up < 0.125f || s > 5) {
        float limit = 1.25f * permitted_lean((float)s, bike->roll_limit_angle, bike->max_dab_speed, 32);
        float steer = rho >= 0 ? -in->steer : in->steer;
        float t = clampf(2 * (steer - 0.5f), 0, 1);
        float o = clampf((alean - limit) / 0.25f, 0, 1);
        m *= o + (1 - o) * t;
        if (s > 5) m *= bike->lock_proximity;
    }
    if (m == 0) return;
    dVector3 up;
    dBodyVectorToWorld(frame, 0, 1, 0, up);
    if (up[1] >= 0.707) {
        dBodyAddForceAtRelPos(frame, 0, fabs(m) / 8, 0, 0, 4, 0);
        dBodyAddRelForceAtRelPos(frame, m, 0, 0, 0, 4, 0);
    } else {
        dBodyAddForceAtRelPos(frame, 0, fabs(m), 0, 0, 4, 0);
    }
}

// A crashed rider's free foot: falls, lands, slows, and stays within reach
// of its hip; in the pick-up phase the foot on the leaning side walks to
// its peg.
static void free_foot(BikeState *bike, float p[3], float v[3], const float hip_local[3], const float peg[3],
                      bool walks) {
    const double h = PHYSICS_STEP;
    v[1] -= (float)(PHYSICS_GRAVITY * h);
    for (int i = 0; i < 3; i++) p[i] += (float)(v[i] * h);
    float ground = terrain_height(p[0], p[2]) + 0.25f;
    if (p[1] < ground) {
        p[1] = ground;
        v[0] = v[1] = v[2] = 0;
    }
    for (int i = 0; i < 3; i++) v[i] *= 0.9375f;
    dVector3 hip;
    dBodyGetRelPointPos(bike->bodies[BODY_RIDER], hip_local[0], hip_local[1], hip_local[2], hip);
    float hipf[3] = {(float)hip[0], (float)hip[1], (float)hip[2]};
    rider_leg_limits(bike, p, v, hipf);
    if (!walks) return;
    dVector3 goal;
    dBodyGetRelPointPos(bike->bodies[BODY_FRAME], peg[0], peg[1] + 3, peg[2] + 1, goal);
    double u[3];
    for (int i = 0; i < 3; i++) u[i] = 32 * (goal[i] - p[i]);
    double len = length3(u);
    if (len > 1) {
        for (int i = 0; i < 3; i++) u[i] /= len;
    }
    for (int i = 0; i < 3; i++) v[i] = (float)(4 * u[i]);
}

// Step 18: the foot points for drawing.
static void foot_points_update(BikeState *bike) {
    bike->dab_extension = clampf(bike->dab_extension - (float)(4 * PHYSICS_STEP), 0, 1);
    if (!bike_is_crashed(bike)) {
        rider_place_feet(bike);
        return;
    }
    const RiderPosePoints *pose = &bike->info.pose;
    bool pick_up = bike->crash_countdown <= 319;
    bool left_side = bike_lean_angle(bike) < 0;
    free_foot(bike, bike->left_foot, bike->left_foot_vel, pose->left_hip, pose->left_peg, pick_up && left_side);
    free_foot(bike, bike->right_foot, bike->right_foot_vel, pose->right_hip, pose->right_peg,
              pick_up && !left_side);
}

void bike_update(BikeState *bike, int64_t tick) {
    if (!bike_is_active(bike)) {
        foot_points_update(bike);
        return;
    }
    BikeControls *in = &bike->controls;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    double s = body_speed(frame);

    if (!bike->touched && tick > g_bike_race.start_tick + 256 && s < 5) bike->touched = true;
    if (bike->collision_timer > 1) bike->collision_timer -= 1;
    else if (bike->collision_timer < -1) bike->collision_timer += 1;
    else bike->collision_timer = 0;
    crash_detection(bike, tick);
    if (bike_is_crashed(bike)) crashed_state(bike);

    float dab = in->dab, front_brake = in->front_brake, rear_brake = in->rear_brake;
    back_up_or_auto_dab(bike, tick, s);
    // The springs would drag a thrown rider straight back: while crashed
    // the tethers of the crashed state hold him instead.
    if (!bike_is_crashed(bike)) rider_springs(bike);
    suspension_update(bike);
    if (bike->arcade && !bike_is_crashed(bike)) arcade_controller(bike);
    else stability_controller(bike);
    if (bike->aid_flags & AID_AUTO_SHIFT) auto_shift_update(bike, tick);
    drivetrain_update(bike);
    brakes_update(bike);
    steering_damper(bike);
    if (tick >= g_bike_race.start_tick + 2 && !bike_is_crashed(bike)) net_joint_force_correction(bike);
    dab_assist(bike, s);
    in->dab = dab;
    in->front_brake = front_brake;
    in->rear_brake = rear_brake;
    foot_points_update(bike);

    const dReal *v = dBodyGetLinearVel(rider);
    for (int i = 0; i < 3; i++) bike->rider_velocity[tick & 3][i] = (float)v[i];
}
