// Timing gates and lap detection: the track's "timing_gates" file (starting
// slots, checkpoints, first-lap and normal-lap sequences), its writer, and
// the per-step test that logs each rider's gate passages, counts laps and
// decides when a rider has finished.
//
// Owns: g_gates (with the statue names of its starting slots) from
// timing_gates_load to timing_gates_free; each GateProgress's passage log
// from its first passage to gate_progress_free.
// Never: places statues or bikes (the track loader and the race do that),
// touches the standings, or lets a name read from a file leave the data
// directories.
#pragma once

#include <cstdint>

struct BikeState;
struct VfsFile;

enum {
    GATES_MAX = 256,             // gates in a table
    GATE_LIST_MAX = 256,         // entries of the first-lap list, and of the normal-lap list
    GATE_SLOTS_MAX = 160,        // starting slots
    GATE_PLAIN = 100000,         // added to a gate number: required, but not a switch point
    GATE_LINE_BYTES = 1024,      // starting-slot lines, terminator included
    GATE_LOG_MAX = 1 << 20,      // sequence positions a passage log can hold
};

// Seconds per simulation step: logged passages are step numbers.
static const float GATE_STEP_TIME = 1.0f / 128.0f;

// One checkpoint: a horizontal circle with a direction of travel.
struct TimingGate {
    float x, y, z;               // centre
    float dx, dy, dz;            // direction of travel; the test uses dx and dz only
    float radius;                // horizontal
    int32_t flagged;             // set each frame by the renderer while a fallen rider's next gate is this one
};

// One place on the starting gate, with the statue of its gate bars.
struct StartSlot {
    float x, y, z;               // as read
    float heading;               // radians, -pi..pi; faces (-sin, 0, -cos)
    float statue_x, statue_z;    // the statue's place: 3 ft ahead of the slot (y offset y, angle heading)
    char *model, *texture, *shape;   // the statue's names (owned); "null" for none
    int statue;                  // the track's statue index, set by the track loader; -1 none
};

// The gate table. Sequence entries are gate numbers, plus GATE_PLAIN for a
// plain gate; the first first_count entries are the first lap, the next
// normal_count every later lap. A table without gates has no timing.
struct GateTable {
    TimingGate gates[GATES_MAX];
    int gate_count;
    int32_t sequence[2 * GATE_LIST_MAX];
    int first_count, normal_count;                  // F and L
    int first_switch_count, normal_switch_count;    // entries below GATE_PLAIN in each list
    StartSlot slots[GATE_SLOTS_MAX];
    int slot_count;
};
extern GateTable g_gates;   // filled by timing_gates_load, emptied by timing_gates_free

// One rider's way through the sequence. The race holds one per slot and
// clears it with gate_progress_reset at the start.
struct GateProgress {
    int progress;                // sequence positions passed; the next expected one
    int32_t *log;                // step of each position's passage, -1 when skipped (owned)
    int log_count, log_capacity;
    bool finished;
    int fallen;                  // 0 riding, 1 fallen, 2 seen by the robot bookkeeping; cleared at a passage
    bool was_crashed;            // the bike was crashed at the last gate_step (a new crash sets fallen)
};

// What the race tells gate_step about the step.
struct GateRace {
    int32_t tick;                // the current step number, logged at a passage
    int laps;                    // laps the rider must complete (0: finish at the first lap line)
    int leader_progress;         // progress of the first rider in the running order; -1 none
};

// The riding-line bookkeeping of the robots plugs in here; each is none
// until that module installs it. bike may be none (gate_check from tests).
struct GateHooks {
    void (*tables_reset)();                                          // a gate table was read
    void (*record_tick)(BikeState *bike, GateProgress *rider);       // every step of an unfinished rider
    void (*canceled_mark)(BikeState *bike, const GateProgress *rider);   // a passage while fallen, before it counts
    void (*switch_passage)(BikeState *bike, const GateProgress *rider, int position, int scan_offset);
    void (*finish_slowdown)(BikeState *bike);                        // the rider has just finished
};
extern GateHooks g_gate_hooks;   // whole process; set once by the modules that use it

// --- the file -------------------------------------------------------------------

// Reads "timing_gates" from the stream into table (emptied first, names
// owned by it). Returns true when the table has timing; the starting slots
// are kept either way.
bool timing_gates_read(VfsFile *f, GateTable *table);
// Writes table in the file's format; false when a write fails.
bool timing_gates_write(VfsFile *f, const GateTable *table);
// Replaces g_gates with the named file's contents (empty when it cannot be
// opened), resets the robots' tables and logs the counts at debug level 1.
// Returns true when the track has timing.
bool timing_gates_load(const char *name);
// Writes g_gates to the named file; "Can't open 'timing_gates'" and false
// when it cannot be created.
bool timing_gates_save(const char *name);
void timing_gates_free(GateTable *table);

// --- the sequence ---------------------------------------------------------------

bool gates_timed();                           // g_gates has timing
int32_t gate_entry(int position);             // sequence entry of a position; -1 without timing
int gate_at(int position);                    // gate number of a position; -1 without timing
bool gate_is_lap_end(int position);
bool gate_is_switch_point(int position);

// --- riders ---------------------------------------------------------------------

void gate_progress_reset(GateProgress *rider);   // progress 0, empty log, not finished, not fallen
void gate_progress_free(GateProgress *rider);

// The step's gate test for a rider at the front wheel of bike. Returns the
// position passed, or -1; after a passage the caller updates the running
// order.
int gate_step(GateProgress *rider, BikeState *bike, const GateRace *race);
// The same with the front wheel at wheel; bike (may be none) only goes to
// the hooks.
int gate_check(GateProgress *rider, BikeState *bike, const float wheel[3], const GateRace *race);

int rider_lap(const GateProgress *rider);     // completed laps
// Seconds of lap n (n < 0: the last completed lap); 0 when it is not
// complete or a crossing of it was skipped. start_tick: the gate drop.
float rider_lap_time(const GateProgress *rider, int n, int32_t start_tick);
// Puts the rider back to position (a practice restart): the log is cut to
// at most position entries, a lower position clears finished, fallen is
// cleared.
void rider_reset_progress(GateProgress *rider, int position);
