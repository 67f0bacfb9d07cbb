// Input names and devices: the aliases, the interned names, the resolution of
// button and axis names, and the input devices of a window -- SDL joysticks
// found by the roll call at window open or plugged in later, the system mouse
// as a relative device (option "dinputsticksonly" off), and the cursor.
//
// Owns: the alias list and the interned names (whole process, never freed),
// the devices of each window (from its open to its close). A joystick that
// is unplugged keeps its device record: its axes read 0, its held buttons
// are released, and the same joystick plugged in again takes the record
// back, so bindings and open axes stay valid.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"
#include "platform/platform_rules.h"
#include "platform/sdl_internal.h"

enum {
    NAME_PART_BYTES = 64,    // the "%63..." name forms
    NAME_TEXT_BYTES = 1100,  // "%.1000s button %d"
    MOUSE_AXES = 2,
    MOUSE_BUTTONS = 3,
    CURSOR_AXES = 2,
};
static const uint32_t DEVICE_ID_MASK = 0x7fff0000u;   // ids stay within 0 ... 2147418112

struct Alias {
    char *alias;
    char *target;
};
static Alias *s_aliases;
static int s_alias_count, s_alias_room;

static char **s_interned;     // sorted by strcmp
static int s_interned_count, s_interned_room;

// ---------------------------------------------------------------------------
// Pure rules

int32_t input_name_hash(const char *name) {
    uint16_t s = 0;
    uint8_t t = 0;
    for (size_t i = 0; name[i]; i++) {
        int c = (signed char)name[i];
        if (i % 2 == 0) s = (uint16_t)(s + c);
        else t = (uint8_t)(t + c);
    }
    return (int32_t)((((uint32_t)s + 256u * t) & 32767u) * 65536u);
}

uint32_t input_adjust_stamp(int32_t *adjustment, uint32_t stamp_ms, uint32_t now_ms) {
    uint32_t t = stamp_ms - (uint32_t)*adjustment;
    if ((int32_t)(t - now_ms) > 0) {
        *adjustment = (int32_t)(stamp_ms - now_ms);
        t = now_ms;
    }
    return t;
}

int32_t input_take_axis(int32_t *value, bool relative) {
    int32_t v = *value;
    if (relative) *value = 0;
    return v;
}

// ---------------------------------------------------------------------------
// Aliases and interned names

bool zolm_alias(const char *alias, const char *target) {
    if (!alias || !target) return false;
    for (int i = 0; i < s_alias_count; i++) {
        if (strcmp(s_aliases[i].alias, alias) == 0) {
            zolm_log("Second alias for '%s' ('%s') ignored\n", alias, target);
            return false;
        }
    }
    if (s_alias_count == s_alias_room) {
        int room = s_alias_room ? s_alias_room * 2 : 16;
        Alias *grown = (Alias *)realloc(s_aliases, (size_t)room * sizeof *grown);
        if (!grown) {
            zolm_log("Can't alias %s to %s -- out of memory\n", alias, target);
            return false;
        }
        s_aliases = grown;
        s_alias_room = room;
    }
    char *a = strdup(alias), *t = strdup(target);
    if (!a || !t) {
        free(a);
        free(t);
        zolm_log("Can't alias %s to %s -- out of memory\n", alias, target);
        return false;
    }
    s_aliases[s_alias_count++] = {a, t};
    return true;
}

static const char *resolve_alias(const char *name) {
    for (int i = 0; i < s_alias_count; i++)
        if (strcmp(s_aliases[i].alias, name) == 0) return s_aliases[i].target;
    return name;
}

// The one stored copy of text; none when out of memory.
static const char *intern(const char *text) {
    int lo = 0, hi = s_interned_count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        int cmp = strcmp(s_interned[mid], text);
        if (cmp == 0) return s_interned[mid];
        if (cmp < 0) lo = mid + 1;
        else hi = mid;
    }
    if (s_interned_count == s_interned_room) {
        int room = s_interned_room ? s_interned_room * 2 : 16;
        char **grown = (char **)realloc(s_interned, (size_t)room * sizeof *grown);
        if (!grown) return nullptr;
        s_interned = grown;
        s_interned_room = room;
    }
    char *copy = strdup(text);
    if (!copy) return nullptr;
    memmove(s_interned + lo + 1, s_interned + lo, (size_t)(s_interned_count - lo) * sizeof *s_interned);
    s_interned[lo] = copy;
    s_interned_count++;
    return copy;
}

// ---------------------------------------------------------------------------
// Devices

static ZolmDevice *find_device(ZolmWindow *w, const char *name) {
    for (ZolmDevice *d = w ? w->devices : nullptr; d; d = d->next)
        if (strcmp(d->name, name) == 0) return d;
    return nullptr;
}

static ZolmDevice *find_instance(ZolmWindow *w, SDL_JoystickID instance) {
    if (instance < 0) return nullptr;
    for (ZolmDevice *d = w->devices; d; d = d->next)
        if (d->kind == DEVICE_JOYSTICK && d->instance == instance) return d;
    return nullptr;
}

static bool id_used(ZolmWindow *w, int32_t id) {
    for (ZolmDevice *d = w->devices; d; d = d->next)
        if (d->id == id) return true;
    return false;
}

static int32_t assign_id(ZolmWindow *w, const char *name) {
    uint32_t id = (uint32_t)input_name_hash(name);
    for (int tries = 0; tries < 65535; tries++) {
        if (id != 0 && !id_used(w, (int32_t)id)) return (int32_t)id;
        id = (id + 65536u) & DEVICE_ID_MASK;
    }
    return 0;
}

// The device name of a joystick name: blanks and "." removed.
static void form_name(const char *raw, char *out, size_t room) {
    size_t n = 0;
    for (; *raw && n + 1 < room; raw++)
        if (!isspace((unsigned char)*raw) && *raw != '.') out[n++] = *raw;
    out[n] = 0;
}

static void open_device(ZolmDevice *d) { d->opened = true; }
static void close_device(ZolmDevice *d) { d->opened = false; }

// A new device at the head of the window's list, named base or base#2,
// base#3 ... on a clash; none (logged) when out of memory.
static ZolmDevice *add_device(ZolmWindow *w, ZolmDeviceKind kind, const char *base, int32_t axes,
                              int32_t buttons, bool relative) {
    ZolmDevice *d = (ZolmDevice *)calloc(1, sizeof *d);
    int32_t *values = (int32_t *)calloc((size_t)axes + 1, sizeof *values);
    uint8_t *states = (uint8_t *)calloc((size_t)buttons + 1, 1);
    if (!d || !values || !states) {
        zolm_log("Out of memory\n");
        free(d);
        free(values);
        free(states);
        return nullptr;
    }
    snprintf(d->base, sizeof d->base, "%.240s", base);
    snprintf(d->name, sizeof d->name, "%s", d->base);
    for (int k = 2; find_device(w, d->name); k++) snprintf(d->name, sizeof d->name, "%.240s#%d", d->base, k);
    d->window = w;
    d->kind = kind;
    d->id = assign_id(w, d->name);
    d->axis_count = axes;
    d->button_count = buttons;
    d->relative = relative;
    d->axis_values = values;
    d->button_states = states;
    d->instance = -1;
    d->next = w->devices;
    w->devices = d;
    return d;
}

// A button seen in state `down`: stored, and queued when the device is
// active and the state changed.
static void device_button(ZolmDevice *d, int32_t button, bool down, uint32_t sdl_ms) {
    if (button < 0 || button >= d->button_count) return;
    if ((d->button_states[button] != 0) == down) return;
    d->button_states[button] = down ? 1 : 0;
    if (!d->active) return;
    uint32_t ms = input_adjust_stamp(&d->time_adjustment, sdl_ms, d->window->pump_sdl_ms);
    window_queue_at(d->window, (uint32_t)d->id + (uint32_t)button, down, ms);
}

// Adds the joystick at SDL's device index, or gives an unplugged device of
// the same name and shape its joystick back.
static void add_joystick(ZolmWindow *w, int index) {
    SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(index);
    if (instance < 0 || find_instance(w, instance)) return;   // gone again, or known
    const char *raw = SDL_JoystickNameForIndex(index);
    if (!raw) raw = "Joystick";
    const char *path = SDL_JoystickPathForIndex(index);
    zolm_log("%s (%s)\n", raw, path ? path : raw);
    SDL_Joystick *joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        zolm_log("Can't create \"%s\"\n", raw);
        return;
    }
    int32_t axes = SDL_JoystickNumAxes(joystick), buttons = SDL_JoystickNumButtons(joystick);
    if (axes < 0) axes = 0;
    if (buttons < 0) buttons = 0;
    if (axes == 0 && buttons == 0) {
        zolm_log("Ignoring Dunsel device\n");
        SDL_JoystickClose(joystick);
        return;
    }
    zolm_log("%d axes, %d keys\n", axes, buttons);
    if (axes > DEVICE_MAX_AXES) {
        zolm_log("Wow! This thing has a lot of axes!\nThe first ignored axis is called \"%s\"\n", "Axis 100");
        axes = DEVICE_MAX_AXES;
    }
    if (buttons > DEVICE_MAX_BUTTONS) {
        zolm_log("Wow! This thing has a lot of buttons!\nThe first ignored button is called \"%s\"\n", "Button 500");
        buttons = DEVICE_MAX_BUTTONS;
    }
    char base[DEVICE_NAME_BYTES];
    form_name(raw, base, sizeof base);
    for (ZolmDevice *d = w->devices; d; d = d->next) {
        if (d->kind == DEVICE_JOYSTICK && !d->joystick && strcmp(d->base, base) == 0 && d->axis_count == axes &&
            d->button_count == buttons) {
            d->joystick = joystick;
            d->instance = SDL_JoystickInstanceID(joystick);
            zolm_log("\"%s\" is back\n", d->name);
            return;
        }
    }
    for (int32_t a = 0; a < axes; a++) zolm_log("axis %d is %s\n", a, "absolute");
    ZolmDevice *d = add_device(w, DEVICE_JOYSTICK, base, axes, buttons, false);
    if (!d) {
        SDL_JoystickClose(joystick);
        return;
    }
    d->joystick = joystick;
    d->instance = SDL_JoystickInstanceID(joystick);
    for (int32_t a = 0; a < axes; a++) {
        char axis_name[NAME_PART_BYTES * 4];
        snprintf(axis_name, sizeof axis_name, "%.200s axis %d", d->name, a);
        zolm_log("Adding axis \"%s\"\n", axis_name);
        window_add_device_name(w, axis_name);
    }
}

// An unplugged joystick: buttons held are released, axes read 0 from now on.
static void remove_joystick(ZolmWindow *w, SDL_JoystickID instance) {
    ZolmDevice *d = find_instance(w, instance);
    if (!d) return;
    zolm_log("\"%s\" removed\n", d->name);
    for (int32_t b = 0; b < d->button_count; b++) device_button(d, b, false, w->pump_sdl_ms);
    for (int32_t a = 0; a < d->axis_count; a++) d->axis_values[a] = 0;
    SDL_JoystickClose(d->joystick);
    d->joystick = nullptr;
    d->instance = -1;
}

static void add_mouse(ZolmWindow *w) {
    zolm_log("%s (%s)\n", "Mouse", "Mouse");
    zolm_log("%d axes, %d keys\n", MOUSE_AXES, MOUSE_BUTTONS);
    for (int a = 0; a < MOUSE_AXES; a++) zolm_log("axis %d is %s\n", a, "relative");
    add_device(w, DEVICE_MOUSE, "Mouse", MOUSE_AXES, MOUSE_BUTTONS, true);
}

static void roll_call(ZolmWindow *w) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) {
        w->joysticks_up = true;
        SDL_JoystickEventState(SDL_ENABLE);
    } else {
        zolm_log("Can't open joysticks: %s\n", SDL_GetError());
    }
    zolm_log("DirectInput roll call...\n");
    if (!zolm_option_bool("dinputsticksonly", 1)) add_mouse(w);
    if (w->joysticks_up) {
        int count = SDL_NumJoysticks();
        for (int i = 0; i < count; i++) add_joystick(w, i);
    }
    zolm_log("End of DirectInput roll call\n");
    static const char *const k_aliases[][2] = {
        {"mouse-x", "Mouse.axis[0]"},   {"mouse-y", "Mouse.axis[1]"},     {"mouse-left", "Mouse.key[0]"},
        {"mouse-right", "Mouse.key[1]"}, {"mouse-middle", "Mouse.key[2]"},
    };
    for (const auto &a : k_aliases) zolm_alias(a[0], a[1]);

    // "joystick-a-*" and "joystick-b-*" follow the first and second joystick
    // of the roll call, whatever their product names; without one they name
    // "Joystick1" and "Joystick2".
    const char *sticks[2] = {"Joystick1", "Joystick2"};
    int found = 0;
    for (ZolmDevice *d = w->devices; d; d = d->next) {
        if (d->kind != DEVICE_JOYSTICK) continue;
        // The list is newest first: the earlier joysticks come later in it.
        sticks[1] = sticks[0];
        sticks[0] = d->name;
        found++;
    }
    if (found == 1) sticks[1] = "Joystick2";
    static const char *const k_stick_targets[4][2] = {
        {"x", "axis[0]"}, {"y", "axis[1]"}, {"1", "key[0]"}, {"2", "key[1]"},
    };
    for (int s = 0; s < 2; s++) {
        for (const auto &t : k_stick_targets) {
            char alias[32], target[DEVICE_NAME_BYTES + 16];
            snprintf(alias, sizeof alias, "joystick-%c-%s", 'a' + s, t[0]);
            snprintf(target, sizeof target, "%s.%s", sticks[s], t[1]);
            zolm_alias(alias, target);
        }
    }
}

void input_create_devices(ZolmWindow *w) {
    if (zolm_option_bool("dinput", 1)) roll_call(w);
    else zolm_log("DirectInput disabled\n");
    ZolmDevice *cursor = add_device(w, DEVICE_CURSOR, "cursor", CURSOR_AXES, 0, false);
    if (cursor) {
        open_device(cursor);
        zolm_alias("cursor-x", "cursor.axis[0]");
        zolm_alias("cursor-y", "cursor.axis[1]");
    }
    zolm_alias("cursor-left", "Mouse Left");
    zolm_alias("cursor-middle", "Mouse Middle");
    zolm_alias("cursor-right", "Mouse Right");
}

void input_close_devices(ZolmWindow *w) {
    for (ZolmDevice *d = w->devices; d; d = d->next)
        if (d->opened) close_device(d);
    while (w->devices) {
        ZolmDevice *d = w->devices;
        w->devices = d->next;
        zolm_log("Killing %s\n", d->name);
        if (d->time_adjustment > 0) zolm_log("Timestamp adjustment was %d\n", d->time_adjustment);
        if (d->joystick) SDL_JoystickClose(d->joystick);
        free(d->axis_values);
        free(d->button_states);
        free(d);
    }
    if (w->joysticks_up) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    w->joysticks_up = false;
}

static ZolmDevice *mouse_device(ZolmWindow *w) {
    for (ZolmDevice *d = w->devices; d; d = d->next)
        if (d->kind == DEVICE_MOUSE) return d;
    return nullptr;
}

static int32_t saturating_add(int32_t a, int32_t b) {
    int64_t sum = (int64_t)a + b;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return (int32_t)sum;
}

void input_handle_event(ZolmWindow *w, const SDL_Event *e) {
    switch (e->type) {
    case SDL_JOYDEVICEADDED:
        if (w->joysticks_up) add_joystick(w, e->jdevice.which);
        break;
    case SDL_JOYDEVICEREMOVED:
        remove_joystick(w, e->jdevice.which);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        ZolmDevice *d = find_instance(w, e->jbutton.which);
        if (d) device_button(d, e->jbutton.button, e->jbutton.state == SDL_PRESSED, e->jbutton.timestamp);
        break;
    }
    case SDL_MOUSEMOTION: {
        ZolmDevice *d = mouse_device(w);
        if (!d) break;
        d->axis_values[0] = saturating_add(d->axis_values[0], e->motion.xrel);
        d->axis_values[1] = saturating_add(d->axis_values[1], e->motion.yrel);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        ZolmDevice *d = mouse_device(w);
        if (!d) break;
        // The mouse device counts its buttons left, right, middle.
        int button = e->button.button == SDL_BUTTON_LEFT    ? 0
                     : e->button.button == SDL_BUTTON_RIGHT ? 1
                     : e->button.button == SDL_BUTTON_MIDDLE ? 2
                                                             : -1;
        device_button(d, button, e->type == SDL_MOUSEBUTTONDOWN, e->button.timestamp);
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Names

// "0x" and hexadecimal digits up to 511; -1 otherwise.
static int hex_scan(const char *name) {
    if (name[0] != '0' || name[1] != 'x' || !name[2]) return -1;
    int value = 0;
    for (const char *p = name + 2; *p; p++) {
        if (!isxdigit((unsigned char)*p)) return -1;
        int digit = isdigit((unsigned char)*p) ? *p - '0' : tolower((unsigned char)*p) - 'a' + 10;
        value = value * 16 + digit;
        if (value > 511) return -1;
    }
    return value;
}

int zolm_button_code(ZolmWindow *w, const char *name) {
    if (!name) return -1;
    name = resolve_alias(name);
    int code = keys_code_of(name, false);
    if (code < 0) code = keys_code_of(name, true);
    if (code >= 0) return code;
    int scan = hex_scan(name);
    if (scan >= 0) return ZOLM_CODE_KEY + scan;
    char device[NAME_PART_BYTES];
    int n;
    if (sscanf(name, "%63[^.].key[%d]", device, &n) != 2 && sscanf(name, "%63s button %d", device, &n) != 2)
        return -1;
    if (n < 0 || n > 255) return -1;
    ZolmDevice *d = find_device(w, device);
    if (!d || n >= d->button_count) return -1;
    open_device(d);
    d->active = true;
    return d->id + n;
}

const char *zolm_button_name(ZolmWindow *w, int code) {
    char text[NAME_TEXT_BYTES];
    if (keys_name_of(code, text, sizeof text)) return intern(text);
    uint32_t id = (uint32_t)code & 0xffff0000u;
    if (!w || id == 0) return nullptr;
    for (ZolmDevice *d = w->devices; d; d = d->next) {
        if ((uint32_t)d->id == id) {
            snprintf(text, sizeof text, "%.1000s button %d", d->name, code & 255);
            return intern(text);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Axes

ZolmAxis *zolm_axis_open(ZolmWindow *w, const char *name) {
    if (!w || !name) return nullptr;
    name = resolve_alias(name);
    char device[NAME_PART_BYTES];
    int n;
    if (sscanf(name, "%63[^.].axis[%d]", device, &n) != 2 && sscanf(name, "%63s axis %d", device, &n) != 2)
        return nullptr;
    ZolmDevice *d = find_device(w, device);
    if (!d || n < 0 || n >= d->axis_count) return nullptr;
    ZolmAxis *axis = (ZolmAxis *)malloc(sizeof *axis);
    if (!axis) {
        zolm_log("Out of memory\n");
        return nullptr;
    }
    if (d->axis_users == 0 && d->kind != DEVICE_CURSOR) open_device(d);
    d->axis_users++;
    axis->device = d;
    axis->axis = n;
    return axis;
}

// Whether SDL keeps the pointer in window coordinates only: the video
// drivers that draw nowhere have no desktop to place it on.
static bool pointer_window_only() {
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
}

// The pointer in client coordinates. While the pointer is over the window
// SDL tracks it in those coordinates already; elsewhere the desktop position
// less the window's, so left of the window x is negative.
static int32_t cursor_position(ZolmWindow *w, int32_t axis) {
    int x = 0, y = 0;
    if (SDL_GetMouseFocus() == w->window || pointer_window_only()) {
        SDL_GetMouseState(&x, &y);
    } else {
        int wx = 0, wy = 0;
        SDL_GetGlobalMouseState(&x, &y);
        SDL_GetWindowPosition(w->window, &wx, &wy);
        x -= wx;
        y -= wy;
    }
    return axis == 0 ? x : y;
}

int32_t zolm_axis_read(ZolmAxis *axis) {
    if (!axis) return 0;
    ZolmDevice *d = axis->device;
    window_pump(d->window);
    switch (d->kind) {
    case DEVICE_CURSOR:
        return cursor_position(d->window, axis->axis);
    case DEVICE_MOUSE:
        return input_take_axis(&d->axis_values[axis->axis], true);
    case DEVICE_JOYSTICK:
        if (!d->joystick) return 0;
        d->axis_values[axis->axis] = SDL_JoystickGetAxis(d->joystick, axis->axis);
        if (d->axis_values[axis->axis] < -32767) d->axis_values[axis->axis] = -32767;
        return input_take_axis(&d->axis_values[axis->axis], false);
    }
    return 0;
}

void zolm_axis_close(ZolmAxis *axis) {
    if (!axis) return;
    ZolmDevice *d = axis->device;
    if (--d->axis_users == 0 && d->kind != DEVICE_CURSOR && !d->active) close_device(d);
    free(axis);
}
