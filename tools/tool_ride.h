// "quorvin-tool ride" and "quorvin-tool bench physics": headless rides of
// the game's bike simulation on a track, for tuning setups, for checks and
// for measuring how fast the physics runs.
#pragma once

#include <string>
#include <vector>

// One entry of a control script: from time t on, each named control holds
// its value until a later entry changes it.
struct RideControl {
    double t;
    std::vector<std::pair<std::string, float>> values;
};

// Parses "TIME key=value ..." entries separated by newlines or ";" (blank
// entries and "#" comments are skipped). Keys: steer, throttle, front_brake,
// rear_brake, clutch, dab, back_up, lean, shift. False with a message on a
// bad entry. The entries come out sorted by time (stable).
bool ride_parse_controls(const std::string &text, std::vector<RideControl> *out, std::string *error);

// The test rider of "--follow-course": steers at a point ahead on a
// track's "course" centre line, with a speed that fits the bends ahead,
// and counts laps by its progress along the line.
struct CoursePoint {
    float x, z, heading, width;
    float speed;           // what the line asks for here, 0 where free
};

struct CourseFollower {
    std::vector<CoursePoint> points;
    int index;             // the nearest point, followed from tick to tick
    double progress;       // points passed since the lap began
    int laps;
    double lap_start;      // time the current lap began
    double last_lap, best_lap;
    double last_shift;     // time of its last gear change
    float lateral;         // ft to the right of the centre line it rides (kept inside the width)
    float pace;            // share of the bends' speed it rides at; 0 is 1 (jumps keep theirs)
    bool rolling;          // too slow for the jump ahead: rolling over it
};

struct BikeState;

// Reads "@TRACK/course"; false when it is missing or has fewer than 8 points.
// The follower starts at the first point; course_attach starts it at the
// point nearest (x, z) instead.
bool course_load(const std::string &track, CourseFollower *f);
void course_attach(CourseFollower *f, float x, float z);
// Sets the bike's steer, throttle, brakes and clutch for this tick at game
// time t; true when the tick completed a lap.
bool course_follow(CourseFollower *f, BikeState *bike, double t);

extern const char *const k_ride_help;    // "ride --help"
extern const char *const k_bench_help;   // "bench --help"
int tool_ride(int argc, char **argv);
int tool_bench(int argc, char **argv);
