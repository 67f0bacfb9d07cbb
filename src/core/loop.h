// The main loop's timing and tick dispatch: how much game time a frame
// advances, which input events each fixed tick takes, and how the bound keys
// and axes sum into the nine control channels.
//
// The wall clock paces frames and nothing else. Everything here takes its
// clock and its per-tick work from the caller, so it runs the same headless,
// in tests with a made-up clock, and in the game.
#pragma once

#include <cstdint>

#include "platform/events.h"

// One simulation tick: exactly 1/128 s.
static const double TICK = 0.0078125;
static const int MAX_CATCH_UP_TICKS = 16;
static const double MAX_FRAME_ADVANCE = MAX_CATCH_UP_TICKS * TICK;   // 0.125 s
static const int WARP_TICKS = 100;

enum ControlChannel {
    CHANNEL_STEER = 0,
    CHANNEL_THROTTLE = 1,
    CHANNEL_FRONT_BRAKE = 2,
    CHANNEL_REAR_BRAKE = 3,
    CHANNEL_SHIFT = 4,
    CHANNEL_CLUTCH = 5,
    CHANNEL_DAB = 6,
    CHANNEL_BACK_UP = 7,
    CHANNEL_LEAN = 8,
    CHANNEL_COUNT = 9,
};

enum ViewMode {
    VIEW_RIDER = 0,
    VIEW_EDITOR = 2,
    VIEW_ORBIT = 3,
    VIEW_FREE = 4,
    VIEW_TITLE = 5,
};

// One bound control: a key (or an axis) of the settings feeding a channel.
struct ControlBinding {
    const char *config_key;   // the settings key that names the binding
    int code;                 // resolved key code, -1 when unbound
    int axis;                 // open axis handle, -1 when none
    float low, high;          // axis range mapped onto 0..1
    int channel;
    float weight;
    float value;              // 1 while the key is held; for an axis, read each tick
};

enum { CONTROL_BINDINGS = 12, FRAME_HISTOGRAM_BUCKETS = 8 };

extern const ControlBinding k_control_bindings[CONTROL_BINDINGS];

// Owned by the main loop for the life of the game; never saved.
struct LoopState {
    int view_mode;
    bool paused;
    bool mouse_held;
    bool quit;
    double last_time;          // wall time at the start of the previous frame
    double target_time;        // simulation time real time has reached
    double sim_time;           // simulation time of the last tick run
    double game_clock;         // advanced with target time; messages and timers
    float channels[CHANNEL_COUNT];
    float orbit_yaw, orbit_distance, orbit_height;
    float chase_center[3];
    double lock_period;        // 1 / lock fps; 0 = off
    bool warp;
    bool online;
    int histogram[FRAME_HISTOGRAM_BUCKETS];
    double shortest_frame, longest_frame;
    int64_t ticks_run;
    ControlBinding bindings[CONTROL_BINDINGS];
    int mouse_left_code;       // "cursor-left", -1 until resolved
};

// Where the loop gets its time. `now` reads the wall clock in seconds; `sleep`
// waits (the made-up clocks of the tests just move on).
struct LoopClock {
    double (*now)(void *ctx);
    void (*sleep)(void *ctx, double seconds);
    void *ctx;
};

// The per-tick and per-event work of the rest of the game.
struct LoopHooks {
    void *ctx;
    // Takes the oldest input event; with `until`, only one stamped at or
    // before (seconds, microseconds). None: no input (headless).
    bool (*next_event)(void *ctx, bool until, int32_t seconds, int32_t microseconds, uint32_t *code,
                       bool *pressed);
    // After the bindings took the event: menus, pause, views and so on.
    void (*key)(void *ctx, LoopState *loop, uint32_t code, bool pressed);
    // Current raw value (-32768..32767) of an open axis.
    float (*axis)(void *ctx, int axis);
    // The tick itself, with the channels summed: apply controls, race step.
    void (*tick)(void *ctx, LoopState *loop);
};

// The system clock (zolm_time and zolm_sleep).
extern const LoopClock k_system_clock;

void loop_init(LoopState *loop, double now);

// The histogram bucket of a frame that took dt seconds: the first k in 0..6
// with dt < 2^k ticks, else 7.
int loop_histogram_bucket(double dt);

// Timing of one frame: reads the clock (sleeping so no frame is shorter than
// a tick, or away the rest of a locked period), counts the frame, and
// returns the game-time advance w. Target time and game clock grow by w.
// *now gets the wall time the ticks are placed against.
double loop_frame_advance(LoopState *loop, const LoopClock *clock, double *now);

// Online pacing: scales w to follow the server's tick.
double loop_online_scale(double w, int64_t server_tick, int64_t local_tick, int64_t start_tick);

// Runs every tick due (sim time < target time). Each tick resets the
// channels, takes the events stamped up to its moment (the last tick takes
// all that are queued), sums the bindings, and calls hooks->tick.
// Returns the number of ticks run.
int loop_run_ticks(LoopState *loop, double now, const LoopHooks *hooks);

// An event source over a bare queue (tests and tools): ctx is the queue.
bool loop_queue_events(void *queue, bool until, int32_t seconds, int32_t microseconds, uint32_t *code,
                       bool *pressed);

// Sets the value of every binding whose key is `code`.
void loop_take_key(LoopState *loop, uint32_t code, bool pressed);
// Sums the bindings into the channels (axes read through hooks).
void loop_sum_bindings(LoopState *loop, const LoopHooks *hooks);
