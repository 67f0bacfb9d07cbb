// The pure rules of the window and input layer: display-mode lists and the
// full-screen choice, event time stamps, the device id hash and time
// adjustment, the key tables and the scan-code translation. They take plain
// values and touch no SDL state, so the tests exercise them on made-up
// inputs.
//
// Private to src/platform and its tests; other subsystems use window.h and
// input.h. No SDL type or header here.
#pragma once

#include <cstdint>

#include "platform/window.h"

// One display mode as the display reports it.
struct ZolmModeInfo {
    int32_t width, height, bits, hz;
};

// Builds the display-mode list: the desktop mode first when it is known and
// has a usable depth (8, 15, 16, 24 or 32 bits), then every other mode with
// a usable depth, modes differing only in refresh rate collapsed into one.
// Logs each mode found. out has room entries; the list written ends with an
// all-zero entry (so at most room - 1 modes). Returns the number of modes.
int window_build_mode_list(const ZolmModeInfo *desktop, const ZolmModeInfo *modes, int count,
                           ZolmDisplayMode *out, int room);

// The full-screen size for a request of w x h: among the modes at least that
// large the one with the smallest width + height (the first on a tie); the
// desktop size when none is large enough or w or h is 0.
void window_choose_fullscreen(const ZolmDisplayMode *modes, int32_t desktop_width, int32_t desktop_height,
                              int32_t w, int32_t h, int32_t *chosen_width, int32_t *chosen_height);

// Reads the "threaded" option and logs the options block ("Options:" and
// "%10s [%s]"); the window has no message thread, which it says when the
// option asks for one. The first window open calls it.
void window_log_options();

// Puts an SDL event time (milliseconds of SDL's tick counter) on the zolm_time
// clock in microseconds: sdl_now_ms and zolm_now_us are the two clocks read
// together at pump time, so the event lies its age before zolm_now_us. The
// result is never before floor_us (the previous stamp, keeping the stamps of
// one window monotonic) nor after zolm_now_us unless floor_us is.
int64_t window_event_stamp(uint32_t event_ms, uint32_t sdl_now_ms, int64_t zolm_now_us, int64_t floor_us);

// The id a device name hashes to, before clashes are resolved: characters at
// even positions summed into 16 bits (s), at odd positions into 8 bits (t),
// id = ((s + 256 t) & 32767) * 65536. Characters count as signed bytes.
int32_t input_name_hash(const char *name);

// The device time-adjustment rule: stamp_ms less the adjustment, except that
// a time after now_ms makes the adjustment (stamp_ms - now_ms) and gives
// now_ms. Wrapping millisecond counters compare by their difference.
uint32_t input_adjust_stamp(int32_t *adjustment, uint32_t stamp_ms, uint32_t now_ms);

// Reads an accumulated axis value: an absolute axis gives its position, a
// relative axis the motion gathered since the last read, which it clears.
int32_t input_take_axis(int32_t *value, bool relative);

// One row of the built-in key table.
struct ZolmKeyRow {
    const char *name;
    int scan;       // PC scan code; extended keys + 256
};
// The 98 rows of the built-in key table, in order.
const ZolmKeyRow *keys_table(int *count);

// The PC scan code of an SDL scancode (an SDL_Scancode value), or -1 when
// the key has none; and the reverse, 0 (SDL_SCANCODE_UNKNOWN) when none.
int keys_pc_from_sdl(int sdl_scancode);
int keys_sdl_from_pc(int scan);

// The next code point of UTF-8 text, advancing *text; false at the end.
// A malformed sequence gives 0xfffd and skips one byte.
bool keys_utf8_next(const char **text, uint32_t *code_point);

// The code of a key, mouse-button or special name: the special names, the
// system key names, then the built-in table, exactly or loosely (case,
// blanks and "_" ignored as the binding rules say); -1 when none knows it.
int keys_code_of(const char *name, bool loose);
// The name of a code 4096-4607 or a special code into out (room bytes):
// false for other codes.
bool keys_name_of(int code, char *out, int room);

// Whether the system key names take part (on by default; they are read from
// SDL once the video subsystem is up). Tests switch them off to see the
// built-in table alone.
void keys_use_system_names(bool on);
