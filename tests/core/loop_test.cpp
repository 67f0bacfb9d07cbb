#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/loop.h"

namespace {

// A made-up wall clock: sleeping moves it on, nothing else does.
struct FakeClock {
    double now;
    double slept;
};

double fake_now(void *ctx) { return static_cast<FakeClock *>(ctx)->now; }
void fake_sleep(void *ctx, double s) {
    auto *c = static_cast<FakeClock *>(ctx);
    if (s > 0) {
        c->now += s;
        c->slept += s;
    }
}

// The events a test queues and the throttle each tick saw.
struct TickLog {
    ZolmEventQueue queue;
    std::vector<float> throttle;
};

bool log_events(void *ctx, bool until, int32_t s, int32_t us, uint32_t *code, bool *pressed) {
    return loop_queue_events(&static_cast<TickLog *>(ctx)->queue, until, s, us, code, pressed);
}

void log_tick(void *ctx, LoopState *loop) {
    static_cast<TickLog *>(ctx)->throttle.push_back(loop->channels[CHANNEL_THROTTLE]);
}

}  // namespace

TEST(Loop, LongFrameAdvancesAtMostSixteenTicks) {
    FakeClock c = {100.0, 0};
    LoopClock clock = {fake_now, fake_sleep, &c};
    LoopState loop;
    loop_init(&loop, c.now);
    c.now += 1.0;
    double now;
    EXPECT_DOUBLE_EQ(0.125, loop_frame_advance(&loop, &clock, &now));
    EXPECT_EQ(16, loop_run_ticks(&loop, now, nullptr));
    EXPECT_EQ(1, loop.histogram[7]);
}

TEST(Loop, LockedFrameRateAdvancesExactlyOnePeriod) {
    FakeClock c = {5.0, 0};
    LoopClock clock = {fake_now, fake_sleep, &c};
    LoopState loop;
    loop_init(&loop, c.now);
    loop.lock_period = 1.0 / 30.0;
    int ticks = 0;
    for (int frame = 0; frame < 30; frame++) {
        c.now += (frame % 3 == 0) ? 0.2 : 0.001;   // slow and fast frames alike
        double now;
        EXPECT_DOUBLE_EQ(1.0 / 30.0, loop_frame_advance(&loop, &clock, &now));
        ticks += loop_run_ticks(&loop, now, nullptr);
    }
    EXPECT_NEAR(1.0, loop.target_time, 1e-12);
    EXPECT_EQ(128, ticks);
    EXPECT_GT(c.slept, 0.0);   // the fast frames waited out their period
}

TEST(Loop, FramesAreNeverShorterThanATick) {
    FakeClock c = {1.0, 0};
    LoopClock clock = {fake_now, fake_sleep, &c};
    LoopState loop;
    loop_init(&loop, c.now);
    c.now += 0.001;
    double now;
    double w = loop_frame_advance(&loop, &clock, &now);
    EXPECT_GE(w, TICK);
    EXPECT_EQ(1, loop_run_ticks(&loop, now, nullptr));

    loop.warp = true;
    c.now += 0.001;
    EXPECT_DOUBLE_EQ(100 * TICK, loop_frame_advance(&loop, &clock, &now));
}

TEST(Loop, KeyInsideOneFrameReachesTheTicksBetweenItsStamps) {
    FakeClock c = {50.0, 0};
    LoopClock clock = {fake_now, fake_sleep, &c};
    LoopState loop;
    loop_init(&loop, c.now);
    loop.bindings[2].code = 4096 + 0x48;   // throttle
    TickLog log;
    ZolmEventQueue &q = log.queue;
    event_queue_clear(&q);

    c.now += 0.125;                          // one frame of 16 ticks
    double frame_start = c.now - 0.125;
    // Tick k (1-based) has the moment frame_start + k ticks. Press between
    // ticks 4 and 5, release between ticks 9 and 10.
    auto stamp = [](double t, int32_t *s, int32_t *us) {
        *s = (int32_t)std::floor(t);
        *us = (int32_t)std::floor((t - *s) * 1e6);
    };
    int32_t s, us;
    stamp(frame_start + 4.5 * TICK, &s, &us);
    event_queue_push(&q, 4096 + 0x48, true, s, us);
    stamp(frame_start + 9.5 * TICK, &s, &us);
    event_queue_push(&q, 4096 + 0x48, false, s, us);

    LoopHooks hooks = {&log, log_events, nullptr, nullptr, log_tick};
    double now;
    loop_frame_advance(&loop, &clock, &now);
    ASSERT_EQ(16, loop_run_ticks(&loop, now, &hooks));
    for (int k = 1; k <= 16; k++) {
        EXPECT_EQ((k >= 5 && k <= 9) ? 1.0f : 0.0f, log.throttle[k - 1]) << "tick " << k;
    }
}

TEST(Loop, LastTickTakesEveryQueuedEventAndBindingsSum) {
    LoopState loop;
    loop_init(&loop, 0);
    loop.bindings[0].code = 1;   // left  (+1 steer)
    loop.bindings[1].code = 2;   // right (-1 steer)
    loop.bindings[10].code = 3;  // lean forward (-1 lean)
    TickLog log;
    ZolmEventQueue &q = log.queue;
    event_queue_clear(&q);
    event_queue_push(&q, 1, true, 999, 0);   // stamped after the frame
    event_queue_push(&q, 3, true, 999, 0);
    loop.target_time = TICK;
    LoopHooks hooks = {&log, log_events, nullptr, nullptr, log_tick};
    EXPECT_EQ(1, loop_run_ticks(&loop, 10.0, &hooks));
    EXPECT_EQ(0, q.count);
    EXPECT_EQ(1.0f, loop.channels[CHANNEL_STEER]);
    EXPECT_EQ(-1.0f, loop.channels[CHANNEL_LEAN]);
    loop_take_key(&loop, 2, true);
    loop.target_time += TICK;
    loop_run_ticks(&loop, 10.0, &hooks);
    EXPECT_EQ(0.0f, loop.channels[CHANNEL_STEER]);
}

TEST(Loop, AxisBindingMapsItsRangeOntoZeroToOne) {
    LoopState loop;
    loop_init(&loop, 0);
    ControlBinding &b = loop.bindings[2];   // throttle
    b.axis = 0;
    b.low = 0.0625f;
    b.high = 0.9375f;
    static float raw;
    LoopHooks hooks = {nullptr, nullptr, nullptr, [](void *, int) { return raw; }, nullptr};
    const float cases[][2] = {{0, 0}, {-32768, 0}, {32767, 1}, {0.5f * 32768, 0.5f}, {0.0625f * 32768, 0}};
    for (const auto &row : cases) {
        raw = row[0];
        for (float &ch : loop.channels) ch = 0;
        loop_sum_bindings(&loop, &hooks);
        EXPECT_NEAR(row[1], loop.channels[CHANNEL_THROTTLE], 1e-6) << row[0];
    }
}

TEST(Loop, HistogramBucketsAndOnlinePacing) {
    const double buckets[][2] = {{0.0, 0}, {TICK * 0.99, 0}, {TICK, 1}, {3 * TICK, 2}, {63 * TICK, 6},
                                 {64 * TICK, 7}, {10.0, 7}};
    for (const auto &b : buckets) EXPECT_EQ((int)b[1], loop_histogram_bucket(b[0])) << b[0];

    const double w = 0.01;
    // One second or more ahead of the server: half speed.
    EXPECT_DOUBLE_EQ(w * 0.5, loop_online_scale(w, 0, 200, 0));
    // Level with the server: unchanged.
    EXPECT_DOUBLE_EQ(w, loop_online_scale(w, 101, 100, 0));
    // Behind before the start: up to four times as fast.
    EXPECT_DOUBLE_EQ(w * 4.0, loop_online_scale(w, 300, 100, 1000));
    // Behind during the race: at most 1/8 faster.
    EXPECT_DOUBLE_EQ(w * 1.125, loop_online_scale(w, 300, 100, 0));
}
