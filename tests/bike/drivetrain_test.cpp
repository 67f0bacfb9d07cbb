#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bike/bike.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "core/console.h"
#include "core/settings.h"

namespace {

const double kPi = 3.14159265358979323846;

// A 450-class model with a flat 10 ft lbf full-throttle curve and no
// engine braking, five gears.
BikeModelInfo rig_info() {
    BikeModelInfo info;
    memset(&info, 0, sizeof info);
    info.name = "rig";
    info.frame_mass = 6.0f;
    info.frame_size[0] = 1.0f;
    info.frame_size[1] = 2.0f;
    info.frame_size[2] = 3.0f;
    info.rider_mass = 5.0f;
    info.fork_spring_min = 376.3026f;
    info.fork_spring_max = 913.8778f;
    info.fork_preload_max = 0.0833333f;
    info.fork_air_gap_min = 0.4166667f;
    info.fork_air_gap_max = 0.25f;
    info.fork_compression_base = 60.0f;
    info.fork_rebound_base = 32.0f;
    info.fork_travel = 1.0f;
    info.shock_spring_min = 2486.285f;
    info.shock_spring_max = 5174.161f;
    info.shock_preload_max = 0.3333333f;
    info.shock_compression_base = 800.0f;
    info.shock_rebound_base = 650.0f;
    info.linkage_s1 = 0.2836516f;
    info.linkage_s2 = 0.4133858f;
    info.swingarm_max_angle = 0.5303041f;
    info.linkage_break = 0.75f;
    info.linkage_d0 = 0.3150392f;
    info.linkage_d1 = 0.4604790f;
    info.linkage_d2 = 0.6070490f;
    info.primary_ratio = 2.73913f;
    info.front_sprocket = 13.0f;
    info.rear_sprocket = 48.0f;
    const float gears[BIKE_GEARS] = {1.8f, 1.470588f, 1.235294f, 1.05f, 0.9090909f, -1.0f};
    memcpy(info.gear_ratio, gears, sizeof gears);
    info.engine_inertia = 0.008850098f;
    info.driveline_stiffness = 7500.0f;
    info.driveline_damping = 0.75f;
    for (int i = 0; i < BIKE_TORQUE_POINTS; i++) info.torque_open[i] = 10.0f;
    info.downshift_rpm = 6000.0f;
    info.upshift_rpm = 10500.0f;
    return info;
}

// Every number of the setup inside its range.
BikeSetup plain_setup() {
    BikeSetup s;
    memset(&s, 0, sizeof s);
    s.leveling.value = 20;
    s.roll_damping.value = 60;
    s.roll_limit_angle.value = 45;
    s.roll_limit_factor.value = 10;
    s.steering_damping.value = 45;
    s.steering_strength.value = 75;
    s.max_steering_force.value = 400;
    s.direct_steering.value = 1;
    s.slow_damping_speed.value = 40;
    s.slow_damping_factor.value = 2;
    s.land_damping_falloff.value = 0.25;
    s.land_damping_factor.value = 2;
    s.full_lock_speed.value = 10;
    s.restricted_lock_speed.value = 50;
    s.restricted_lock.value = 7.5;
    s.auto_clutch_rpms.value = 5000;
    s.brake_torque.value = 250;
    s.rear_brake_torque.value = 250;
    s.max_dab_speed.value = 20;
    s.fork_compression_adjustment.value = 50;
    s.fork_rebound_adjustment.value = 50;
    s.fork_spring_rate_adjustment.value = 50;
    s.fork_preload_adjustment.value = 50;
    s.fork_oil_level_adjustment.value = 50;
    s.shock_compression_adjustment.value = 50;
    s.shock_rebound_adjustment.value = 50;
    s.shock_spring_rate_adjustment.value = 50;
    s.shock_preload_adjustment.value = 50;
    s.rider_yspring.value = 50;
    s.rider_ydamping.value = 50;
    s.rider_zspring.value = 50;
    s.rider_zdamping.value = 50;
    s.rider_mass_distribution.value = 0.33;
    return s;
}

// A bike record with only the bodies and joints a test adds, in the shared
// world (never stepped here).
class Drivetrain : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(physics_init());
        bike = new BikeState();
        bike->info = rig_info();
        bike_setup_defaults(bike);
        bike->controls.clutch = 1.0f;
        bike_setup_reset_refusals();
        g_setup_out_of_range = false;
        console_clear();
    }
    void TearDown() override {
        for (dJointID j : bike->joints)
            if (j) dJointDestroy(j);
        for (dBodyID b : bike->bodies)
            if (b) dBodyDestroy(b);
        delete bike;
        bike_setup_reset_refusals();
        g_setup_out_of_range = false;
    }
    dBodyID body(int index) {
        if (!bike->bodies[index]) bike->bodies[index] = dBodyCreate(g_world);
        return bike->bodies[index];
    }
    void hinge(int joint, int body1, int body2) {
        dJointID j = dJointCreateHinge(g_world, nullptr);
        dJointAttach(j, body(body1), body(body2));
        dJointSetHingeAnchor(j, 0, 0, 0);
        dJointSetHingeAxis(j, 1, 0, 0);
        bike->joints[joint] = j;
    }
    BikeState *bike = nullptr;
};

TEST(EngineTorque, Crf450KnownPoints) {
    const BikeModelInfo *info = bike_info_lookup("crf450(2013)");
    if (!info) GTEST_SKIP() << "catalogue has no crf450(2013) yet";
    struct Row {
        float rpm, throttle, torque;
    } rows[] = {
        {0, 1, 5},  {11750, 1, 7.2f}, {12000, 1, 0}, {0, 0, 2},
        {0, 0.5f, 3.5f}, {250, 1, 5},   {99999, 1, -34}, {-100, 1, 5},
    };
    for (const Row &r : rows)
        EXPECT_NEAR(engine_torque_at(info, r.rpm, r.throttle), r.torque, 1e-4) << r.rpm << " rpm, throttle " << r.throttle;
}

TEST_F(Drivetrain, WheelieLimiterCutsDriveOnlyWhileTheFrontIsUpAndNotPitchingDown) {
    dBodyID frame = body(BODY_FRAME);
    bike->engine_speed = 300.0f;
    bike->controls.throttle = 1.0f;
    struct Row {
        uint8_t flags;
        float front_depth, rear_depth, pitch_rate, torque;
    } rows[] = {
        {AID_WHEELIE_LIMIT, 0, 0.1f, 0, 0},         {AID_WHEELIE_LIMIT, 0, 0.1f, 1, 0},
        {AID_WHEELIE_LIMIT, 0, 0.1f, -0.05f, 10},   {AID_WHEELIE_LIMIT, 0.1f, 0.1f, 0, 10},
        {AID_WHEELIE_LIMIT, 0, 0, 0, 10},           {AID_STOPPIE_LIMIT, 0, 0.1f, 0, 10},
    };
    for (const Row &r : rows) {
        bike->aid_flags = r.flags;
        bike->wheels[0].contact_depth = r.front_depth;
        bike->wheels[1].contact_depth = r.rear_depth;
        dBodySetAngularVel(frame, r.pitch_rate, 0, 0);
        EXPECT_FLOAT_EQ(engine_torque(bike), r.torque) << (int)r.flags << " " << r.front_depth << " "
                                                      << r.rear_depth << " " << r.pitch_rate;
    }
}

TEST_F(Drivetrain, DampingSettingHalvesAtZeroAndDoublesAtHundred) {
    struct Row {
        double setting, factor;
    } rows[] = {{50, 1}, {0, 0.5}, {100, 2}};
    for (const Row &r : rows) {
        BikeSetup s = plain_setup();
        s.fork_compression_adjustment.value = s.fork_rebound_adjustment.value = r.setting;
        s.shock_compression_adjustment.value = s.shock_rebound_adjustment.value = r.setting;
        ASSERT_TRUE(bike_apply_setup(bike, &s, 0, true));
        EXPECT_FLOAT_EQ(bike->fork_compression, 60 * r.factor);
        EXPECT_FLOAT_EQ(bike->fork_rebound, 32 * r.factor);
        EXPECT_FLOAT_EQ(bike->shock_compression, 800 * r.factor);
        EXPECT_FLOAT_EQ(bike->shock_rebound, 650 * r.factor);
    }
    EXPECT_FALSE(g_setup_out_of_range);
}

TEST_F(Drivetrain, SuspensionPushesNothingAtFullExtension) {
    for (float preload : {0.0f, 0.0833333f, 0.5f})
        for (float v : {-20.0f, 0.0f, 20.0f}) {
            bike->fork_preload = preload;
            bike->shock_preload = preload;
            EXPECT_EQ(fork_force(bike, 0, v), 0.0f) << preload << " " << v;
            EXPECT_EQ(fork_force(bike, 0.01f, v), 0.0f) << preload << " " << v;
            EXPECT_EQ(shock_torque(bike, 0, v), 0.0f) << preload << " " << v;
        }
}

TEST_F(Drivetrain, ForkAirSpringAndEngagement) {
    // Spring rate 600, no preload, air gap 0.25, at rest: the air spring
    // 82.46169 ((1.25 / (1.25 - P))^1.4 - 1) plus 600 P, faded in over the
    // first 1/32 ft.
    bike->fork_spring = 600.0f;
    bike->fork_preload = 0.0f;
    bike->fork_air_gap = 0.25f;
    struct Row {
        float x, force;
    } rows[] = {
        {-1.0f, 702.431f + 600.0f},
        {-0.5f, 86.1317f + 300.0f},
        {-1.0f / 32, 2.97527f + 18.75f},
        {-1.0f / 64, 0.5f * (1.46504f + 9.375f)},
    };
    for (const Row &r : rows) EXPECT_NEAR(fork_force(bike, r.x, 0), r.force, 2e-3 * r.force) << r.x;
    // Compression damping resists, rebound damping slows the return.
    EXPECT_NEAR(fork_force(bike, -0.5f, -2) - fork_force(bike, -0.5f, 0), 2 * 60.0f, 1e-2);
    EXPECT_NEAR(fork_force(bike, -0.5f, 2) - fork_force(bike, -0.5f, 0), -2 * 32.0f, 1e-2);
}

TEST(ShockLinkage, TwoPiecesMeetAtTheBreakWithTheGivenSlopes) {
    BikeModelInfo info = rig_info();
    struct Row {
        float u, stroke, slope;
    } rows[] = {
        {0, 0, 0.3150392f},
        {0.75f, 0.2836516f, 0.4604790f},
        {1, 0.4133858f, 0.6070490f},
    };
    for (const Row &r : rows) {
        float s, ds;
        shock_linkage(&info, r.u, &s, &ds);
        EXPECT_NEAR(s, r.stroke, 1e-6) << r.u;
        EXPECT_NEAR(ds, r.slope, 1e-5) << r.u;
    }
    float below, above, slope_below, slope_above;
    shock_linkage(&info, 0.75f - 1e-4f, &below, &slope_below);
    shock_linkage(&info, 0.75f + 1e-4f, &above, &slope_above);
    EXPECT_NEAR(below, above, 1e-4);
    EXPECT_NEAR(slope_below, slope_above, 1e-3);
}

TEST(EffectiveClutch, AutomaticClutchSlipsBelowItsSpeed) {
    struct Row {
        float clutch, rpm, automatic, e;
    } rows[] = {
        {1, 5500, 5000, 0.25f}, {1, 4000, 5000, 0}, {0.1f, 5500, 5000, 0.1f},
        {1, 7000, 5000, 1},     {0.5f, 9000, 5000, 0.5f}, {1, 1000, 0, 0.5f},
    };
    for (const Row &r : rows) EXPECT_FLOAT_EQ(effective_clutch(r.clutch, r.rpm, r.automatic), r.e) << r.rpm;
}

TEST_F(Drivetrain, ClutchScalesTheCouplingAndSlips) {
    hinge(JOINT_REAR_AXLE, BODY_FRAME, BODY_REAR_WHEEL);
    const float g = bike_total_reduction(bike);
    const float h = (float)PHYSICS_STEP;
    struct Row {
        float rpm, angle;      // engine speed and angle ahead of the wheel
        float torque;          // on the frame about x; minus that on the wheel
        float angle_after;     // before this tick's engine travel
    } rows[] = {
        // auto clutch at 5500 rpm: e = 0.25, slips beyond pi/16
        {5500, 0.5f, 0.0625f * (5500 * 2 * (float)kPi / 60 * 0.75f + 3750), (float)kPi / 16},
        {5500, 0.1f, 0.0625f * (5500 * 2 * (float)kPi / 60 * 0.75f + 750), 0.1f},
        // engine braking at standstill goes through the lever alone
        {0, -0.1f, -750, -0.1f},
    };
    for (const Row &r : rows) {
        dBodySetTorque(bike->bodies[BODY_FRAME], 0, 0, 0);
        dBodySetTorque(bike->bodies[BODY_REAR_WHEEL], 0, 0, 0);
        bike->engine_speed = r.rpm * 2 * (float)kPi / 60;
        bike->engine_angle = r.angle;
        drivetrain_update(bike);
        EXPECT_NEAR(dBodyGetTorque(bike->bodies[BODY_FRAME])[0], r.torque, 1e-3 * std::fabs(r.torque)) << r.rpm;
        EXPECT_NEAR(dBodyGetTorque(bike->bodies[BODY_REAR_WHEEL])[0], -r.torque, 1e-3 * std::fabs(r.torque));
        EXPECT_NEAR(bike->engine_angle - h * bike->engine_speed / g, r.angle_after, 1e-4) << r.rpm;
    }
}

TEST_F(Drivetrain, EngineAngleStaysWrapped) {
    hinge(JOINT_REAR_AXLE, BODY_FRAME, BODY_REAR_WHEEL);
    bike->controls.clutch = 0.0f;
    bike->controls.throttle = 1.0f;
    bike->engine_speed = 1000.0f;
    for (int i = 0; i < 200; i++) {
        drivetrain_update(bike);
        ASSERT_LE(std::fabs(bike->engine_angle), (float)kPi);
    }
}

TEST_F(Drivetrain, BrakesAntilockAndStoppieLimiter) {
    hinge(JOINT_FRONT_AXLE, BODY_FORK_LOWER, BODY_FRONT_WHEEL);
    hinge(JOINT_REAR_AXLE, BODY_SWINGARM, BODY_REAR_WHEEL);
    bike->controls.front_brake = 1.0f;
    bike->controls.rear_brake = 0.5f;
    struct Row {
        uint8_t flags;
        float front_depth, front_slide, rear_depth, rear_slide;
        float front, rear;
    } rows[] = {
        {AID_FRONT_ANTILOCK, 0.1f, 3, 0.1f, 3, 0, 125},
        {AID_FRONT_ANTILOCK, 0.1f, 1.9f, 0.1f, 0, 250, 125},
        {AID_FRONT_ANTILOCK, 0, 3, 0.1f, 0, 250, 125},
        {0, 0.1f, 3, 0.1f, 3, 250, 125},
        {AID_REAR_ANTILOCK, 0.1f, 3, 0.1f, 3, 250, 0},
        {AID_REAR_ANTILOCK, 0.1f, 0, 0, 3, 250, 125},
        {AID_STOPPIE_LIMIT, 0.1f, 0, 0, 0, 0, 125},
        {AID_STOPPIE_LIMIT, 0.1f, 0, 0.1f, 0, 250, 125},
    };
    for (const Row &r : rows) {
        bike->aid_flags = r.flags;
        bike->wheels[0].contact_depth = r.front_depth;
        bike->wheels[0].contact_vel[0] = 0;
        bike->wheels[0].contact_vel[2] = r.front_slide;
        bike->wheels[1].contact_depth = r.rear_depth;
        bike->wheels[1].contact_vel[0] = r.rear_slide;
        brakes_update(bike);
        EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamFMax), r.front) << (int)r.flags;
        EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joints[JOINT_REAR_AXLE], dParamFMax), r.rear) << (int)r.flags;
        EXPECT_EQ(dJointGetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamVel), 0.0);
    }
}

TEST_F(Drivetrain, AutoGearboxShiftsOnlyWhenLoadedAndNeverPastFifth) {
    hinge(JOINT_SWINGARM_PIVOT, BODY_SWINGARM, BODY_FRAME);
    hinge(JOINT_REAR_AXLE, BODY_SWINGARM, BODY_REAR_WHEEL);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, -0.05);
    dBodySetRotation(body(BODY_SWINGARM), r);
    dBodySetRotation(body(BODY_REAR_WHEEL), r);
    ASSERT_LT(dJointGetHingeAngle(bike->joints[JOINT_SWINGARM_PIVOT]), -0.01);
    bike->aid_flags = AID_AUTO_SHIFT;
    bike->wheels[1].contact_depth = 0.1f;

    // The wheel turning fast enough for any gear's upshift point.
    dBodySetAngularVel(body(BODY_REAR_WHEEL), -200, 0, 0);
    bike->gear = 2;
    auto_shift_update(bike, 33);
    EXPECT_EQ(bike->gear, 2) << "only every 32 ticks";
    bike->wheels[1].contact_vel[0] = 2.5f;
    auto_shift_update(bike, 64);
    EXPECT_EQ(bike->gear, 2) << "not while the rear slides";
    bike->wheels[1].contact_vel[0] = 0.0f;
    for (int i = 0; i < 5; i++) auto_shift_update(bike, 32 * i);
    EXPECT_EQ(bike->gear, 4) << "the fifth of five gears";

    dBodySetAngularVel(body(BODY_REAR_WHEEL), 0, 0, 0);
    auto_shift_update(bike, 0);
    EXPECT_EQ(bike->gear, 3);
    bike->aid_flags = 0;
    auto_shift_update(bike, 0);
    EXPECT_EQ(bike->gear, 3);
}

TEST_F(Drivetrain, SetupFlagsValuesFarOutsideTheirRange) {
    struct Row {
        NumberSetting BikeSetup::*field;
        double inside, outside;   // within and beyond one eighth of the range past its end
    } rows[] = {
        {&BikeSetup::leveling, 112.4, 112.6},
        {&BikeSetup::roll_limit_angle, 202, 203},
        {&BikeSetup::roll_limit_angle, -22, -23},
        {&BikeSetup::full_lock_speed, -11.3, -11.5},
        {&BikeSetup::restricted_lock, 50.5, 51},
        {&BikeSetup::max_dab_speed, 76, 76.2},
        {&BikeSetup::max_dab_speed, -3.1, -3.2},
        {&BikeSetup::land_damping_factor, 0.76, 0.74},
        {&BikeSetup::land_damping_falloff, 0.56, 0.57},
        {&BikeSetup::auto_clutch_rpms, 5620, 5630},
        {&BikeSetup::rear_sprocket_adjustment, 2.4, 2.6},
        {&BikeSetup::front_sprocket_adjustment, -2.4, -2.6},
        {&BikeSetup::fork_compression_adjustment, 106, 107},
        {&BikeSetup::shock_rebound_adjustment, -33, -35},
        {&BikeSetup::fork_oil_level_adjustment, 112, 113},
        {&BikeSetup::rider_zdamping, -12, -13},
        {&BikeSetup::rider_mass_distribution, 0.31, 0.30},
        {&BikeSetup::rider_mass_distribution, 0.52, 0.53},
    };
    for (const Row &r : rows) {
        for (int outside = 0; outside < 2; outside++) {
            BikeSetup s = plain_setup();
            (s.*r.field).value = outside ? r.outside : r.inside;
            g_setup_out_of_range = false;
            ASSERT_TRUE(bike_apply_setup(bike, &s, 0, true));
            EXPECT_EQ(g_setup_out_of_range, outside == 1) << (s.*r.field).value;
        }
    }
    // The value itself is clamped either way.
    BikeSetup s = plain_setup();
    s.leveling.value = 150;
    s.roll_limit_angle.value = 270;
    s.max_dab_speed.value = 1;
    bike_apply_setup(bike, &s, 0, true);
    EXPECT_FLOAT_EQ(bike->leveling, 100);
    EXPECT_FLOAT_EQ(bike->roll_limit_angle, (float)kPi);
    EXPECT_FLOAT_EQ(bike->max_dab_speed, 7);
}

TEST_F(Drivetrain, SetupOptionBits) {
    struct Row {
        int front, rear, wheelies, shift, dab, align, arcade;
        bool allowed;
        uint8_t flags, arcade_bit;
    } rows[] = {
        {0, 0, 0, 0, 0, 0, 0, true, 0, 0},
        {1, 0, 1, 0, 0, 1, 1, true, AID_FRONT_ANTILOCK | AID_WHEELIE_LIMIT | AID_STOPPIE_LIMIT | AID_REALIGN, 1},
        {0, 1, 2, 1, 1, 0, 1, false, AID_REAR_ANTILOCK | AID_STOPPIE_LIMIT | AID_AUTO_SHIFT | AID_AUTO_DAB, 0},
    };
    for (const Row &r : rows) {
        BikeSetup s = plain_setup();
        s.front_brake.index = r.front;
        s.rear_brake.index = r.rear;
        s.stop_wheelies.index = r.wheelies;
        s.auto_shift.index = r.shift;
        s.auto_dab.index = r.dab;
        s.auto_align.index = r.align;
        s.arcade.index = r.arcade;
        ASSERT_TRUE(bike_apply_setup(bike, &s, 0, r.allowed));
        EXPECT_EQ(bike->aid_flags, r.flags);
        EXPECT_EQ(bike->arcade, r.arcade_bit);
    }
}

TEST_F(Drivetrain, MovingBikeRefusesSetupWithAMessageEveryTenSeconds) {
    dBodySetLinearVel(body(BODY_FRAME), 0, 0, -0.2);
    BikeSetup s = plain_setup();
    s.brake_torque.value = 100;
    struct Step {
        double time;
        bool message;
    } steps[] = {{0, true}, {5, false}, {14, false}, {24.5, true}, {30, false}};
    int lines = 0;
    for (const Step &step : steps) {
        EXPECT_FALSE(bike_apply_setup(bike, &s, step.time, true));
        if (step.message) lines++;
        EXPECT_EQ(g_console.write_index, lines) << step.time;
    }
    EXPECT_STREQ(console_recent_line(0), "Settings not applied.  Mechanic can't keep up error.");
    EXPECT_FLOAT_EQ(bike->front_brake_torque, 250);

    bike_setup_reset_refusals();
    EXPECT_FALSE(bike_apply_setup(bike, &s, 31, true));
    EXPECT_EQ(g_console.write_index, lines + 1);

    dBodySetLinearVel(body(BODY_FRAME), 0, 0.1, 0);
    EXPECT_TRUE(bike_apply_setup(bike, &s, 32, true));
    EXPECT_FLOAT_EQ(bike->front_brake_torque, 100);
}

TEST_F(Drivetrain, SprocketsNeverBelowThreeTeeth) {
    struct Row {
        float front, rear, front_offset, rear_offset, final_drive;
    } rows[] = {
        {13, 48, 0, 0, 48.0f / 13}, {13, 48, 1, -2, 46.0f / 14}, {4, 4, -2, -2, 1},
        {4, 13, -2, 0, 13.0f / 3},  {13, 48, 0.9f, 0, 48.0f / 13},
    };
    for (const Row &r : rows) {
        bike->info.front_sprocket = r.front;
        bike->info.rear_sprocket = r.rear;
        BikeSetup s = plain_setup();
        s.front_sprocket_adjustment.value = r.front_offset;
        s.rear_sprocket_adjustment.value = r.rear_offset;
        ASSERT_TRUE(bike_apply_setup(bike, &s, 0, true));
        EXPECT_FLOAT_EQ(bike->final_drive, r.final_drive) << r.front << " " << r.front_offset;
    }
}

TEST_F(Drivetrain, MassDistributionMovesRiderMassOffTheFrame) {
    dBodyID frame = body(BODY_FRAME);
    dBodyID rider = body(BODY_RIDER);
    for (double d : {0.5, 0.33, 0.4}) {
        BikeSetup s = plain_setup();
        s.rider_mass_distribution.value = d;
        ASSERT_TRUE(bike_apply_setup(bike, &s, 0, true));
        dMass fm, rm;
        dBodyGetMass(frame, &fm);
        dBodyGetMass(rider, &rm);
        EXPECT_NEAR(fm.mass, 6 + (1 - d) * 5, 1e-5) << d;
        EXPECT_NEAR(rm.mass, d * 5, 1e-5) << d;
        EXPECT_NEAR(rm.I[0], 0.4 * d * 5, 1e-5) << "a sphere of radius 1";
        EXPECT_NEAR(fm.I[0], fm.mass * (4 + 9) / 12, 1e-4) << "a box of the frame's size";
    }
}

TEST(SetupDisplay, ConversionsToMetric) {
    EXPECT_NEAR(fork_spring_kg_per_mm(913.8778f), 0.680, 5e-4);
    EXPECT_NEAR(shock_spring_kg_per_mm(2486.285f), 3.70, 5e-3);
    EXPECT_NEAR(feet_to_mm(0.0833333f), 25.40, 5e-3);
}

// A whole bike in free fall: the engine drives the rear wheel forwards
// (positive axle rate, as the gearbox reads it), and the setup moves the
// rider's mass between frame and rider body without changing the total.
TEST(DrivetrainBike, EngineTurnsTheRearWheelForwardAndSetupKeepsTheMass) {
    ASSERT_TRUE(physics_init());
    BikeState *bike = bike_create("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bike, nullptr);
    EXPECT_FLOAT_EQ(bike->final_drive, 48.0f / 13);
    bike_setup_reset_refusals();

    BikeSetup s = plain_setup();
    s.rider_mass_distribution.value = 0.5;
    ASSERT_TRUE(bike_apply_setup(bike, &s, 0, true));
    dMass frame, rider;
    dBodyGetMass(bike->bodies[BODY_FRAME], &frame);
    dBodyGetMass(bike->bodies[BODY_RIDER], &rider);
    EXPECT_NEAR(rider.mass, 0.5 * bike->info.rider_mass, 1e-5);
    double total = 0;
    for (dBodyID b : bike->bodies) {
        dMass m;
        dBodyGetMass(b, &m);
        total += m.mass;
    }
    EXPECT_NEAR(total, bike->total_mass, 1e-4);

    bike->controls.clutch = 1.0f;
    bike->controls.throttle = 1.0f;
    bike->engine_speed = 8000 * 2 * (float)kPi / 60;
    for (int i = 0; i < 64; i++) {
        drivetrain_update(bike);
        dWorldStep(g_world, PHYSICS_STEP);
        dJointGroupEmpty(g_contact_group);
    }
    float wheel_rpm = (float)dJointGetHingeAngleRate(bike->joints[JOINT_REAR_AXLE]) * bike_total_reduction(bike) *
                      60 / (2 * (float)kPi);
    EXPECT_GT(wheel_rpm, 4000);
    EXPECT_NEAR(wheel_rpm, bike_engine_rpm(bike), 500);
    bike_free(bike);
}

}  // namespace
