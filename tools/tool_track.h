// "quorvin-tool check-track": loads a whole track the way the game does.
#pragma once

// argv: NAME (a track directory, with or without the leading "@"). Loads the
// track headless from the game's data directories, prints every console
// message and log line the load made, then a summary of the field, its
// tiles and its content. 0 when the load succeeded with no warning, else 1.
int tool_check_track(int argc, char **argv);
