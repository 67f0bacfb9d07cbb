// The program's entry: finds the data, reads the command line, lists tracks
// and demos, runs the main loop until asked to quit, then takes everything
// down in a fixed order. One thread runs all of it.
//
// The subsystems that plug in later (physics, race, rendering, menus) join at
// the numbered steps below; until then the title screen shows the clear
// colour and the loop runs its ticks with nothing to simulate.
#include "core/game.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include <GL/gl.h>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/collide.h"
#include "core/console.h"
#include "core/controls.h"
#include "core/race.h"
#include "core/memory.h"
#include "core/mt19937.h"
#include "core/ripemd160.h"
#include "core/screenshot.h"
#include "core/settings.h"
#include "core/tracklist.h"
#include "files/texture.h"
#include "files/vfs.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "render/gl_ext.h"
#include "render/shaders.h"
#include "render/text.h"
#include "render/view.h"
#include "track/terrain.h"

CommandLine g_cmdline;
LoopState g_loop;
int g_debug_level;
bool g_fixed_files_ok;
RenderParams g_render;
ZolmWindow *g_window;
NavigationKeys g_nav_keys;

static FILE *s_audio_record;            // "--record-audio" file, while open
static bool s_screenshot_wanted;        // the key asked; the next frame saves it
static ZolmAxis *s_cursor_axes[2];      // "cursor-x", "cursor-y"

enum {
    RECORD_AUDIO_RATE = 88320,
    RECORD_AUDIO_SAMPLES = 690,          // 88320 x one tick
    FIRST_FRAME_RETRIES = 161,
};

const char *const k_shape_files[7] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp", "@generic_swingarm.shp",
    "@front_wheel.shp",   "@rear_wheel.shp",         "@generic_rider.shp",
};

// The digest of the seven shape files the default data set ships (made by
// tools/make_shapes.cpp); the data builder's tests fail when the two drift apart.
const char *const k_shape_digest = "b764a857d84ac19bc89632d4c7a4e44b6f219275";

// The race the game runs from start-up: the attract race behind the menu
// ("--track") or the New Race menu's race ("--race").
static bool s_racing;
static ControlApplyState s_controls;

static volatile sig_atomic_t s_quit_requested;

static void on_quit_signal(int) { s_quit_requested = 1; }

void game_request_quit() { s_quit_requested = 1; }

bool fixed_files_check(char digest_hex[41]) {
    Ripemd160 r;
    ripemd160_start(&r);
    for (const char *name : k_shape_files) {
        VfsFile *f = vfs_open(name, "rb");
        if (!f) continue;
        unsigned char buf[4096];
        size_t n;
        while ((n = vfs_read(f, buf, sizeof buf)) > 0) ripemd160_add(&r, buf, n);
        vfs_close(f);
    }
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    ripemd160_to_hex(digest, digest_hex);
    return strcmp(digest_hex, k_shape_digest) == 0;
}

static bool cpu_has_mmx() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

// "--help" is answered before anything else, so it works without game data.
static bool asks_for_help(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--") == 0) return false;
        if (strcmp(argv[i], "--help") == 0) return true;
    }
    return false;
}

static void install_signal_handlers() {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

static bool game_next_event(void *, bool until, int32_t seconds, int32_t microseconds, uint32_t *code,
                            bool *pressed) {
    if (!g_window) return false;
    if (until) return zolm_next_event_until(g_window, seconds, microseconds, code, pressed, nullptr, nullptr);
    return zolm_next_event(g_window, code, pressed, nullptr, nullptr);
}

static float game_axis(void *, int handle) { return (float)settings_axis_read(handle); }

// Key handling after the bindings took the event.
static void game_key(void *, LoopState *loop, uint32_t code, bool pressed) {
    // Until the menus can ask, the window's close box ends the game.
    if (code == ZOLM_CODE_CLOSE) game_request_quit();
    if (!pressed) return;
    // The menus, the pause, step, view and rewind keys join here.
    if ((int)code == g_settings.bindings[BIND_SCREENSHOT].code && loop->view_mode != VIEW_EDITOR) {
        s_screenshot_wanted = true;
    }
}

static void game_tick(void *, LoopState *loop) {
    // With no menu open and the local rider in view, the channels go to its
    // bike; then the server client and the race step. Until a track can be
    // loaded the game stays on the title screen, where no race step runs.
    if (s_racing) {
        const BikeSetup *setup = &g_settings.setup;
        for (RiderSlot &slot : g_slots) {
            if (slot.bike && slot.kind == RIDER_LOCAL) {
                controls_apply(slot.bike, loop->channels, setup->reverse_steering.index == 1,
                               setup->sticky_dab.index == 1, &s_controls);
                break;
            }
        }
        race_step();
    }
    if (s_audio_record) {
        const int16_t *block = zolm_audio_mix();
        if (block && fwrite(block, sizeof *block, RECORD_AUDIO_SAMPLES, s_audio_record) != RECORD_AUDIO_SAMPLES) {
            zolm_log("Can't write the audio recording; recording stopped\n");
            fclose(s_audio_record);
            s_audio_record = nullptr;
        }
    }
}

// One frame's drawing between begin-frame and swap. False when the swap
// failed, which ends the loop.
static bool draw_frame() {
    ZolmViewport vp;
    if (!zolm_begin_frame(g_window, &vp)) {
        // Minimised, hidden or busy: try again a little later.
        zolm_sleep_seconds(1.0 / 16.0);
        return true;
    }
    if (g_settings.video_mode.index == 1) {
        g_settings.xres = vp.width;
        g_settings.yres = vp.height;
    }
    set_projection(vp.width, vp.height, (float)g_settings.fov.value);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The views of the world join with the renderer; until a track can be
    // loaded every frame is the title screen.
    if (g_loop.view_mode == VIEW_TITLE) title_screen_draw("");
    if (s_screenshot_wanted) {
        s_screenshot_wanted = false;
        screenshot_save(vp.width, vp.height);
    }
    if (g_cmdline.glfinish) glFinish();
    return zolm_swap(g_window);
}

static void main_loop() {
    LoopHooks hooks = {nullptr, game_next_event, game_key, game_axis, game_tick};
    g_loop.last_time = zolm_time_seconds();
    zolm_log("Entering the main loop\n");
    while (!g_loop.quit) {
        if (s_quit_requested) {
            zolm_log("Quit requested\n");
            g_loop.quit = true;
            break;
        }
        // 1. View mode: with no track loaded the title screen shows.
        g_loop.view_mode = VIEW_TITLE;
        // 2. Drawing between begin-frame and swap.
        if (!draw_frame()) {
            zolm_log("Swap failed\n");
            break;
        }
        // 3. Engine-sound volumes; the audio device mixes on its own thread.
        // 4. Timing.
        double now;
        loop_frame_advance(&g_loop, &k_system_clock, &now);
        textures_update(g_loop.ticks_run);
        console_set_clock(g_loop.game_clock);
        // 5. Cursor axes for the menus.
        // 6. The ticks due.
        loop_run_ticks(&g_loop, now, &hooks);
        // 7. "--warp" restarts finished races.
        // 8. Per-frame terrain work and console expiry, unless on the title screen.
        if (g_loop.view_mode != VIEW_TITLE) console_expire(g_loop.game_clock);
    }
}

// Start-up step 22: the slots empty and, with "--track", a robot alone in
// gate 1 behind the menu; "--race" starts what the New Race menu's "Start"
// starts instead: the 40 gates of the settings with their record, minutes,
// laps and skill.
static void first_race_reset() {
    int types[RACE_SLOTS] = {};
    RaceOptions options = {};
    options.skill = g_settings.skill.index;
    options.update_method = TERRAIN_UPDATE_SOFTWARE;
    if (g_cmdline.race) {
        race_slot_types_from_settings(types);
        options.record = g_settings.record.index == 1;
        options.race_ticks = (int32_t)(g_settings.minutes.value * 60 * 128);
        options.laps = (int)g_settings.laps.value;
    } else if (g_cmdline.track[0]) {
        types[0] = SLOT_ROBOT;
        options.laps = 1000;
    } else {
        return;
    }
    g_race_tick_options.roost_frequency = g_cmdline.has_roost_frequency ? g_cmdline.roost_frequency : 1000;
    g_race_tick_options.erosion = g_cmdline.has_erode && g_cmdline.erode > 0;
    s_racing = race_reset(types, &options);
    int riders = 0, local = -1;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (!g_slots[i].bike) continue;
        riders++;
        if (g_slots[i].kind == RIDER_LOCAL && local < 0) local = i;
    }
    if (!s_racing) {
        zolm_log("%s on %s: the track did not load\n", g_cmdline.race ? "Race" : "Attract race", settings_track_dir());
    } else {
        zolm_log("%s on %s: started, %d riders, the player %s%d\n", g_cmdline.race ? "Race" : "Attract race",
                 settings_track_dir(), riders, local >= 0 ? "in gate " : "watching", local >= 0 ? local + 1 : 0);
    }
}

// Closes audio and the window on the way out of an out-of-memory exit.
static void close_devices() {
    if (zolm_audio_is_open()) zolm_audio_close();
    if (g_window) zolm_close_gl_window(g_window);
    g_window = nullptr;
}

static void shut_down() {
    // Server disconnect, points series, robot lines, cameras and standings,
    // bikes, demos and track come down here, in that order, as they join
    // the game; then the physics world.
    race_free();
    s_racing = false;
    shapes_free();
    physics_shutdown();
    // Axes, audio and its recording, GL objects, the window.
    settings_release_bindings();
    for (ZolmAxis *&axis : s_cursor_axes) {
        if (axis) zolm_axis_close(axis);
        axis = nullptr;
    }
    if (zolm_audio_is_open()) zolm_audio_close();
    if (s_audio_record) fclose(s_audio_record);
    s_audio_record = nullptr;
    if (g_window) {
        shaders_delete();
        fonts_free();
        textures_free();
        zolm_close_gl_window(g_window);
    }
    g_window = nullptr;
    if (g_debug_level) {
        zolm_log("Frame times (below 1, 2, 4, 8, 16, 32, 64 ticks, longer): %d %d %d %d %d %d %d %d\n",
                 g_loop.histogram[0], g_loop.histogram[1], g_loop.histogram[2], g_loop.histogram[3],
                 g_loop.histogram[4], g_loop.histogram[5], g_loop.histogram[6], g_loop.histogram[7]);
        zolm_log("Frame advance %.4f s shortest, %.4f s longest; %lld ticks\n", g_loop.shortest_frame,
                 g_loop.longest_frame, (long long)g_loop.ticks_run);
    }
    namelist_free(&g_demos);
    namelist_free(&g_tracks);
    // The model cache is freed here once it exists. Then the settings.
    if (!settings_save()) zolm_log("Can't save the settings\n");
    settings_free();
    zolm_log("Shut down\n");
    zolm_log(nullptr);
}

// Resolves the fixed navigation keys the menus use.
static void resolve_navigation_keys() {
    static const char *const names[NAV_KEY_COUNT] = {
        "up", "down", "left", "right", "enter", "keypad enter", "esc", "pause",
        "cursor-left", "cursor-right", "page up", "page down",
    };
    for (int i = 0; i < NAV_KEY_COUNT; i++) g_nav_keys.code[i] = zolm_button_code(g_window, names[i]);
    g_loop.mouse_left_code = g_nav_keys.code[NAV_CURSOR_LEFT];
}

// Start-up steps 14-19: window, audio, first frame, GL state, bindings.
// False when the game must go straight to shut-down; *status is then the
// exit status.
static bool open_window_and_devices(int *status) {
    // 14. The window in the configured video mode.
    int width = 0, height = 0, flags = g_cmdline.depth & 0xff;
    if (g_settings.video_mode.index == 1) {
        width = g_settings.xres;
        height = g_settings.yres;
    } else {
        settings_video_mode_size(&width, &height);
        flags |= ZOLM_FULLSCREEN;
    }
    g_window = zolm_open_gl_window("Quorvin", width, height, flags, 0, g_cmdline.zdepth, 0, 0);
    if (!g_window) {
        zolm_message_box("Problem starting Quorvin", "Can't open the window (%s)\n", zolm_last_error());
        *status = 1;
        return false;
    }
    memory_set_shutdown_hook(close_devices);

    // 15. Audio: rendered into a file, played, or nothing at all.
    if (g_cmdline.record_audio[0]) {
        s_audio_record = fopen(g_cmdline.record_audio, "wb");
        if (!s_audio_record) {
            zolm_message_box("Problem starting Quorvin", "Can't write \"%s\"\n", g_cmdline.record_audio);
        } else if (!zolm_audio_open_readback(g_window, RECORD_AUDIO_RATE, RECORD_AUDIO_SAMPLES)) {
            fclose(s_audio_record);
            s_audio_record = nullptr;
        }
    } else if (!g_cmdline.nosound) {
        if (!zolm_audio_open(g_window)) zolm_log("No sound\n");
    }

    // 16. The first frame; about ten seconds at most.
    ZolmViewport vp;
    int tries = 0;
    while (!zolm_begin_frame(g_window, &vp)) {
        if (++tries > FIRST_FRAME_RETRIES || s_quit_requested) {
            zolm_log("No frame to draw into; giving up\n");
            *status = 0;
            return false;
        }
        zolm_sleep_seconds(1.0 / 16.0);
    }

    // 17. GL strings and extensions; which drawing paths this run takes.
    gl_detect();
    zolm_log("GL_VENDOR: %s\n", g_gl.vendor);
    zolm_log("GL_RENDERER: %s\n", g_gl.renderer);
    zolm_log("GL_VERSION: %s\n", g_gl.version);
    zolm_log("GL_EXTENSIONS: %s\n", g_gl.extensions);
    g_render_flags.ground_mipmaps = g_settings.ground_mipmaps.index != 0;
    bool shader_support = g_gl.multitexture && g_gl.texture_units >= 4 && g_gl.vertex_shader && g_gl.fragment_shader;
    g_render_flags.shaders = g_settings.use_shader.index == 1 && shader_support && shaders_build();
    g_render_flags.terrain_shaders = g_render_flags.shaders &&
                                     (g_settings.render_texture.index == RENDER_METHOD_SHADERS_COPY ||
                                      g_settings.render_texture.index == RENDER_METHOD_SHADERS_DIRECT);
    texture_set_options(g_render.model_texture_skip, g_render.texture_compress, g_debug_level >= 1);

    // 18. GL state, the fonts, the HUD pictures and the title, then the
    //     first frame ends.
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    glEnable(GL_CULL_FACE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (g_cmdline.fugly) glShadeModel(GL_FLAT);
    fonts_load();
    static const char *const hud_pictures[] = {"!@tach.png", "!@shifter.png", "!@pitboard.png"};
    for (const char *name : hud_pictures) {
        if (!texture_load(name)) zolm_log("Can't load %s\n", name + 1);
    }
    if (!title_screen_load()) zolm_log("Can't load title.png\n");
    if (!zolm_swap(g_window)) {
        zolm_log("Swap failed\n");
        *status = 0;
        return false;
    }

    // 19. Cursor axes, every key binding, the navigation keys.
    s_cursor_axes[0] = zolm_axis_open(g_window, "cursor-x");
    s_cursor_axes[1] = zolm_axis_open(g_window, "cursor-y");
    settings_resolve_bindings(g_window, g_loop.bindings, CONTROL_BINDINGS);
    resolve_navigation_keys();
    return true;
}

int game_main(int argc, char **argv) {
    if (asks_for_help(argc, argv)) {
        cmdline_usage(stdout);
        return 0;
    }
    install_signal_handlers();

    // 1. The control table, the console ring.
    loop_init(&g_loop, 0.0);
    console_clear();
    cmdline_defaults(&g_cmdline);

    // 2. Game data and the log in the home directory.
    if (!vfs_find_game_data()) {
        zolm_message_box("Problem starting Quorvin", "Can't find game data\n");
        zolm_log(nullptr);
        return 0;
    }

    // 3. Fixed-file check of the physics shapes (reported to race servers).
    char shape_digest[41];
    g_fixed_files_ok = fixed_files_check(shape_digest);
    if (!g_fixed_files_ok) zolm_log("Shape files digest %s differs from the shipped one\n", shape_digest);

    // 4. The video-mode list and the processor probe. (The server history
    //    joins with the network client.)
    settings_video_modes(zolm_display_modes());
    g_cmdline.mmx = cpu_has_mmx();
    if (!g_cmdline.mmx) zolm_log("This CPU does not have MMX!\n");

    // 5-6. Defaults, the stability and "Compatibility" presets, gear lists.
    //      (The default lighting joins with the track content.)
    settings_init_defaults();

    // 7. "@config".
    settings_load();
    g_console.max_shown = g_settings.message_lines;

    // 8. Renderer parameters from the settings, then the command line.
    settings_derive_render(&g_render);
    CmdlineResult parsed = cmdline_parse(&g_cmdline, argc, argv, stdout, stderr);
    if (parsed != CMDLINE_RUN) {
        settings_free();
        zolm_log(nullptr);
        return parsed == CMDLINE_EXIT_OK ? 0 : 1;
    }
    settings_apply_options(&g_render, &g_cmdline);
    g_debug_level = g_cmdline.debug;
    if (g_cmdline.open_home) {
        if (!vfs_open_home_folder()) zolm_log("Can't open the home directory\n");
        settings_free();
        zolm_log(nullptr);
        return 0;
    }
    memcpy(g_loop.chase_center, g_cmdline.chase_center, sizeof g_loop.chase_center);
    g_loop.warp = g_cmdline.warp;
    g_loop.lock_period = g_cmdline.lock_fps > 0.0f ? 1.0 / g_cmdline.lock_fps : 0.0;

    // 9. A server address overrides "--track".
    if (g_cmdline.connect[0]) g_cmdline.track[0] = 0;

    // 10. Tracks.
    if (tracklist_build(&g_tracks, g_debug_level) == 0) {
        fprintf(stderr, "No tracks found\n");
        zolm_log("No tracks found\n");
        settings_free();
        zolm_log(nullptr);
        return 1;
    }
    // 11. Demos.
    demolist_build(&g_demos, g_debug_level);
    // 12. The points series joins with the results.

    // 13. The start track: "--track", else the settings' track.
    settings_set_tracks(g_tracks.count, g_tracks.names, g_tracks.titles);
    if (g_cmdline.track[0] && !settings_select_track(g_cmdline.track)) choice_set(&g_settings.track, 0);
    zolm_log("%d tracks, %d demos; start track %s\n", g_tracks.count, g_demos.count, settings_track_dir());

    // 14-19. Window, audio, the first frame, GL state, bindings.
    int status = 0;
    if (open_window_and_devices(&status)) {
        // 20. Physics world. Bikes load their models and textures from
        //     now on, since the GL is up.
        // 21. Demo file. 22. Rider slots and the first race reset. 23. The
        //     main menu. Each joins with its subsystem.
        if (!physics_init()) {
            zolm_message_box("Quorvin", "The physics library on this machine is not built in double precision.");
            status = 1;
        } else {
            BikeOptions bikes = {true};
            bike_set_options(&bikes);
            mt_seed(&g_random, 0);
            first_race_reset();
            main_loop();
        }
    }
    shut_down();
    return status;
}
