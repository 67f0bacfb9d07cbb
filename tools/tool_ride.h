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

extern const char *const k_ride_help;    // "ride --help"
extern const char *const k_bench_help;   // "bench --help"
int tool_ride(int argc, char **argv);
int tool_bench(int argc, char **argv);
