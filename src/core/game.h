// The game program: start-up, the main loop and shut-down, and the few
// process-wide records they own.
#pragma once

#include "core/cmdline.h"
#include "core/loop.h"

extern CommandLine g_cmdline;   // whole process; filled once by start-up
extern LoopState g_loop;        // whole process; owned by the main loop
extern int g_debug_level;       // 0, 1 ("--debug") or 2 ("--super-debug")
extern bool g_fixed_files_ok;   // the physics shape files are the shipped ones

// The RIPEMD-160 of the seven physics shape files as one stream, in the
// order the fixed-file check reads them; missing files add nothing.
extern const char *const k_shape_files[7];
extern const char *const k_shape_digest;
bool fixed_files_check(char digest_hex[41]);

// Asks the main loop to end at the next frame (signals, the quit menu entry).
void game_request_quit();

int game_main(int argc, char **argv);
