// Frame timing and the fixed-tick dispatch of the main loop.
#include "core/loop.h"

#include <cmath>
#include <cstring>

#include "platform/clock.h"

const ControlBinding k_control_bindings[CONTROL_BINDINGS] = {
    {"left_key", -1, -1, 0, 1, CHANNEL_STEER, +1, 0},
    {"right_key", -1, -1, 0, 1, CHANNEL_STEER, -1, 0},
    {"throttle_key", -1, -1, 0, 1, CHANNEL_THROTTLE, +1, 0},
    {"front_brake_key", -1, -1, 0, 1, CHANNEL_FRONT_BRAKE, +1, 0},
    {"rear_brake_key", -1, -1, 0, 1, CHANNEL_REAR_BRAKE, +1, 0},
    {"upshift_key", -1, -1, 0, 1, CHANNEL_SHIFT, +1, 0},
    {"downshift_key", -1, -1, 0, 1, CHANNEL_SHIFT, -1, 0},
    {"clutch_key", -1, -1, 0, 1, CHANNEL_CLUTCH, +1, 0},
    {"dab_key", -1, -1, 0, 1, CHANNEL_DAB, +1, 0},
    {"back_up_key", -1, -1, 0, 1, CHANNEL_BACK_UP, +1, 0},
    {"lean_forward_key", -1, -1, 0, 1, CHANNEL_LEAN, -1, 0},
    {"lean_backward_key", -1, -1, 0, 1, CHANNEL_LEAN, +1, 0},
};

static double system_now(void *) { return zolm_time_seconds(); }
static void system_sleep(void *, double seconds) { zolm_sleep_seconds(seconds); }

const LoopClock k_system_clock = {system_now, system_sleep, nullptr};

void loop_init(LoopState *loop, double now) {
    memset(loop, 0, sizeof *loop);
    loop->view_mode = VIEW_TITLE;
    loop->last_time = now;
    loop->orbit_yaw = 0.0f;
    loop->orbit_distance = 10.0f;
    loop->orbit_height = 5.0f;
    loop->chase_center[0] = 0.0f;
    loop->chase_center[1] = 2.52f;
    loop->chase_center[2] = 0.52f;
    loop->shortest_frame = 1e30;
    loop->longest_frame = 0.0;
    loop->mouse_left_code = -1;
    memcpy(loop->bindings, k_control_bindings, sizeof loop->bindings);
}

int loop_histogram_bucket(double dt) {
    for (int k = 0; k < FRAME_HISTOGRAM_BUCKETS - 1; k++) {
        if (dt < std::ldexp(TICK, k)) return k;
    }
    return FRAME_HISTOGRAM_BUCKETS - 1;
}

double loop_frame_advance(LoopState *loop, const LoopClock *clock, double *now_out) {
    double now = clock->now(clock->ctx);
    double dt = now - loop->last_time;
    loop->histogram[loop_histogram_bucket(dt)]++;

    double w;
    if (!loop->online && loop->lock_period > 0.0) {
        if (dt < loop->lock_period) {
            clock->sleep(clock->ctx, loop->lock_period - dt);
            now = clock->now(clock->ctx);
        }
        w = loop->lock_period;
    } else if (!loop->online && loop->warp) {
        w = WARP_TICKS * TICK;
    } else {
        // Frames are never shorter than one tick, so the loop never spins.
        while (dt < TICK) {
            clock->sleep(clock->ctx, TICK - dt);
            now = clock->now(clock->ctx);
            dt = now - loop->last_time;
        }
        w = dt < MAX_FRAME_ADVANCE ? dt : MAX_FRAME_ADVANCE;
    }

    if (w < loop->shortest_frame) loop->shortest_frame = w;
    if (w > loop->longest_frame) loop->longest_frame = w;
    loop->last_time = now;
    loop->target_time += w;
    loop->game_clock += w;
    *now_out = now;
    return w;
}

static double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

double loop_online_scale(double w, int64_t server_tick, int64_t local_tick, int64_t start_tick) {
    double lag = (double)(server_tick - local_tick - 1) * TICK;
    if (lag < 0.0) return w * (0.5 + 0.5 * clamp01(lag + 1.0));
    if (local_tick < start_tick) return w * (1.0 + 3.0 * clamp01(lag));
    return w * (1.0 + 0.125 * clamp01(8.0 * lag));
}

void loop_take_key(LoopState *loop, uint32_t code, bool pressed) {
    for (ControlBinding &b : loop->bindings) {
        if (b.code >= 0 && (uint32_t)b.code == code) b.value = pressed ? 1.0f : 0.0f;
    }
    if (loop->mouse_left_code >= 0 && (uint32_t)loop->mouse_left_code == code) loop->mouse_held = pressed;
}

void loop_sum_bindings(LoopState *loop, const LoopHooks *hooks) {
    for (ControlBinding &b : loop->bindings) {
        if (b.axis >= 0 && hooks && hooks->axis) {
            float range = b.high - b.low;
            float v = range != 0.0f ? (hooks->axis(hooks->ctx, b.axis) / 32768.0f - b.low) / range : 0.0f;
            b.value = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
        }
        loop->channels[b.channel] += b.weight * b.value;
    }
}

static void split_time(double t, int32_t *seconds, int32_t *microseconds) {
    double whole = std::floor(t);
    int32_t us = (int32_t)std::floor((t - whole) * 1e6);
    if (us > 999999) us = 999999;
    *seconds = (int32_t)whole;
    *microseconds = us;
}

bool loop_queue_events(void *queue, bool until, int32_t seconds, int32_t microseconds, uint32_t *code,
                       bool *pressed) {
    return event_queue_take(static_cast<ZolmEventQueue *>(queue), until, seconds, microseconds, code, pressed,
                            nullptr, nullptr);
}

int loop_run_ticks(LoopState *loop, double now, const LoopHooks *hooks) {
    int ran = 0;
    while (loop->sim_time < loop->target_time) {
        loop->sim_time += TICK;
        double moment = now - (loop->target_time - loop->sim_time);
        bool last = loop->sim_time >= loop->target_time;

        for (float &c : loop->channels) c = 0.0f;

        if (hooks && hooks->next_event) {
            int32_t s, us;
            split_time(moment, &s, &us);
            uint32_t code;
            bool pressed;
            while (hooks->next_event(hooks->ctx, !last, s, us, &code, &pressed)) {
                loop_take_key(loop, code, pressed);
                if (hooks && hooks->key) hooks->key(hooks->ctx, loop, code, pressed);
            }
        }

        loop_sum_bindings(loop, hooks);
        if (hooks && hooks->tick) hooks->tick(hooks->ctx, loop);
        loop->ticks_run++;
        ran++;
    }
    return ran;
}
