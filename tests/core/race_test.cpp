// Race control: the grid, the slot rules of the reset, the roster, the
// standings rules (timed races, cutting penalties) and a short race on a
// small generated track.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bike/bike_fixture.h"
#include "core/mt19937.h"
#include "core/race.h"
#include "replay/history.h"
#include "replay/playback.h"
#include "core/settings.h"
#include "track/content.h"
#include "track/gates.h"

namespace {

const int32_t S = 128;   // ticks a second

// F = 3 (gates 0 1 2), L = 4 (gates 3 4 5 6): laps end at positions 2, 6, 10...
void use_three_four() {
    timing_gates_free(&g_gates);
    for (int k = 0; k < 7; k++) g_gates.gates[k] = TimingGate{20.0f * k + 20.0f, 0, 100, 1, 0, 0, 4, 0};
    g_gates.gate_count = 7;
    int seq[] = {0, 1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 7; i++) g_gates.sequence[i] = seq[i];
    g_gates.first_count = 3;
    g_gates.normal_count = 4;
}

// A rider whose log is the given passage ticks (-1 skipped); progress past the last.
struct Rider {
    GateProgress g = {};
    explicit Rider(const std::vector<int> &log) {
        g.log = (int32_t *)malloc(sizeof(int32_t) * (log.size() + 1));
        for (size_t i = 0; i < log.size(); i++) g.log[i] = log[i];
        g.log_count = g.log_capacity = (int)log.size();
        g.progress = (int)log.size();
    }
    ~Rider() { gate_progress_free(&g); }
};

// Passage ticks from the start at 0: each value is the seconds since the
// previous position (-1: skipped, no time).
std::vector<int> log_of(const std::vector<double> &seconds) {
    std::vector<int> out;
    double t = 0;
    for (double s : seconds) {
        if (s < 0) {
            out.push_back(-1);
            continue;
        }
        t += s;
        out.push_back((int)std::lround(t * S));
    }
    return out;
}

class RaceRules : public testing::Test {
protected:
    void SetUp() override { use_three_four(); }
    void TearDown() override { timing_gates_free(&g_gates); }
};

// A rider who skips positions gets the others' average for the stretch plus
// one second, less its own time, when its own is below that.
TEST_F(RaceRules, CuttingPenalty) {
    struct Row {
        const char *what;
        std::vector<double> own;
        std::vector<std::vector<double>> others;
        double penalty;   // seconds
    } rows[] = {
        // Positions 4 and 5 skipped: 3 -> 6 in 6 s against 10 s.
        {"two skipped, 4 s saved", {10, 5, 5, 5, -1, -1, 6}, {{10, 5, 5, 5, 3, 3, 4}}, 5},
        {"the average over riders", {10, 5, 5, 5, -1, -1, 6}, {{10, 5, 5, 5, 3, 3, 4}, {10, 5, 5, 5, 4, 4, 6}}, 7},
        {"the average over laps", {10, 5, 5, 5, -1, -1, 6}, {{10, 5, 5, 5, 3, 3, 4, 5, 4, 4, 6}}, 7},
        {"slower than the field", {10, 5, 5, 5, -1, -1, 12}, {{10, 5, 5, 5, 3, 3, 4}}, 0},
        {"nobody has the stretch", {10, 5, 5, 5, -1, -1, 6}, {{10, 5, 5, 5, 3, -1, 4}}, 55},
        {"one skipped", {10, 5, 5, 5, -1, 8}, {{10, 5, 5, 5, 4, 6}}, 3},
        {"nothing skipped", {10, 5, 5, 5, 1, 1}, {{10, 5, 5, 5, 4, 6}}, 0},
        {"a run not yet ended", {10, 5, 5, 5, -1}, {{10, 5, 5, 5, 4}}, 0},
    };
    for (const Row &row : rows) {
        std::vector<Rider *> riders{new Rider(log_of(row.own))};
        for (const auto &o : row.others) riders.push_back(new Rider(log_of(o)));
        std::vector<const GateProgress *> list;
        for (Rider *r : riders) list.push_back(&r->g);
        EXPECT_EQ(cutting_penalty(list.data(), (int)list.size(), 0, 0), (int32_t)std::lround(row.penalty * S))
            << row.what;
        for (Rider *r : riders) delete r;
    }
}

// A penalty longer than the best lap (when that is not the first) costs
// whole laps, never the first.
TEST_F(RaceRules, CuttingPenaltyTakesWholeLaps) {
    struct Row {
        std::vector<double> laps;   // seconds of each lap
        double penalty;
        int removed;
        double left;
    } rows[] = {
        {{40, 30, 35}, 70, 2, 10},
        {{40, 30, 35}, 25, 0, 25},
        {{20, 30, 35}, 70, 0, 70},    // the best lap is the first
        {{40, 30}, 100, 1, 70},       // never below the first lap line
    };
    for (const Row &row : rows) {
        std::vector<double> s;
        for (size_t n = 0; n < row.laps.size(); n++) {
            int positions = n == 0 ? 3 : 4;
            for (int p = 0; p < positions; p++) s.push_back(p + 1 < positions ? 1 : row.laps[n] - (positions - 1));
        }
        Rider r(log_of(s));
        int32_t penalty = (int32_t)(row.penalty * S);
        EXPECT_EQ(cutting_laps(&r.g, 0, &penalty), row.removed) << row.penalty;
        EXPECT_EQ(penalty, (int32_t)(row.left * S)) << row.penalty;
    }
}

// A timed race of 10 minutes and 2 laps: the finish is fixed two laps after
// the lap in which time ran out, from the first crossing of any rider.
TEST_F(RaceRules, TimedRaceFinishLaps) {
    const int32_t limit = 1700 + 600 * S;
    auto laps_at = [](const std::vector<int32_t> &lines) {
        // Lap-line ticks; the positions between are passed a tick before.
        std::vector<int> log;
        for (size_t n = 0; n < lines.size(); n++) {
            int positions = n == 0 ? 3 : 4;
            for (int p = 0; p < positions; p++) log.push_back(lines[n] - (positions - 1 - p));
        }
        return log;
    };
    struct Row {
        const char *what;
        std::vector<std::vector<int32_t>> riders;   // lap-line ticks of each
        int leader_laps;
        int finish;
    } rows[] = {
        {"time still running", {{20000, 40000, 60000}}, 3, RACE_OPEN_LAPS},
        {"lap 5 before, lap 6 after", {{15000, 30000, 45000, 60000, 75000, 90000}}, 6, 8},
        {"another rider crossed lap 6 in time", {{15000, 30000, 45000, 60000, 75000, 90000},
                                                {15000, 30000, 45000, 60000, 75000, 78000}}, 6, RACE_OPEN_LAPS},
        {"crossed exactly at the limit", {{15000, 30000, 45000, 60000, limit}}, 5, 7},
    };
    for (const Row &row : rows) {
        std::vector<Rider *> riders;
        std::vector<const GateProgress *> list;
        for (const auto &r : row.riders) {
            riders.push_back(new Rider(laps_at(r)));
            list.push_back(&riders.back()->g);
        }
        EXPECT_EQ(timed_finish_laps(list.data(), (int)list.size(), row.leader_laps, RACE_OPEN_LAPS, 2, limit), row.finish)
            << row.what;
        for (Rider *r : riders) delete r;
    }
}

TEST(RaceText, TimeText) {
    struct Row {
        int32_t ticks;
        const char *text;
    } rows[] = {{0, "0:00.000"}, {61 * 128 + 64, "1:01.500"}, {38400, "5:00.000"}, {1, "0:00.008"}};
    for (const Row &row : rows) {
        char text[32];
        race_time_text(row.ticks, text, sizeof text);
        EXPECT_STREQ(text, row.text) << row.ticks;
    }
}

TEST(RaceRoster, NumberGroupsAndTheShuffle) {
    std::set<std::string> numbers;
    for (int i = 0; i < ROSTER_SIZE; i++) numbers.insert(roster_fixed(i)->number);
    EXPECT_EQ(numbers.size(), 80u);
    EXPECT_STREQ(roster_fixed(0)->bike, "kx125");
    EXPECT_STREQ(roster_fixed(39)->bike, "yz250f_se(2006)");
    EXPECT_STREQ(roster_fixed(20)->personality, "bram");
    EXPECT_STREQ(roster_fixed(79)->personality, "dunn");
    EXPECT_STREQ(roster_fixed(61)->rider_texture, "@rider_body-alt2.png");
    EXPECT_STREQ(roster_fixed(61)->bike_texture, "@crf250-alt2.png");
    EXPECT_STREQ(roster_fixed(64)->wheel_texture, "@wheels-alt1.png");

    // The same seed gives the same order whatever came before; the order
    // is a permutation of the roster.
    roster_shuffle(1234);
    std::vector<std::string> first;
    for (int i = 0; i < ROSTER_SIZE; i++) first.push_back(g_roster[i].number);
    roster_shuffle(99);
    std::vector<std::string> other;
    for (int i = 0; i < ROSTER_SIZE; i++) other.push_back(g_roster[i].number);
    roster_shuffle(1234);
    for (int i = 0; i < ROSTER_SIZE; i++) EXPECT_EQ(first[i], g_roster[i].number);
    EXPECT_NE(first, other);
    EXPECT_EQ(std::set<std::string>(first.begin(), first.end()), numbers);
}

// --- the reset on a small track ------------------------------------------------------

// The practice field with 20 starting slots in a line across the field,
// facing -z, and two gates ahead of them.
class RaceTest : public BikeFixture {
protected:
    void SetUp() override {
        BikeFixture::SetUp();
        settings_init_defaults();
        std::string text = "startinggate:\n";
        for (int i = 0; i < 20; i++) text += "[" + std::to_string(400 + 8 * i) + " 0 600] 0\n";
        text += "checkpoints:\n30 [480 0 400] [0 0 -1]\n30 [480 0 200] [0 0 -1]\n"
                "firstlap:\n0 1\nnormallap:\n0 1\n";
        put("flat", "timing_gates", text);
        g_race.tick = 0;
    }
    void TearDown() override {
        race_free();
        settings_free();
        BikeFixture::TearDown();
    }
    bool reset(const std::map<int, int> &types, bool playback = false) {
        int t[RACE_SLOTS] = {};
        for (auto &kv : types) t[kv.first] = kv.second;
        RaceOptions o = {};
        o.playback = playback;
        o.laps = 3;
        o.track = "flat";
        return race_reset(t, &o);
    }
    std::vector<int> riders() {
        std::vector<int> out;
        for (int i = 0; i < RACE_SLOTS; i++)
            if (g_slots[i].bike) out.push_back(i);
        return out;
    }
};

TEST_F(RaceTest, GridRowsBehindTheStartingSlots) {
    std::map<int, int> types;
    for (int i = 0; i < 30; i++) types[i] = SLOT_ROBOT;
    ASSERT_TRUE(reset(types));
    ASSERT_EQ(g_gates.slot_count, 20);
    EXPECT_EQ(riders().size(), 30u);
    for (int slot : {0, 9, 19, 20, 25, 29}) {
        const BikeState *b = g_slots[slot].bike;
        ASSERT_NE(b, nullptr) << slot;
        const StartSlot &s = g_gates.slots[slot % 20];
        EXPECT_FLOAT_EQ(b->place_pos[0], s.x) << slot;
        EXPECT_FLOAT_EQ(b->place_pos[2], s.z + (slot / 20 + 0.0625f) * 10) << slot;
        EXPECT_FLOAT_EQ(b->place_heading, s.heading) << slot;
        EXPECT_EQ(g_slots[slot].kind, RIDER_ROBOT);
        EXPECT_STREQ(g_slots[slot].name, "Vorevader");
    }
    for (int slot = 20; slot < 30; slot++)
        EXPECT_NEAR(g_slots[slot].bike->place_pos[2] - g_slots[slot - 20].bike->place_pos[2], 10, 1e-4);
    EXPECT_GE(g_race.start_tick, 13 * S);
    EXPECT_LE(g_race.start_tick, 15 * S);
}

// Which slots get riders, of what kind, and whom the camera follows.
TEST_F(RaceTest, SlotRules) {
    struct Row {
        const char *what;
        std::map<int, int> types;
        bool playback;
        std::map<int, int> kinds;   // slot -> kind of every slot with a bike
        int viewed;
    } rows[] = {
        {"three humans: the first rides", {{1, SLOT_HUMAN}, {4, SLOT_HUMAN}, {8, SLOT_HUMAN}, {6, SLOT_ROBOT}},
         false, {{1, RIDER_LOCAL}, {6, RIDER_ROBOT}}, 1},
        {"all empty: a robot in slot 0", {}, false, {{0, RIDER_ROBOT}}, 0},
        {"all empty in playback without a demo", {}, true, {}, 0},
        {"a robot first in view", {{3, SLOT_ROBOT_125}, {5, SLOT_ROBOT_250}}, false,
         {{3, RIDER_ROBOT}, {5, RIDER_ROBOT}}, 3},
        {"an unknown type rides an rm125", {{2, 7}}, false, {{2, RIDER_REPLAYED}}, 2},
    };
    for (const Row &row : rows) {
        ASSERT_TRUE(reset(row.types, row.playback)) << row.what;
        std::map<int, int> kinds;
        for (int i : riders()) kinds[i] = g_slots[i].kind;
        EXPECT_EQ(kinds, row.kinds) << row.what;
        EXPECT_EQ(g_race.viewed, row.viewed) << row.what;
        EXPECT_EQ(g_race.standings_count, (int)row.kinds.size()) << row.what;
    }
    // The last row's robots: a 125 and a 250 from the roster.
    ASSERT_TRUE(reset({{3, SLOT_ROBOT_125}, {5, SLOT_ROBOT_250}, {7, SLOT_ROBOT_NUMBER + 42}}));
    EXPECT_NE(std::string(g_slots[3].bike_model).find("125"), std::string::npos);
    EXPECT_NE(std::string(g_slots[5].bike_model).find("250"), std::string::npos);
    EXPECT_STREQ(g_slots[7].number, "42");
    EXPECT_STREQ(g_slots[7].bike_model, "crf250(2008)");   // the legacy name mapped
    EXPECT_EQ(g_slots[2].bike, nullptr);
}

TEST(RaceSettings, GateChoicesBecomeSlotTypes) {
    settings_init_defaults();
    for (int i = 0; i < SETTINGS_GATES; i++) choice_set(&g_settings.slots[i], GATE_EMPTY);
    choice_set(&g_settings.slots[0], GATE_HUMAN);
    choice_set(&g_settings.slots[39], GATE_ROBOT_4_STROKE);
    int t[RACE_SLOTS];
    race_slot_types_from_settings(t);
    EXPECT_EQ(t[0], SLOT_HUMAN);
    EXPECT_EQ(t[39], SLOT_ROBOT_250);
    EXPECT_EQ(t[40], SLOT_EMPTY);
    settings_free();
}

// The roster order (and so who rides which slot) depends only on the tick
// of the reset.
TEST_F(RaceTest, RosterOrderDependsOnlyOnTheResetTick) {
    auto numbers = [&](int32_t tick) {
        g_race.tick = tick;
        EXPECT_TRUE(reset({{0, SLOT_ROBOT}, {1, SLOT_ROBOT}, {2, SLOT_ROBOT}}));
        std::vector<std::string> out;
        for (int i = 0; i < ROSTER_SIZE; i++) out.push_back(g_roster[i].number);
        for (int i = 0; i < 3; i++) EXPECT_EQ(out[i], g_slots[i].number);
        return out;
    };
    std::vector<std::string> a = numbers(5000);
    for (int i = 0; i < 5; i++) race_step();
    mt_next(&g_random);
    std::vector<std::string> b = numbers(5000), c = numbers(5001);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

// A short race: the bikes stand at their slots, the bars stay up until the
// start tick and are down 1/8 s later, turned back onto the statue's own
// orientation; the standings hold every rider.
TEST_F(RaceTest, ResetPlacesBikesAndTheGateDropsAfterTheStart) {
    ASSERT_TRUE(reset({{0, SLOT_ROBOT}, {5, SLOT_ROBOT}, {21, SLOT_ROBOT}}));
    EXPECT_STREQ(g_track.name, "flat");
    EXPECT_EQ(g_race.tick, 0);
    EXPECT_EQ(g_race.finish_laps, 3);
    EXPECT_EQ(g_race.halfway_laps, 2);
    EXPECT_EQ(g_race.standings_count, 3);
    EXPECT_EQ(g_bike_race.start_tick, g_race.start_tick);
    const int statue = g_gates.slots[5].statue;
    ASSERT_GE(statue, 0);
    float base[9];
    const Statue &st = g_track.statues[statue];
    statue_orientation(st.x, st.z, st.angle, base);

    std::map<int, std::vector<double>> placed;
    for (int slot : {0, 5, 21}) {
        const dReal *p = dBodyGetPosition(g_slots[slot].bike->bodies[BODY_FRAME]);
        placed[slot] = {p[0], p[2]};
    }
    while (g_race.tick < g_race.start_tick) race_step();
    EXPECT_FLOAT_EQ(g_race.gate_drop[5], 1.0f);
    EXPECT_NEAR(st.orientation[4], cosf(0.5890486f) * base[4], 1e-5);   // bars up: turned 3 pi / 16
    for (int i = 0; i < 8; i++) race_step();
    EXPECT_NEAR(g_race.gate_drop[5], 0.5f, 1e-5);
    for (int i = 0; i < 8; i++) race_step();
    EXPECT_FLOAT_EQ(g_race.gate_drop[5], 0.0f);
    EXPECT_FLOAT_EQ(g_race.gate_drop[19], 0.0f);
    for (int k = 0; k < 9; k++) EXPECT_NEAR(st.orientation[k], base[k], 1e-5) << k;

    for (int slot : {0, 5, 21}) {
        const BikeState *b = g_slots[slot].bike;
        const dReal *p = dBodyGetPosition(b->bodies[BODY_FRAME]);
        // Robots without their auto pilot may tip over, but stay in their slot.
        EXPECT_LT(std::hypot(p[0] - placed[slot][0], p[2] - placed[slot][1]), 3.0) << slot;
        EXPECT_NEAR(placed[slot][0], b->place_pos[0], 0.5) << slot;
        EXPECT_FALSE(bike_blown_up(b)) << slot;
    }
    EXPECT_TRUE(g_bike_race.running);
    EXPECT_FALSE(g_race.over);
}

// A time trial rides rider 0 alone from the gate before the lap line, on
// the 300 s clock.
TEST_F(RaceTest, TimeTrialStartsBeforeTheLapLine) {
    RaceOptions o = {};
    o.track = "flat";
    ASSERT_TRUE(race_reset(nullptr, &o));
    EXPECT_TRUE(g_race.time_trial);
    EXPECT_EQ(g_race.tick, RACE_TIME_TRIAL_TICK);
    EXPECT_EQ(riders(), std::vector<int>{0});
    EXPECT_EQ(g_slots[0].kind, RIDER_LOCAL);
    EXPECT_FLOAT_EQ(g_slots[0].bike->place_pos[0], 480);
    EXPECT_FLOAT_EQ(g_slots[0].bike->place_pos[2], 400);
    EXPECT_EQ(g_slots[0].gates.progress, 0);
}

}  // namespace

// --- seeking in demo playback ------------------------------------------------------

namespace {
int32_t g_seeked = -1;
int g_version = 5;
bool fake_seekable() { return true; }
int fake_version() { return g_version; }
bool fake_seek(int32_t c) {
    g_seeked = c;
    return true;
}
}  // namespace

TEST_F(RaceTest, PlaybackSeekGoesBackForgettingLaterCrossings) {
    ASSERT_TRUE(reset({{0, SLOT_ROBOT}}));
    // Without a demo reader nothing happens.
    g_playback_hooks = PlaybackHooks{};
    int32_t before = g_race.tick;
    playback_seek(-1, false);
    EXPECT_EQ(g_race.tick, before);

    g_playback_hooks = {fake_seekable, fake_version, fake_seek, nullptr};
    GateProgress *gates = &g_slots[0].gates;
    const int32_t crossings[] = {100, 200, 300};
    for (int32_t t : crossings) {
        g_race.tick = t;
        GateRace race = {t, 3, -1};
        float at[3] = {480, 10, t == 100 ? 390.0f : t == 200 ? 190.0f : 390.0f};
        gate_check(gates, nullptr, at, &race);
    }
    ASSERT_EQ(gates->progress, 3);
    g_race.tick = 400;
    uint8_t record[STATE_RECORD_BYTES] = {};
    add_state_to_history(0, record, 390);

    playback_seek(-1, false);   // c = 400 - 128 - 1
    EXPECT_EQ(g_seeked, 271);
    EXPECT_EQ(gates->progress, 2);          // the crossing at 300 is forgotten
    EXPECT_EQ(g_race.tick, 272);            // c, then one race tick
    EXPECT_FALSE(history_covers(0, 390));   // every ring was cleared

    // Forward in a version-6 demo: the race simply runs on, without roost.
    g_version = 6;
    g_race_tick_options.roost_frequency = 700;
    playback_seek(1, false);
    EXPECT_EQ(g_race.tick, 272 + 128);
    EXPECT_EQ(g_race_tick_options.roost_frequency, 700);
    g_playback_hooks = PlaybackHooks{};
    g_version = 5;
}
