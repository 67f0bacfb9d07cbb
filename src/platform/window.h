// The platform window: one top-level window with an OpenGL context, windowed
// or full-screen, the time-ordered queue of input events it fills, the frame
// bracket, display modes and message boxes. Implemented over SDL2; no SDL type
// or header leaves src/platform.
//
// Owns: the window, its GL context, its input devices (input.h) and its
// event queue, from zolm_open_gl_window to zolm_close_gl_window. SDL's video
// subsystem and the GL driver are started on first use and kept for the
// process; nobody else needs to call SDL_Init or SDL_Quit for them.
//
// Threads: every call here is made on the thread that opened the window (the
// game thread). SDL delivers window events only to that thread, so the
// "threaded" option is logged as unavailable and messages are processed
// inside zolm_next_event / zolm_next_event_until (and axis reads, input.h).
#pragma once

#include <cstdint>

#include "platform/events.h"

struct ZolmWindow;   // opaque outside src/platform

enum {
    ZOLM_FULLSCREEN = 512,   // open/mode flag; the low 8 bits are colour bits
};

struct ZolmDisplayMode {
    int32_t width, height, bits;   // a list ends with an all-zero entry
};

struct ZolmViewport {
    int32_t x, y, width, height;
};

// Opens the window and its GL context (flags: low 8 bits colour bits, 32
// asking for 24, plus ZOLM_FULLSCREEN). Width or height 0 means the desktop
// size. The context is a compatibility one (fixed-function pipeline). None on
// failure (logged; the last error text says why).
ZolmWindow *zolm_open_gl_window(const char *title, int width, int height, int flags, int alpha_bits,
                                int depth_bits, int stencil_bits, int accumulation_bits);
// Closes the input devices, the GL context and the window; frees w. Close
// every ZolmAxis of the window first.
void zolm_close_gl_window(ZolmWindow *w);

// The frame bracket. begin_frame refuses (false) while the window is busy,
// minimised or hidden (a full-screen window minimises when it loses focus);
// retry after a short sleep. swap is false when the buffers could not be
// swapped.
bool zolm_begin_frame(ZolmWindow *w, ZolmViewport *viewport);
bool zolm_swap(ZolmWindow *w);

// The display modes, desktop mode first; enumerated once.
const ZolmDisplayMode *zolm_display_modes();
// Asks for full-screen at that size (flags has ZOLM_FULLSCREEN) or windowed.
// Returns at once; the next zolm_next_event* call carries it out.
void zolm_set_display_mode(ZolmWindow *w, int width, int height, int flags);

// Takes the oldest queued event (pumping the window's messages first). Stamps
// are on the zolm_time clock, microsecond precision, in queue order.
bool zolm_next_event(ZolmWindow *w, uint32_t *code, bool *pressed, int32_t *seconds, int32_t *microseconds);
// The same, only when the oldest event is not later than (seconds, microseconds).
bool zolm_next_event_until(ZolmWindow *w, int32_t seconds, int32_t microseconds, uint32_t *code,
                           bool *pressed, int32_t *at_seconds, int32_t *at_microseconds);

// The names of the input devices' absolute axes, ended by a null entry. A
// joystick plugged in later adds its axes: the list may move at the next
// event pump, so read it again rather than keeping the pointer.
const char *const *zolm_device_names(ZolmWindow *w);

// The GL entry point of that name, or none (for the GL extension loader).
void *zolm_gl_proc(const char *name);
