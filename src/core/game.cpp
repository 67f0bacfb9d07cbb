// The program's entry: finds the data, reads the command line, lists tracks
// and demos, runs the main loop until asked to quit, then takes everything
// down in a fixed order. One thread runs all of it.
//
// The subsystems that plug in later (settings, window, audio, physics, race,
// menus) join at the numbered steps below; until then the game runs headless:
// frames begin and swap without drawing and no input events arrive.
#include "core/game.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mt19937.h"
#include "core/ripemd160.h"
#include "core/tracklist.h"
#include "files/vfs.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/message_box.h"

CommandLine g_cmdline;
LoopState g_loop;
int g_debug_level;
bool g_fixed_files_ok;

const char *const k_shape_files[7] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp", "@generic_swingarm.shp",
    "@front_wheel.shp",   "@rear_wheel.shp",         "@generic_rider.shp",
};

// The digest of the shape files our data set ships. The data set holds no
// shape files yet, so this is the digest of the empty stream.
const char *const k_shape_digest = "9c1185a5c5e9fc54612808977ee8f548b2258d31";

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

// Key handling after the bindings took the event.
static void game_key(void *, LoopState *loop, uint32_t code, bool pressed) {
    (void)loop;
    (void)code;
    (void)pressed;
    // The menus, the pause, step, view, rewind and screenshot keys join here
    // with the settings that bind them and the window that sends them.
}

static void game_tick(void *, LoopState *loop) {
    // With no menu open and the local rider in view, the channels go to its
    // bike; then the server client and the race step. Until a track can be
    // loaded the game stays on the title screen, where no race step runs.
    if (loop->view_mode == VIEW_TITLE) return;
}

static void main_loop() {
    LoopHooks hooks = {nullptr, nullptr, game_key, nullptr, game_tick};
    g_loop.last_time = zolm_time_seconds();
    while (!g_loop.quit) {
        if (s_quit_requested) {
            zolm_log("Quit requested\n");
            g_loop.quit = true;
            break;
        }
        // 1. View mode: with no track loaded the title screen shows.
        g_loop.view_mode = VIEW_TITLE;
        // 2. Drawing between begin-frame and swap; headless both succeed.
        // 3. Engine-sound volumes and the mixer advance.
        // 4. Timing.
        double now;
        loop_frame_advance(&g_loop, &k_system_clock, &now);
        console_set_clock(g_loop.game_clock);
        // 5. Cursor axes for the menus.
        // 6. The ticks due; headless there is no event queue.
        loop_run_ticks(&g_loop, now, &hooks);
        // 7. "--warp" restarts finished races.
        // 8. Per-frame terrain work and console expiry, unless on the title screen.
        if (g_loop.view_mode != VIEW_TITLE) console_expire(g_loop.game_clock);
    }
}

static void shut_down() {
    // Server disconnect, points series, robot lines, cameras and standings,
    // bikes, demos, track, physics world, axes, audio and window come down
    // here, in that order, as they join the game.
    if (g_debug_level) {
        zolm_log("Frame times (below 1, 2, 4, 8, 16, 32, 64 ticks, longer): %d %d %d %d %d %d %d %d\n",
                 g_loop.histogram[0], g_loop.histogram[1], g_loop.histogram[2], g_loop.histogram[3],
                 g_loop.histogram[4], g_loop.histogram[5], g_loop.histogram[6], g_loop.histogram[7]);
        zolm_log("Frame advance %.4f s shortest, %.4f s longest; %lld ticks\n", g_loop.shortest_frame,
                 g_loop.longest_frame, (long long)g_loop.ticks_run);
    }
    namelist_free(&g_demos);
    namelist_free(&g_tracks);
    // The settings are saved here once they exist.
    zolm_log("Shut down\n");
    zolm_log(nullptr);
}

int game_main(int argc, char **argv) {
    if (asks_for_help(argc, argv)) {
        cmdline_usage(stdout);
        return 0;
    }

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

    // 4. Processor probe. (The server history and the video-mode list join
    //    with the network and window layers.)
    if (!cpu_has_mmx()) zolm_log("This CPU does not have MMX!\n");
    g_cmdline.mmx = cpu_has_mmx();

    // 5-7. Stability and graphics presets, gear lists, "@config": with the settings.

    // 8. The command line.
    CmdlineResult parsed = cmdline_parse(&g_cmdline, argc, argv, stdout, stderr);
    if (parsed != CMDLINE_RUN) {
        zolm_log(nullptr);
        return parsed == CMDLINE_EXIT_OK ? 0 : 1;
    }
    g_debug_level = g_cmdline.debug;
    if (g_cmdline.open_home) {
        bool opened = vfs_open_home_folder();
        if (!opened) zolm_log("Can't open the home directory\n");
        zolm_log(nullptr);
        return 0;
    }
    g_loop.chase_center[0] = g_cmdline.chase_center[0];
    g_loop.chase_center[1] = g_cmdline.chase_center[1];
    g_loop.chase_center[2] = g_cmdline.chase_center[2];
    g_loop.warp = g_cmdline.warp;
    g_loop.lock_period = g_cmdline.lock_fps > 0.0f ? 1.0 / g_cmdline.lock_fps : 0.0;

    // 9. A server address overrides "--track".
    if (g_cmdline.connect[0]) g_cmdline.track[0] = 0;

    // 10. Tracks.
    if (tracklist_build(&g_tracks, g_debug_level) == 0) {
        fprintf(stderr, "No tracks found\n");
        zolm_log("No tracks found\n");
        zolm_log(nullptr);
        return 1;
    }
    // 11. Demos.
    demolist_build(&g_demos, g_debug_level);
    // 12. The points series joins with the results.

    // 13. The start track: "--track", else the settings' track.
    const char *start = g_cmdline.track[0] ? g_cmdline.track : "vovezuzize";
    int start_index = namelist_find(&g_tracks, start);
    if (start_index < 0) start_index = 0;
    zolm_log("%d tracks, %d demos; start track %s (%s)\n", g_tracks.count, g_demos.count,
             g_tracks.names[start_index], g_tracks.titles[start_index]);

    // 14-19. Window, audio, first frame, GL, fonts and key bindings: with the
    //        window layer. Until then the game runs headless.
    zolm_log("Running headless\n");
    printf("Quorvin is running without a window; press Ctrl-C to stop it.\n");
    fflush(stdout);

    // 20. Physics world. 21. Demo file. 22. Rider slots and the first race
    //     reset. 23. The main menu. Each joins with its subsystem.
    mt_seed(&g_random, 0);

    install_signal_handlers();
    main_loop();
    shut_down();
    return 0;
}
