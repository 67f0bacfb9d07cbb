// Timing gates: the "timing_gates" reader and writer, the per-step passage
// scan, laps, lap times, finishing and the practice restart.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "bike/bike_fixture.h"
#include "core/game.h"
#include "track/gates.h"
#include "track/track_fixture.h"

namespace {

const float k_pi = 3.14159265f;

// Gate k stands at x = 20k + 20, z = 100, facing +x, radius 4.
enum WheelAt { THROUGH, BEFORE, AROUND };

std::vector<float> wheel(int gate, WheelAt at = THROUGH) {
    float x = 20.0f * gate + 20.0f;
    if (at == THROUGH) return {x + 1, 0, 100};
    if (at == BEFORE) return {x - 1, 0, 100};
    return {x + 1, 0, 106};   // past the plane, outside the circle
}

void use_table(int gates, const std::vector<int> &first, const std::vector<int> &normal) {
    timing_gates_free(&g_gates);
    for (int k = 0; k < gates; k++) g_gates.gates[k] = TimingGate{20.0f * k + 20.0f, 0, 100, 1, 0, 0, 4, 0};
    g_gates.gate_count = gates;
    int n = 0;
    for (int e : first) g_gates.sequence[n++] = e;
    for (int e : normal) g_gates.sequence[n++] = e;
    g_gates.first_count = (int)first.size();
    g_gates.normal_count = (int)normal.size();
    g_gates.first_switch_count = g_gates.normal_switch_count = 1;
}

// F = 3 (gates 0 1 2), L = 4 (gates 3 4 5 6): laps end at positions 2, 6, 10...
void use_three_four() { use_table(7, {0, 1, 2}, {3, 4, 5, 6}); }

void set_rider(GateProgress *r, int progress, const std::vector<int> &log) {
    gate_progress_free(r);
    r->log = (int32_t *)malloc(sizeof(int32_t) * (log.size() + 1));
    for (size_t i = 0; i < log.size(); i++) r->log[i] = log[i];
    r->log_count = r->log_capacity = (int)log.size();
    r->progress = progress;
}

std::vector<int> log_of(const GateProgress &r) { return std::vector<int>(r.log, r.log + r.log_count); }

class GatesTest : public TrackFixture {
public:
    void SetUp() override {
        TrackFixture::SetUp();
        timing_gates_free(&g_gates);
        g_gate_hooks = GateHooks{};
    }
    void TearDown() override {
        gate_progress_free(&rider);
        timing_gates_free(&g_gates);
        g_gate_hooks = GateHooks{};
        g_debug_level = 0;
        TrackFixture::TearDown();
    }
    bool load(const std::string &text) {
        put("t", "timing_gates", text);
        return timing_gates_load("@t/timing_gates");
    }
    int step(const std::vector<float> &w, int32_t tick = 1000, int laps = 3, int leader = -1) {
        GateRace race = {tick, laps, leader};
        return gate_check(&rider, nullptr, w.data(), &race);
    }

    GateProgress rider = {};
};

// --- the passage scan -------------------------------------------------------------

TEST_F(GatesTest, ScanTakesNearbyPositionsButNotPastAnUnpassedLapLine) {
    use_three_four();
    const int T = 1000;
    struct Row {
        const char *what;
        int progress;
        std::vector<int> log;
        int gate;
        WheelAt at;
        int passed;
        std::vector<int> log_after;
    } rows[] = {
        {"the next gate", 0, {}, 0, THROUGH, 0, {T}},
        {"short of the next gate", 0, {}, 0, BEFORE, -1, {}},
        {"skipping one", 0, {}, 1, THROUGH, 1, {-1, T}},
        {"skipping two", 3, {1, 2, 3}, 5, THROUGH, 5, {1, 2, 3, -1, -1, T}},
        {"skipping three", 3, {1, 2, 3}, 6, THROUGH, -1, {1, 2, 3}},
        {"onto the lap line past a gate", 1, {1}, 2, THROUGH, 2, {1, -1, T}},
        {"past the unpassed lap line", 2, {1, 2}, 3, THROUGH, -1, {1, 2}},
        {"over the lap line's plane outside it", 2, {1, 2}, 2, AROUND, -1, {1, 2}},
        {"the gate just passed again, after a cut", 5, {1, 2, 3, -1, 5}, 4, THROUGH, -1, {1, 2, 3, -1, 5}},
        {"a gate behind passed normally", 5, {1, 2, 3, 4, 5}, 2, THROUGH, -1, {1, 2, 3, 4, 5}},
        {"a skipped gate made up", 7, {1, 2, 3, 4, -1, 6, 7}, 4, THROUGH, 4, {1, 2, 3, 4, T, 6, 7}},
        {"a logged gate after a skipped one", 7, {1, 2, 3, 4, -1, 6, 7}, 5, THROUGH, 5, {1, 2, 3, 4, -1, T, 7}},
        {"a gate behind beyond the log", 5, {1, 2, 3}, 3, THROUGH, 3, {1, 2, 3, T}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        set_rider(&rider, row.progress, row.log);
        EXPECT_EQ(step(wheel(row.gate, row.at), T), row.passed);
        EXPECT_EQ(rider.progress, row.passed >= 0 ? row.passed + 1 : row.progress);
        EXPECT_EQ(log_of(rider), row.log_after);
    }
}

TEST_F(GatesTest, RoundingAGateLeavesItToBeMadeUp) {
    use_table(10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    for (int g = 0; g < 5; g++) ASSERT_EQ(step(wheel(g), 10 * g), g);
    EXPECT_EQ(step(wheel(5, AROUND), 50), -1);
    EXPECT_EQ(step(wheel(6), 60), 6);
    EXPECT_EQ(rider.progress, 7);
    EXPECT_EQ(rider.log[5], -1);
    EXPECT_EQ(step(wheel(5), 70), 5);
    EXPECT_EQ(rider.progress, 6);
    EXPECT_EQ(log_of(rider), (std::vector<int>{0, 10, 20, 30, 40, 70, 60}));
    EXPECT_EQ(step(wheel(6), 80), 6);
    EXPECT_EQ(rider.progress, 7);
}

TEST_F(GatesTest, NothingIsTimedWithoutGatesOrAfterTheFinish) {
    gate_progress_reset(&rider);
    EXPECT_EQ(step(wheel(0)), -1);
    EXPECT_EQ(rider_lap(&rider), 0);
    EXPECT_EQ(gate_at(0), -1);
    use_three_four();
    rider.finished = true;
    EXPECT_EQ(step(wheel(0)), -1);
    EXPECT_EQ(rider.progress, 0);
}

// --- laps -------------------------------------------------------------------------

TEST_F(GatesTest, LapArithmeticWithThreeFirstAndFourNormalEntries) {
    use_three_four();
    std::vector<int> ends;
    for (int p = 0; p < 12; p++)
        if (gate_is_lap_end(p)) ends.push_back(p);
    EXPECT_EQ(ends, (std::vector<int>{2, 6, 10}));
    const int laps_at[][2] = {{0, 0}, {2, 0}, {3, 1}, {6, 1}, {7, 2}, {11, 3}};
    for (const auto &row : laps_at) {
        set_rider(&rider, row[0], {});
        EXPECT_EQ(rider_lap(&rider), row[1]) << "progress " << row[0];
    }
    EXPECT_EQ(gate_at(7), 3);
    EXPECT_EQ(gate_at(10), 6);
}

TEST_F(GatesTest, LapTimesFromTheLoggedLapLines) {
    use_three_four();
    const int start = 100;
    // positions 0..7; lap lines at 2 and 6
    set_rider(&rider, 8, {200, 300, 500, 600, 700, 800, 1012, 1100});
    struct Row {
        int lap;
        float seconds;
    } rows[] = {{1, 400 / 128.0f}, {2, 4.0f}, {-1, 4.0f}, {3, 0}, {0, 0}};
    for (const Row &row : rows) EXPECT_FLOAT_EQ(rider_lap_time(&rider, row.lap, start), row.seconds) << row.lap;
    rider.log[2] = -1;
    EXPECT_EQ(rider_lap_time(&rider, 1, start), 0.0f);
    EXPECT_EQ(rider_lap_time(&rider, 2, start), 0.0f);
}

TEST_F(GatesTest, ARiderFinishesOnItsLastLapOrAfterTheLeader) {
    use_three_four();
    struct Row {
        const char *what;
        int laps, leader, lap_line;
        bool finished;
    } rows[] = {
        {"first of two laps", 2, -1, 2, false},
        {"second of two laps", 2, -1, 6, true},
        {"first lap behind a finished leader", 2, 7, 2, true},
        {"first lap, leader on the last lap", 2, 6, 2, false},
        {"no laps", 0, -1, 2, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<int> log(row.lap_line, 1);
        set_rider(&rider, row.lap_line, log);
        rider.finished = false;
        EXPECT_EQ(step(wheel(gate_at(row.lap_line)), 1000, row.laps, row.leader), row.lap_line);
        EXPECT_EQ(rider.finished, row.finished);
    }
}

TEST_F(GatesTest, ResetProgressCutsTheLog) {
    use_three_four();
    struct Row {
        int progress, position;
        bool finished_before, finished_after;
        int log_after, progress_after;
    } rows[] = {
        {7, 3, true, false, 3, 3},
        {7, 7, true, true, 7, 7},
        {4, 9, true, true, 4, 9},
        {7, -5, false, false, 0, 0},
    };
    for (const Row &row : rows) {
        set_rider(&rider, row.progress, std::vector<int>(row.progress, 5));
        rider.finished = row.finished_before;
        rider.fallen = 2;
        rider_reset_progress(&rider, row.position);
        EXPECT_EQ(rider.finished, row.finished_after) << row.position;
        EXPECT_EQ(rider.log_count, row.log_after) << row.position;
        EXPECT_EQ(rider.progress, row.progress_after) << row.position;
        EXPECT_EQ(rider.fallen, 0);
    }
}

// --- the hooks and the fallen flag ---------------------------------------------

struct HookCalls {
    std::vector<std::string> calls;
};
HookCalls g_calls;

TEST_F(GatesTest, HooksSeeSwitchPointsFallsAndTheFinish) {
    use_table(3, {0, 100001, 2}, {0, 100001, 2});
    g_calls = HookCalls{};
    g_gate_hooks.record_tick = [](BikeState *, GateProgress *) { g_calls.calls.push_back("tick"); };
    g_gate_hooks.canceled_mark = [](BikeState *, const GateProgress *r) {
        g_calls.calls.push_back("cancel@" + std::to_string(r->progress));
    };
    g_gate_hooks.switch_passage = [](BikeState *, const GateProgress *r, int j, int offset) {
        g_calls.calls.push_back("switch " + std::to_string(j) + " " + std::to_string(offset) + " log " +
                                std::to_string(r->log[j]));
    };
    g_gate_hooks.finish_slowdown = [](BikeState *) { g_calls.calls.push_back("finish"); };
    gate_progress_reset(&rider);
    EXPECT_EQ(step(wheel(0), 10, 1), 0);
    EXPECT_EQ(step(wheel(1), 20, 1), 1);   // plain gate: no segment boundary
    rider.fallen = 1;
    EXPECT_EQ(step(wheel(2), 30, 1), 2);   // lap line of a one-lap race
    EXPECT_EQ(rider.fallen, 0);
    EXPECT_TRUE(rider.finished);
    EXPECT_EQ(g_calls.calls, (std::vector<std::string>{"tick", "switch 0 0 log 10", "tick", "tick", "cancel@2",
                                                       "switch 2 0 log 30", "finish"}));
}

// --- reading ----------------------------------------------------------------------

const char *k_file =
    "startinggate:\n"
    "[10 2 20] 0.5\n"
    "  [ 30 0 40 ] 4.0 @gate.vx null @gate.shp\n"
    "[50 1 60] -1 @../../escape.vx @sub/ok.png /etc/passwd\n"
    "checkpoints:\n"
    "4 [20 0 100] [1 0 0]\n"
    "4.5 [40 1 100] [0 0 -1]\n"
    "2 [60 0 100] [1 0 1]\n"
    "firstlap:\n"
    "0 100004 7 -5\n"
    "normallap:\n"
    "250001 1 2\n";

TEST_F(GatesTest, ReadsSlotsStatuesGatesAndNormalisedLists) {
    ASSERT_TRUE(load(k_file));
    ASSERT_EQ(g_gates.slot_count, 3);
    const StartSlot &s0 = g_gates.slots[0], &s1 = g_gates.slots[1], &s2 = g_gates.slots[2];
    EXPECT_EQ(s0.x, 10);
    EXPECT_EQ(s0.y, 2);
    EXPECT_EQ(s0.z, 20);
    EXPECT_FLOAT_EQ(s0.heading, 0.5f);
    EXPECT_NEAR(s0.statue_x, 10 - 3 * std::sin(0.5f), 1e-5);
    EXPECT_NEAR(s0.statue_z, 20 - 3 * std::cos(0.5f), 1e-5);
    EXPECT_EQ(s0.statue, -1);
    EXPECT_STREQ(s0.model, "@startgate.vx");
    EXPECT_STREQ(s0.texture, "@startgate.ppm");
    EXPECT_STREQ(s0.shape, "@startgate.shp");
    EXPECT_NEAR(s1.heading, 4.0f - 2 * k_pi, 1e-5);
    EXPECT_STREQ(s1.model, "@gate.vx");
    EXPECT_STREQ(s1.texture, "null");
    EXPECT_STREQ(s1.shape, "@gate.shp");
    // names that would leave the data directories fall back to the defaults
    EXPECT_STREQ(s2.model, "@startgate.vx");
    EXPECT_STREQ(s2.texture, "@sub/ok.png");
    EXPECT_STREQ(s2.shape, "@startgate.shp");

    ASSERT_EQ(g_gates.gate_count, 3);
    const TimingGate &g1 = g_gates.gates[1];
    EXPECT_EQ(g1.radius, 4.5f);
    EXPECT_EQ(g1.x, 40);
    EXPECT_EQ(g1.y, 1);
    EXPECT_EQ(g1.dz, -1);
    ASSERT_EQ(g_gates.first_count, 4);
    ASSERT_EQ(g_gates.normal_count, 3);
    std::vector<int> seq(g_gates.sequence, g_gates.sequence + 7);
    EXPECT_EQ(seq, (std::vector<int>{0, 100002, 2, 0, 100002, 1, 2}));
    EXPECT_EQ(g_gates.first_switch_count, 3);
    EXPECT_EQ(g_gates.normal_switch_count, 2);
    EXPECT_FALSE(gate_is_switch_point(1));
    EXPECT_EQ(gate_at(1), 2);
}

TEST_F(GatesTest, TimingNeedsGatesListsAndSwitchPoints) {
    const std::string slot = "startinggate:\n[1 2 3] 0\n";
    const std::string gates = "checkpoints:\n4 [20 0 100] [1 0 0]\n";
    struct Row {
        const char *what;
        std::string text;
        bool timed;
        int slots;
    } rows[] = {
        {"gates only", gates + "firstlap: 0 normallap: 0", true, 0},
        {"normal lap only", gates + "normallap: 0", false, 0},
        {"first lap only", gates + "firstlap: 0", false, 0},
        {"no switch point", gates + "firstlap: 0 normallap: 100000", false, 0},
        {"no gates", "checkpoints:\nfirstlap: 0 normallap: 0", false, 0},
        {"slots without checkpoints", slot, false, 1},
        {"slots, then a bad line", slot + "junk\n" + gates + "firstlap: 0 normallap: 0", false, 1},
        {"non-finite slot", "startinggate:\n[1 nan 3] 0\n" + gates + "firstlap: 0 normallap: 0", false, 0},
        {"unknown first word", "checkpoint:\n4 [20 0 100] [1 0 0]\nfirstlap: 0 normallap: 0", false, 0},
        {"empty", "", false, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(load(row.text), row.timed);
        EXPECT_EQ(gates_timed(), row.timed);
        EXPECT_EQ(g_gates.slot_count, row.slots);
        if (!row.timed) {
            EXPECT_EQ(g_gates.gate_count + g_gates.first_count + g_gates.normal_count, 0);
        }
    }
    EXPECT_FALSE(timing_gates_load("@t/no_such_file"));
}

TEST_F(GatesTest, CountsAreClampedAndTheRestStillRead) {
    std::string text = "startinggate:\n";
    for (int i = 0; i < 170; i++) text += "[" + std::to_string(i) + " 0 0] 0\n";
    text += "checkpoints:\n";
    for (int i = 0; i < 260; i++) text += "1 [" + std::to_string(i) + " 0 0] [1 0 0]\n";
    text += "firstlap:\n";
    for (int i = 0; i < 300; i++) text += std::to_string(i) + " ";
    text += "\nnormallap:\n1 2 3\n";
    ASSERT_TRUE(load(text));
    EXPECT_EQ(g_gates.slot_count, GATE_SLOTS_MAX);
    EXPECT_EQ(g_gates.slots[159].x, 159);
    EXPECT_EQ(g_gates.gate_count, GATES_MAX);
    EXPECT_EQ(g_gates.gates[255].x, 255);
    EXPECT_EQ(g_gates.first_count, GATE_LIST_MAX);
    EXPECT_EQ(g_gates.sequence[255], 255);
    EXPECT_EQ(g_gates.normal_count, 3);
    EXPECT_EQ(g_gates.sequence[256], 1);
}

TEST_F(GatesTest, LogsTheCountsAtDebugLevelOne) {
    g_debug_level = 1;
    ASSERT_TRUE(load(k_file));
    EXPECT_NE(log_text().find("Found 3 timing gates, first lap has 4 gates, normal lap has 3\n"), std::string::npos);
}

// --- writing ----------------------------------------------------------------------

TEST_F(GatesTest, SaveWritesTheFileThatLoadReads) {
    ASSERT_TRUE(load(k_file));
    ASSERT_TRUE(timing_gates_save("@t/saved"));
    std::string saved;
    VfsFile *f = vfs_open("@t/saved", "rb");
    ASSERT_NE(f, nullptr);
    for (int c; (c = vfs_getc(f)) >= 0;) saved += (char)c;
    vfs_close(f);
    EXPECT_EQ(saved,
              "startinggate:\n"
              "[10.000000 2.000000 20.000000] 0.500000\n"
              "[30.000000 0.000000 40.000000] -2.283185 @gate.vx null @gate.shp\n"
              "[50.000000 1.000000 60.000000] -1.000000 @startgate.vx @sub/ok.png @startgate.shp\n"
              "checkpoints:\n"
              "4.000000 [20.000000 0.000000 100.000000] [1.000000 0.000000 0.000000]\n"
              "4.500000 [40.000000 1.000000 100.000000] [0.000000 0.000000 -1.000000]\n"
              "2.000000 [60.000000 0.000000 100.000000] [1.000000 0.000000 1.000000]\n"
              "firstlap:\n"
              "0 100002 2 0 \n"
              "normallap:\n"
              "100002 1 2 \n");
    GateTable first;
    memcpy(&first, &g_gates, sizeof first);
    memset(&g_gates, 0, sizeof g_gates);   // the names now belong to first
    ASSERT_TRUE(timing_gates_load("@t/saved"));
    EXPECT_EQ(g_gates.slot_count, first.slot_count);
    for (int i = 0; i < first.slot_count; i++) {
        EXPECT_NEAR(g_gates.slots[i].heading, first.slots[i].heading, 1e-6);
        EXPECT_STREQ(g_gates.slots[i].texture, first.slots[i].texture);
    }
    EXPECT_EQ(0, memcmp(g_gates.gates, first.gates, sizeof first.gates));
    EXPECT_EQ(0, memcmp(g_gates.sequence, first.sequence, sizeof first.sequence));
    EXPECT_EQ(g_gates.first_switch_count, first.first_switch_count);
    EXPECT_EQ(g_gates.normal_switch_count, first.normal_switch_count);
    timing_gates_free(&first);
}

TEST_F(GatesTest, SaveThatCannotCreateTheFileSaysSo) {
    ASSERT_TRUE(load(k_file));
    write_file(dir / "blocker", "x");
    EXPECT_FALSE(timing_gates_save((dir / "blocker/timing_gates").c_str()));
    EXPECT_EQ(messages(), (Lines{"Can't open 'timing_gates'"}));
}

// --- a real bike ------------------------------------------------------------------

class GatesBikeTest : public BikeFixture {
public:
    void TearDown() override {
        gate_progress_free(&rider);
        timing_gates_free(&g_gates);
        BikeFixture::TearDown();
    }
    GateProgress rider = {};
};

TEST_F(GatesBikeTest, TheFrontWheelPassesAndACrashMarksTheRiderFallen) {
    BikeState *bike = make();
    ASSERT_NE(bike, nullptr);
    run(64);
    const dReal *w = pos(bike, BODY_FRONT_WHEEL);
    // gate 0 half a foot behind the front wheel facing the bike's way (-z);
    // gate 1 far ahead
    use_table(2, {0, 1}, {0, 1});
    g_gates.gates[0] = TimingGate{(float)w[0], 0, (float)w[2] + 0.5f, 0, 0, -1, 2, 0};
    g_gates.gates[1] = TimingGate{(float)w[0], 0, (float)w[2] - 200, 0, 0, -1, 2, 0};
    gate_progress_reset(&rider);
    GateRace race = {(int32_t)tick, 3, -1};
    EXPECT_EQ(gate_step(&rider, bike, &race), 0);
    EXPECT_EQ(rider.fallen, 0);
    rider_crash(bike);
    EXPECT_EQ(gate_step(&rider, bike, &race), -1);
    EXPECT_EQ(rider.fallen, 1);
    rider.fallen = 2;   // seen by the robots' bookkeeping
    EXPECT_EQ(gate_step(&rider, bike, &race), -1);
    EXPECT_EQ(rider.fallen, 2);
}

}  // namespace
