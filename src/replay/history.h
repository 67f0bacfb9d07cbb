// The compact rider state record and the per-slot state history. A replayed
// rider (demo rider, remote rider of a server race, time-trial ghost) is not
// simulated: each tick its bike is set from its slot's history, between the
// two records around the wanted tick or a little past the newest one. The
// same 39-byte records go into demos and onto the wire.
//
// Owns: g_rider_history, the 160 history rings.
// Never: allocates; reads a ring entry outside 0..127 or a slot outside
// 0..159; lets a record byte produce a value outside its range.
#pragma once

#include <cstdint>

struct BikeState;
struct BikeModelInfo;

enum {
    STATE_RECORD_BYTES = 39,
    STATE_RECORD_V4_BYTES = 26,     // version-4 demos only, never written
    STATE_VERSION = 5,              // the record version of everything but a version-4 demo
    HISTORY_SLOTS = 160,
    HISTORY_LENGTH = 128,
    HISTORY_EXTRAPOLATION = 64,     // ticks past the newest record a bike is carried
};

// One record taken apart into plain values (double: a 24-bit position
// across a large world needs more than a float holds).
struct StateDecoded {
    double frame_pos[3];
    double frame_quat[4];        // w, x, y, z, as stored (not renormalised)
    double steer_angle;          // steering head, -pi/4..pi/4
    double swingarm_angle;       // -swingarm_max_angle..0
    double fork_pos;             // fork slide, -fork_travel..0
    int marker;                 // bit 0 of byte 19
    double rider_offset[3];      // rider minus frame position, world axes
    double rider_quat[4];
    double front_axle_angle;     // -pi..pi
    double rear_axle_angle;
    uint8_t gear_state;         // byte 36 as stored
    bool crashed;               // low three bits 7
    int gear;                   // 0..5 (0 while crashed)
    bool dab;                   // bit 3 (false while crashed)
    double throttle;             // 0..1 (0 while crashed)
    int crash_countdown;        // 0, or c * 127 / 15 + 1 while crashed
    double engine_speed;         // rad/s, 0..32768 rpm
};

// One slot's history: entries run backwards from head, wrapping at 128, in
// increasing tick order toward the head.
struct RiderHistory {
    int32_t ticks[HISTORY_LENGTH];                     // -1: empty
    uint8_t records[HISTORY_LENGTH][STATE_RECORD_BYTES];
    int head;                                          // index of the newest entry
    int pending;                                       // 0..128: added since the demo recorder last wrote
    uint32_t markers;                                  // marker bits of the records applied, newest in bit 0
};

// Every slot's history; emptied by history_clear at each race reset and
// each playback seek, written by the game thread between ticks.
extern RiderHistory g_rider_history[HISTORY_SLOTS];

// The two entries around a wanted tick and what to take from them.
struct HistoryPick {
    int older, newer;           // entry indices; equal with a single record
    int32_t older_tick;         // e
    int32_t newer_tick;         // g
    int32_t target;             // the tick the record stands for (at most g + 64)
    float fraction;             // (target - e) / (g - e); 0: the older record, 1: the newer unchanged
};

// The record of the bike as it stands, clamped at the world's edges: W the
// world size, H the minimum height. The marker bit is written as 0.
void state_encode(const BikeState *bike, float world_size, float min_height, uint8_t out[STATE_RECORD_BYTES]);
// Takes a record apart. version 4 reads the 26-byte layout (the rider put on
// its mount by info's travel values); anything else the 39-byte one.
void state_decode(const uint8_t *record, int version, const BikeModelInfo *info, float world_size,
                  float min_height, StateDecoded *out);
// Puts the bike's seven bodies where the decoded record says: frame and
// rider as given, fork, swingarm and wheels by the joint values. Velocities,
// drivetrain and crash state are left alone.
void state_set_pose(BikeState *bike, const StateDecoded *state);
// The record fraction f of the way from older to newer (f past 1
// extrapolates; every field stays in range). A version-4 record or f = 0
// copies the older one.
void state_interpolate(const uint8_t *older, const uint8_t *newer, float fraction, int version,
                       uint8_t out[STATE_RECORD_BYTES]);

// Every ring empty: ticks -1, records zero, head 0, pending 0.
void history_clear();
// Stores a record at tick (the first record of a tick wins; a full ring
// loses its oldest entry). False when nothing was stored: a slot out of
// range (with a console message), a tick below 0 or already held, or one
// older than a full ring's oldest.
bool add_state_to_history(int slot, const uint8_t record[STATE_RECORD_BYTES], int64_t tick);
// The entries around tick (below 0 taken as 0). False for an empty history.
bool history_pick(const RiderHistory *history, int64_t tick, HistoryPick *out);
// The record a pick stands for.
void history_record(const RiderHistory *history, const HistoryPick *pick, int version,
                    uint8_t out[STATE_RECORD_BYTES]);
// Sets the slot's bike from its history at tick: pose, velocities, ground
// lift, drivetrain, crash and dab state; an awake bike (activity above 0.25)
// is pulled toward the record by forces instead. Positions are scaled by
// g_terrain. Nothing happens for an empty history or a slot out of range.
void history_apply(int slot, BikeState *bike, int64_t tick, int version);
// Whether the slot's history holds entries around now: false when empty,
// when now < g - 128 or e + 128 < now.
bool history_covers(int slot, int64_t now);
