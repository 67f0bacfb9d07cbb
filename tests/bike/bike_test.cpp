#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike_fixture.h"

namespace {

double body_mass(BikeState *b, int body) {
    dMass m;
    dBodyGetMass(b->bodies[body], &m);
    return m.mass;
}

double speed(const dReal *v) { return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// The whole simulated state of a bike, for byte comparisons.
std::string state_bytes(BikeState *b) {
    std::string out;
    for (dBodyID body : b->bodies) {
        const dReal *parts[] = {dBodyGetPosition(body), dBodyGetQuaternion(body), dBodyGetLinearVel(body),
                                dBodyGetAngularVel(body)};
        for (int i = 0; i < 4; i++) out.append((const char *)parts[i], sizeof(dReal) * (i == 1 ? 4 : 3));
    }
    out.append((const char *)&b->engine_speed, sizeof b->engine_speed);
    out.append((const char *)&b->engine_angle, sizeof b->engine_angle);
    return out;
}

}  // namespace

typedef BikeFixture BikeTest;

TEST_F(BikeTest, CreationBuildsTheBodiesWithTheirMasses) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    const BikeModelInfo &info = b->info;
    EXPECT_STREQ(bike_name(b), "crf450(2013)");
    EXPECT_NEAR(body_mass(b, BODY_FRAME), info.frame_mass + info.rider_mass * 2 / 3, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_RIDER), info.rider_mass / 3, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_FRONT_WHEEL), info.front_hub_mass + info.front_tire_mass, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_REAR_WHEEL), info.rear_hub_mass + info.rear_tire_mass, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_FORK_UPPER), info.fork_mass, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_FORK_LOWER), info.fork_mass, 1e-5);
    EXPECT_NEAR(body_mass(b, BODY_SWINGARM), 2 * info.swingarm_half_mass, 1e-5);
    double total = 0;
    for (int i = 0; i < BIKE_BODIES; i++) total += body_mass(b, i);
    EXPECT_NEAR(b->total_mass, total, 1e-4);
    EXPECT_NEAR(b->total_mass, 14.0, 1.0);   // about 450 lb with the rider
    // At the initial pose the suspension is fully extended.
    EXPECT_NEAR(dJointGetSliderPosition(b->joints[JOINT_FORK_SLIDE]), 0, 1e-9);
    EXPECT_NEAR(dJointGetHingeAngle(b->joints[JOINT_SWINGARM_PIVOT]), 0, 1e-9);
    EXPECT_EQ(b->aid_flags, AID_FRONT_ANTILOCK | AID_STOPPIE_LIMIT | AID_REALIGN);
    EXPECT_FLOAT_EQ(b->activity, 1.0f);
}

TEST_F(BikeTest, PlacementFacesTheHeadingOnTheGround) {
    BikeState *b = make("crf450(2013)", 300, 400);
    ASSERT_NE(b, nullptr);
    // Facing +x: the bike's front (-z in its own frame) points along +x.
    bike_place(b, 300, 400, bike_heading(1, 0));
    dVector3 fwd;
    dBodyVectorToWorld(b->bodies[BODY_FRAME], 0, 0, -1, fwd);
    EXPECT_NEAR(fwd[0], 1, 1e-6);
    EXPECT_NEAR(fwd[2], 0, 1e-6);
    const dReal *front = pos(b, BODY_FRONT_WHEEL), *rear = pos(b, BODY_REAR_WHEEL);
    EXPECT_GT(front[0], rear[0]);
    EXPECT_NEAR(front[1], b->info.front_wheel_pos[1], 1e-5);   // on the ground at y = 0
    EXPECT_NEAR(bike_lean_angle(b), 0, 1e-6);
    // A lean to the left (rotation about +z in the bike's frame) is positive.
    bike_reset_pose(b);
    bike_rotate(b, 0, 0, 1, 0.3f);
    EXPECT_NEAR(bike_lean_angle(b), 0.3, 1e-5);
    bike_rotate(b, 0, 0, 1, -0.3f);
    EXPECT_NEAR(bike_lean_angle(b), -0.3, 1e-5);
}

TEST_F(BikeTest, ControlsClampAndShiftingIsEdgeTriggered) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    bike_set_steer(b, 3), bike_set_throttle(b, -1), bike_set_lean(b, -7), bike_set_clutch(b, NAN);
    EXPECT_EQ(b->controls.steer, 1);
    EXPECT_EQ(b->controls.throttle, 0);
    EXPECT_EQ(b->controls.lean, -1);
    EXPECT_EQ(b->controls.clutch, 0);

    // A held upshift shifts once; release and press again for the next.
    bike_shift(b, 1), bike_shift(b, 1), bike_shift(b, 1);
    EXPECT_EQ(bike_gear(b), 1);
    bike_shift(b, 0), bike_shift(b, 1);
    EXPECT_EQ(bike_gear(b), 2);
    bike_shift(b, -1), bike_shift(b, 0), bike_shift(b, -1), bike_shift(b, 0), bike_shift(b, -1);
    EXPECT_EQ(bike_gear(b), 0);

    // The crf450 has five gears: an upshift from fifth stays in fifth.
    for (int i = 0; i < 8; i++) bike_shift(b, 1), bike_shift(b, 0);
    EXPECT_EQ(bike_gear(b), 4);
    EXPECT_EQ(bike_gear_step(&b->info, 4, 1), 4);

    // While crashed throttle, dab, back-up and lean read 0 and shifts are ignored.
    b->crash_countdown = 100;
    bike_set_throttle(b, 1), bike_set_dab(b, 1), bike_set_back_up(b, 1), bike_set_lean(b, 1);
    bike_set_front_brake(b, 1);
    bike_shift(b, -1);
    EXPECT_EQ(b->controls.throttle + b->controls.dab + b->controls.back_up + b->controls.lean, 0);
    EXPECT_EQ(b->controls.front_brake, 1);
    EXPECT_EQ(bike_gear(b), 4);
}

TEST_F(BikeTest, ActivityRules) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    // The update runs above 0.25 only: the engine turns with full throttle and the clutch in.
    bike_set_throttle(b, 1);
    b->activity = 0.3f;
    bike_update(b, 1);
    EXPECT_GT(b->engine_speed, 0);
    float turned = b->engine_speed;
    b->activity = 0.25f;
    bike_update(b, 2);
    EXPECT_EQ(b->engine_speed, turned);

    bike_disable(b);
    EXPECT_FALSE(dBodyIsEnabled(b->bodies[BODY_FRAME]));
    bike_toggle_active(b);   // exactly 0: wakes fully
    EXPECT_EQ(b->activity, 1.0f);
    EXPECT_TRUE(dBodyIsEnabled(b->bodies[BODY_RIDER]));
    bike_toggle_active(b);   // above 0.25: nothing
    EXPECT_EQ(b->activity, 1.0f);
    b->activity = 0.1f;
    bike_toggle_active(b);   // non-zero, <= 0.25: parked at 0.25
    EXPECT_EQ(b->activity, 0.25f);
    EXPECT_FALSE(dBodyIsEnabled(b->bodies[BODY_FRAME]));

    // A remote bike falls asleep 0.75 s after its last wake-up.
    bike_enable(b);
    int ticks = 0;
    while (bike_is_active(b) && ticks < 1000) bike_decay_activity(b), ticks++;
    EXPECT_EQ(ticks, 96);
    EXPECT_FALSE(dBodyIsEnabled(b->bodies[BODY_FRAME]));
}

TEST_F(BikeTest, SettlesOnItsSuspensionWithoutBouncingAway) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    double start = pos(b)[1], highest = start;
    for (int i = 0; i < 3 * 128; i++) {
        run(1);
        highest = std::max(highest, (double)pos(b)[1]);
    }
    EXPECT_LT(highest, start + 0.05);
    EXPECT_LT(speed(vel(b)), 0.05);
    EXPECT_NEAR(bike_lean_angle(b), 0, 0.01);
    double fork = -dJointGetSliderPosition(b->joints[JOINT_FORK_SLIDE]) / b->info.fork_travel;
    double shock = -dJointGetHingeAngle(b->joints[JOINT_SWINGARM_PIVOT]) / b->info.swingarm_max_angle;
    EXPECT_GT(fork, 0.02);
    EXPECT_LT(fork, 0.34);
    EXPECT_GT(shock, 0.02);
    EXPECT_LT(shock, 0.34);
    EXPECT_GT(b->wheels[0].contact_depth, 0);
    EXPECT_GT(b->wheels[1].contact_depth, 0);
}

TEST_F(BikeTest, FullThrottleWithTheRearWheelUpRevsToTheCutOff) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    // Hold the frame 3 ft up so both wheels hang free.
    bike_translate(b, 0, 3, 0);
    dJointID hold = dJointCreateFixed(g_world, 0);
    dJointAttach(hold, b->bodies[BODY_FRAME], 0);
    dJointSetFixed(hold);
    bike_set_throttle(b, 1);
    bike_set_clutch(b, 1);
    float highest = 0;
    for (int i = 0; i < 6 * 128; i++) {
        run(1);
        highest = std::max(highest, bike_engine_rpm(b));
    }
    dJointDestroy(hold);
    EXPECT_GT(bike_engine_rpm(b), 11700);
    EXPECT_LT(highest, 12100);
}

TEST_F(BikeTest, LaunchesForwardUprightAndBrakesToAStop) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    run(128);   // settle
    bike_set_throttle(b, 1);
    bike_set_clutch(b, 1);
    for (int i = 0; i < 2 * 128; i++) {
        run(1);
        ASSERT_LT(fabs(bike_lean_angle(b)), 0.2) << "tick " << i;
    }
    EXPECT_LT(vel(b)[2], -20);            // forward is -z
    EXPECT_LT(fabs(vel(b)[0]), 2);
    EXPECT_LT(pos(b)[2], 512 - 20);
    bike_set_throttle(b, 0);
    bike_set_clutch(b, 0);
    bike_set_front_brake(b, 1);
    bike_set_rear_brake(b, 1);
    run(5 * 128);
    EXPECT_LT(speed(vel(b)), 1.0);
}

TEST_F(BikeTest, TheSameScriptTwiceGivesTheSameBytes) {
    std::string first;
    for (int attempt = 0; attempt < 2; attempt++) {
        tick = 0;   // the update reads the tick against the race's start
        BikeState *b = make();
        ASSERT_NE(b, nullptr);
        for (int i = 0; i < 3 * 128; i++) {
            bike_set_throttle(b, i > 64 ? 1 : 0);
            bike_set_clutch(b, i > 64 ? 1 : 0);
            bike_set_steer(b, i > 200 ? 0.2f : 0);
            if (i == 250) bike_shift(b, 1);
            run(1);
        }
        std::string bytes = state_bytes(b);
        bike_free(b);
        bikes.clear();
        if (attempt == 0) first = bytes;
        else EXPECT_TRUE(bytes == first);
    }
}

TEST_F(BikeTest, ABlownUpBikeGoesBackToItsPlacement) {
    BikeState *b = make("crf450(2013)", 600, 300);
    ASSERT_NE(b, nullptr);
    BikeState *other = make("crf450(2013)", 400, 300);
    ASSERT_NE(other, nullptr);
    run(10);
    dBodySetLinearVel(b->bodies[BODY_SWINGARM], NAN, 0, 0);
    run(2);
    EXPECT_FALSE(bike_blown_up(b));
    EXPECT_NEAR(pos(b)[0], 600, 1.0);
    EXPECT_NEAR(pos(b)[2], 300 + b->info.frame_pos[2], 1.0);
    EXPECT_FALSE(bike_blown_up(other));
    EXPECT_NE(log_text().find("left the finite world"), std::string::npos);
}
