#include <gtest/gtest.h>

#include <string>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "make_data.h"
#include "test_util.h"
#include "tool_ride.h"
#include "track/gates.h"
#include "track/terrain.h"

// The default course, ridden by the test rider with a new player's setup:
// a whole lap without a fall, within a believable time, through every one
// of the track's timing gates in order.
TEST(RideCourse, TheTestRiderLapsTheDefaultTrackWithoutFalling) {
    ScratchDir dir;
    use_data_dirs(dir / "xdg", dir / "data");
    for (const DataArchive &a : make_data_set()) {
        std::string error;
        ASSERT_TRUE(archive_write(a.members, dir / ("data/" + a.file), &error)) << error;
    }
    ASSERT_TRUE(physics_init());
    settings_init_defaults();
    ASSERT_TRUE(terrain_load("@vovezuzize", TERRAIN_UPDATE_SOFTWARE));
    CourseFollower follower = {};
    ASSERT_TRUE(course_load("vovezuzize", &follower));

    BikeState *bike = bike_create(choice_name(&g_settings.setup.bike), 0, "1", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bike, nullptr);
    const CoursePoint &start = follower.points[0];
    bike_place(bike, start.x, start.z, start.heading);
    ASSERT_TRUE(bike_apply_setup(bike, &g_settings.setup, 0, true));
    g_bike_race.start_tick = 0;
    g_bike_race.running = true;

    ASSERT_TRUE(timing_gates_load("@vovezuzize/timing_gates"));
    EXPECT_EQ(g_gates.slot_count, 40);
    GateProgress gates = {};
    gate_progress_reset(&gates);

    PhysicsTickOptions options = {1000, false, true};
    int64_t tick = 0;
    while (follower.laps == 0 && tick < 200 * 128) {
        course_follow(&follower, bike, tick / 128.0);
        physics_tick(&bike, 1, tick, &options);
        GateRace race = {(int32_t)tick, 1, -1};
        gate_step(&gates, bike, &race);
        tick++;
    }
    EXPECT_EQ(rider_lap(&gates), 1);
    EXPECT_TRUE(gates.finished);
    for (int i = 0; i < gates.log_count; i++) EXPECT_GE(gates.log[i], 0) << "gate position " << i << " was missed";
    EXPECT_NEAR(rider_lap_time(&gates, 1, 0), follower.last_lap, 2.0);
    gate_progress_free(&gates);

    // The practice field has its own small loop of gates.
    ASSERT_TRUE(timing_gates_load("@flat/timing_gates"));
    EXPECT_EQ(g_gates.gate_count, 6);
    EXPECT_EQ(g_gates.slot_count, 40);
    timing_gates_free(&g_gates);
    EXPECT_EQ(follower.laps, 1);
    EXPECT_EQ(bike->crash_count, 0);
    EXPECT_GT(follower.last_lap, 40);    // 3000 ft at under 50 mph on average
    EXPECT_LT(follower.last_lap, 150);
    bike_free(bike);
    terrain_free();
    shapes_free();
    settings_free();
    g_bike_race = BikeRaceInfo{};
}
