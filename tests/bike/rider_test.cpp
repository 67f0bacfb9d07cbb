#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike_fixture.h"

namespace {

class RiderTest : public BikeFixture {
protected:
    void SetUp() override {
        BikeFixture::SetUp();
        memset(&g_bike_race, 0, sizeof g_bike_race);
        g_bike_gates_passed = nullptr;
    }
    void TearDown() override {
        memset(&g_bike_race, 0, sizeof g_bike_race);
        BikeFixture::TearDown();
    }

    // The anchor's offset from the rider body along the frame's y axis
    // (positive: the rider sits below his anchor).
    static double rider_drop(BikeState *b) {
        float a[3];
        for (int i = 0; i < 3; i++) a[i] = b->info.rider_anchor_pos[i] - b->info.frame_pos[i];
        dVector3 anchor, y;
        dBodyGetRelPointPos(b->bodies[BODY_FRAME], a[0], a[1], a[2], anchor);
        dBodyVectorToWorld(b->bodies[BODY_FRAME], 0, 1, 0, y);
        const dReal *p = pos(b, BODY_RIDER);
        return (anchor[0] - p[0]) * y[0] + (anchor[1] - p[1]) * y[1] + (anchor[2] - p[2]) * y[2];
    }
    static double speed(BikeState *b, int body = BODY_FRAME) {
        const dReal *v = vel(b, body);
        return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    }
    static double heading(BikeState *b) {
        dVector3 f;
        dBodyVectorToWorld(b->bodies[BODY_FRAME], 0, 0, -1, f);
        return atan2(-f[0], -f[2]);   // 0 facing -z, positive turning left (towards -x)
    }
};

}  // namespace

TEST_F(RiderTest, TheWorkedNumbersOfTheRiderSetup) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->info.rider_mass, 5.46875f);
    EXPECT_FLOAT_EQ(b->rider_vertical_spring, 0.5f);
    EXPECT_FLOAT_EQ(b->rider_forward_damping, 0.5f);
    run(1);
    EXPECT_NEAR(dJointGetHinge2Param(b->joints[JOINT_RIDER_MOUNT], dParamSuspensionCFM), 0.0428571, 1e-5);
    EXPECT_EQ(dJointGetHinge2Param(b->joints[JOINT_RIDER_MOUNT], dParamSuspensionERP), 0);
    // At rest the vertical spring (kp 233.33 lbf/ft) carries the rider
    // body's weight (5.46875 / 3 slug at 32 ft/s^2, 58.33 lbf): a quarter
    // foot of sag below its rest point 0.125 ft above the anchor.
    run(512);
    EXPECT_NEAR(rider_drop(b), -0.125 + 58.333 / 233.333, 0.01);
}

TEST_F(RiderTest, HoldingDabLowersTheRiderHalfAFoot) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    // The rider's weight is held up, so he sits at the springs' rest point.
    dMass m;
    dBodyGetMass(b->bodies[BODY_RIDER], &m);
    auto ride = [&](int ticks) {
        for (int i = 0; i < ticks; i++) {
            dBodyAddForce(b->bodies[BODY_RIDER], 0, m.mass * PHYSICS_GRAVITY, 0);
            run(1);
        }
    };
    ride(384);
    double sitting = rider_drop(b);
    EXPECT_NEAR(sitting, -0.125, 0.01);
    bike_set_dab(b, 1);
    ride(384);
    EXPECT_NEAR(rider_drop(b) - sitting, 0.5, 0.02);
    EXPECT_GT(b->dab_extension, 0.9f);
    EXPECT_LT(fabs(bike_lean_angle(b)), 0.1);
}

TEST_F(RiderTest, CrashBySpeedAgainstTheFrameOrByShock) {
    // The rider body's velocity, the frame's and the ring's entry four
    // ticks back, all along x (ft/s).
    struct Row {
        double rider, frame, ring;
        bool crashes;
    } rows[] = {
        {40, 0, 40, true},     // thrown off at 40 ft/s
        {32, 0, 32, true},     // just above 31
        {30, 0, 30, false},
        {40, 40, 40, false},   // fast, but with the bike
        {20, 20, -25, true},   // 45 ft/s change in 4 ticks: 1440 ft/s^2
        {20, 20, -20, false},  // 1280 ft/s^2
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.rider << " " << r.frame << " " << r.ring);
        BikeState *b = make();
        ASSERT_NE(b, nullptr);
        for (int i = 0; i < BIKE_BODIES; i++) dBodySetLinearVel(b->bodies[i], r.frame, 0, 0);
        dBodySetLinearVel(b->bodies[BODY_RIDER], r.rider, 0, 0);
        for (auto &slot : b->rider_velocity) slot[0] = (float)r.ring, slot[1] = slot[2] = 0;
        bike_update(b, 1000);
        EXPECT_EQ(bike_is_crashed(b), r.crashes);
        EXPECT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 0) == nullptr, r.crashes);
        EXPECT_EQ(b->crash_count, r.crashes ? 1 : 0);
    }
}

TEST_F(RiderTest, CrashCountdownTakesTheDelayOfTheCrashCount) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 16; i++) g_bike_race.crash_delay[i] = 100 * i;
    struct Row {
        int count, countdown;
    } rows[] = {{0, 512}, {3, 812}, {15, 2012}, {40, 2012}};
    for (const Row &r : rows) {
        bike_reset_pose(b);
        b->crash_count = r.count;
        rider_crash(b);
        EXPECT_EQ(b->crash_countdown, r.countdown) << r.count;
        EXPECT_EQ(b->crash_count, r.count + 1);
    }
}

TEST_F(RiderTest, AStillCrashedRiderIsBackOnTheBikeAfter512Ticks) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    run(128);
    dBodyID rider = b->bodies[BODY_RIDER];
    rider_crash(b);
    ASSERT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 0), nullptr);
    // The rider lies still where he fell (held there, whatever the ground
    // collisions do).
    dBodySetKinematic(rider);
    dBodySetLinearVel(rider, 0, 0, 0);
    dBodySetAngularVel(rider, 0, 0, 0);
    run(511);
    EXPECT_TRUE(bike_is_crashed(b));
    EXPECT_EQ(b->crash_countdown, 1);
    run(1);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 0), rider);
    EXPECT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 1), b->bodies[BODY_FRAME]);
    EXPECT_NEAR(rider_drop(b), 0, 1e-6);
    dBodySetDynamic(rider);
    run(128);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_EQ(b->crash_count, 1);
}

TEST_F(RiderTest, AMovingCrashedRiderKeepsTheCountdownUp) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    run(128);
    rider_crash(b);
    for (int i = 0; i < 64; i++) {
        dBodySetLinearVel(b->bodies[BODY_RIDER], 3, 0, 0);
        bike_update(b, tick++);
        dJointGroupEmpty(g_contact_group);
    }
    EXPECT_EQ(b->crash_countdown, 512);
}

TEST_F(RiderTest, AnUpsideDownRiderLyingStillDoesNotCrashAgain) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->shapes[BODY_RIDER], nullptr);
    // Upside down on the ground beside the bike, after a crash.
    run(128);
    rider_crash(b);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 0, 1, M_PI);
    dBodyID rider = b->bodies[BODY_RIDER];
    dBodySetRotation(rider, r);
    dBodySetPosition(rider, pos(b)[0] + 4, 1.0, pos(b)[2]);
    dBodySetLinearVel(rider, 0, 0, 0);
    run(2048);
    EXPECT_EQ(b->crash_count, 1);
    EXPECT_FALSE(bike_is_crashed(b));
}

// A bike turned upside down and dropped at 15 ft/s: the rider's shape hits
// the ground head first and the rider falls off; once he lies still he is
// back on the bike 512 ticks later.
TEST_F(RiderTest, ARiderDroppedUpsideDownAtSpeedCrashesAndGetsBackOn) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->shapes[BODY_RIDER], nullptr);
    bike_reset_pose(b);
    bike_rotate(b, 0, 0, 1, (float)M_PI);
    bike_translate(b, 512, 8.5f, 512);
    for (dBodyID body : b->bodies) dBodySetLinearVel(body, 0, 0, -15);
    int still = 0;
    int64_t crashed_at = -1;
    for (int i = 0; i < 30 * 128 && (crashed_at < 0 || bike_is_crashed(b)); i++) {
        run(1);
        if (crashed_at < 0 && bike_is_crashed(b)) crashed_at = tick;
        if (bike_is_crashed(b)) {
            const dReal *v = dBodyGetLinearVel(b->bodies[BODY_RIDER]);
            if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] < 4) still++;
        }
    }
    ASSERT_GE(crashed_at, 0) << "the rider never crashed";
    EXPECT_LT(crashed_at, 128) << "the crash came from the fall";
    EXPECT_EQ(b->crash_count, 1);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_NEAR(still, 512, 3);
    EXPECT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 0), b->bodies[BODY_RIDER]);
}

TEST_F(RiderTest, BackingUpWalksTheBikeBackwardsAndTurnsItInPulses) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    run(128);
    double z0 = pos(b)[2], h0 = heading(b);
    bike_set_back_up(b, 1);
    bike_set_steer(b, 1);
    double yaw_at_second = 0, yaw_mid_second = 0;
    for (int i = 0; i < 256; i++) {
        run(1);
        // The motor set at tick t - 1 acted in the step of tick t.
        double w = fabs(dBodyGetAngularVel(b->bodies[BODY_FRAME])[1]);
        if ((tick - 2) % 128 == 0) yaw_at_second = fmax(yaw_at_second, w);
        if ((tick - 2) % 128 == 64) yaw_mid_second = fmax(yaw_mid_second, w);
    }
    EXPECT_GT(pos(b)[2] - z0, 1.0);             // backwards: the bike faces -z
    EXPECT_LT(heading(b) - h0, -0.3);           // steer right: turns right
    EXPECT_GT(yaw_mid_second, 0.5);
    EXPECT_LT(yaw_at_second, 0.1 * yaw_mid_second);
    EXPECT_LT(fabs(bike_lean_angle(b)), 0.3);
}

TEST_F(RiderTest, AutomaticDabPutsAFootDownWhenStoppedAndHoldsTheBikeUp) {
    for (bool aid : {false, true}) {
        SCOPED_TRACE(aid);
        BikeState *b = make();
        ASSERT_NE(b, nullptr);
        if (aid) b->aid_flags |= AID_AUTO_DAB;
        run(64);
        for (int i = 0; i < BIKE_BODIES; i++) dBodySetLinearVel(b->bodies[i], 0, 0, -8);
        for (int w : {BODY_FRONT_WHEEL, BODY_REAR_WHEEL}) {
            float r = w == BODY_FRONT_WHEEL ? b->info.front_tire_ring_radius + b->info.front_tire_section_radius
                                            : b->info.rear_tire_ring_radius + b->info.rear_tire_section_radius;
            dBodySetAngularVel(b->bodies[w], -8 / r, 0, 0);
        }
        bike_set_front_brake(b, 0.5f);
        bike_set_rear_brake(b, 0.5f);
        run(768);
        EXPECT_LT(speed(b), 0.5);
        if (aid) {
            EXPECT_GT(b->dab_extension, 0.5f);
            EXPECT_LT(fabs(bike_lean_angle(b)), 0.2);
        } else {
            EXPECT_EQ(b->dab_extension, 0.0f);
        }
        bikes.pop_back();
        bike_free(b);
    }
}

TEST_F(RiderTest, FootPointsAreThePegsAtRestAndTheGroundWhenDabbing) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    run(256);
    const RiderPosePoints &pose = b->info.pose;
    dVector3 lp, rp;
    dBodyGetRelPointPos(b->bodies[BODY_FRAME], pose.left_peg[0], pose.left_peg[1], pose.left_peg[2], lp);
    dBodyGetRelPointPos(b->bodies[BODY_FRAME], pose.right_peg[0], pose.right_peg[1], pose.right_peg[2], rp);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(b->left_foot[i], lp[i], 1e-4);
        EXPECT_NEAR(b->right_foot[i], rp[i], 1e-4);
    }
    EXPECT_EQ(b->dab_extension, 0.0f);
    // Dabbing upright, both feet go down to the ground, outside the hips.
    // The assist puts the foot out by 8 h a tick, the foot points take 4 h
    // back: held out, the extension stays at 1 - 4 h.
    bike_set_dab(b, 1);
    run(256);
    float e = b->dab_extension;
    EXPECT_FLOAT_EQ(e, 1 - 4 / 128.0f);
    EXPECT_NEAR(b->left_foot[1], lp[1] + (0.125 - lp[1]) * e, 0.01);
    EXPECT_NEAR(b->right_foot[1], rp[1] + (0.125 - rp[1]) * e, 0.01);
    dVector3 hl, hr;
    dBodyGetRelPointPos(b->bodies[BODY_RIDER], pose.left_hip[0], pose.left_hip[1], pose.left_hip[2], hl);
    dBodyGetRelPointPos(b->bodies[BODY_RIDER], pose.right_hip[0], pose.right_hip[1], pose.right_hip[2], hr);
    EXPECT_LT(b->left_foot[0], hl[0]);
    EXPECT_GT(b->right_foot[0], hr[0]);
}

TEST_F(RiderTest, HorizontalVelocityServoHasADeadZone) {
    struct Row {
        double v[3];
        float target[3];
        double fx, fz;   // with force 100
    } rows[] = {
        {{0.2, 0, 0}, {0, 0, 0}, 0, 0},           // inside the dead zone
        {{5, 0, 0}, {5, 0, 0}, 0, 0},             // on target
        {{1, 0, 0}, {0, 0, 0}, -60, 0},           // k = 0.6
        {{0, 0, -3}, {0, 0, 1}, 0, 100},          // full force
        {{0, 3, 0}, {0, 0, 0}, 0, 0},             // vertical error: no horizontal push
    };
    dBodyID body = dBodyCreate(g_world);
    for (const Row &r : rows) {
        dBodySetForce(body, 0, 0, 0);
        dBodySetLinearVel(body, r.v[0], r.v[1], r.v[2]);
        horizontal_velocity_servo(body, 100, r.target);
        const dReal *f = dBodyGetForce(body);
        EXPECT_NEAR(f[0], r.fx, 1e-4) << r.v[0] << " " << r.v[1] << " " << r.v[2];
        EXPECT_EQ(f[1], 0);
        EXPECT_NEAR(f[2], r.fz, 1e-4);
    }
    dBodyDestroy(body);
}

TEST(RiderLean, PermittedLean) {
    const float a = (float)(M_PI / 4), d = 30;
    struct Row {
        float s;
        int exponent;
        double lean;
    } rows[] = {
        {0, 4, 0},
        {15, 4, (1 - pow(0.75, 4)) * M_PI / 4},
        {15, 32, (1 - pow(0.75, 32)) * M_PI / 4},
        {sqrtf(562.5f), 4, M_PI / 4 + (2 * M_PI - M_PI / 4) * 0.5},
        {30, 32, 2 * M_PI},
    };
    for (const Row &r : rows) EXPECT_NEAR(permitted_lean(r.s, a, d, r.exponent), r.lean, 1e-4) << r.s;
}
