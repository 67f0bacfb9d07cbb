// "quorvin-tool race": a whole race headless, with the game's race control,
// bikes and timing gates; the riders ride the track's course line with the
// test rider until robots can ride.
#pragma once

extern const char *const k_race_help;
int tool_race(int argc, char **argv);
