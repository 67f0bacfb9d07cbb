// Race control: the 160 rider slots, the race record with its tick, start
// and length, the robot roster, the race reset that loads the track and
// puts the bikes on the starting gate, the fixed tick that runs the race,
// the standings with finish detection and cutting penalties, and the time
// trial's lap logic.
//
// Owns: g_slots (each slot's bike and gate progress, from the reset that
// made them to the next reset or race_free), g_race, g_roster, and the
// loaded track from the reset that loaded it to race_free.
// Never: draws, plays or opens a window itself: screen messages, demos,
// the race server, robot lines and the auto pilot, sound channels, roost
// particles and results files reach it only through g_race_hooks, each of
// which may be none (a headless race then runs with what it has).
#pragma once

#include <cstdint>

#include "track/gates.h"

struct BikeState;

enum {
    RACE_SLOTS = 160,
    RACE_NONE = 160,               // "no slot" wherever a slot is stored
    ROSTER_SIZE = 80,
    RACE_TEXT_BYTES = 64,          // model, name and texture names
    RACE_NUMBER_BYTES = 4,         // three characters
    RACE_OPEN_LAPS = 1000000,      // finish and halfway laps still to be fixed
    RACE_TIME_TRIAL_TICK = 38400,  // 300 s: the clock of a time trial
};

// Slot types: the reset's input, one per slot.
enum SlotType {
    SLOT_EMPTY = 0,
    SLOT_HUMAN = 1,
    SLOT_ROBOT = 2,
    SLOT_ROBOT_125 = 3,
    SLOT_ROBOT_250 = 4,
    SLOT_REMOTE = 5,
    SLOT_ROBOT_NUMBER = 1000,      // + the race number of one roster robot
};

// How a slot's bike is driven while racing.
enum RiderKind { RIDER_LOCAL = 0, RIDER_REPLAYED = 1, RIDER_ROBOT = 2 };

struct RiderSlot {
    BikeState *bike;               // none: nobody rides this slot
    int kind;                      // RiderKind; RIDER_REPLAYED without a bike
    int slot_type;                 // as given to the last reset
    char bike_model[RACE_TEXT_BYTES];
    char number[RACE_NUMBER_BYTES];
    char name[RACE_TEXT_BYTES];
    char rider_texture[RACE_TEXT_BYTES], helmet_texture[RACE_TEXT_BYTES];
    char bike_texture[RACE_TEXT_BYTES], wheel_texture[RACE_TEXT_BYTES];
    int demo_index;                // this rider in the demo recorded or played; -1 none
    int64_t last_heard;            // last tick a server update arrived (remote riders)
    float start_position[3];       // where the local rider was placed (false-start test)
    GateProgress gates;            // progress and passage log through the timing gates
    int32_t cut_penalty;           // cutting penalty in ticks, fixed when the race was over
    int laps_removed;              // whole laps taken away with it
};

struct StandingsEntry {
    int slot;
    int progress;                  // sequence positions passed (less any laps removed)
    int32_t last_tick;             // tick of the last logged passage (plus any penalty)
};

struct RaceRecord {
    int32_t tick;
    int32_t start_tick;            // the gate drops here
    int32_t race_ticks;            // time limit; 0 = lap race
    int laps;
    int finish_laps;               // RACE_OPEN_LAPS in a timed race until fixed
    int halfway_laps;              // likewise until half the time has run
    bool time_trial;
    int viewed;                    // slot the camera follows
    StandingsEntry standings[RACE_SLOTS];
    int standings_count;
    int32_t best_lap, last_lap;    // time trial, ticks; 0 none
    int32_t lap_line_tick;         // time trial: rider 0's last lap-line crossing; -1 none
    int32_t penalty_ticks;         // local rider's false-start hold
    bool results_written;
    bool over;                     // every rider finished or passed over
    float gate_drop[GATE_SLOTS_MAX];   // 1 up .. 0 down, per starting slot
    float off_course_bias;         // seconds
    float off_course_scale;
    int32_t crash_delay[16];
    float free_camera[3];          // put above the viewed bike by the reset
    // Server race state (kept by the race-server client; offline: false, RACE_NONE).
    bool online;
    int own_slot;
    int own_place;
    int history_version;           // record version the histories hold
};

// A roster robot. Empty texture names: the model's own.
struct RosterEntry {
    char number[RACE_NUMBER_BYTES];
    char personality[16];
    char bike[RACE_TEXT_BYTES];    // short model name, before the legacy mapping
    char rider_texture[RACE_TEXT_BYTES], helmet_texture[RACE_TEXT_BYTES];
    char bike_texture[RACE_TEXT_BYTES], wheel_texture[RACE_TEXT_BYTES];
};

// What the reset is asked for besides the slot types.
struct RaceOptions {
    bool playback;                 // a demo is being played
    bool record;                   // record a demo of the race
    int32_t race_ticks;            // time limit in ticks; 0 = lap race
    int laps;
    int skill;                     // robot skill: 0 novice, 1 amateur, 2 expert
    const char *track;             // track directory; none: the settings' "Track" choice
    bool reload;                   // load the track even when it is the loaded one
    bool practice;                 // "--practice": robots get the "tester" personality
    bool server;                   // a server race: start tick and places from the server
    int32_t server_start_tick;
    int update_method;             // the terrain's texture update method for a track load
};

// The seams to the parts of the game built on top of the race. Each may be
// none; the game and the other modules set them once.
struct RaceHooks {
    void (*message)(const char *text);            // drawn over the title picture (a window exists)
    void (*series_store)();                       // the points-series result of the race left or ended
    void (*lines_save_clear)();                   // robot lines of the skill in use saved and cleared
    void (*lines_load)(int skill);                // the track's lines of the skill, pruned
    void (*demo_close_playback)();
    void (*demo_close_recording)();
    void (*demo_start_recording)();
    // The demo's track directory when a demo plays and opens; false otherwise.
    bool (*demo_track)(char *out, int size);
    // The next demo rider for an empty slot in playback: fills model, number,
    // name and textures; false when the demo has no more riders.
    bool (*demo_rider)(int slot, RiderSlot *out);
    void (*demo_first_work)();                    // forced history block and read-ahead
    void (*demo_tick)();                          // recording and playback work of a tick
    void (*remote_clear)();                       // all remote-rider data, outside server races
    bool (*remote_rider)(int slot, RiderSlot *out);
    // The server's place for a slot; false: the grid place stands.
    bool (*server_place)(int slot, float *x, float *z, float *heading);
    void (*remote_update)(int slot, BikeState *bike);
    void (*sound_load)(int slot);
    void (*sound_free)(int slot);
    void (*personality)(int slot, const char *name);
    void (*autopilot)(int slot, BikeState *bike);
    void (*roost_clear)();                        // roost particles and object marks
    void (*roost_update)();
    void (*results_write)();                      // "@results.txt"
    // Time trial: a lap of rider 0 was measured. keep: "lastlap.qvdemo"
    // becomes "fastlap.qvdemo". The hook closes the ghost and recording,
    // copies, reloads the ghost into slots 1 onward and starts recording.
    void (*ghost_lap)(bool keep);
    bool (*fastlap_exists)();
    void (*ghost_close)();
};

// What race_step needs of the settings and command line beyond the record.
struct RaceTickOptions {
    int roost_frequency;           // "--roostfrequency"
    bool erosion;                  // the terrain erosion setting is above 0
};

extern RiderSlot g_slots[RACE_SLOTS];   // whole process; bikes made by race_reset, freed by the next or race_free
extern RaceRecord g_race;               // cleared by race_reset(); the tick, standings and gate drop
extern RosterEntry g_roster[ROSTER_SIZE];   // fixed order restored and shuffled by each reset
extern RaceHooks g_race_hooks;          // whole process; set once by the modules that join
extern RaceTickOptions g_race_tick_options;   // whole process; set at start-up

// The fixed roster in number order (i outside 0..79: none).
const RosterEntry *roster_fixed(int i);
// Restores the fixed order and shuffles it with the generator reseeded by seed.
void roster_shuffle(uint32_t seed);

// The 160 slot types of the settings' 40 gate choices (the rest empty).
void race_slot_types_from_settings(int out[RACE_SLOTS]);

// The reset. slot_types none: time trial. False only when the track does
// not load (no bikes then).
bool race_reset(const int *slot_types, const RaceOptions *options);
// One tick of the race.
void race_step();
// Frees every bike and unloads the track (shut-down).
void race_free();
// Frees one slot's bike, sound and gate log; the slot becomes replayed.
void race_free_slot(int slot);

// Where slot number slot starts on the loaded track.
void race_grid_place(int slot, float *x, float *z, float *heading);

// The standings: sort, timed-race laps, over detection, penalties, results.
void standings_update();
// The standings' entry of a slot, or -1.
int standings_place(int slot);
// Laps completed at sequence position progress.
int race_laps_at(int progress);

// The rules behind the standings, over riders' gate progress (g_gates
// gives the sequence). The cutting penalty in ticks of riders[index]: for
// each run of skipped positions, the others' average time over the same
// stretch (every lap; 60 s when nobody has one) plus 1 s, less its own when
// that is below it.
int32_t cutting_penalty(const GateProgress *const *riders, int count, int index, int32_t start_tick);
// Whole laps taken from a rider whose best lap is not its first while
// *penalty exceeds that lap; *penalty keeps what is left.
int cutting_laps(const GateProgress *rider, int32_t start_tick, int32_t *penalty);
// The finish laps of a timed race once time has run out at limit_tick:
// "laps" laps after the lap in which it ran out.
int timed_finish_laps(const GateProgress *const *riders, int count, int leader_laps, int finish_laps, int laps,
                      int32_t limit_tick);

// The time trial: rider 0 back at the lap start, ghosts gone.
void time_trial_restart();
// Step 12 of race_step: rider 0 had laps_before laps and the ghost
// (rider 1) ghost_progress before the tick.
void race_time_trial_lap(int laps_before, int ghost_progress);

bool rider_is_ghost(int slot);
// Server races: left out of the collisions and drawn as a ghost after the
// first 10 s (finished, not yet over the first lap line, or slow).
bool race_rider_left_out(int slot);

// The false-start rule of the local rider in a server race.
void race_false_start(int slot);

// "%d:%02d.%03d" of a tick count.
void race_time_text(int32_t ticks, char *out, int size);
// The results line of a penalised rider ("%3s penalized ..."); false when
// the slot has no penalty.
bool race_penalty_text(int slot, char *out, int size);
