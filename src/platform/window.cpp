// The platform window over SDL2: one window with an OpenGL compatibility
// context, windowed or full-screen, the display modes, the frame bracket,
// and the event pump that turns SDL's events into our timestamped codes.
//
// Owns: the window, its GL context and its event queue, from open to close.
// SDL's video subsystem and the GL driver are started by the first open (or
// display-mode query) and kept until the process ends: unloading Mesa's
// driver leaks memory inside it, and there is nothing to gain from taking
// them down between windows. SDL counts the users of each subsystem, so the
// audio layer's own SDL use is independent of ours.
//
// Threads: SDL hands window and keyboard events only to the thread that
// created the window, so the window has no message thread of its own; the
// "threaded" option is read and logged but everything runs on the game
// thread, inside zolm_next_event / zolm_next_event_until (and axis reads).
//
// Time stamps: SDL stamps each event with its millisecond tick counter. The
// pump reads that counter and zolm_time together and places each event its
// age before the zolm_time reading, so stamps are on the zolm_time clock
// (microseconds), never run backwards, and never lie in the future.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/log.h"
#include "platform/platform_rules.h"
#include "platform/sdl_internal.h"

static const int32_t DESKTOP_FALLBACK_WIDTH = 640;
static const int32_t DESKTOP_FALLBACK_HEIGHT = 480;

static ZolmDisplayMode *s_modes;       // built once, kept for the process
static bool s_first_open_done;
static bool s_video_up;                // SDL video started, kept for the process
static bool s_gl_driver_held;          // the GL driver loaded, kept for the process

// ---------------------------------------------------------------------------
// Pure rules

static bool usable_bits(int32_t bits) {
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

int window_build_mode_list(const ZolmModeInfo *desktop, const ZolmModeInfo *modes, int count,
                           ZolmDisplayMode *out, int room) {
    int n = 0;
    if (room < 1) return 0;
    if (desktop) {
        bool usable = usable_bits(desktop->bits);
        zolm_log("Registry mode is %dx%dx%d@%dhz%s\n", desktop->width, desktop->height, desktop->bits,
                 desktop->hz, usable ? "" : " (ignored)");
        if (usable && n < room - 1) out[n++] = {desktop->width, desktop->height, desktop->bits};
    }
    for (int i = 0; i < count; i++) {
        const ZolmModeInfo &m = modes[i];
        if (!usable_bits(m.bits)) {
            zolm_log("Found mode %dx%dx%d@%dhz (ignored)\n", m.width, m.height, m.bits, m.hz);
            continue;
        }
        bool seen = false;
        for (int k = 0; k < n && !seen; k++)
            seen = out[k].width == m.width && out[k].height == m.height && out[k].bits == m.bits;
        if (seen || n >= room - 1) continue;
        zolm_log("Found mode %dx%dx%d@%dhz\n", m.width, m.height, m.bits, m.hz);
        out[n++] = {m.width, m.height, m.bits};
    }
    out[n] = {0, 0, 0};
    return n;
}

void window_choose_fullscreen(const ZolmDisplayMode *modes, int32_t desktop_width, int32_t desktop_height,
                              int32_t w, int32_t h, int32_t *chosen_width, int32_t *chosen_height) {
    *chosen_width = desktop_width;
    *chosen_height = desktop_height;
    if (w == 0 || h == 0 || !modes) return;
    int best = -1;
    int64_t best_sum = 0;
    for (int i = 0; modes[i].width || modes[i].height || modes[i].bits; i++) {
        if (modes[i].width < w || modes[i].height < h) continue;
        int64_t sum = (int64_t)modes[i].width + modes[i].height;
        if (best < 0 || sum < best_sum) {
            best = i;
            best_sum = sum;
        }
    }
    if (best >= 0) {
        *chosen_width = modes[best].width;
        *chosen_height = modes[best].height;
    }
}

int64_t window_event_stamp(uint32_t event_ms, uint32_t sdl_now_ms, int64_t zolm_now_us, int64_t floor_us) {
    int32_t age_ms = (int32_t)(sdl_now_ms - event_ms);
    if (age_ms < 0) age_ms = 0;
    int64_t t = zolm_now_us - (int64_t)age_ms * 1000;
    return t < floor_us ? floor_us : t;
}

// ---------------------------------------------------------------------------
// SDL set-up and display modes

static int64_t now_us() {
    int32_t s, us;
    zolm_time(&s, &us);
    return (int64_t)s * 1000000 + us;
}

// Starts SDL's video subsystem once for the process; false (logged) when it
// can't, and the next call tries again.
static bool video_up() {
    if (s_video_up) return true;
    // The game owns SIGINT and SIGTERM; closing the window is a request the
    // game answers, not a quit; a full-screen window steps aside on alt-tab.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        zolm_log("Can't start SDL video: %s\n", SDL_GetError());
        return false;
    }
    s_video_up = true;
    return true;
}

// Bits per pixel as display drivers count them: 24-bit colour kept in four
// bytes is a 32-bit mode.
static int32_t mode_bits(Uint32 format) {
    if (format == SDL_PIXELFORMAT_UNKNOWN) return 0;
    int32_t bits = (int32_t)SDL_BITSPERPIXEL(format);
    if (bits == 24 && SDL_BYTESPERPIXEL(format) == 4) bits = 32;
    return bits;
}

static ZolmModeInfo mode_info(const SDL_DisplayMode &m) {
    return {m.w, m.h, mode_bits(m.format), m.refresh_rate};
}

const ZolmDisplayMode *zolm_display_modes() {
    static ZolmDisplayMode s_none[1];
    if (s_modes) return s_modes;
    if (!video_up()) return s_none;
    SDL_DisplayMode desktop_mode;
    bool desktop_known = SDL_GetDesktopDisplayMode(0, &desktop_mode) == 0;
    ZolmModeInfo desktop = desktop_known ? mode_info(desktop_mode) : ZolmModeInfo{0, 0, 0, 0};
    int count = SDL_GetNumDisplayModes(0);
    if (count < 0) count = 0;
    ZolmModeInfo *found = (ZolmModeInfo *)malloc(((size_t)count + 1) * sizeof *found);
    ZolmDisplayMode *list = (ZolmDisplayMode *)malloc(((size_t)count + 2) * sizeof *list);
    if (!found || !list) {
        zolm_log("Out of memory\n");
        free(found);
        free(list);
        return s_none;
    }
    int n = 0;
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0) found[n++] = mode_info(m);
    }
    window_build_mode_list(desktop_known ? &desktop : nullptr, found, n, list, count + 2);
    free(found);
    s_modes = list;
    return s_modes;
}

// The desktop size of the window's display; false with 640 x 480 when it
// cannot be read.
static bool desktop_size(ZolmWindow *w, int32_t *width, int32_t *height) {
    int display = w && w->window ? SDL_GetWindowDisplayIndex(w->window) : 0;
    if (display < 0) display = 0;
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(display, &m) == 0 && m.w > 0 && m.h > 0) {
        *width = m.w;
        *height = m.h;
        return true;
    }
    *width = DESKTOP_FALLBACK_WIDTH;
    *height = DESKTOP_FALLBACK_HEIGHT;
    return false;
}

// Chooses the full-screen size for the request and remembers it; true when
// that is the desktop size, which needs no mode change.
static bool choose_fullscreen(ZolmWindow *w, int32_t width, int32_t height) {
    int32_t dw, dh;
    bool known = desktop_size(w, &dw, &dh);
    window_choose_fullscreen(zolm_display_modes(), dw, dh, width, height, &w->fullscreen_width,
                             &w->fullscreen_height);
    return known && w->fullscreen_width == dw && w->fullscreen_height == dh;
}

static void go_fullscreen(ZolmWindow *w, int32_t width, int32_t height) {
    w->flags &= (uint8_t)~WINDOW_FLAG_FULLSCREEN;
    int rc;
    if (choose_fullscreen(w, width, height)) {
        rc = SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        // Only the size changes; depth and refresh rate stay the desktop's.
        SDL_DisplayMode m = {SDL_PIXELFORMAT_UNKNOWN, w->fullscreen_width, w->fullscreen_height, 0, nullptr};
        rc = SDL_SetWindowDisplayMode(w->window, &m);
        if (rc == 0) rc = SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN);
    }
    if (rc != 0) zolm_log("Can't switch to %dx%d: %s\n", w->fullscreen_width, w->fullscreen_height, SDL_GetError());
    w->flags |= WINDOW_FLAG_FULLSCREEN;
}

static void go_windowed(ZolmWindow *w, int32_t width, int32_t height) {
    w->flags &= (uint8_t)~WINDOW_FLAG_FULLSCREEN;
    SDL_SetWindowFullscreen(w->window, 0);
    SDL_SetWindowResizable(w->window, SDL_TRUE);
    if (width == 0 || height == 0) desktop_size(w, &width, &height);
    SDL_SetWindowSize(w->window, width, height);
    SDL_SetWindowPosition(w->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SDL_ShowWindow(w->window);
}

void zolm_set_display_mode(ZolmWindow *w, int width, int height, int flags) {
    if (!w) return;
    // Like a posted message: the latest request is carried out by the next pump.
    w->mode_request = true;
    w->request_width = width;
    w->request_height = height;
    w->request_flags = flags;
}

// ---------------------------------------------------------------------------
// Events

static void queue_stamped(ZolmWindow *w, uint32_t code, bool pressed, int64_t t) {
    if (t < w->last_stamp_us) t = w->last_stamp_us;
    w->last_stamp_us = t;
    event_queue_push(&w->queue, code, pressed, (int32_t)(t / 1000000), (int32_t)(t % 1000000));
}

void window_queue_at(ZolmWindow *w, uint32_t code, bool pressed, uint32_t sdl_ms) {
    queue_stamped(w, code, pressed, window_event_stamp(sdl_ms, w->pump_sdl_ms, w->pump_zolm_us, w->last_stamp_us));
}

static void queue_now(ZolmWindow *w, uint32_t code, bool pressed) { queue_stamped(w, code, pressed, now_us()); }

// The character a key gives besides its key code, as the PC keyboard driver
// types it (Backspace 8, Tab 9, Enter 13, Escape 27, Ctrl+letter 1-26); -1
// for keys whose characters come as text input.
static int control_character(const SDL_Keysym &k) {
    bool ctrl = (k.mod & KMOD_CTRL) != 0;
    switch (k.scancode) {
    case SDL_SCANCODE_BACKSPACE: return ctrl ? 127 : 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return ctrl ? 10 : 13;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: break;
    }
    if (ctrl && k.sym >= SDLK_a && k.sym <= SDLK_z) return k.sym - SDLK_a + 1;
    return -1;
}

// Whether an event with that window id concerns this window (0: no window,
// as for events the program makes itself).
static bool for_window(ZolmWindow *w, Uint32 window_id) {
    return window_id == 0 || window_id == SDL_GetWindowID(w->window);
}

static void translate_event(ZolmWindow *w, const SDL_Event *e) {
    switch (e->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (!for_window(w, e->key.windowID)) break;
        bool down = e->type == SDL_KEYDOWN;
        // A held key is one press: SDL's repeats give characters, not keys.
        int scan = keys_pc_from_sdl(e->key.keysym.scancode);
        if (scan >= 0 && !e->key.repeat) window_queue_at(w, ZOLM_CODE_KEY + (uint32_t)scan, down, e->key.timestamp);
        int c = down ? control_character(e->key.keysym) : -1;
        if (c >= 0) window_queue_at(w, (uint32_t)c, true, e->key.timestamp);
        break;
    }
    case SDL_TEXTINPUT: {
        if (!for_window(w, e->text.windowID)) break;
        const char *p = e->text.text;
        uint32_t cp;
        while (keys_utf8_next(&p, &cp))
            if (cp <= 255) window_queue_at(w, cp, true, e->text.timestamp);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (!for_window(w, e->button.windowID)) break;
        bool down = e->type == SDL_MOUSEBUTTONDOWN;
        uint32_t code = 0;
        if (e->button.button == SDL_BUTTON_LEFT) code = ZOLM_CODE_MOUSE_LEFT;
        else if (e->button.button == SDL_BUTTON_MIDDLE) code = ZOLM_CODE_MOUSE_MIDDLE;
        else if (e->button.button == SDL_BUTTON_RIGHT) code = ZOLM_CODE_MOUSE_RIGHT;
        if (code) window_queue_at(w, code, down, e->button.timestamp);
        input_handle_event(w, e);
        break;
    }
    case SDL_QUIT:
        queue_now(w, ZOLM_CODE_CLOSE, true);
        break;
    case SDL_WINDOWEVENT:
        if (e->window.windowID != SDL_GetWindowID(w->window)) break;
        if (e->window.event == SDL_WINDOWEVENT_CLOSE) {
            // The window stays open; the game decides.
            queue_now(w, ZOLM_CODE_CLOSE, true);
        } else if (e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            w->client_width = e->window.data1;
            w->client_height = e->window.data2;
            zolm_log("WM_SIZE message %dx%d\n", e->window.data1, e->window.data2);
        }
        break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        SDL_free(e->drop.file);
        break;
    default:
        input_handle_event(w, e);
        break;
    }
}

void window_pump(ZolmWindow *w) {
    if (w->mode_request) {
        w->mode_request = false;
        w->busy = true;
        if (w->request_flags & ZOLM_FULLSCREEN) go_fullscreen(w, w->request_width, w->request_height);
        else go_windowed(w, w->request_width, w->request_height);
        w->busy = false;
    }
    SDL_PumpEvents();
    w->pump_sdl_ms = SDL_GetTicks();
    w->pump_zolm_us = now_us();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) translate_event(w, &e);
}

bool zolm_next_event(ZolmWindow *w, uint32_t *code, bool *pressed, int32_t *seconds, int32_t *microseconds) {
    if (!w) return false;
    window_pump(w);
    return event_queue_take(&w->queue, false, 0, 0, code, pressed, seconds, microseconds);
}

bool zolm_next_event_until(ZolmWindow *w, int32_t seconds, int32_t microseconds, uint32_t *code,
                           bool *pressed, int32_t *at_seconds, int32_t *at_microseconds) {
    if (!w) return false;
    window_pump(w);
    return event_queue_take(&w->queue, true, seconds, microseconds, code, pressed, at_seconds, at_microseconds);
}

// ---------------------------------------------------------------------------
// Device names

void window_add_device_name(ZolmWindow *w, const char *name) {
    if (w->device_name_count + 1 >= w->device_name_room) {
        int32_t room = w->device_name_room ? w->device_name_room * 2 : 16;
        const char **grown = (const char **)realloc(w->device_names, (size_t)room * sizeof *grown);
        if (!grown) {
            zolm_log("Out of memory\n");
            return;
        }
        w->device_names = grown;
        w->device_name_room = room;
    }
    char *copy = strdup(name);
    if (!copy) {
        zolm_log("Out of memory\n");
        return;
    }
    w->device_names[w->device_name_count++] = copy;
    w->device_names[w->device_name_count] = nullptr;
}

const char *const *zolm_device_names(ZolmWindow *w) {
    static const char *const s_none[1] = {nullptr};
    if (!w || !w->device_names) return s_none;
    return w->device_names;
}

// ---------------------------------------------------------------------------
// Open and close

// Asks for the pixel format: colour bits as asked (32 asks for 24), the other
// buffers as asked, double-buffered, and a compatibility context (2.1 gives
// the driver's highest compatibility profile), so the fixed-function pipeline
// and the ARB extensions stay available.
static void request_pixel_format(int color_bits, int alpha_bits, int depth_bits, int stencil_bits,
                                 int accumulation_bits) {
    if (color_bits == 32) color_bits = 24;
    int r = 0, g = 0, b = 0;
    switch (color_bits) {
    case 24: r = g = b = 8; break;
    case 16: r = 5, g = 6, b = 5; break;
    case 15: r = g = b = 5; break;
    case 8: r = 3, g = 3, b = 2; break;
    default: r = g = b = color_bits / 3; break;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, r);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, g);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, b);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencil_bits);
    int accum = accumulation_bits / 4;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// Takes down whatever open made: devices and window.
static void window_tear_down(ZolmWindow *w) {
    for (int32_t i = 0; i < w->device_name_count; i++) free((void *)w->device_names[i]);
    free(w->device_names);
    w->device_names = nullptr;
    w->device_name_count = w->device_name_room = 0;
    if (w->devices) {
        zolm_log("Closing input devices\n");
        input_close_devices(w);
    }
    if (w->window) {
        zolm_log("Destroying window\n");
        SDL_StopTextInput();
        SDL_DestroyWindow(w->window);
        w->window = nullptr;
    }
    if (w->cursor) SDL_FreeCursor(w->cursor);
    w->cursor = nullptr;
    zolm_log("Window shutdown complete\n");
}

void window_log_options() {
    int threaded = zolm_option_bool("threaded", 0);
    zolm_log("Options:\n");
    zolm_log("%10s [%s]\n", "threaded:", threaded ? "on" : "off");
    if (threaded) zolm_log("Message processing thread not available; messages are processed on the game thread\n");
}

// The first open reads the options and the display modes.
static void first_open() {
    if (s_first_open_done) return;
    s_first_open_done = true;
    zolm_display_modes();
    window_log_options();
}

ZolmWindow *zolm_open_gl_window(const char *title, int width, int height, int flags, int alpha_bits,
                                int depth_bits, int stencil_bits, int accumulation_bits) {
    bool video = video_up();
    first_open();
    if (!video) {
        zolm_error("Can't create window!");
        return nullptr;
    }
    ZolmWindow *w = (ZolmWindow *)calloc(1, sizeof *w);
    if (!w) {
        zolm_log("Out of memory\n");
        return nullptr;
    }
    w->client_width = width;
    w->client_height = height;
    w->color_bits = (uint8_t)(flags & 255);
    snprintf(w->title, sizeof w->title, "%s", title ? title : "");
    w->flags = WINDOW_FLAG_GL;
    event_queue_clear(&w->queue);
    w->last_stamp_us = now_us();

    zolm_log("Choosing pixel format\n");
    request_pixel_format(w->color_bits, alpha_bits, depth_bits, stencil_bits, accumulation_bits);

    Uint32 sdl_flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    int32_t cw = width, ch = height;
    if (flags & ZOLM_FULLSCREEN) {
        bool desktop = choose_fullscreen(w, width, height);
        cw = w->fullscreen_width;
        ch = w->fullscreen_height;
        sdl_flags |= desktop ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN;
        w->flags |= WINDOW_FLAG_FULLSCREEN;
    } else {
        if (cw == 0 || ch == 0) desktop_size(nullptr, &cw, &ch);
        sdl_flags |= SDL_WINDOW_RESIZABLE;
    }
    zolm_log("Creating window\n");
    w->window = SDL_CreateWindow(w->title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, cw, ch, sdl_flags);
    if (!w->window) {
        zolm_log("SDL: %s\n", SDL_GetError());
        zolm_error("Can't create window!");
        window_tear_down(w);
        free(w);
        return nullptr;
    }
    // One more hold on the driver SDL loaded for the window keeps it loaded
    // after the window goes.
    if (!s_gl_driver_held) s_gl_driver_held = SDL_GL_LoadLibrary(nullptr) == 0;
    w->client_width = cw;
    w->client_height = ch;
    w->cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
    if (w->cursor) SDL_SetCursor(w->cursor);
    SDL_RaiseWindow(w->window);
    // What SDL queued before the window existed belongs to no window.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    input_create_devices(w);

    zolm_log("Creating OpenGL context\n");
    w->gl = SDL_GL_CreateContext(w->window);
    if (!w->gl) {
        zolm_log("SDL: %s\n", SDL_GetError());
        zolm_log("Couldn't create OpenGL context\n");
        window_tear_down(w);
        free(w);
        return nullptr;
    }
    SDL_GL_MakeCurrent(w->window, w->gl);
    SDL_StartTextInput();
    w->pump_sdl_ms = SDL_GetTicks();
    w->pump_zolm_us = now_us();
    return w;
}

void zolm_close_gl_window(ZolmWindow *w) {
    if (!w) return;
    if (w->gl) {
        zolm_log("Deleting OpenGL context\n");
        SDL_GL_MakeCurrent(w->window, nullptr);
        SDL_GL_DeleteContext(w->gl);
        w->gl = nullptr;
    }
    w->close_flag = true;
    window_tear_down(w);
    free(w);
}

// ---------------------------------------------------------------------------
// Frames

bool zolm_begin_frame(ZolmWindow *w, ZolmViewport *viewport) {
    if (!w || !w->gl || w->close_flag) return false;
    Uint32 f = SDL_GetWindowFlags(w->window);
    if (!(f & SDL_WINDOW_SHOWN) || (f & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED))) return false;
    if (w->busy) return false;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(w->window, &dw, &dh);
    if (dw > 0 && dh > 0) {
        w->client_width = dw;
        w->client_height = dh;
    }
    if (SDL_GL_GetCurrentContext() != w->gl) SDL_GL_MakeCurrent(w->window, w->gl);
    w->viewport = {0, 0, w->client_width, w->client_height};
    if (viewport) *viewport = w->viewport;
    return true;
}

bool zolm_swap(ZolmWindow *w) {
    if (!w || !w->gl || w->close_flag) return false;
    SDL_GL_SwapWindow(w->window);
    return true;
}

void *zolm_gl_proc(const char *name) {
    if (!name || !SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
    return SDL_GL_GetProcAddress(name);
}
