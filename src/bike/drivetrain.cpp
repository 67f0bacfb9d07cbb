// The engine, clutch, gearbox and brakes: the engine's torque from its
// tables, the springy driveline between crank and rear wheel with its
// slipping clutch, the automatic gearbox, and the brake motors with the
// antilock and the stoppie limiter.
//
// Owns: the engine state of each bike (gear, engine angle and speed).
// Never: selects a gear the model does not have, or lets the engine angle
// leave -pi..pi.
#include <cmath>

#include "bike/bike.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"

static const float k_pi = 3.14159265358979f;

static float drivetrain_clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Into -pi..pi by whole turns; a value that is no longer finite is left to
// the blown-up check.
static float drivetrain_wrap(float a) {
    if (!std::isfinite(a)) return a;
    if (std::fabs(a) > 64.0f * k_pi) a = std::fmod(a, 2.0f * k_pi);
    while (a > k_pi) a -= 2.0f * k_pi;
    while (a < -k_pi) a += 2.0f * k_pi;
    return a;
}

static float crank_rpm(float rad_per_s) { return rad_per_s * 60.0f / (2.0f * k_pi); }

static bool wheel_on_ground(const WheelState *wheel) { return wheel->contact_depth > 0.0f; }

static float wheel_slide_speed_sq(const WheelState *wheel) {
    const float *v = wheel->contact_vel;
    return v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
}

float engine_torque_at(const BikeModelInfo *info, float rpm, float throttle) {
    float x = drivetrain_clamp(rpm * 0.002f, 0.0f, (float)(BIKE_TORQUE_POINTS - 1));
    int i = (int)std::floor(x);
    float f = x - (float)i;
    int j = i + 1 < BIKE_TORQUE_POINTS ? i + 1 : BIKE_TORQUE_POINTS - 1;
    float closed = info->torque_closed[i] + f * (info->torque_closed[j] - info->torque_closed[i]);
    float open = info->torque_open[i] + f * (info->torque_open[j] - info->torque_open[i]);
    return closed + (open - closed) * throttle;
}

float engine_torque(const BikeState *bike) {
    float torque = engine_torque_at(&bike->info, crank_rpm(bike->engine_speed), bike->controls.throttle);
    dBodyID frame = bike->bodies[BODY_FRAME];
    // With the front wheel up and the rear driving, the limiter cuts the
    // drive unless the bike is already pitching forward again.
    if (torque > 0.0f && (bike->aid_flags & AID_WHEELIE_LIMIT) && frame && !wheel_on_ground(&bike->wheels[0]) &&
        wheel_on_ground(&bike->wheels[1])) {
        const dReal *w = dBodyGetAngularVel(frame);
        dVector3 local;
        dBodyVectorFromWorld(frame, w[0], w[1], w[2], local);
        if (local[0] > -0.03125) torque = 0.0f;
    }
    return torque;
}

float bike_total_reduction(const BikeState *bike) {
    int gear = bike->gear < 0 ? 0 : (bike->gear >= BIKE_GEARS ? BIKE_GEARS - 1 : bike->gear);
    return bike->info.gear_ratio[gear] * bike->info.primary_ratio * bike->final_drive;
}

float effective_clutch(float clutch, float rpm, float auto_clutch_rpm) {
    if (rpm > auto_clutch_rpm + 2000.0f) return clutch;
    float automatic = drivetrain_clamp((rpm - auto_clutch_rpm) / 2000.0f, 0.0f, 1.0f);
    return clutch < automatic ? clutch : automatic;
}

void auto_shift_update(BikeState *bike, int64_t tick) {
    if (!(bike->aid_flags & AID_AUTO_SHIFT)) return;
    if (tick % 32 != 0) return;
    dJointID pivot = bike->joints[JOINT_SWINGARM_PIVOT];
    dJointID axle = bike->joints[JOINT_REAR_AXLE];
    if (!pivot || !axle) return;
    // Only with the rear loaded and gripping: a spinning or unloaded wheel
    // says nothing about the road speed.
    if (!(dJointGetHingeAngle(pivot) < -0.01)) return;
    const WheelState *rear = &bike->wheels[1];
    if (wheel_on_ground(rear) && wheel_slide_speed_sq(rear) > 4.0f) return;
    float wheel_rpm = crank_rpm((float)dJointGetHingeAngleRate(axle) * bike_total_reduction(bike));
    if (wheel_rpm < bike->info.downshift_rpm)
        bike->gear = bike_gear_step(&bike->info, bike->gear, -1);
    else if (wheel_rpm > bike->info.upshift_rpm)
        bike->gear = bike_gear_step(&bike->info, bike->gear, 1);
}

void drivetrain_update(BikeState *bike) {
    dJointID axle = bike->joints[JOINT_REAR_AXLE];
    dBodyID wheel = bike->bodies[BODY_REAR_WHEEL];
    dBodyID frame = bike->bodies[BODY_FRAME];
    if (!axle || !wheel || !frame) return;

    float engine = engine_torque(bike);
    float wheel_angle = (float)dJointGetHingeAngle(axle);
    float wheel_rate = (float)dJointGetHingeAngleRate(axle);
    float delta = drivetrain_wrap(bike->engine_angle - wheel_angle);
    float reduction = bike_total_reduction(bike);

    float clutch = bike->controls.clutch;
    float automatic = effective_clutch(clutch, crank_rpm(bike->engine_speed), bike->auto_clutch_rpm);
    float coupling = drivetrain_clamp((bike->engine_speed - wheel_rate * reduction) * bike->info.driveline_damping,
                                      -500.0f, 500.0f) +
                     bike->info.driveline_stiffness * delta;
    // Engine braking goes through the lever alone: the automatic clutch
    // only keeps a slow engine from stalling under drive.
    float e = coupling >= 0.0f ? automatic : clutch;
    coupling = drivetrain_clamp(coupling, -1000000.0f, 1000000.0f);

    float slip = e * k_pi / 4.0f;
    if (delta > slip)
        bike->engine_angle = wheel_angle + slip;
    else if (delta < -slip)
        bike->engine_angle = wheel_angle - slip;

    float transmitted = e * e * coupling;
    dBodyAddRelTorque(wheel, -transmitted, 0.0, 0.0);
    dBodyAddRelTorque(frame, transmitted, 0.0, 0.0);

    float h = (float)PHYSICS_STEP;
    float alpha = (engine - transmitted / reduction) / bike->engine_inertia;
    bike->engine_speed += h * alpha;
    bike->engine_angle = drivetrain_wrap(bike->engine_angle + h * bike->engine_speed / reduction);
}

void brakes_update(BikeState *bike) {
    const WheelState *front = &bike->wheels[0];
    const WheelState *rear = &bike->wheels[1];

    float front_torque = bike->front_brake_torque * bike->controls.front_brake;
    if ((bike->aid_flags & AID_FRONT_ANTILOCK) && wheel_on_ground(front) && wheel_slide_speed_sq(front) > 4.0f)
        front_torque = 0.0f;
    if ((bike->aid_flags & AID_STOPPIE_LIMIT) && wheel_on_ground(front) && !wheel_on_ground(rear))
        front_torque = 0.0f;
    if (bike->joints[JOINT_FRONT_AXLE]) {
        dJointSetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamVel, 0.0);
        dJointSetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamFMax, front_torque);
    }

    float rear_torque = bike->rear_brake_torque * bike->controls.rear_brake;
    if ((bike->aid_flags & AID_REAR_ANTILOCK) && wheel_on_ground(rear) && wheel_slide_speed_sq(rear) > 4.0f)
        rear_torque = 0.0f;
    if (bike->joints[JOINT_REAR_AXLE]) {
        dJointSetHingeParam(bike->joints[JOINT_REAR_AXLE], dParamVel, 0.0);
        dJointSetHingeParam(bike->joints[JOINT_REAR_AXLE], dParamFMax, rear_torque);
    }
}
