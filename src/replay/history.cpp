#include "replay/history.h"

#include <climits>
#include <cmath>
#include <cstring>

#include <ode/ode.h>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "track/terrain.h"

RiderHistory g_rider_history[HISTORY_SLOTS];

// Every ring starts empty, as after a race reset.
[[maybe_unused]] static bool s_history_ready = (history_clear(), true);

static const double k_pi = 3.14159265358979323846;
static const uint32_t k_max24 = 16777215, k_max16 = 65535, k_max8 = 255;
// Float noise just under a step does not drop the encoding by one unit: a
// decoded value set on a body and read back encodes to the same byte.
static const double k_step_slack = 1e-6;
static const double k_blend_force_max = 2500;

// --- field encodings ------------------------------------------------------------

// v clamped into [lo, hi], scaled to 0..max and truncated.
static uint32_t scale_units(double v, double lo, double hi, uint32_t max) {
    if (!(hi > lo)) return 0;
    if (!(v >= lo)) v = lo;   // NaN too
    if (v > hi) v = hi;
    double s = floor((v - lo) / (hi - lo) * max + k_step_slack);
    return s >= max ? max : (uint32_t)s;
}

static double unscale_units(uint32_t u, double lo, double hi, uint32_t max) { return lo + (hi - lo) * u / max; }

static uint32_t get16(const uint8_t *p) { return p[0] | (uint32_t)p[1] << 8; }
static uint32_t get24(const uint8_t *p) { return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16; }
static void put16(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
static void put24(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
}

static double rpm_of(double engine_speed) { return engine_speed * 60.0 / (2.0 * k_pi); }

// Byte 36: gear, dab and throttle, or the crash countdown.
static uint8_t gear_state_byte(const BikeState *bike) {
    int64_t c = bike->crash_countdown;
    if (c > 0) {
        int64_t high = (c * 15 - 15) / 127;
        if (high > 15) high = 15;
        return (uint8_t)(7 | high << 4);
    }
    int gear = bike->gear < 0 ? 0 : bike->gear > 6 ? 6 : bike->gear;
    uint32_t throttle = scale_units(bike->controls.throttle * 15.0, 0, 15, 15);
    return (uint8_t)(gear | (bike->dab_extension > 0 ? 8 : 0) | throttle << 4);
}

// --- quaternions (w, x, y, z) ---------------------------------------------------

static void quat_normalise(double q[4]) {
    double n = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(n > 1e-9) || !std::isfinite(n)) {
        q[0] = 1, q[1] = q[2] = q[3] = 0;
        return;
    }
    for (int i = 0; i < 4; i++) q[i] /= n;
}

static void quat_mul(const double a[4], const double b[4], double out[4]) {
    double r[4] = {
        a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
        a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
        a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
        a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0],
    };
    memcpy(out, r, sizeof r);
}

static void quat_rotate(const double q[4], const double v[3], double out[3]) {
    double p[4] = {0, v[0], v[1], v[2]}, c[4] = {q[0], -q[1], -q[2], -q[3]}, t[4];
    quat_mul(q, p, t);
    quat_mul(t, c, t);
    out[0] = t[1], out[1] = t[2], out[2] = t[3];
}

static void quat_axis_angle(const double axis[3], double angle, double out[4]) {
    double s = sin(angle / 2);
    out[0] = cos(angle / 2), out[1] = axis[0] * s, out[2] = axis[1] * s, out[3] = axis[2] * s;
}

// The rotation vector (unit axis times angle, world axes) that turns a into
// b the short way.
static void quat_delta(const double a[4], const double b[4], double out[3]) {
    double c[4] = {a[0], -a[1], -a[2], -a[3]}, d[4];
    quat_mul(b, c, d);
    if (d[0] < 0) {
        for (double &x : d) x = -x;
    }
    double s = sqrt(d[1] * d[1] + d[2] * d[2] + d[3] * d[3]);
    double k = s > 1e-12 ? 2 * atan2(s, d[0]) / s : 2;
    for (int i = 0; i < 3; i++) out[i] = d[i + 1] * k;
}

static void quat_of(const double q[4], double out[4]) {
    for (int i = 0; i < 4; i++) out[i] = q[i];
    quat_normalise(out);
}

// --- the record -----------------------------------------------------------------

static void encode_quat(const dReal *q, uint8_t *out) {
    for (int i = 0; i < 4; i++) put16(out + 2 * i, scale_units(q[i], -1, 1, k_max16));
}

static void decode_quat(const uint8_t *p, double out[4]) {
    for (int i = 0; i < 4; i++) out[i] = unscale_units(get16(p + 2 * i), -1, 1, k_max16);
}

void state_encode(const BikeState *bike, float world_size, float min_height, uint8_t out[STATE_RECORD_BYTES]) {
    double w = world_size, h = min_height;
    const BikeModelInfo *info = &bike->info;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    const dReal *pf = dBodyGetPosition(frame), *pr = dBodyGetPosition(rider);
    put24(out + 0, scale_units(pf[0], 0, w, k_max24));
    put24(out + 3, scale_units(pf[1], h, h + w, k_max24));
    put24(out + 6, scale_units(pf[2], 0, w, k_max24));
    encode_quat(dBodyGetQuaternion(frame), out + 9);
    out[17] = (uint8_t)scale_units(dJointGetHingeAngle(bike->joints[JOINT_STEERING]), -k_pi / 4, k_pi / 4, k_max8);
    double m = info->swingarm_max_angle, t = info->fork_travel;
    out[18] = (uint8_t)(scale_units(dJointGetHingeAngle(bike->joints[JOINT_SWINGARM_PIVOT]), -m, 0, k_max8) | 1);
    out[19] = (uint8_t)(scale_units(dJointGetSliderPosition(bike->joints[JOINT_FORK_SLIDE]), -t, 0, k_max8) & ~1u);
    for (int i = 0; i < 3; i++) put16(out + 20 + 2 * i, scale_units(pr[i] - pf[i], -16, 16, k_max16));
    encode_quat(dBodyGetQuaternion(rider), out + 26);
    out[34] = (uint8_t)scale_units(dJointGetHingeAngle(bike->joints[JOINT_FRONT_AXLE]), -k_pi, k_pi, k_max8);
    out[35] = (uint8_t)scale_units(dJointGetHingeAngle(bike->joints[JOINT_REAR_AXLE]), -k_pi, k_pi, k_max8);
    out[36] = gear_state_byte(bike);
    put16(out + 37, scale_units(rpm_of(bike->engine_speed), 0, 32768, k_max16));
}

// Byte 36 and the engine speed, at their places in either layout.
static void decode_drive(uint8_t state, const uint8_t *rpm, StateDecoded *out) {
    out->gear_state = state;
    int low = state & 7, high = state >> 4;
    out->crashed = low == 7;
    if (out->crashed) {
        out->gear = 0;
        out->dab = false;
        out->throttle = 0;
        out->crash_countdown = high * 127 / 15 + 1;
    } else {
        out->gear = low > 5 ? 5 : low;
        out->dab = (state & 8) != 0;
        out->throttle = high / 15.0;
        out->crash_countdown = 0;
    }
    out->engine_speed = unscale_units(get16(rpm), 0, 32768, k_max16) * 2.0 * k_pi / 60.0;
}

void state_decode(const uint8_t *record, int version, const BikeModelInfo *info, float world_size,
                  float min_height, StateDecoded *out) {
    double w = world_size > 0 ? world_size : 0, h = min_height;
    out->frame_pos[0] = unscale_units(get24(record + 0), 0, w, k_max24);
    out->frame_pos[1] = unscale_units(get24(record + 3), h, h + w, k_max24);
    out->frame_pos[2] = unscale_units(get24(record + 6), 0, w, k_max24);
    decode_quat(record + 9, out->frame_quat);
    double m = info ? info->swingarm_max_angle : 0, t = info ? info->fork_travel : 0;
    out->steer_angle = unscale_units(record[17], -k_pi / 4, k_pi / 4, k_max8);
    out->swingarm_angle = unscale_units(record[18], -m, 0, k_max8);
    out->fork_pos = unscale_units(record[19], -t, 0, k_max8);
    out->marker = record[19] & 1;
    if (version == 4) {
        // The rider on its mount, carried by the frame, turned with it.
        double local[3] = {0, 0, 0};
        if (info) {
            double travel = info->rider_mount_min + (info->rider_mount_max - info->rider_mount_min) * record[20] / 255.0;
            const float *d = info->rider_mount_dir;
            double n = sqrt((double)d[0] * d[0] + (double)d[1] * d[1] + (double)d[2] * d[2]);
            for (int i = 0; i < 3; i++) {
                local[i] = info->rider_anchor_pos[i] - info->frame_pos[i] + (n > 0 ? travel * d[i] / n : 0);
            }
        }
        double q[4], world[3];
        quat_of(out->frame_quat, q);
        quat_rotate(q, local, world);
        for (int i = 0; i < 3; i++) out->rider_offset[i] = world[i];
        memcpy(out->rider_quat, out->frame_quat, sizeof out->rider_quat);
        out->front_axle_angle = unscale_units(record[21], -k_pi, k_pi, k_max8);
        out->rear_axle_angle = unscale_units(record[22], -k_pi, k_pi, k_max8);
        decode_drive(record[23], record + 24, out);
        return;
    }
    for (int i = 0; i < 3; i++) out->rider_offset[i] = unscale_units(get16(record + 20 + 2 * i), -16, 16, k_max16);
    decode_quat(record + 26, out->rider_quat);
    out->front_axle_angle = unscale_units(record[34], -k_pi, k_pi, k_max8);
    out->rear_axle_angle = unscale_units(record[35], -k_pi, k_pi, k_max8);
    decode_drive(record[36], record + 37, out);
}

// One body at a bike-frame pose (position local, rotation ql relative to the
// initial pose), carried into the world by the frame's pose.
static void place_body(dBodyID body, const BikeModelInfo *info, const double pf[3], const double qf[4],
                       const double local[3], const double ql[4]) {
    double rel[3], world[3], q[4];
    for (int i = 0; i < 3; i++) rel[i] = local[i] - info->frame_pos[i];
    quat_rotate(qf, rel, world);
    quat_mul(qf, ql, q);
    quat_normalise(q);
    dBodySetPosition(body, pf[0] + world[0], pf[1] + world[1], pf[2] + world[2]);
    dQuaternion dq = {q[0], q[1], q[2], q[3]};
    dBodySetQuaternion(body, dq);
}

void state_set_pose(BikeState *bike, const StateDecoded *s) {
    const BikeModelInfo *info = &bike->info;
    static const double x_axis[3] = {1, 0, 0}, identity[4] = {1, 0, 0, 0};
    double pf[3] = {s->frame_pos[0], s->frame_pos[1], s->frame_pos[2]}, qf[4];
    quat_of(s->frame_quat, qf);

    // Steering: fork upper (and with it the lower fork and front wheel)
    // turned about the steering axis through the steering head; the slide
    // moves the lower fork up that axis as it compresses.
    double up[3], lower[3];
    for (int i = 0; i < 3; i++) {
        up[i] = info->fork_upper_pos[i];
        lower[i] = info->fork_lower_pos[i];
    }
    double axis[3] = {up[0] - lower[0], up[1] - lower[1], up[2] - lower[2]};
    double n = sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (n > 0) {
        for (double &a : axis) a /= n;
    }
    double qs[4];
    quat_axis_angle(axis, s->steer_angle, qs);
    place_body(bike->bodies[BODY_FORK_UPPER], info, pf, qf, up, qs);

    double rel[3], turned[3], local[3];
    for (int i = 0; i < 3; i++) rel[i] = lower[i] - up[i] - s->fork_pos * axis[i];
    quat_rotate(qs, rel, turned);
    for (int i = 0; i < 3; i++) local[i] = up[i] + turned[i];
    place_body(bike->bodies[BODY_FORK_LOWER], info, pf, qf, local, qs);

    double spin[4], qw[4];
    for (int i = 0; i < 3; i++) rel[i] = info->front_wheel_pos[i] - up[i] - s->fork_pos * axis[i];
    quat_rotate(qs, rel, turned);
    for (int i = 0; i < 3; i++) local[i] = up[i] + turned[i];
    quat_axis_angle(x_axis, -s->front_axle_angle, spin);
    quat_mul(qs, spin, qw);
    place_body(bike->bodies[BODY_FRONT_WHEEL], info, pf, qf, local, qw);

    // Swingarm and rear wheel about the pivot.
    double qa[4];
    quat_axis_angle(x_axis, s->swingarm_angle, qa);
    for (int i = 0; i < 3; i++) rel[i] = info->swingarm_pos[i] - info->swingarm_pivot[i];
    quat_rotate(qa, rel, turned);
    for (int i = 0; i < 3; i++) local[i] = info->swingarm_pivot[i] + turned[i];
    place_body(bike->bodies[BODY_SWINGARM], info, pf, qf, local, qa);
    for (int i = 0; i < 3; i++) rel[i] = info->rear_wheel_pos[i] - info->swingarm_pivot[i];
    quat_rotate(qa, rel, turned);
    for (int i = 0; i < 3; i++) local[i] = info->swingarm_pivot[i] + turned[i];
    quat_axis_angle(x_axis, -s->rear_axle_angle, spin);
    quat_mul(qa, spin, qw);
    place_body(bike->bodies[BODY_REAR_WHEEL], info, pf, qf, local, qw);

    double frame_local[3] = {info->frame_pos[0], info->frame_pos[1], info->frame_pos[2]};
    place_body(bike->bodies[BODY_FRAME], info, pf, qf, frame_local, identity);

    double qr[4];
    quat_of(s->rider_quat, qr);
    dBodySetPosition(bike->bodies[BODY_RIDER], pf[0] + s->rider_offset[0], pf[1] + s->rider_offset[1],
                     pf[2] + s->rider_offset[2]);
    dQuaternion dq = {qr[0], qr[1], qr[2], qr[3]};
    dBodySetQuaternion(bike->bodies[BODY_RIDER], dq);
}

// --- interpolation --------------------------------------------------------------

static uint32_t lerp_units(uint32_t a, uint32_t b, double f, uint32_t max) {
    double v = a + ((double)b - a) * f;
    if (!(v >= 0)) v = 0;
    if (v > max) v = max;
    double s = floor(v + k_step_slack);
    return s >= max ? max : (uint32_t)s;
}

static void lerp_quat(const uint8_t *a, const uint8_t *b, double f, uint8_t *out) {
    double qa[4], qb[4], dot = 0;
    for (int i = 0; i < 4; i++) {
        qa[i] = unscale_units(get16(a + 2 * i), -1, 1, k_max16);
        qb[i] = unscale_units(get16(b + 2 * i), -1, 1, k_max16);
        dot += qa[i] * qb[i];
    }
    // q and -q are one rotation: going through the near one keeps the
    // blend away from a zero quaternion.
    double sign = dot < 0 ? -1 : 1, q[4];
    for (int i = 0; i < 4; i++) q[i] = qa[i] + (sign * qb[i] - qa[i]) * f;
    quat_normalise(q);
    for (int i = 0; i < 4; i++) put16(out + 2 * i, scale_units(q[i], -1, 1, k_max16));
}

// Wheel angles turn mostly one way: a newer value more than 1/8 turn below
// the older one has passed a full turn. Worked in byte steps (255 a turn),
// where byte 255 and byte 0 are one angle.
static uint8_t lerp_wheel(uint8_t a, uint8_t b, double f) {
    double x = a, y = b;
    if (y < x - 255.0 / 8) {
        y += 255;
    } else if (y > x + 255.0 * 7 / 8) {
        y -= 255;
    }
    double v = x + (y - x) * f;
    v -= 255 * floor(v / 255);
    double s = floor(v + k_step_slack);
    return s >= 255 || !(s >= 0) ? 0 : (uint8_t)s;
}

void state_interpolate(const uint8_t *older, const uint8_t *newer, float fraction, int version,
                       uint8_t out[STATE_RECORD_BYTES]) {
    if (version == 4 || fraction == 0 || !std::isfinite(fraction)) {
        memcpy(out, older, STATE_RECORD_BYTES);
        return;
    }
    double f = fraction;
    for (int i = 0; i < 3; i++) put24(out + 3 * i, lerp_units(get24(older + 3 * i), get24(newer + 3 * i), f, k_max24));
    lerp_quat(older + 9, newer + 9, f, out + 9);
    for (int i = 17; i <= 19; i++) out[i] = (uint8_t)lerp_units(older[i], newer[i], f, k_max8);
    out[18] |= 1;
    out[19] = (uint8_t)((out[19] & ~1) | (older[19] & 1));
    for (int i = 0; i < 3; i++) {
        put16(out + 20 + 2 * i, lerp_units(get16(older + 20 + 2 * i), get16(newer + 20 + 2 * i), f, k_max16));
    }
    lerp_quat(older + 26, newer + 26, f, out + 26);
    out[34] = lerp_wheel(older[34], newer[34], f);
    out[35] = lerp_wheel(older[35], newer[35], f);
    out[36] = older[36];
    put16(out + 37, lerp_units(get16(older + 37), get16(newer + 37), f, k_max16));
}

// --- the ring -------------------------------------------------------------------

static int ring(int i) { return ((i % HISTORY_LENGTH) + HISTORY_LENGTH) % HISTORY_LENGTH; }

void history_clear() {
    for (RiderHistory &h : g_rider_history) {
        for (int32_t &t : h.ticks) t = -1;
        memset(h.records, 0, sizeof h.records);
        h.head = 0;
        h.pending = 0;
        h.markers = 0;
    }
}

bool add_state_to_history(int slot, const uint8_t record[STATE_RECORD_BYTES], int64_t tick) {
    if (slot < 0 || slot >= HISTORY_SLOTS) {
        console_message("add_state_to_history: slot out of range");
        return false;
    }
    if (tick < 0 || tick > INT32_MAX) return false;
    RiderHistory *h = &g_rider_history[slot];
    int head = ring(h->head), k = 0;
    while (k < HISTORY_LENGTH && h->ticks[ring(head - k)] > tick) k++;
    // Older than every entry of a full ring: it would be the one lost.
    if (k == HISTORY_LENGTH) return false;
    if (h->ticks[ring(head - k)] == tick) return false;
    for (int m = head; m > head - k; m--) {
        h->ticks[ring(m + 1)] = h->ticks[ring(m)];
        memcpy(h->records[ring(m + 1)], h->records[ring(m)], STATE_RECORD_BYTES);
    }
    int at = ring(head - k + 1);
    h->ticks[at] = (int32_t)tick;
    memcpy(h->records[at], record, STATE_RECORD_BYTES);
    h->head = ring(head + 1);
    h->pending = h->pending < 0 ? 1 : h->pending >= HISTORY_LENGTH ? HISTORY_LENGTH : h->pending + 1;
    return true;
}

bool history_pick(const RiderHistory *history, int64_t tick, HistoryPick *out) {
    int64_t t = tick < 0 ? 0 : tick;
    int head = ring(history->head);
    if (history->ticks[head] < 0) return false;
    int older = -1, oldest = head;
    for (int k = 0; k < HISTORY_LENGTH; k++) {
        int i = ring(head - k);
        if (history->ticks[i] < 0) break;
        oldest = i;
        if (history->ticks[i] < t) {
            older = i;
            break;
        }
    }
    int newer;
    if (older < 0) {
        older = newer = oldest;   // nothing before t: the oldest entry alone
    } else if (older == head) {
        // Nothing at or after t: the two newest, when there are two.
        newer = head;
        int before = ring(head - 1);
        if (history->ticks[before] >= 0 && history->ticks[before] < history->ticks[head]) older = before;
    } else {
        newer = ring(older + 1);
    }
    int32_t e = history->ticks[older], g = history->ticks[newer];
    out->older = older;
    out->newer = newer;
    out->older_tick = e;
    out->newer_tick = g;
    if (t > e && e < g) {
        if (t == g) {
            out->target = g;
            out->fraction = 1;
        } else {
            int64_t target = t < (int64_t)g + HISTORY_EXTRAPOLATION ? t : (int64_t)g + HISTORY_EXTRAPOLATION;
            out->target = (int32_t)target;
            out->fraction = (float)((double)(target - e) / (double)(g - e));
        }
    } else {
        out->target = e;
        out->fraction = 0;
    }
    return true;
}

void history_record(const RiderHistory *history, const HistoryPick *pick, int version,
                    uint8_t out[STATE_RECORD_BYTES]) {
    const uint8_t *older = history->records[ring(pick->older)], *newer = history->records[ring(pick->newer)];
    if (pick->fraction == 1.0f && pick->target == pick->newer_tick) {
        memcpy(out, newer, STATE_RECORD_BYTES);
        return;
    }
    state_interpolate(older, newer, pick->fraction, version, out);
}

bool history_covers(int slot, int64_t now) {
    if (slot < 0 || slot >= HISTORY_SLOTS) return false;
    HistoryPick pick;
    if (!history_pick(&g_rider_history[slot], now, &pick)) return false;
    return !(now < (int64_t)pick.newer_tick - HISTORY_LENGTH || (int64_t)pick.older_tick + HISTORY_LENGTH < now);
}

// --- applying -------------------------------------------------------------------


// The rider mount takes its anchor from where the rider is when attached:
// the rider goes to its mount point for the attach and back afterwards.
static void reattach_rider(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    dBodyID rider = bike->bodies[BODY_RIDER], frame = bike->bodies[BODY_FRAME];
    const dReal *p = dBodyGetPosition(rider), *q = dBodyGetQuaternion(rider);
    double keep_pos[3] = {p[0], p[1], p[2]};
    dQuaternion keep_q = {q[0], q[1], q[2], q[3]};
    dVector3 anchor;
    dBodyGetRelPointPos(frame, info->rider_anchor_pos[0] - info->frame_pos[0],
                        info->rider_anchor_pos[1] - info->frame_pos[1], info->rider_anchor_pos[2] - info->frame_pos[2],
                        anchor);
    dBodySetPosition(rider, anchor[0], anchor[1], anchor[2]);
    dBodySetRotation(rider, dBodyGetRotation(frame));
    dJointAttach(bike->joints[JOINT_RIDER_MOUNT], rider, frame);
    dBodySetPosition(rider, keep_pos[0], keep_pos[1], keep_pos[2]);
    dBodySetQuaternion(rider, keep_q);
}

// Gear index from a record, stepped down over gears the model lacks.
static int record_gear(const BikeState *bike, int gear) {
    if (gear > 5) gear = 5;
    while (gear > 0 && !(bike->info.gear_ratio[gear] > 0)) gear--;
    return gear < 0 ? 0 : gear;
}

// Crash entry and exit as the record says; before the pose is set, so the
// foot points are those of the rider still on the bike.
static void follow_crash(BikeState *bike, const StateDecoded *p, bool before_pose) {
    bool was = bike_is_crashed(bike);
    if (before_pose) {
        if (p->crashed && !was) {
            rider_place_feet(bike);   // the crash pose starts from the feet on the bike
            dJointAttach(bike->joints[JOINT_RIDER_MOUNT], 0, 0);
        }
        return;
    }
    if (!p->crashed && was) reattach_rider(bike);
}

static double rotation_rate_wheel(uint8_t a, uint8_t b) {
    double d = ((int)b - (int)a) * 2 * k_pi / 255;
    while (d > k_pi) d -= 2 * k_pi;
    while (d < -k_pi) d += 2 * k_pi;
    return d;
}

// Body velocities from the step between the two history records.
static void set_velocities(BikeState *bike, const uint8_t *older, const uint8_t *newer, int ticks, int version,
                           float w, float h) {
    for (dBodyID b : bike->bodies) {
        dBodySetLinearVel(b, 0, 0, 0);
        dBodySetAngularVel(b, 0, 0, 0);
    }
    if (ticks <= 0) return;
    StateDecoded o, n;
    state_decode(older, version, &bike->info, w, h, &o);
    state_decode(newer, version, &bike->info, w, h, &n);
    double dt = ticks * PHYSICS_STEP, v[3], vr[3], qo[4], qn[4], omega[3], omega_r[3];
    for (int i = 0; i < 3; i++) {
        v[i] = ((double)n.frame_pos[i] - o.frame_pos[i]) / dt;
        vr[i] = ((double)n.frame_pos[i] + n.rider_offset[i] - o.frame_pos[i] - o.rider_offset[i]) / dt;
    }
    quat_of(o.frame_quat, qo);
    quat_of(n.frame_quat, qn);
    quat_delta(qo, qn, omega);
    quat_of(o.rider_quat, qo);
    quat_of(n.rider_quat, qn);
    quat_delta(qo, qn, omega_r);
    for (int i = 0; i < 3; i++) {
        omega[i] /= dt;
        omega_r[i] /= dt;
    }
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike->bodies[b];
        if (b == BODY_RIDER) {
            dBodySetLinearVel(body, vr[0], vr[1], vr[2]);
            dBodySetAngularVel(body, omega_r[0], omega_r[1], omega_r[2]);
            continue;
        }
        dBodySetLinearVel(body, v[0], v[1], v[2]);
        double spin = 0;
        int at = version == 4 ? 21 : 34;
        if (b == BODY_FRONT_WHEEL) spin = rotation_rate_wheel(older[at], newer[at]);
        if (b == BODY_REAR_WHEEL) spin = rotation_rate_wheel(older[at + 1], newer[at + 1]);
        // The wheel turns by minus the axle angle about its own x axis.
        dVector3 x;
        dBodyVectorToWorld(body, 1, 0, 0, x);
        double s = -spin / dt;
        dBodySetAngularVel(body, omega[0] + x[0] * s, omega[1] + x[1] * s, omega[2] + x[2] * s);
    }
}

// Raises the whole bike when the bottom of the rear wheel is in the ground.
static void lift_from_ground(BikeState *bike) {
    if (!g_terrain.heights) return;
    const WheelState *rear = &bike->wheels[1];
    double r = rear->ring_radius + rear->section_radius;
    dVector3 down;
    dBodyVectorToWorld(bike->bodies[BODY_FRAME], 0, -1, 0, down);
    const dReal *c = dBodyGetPosition(bike->bodies[BODY_REAR_WHEEL]);
    double bottom[3] = {c[0] + r * down[0], c[1] + r * down[1], c[2] + r * down[2]};
    double ground = terrain_height((float)bottom[0], (float)bottom[2]);
    double lift = ground - bottom[1];
    if (!(lift > 0)) return;
    for (dBodyID b : bike->bodies) {
        const dReal *p = dBodyGetPosition(b);
        dBodySetPosition(b, p[0], p[1] + lift, p[2]);
    }
}

static void set_drive(BikeState *bike, const StateDecoded *p) {
    bike->crash_countdown = p->crash_countdown;
    if (!p->crashed) bike->gear = record_gear(bike, p->gear);
    bike_set_throttle(bike, p->throttle);
    bike_set_dab(bike, p->dab ? 1.0f : 0.0f);
    bike->engine_speed = p->engine_speed;
}

static void clamp_length(double v[3], double max) {
    double l2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (!(l2 > max * max)) return;
    double k = max / sqrt(l2);
    for (int i = 0; i < 3; i++) v[i] *= k;
}

// An awake replayed bike simulates on; it is pulled toward the record, the
// harder the longer since the collision that woke it.
static void blend(BikeState *bike, const StateDecoded *p, const uint8_t *older, const uint8_t *newer, int ticks,
                  int version, float w, float h) {
    double a = bike->activity, kp, kd;
    if (a > 0.75) {
        kp = kd = 0;
    } else if (a > 0.5) {
        double q = fmin(fmax((0.75 - a) * 4, 0), 1);
        kp = 5000 * q;
        kd = -500 * q;
    } else {
        double q = fmin(fmax((0.5 - a) * 2, 0), 1);
        kp = 5000 + 45000 * q;
        kd = -500;
    }
    StateDecoded o, n;
    state_decode(older, version, &bike->info, w, h, &o);
    state_decode(newer, version, &bike->info, w, h, &n);
    double dt = (ticks < 1 ? 1 : ticks) * PHYSICS_STEP;
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *x = dBodyGetPosition(frame), *v = dBodyGetLinearVel(frame), *omega = dBodyGetAngularVel(frame);
    double force[3], torque[3], e[3], qf[4], qp[4];
    for (int i = 0; i < 3; i++) {
        double target_v = ((double)n.frame_pos[i] - o.frame_pos[i]) / dt;
        force[i] = kp * (p->frame_pos[i] - x[i]) + kd * (v[i] - target_v);
    }
    clamp_length(force, k_blend_force_max);
    dBodyAddForce(frame, force[0], force[1], force[2]);
    const dReal *fq = dBodyGetQuaternion(frame);
    for (int i = 0; i < 4; i++) qf[i] = fq[i];
    quat_normalise(qf);
    quat_of(p->frame_quat, qp);
    quat_delta(qf, qp, e);
    for (int i = 0; i < 3; i++) torque[i] = kp * PHYSICS_STEP * e[i] + kd * omega[i];
    clamp_length(torque, k_blend_force_max);
    dBodyAddTorque(frame, torque[0], torque[1], torque[2]);

    dJointID steering = bike->joints[JOINT_STEERING];
    double steer = 0.25 * (p->steer_angle - dJointGetHingeAngle(steering) - dJointGetHingeAngleRate(steering));
    bike_set_steer(bike, (float)steer);

    if (p->crashed) {
        if (!bike_is_crashed(bike)) {
            rider_place_feet(bike);   // the crash pose starts from the feet on the bike
            dJointAttach(bike->joints[JOINT_RIDER_MOUNT], 0, 0);
        }
        bike->crash_countdown = p->crash_countdown;
        bike_set_throttle(bike, 0);
        bike_set_dab(bike, 0);
    } else {
        if (bike_is_crashed(bike)) reattach_rider(bike);
        bike->crash_countdown = 0;
        bike->gear = record_gear(bike, p->gear);
        bike_set_throttle(bike, p->throttle);
        bike_set_dab(bike, p->dab ? 1.0f : 0.0f);
    }

    // Lean from where the record has the rider on the frame.
    float lean = 0;
    if (!p->crashed) {
        double c[4] = {qp[0], -qp[1], -qp[2], -qp[3]}, d[3], local[3];
        for (int i = 0; i < 3; i++) d[i] = p->rider_offset[i];
        quat_rotate(c, d, local);
        const BikeModelInfo *info = &bike->info;
        double dy = (info->rider_anchor_pos[1] - info->frame_pos[1]) - local[1];
        double dz = (info->rider_anchor_pos[2] - info->frame_pos[2]) - local[2];
        lean = (float)(dy * (0.5 + 0.5 * bike->controls.dab) - dz);
    }
    bike_set_lean(bike, lean);
    bike->engine_speed = p->engine_speed;
}

void history_apply(int slot, BikeState *bike, int64_t tick, int version) {
    if (!bike || slot < 0 || slot >= HISTORY_SLOTS) return;
    RiderHistory *h = &g_rider_history[slot];
    HistoryPick pick;
    if (!history_pick(h, tick, &pick)) return;
    uint8_t record[STATE_RECORD_BYTES];
    history_record(h, &pick, version, record);
    float w = g_terrain.world_size, hmin = g_terrain.min_height;
    StateDecoded p;
    state_decode(record, version, &bike->info, w, hmin, &p);
    h->markers = h->markers << 1 | (uint32_t)p.marker;
    const uint8_t *older = h->records[pick.older], *newer = h->records[pick.newer];
    int ticks = pick.newer_tick - pick.older_tick;
    if (bike_is_active(bike)) {
        blend(bike, &p, older, newer, ticks, version, w, hmin);
        return;
    }
    follow_crash(bike, &p, true);
    state_set_pose(bike, &p);
    follow_crash(bike, &p, false);
    set_velocities(bike, older, newer, ticks, version, w, hmin);
    lift_from_ground(bike);
    set_drive(bike, &p);
    // The foot goes out while the record shows a dab or a crash, and comes
    // back in at the rider update's pace otherwise.
    float step = (float)PHYSICS_STEP;
    if (p.crashed || p.dab) {
        bike->dab_extension = fminf(bike->dab_extension + 8 * step, 1.0f);
    } else {
        bike->dab_extension = fmaxf(bike->dab_extension - 4 * step, 0.0f);
    }
}
