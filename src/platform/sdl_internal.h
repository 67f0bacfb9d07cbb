// The records behind ZolmWindow, ZolmDevice and ZolmAxis and the calls the
// window, input and key files make of each other. This is the only header
// that includes SDL; only src/platform/*.cpp include it.
//
// Everything here runs on the thread that opened the window: SDL delivers
// window and joystick events only to that thread, so the event queue, the
// devices and the window state have a single user and no locks.
#pragma once

#include <SDL.h>

#include "platform/events.h"
#include "platform/input.h"
#include "platform/window.h"

enum {
    WINDOW_FLAG_GL = 2,
    WINDOW_FLAG_THREADED = 4,
    WINDOW_FLAG_FULLSCREEN = 8,
    WINDOW_TITLE_BYTES = 256,
    DEVICE_NAME_BYTES = 256,
    DEVICE_MAX_AXES = 100,
    DEVICE_MAX_BUTTONS = 500,
};

enum ZolmDeviceKind {
    DEVICE_JOYSTICK,
    DEVICE_MOUSE,     // the system mouse: two relative axes, three buttons
    DEVICE_CURSOR,    // the pointer position in client coordinates
};

struct ZolmDevice {
    ZolmDevice *next;                 // the window's list, newest first
    ZolmWindow *window;
    char name[DEVICE_NAME_BYTES];     // blanks and "." removed, "#n" on a clash
    char base[DEVICE_NAME_BYTES];     // the name before any "#n"
    int32_t id;                       // a multiple of 65536, or 0
    int32_t axis_users;
    bool active;                      // a button binding was resolved: queue its buttons
    bool opened;
    ZolmDeviceKind kind;
    int32_t button_count, axis_count;
    bool relative;                    // axes report motion, not position
    SDL_Joystick *joystick;           // none once the joystick is unplugged
    SDL_JoystickID instance;          // -1 once unplugged
    int32_t *axis_values;             // relative devices: motion since the last read
    uint8_t *button_states;           // last seen state of each button
    int32_t time_adjustment;          // milliseconds taken off device times
};

struct ZolmAxis {
    ZolmDevice *device;
    int32_t axis;
};

struct ZolmWindow {
    SDL_Window *window;
    SDL_GLContext gl;
    ZolmViewport viewport;
    int32_t client_width, client_height;
    uint8_t color_bits;
    int32_t fullscreen_width, fullscreen_height;
    char title[WINDOW_TITLE_BYTES];
    ZolmDevice *devices;
    bool joysticks_up;                // the window holds SDL's joystick subsystem
    const char **device_names;        // null-terminated, in the order added
    int32_t device_name_count, device_name_room;
    ZolmEventQueue queue;
    bool busy;                        // a mode switch is running
    bool close_flag;
    uint8_t flags;                    // WINDOW_FLAG_*
    bool mode_request;                // a zolm_set_display_mode waiting for the next pump
    int32_t request_width, request_height, request_flags;
    uint32_t pump_sdl_ms;             // the two clocks read together at the last pump
    int64_t pump_zolm_us;
    int64_t last_stamp_us;            // the latest stamp given, keeping stamps monotonic
    SDL_Cursor *cursor;
};

// window.cpp
// Queues an event stamped with SDL's millisecond time of it (already
// adjusted by the device rule where one applies).
void window_queue_at(ZolmWindow *w, uint32_t code, bool pressed, uint32_t sdl_ms);
// Lets SDL deliver its pending events and translates them into the queue.
void window_pump(ZolmWindow *w);
// Adds a name to the window's device-name list (copied).
void window_add_device_name(ZolmWindow *w, const char *name);

// input.cpp
// The roll call of joysticks (and the mouse with "dinputsticksonly" off), the
// cursor device and the aliases of window open.
void input_create_devices(ZolmWindow *w);
void input_close_devices(ZolmWindow *w);
// Joystick arrival and removal, joystick buttons, and the mouse device's
// motion and buttons; other events are left alone.
void input_handle_event(ZolmWindow *w, const SDL_Event *e);
