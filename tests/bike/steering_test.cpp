#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/steering.h"
#include "bike_fixture.h"
#include "track/terrain.h"

namespace {

const double k_pi = 3.14159265358979323846;

// The steering axis in world coordinates (unit), taken with the frame.
void steering_axis_world(BikeState *b, double out[3]) {
    double u[3], len = 0;
    for (int i = 0; i < 3; i++) {
        u[i] = b->info.fork_upper_pos[i] - b->info.fork_lower_pos[i];
        len += u[i] * u[i];
    }
    dVector3 w;
    dBodyVectorToWorld(b->bodies[BODY_FRAME], u[0] / sqrt(len), u[1] / sqrt(len), u[2] / sqrt(len), w);
    for (int i = 0; i < 3; i++) out[i] = w[i];
}

// The torque about the steering axis in the front wheel's accumulator.
double steering_torque(BikeState *b) {
    double u[3];
    steering_axis_world(b, u);
    const dReal *t = dBodyGetTorque(b->bodies[BODY_FRONT_WHEEL]);
    return t[0] * u[0] + t[1] * u[1] + t[2] * u[2];
}

void zero_accumulators(BikeState *b) {
    for (dBodyID body : b->bodies) {
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
}

// Turns the fork and front wheel by delta about the steering axis.
void turn_bars(BikeState *b, double delta) {
    dVector3 anchor, axis;
    dJointGetHingeAnchor(b->joints[JOINT_STEERING], anchor);
    dJointGetHingeAxis(b->joints[JOINT_STEERING], axis);
    dMatrix3 r;
    dRFromAxisAndAngle(r, axis[0], axis[1], axis[2], delta);
    for (int body : {BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_FRONT_WHEEL}) {
        dBodyID id = b->bodies[body];
        const dReal *p = dBodyGetPosition(id);
        dVector3 d = {p[0] - anchor[0], p[1] - anchor[1], p[2] - anchor[2]}, q;
        dMultiply0_331(q, r, d);
        dBodySetPosition(id, anchor[0] + q[0], anchor[1] + q[1], anchor[2] + q[2]);
        dMatrix3 rot;
        dMultiply0_333(rot, r, dBodyGetRotation(id));
        dBodySetRotation(id, rot);
    }
}

// A still bike at its initial pose leaned by lean with the bars at delta,
// raised by lift above the middle of the field.
void pose(BikeState *b, double lean, double delta, double lift) {
    bike_reset_pose(b);
    bike_rotate(b, 0, 0, 1, (float)lean);
    turn_bars(b, delta);
    bike_translate(b, 512, (float)lift, 512);
    zero_accumulators(b);
}

// Spins the front wheel for a ground speed vf, marks its tyre on the ground
// (or not) and gives the frame the roll rate wz.
void motion(BikeState *b, double vf, bool grounded, double wz) {
    dVector3 a, z;
    dBodyVectorToWorld(b->bodies[BODY_FRONT_WHEEL], 1, 0, 0, a);
    double rate = vf / (b->info.front_tire_ring_radius + b->info.front_tire_section_radius);
    dBodySetAngularVel(b->bodies[BODY_FRONT_WHEEL], -rate * a[0], -rate * a[1], -rate * a[2]);
    b->wheels[0].contact_depth = grounded ? 0.01f : 0.0f;
    dBodyVectorToWorld(b->bodies[BODY_FRAME], 0, 0, 1, z);
    dBodySetAngularVel(b->bodies[BODY_FRAME], wz * z[0], wz * z[1], wz * z[2]);
}

// Moves the front wheel at speed v along its rolling direction, sliding
// sideways so that its slip angle is beta.
void slide_front(BikeState *b, double beta, double v) {
    double u[3], len = 0;
    for (int i = 0; i < 3; i++) {
        u[i] = b->info.fork_upper_pos[i] - b->info.fork_lower_pos[i];
        len += u[i] * u[i];
    }
    len = sqrt(len);
    // Rolling direction -a with a = (0, -u.z, u.y); the sideways part along x.
    double local[3] = {-tan(beta) * v, v * u[2] / len, -v * u[1] / len};
    dVector3 w;
    dBodyVectorToWorld(b->bodies[BODY_FORK_UPPER], local[0], local[1], local[2], w);
    dBodySetLinearVel(b->bodies[BODY_FRONT_WHEEL], w[0], w[1], w[2]);
}

}  // namespace

typedef BikeFixture SteeringTest;

TEST_F(SteeringTest, LockAngleNarrowsWithSpeedAndSlipperyGround) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    struct Row {
        float vf, mu0, full, restricted, angle;
        double expect;
    } rows[] = {
        {0, 0.5f, 10, 50, 0.0872665f, k_pi / 4},      // at rest: full lock whatever the ground
        {1, 0.01f, 10, 50, 0.0872665f, k_pi / 4},
        {500, 0.5f, 10, 50, 0.0872665f, 0.174533},    // restricted lock on a 0.5 tile
        {500, 1.0f, 10, 50, 0.0872665f, 0.0872665},
        {500, 0.05f, 10, 50, 0.0872665f, 0.698132},   // friction counts as at least 0.125
        {500, 0.1f, 10, 50, 0.2f, k_pi / 4},          // never wider than pi/4
        {20, 1.0f, 10, 50, 0.0872665f, 0.0872665 + (k_pi / 4 - 0.0872665) * 0.375},   // t = 0.375
        {11, 1.0f, 10, 5, 0.0872665f, 0.0872665},     // restricted speed at least full + 1
    };
    for (const Row &r : rows) {
        b->full_lock_speed = r.full;
        b->restricted_lock_speed = r.restricted;
        b->restricted_lock_angle = r.angle;
        EXPECT_NEAR(steering_lock_angle(b, r.vf, r.mu0), r.expect, 1e-5) << "vf " << r.vf << " mu " << r.mu0;
    }
}

TEST_F(SteeringTest, FrontSlipAngleFromTheWheelsVelocity) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    for (double lean : {0.0, -0.4}) {
        pose(b, lean, 0, 0);
        EXPECT_EQ(front_slip_angle(b), 0);                       // still
        slide_front(b, 0.3, 0.5);
        EXPECT_EQ(front_slip_angle(b), 0) << "slower than 1 ft/s";
        slide_front(b, 0.3, 20);
        EXPECT_NEAR(front_slip_angle(b), 0.3, 1e-5) << lean;
        // Sliding towards +x is a negative slip angle.
        dBodySetLinearVel(b->bodies[BODY_FRONT_WHEEL], 0, 0, 0);
        dVector3 x;
        dBodyVectorToWorld(b->bodies[BODY_FORK_UPPER], 1, 0, 0, x);
        dBodySetLinearVel(b->bodies[BODY_FRONT_WHEEL], 5 * x[0], 5 * x[1], 5 * x[2]);
        EXPECT_NEAR(front_slip_angle(b), -k_pi / 2, 1e-5);
    }
}

TEST_F(SteeringTest, TorqueActsAboutTheSteeringAxisOnWheelAndFrame) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    pose(b, 0.3, 0, 0);
    steering_apply_torque(b, 10);
    double u[3];
    steering_axis_world(b, u);
    const dReal *wheel = dBodyGetTorque(b->bodies[BODY_FRONT_WHEEL]);
    const dReal *frame = dBodyGetTorque(b->bodies[BODY_FRAME]);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(wheel[i], 10 * u[i], 1e-9);
        EXPECT_NEAR(frame[i], -10 * u[i], 1e-9);
    }
    // The axis leans with the frame and points up the steering head.
    EXPECT_GT(u[1], 0.5);
    EXPECT_LT(u[0], -0.1);
}

TEST_F(SteeringTest, AirborneFrontWheelCentresTheBars) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    struct Row {
        float steer, max_force;
        double expect;
    } rows[] = {
        {0, 400, 1.5 * -5},
        {1, 400, 1.5 * (-5 + 75)},
        {-1, 400, 1.5 * (-5 - 75)},
        {-1, 100, -100},   // clamped
    };
    for (const Row &r : rows) {
        pose(b, 0, 0.1, 3);
        ASSERT_NEAR(dJointGetHingeAngle(b->joints[JOINT_STEERING]), 0.1, 1e-9);
        b->max_steering_force = r.max_force;
        b->controls.steer = r.steer;
        b->landing_damping = 1;
        stability_controller(b);
        EXPECT_NEAR(steering_torque(b), r.expect, 1e-3) << "steer " << r.steer;
        EXPECT_EQ(b->landing_damping, b->landing_damping_factor);
    }
}

TEST_F(SteeringTest, GroundControllerSumsDampingLevelingAndSteering) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    // Roll damping 60, leveling 20, roll limit pi/4 x 10, strength 75, max 400.
    const double limited = 12 * (1 + (1 - k_pi / 4) * 10);
    struct Row {
        const char *what;
        float lean, wz, steer, direct, timer, landing, slow_factor;
        double expect;
    } rows[] = {
        {"damping, leveling, direct", 0.1f, 0.2f, 0.5f, 1, 0, 1, 1, 1.5 * (12 + 2 + 37.5)},
        {"clamped", 0.1f, 5, 1, 1, 0, 1, 1, 400},
        {"roll limit", 1, 0.2f, 0, 1, 0, 1, 1, 1.5 * (limited + 20)},
        {"rolling back inside the limit", 1, -0.2f, 0, 1, 0, 1, 1, 1.5 * (-12 + 20)},
        {"landing damping", 0, 0.2f, 0, 1, 0, 2, 1, 1.5 * 24},
        {"slow damping", 0.1f, 0.2f, 0, 1, 0, 1, 3, 1.5 * 3 * 14},
        {"collision relief", 0.1f, 5, 0, 1, 96, 1, 1, 1.5 * 100},
        {"collision relief, direct part kept", 0.1f, 5, 1, 1, 192, 1, 1, 1.5 * 75},
        {"lean-rate servo at full", 0.1f, 0.2f, 0, 0, 0, 1, 1, 1.5 * (14 + 75)},
        {"lean-rate servo on target", 0.1f, -0.25f, 0, 0, 0, 1, 1, 1.5 * (-15 + 2)},
        {"lean-rate servo mixed", 0.1f, 0.2f, 1, 0.5f, 0, 1, 1, 1.5 * (14 + 56.25)},
        {"lean-rate servo the other way", -0.1f, -0.2f, 0, 0, 0, 1, 1, -1.5 * (14 + 75)},
    };
    for (const Row &r : rows) {
        pose(b, r.lean, 0, 0);
        motion(b, 20, true, r.wz);
        b->controls.steer = r.steer;
        b->direct_steering = r.direct;
        b->collision_timer = r.timer;
        b->landing_damping = r.landing;
        b->slow_damping_speed = r.slow_factor != 1 ? 10.0f : 0.0f;
        b->slow_damping_factor = r.slow_factor;
        stability_controller(b);
        EXPECT_NEAR(steering_torque(b), r.expect, 1e-3) << r.what;
    }
    // The landing damping decays by (factor - 1) h / falloff a tick.
    pose(b, 0, 0, 0);
    motion(b, 20, true, 0);
    b->landing_damping = 2;
    stability_controller(b);
    EXPECT_NEAR(b->landing_damping, 2 - (1.0 / 128) / 0.25, 1e-6);
    b->landing_damping_falloff = 0;
    stability_controller(b);
    EXPECT_EQ(b->landing_damping, 1);
}

TEST_F(SteeringTest, FrontSlipPastTheLockLimitsTheTorque) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    g_terrain.tiles[0].friction[0] = 0.5f;
    double lock = steering_lock_angle(b, 20, 0.5f);   // near the ground the slip limit is the lock
    double m = 1.125 * lock + 0.015;
    struct Row {
        const char *what;
        double beta;
        float lift, steer, wz;
        double expect;
    } rows[] = {
        {"inside the lock", 0, 0, -1, 0, 1.5 * -75},
        {"far past the lock", m + 0.1, 0, -1, 0, 100},
        {"far past on the other side", -m - 0.1, 0, 1, 0, -100},
        {"half way", (lock + m) / 2, 0, -1, -2, -150},
        {"in the air the lock is pi/4", 0.6, 3, -1, 0, 1.5 * -75},
    };
    ASSERT_LT(m + 0.1, 0.6);
    for (const Row &r : rows) {
        pose(b, 0, 0, r.lift);
        motion(b, 20, r.lift == 0, r.wz);
        slide_front(b, r.beta, 20);
        b->controls.steer = r.steer;
        stability_controller(b);
        EXPECT_NEAR(steering_torque(b), r.expect, 1e-3) << r.what;
    }
}

TEST_F(SteeringTest, LockProximityFromTheBarsAndTheSlip) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    g_terrain.tiles[0].friction[0] = 0.5f;
    const double la = 0.174533;   // the lock at speed on this tile
    struct Row {
        double lean, delta, beta, vf, expect;
    } rows[] = {
        {0, 0, 0, 0, 0},
        {0.05, 0.3926991, 0, 0, 0.5},  // bars 22.5 degrees towards the lean side
        {0.05, 0.6, 0, 0, 1},
        {0.05, -0.3926991, 0, 0, 0},
        {-0.2, -0.3926991, 0, 0, 0.5},
        {0.05, 0, -0.5 * la, 60, 0.5}, // slip half way from la/4 to 3 la/4
        {-0.2, 0, 0.5 * la, 60, 0.5},
        {0.05, 0, 0.5 * la, 60, 0},
    };
    for (const Row &r : rows) {
        pose(b, r.lean, r.delta, 0);
        motion(b, r.vf, true, 0);
        if (r.beta != 0) slide_front(b, r.beta, 60);
        stability_controller(b);
        EXPECT_NEAR(b->lock_proximity, r.expect, 1e-4)
            << "lean " << r.lean << " delta " << r.delta << " beta " << r.beta;
    }
    // A crashed bike: no torque and no lock proximity.
    pose(b, 0, 0.6, 0);
    b->crash_countdown = 10;
    stability_controller(b);
    arcade_controller(b);
    EXPECT_EQ(b->lock_proximity, 0);
    EXPECT_EQ(steering_torque(b), 0);
    b->crash_countdown = 0;
}

TEST_F(SteeringTest, ArcadeRollsTowardsTheTargetLean) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    struct Row {
        float lean, steer, roll_damping;
        double vel;
    } rows[] = {
        {0, 1, 60, -1.25},          // towards -pi/4, to the right
        {0, -1, 40, 1.5},
        {0, 1, 80, -1.0},
        {-0.77f, 1, 40, -0.015398 * 16 * 1.5},   // nearly there
    };
    for (const Row &r : rows) {
        pose(b, r.lean, 0, 0);
        b->controls.steer = r.steer;
        b->roll_damping = r.roll_damping;
        arcade_controller(b);
        dJointID motor = 0;
        for (int i = 0; i < dBodyGetNumJoints(b->bodies[BODY_FRAME]); i++) {
            dJointID j = dBodyGetJoint(b->bodies[BODY_FRAME], i);
            if (dJointGetType(j) == dJointTypeAMotor) motor = j;
        }
        ASSERT_NE(motor, nullptr);
        EXPECT_NEAR(dJointGetAMotorParam(motor, dParamVel), r.vel, 1e-4) << r.lean << " " << r.steer;
        EXPECT_EQ(dJointGetAMotorParam(motor, dParamFMax), 1000);
        dVector3 axis, z;
        dJointGetAMotorAxis(motor, 0, axis);
        dBodyVectorToWorld(b->bodies[BODY_FRAME], 0, 0, 1, z);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(axis[i], z[i], 1e-9);
        dJointGroupEmpty(g_contact_group);
    }
}

TEST_F(SteeringTest, ArcadeServoesTheBarsAndDragsTheTail) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    pose(b, 0, 0, 0);
    b->controls.steer = 1;
    dBodySetLinearVel(b->bodies[BODY_FRAME], 0, 0, -30);
    dBodySetAngularVel(b->bodies[BODY_FRAME], 0, 1, 0);
    dBodySetAngularVel(b->bodies[BODY_FORK_UPPER], 0, 1, 0);   // bars still against the frame
    arcade_controller(b);
    dJointGroupEmpty(g_contact_group);
    // Bars towards -0.5 rad: the servo saturates at 2/3 of the strength.
    EXPECT_NEAR(steering_torque(b), -75 * 2.0 / 3, 1e-3);
    // The point 20 ft behind moves at (20, 0, -30): a quarter of it back.
    const dReal *f = dBodyGetForce(b->bodies[BODY_FRAME]);
    EXPECT_NEAR(f[0], -5, 1e-6);
    EXPECT_NEAR(f[1], 0, 1e-6);
    EXPECT_NEAR(f[2], 7.5, 1e-6);
}

TEST_F(SteeringTest, DamperLeavesTheSpinAndDampsAWobble) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    pose(b, 0.2, 0.1, 0);
    dVector3 a;
    dBodyVectorToWorld(b->bodies[BODY_FRONT_WHEEL], 1, 0, 0, a);
    dBodySetAngularVel(b->bodies[BODY_FRONT_WHEEL], 10 * a[0], 10 * a[1], 10 * a[2]);
    steering_damper(b);
    const dReal *t = dBodyGetTorque(b->bodies[BODY_FRONT_WHEEL]);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(t[i], 0, 1e-9);

    // A wobble about an axis square to the axle is damped in full.
    dVector3 w;
    dBodyVectorToWorld(b->bodies[BODY_FRONT_WHEEL], 0, 1, 0, w);
    dBodySetAngularVel(b->bodies[BODY_FRONT_WHEEL], 10 * a[0] + 3 * w[0], 10 * a[1] + 3 * w[1],
                       10 * a[2] + 3 * w[2]);
    steering_damper(b);
    const dReal *frame = dBodyGetTorque(b->bodies[BODY_FRAME]);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(t[i], -45 * 3 * w[i], 1e-6);
        EXPECT_NEAR(frame[i], 45 * 3 * w[i], 1e-6);
    }
}

// Behaviour on the level field: the field repeats (it is level and uniform),
// so a bike nearing its edge is moved back by 896 ft.
TEST_F(SteeringTest, FullThrottleStraightStaysUprightFor20Seconds) {
    BikeState *b = make("crf450(2013)", 512, 960);
    ASSERT_NE(b, nullptr);
    b->aid_flags |= AID_AUTO_SHIFT;
    bike_set_clutch(b, 1);
    bike_set_throttle(b, 1);
    double fastest = 0;
    for (int i = 0; i < 20 * 128; i++) {
        run(1);
        // A shove sideways at speed: the controller must catch the roll.
        if (i >= 5 * 128 && i < 5 * 128 + 32)
            dBodyAddRelForceAtRelPos(b->bodies[BODY_FRAME], 150, 0, 0, 0, 1.5, 0);
        ASSERT_LT(fabs(bike_lean_angle(b)), 0.35) << "tick " << i;
        ASSERT_FALSE(bike_is_crashed(b));
        if (pos(b)[2] < 64) bike_translate(b, 0, 0, 896);
        fastest = std::max(fastest, (double)-vel(b)[2]);
    }
    EXPECT_GT(fastest, 60);
    EXPECT_LT(fabs(bike_lean_angle(b)), 0.05);        // back upright
    EXPECT_LT(fabs(vel(b)[0]), 0.5 * -vel(b)[2]);    // still heading down the field
}

TEST_F(SteeringTest, SlalomAt30MphStaysUprightAndTurns) {
    BikeState *b = make("crf450(2013)", 512, 960);
    ASSERT_NE(b, nullptr);
    b->aid_flags |= AID_AUTO_SHIFT;
    bike_set_clutch(b, 1);
    double low = 0, high = 0, left = 0, right = 0;
    for (int i = 0; i < 16 * 128; i++) {
        double v = sqrt(vel(b)[0] * vel(b)[0] + vel(b)[2] * vel(b)[2]);
        bike_set_throttle(b, v < 44 ? 1.0f : 0.2f);
        // Straight while getting up to speed, then 1.5 s each way after a
        // first half turn, so that the turns to either side balance.
        bike_set_steer(b, i < 4 * 128 ? 0.0f : ((i - 4 * 128 + 96) / 192) % 2 ? -0.3f : 0.3f);
        run(1);
        ASSERT_FALSE(bike_is_crashed(b));
        ASSERT_LT(fabs(bike_lean_angle(b)), 0.7) << "tick " << i;
        const dReal *p = pos(b);
        if (p[2] < 64) bike_translate(b, 0, 0, 896);
        if (p[2] > 992) bike_translate(b, 0, 0, -896);
        if (p[0] < 64) bike_translate(b, 896, 0, 0);
        if (p[0] > 992) bike_translate(b, -896, 0, 0);
        if (i >= 4 * 128) {
            double heading = atan2(-vel(b)[0], -vel(b)[2]);
            low = std::min(low, heading), high = std::max(high, heading);
            left = std::max(left, (double)bike_lean_angle(b));
            right = std::max(right, (double)-bike_lean_angle(b));
        }
    }
    EXPECT_GT(high - low, 0.3);
    EXPECT_GT(left, 0.15);   // leaning into the turns both ways
    EXPECT_GT(right, 0.15);
}
