#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bike/bike_fixture.h"
#include "replay/history.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes encode(BikeState *b, float w = 1024, float h = 0) {
    Bytes out(STATE_RECORD_BYTES);
    state_encode(b, w, h, out.data());
    return out;
}

uint32_t get16(const Bytes &r, int at) { return r[at] | r[at + 1] << 8; }
uint32_t get24(const Bytes &r, int at) { return r[at] | r[at + 1] << 8 | r[at + 2] << 16; }
void put16(Bytes &r, int at, uint32_t v) { r[at] = v & 255, r[at + 1] = v >> 8 & 255; }
void put24(Bytes &r, int at, uint32_t v) { r[at] = v & 255, r[at + 1] = v >> 8 & 255, r[at + 2] = v >> 16 & 255; }

// A record of a bike standing upright at rest with the joints as given.
Bytes upright_record(uint32_t x, uint32_t y, uint32_t z) {
    Bytes r(STATE_RECORD_BYTES, 0);
    put24(r, 0, x), put24(r, 3, y), put24(r, 6, z);
    for (int q : {9, 26}) put16(r, q, 65535), put16(r, q + 2, 32767), put16(r, q + 4, 32767), put16(r, q + 6, 32767);
    r[17] = 127, r[18] = 255, r[19] = 254;
    put16(r, 20, 32767), put16(r, 22, 37928), put16(r, 24, 33832);   // the rider's rest offset (0, 2.52, 0.52)
    r[34] = r[35] = 127;
    return r;
}

std::vector<int32_t> ticks_newest_first(int slot) {
    const RiderHistory &h = g_rider_history[slot];
    std::vector<int32_t> out;
    for (int k = 0; k < HISTORY_LENGTH && h.ticks[(h.head - k + HISTORY_LENGTH) % HISTORY_LENGTH] >= 0; k++) {
        out.push_back(h.ticks[(h.head - k + HISTORY_LENGTH) % HISTORY_LENGTH]);
    }
    return out;
}

double distance(const dReal *a, const dReal *b) {
    return sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// The pose fields (bytes 0-35) as expected; the quaternions (which the
// bodies renormalise) within one unit, the marker bit not compared.
void expect_pose(const Bytes &got, const Bytes &want) {
    for (int i = 0; i < 9; i += 3) EXPECT_EQ(get24(got, i), get24(want, i)) << "byte " << i;
    for (int q : {9, 26}) {
        for (int i = 0; i < 8; i += 2) EXPECT_NEAR((int)get16(got, q + i), (int)get16(want, q + i), 1) << "byte " << q + i;
    }
    EXPECT_EQ(got[17], want[17]);
    EXPECT_EQ(got[18], want[18]);
    EXPECT_EQ(got[19] & ~1, want[19] & ~1);
    for (int i = 20; i < 26; i += 2) EXPECT_EQ(get16(got, i), get16(want, i)) << "byte " << i;
    EXPECT_EQ(got[34], want[34]);
    EXPECT_EQ(got[35], want[35]);
}

class HistoryTest : public BikeFixture {
    void SetUp() override {
        BikeFixture::SetUp();
        history_clear();
    }
    void TearDown() override {
        history_clear();
        BikeFixture::TearDown();
    }
};

}  // namespace

TEST_F(HistoryTest, EncodesTheTableByteForByte) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(g_terrain.world_size, 1024.0f);
    ASSERT_EQ(g_terrain.min_height, 0.0f);
    bike_reset_pose(b);
    bike_rotate(b, 0, 1, 0, (float)M_PI / 2);
    bike_translate(b, 100, 20, 300);
    b->gear = 3;
    b->controls.throttle = 0.5f;
    b->dab_extension = 0.25f;
    b->engine_speed = 1000;
    // Frame (3.6, 1.98, 0) turned and moved: (103.6, 21.98, 300); x / 1024 *
    // 16777215 = 1697382.3, y 360120.3, z 4915199.7. A quarter turn about y:
    // q = (0.7071, 0, 0.7071, 0), (q + 1) / 2 * 65535 = 55937.6 and 32767.5.
    // Joints at rest: steering 127.5, swingarm 255 (bit 0 set), fork 255 with
    // the marker 0. Rider offset turned (0.52, 2.52, 0): (d + 16) / 32 * 65535
    // = 33832.4, 37928.4, 32767.5. Axles 127.5. Gear 3, dab, throttle 7.5 ->
    // 0x7b. 1000 rad/s = 9549.3 rpm -> 19098.3.
    const Bytes want = {
        0x66, 0xe6, 0x19, 0xb8, 0x7e, 0x05, 0xff, 0xff, 0x4a,   // frame position
        0x81, 0xda, 0xff, 0x7f, 0x81, 0xda, 0xff, 0x7f,         // frame quaternion
        0x7f, 0xff, 0xfe,                                       // steering, swingarm, fork
        0x28, 0x84, 0x28, 0x94, 0xff, 0x7f,                     // rider offset
        0x81, 0xda, 0xff, 0x7f, 0x81, 0xda, 0xff, 0x7f,         // rider quaternion
        0x7f, 0x7f, 0x7b, 0x9a, 0x4a,                           // axles, gear and state, engine
    };
    EXPECT_EQ(encode(b), want);

    StateDecoded d;
    state_decode(want.data(), STATE_VERSION, &b->info, 1024, 0, &d);
    const dReal *p = pos(b);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(d.frame_pos[i], p[i], 1024.0 / 16777215);
    EXPECT_NEAR(d.frame_quat[0], M_SQRT1_2, 1e-4);
    EXPECT_NEAR(d.frame_quat[2], M_SQRT1_2, 1e-4);
    EXPECT_NEAR(d.rider_offset[0], 0.52, 1e-3);
    EXPECT_NEAR(d.rider_offset[1], 2.52, 1e-3);
    EXPECT_EQ(d.gear, 3);
    EXPECT_TRUE(d.dab);
    EXPECT_FALSE(d.crashed);
    EXPECT_NEAR(d.throttle, 7 / 15.0, 1e-6);
    EXPECT_NEAR(d.engine_speed, 1000, 0.1);
    EXPECT_NEAR(d.swingarm_angle, 0, 1e-6);
    EXPECT_NEAR(d.fork_pos, -b->info.fork_travel / 255, 1e-6);   // the marker bit costs a step
}

TEST_F(HistoryTest, GearAndStateByte) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    struct Row {
        int gear;
        float throttle, dab;
        int countdown;
        uint8_t byte;
        int decoded_countdown;
    } rows[] = {
        {0, 0, 0, 0, 0x00, 0},
        {5, 1, 0, 0, 0xf5, 0},
        {2, 0.99f, 0.01f, 0, 0xea, 0},
        {3, 1, 1, 1, 0x07, 1},          // (15 - 15) / 127 = 0
        {3, 1, 1, 100, 0xb7, 94},       // (1500 - 15) / 127 = 11; 11 * 127 / 15 + 1
        {0, 0, 0, 512, 0xf7, 128},      // capped at 15
        {0, 0, 0, 0x7fffffff, 0xf7, 128},
    };
    for (const Row &row : rows) {
        b->gear = row.gear;
        b->controls.throttle = row.throttle;
        b->dab_extension = row.dab;
        b->crash_countdown = row.countdown;
        Bytes r = encode(b);
        EXPECT_EQ(r[36], row.byte) << "countdown " << row.countdown << " gear " << row.gear;
        StateDecoded d;
        state_decode(r.data(), STATE_VERSION, &b->info, 1024, 0, &d);
        EXPECT_EQ(d.crash_countdown, row.decoded_countdown);
    }
}

TEST_F(HistoryTest, ClampsAtTheWorldEdges) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    dBodyID frame = b->bodies[BODY_FRAME], rider = b->bodies[BODY_RIDER];
    struct Row {
        double x, y, z, rider_dy;
        uint32_t bx, by, bz, offset_y;
    } rows[] = {
        {-5, -40, 2000, -20, 0, 0, 16777215, 0},
        {1e9, 1e9, -1e9, 40, 16777215, 16777215, 0, 65535},
        {1024, -10 + 1024, 0, 16, 16777215, 16777215, 0, 65535},
        {NAN, NAN, NAN, 0, 0, 0, 0, 32767},
    };
    for (const Row &row : rows) {
        dBodySetPosition(frame, row.x, row.y, row.z);
        dBodySetPosition(rider, 0, row.rider_dy, 0);
        if (std::isfinite(row.x)) dBodySetPosition(rider, row.x, row.y + row.rider_dy, row.z);
        Bytes r = encode(b, 1024, -10);
        EXPECT_EQ(get24(r, 0), row.bx) << row.x;
        EXPECT_EQ(get24(r, 3), row.by) << row.y;
        EXPECT_EQ(get24(r, 6), row.bz) << row.z;
        if (std::isfinite(row.x)) {
            EXPECT_EQ(get16(r, 22), row.offset_y) << row.rider_dy;
        }
    }
}

TEST_F(HistoryTest, RingKeepsTicksInOrder) {
    Bytes a = upright_record(1, 2, 3), b = upright_record(4, 5, 6);
    EXPECT_TRUE(add_state_to_history(7, a.data(), 100));
    EXPECT_FALSE(add_state_to_history(7, b.data(), 100));   // the first record of a tick wins
    EXPECT_EQ(ticks_newest_first(7), (std::vector<int32_t>{100}));
    const uint8_t *newest = g_rider_history[7].records[g_rider_history[7].head];
    EXPECT_EQ(newest[0], 1);
    EXPECT_TRUE(add_state_to_history(7, a.data(), 104));
    EXPECT_TRUE(add_state_to_history(7, b.data(), 102));
    EXPECT_EQ(ticks_newest_first(7), (std::vector<int32_t>{104, 102, 100}));
    EXPECT_EQ(g_rider_history[7].pending, 3);
    EXPECT_FALSE(add_state_to_history(7, a.data(), -1));
    EXPECT_EQ(ticks_newest_first(8), std::vector<int32_t>{});

    EXPECT_FALSE(add_state_to_history(HISTORY_SLOTS, a.data(), 5));
    EXPECT_FALSE(add_state_to_history(-1, a.data(), 5));
    int reported = 0;
    for (const std::string &line : messages()) reported += line == "add_state_to_history: slot out of range";
    EXPECT_EQ(reported, 2);

    // A full ring loses its oldest entry, also when a late record goes in
    // between; one older than all of a full ring is not stored.
    for (int t = 0; t < 130; t++) add_state_to_history(3, a.data(), 2 * t);
    std::vector<int32_t> ticks = ticks_newest_first(3);
    ASSERT_EQ(ticks.size(), 128u);
    EXPECT_EQ(ticks.front(), 258);
    EXPECT_EQ(ticks.back(), 4);
    EXPECT_EQ(g_rider_history[3].pending, 128);
    EXPECT_TRUE(add_state_to_history(3, a.data(), 255));
    ticks = ticks_newest_first(3);
    EXPECT_EQ(ticks[0], 258);
    EXPECT_EQ(ticks[1], 256);
    EXPECT_EQ(ticks[2], 255);
    EXPECT_EQ(ticks.back(), 6);
    EXPECT_FALSE(add_state_to_history(3, a.data(), 1));
    EXPECT_EQ(ticks_newest_first(3).back(), 6);

    history_clear();
    EXPECT_EQ(g_rider_history[3].pending, 0);
    EXPECT_EQ(ticks_newest_first(3), std::vector<int32_t>{});
}

TEST_F(HistoryTest, PicksTheRecordsAroundATick) {
    Bytes r = upright_record(0, 0, 0);
    add_state_to_history(0, r.data(), 100);
    add_state_to_history(0, r.data(), 104);
    struct Row {
        int64_t tick;
        int32_t e, g, target;
        float fraction;
    } rows[] = {
        {102, 100, 104, 102, 0.5f},   {104, 100, 104, 104, 1.0f},   {101, 100, 104, 101, 0.25f},
        {110, 100, 104, 110, 2.5f},   {200, 100, 104, 168, 17.0f},  {100, 100, 100, 100, 0.0f},
        {-20, 100, 100, 100, 0.0f},
    };
    for (const Row &row : rows) {
        HistoryPick pick;
        ASSERT_TRUE(history_pick(&g_rider_history[0], row.tick, &pick));
        EXPECT_EQ(pick.older_tick, row.e) << row.tick;
        EXPECT_EQ(pick.newer_tick, row.g) << row.tick;
        EXPECT_EQ(pick.target, row.target) << row.tick;
        EXPECT_FLOAT_EQ(pick.fraction, row.fraction) << row.tick;
    }
    HistoryPick pick;
    EXPECT_FALSE(history_pick(&g_rider_history[1], 100, &pick));
    add_state_to_history(1, r.data(), 50);   // a single record stands for every tick
    ASSERT_TRUE(history_pick(&g_rider_history[1], 90, &pick));
    EXPECT_EQ(pick.older, pick.newer);
    EXPECT_EQ(pick.fraction, 0.0f);

    // Present while the history holds entries within a second of now.
    EXPECT_TRUE(history_covers(0, 200));
    EXPECT_FALSE(history_covers(0, 229));
    EXPECT_FALSE(history_covers(2, 100));
    EXPECT_FALSE(history_covers(HISTORY_SLOTS, 100));
}

TEST_F(HistoryTest, InterpolatesHalfway) {
    Bytes older = upright_record(1000, 500, 70000), newer = upright_record(3000, 501, 60000);
    // Newer: a quarter turn about y (given as -q, the same rotation).
    for (int q : {9, 26}) put16(newer, q, 65535 - 55937), put16(newer, q + 4, 65535 - 55937);
    older[17] = 100, newer[17] = 200;
    older[18] = 11, newer[18] = 21;
    older[19] = 31, newer[19] = 40;
    put16(newer, 20, 40000);
    older[36] = 0x35, newer[36] = 0xf7;
    put16(older, 37, 1000), put16(newer, 37, 2001);
    Bytes out(STATE_RECORD_BYTES);
    state_interpolate(older.data(), newer.data(), 0.5f, STATE_VERSION, out.data());
    EXPECT_EQ(get24(out, 0), 2000u);
    EXPECT_EQ(get24(out, 3), 500u);
    EXPECT_EQ(get24(out, 6), 65000u);
    StateDecoded d;
    state_decode(out.data(), STATE_VERSION, nullptr, 1024, 0, &d);
    const float c = (float)cos(M_PI / 8), s = (float)sin(M_PI / 8);   // an eighth turn about y
    EXPECT_NEAR(d.frame_quat[0], c, 1e-4);
    EXPECT_NEAR(d.frame_quat[2], s, 1e-4);
    EXPECT_NEAR(d.rider_quat[0], c, 1e-4);
    EXPECT_NEAR(d.frame_quat[1], 0, 1e-4);
    EXPECT_EQ(out[17], 150);
    EXPECT_EQ(out[18], 17);       // 16, bit 0 set
    EXPECT_EQ(out[19], 35);       // 35.5; the marker bit is the older record's
    EXPECT_EQ(get16(out, 20), (32767u + 40000u) / 2);
    EXPECT_EQ(out[36], 0x35);
    EXPECT_EQ(get16(out, 37), 1500u);

    // Extrapolation stays in range; f = 0 and version-4 records copy the older.
    state_interpolate(older.data(), newer.data(), 17.0f, STATE_VERSION, out.data());
    EXPECT_EQ(get24(out, 0), 35000u);
    EXPECT_EQ(get24(out, 6), 0u);
    EXPECT_EQ(out[17], 255);
    state_interpolate(older.data(), newer.data(), 0.0f, STATE_VERSION, out.data());
    EXPECT_EQ(out, older);
    state_interpolate(older.data(), newer.data(), 0.5f, 4, out.data());
    EXPECT_EQ(out, older);
}

TEST_F(HistoryTest, WheelAnglesUnwrap) {
    struct Row {
        uint8_t older, newer;
        float fraction;
        uint8_t want;
    } rows[] = {
        {250, 5, 0.5f, 0},       // forward through the full turn, not back across
        {250, 5, 0.25f, 252},
        {5, 250, 0.5f, 0},       // more than 7/8 up: a small step back
        {100, 90, 0.5f, 95},     // a small step back stays one
        {100, 60, 0.5f, 207},    // more than 1/8 down: forward a turn
        {10, 200, 0.5f, 105},
    };
    Bytes older = upright_record(0, 0, 0), newer = older, out(STATE_RECORD_BYTES);
    for (const Row &row : rows) {
        older[34] = older[35] = row.older;
        newer[34] = newer[35] = row.newer;
        state_interpolate(older.data(), newer.data(), row.fraction, STATE_VERSION, out.data());
        EXPECT_EQ(out[34], row.want) << (int)row.older << " -> " << (int)row.newer;
        EXPECT_EQ(out[35], row.want);
    }
}

TEST_F(HistoryTest, SetPoseGivesTheRecordBack) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    Bytes r = upright_record(8000000, 1638400, 9000000);   // about (488, 100, 549)
    // The frame rolled and pitched a little; the rider off the rest point.
    const double q[4] = {0.95, 0.2, 0.15, -0.18}, n = sqrt(0.95 * 0.95 + 0.04 + 0.0225 + 0.0324);
    for (int i = 0; i < 4; i++) put16(r, 9 + 2 * i, (uint32_t)((q[i] / n + 1) / 2 * 65535));
    r[17] = 40, r[18] = 101, r[19] = 0x80, r[34] = 200, r[35] = 17, r[36] = 0x52;
    put16(r, 20, 33000), put16(r, 22, 38500), put16(r, 24, 33100);
    put16(r, 37, 20000);
    StateDecoded d;
    state_decode(r.data(), STATE_VERSION, &b->info, 1024, 0, &d);
    state_set_pose(b, &d);
    expect_pose(encode(b), r);
    // The joints hold together: each hinge's anchor is the same point on both bodies.
    const int hinges[] = {JOINT_FRONT_AXLE, JOINT_REAR_AXLE, JOINT_STEERING, JOINT_SWINGARM_PIVOT};
    for (int j : hinges) {
        dVector3 a1, a2;
        dJointGetHingeAnchor(b->joints[j], a1);
        dJointGetHingeAnchor2(b->joints[j], a2);
        EXPECT_LT(distance(a1, a2), 1e-5) << "joint " << j;
    }
    EXPECT_NEAR(dJointGetSliderPosition(b->joints[JOINT_FORK_SLIDE]), d.fork_pos, 1e-6);
}

TEST_F(HistoryTest, ApplySetsTheBikeFromItsHistory) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    bike_disable(b);
    // 0.25 ft along x in 4 ticks: 8 ft/s; the frame 4 ft above the ground.
    Bytes a = upright_record(8000000, 65536, 8000000), c = a;
    put24(c, 0, 8000000 + 4096);
    a[36] = 0x32, c[36] = 0x43;
    a[34] = 0, c[34] = 16;
    add_state_to_history(5, a.data(), 100);
    add_state_to_history(5, c.data(), 104);

    history_apply(5, b, 104, STATE_VERSION);
    Bytes got = encode(b);
    expect_pose(got, c);
    EXPECT_EQ(Bytes(got.begin() + 36, got.end()), Bytes(c.begin() + 36, c.end()));
    EXPECT_EQ(b->gear, 3);
    EXPECT_NEAR(b->controls.throttle, 4 / 15.0, 1e-6);
    EXPECT_NEAR(vel(b)[0], 4096.0 * 1024 / 16777215 / (4.0 / 128), 1e-6);
    EXPECT_NEAR(vel(b)[1], 0, 1e-9);
    EXPECT_NEAR(vel(b, BODY_RIDER)[0], vel(b)[0], 1e-9);
    // The front wheel rolls forward: 16/255 turn in 4 ticks about -x.
    EXPECT_NEAR(dBodyGetAngularVel(b->bodies[BODY_FRONT_WHEEL])[0], -16 * 2 * M_PI / 255 * 32, 1e-3);

    history_apply(5, b, 102, STATE_VERSION);
    StateDecoded d;
    state_decode(encode(b).data(), STATE_VERSION, &b->info, 1024, 0, &d);
    EXPECT_EQ(get24(encode(b), 0), 8000000u + 2048);
    EXPECT_EQ(b->gear, 2);                         // byte 36 of the older record

    // Carried past the newest record, at most 64 ticks.
    history_apply(5, b, 1000, STATE_VERSION);
    EXPECT_EQ(get24(encode(b), 0), 8000000u + 4096 * 17);
}

TEST_F(HistoryTest, ApplyLiftsABikeOutOfTheGround) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    bike_disable(b);
    Bytes r = upright_record(8000000, 16384 * 1, 8000000);   // frame 1 ft up: the wheels deep in the ground
    add_state_to_history(0, r.data(), 10);
    history_apply(0, b, 10, STATE_VERSION);
    const WheelState &rear = b->wheels[1];
    EXPECT_NEAR(pos(b, BODY_REAR_WHEEL)[1] - rear.ring_radius - rear.section_radius, 0, 1e-4);
    EXPECT_NEAR(pos(b)[1] - pos(b, BODY_REAR_WHEEL)[1], b->info.frame_pos[1] - b->info.rear_wheel_pos[1], 1e-4);
    EXPECT_NEAR(vel(b)[0], 0, 1e-12);   // a single record: at rest
}

TEST_F(HistoryTest, ApplyFollowsCrashAndDab) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    bike_disable(b);
    dJointID mount = b->joints[JOINT_RIDER_MOUNT];
    Bytes riding = upright_record(8000000, 65536, 8000000), crashed = riding, dab = riding;
    crashed[36] = 0xf7;
    dab[36] = 0x0a;   // third gear, foot down
    add_state_to_history(0, riding.data(), 100);
    add_state_to_history(0, crashed.data(), 101);
    add_state_to_history(0, dab.data(), 102);

    history_apply(0, b, 100, STATE_VERSION);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_EQ(b->dab_extension, 0.0f);
    history_apply(0, b, 101, STATE_VERSION);
    EXPECT_EQ(b->crash_countdown, 128);
    EXPECT_EQ(dJointGetBody(mount, 0), nullptr);   // the rider off the bike
    EXPECT_FLOAT_EQ(b->dab_extension, 8.0f / 128);
    EXPECT_NE(b->left_foot[1], 0.0f);                // the crash pose's feet taken
    history_apply(0, b, 102, STATE_VERSION);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_EQ(dJointGetBody(mount, 0), b->bodies[BODY_RIDER]);
    EXPECT_EQ(b->gear, 2);
    EXPECT_FLOAT_EQ(b->dab_extension, 16.0f / 128);
    // The rider stays where the record put it, not at the attach point.
    EXPECT_NEAR(pos(b, BODY_RIDER)[1] - pos(b)[1], 2.52, 1e-3);
    history_apply(0, b, 100, STATE_VERSION);
    EXPECT_FLOAT_EQ(b->dab_extension, 12.0f / 128);
}

TEST_F(HistoryTest, AwakeBikeIsPulledTowardTheRecord) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    Bytes here = upright_record(8000000, 65536, 8000000);
    StateDecoded d;
    state_decode(here.data(), STATE_VERSION, &b->info, 1024, 0, &d);
    Bytes ahead = here;
    put24(ahead, 0, 8000000 + 1600);   // 0.0977 ft along x
    double dx = 1600.0 * 1024 / 16777215;
    add_state_to_history(0, ahead.data(), 10);
    struct Row {
        float activity;
        double force_x;
    } rows[] = {
        {1.0f, 0}, {0.8f, 0}, {0.6f, 3000 * dx}, {0.45f, (5000 + 45000 * 0.1) * dx}, {0.26f, 2500},   // 26600 * dx, held at 2500
    };
    for (const Row &row : rows) {
        state_set_pose(b, &d);
        for (dBodyID body : b->bodies) {
            dBodySetLinearVel(body, 0, 0, 0), dBodySetAngularVel(body, 0, 0, 0);
            dBodySetForce(body, 0, 0, 0), dBodySetTorque(body, 0, 0, 0);
        }
        b->activity = row.activity;
        history_apply(0, b, 10, STATE_VERSION);
        const dReal *f = dBodyGetForce(b->bodies[BODY_FRAME]);
        EXPECT_NEAR(f[0], row.force_x, 0.5) << row.activity;
        EXPECT_NEAR(f[1], 0, 1e-6);
        EXPECT_EQ(get24(encode(b), 0), 8000000u) << "an awake bike is not moved";
    }
    // A crash in the record takes the rider off an awake bike.
    Bytes crashed = ahead;
    crashed[36] = 0x37;
    add_state_to_history(0, crashed.data(), 11);
    history_apply(0, b, 11, STATE_VERSION);
    EXPECT_EQ(b->crash_countdown, 3 * 127 / 15 + 1);
    EXPECT_EQ(dJointGetBody(b->joints[JOINT_RIDER_MOUNT], 0), nullptr);
    EXPECT_EQ(b->controls.throttle, 0.0f);
}

TEST_F(HistoryTest, VersionFourRecordsPutTheRiderOnItsMount) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    Bytes r = upright_record(8000000, 65536, 8000000);
    r.resize(STATE_RECORD_V4_BYTES);
    // A quarter turn about y; the rider at the top of its travel.
    put16(r, 9, 55937), put16(r, 13, 55937);
    r[20] = 255, r[21] = 10, r[22] = 20, r[23] = 0x41, r[24] = 0x34, r[25] = 0x12;
    StateDecoded d;
    state_decode(r.data(), 4, &b->info, 1024, 0, &d);
    const BikeModelInfo &in = b->info;
    double unit = in.rider_mount_dir[1] / sqrt(2 * in.rider_mount_dir[1] * in.rider_mount_dir[1]);
    double y = in.rider_anchor_pos[1] - in.frame_pos[1] + in.rider_mount_max * unit;
    double z = in.rider_anchor_pos[2] - in.frame_pos[2] + in.rider_mount_max * unit;
    EXPECT_NEAR(d.rider_offset[0], z, 1e-3);   // the frame's z axis turned onto x
    EXPECT_NEAR(d.rider_offset[1], y, 1e-3);
    EXPECT_NEAR(d.rider_offset[2], 0, 1e-3);
    for (int i = 0; i < 4; i++) EXPECT_EQ(d.rider_quat[i], d.frame_quat[i]);
    EXPECT_EQ(d.gear, 1);
    EXPECT_NEAR(d.throttle, 4 / 15.0, 1e-6);
    EXPECT_NEAR(d.front_axle_angle, 10 / 255.0 * 2 * M_PI - M_PI, 1e-5);
    EXPECT_NEAR(d.engine_speed, 0x1234 / 65535.0 * 32768 * 2 * M_PI / 60, 1e-2);
}
