#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "bike/catalogue.h"
#include "core/console.h"
#include "platform/log.h"
#include "test_util.h"

static const BikeModelInfo *model(const char *name) {
    const BikeModelInfo *info = bike_info_lookup(name);
    EXPECT_NE(info, nullptr) << name;
    return info;
}

static bool six_speed(const std::string &name) {
    static const char *const SIX[] = {"250sxf(2013)", "250sxf(2009)", "kx125", "rm125", "yz125",
                                      "125sx", "rs50cr", "rs50kx", "rs50rm", "rs50yz"};
    for (const char *n : SIX)
        if (name == n) return true;
    return false;
}

class BikeCatalogue : public testing::Test {
protected:
    void SetUp() override {
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
    }
    void TearDown() override {
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }
    ScratchDir dir;
};

TEST_F(BikeCatalogue, ChooseFallsBackInCatalogueOrderWithAMessage) {
    struct Case {
        const char *request, *chosen, *message;   // message null: none shown
    } cases[] = {
        {"crf250", "kx250f(2013)", "bike info for 'crf250' not found using 'kx250f(2013)' instead"},
        {"my125racer", "cr125", "bike info for 'my125racer' not found using 'cr125' instead"},
        {"zz450", "kx250f(2013)", "bike info for 'zz450' not found using 'kx250f(2013)' instead"},
        {"a_very_long_model_name_125", "cr125",
         "bike info for 'a_very_long_model_na' not found using 'cr125' instead"},
        {"", "kx250f(2013)", "bike info for '' not found using 'kx250f(2013)' instead"},
        {"crf250(2013)", "crf250(2013)", nullptr},
        {"rs50rm", "rs50rm", nullptr},
        {"yz250f_se(2006)", "yz250f_se(2006)", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.request);
        console_clear();
        const BikeModelInfo *info = bike_info_choose(c.request);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->name, c.chosen);
        if (c.message) {
            EXPECT_EQ(g_console.write_index, 1);
            EXPECT_STREQ(console_recent_line(0), c.message);
            EXPECT_EQ(bike_info_lookup(c.request), nullptr);
        } else {
            EXPECT_EQ(g_console.write_index, 0);
            EXPECT_EQ(info, bike_info_lookup(c.request));
        }
    }
    EXPECT_EQ(bike_info_lookup(nullptr), nullptr);
    EXPECT_EQ(bike_info_lookup("CRF450(2013)"), nullptr);   // exact, case included
}

TEST(BikeCatalogueRows, MassesAndGroupValuesFollowTheModelsGroup) {
    struct Case {
        const char *name, *engine_class;
        float frame, fork, swingarm_half, rider;
        float fork_rebound, shock_spring_min, inertia, stiffness, upshift, redline;
    } cases[] = {
        {"crf450(2013)", "450f", 4.735f, 0.703125f, 0.5025f, 5.46875f, 32, 2486.285f, 0.008850098f, 7500, 10500, 12000},
        {"350sxf(2013)", "250f", 4.735f, 0.703125f, 0.5025f, 5.46875f, 32, 2486.285f, 0.006835938f, 7500, 10500, 12000},
        {"350sxf(2011)", "450f", 4.735f, 0.703125f, 0.5025f, 5.46875f, 32, 2486.285f, 0.006835938f, 7500, 10500, 12000},
        {"450sxf(2011)", "450f", 4.735f, 0.703125f, 0.5025f, 5.46875f, 32, 2486.285f, 0.008850098f, 7500, 10500, 12000},
        {"250sx(2012)", "250", 4.365625f, 0.75375f, 0.589375f, 5.46875f, 30, 2083.104f, 0.006835938f, 7500, 9000, 10500},
        {"kx250(2006)", "250", 4.365625f, 0.75375f, 0.589375f, 5.46875f, 30, 2083.104f, 0.006835938f, 7500, 9000, 10500},
        {"kx250f(2013)", "250f", 4.24f, 0.703125f, 0.504375f, 4.6875f, 30, 2217.498f, 0.004882812f, 7500, 12500, 13250},
        {"yz250f_se(2006)", "250f", 4.24f, 0.703125f, 0.504375f, 4.6875f, 30, 2217.498f, 0.004882812f, 7500, 12500, 13250},
        {"125sx", "125", 3.65375f, 0.7396875f, 0.541875f, 4.6875f, 30, 1814.316f, 0.004882812f, 7500, 12000, 12750},
        {"rm125", "125", 3.65375f, 0.7396875f, 0.541875f, 4.6875f, 30, 1814.316f, 0.004882812f, 7500, 12000, 13750},
        {"rs50kx", "50", 3.34125f, 0.7396875f, 0.541875f, 4.6875f, 30, 1814.316f, 0.001193576f, 1200, 12000, 12750},
        {"rs50rm", "50", 3.34125f, 0.7396875f, 0.541875f, 4.6875f, 30, 1814.316f, 0.001193576f, 1200, 12000, 13750},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BikeModelInfo *m = model(c.name);
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->engine_class, c.engine_class);
        EXPECT_EQ(m->frame_mass, c.frame);
        EXPECT_EQ(m->fork_mass, c.fork);
        EXPECT_EQ(m->swingarm_half_mass, c.swingarm_half);
        EXPECT_EQ(m->rider_mass, c.rider);
        EXPECT_EQ(m->fork_rebound_base, c.fork_rebound);
        EXPECT_EQ(m->shock_spring_min, c.shock_spring_min);
        EXPECT_EQ(m->engine_inertia, c.inertia);
        EXPECT_EQ(m->driveline_stiffness, c.stiffness);
        EXPECT_EQ(m->upshift_rpm, c.upshift);
        EXPECT_EQ(m->redline_rpm, c.redline);
    }
}

TEST(BikeCatalogueRows, EveryRowIsCompleteAndNamedOnce) {
    static const char *const SHARED[BIKE_FILE_COUNT] = {
        "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp",
        "@generic_swingarm.shp", "@front_wheel.shp", "@rear_wheel.shp", "@generic_rider.shp",
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        "@front_wheel.vx", "@rear_wheel.vx", "@wheels.png", "@rider_head.vx", "@rider_head.png",
        "@rider_body.vx", "@rider_body_fp.vx", "@rider_body.png", "@rider_plate.vx"};
    const BikeModelInfo *rows = bike_catalogue();
    ASSERT_NE(rows, nullptr);
    EXPECT_STREQ(rows[0].name, "crf450(2013)");
    EXPECT_STREQ(rows[BIKE_MODEL_COUNT - 1].name, "rs50yz");

    std::set<std::string> names;
    for (int i = 0; i < BIKE_MODEL_COUNT; i++) {
        const BikeModelInfo &m = rows[i];
        SCOPED_TRACE(m.name);
        EXPECT_TRUE(names.insert(m.name).second);

        for (int f = 0; f < BIKE_FILE_COUNT; f++)
            if (SHARED[f]) {
                EXPECT_STREQ(m.files[f], SHARED[f]) << f;
            }
        std::string frame = m.files[BIKE_FILE_FRAME_MODEL];
        ASSERT_GT(frame.size(), 10u);
        ASSERT_EQ(frame.substr(frame.size() - 9), "_frame.vx");
        std::string stem = frame.substr(1, frame.size() - 10);
        EXPECT_EQ("@" + stem + "_fork_upper.vx", m.files[BIKE_FILE_FORK_UPPER_MODEL]);
        EXPECT_EQ("@" + stem + "_fork_lower.vx", m.files[BIKE_FILE_FORK_LOWER_MODEL]);
        EXPECT_EQ("@" + stem + "_swingarm.vx", m.files[BIKE_FILE_SWINGARM_MODEL]);
        EXPECT_EQ("@" + stem + "_side_plates.vx", m.files[BIKE_FILE_SIDE_PLATES_MODEL]);
        EXPECT_EQ("@" + stem + "_front_plate.vx", m.files[BIKE_FILE_FRONT_PLATE_MODEL]);
        std::string texture = std::string(m.name) == "yz250f_se(2006)" ? "@yz250f_se.png" : "@" + stem + ".png";
        EXPECT_EQ(texture, m.files[BIKE_FILE_BIKE_TEXTURE]);

        // Gears: five or six, each taller than the one before.
        EXPECT_EQ(m.gear_ratio[5] > 0, six_speed(m.name));
        if (!six_speed(m.name)) {
            EXPECT_EQ(m.gear_ratio[5], -1.0f);
        }
        int gears = six_speed(m.name) ? 6 : 5;
        for (int g = 1; g < gears; g++) EXPECT_LT(m.gear_ratio[g], m.gear_ratio[g - 1]) << g;
        EXPECT_GT(m.primary_ratio, 2.0f);
        EXPECT_GT(m.rear_sprocket, 3 * m.front_sprocket);

        // Geometry, suspension and pose are the same for all.
        EXPECT_EQ(m.rear_tire_ring_radius, 0.75f);
        EXPECT_EQ(m.fork_upper_pos[1], 2.9f);
        EXPECT_EQ(m.swingarm_max_angle, 0.5303041f);
        EXPECT_EQ(m.linkage_d2, 0.6070490f);
        EXPECT_EQ(m.rider_anchor_pos[2], 4.12f);
        EXPECT_EQ(memcmp(&m.pose, &rows[0].pose, sizeof m.pose), 0);
    }
    const RiderPosePoints &pose = rows[0].pose;
    EXPECT_EQ(pose.left_hip[0], -0.269f);
    EXPECT_EQ(pose.right_hip[0], 0.269f);
    EXPECT_EQ(pose.rider_hip[1], pose.left_hip[1]);
    EXPECT_EQ(pose.rider_hip[0], 0.0f);
    EXPECT_EQ(pose.left_grip[0], -pose.right_grip[0]);
    EXPECT_EQ(pose.shin, 1.701f);
    EXPECT_EQ(pose.bone_origins, nullptr);

    EXPECT_STREQ(model("crf450(2013)")->files[BIKE_FILE_FRAME_MODEL], "@crf450v2013_frame.vx");
    EXPECT_STREQ(model("crf250(2013)")->files[BIKE_FILE_BIKE_TEXTURE], "@crf250v2010.png");
    EXPECT_STREQ(model("rs50cr")->files[BIKE_FILE_SWINGARM_MODEL], "@cr125_swingarm.vx");
}

// Every full-throttle table pulls from idle up to the cut-off, is exactly 0
// there and holds the engine back above it.
TEST(BikeCatalogueTorque, EveryTableCutsOffNearTheRedline) {
    const BikeModelInfo *rows = bike_catalogue();
    for (int i = 0; i < BIKE_MODEL_COUNT; i++) {
        const BikeModelInfo &m = rows[i];
        SCOPED_TRACE(m.name);
        float cutoff = bike_info_cutoff_rpm(&m);
        int at = (int)(cutoff / 500);
        ASSERT_EQ(at * 500.0f, cutoff);
        EXPECT_EQ(m.torque_open[at], 0.0f);
        for (int k = 0; k < at; k++) EXPECT_GT(m.torque_open[k], 0.0f) << k;
        for (int k = at + 1; k < BIKE_TORQUE_POINTS; k++) EXPECT_LT(m.torque_open[k], 0.0f) << k;
        EXPECT_GE(cutoff, m.upshift_rpm);
        EXPECT_LE(cutoff, m.redline_rpm + 1000);
        if (!strcmp(m.engine_class, "125")) {
            EXPECT_GT(cutoff, 12000.0f);
        }

        // Engine braking: a little drag at idle, growing with speed.
        EXPECT_EQ(m.torque_closed[3], 0.0f);
        for (int k = 1; k < BIKE_TORQUE_POINTS; k++) EXPECT_LE(m.torque_closed[k], m.torque_closed[k - 1]) << k;
    }
    EXPECT_EQ(bike_info_cutoff_rpm(model("crf450(2013)")), 12000.0f);
    EXPECT_EQ(bike_info_cutoff_rpm(model("yz250f(2013)")), 14000.0f);
    EXPECT_EQ(bike_info_cutoff_rpm(model("cr250(2007)")), 10500.0f);
    EXPECT_EQ(bike_info_cutoff_rpm(model("rs50yz")), 13500.0f);
}

TEST(BikeCatalogueTorque, CutoffIsTheFirstZeroAfterTheTablePulls) {
    BikeModelInfo m = {};
    for (float &t : m.torque_open) t = -1;
    m.torque_open[0] = 0;
    m.torque_open[1] = 2;
    m.torque_open[2] = 3;
    m.torque_open[3] = 0.5f;
    EXPECT_EQ(bike_info_cutoff_rpm(&m), 2000.0f);   // the leading 0 does not count
    EXPECT_EQ(bike_info_cutoff_rpm(nullptr), 0.0f);
}

TEST(BikeCatalogueTorque, MeasuredTablesHoldTheirValues) {
    struct Point {
        const char *name;
        bool open;
        int index;
        float value;
    } points[] = {
        {"crf450(2013)", true, 0, 5}, {"crf450(2013)", true, 7, 14.1f}, {"crf450(2013)", true, 14, 31},
        {"crf450(2013)", true, 23, 14.4f}, {"crf450(2013)", true, 24, 0}, {"crf450(2013)", true, 25, -10},
        {"crf450(2013)", true, 49, -34}, {"crf450(2013)", false, 2, 1}, {"crf450(2013)", false, 4, -1},
        {"crf450(2013)", false, 5, -1}, {"crf450(2013)", false, 6, -2}, {"crf450(2013)", false, 49, -23},
        {"yz250f(2013)", true, 10, 12.49f}, {"yz250f(2013)", true, 16, 18.68f}, {"yz250f(2013)", true, 27, 12},
        {"yz250f(2013)", true, 28, 0}, {"yz250f(2013)", true, 29, -13.5f}, {"yz250f(2013)", true, 49, -23.5f},
        {"cr250(2007)", true, 4, 7.5f}, {"cr250(2007)", true, 15, 32.8432f}, {"cr250(2007)", true, 20, 9.4013f},
        {"cr250(2007)", true, 21, 0}, {"cr250(2007)", true, 22, -10}, {"cr250(2007)", true, 49, -23.5f},
        {"cr250(2007)", false, 14, -3.33f}, {"cr250(2007)", false, 17, -5}, {"cr250(2007)", false, 23, -10},
        {"cr250(2007)", false, 24, -11}, {"cr250(2007)", false, 49, -23},
        {"rs50yz", true, 9, 1}, {"rs50yz", true, 10, 1.1008f}, {"rs50yz", true, 19, 4.3123f},
        {"rs50yz", true, 26, 0.808f}, {"rs50yz", true, 27, 0}, {"rs50yz", true, 28, -0.5f},
        {"rs50yz", true, 29, -0.5f}, {"rs50yz", true, 30, -1}, {"rs50yz", true, 49, -5.5f},
        {"rs50yz", false, 3, 0}, {"rs50yz", false, 4, -0.5f}, {"rs50yz", false, 49, -11.5f},
    };
    for (const Point &p : points) {
        const BikeModelInfo *m = model(p.name);
        ASSERT_NE(m, nullptr);
        const float *table = p.open ? m->torque_open : m->torque_closed;
        EXPECT_EQ(table[p.index], p.value) << p.name << (p.open ? " open[" : " closed[") << p.index << "]";
    }
    const BikeModelInfo *cr250 = model("cr250(2007)"), *rs50 = model("rs50yz");
    for (int k = 4; k < BIKE_TORQUE_POINTS; k++) EXPECT_EQ(rs50->torque_closed[k], cr250->torque_closed[k] / 2) << k;
}

// Only the declared pairs share tables; every other model pulls differently,
// and each class brakes like its template.
TEST(BikeCatalogueTorque, SharedTablesAreIdenticalAndTheRestDiffer) {
    const size_t bytes = sizeof(float) * BIKE_TORQUE_POINTS;
    auto same_open = [&](const char *a, const char *b) {
        return memcmp(model(a)->torque_open, model(b)->torque_open, bytes) == 0;
    };
    auto same_closed = [&](const char *a, const char *b) {
        return memcmp(model(a)->torque_closed, model(b)->torque_closed, bytes) == 0;
    };
    EXPECT_TRUE(same_open("yz250f(2007)", "yz250f_se(2006)"));
    EXPECT_TRUE(same_closed("yz250f(2007)", "yz250f_se(2006)"));
    for (const char *rs : {"rs50cr", "rs50kx", "rs50rm"}) {
        EXPECT_TRUE(same_open(rs, "rs50yz")) << rs;
        EXPECT_TRUE(same_closed(rs, "rs50yz")) << rs;
    }

    const BikeModelInfo *rows = bike_catalogue();
    int sharing = 0;
    for (int i = 0; i < BIKE_MODEL_COUNT; i++) {
        const BikeModelInfo &m = rows[i];
        const char *brakes_like = !strcmp(m.engine_class, "50")                                  ? "rs50yz"
                                  : !strcmp(m.engine_class, "250") || !strcmp(m.engine_class, "125") ? "cr250(2007)"
                                                                                                     : "crf450(2013)";
        EXPECT_TRUE(same_closed(m.name, brakes_like)) << m.name;
        for (int j = i + 1; j < BIKE_MODEL_COUNT; j++)
            if (memcmp(m.torque_open, rows[j].torque_open, bytes) == 0) sharing++;
    }
    EXPECT_EQ(sharing, 1 + 6);   // the yz250f pair, and the 6 pairs among the four rs50s
    EXPECT_TRUE(same_closed("yz250f(2013)", "crf450(2013)"));
}

static float peak(const BikeModelInfo *m) {
    float best = 0;
    for (float t : m->torque_open) best = t > best ? t : best;
    return best;
}

TEST(BikeCatalogueTorque, ClassesPullInOrder) {
    float cr250 = peak(model("cr250(2007)"));
    for (const char *name : {"cr125", "kx125", "rm125", "yz125", "125sx"}) {
        float ratio = peak(model(name)) / cr250;
        EXPECT_GT(ratio, 0.54f) << name;
        EXPECT_LT(ratio, 0.61f) << name;
    }
    EXPECT_GT(peak(model("crf450(2013)")), peak(model("350sxf(2013)")));
    EXPECT_GT(peak(model("350sxf(2013)")), peak(model("kx250f(2013)")));
    EXPECT_GT(peak(model("cr125")), peak(model("rs50yz")));
}

// Road speed at the cut-off from the gearing alone: the numbers a rider
// feels, and a check on the ratios.
TEST(BikeCatalogueRows, Crf450GearsTopOutAtBelievableSpeeds) {
    const BikeModelInfo *m = model("crf450(2013)");
    ASSERT_NE(m, nullptr);
    float rear_radius = m->rear_tire_ring_radius + m->rear_tire_section_radius;
    EXPECT_NEAR(rear_radius, 1.0833f, 1e-4);
    auto top_speed = [&](int gear) {
        double reduction = m->gear_ratio[gear] * m->primary_ratio * m->rear_sprocket / m->front_sprocket;
        return bike_info_cutoff_rpm(m) / reduction * 2 * M_PI / 60 * rear_radius;
    };
    EXPECT_NEAR(top_speed(0), 75.0, 1.5);    // ft/s, about 51 mph
    EXPECT_NEAR(top_speed(4), 148.0, 2.0);   // fifth
}
