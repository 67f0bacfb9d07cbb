// The game program: start-up, the main loop and shut-down, and the few
// process-wide records they own.
#pragma once

#include "core/cmdline.h"
#include "core/loop.h"

struct RenderParams;
struct ZolmWindow;

// The fixed navigation keys of the menus, resolved once after the window opens.
enum NavigationKey {
    NAV_UP, NAV_DOWN, NAV_LEFT, NAV_RIGHT, NAV_ENTER, NAV_KEYPAD_ENTER, NAV_ESC, NAV_PAUSE,
    NAV_CURSOR_LEFT, NAV_CURSOR_RIGHT, NAV_PAGE_UP, NAV_PAGE_DOWN, NAV_KEY_COUNT,
};
struct NavigationKeys {
    int code[NAV_KEY_COUNT];   // -1 when the name resolves to nothing
};

extern CommandLine g_cmdline;   // whole process; filled once by start-up
extern LoopState g_loop;        // whole process; owned by the main loop
extern int g_debug_level;       // 0, 1 ("--debug") or 2 ("--super-debug")
extern bool g_fixed_files_ok;   // the physics shape files are the shipped ones
extern RenderParams g_render;   // derived at start-up from settings and options
extern ZolmWindow *g_window;    // from start-up step 14 to shut-down; none before
extern NavigationKeys g_nav_keys;

// The RIPEMD-160 of the seven physics shape files as one stream, in the
// order the fixed-file check reads them; missing files add nothing.
extern const char *const k_shape_files[7];
extern const char *const k_shape_digest;
bool fixed_files_check(char digest_hex[41]);

// Asks the main loop to end at the next frame (signals, the quit menu entry).
void game_request_quit();

int game_main(int argc, char **argv);
