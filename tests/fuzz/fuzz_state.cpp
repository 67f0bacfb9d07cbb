// The rider state records and the history ring on arbitrary bytes. Bytes
// 0-38 are one record, 39-77 (when there) a second; byte 0 also picks the
// bike model, byte 1 the interpolation fraction. Every further pair of bytes
// is a tick added to one slot's ring. Whatever the bytes: every decoded
// value is finite and inside its field's range in both record versions, an
// interpolated record decodes in range, the ring keeps its ticks rising
// toward the head with at most 128 entries, and a pick names two entries
// that hold ticks e <= g with a fraction that carries at most 64 ticks
// past g.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "bike/catalogue.h"
#include "replay/history.h"

static const double k_pi = 3.14159265358979323846;
static const float k_world = 1024, k_min_height = -37.5f;

static void check(bool ok, const char *what) {
    if (ok) return;
    fprintf(stderr, "%s\n", what);
    abort();
}

static bool within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo - 1e-9 && v <= hi + 1e-9; }

static void check_decoded(const StateDecoded &d, const BikeModelInfo *info, int version) {
    check(within(d.frame_pos[0], 0, k_world) && within(d.frame_pos[2], 0, k_world), "frame x, z");
    check(within(d.frame_pos[1], k_min_height, k_min_height + k_world), "frame y");
    for (int i = 0; i < 4; i++) check(within(d.frame_quat[i], -1, 1) && within(d.rider_quat[i], -1, 1), "quaternion");
    check(within(d.steer_angle, -k_pi / 4, k_pi / 4), "steering");
    check(within(d.swingarm_angle, -info->swingarm_max_angle, 0), "swingarm");
    check(within(d.fork_pos, -info->fork_travel, 0), "fork");
    check(d.marker == 0 || d.marker == 1, "marker");
    // The version-4 rider sits on its mount: within reach of the frame.
    double reach = version == 4 ? 8 : 16;
    for (int i = 0; i < 3; i++) check(within(d.rider_offset[i], -reach, reach), "rider offset");
    check(within(d.front_axle_angle, -k_pi, k_pi) && within(d.rear_axle_angle, -k_pi, k_pi), "axle");
    check(d.gear >= 0 && d.gear <= 5, "gear");
    check(within(d.throttle, 0, 1), "throttle");
    check(d.crash_countdown >= 0 && d.crash_countdown <= 128, "crash countdown");
    check(d.crashed == (d.crash_countdown > 0), "crash flag");
    check(!d.crashed || (d.throttle == 0 && !d.dab), "crashed rider holds nothing");
    check(within(d.engine_speed, 0, 32768 * 2 * k_pi / 60), "engine speed");
}

static void check_ring(const RiderHistory &h) {
    check(h.head >= 0 && h.head < HISTORY_LENGTH, "head");
    check(h.pending >= 0 && h.pending <= HISTORY_LENGTH, "pending");
    int32_t newer = INT32_MAX;
    bool ended = false;
    for (int k = 0; k < HISTORY_LENGTH; k++) {
        int32_t t = h.ticks[(h.head - k + HISTORY_LENGTH) % HISTORY_LENGTH];
        if (t < 0) {
            check(t == -1, "empty mark");
            ended = true;
            continue;
        }
        check(!ended, "entry after an empty one");
        check(t < newer, "ticks not rising toward the head");
        newer = t;
    }
}

static void check_pick(const RiderHistory &h, int64_t tick) {
    HistoryPick pick;
    if (!history_pick(&h, tick, &pick)) {
        check(h.ticks[h.head] < 0, "no pick from a ring with entries");
        return;
    }
    check(pick.older >= 0 && pick.older < HISTORY_LENGTH && pick.newer >= 0 && pick.newer < HISTORY_LENGTH, "index");
    check(h.ticks[pick.older] == pick.older_tick && h.ticks[pick.newer] == pick.newer_tick, "pick ticks");
    check(pick.older_tick >= 0 && pick.older_tick <= pick.newer_tick, "pick order");
    check(pick.target <= (int64_t)pick.newer_tick + HISTORY_EXTRAPOLATION, "extrapolated too far");
    check(pick.fraction >= 0 && std::isfinite(pick.fraction), "fraction");
    if (pick.newer_tick > pick.older_tick) {
        double most = (double)(pick.newer_tick + HISTORY_EXTRAPOLATION - pick.older_tick) /
                      (pick.newer_tick - pick.older_tick);
        check(pick.fraction <= most + 1e-6, "fraction past the extrapolation");
    }
    uint8_t out[STATE_RECORD_BYTES];
    history_record(&h, &pick, STATE_VERSION, out);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < STATE_RECORD_BYTES || size > 4096) return 0;
    uint8_t a[STATE_RECORD_BYTES], b[STATE_RECORD_BYTES], out[STATE_RECORD_BYTES];
    memcpy(a, data, STATE_RECORD_BYTES);
    memcpy(b, size >= 2 * STATE_RECORD_BYTES ? data + STATE_RECORD_BYTES : data, STATE_RECORD_BYTES);
    const BikeModelInfo *info = &bike_catalogue()[data[0] % BIKE_MODEL_COUNT];
    StateDecoded d;
    for (int version : {4, (int)STATE_VERSION}) {
        state_decode(a, version, info, k_world, k_min_height, &d);
        check_decoded(d, info, version);
    }
    float fraction = data[1] / 8.0f - 4;   // -4 .. 27.9: behind, between and past
    if (fraction < 0) fraction = -fraction;
    state_interpolate(a, b, fraction, STATE_VERSION, out);
    state_decode(out, STATE_VERSION, info, k_world, k_min_height, &d);
    check_decoded(d, info, STATE_VERSION);
    if (fraction != 0) {
        check((out[18] & 1) == 1, "swingarm bit 0");
        check(out[36] == a[36], "gear and state from the older record");
    }

    history_clear();
    int slot = data[2] % HISTORY_SLOTS;
    const RiderHistory &h = g_rider_history[slot];
    size_t at = size >= 2 * STATE_RECORD_BYTES ? 2 * STATE_RECORD_BYTES : STATE_RECORD_BYTES;
    for (; at + 1 < size; at += 2) {
        int64_t tick = data[at] | data[at + 1] << 8;
        add_state_to_history(slot, (at & 2) ? a : b, tick);
        check_ring(h);
        check_pick(h, tick);
        check_pick(h, tick + 70);
        check_pick(h, tick / 2 - 10);
    }
    return 0;
}
