#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "core/cmdline.h"
#include "core/console.h"
#include "core/loop.h"
#include "core/settings.h"
#include "files/vfs.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/window_fixture.h"
#include "platform/window.h"
#include "test_util.h"

// The expected files lie in data/ beside this source. A relative __FILE__
// (ccache's base directory rewrites it) is relative to the directory the
// compiler ran in, which is also the test program's.
static std::string test_data(const char *name) {
    std::string source = __FILE__;
    size_t slash = source.rfind('/');
    std::string dir = slash == std::string::npos ? "" : source.substr(0, slash + 1);
    if (dir.empty() || dir[0] != '/') {
        char exe[4096];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string exe_dir = ".";
        if (n > 0) {
            exe[n] = 0;
            exe_dir = std::string(exe).substr(0, std::string(exe).rfind('/'));
        }
        dir = exe_dir + "/" + dir;
    }
    return dir + "data/" + name;
}

// Every test gets an empty home directory and data directory, a log of its
// own and a fresh record.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
        g_console.max_shown = 5;
        write_file(dir / "data/.keep", "");
        use_data_dirs(dir / "xdg", dir / "data");
        settings_init_defaults();
    }
    void TearDown() override {
        settings_free();
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
        vfs_reset();
    }
    std::string home(const std::string &rel) { return dir / ("xdg/Quorvin/" + rel); }
    std::string saved() {
        EXPECT_TRUE(settings_save());
        std::string text;
        read_file(home("config"), &text);
        return text;
    }
    bool load(const std::string &text) {
        write_file(home("config"), text);
        return settings_load();
    }
    ScratchDir dir;
};

class SetupFile : public SettingsFile {};
class Gear : public SettingsFile {};
class Stability : public SettingsFile {};

static std::string defaults_file() {
    std::string text;
    EXPECT_TRUE(read_file(test_data("config_defaults.txt"), &text)) << test_data("config_defaults.txt");
    return text;
}

// The text with the value of each named key replaced (every key must occur).
static std::string with_values(std::string text, const std::map<std::string, std::string> &values) {
    for (const auto &kv : values) {
        std::string head = kv.first + "=";
        size_t at = text.compare(0, head.size(), head) == 0 ? 0 : text.find("\n" + head);
        EXPECT_NE(std::string::npos, at) << kv.first;
        if (at == std::string::npos) continue;
        if (at > 0) at++;
        size_t end = text.find('\n', at);
        text.replace(at, end - at, head + kv.second);
    }
    return text;
}

static std::string setup_block(const std::string &config) {
    size_t from = config.find("bike=");
    size_t to = config.find("video_mode=");
    return config.substr(from, to - from);
}

// --- writing and reading "@config" -----------------------------------------

TEST_F(SettingsFile, DefaultsWriteTheExpectedFile) {
    EXPECT_EQ(defaults_file(), saved());
    EXPECT_FALSE(file_exists(home("config.tmp")));
}

TEST_F(SettingsFile, MissingFileLeavesTheDefaults) {
    EXPECT_FALSE(settings_load());
    EXPECT_EQ(defaults_file(), saved());
}

TEST_F(SettingsFile, EveryKindReadsBackToTheSameFile) {
    write_file(dir / "data/gear/rider_body-red.png", "x");
    write_file(dir / "data/gear/rider_head-blue.png", "x");
    write_file(dir / "data/gear/wheels-gold.png", "x");
    write_file(dir / "data/gear/yz250f-stock.png", "x");
    vfs_reset();
    settings_init_defaults();
    const ZolmDisplayMode modes[] = {{1920, 1080, 32}, {1280, 720, 32}, {0, 0, 0}};
    settings_video_modes(modes);

    std::string custom = with_values(defaults_file(), {
        {"xres", "1024"}, {"yres", "768"}, {"draw_fps", "1"}, {"draw_time", "-2"}, {"draw_ping", "3"},
        {"spy", "1"}, {"track", "riverside"}, {"record", "Yes"}, {"skill", "Expert"},
        {"minutes", "12.500000"}, {"laps", "0.000000"}, {"slot00", "Robot (2 stroke)"},
        {"slot19", "Empty"}, {"slot39", "Robot (4 stroke)"}, {"ghost_fade_distance", "40.000000"},
        {"time_trial_abort", "No"}, {"bike", "yz250f(2008)"}, {"name", "Some One = me "},
        {"number", "7"}, {"rider_texture", "red"}, {"head_texture", "blue"}, {"bike_texture", "stock"},
        {"wheel_texture", "gold"}, {"stability", "37.000000"}, {"roll_damping", "61.500000"},
        {"direct_steering", "0.375000"}, {"land_damping_falloff", "0.062500"}, {"stop_wheelies", "Front Only"},
        {"front_brake", "Normal"}, {"auto_clutch_rpms", "0.000000"}, {"front_sprocket_adjustment", "-2.000000"},
        {"rider_mass_distribution", "0.500000"}, {"video_mode", "1280x720"}, {"server_name", "race.example:19800"},
        {"server_name_hist00", "one"}, {"server_name_hist15", "two words"},
        {"ground_texture_dim", "1024x1024"}, {"texture_compress", "Always"}, {"render_texture", "Shaders/Copy"},
        {"roost_density", "330.000000"}, {"fov", "10.000000"}, {"first_person_height", "0.031250"},
        {"playback_mode", "Race Against"}, {"billboard_optimize_lookahead", "-1"}, {"message_lines", "1000"},
        {"demo_backups", "3"}, {"map_scale", "0.125000"},
        {"throttle_key", "(0.062500,0.937500)Joystick1 axis 2"}, {"left_key", "(-0.062500,-0.937500)joystick-a-x"},
        {"dab_key", "(k)Left Ctrl"}, {"rewind_key", "(k)"},
    });
    // An unbound binding is not written.
    size_t skip = custom.find("skip_key=(k)/\n");
    ASSERT_NE(std::string::npos, skip);
    custom.erase(skip, strlen("skip_key=(k)/\n"));
    custom += "skip_key=\n";   // read as a key with an empty name...
    ASSERT_TRUE(load(custom));
    custom.erase(custom.size() - strlen("skip_key=\n"));
    custom.insert(skip, "skip_key=(k)\n");   // ...which is written with "(k)"

    EXPECT_EQ(custom, saved());
    EXPECT_EQ(GATE_ROBOT_2_STROKE, g_settings.slots[0].index);
    EXPECT_EQ(BINDING_AXIS, g_settings.bindings[BIND_THROTTLE].kind);
    EXPECT_FLOAT_EQ(0.0625f, g_settings.bindings[BIND_THROTTLE].low);
    EXPECT_STREQ("@gear/yz250f-stock.png", gear_list_file(&g_settings.bike_gear, g_settings.setup.bike_texture.index));
    int width, height;
    settings_video_mode_size(&width, &height);
    EXPECT_EQ(1280, width);
    EXPECT_EQ(720, height);

    // A binding with neither key nor axis is left out.
    settings_init_defaults();
    ASSERT_TRUE(load(custom));
    settings_binding_clear(settings_find_binding("next_key"));
    std::string without = saved();
    EXPECT_EQ(std::string::npos, without.find("next_key"));
    EXPECT_NE(std::string::npos, without.find("console_key=(k)t\n"));
}

struct ReadCase {
    const char *what;
    std::string file;
    std::function<void()> check;
};

TEST_F(SettingsFile, ReadingRules) {
    const Settings &s = g_settings;
    const BikeSetup &u = g_settings.setup;
    std::string long_history(127, 'h'), shorter_history(126, 'h');
    std::string overlong = "name=" + std::string(2000, 'x') + "laps=7\n";
    const ReadCase cases[] = {
        {"laps above the range", "laps=75\n", [&] { EXPECT_EQ(50, s.laps.value); }},
        {"minutes below the range", "minutes=-3\n", [&] { EXPECT_EQ(0, s.minutes.value); }},
        {"laps not a number", "laps=many\n", [&] { EXPECT_EQ(5, s.laps.value); }},
        {"number read like %f", "laps=7.5 laps\r\n", [&] { EXPECT_EQ(7.5, s.laps.value); }},
        {"skill in lower case", "skill=expert\n", [&] { EXPECT_EQ(0, s.skill.index); }},
        {"skill exactly", "skill=Expert\n", [&] { EXPECT_EQ(2, s.skill.index); }},
        {"blanks belong to the value", "skill= Expert\n", [&] { EXPECT_EQ(0, s.skill.index); }},
        {"axis with limits", "left_key=(-0.0625,-0.9375)Joystick1 axis 2\n",
         [&] {
             const KeyBinding &b = s.bindings[BIND_LEFT];
             EXPECT_EQ(BINDING_AXIS, b.kind);
             EXPECT_STREQ("Joystick1 axis 2", b.name);
             EXPECT_FLOAT_EQ(-0.0625f, b.low);
             EXPECT_FLOAT_EQ(-0.9375f, b.high);
         }},
        {"key with (k)", "throttle_key=  (k)Left Ctrl\n",
         [&] {
             EXPECT_EQ(BINDING_KEY, s.bindings[BIND_THROTTLE].kind);
             EXPECT_STREQ("Left Ctrl", s.bindings[BIND_THROTTLE].name);
         }},
        {"key without (k)", "throttle_key=Left Ctrl\n",
         [&] {
             EXPECT_EQ(BINDING_KEY, s.bindings[BIND_THROTTLE].kind);
             EXPECT_STREQ("Left Ctrl", s.bindings[BIND_THROTTLE].name);
         }},
        {"parenthesis that is no axis", "throttle_key=(x)\n",
         [&] { EXPECT_STREQ("(x)", s.bindings[BIND_THROTTLE].name); }},
        {"stability 0 then roll damping", "stability=0\nroll_damping=55\n",
         [&] {
             EXPECT_EQ(0, u.stability.value);
             EXPECT_EQ(55, u.roll_damping.value);
             EXPECT_EQ(20, u.leveling.value);
             EXPECT_EQ(90, u.roll_limit_angle.value);
             EXPECT_EQ(0, u.roll_limit_factor.value);
             EXPECT_EQ(1, u.direct_steering.value);
             EXPECT_EQ(1, u.slow_damping_factor.value);
             EXPECT_EQ(0, u.land_damping_falloff.value);
             EXPECT_EQ(1, u.land_damping_factor.value);
             EXPECT_EQ(45, u.restricted_lock.value);
         }},
        {"roll damping then stability", "roll_damping=55\nstability=0\n",
         [&] { EXPECT_EQ(40, u.roll_damping.value); }},
        {"legacy bike name", "bike_texture=x\nbike=yz250f\n",
         [&] {
             EXPECT_STREQ("yz250f(2008)", choice_name(&u.bike));
             EXPECT_STREQ("default", choice_name(&u.bike_texture));
         }},
        {"unknown bike", "bike=bmx\n", [&] { EXPECT_STREQ("450sxf(2013)", choice_name(&u.bike)); }},
        {"history of 127 characters", "server_name_hist03=" + long_history + "\n",
         [&] { EXPECT_STREQ("", s.server_name_hist[3].text); }},
        {"history of 126 characters", "server_name_hist03=" + shorter_history + "\n",
         [&] { EXPECT_EQ(shorter_history, s.server_name_hist[3].text); }},
        {"texts are cut", "name=12345678901234567890123456789012345678901234567890123456789012345\nnumber=1234\n",
         [&] {
             EXPECT_EQ(63u, strlen(u.name.text));
             EXPECT_STREQ("123", u.number.text);
         }},
        {"first = splits", "name=a=b\n", [&] { EXPECT_STREQ("a=b", u.name.text); }},
        {"numbered keys are formatted", "slot5=Robot\nslot05=Human\nslot040=Robot\n",
         [&] {
             EXPECT_EQ(GATE_HUMAN, s.slots[5].index);
             EXPECT_EQ(GATE_EMPTY, s.slots[4].index);
         }},
        {"no = and unknown keys", "laps 7\nlap=7\n=7\n", [&] { EXPECT_EQ(5, s.laps.value); }},
        {"legacy use_fbo No", "use_fbo=No\n", [&] { EXPECT_STREQ("Hardware/Copy", choice_name(&s.render_texture)); }},
        {"legacy use_fbo Yes", "use_fbo=Yes\nground_texture_distance=3\n",
         [&] { EXPECT_STREQ("Hardware/Direct", choice_name(&s.render_texture)); }},
        {"map scale clamped", "map_scale=20\n", [&] { EXPECT_EQ(8.0f, s.map_scale); }},
        {"ints", "xres=800 \ndemo_backups=x\n",
         [&] {
             EXPECT_EQ(800, s.xres);
             EXPECT_EQ(0, s.demo_backups);
         }},
        {"last line without line feed", "laps=9", [&] { EXPECT_EQ(9, s.laps.value); }},
        // Faults mended: values that would pass the range checks or reach
        // past a buffer.
        {"laps not finite", "laps=nan\nfov=inf\n",
         [&] {
             EXPECT_EQ(5, s.laps.value);
             EXPECT_EQ(110, s.fov.value);
         }},
        {"axis limits not finite", "left_key=(nan,1)joystick-a-x\n",
         [&] { EXPECT_EQ(BINDING_KEY, s.bindings[BIND_LEFT].kind); }},
        {"more message lines than the console holds", "message_lines=5000\n",
         [&] { EXPECT_EQ(CONSOLE_LINES, s.message_lines); }},
        {"window size not positive", "xres=-5\nyres=99999999999\n",
         [&] {
             EXPECT_EQ(1, s.xres);
             EXPECT_EQ(SETTINGS_INT_MAX_SIZE, s.yres);
         }},
        {"the tail of an overlong line is no line", overlong,
         [&] {
             EXPECT_EQ(5, s.laps.value);
             EXPECT_EQ(63u, strlen(u.name.text));
         }},
        {"binding names are cut", "dab_key=(k)" + std::string(400, 'k') + "\n",
         [&] { EXPECT_EQ((size_t)SETTINGS_BINDING_NAME_MAX, strlen(s.bindings[BIND_DAB].name)); }},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.what);
        settings_init_defaults();
        ASSERT_TRUE(load(c.file));
        c.check();
    }
}

// --- the save replaces the old file only when the new one is whole -----------

TEST_F(SettingsFile, FailedSaveKeepsTheOldFile) {
    const std::string old = "laps=7\n";
    write_file(home("config"), old);

    // The temporary file cannot be made.
    write_file(home("config.tmp/blocker"), "x");
    EXPECT_FALSE(settings_save());
    std::string text;
    ASSERT_TRUE(read_file(home("config"), &text));
    EXPECT_EQ(old, text);
    remove(home("config.tmp/blocker").c_str());
    rmdir(home("config.tmp").c_str());

    // The disk fills up in the middle of the write.
    struct rlimit before;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &before));
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 100;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    bool saved_when_full = settings_save();
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved_when_full);
    ASSERT_TRUE(read_file(home("config"), &text));
    EXPECT_EQ(old, text);
    EXPECT_FALSE(file_exists(home("config.tmp")));

    // With room again the save goes through.
    EXPECT_EQ(defaults_file(), saved());
}

// --- presets ----------------------------------------------------------------

TEST_F(Stability, PresetInterpolatesTheSixPointTables) {
    struct Row {
        int stability;
        double aids[SETTINGS_STABILITY_AIDS];
    };
    // leveling, roll damping, roll limit angle, roll limit factor, steering
    // damping, steering strength, direct steering, max steering force, slow
    // damping speed, slow damping factor, land damping falloff, land damping
    // factor, full lock speed, restricted lock speed, restricted lock
    const Row rows[] = {
        {0, {20, 40, 90, 0, 45, 75, 1, 400, 40, 1, 0, 1, 10, 50, 45}},
        {10, {20, 45, 67.5, 2.5, 45, 75, 1, 400, 40, 1, 0.0625, 1.25, 10, 50, 30}},
        {50, {20, 65, 42.5, 21, 45, 75, 1, 400, 40, 1.75, 0.25, 2, 10, 50, 7.5}},
        {100, {20, 80, 35, 32, 45, 75, 0, 400, 40, 2, 0.25, 2, 10, 50, 5}},
        {150, {20, 80, 35, 32, 45, 75, 0, 400, 40, 2, 0.25, 2, 10, 50, 5}},
        {-20, {20, 40, 90, 0, 45, 75, 1, 400, 40, 1, 0, 1, 10, 50, 45}},
    };
    const BikeSetup &u = g_settings.setup;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.stability);
        stability_preset(r.stability);
        const NumberSetting *aids[] = {
            &u.leveling,           &u.roll_damping,          &u.roll_limit_angle,     &u.roll_limit_factor,
            &u.steering_damping,   &u.steering_strength,     &u.direct_steering,      &u.max_steering_force,
            &u.slow_damping_speed, &u.slow_damping_factor,   &u.land_damping_falloff, &u.land_damping_factor,
            &u.full_lock_speed,    &u.restricted_lock_speed, &u.restricted_lock,
        };
        for (int a = 0; a < SETTINGS_STABILITY_AIDS; a++) EXPECT_DOUBLE_EQ(r.aids[a], aids[a]->value) << a;
    }
}

TEST_F(SettingsFile, GraphicsPresetsAndRendererParameters) {
    EXPECT_EQ(GRAPHICS_COMPATIBILITY, settings_graphics_preset_matching());
    for (int c = GRAPHICS_HIGH_FPS; c <= GRAPHICS_HIGH_DETAIL; c++) {
        settings_apply_graphics_preset(c);
        EXPECT_EQ(c, settings_graphics_preset_matching());
    }
    settings_apply_graphics_preset(GRAPHICS_HIGH_FPS);
    EXPECT_STREQ("Hardware/Direct", choice_name(&g_settings.render_texture));
    EXPECT_EQ(0, g_settings.roost_density.value);
    number_set(&g_settings.fov, 90);   // not one of the twelve
    EXPECT_EQ(GRAPHICS_HIGH_FPS, settings_graphics_preset_matching());
    number_set(&g_settings.model_detail, 26);
    EXPECT_EQ(-1, settings_graphics_preset_matching());

    struct Row {
        double ground_detail, ground_levels, model_detail, model_texture_detail, roost;
        int dim;
        float error;
        int ground_skip, size;
        float lod_scale, lod_bias;
        int model_skip, roost_budget;
    };
    const Row rows[] = {
        {70, 9, 50, 9, 1000, 1, 0.125f / 70, 1, 64, 1.0f, 0.0f, 1, 1000},
        {100, 0, 0, 10, 330.9, 5, 0.00125f, 10, 1024, 8.0f, 50.0f, 0, 330},
        {1, 10, 25, 0, 0, 0, 0.125f, 0, 32, 1.5f * 1.5f * 1.5f, 12.5f, 10, 0},
        {0, 10, 100, 3, 10, 2, 125.0f, 0, 128, 0.0f, 0.0f, 7, 10},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.ground_detail);
        number_set(&g_settings.ground_detail, r.ground_detail);
        number_set(&g_settings.ground_texture_detail, r.ground_levels);
        number_set(&g_settings.model_detail, r.model_detail);
        number_set(&g_settings.model_texture_detail, r.model_texture_detail);
        number_set(&g_settings.roost_density, r.roost);
        choice_set(&g_settings.ground_texture_dim, r.dim);
        RenderParams p;
        settings_derive_render(&p);
        EXPECT_FLOAT_EQ(r.error, p.terrain_error);
        EXPECT_EQ(r.ground_skip, p.ground_texture_skip);
        EXPECT_EQ(r.size, p.ground_texture_size);
        EXPECT_FLOAT_EQ(r.lod_scale, p.lod_scale);
        EXPECT_FLOAT_EQ(r.lod_bias, p.lod_bias);
        EXPECT_EQ(r.model_skip, p.model_texture_skip);
        EXPECT_EQ(r.roost_budget, p.roost_budget);
    }

    RenderParams p;
    settings_derive_render(&p);
    CommandLine cl;
    cmdline_defaults(&cl);
    char arg0[] = "quorvin", a1[] = "--texture-detail=3", a2[] = "--lod-bias=2", a3[] = "--width", a4[] = "999";
    char *argv[] = {arg0, a1, a2, a3, a4};
    ASSERT_EQ(CMDLINE_RUN, cmdline_parse(&cl, 5, argv, stdout, stderr));
    settings_apply_options(&p, &cl);
    EXPECT_EQ(3, p.ground_texture_skip);
    EXPECT_EQ(3, p.model_texture_skip);
    EXPECT_FLOAT_EQ(2.0f, p.lod_bias);
    EXPECT_FLOAT_EQ(0.0f, p.lod_scale);
    EXPECT_EQ(999, g_settings.xres);
    EXPECT_EQ(480, g_settings.yres);
}

// --- lists built at start ------------------------------------------------------

TEST_F(SettingsFile, VideoModesAndTracks) {
    settings_video_modes(nullptr);
    EXPECT_EQ(2, g_settings.video_mode.count);
    const ZolmDisplayMode modes[] = {{1920, 1080, 32}, {1280, 720, 32}, {1280, 720, 32}, {800, 600, 16},
                                     {640, 480, 32},   {0, 0, 0}};
    settings_video_modes(modes);
    const char *names[] = {"Default Fullscreen", "Windowed", "1920x1080", "1280x720", "640x480"};
    ASSERT_EQ(5, g_settings.video_mode.count);
    for (int i = 0; i < 5; i++) EXPECT_STREQ(names[i], g_settings.video_mode.names[i]);
    ASSERT_TRUE(load("video_mode=640x480\n"));
    settings_video_modes(modes);   // a rebuilt list keeps the choice
    EXPECT_EQ(4, g_settings.video_mode.index);
    int width, height;
    settings_video_mode_size(&width, &height);
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    choice_set(&g_settings.video_mode, 1);
    settings_video_mode_size(&width, &height);
    EXPECT_EQ(0, width);

    char alpha[] = "alpha", vove[] = "VoveZuzize", alpha_title[] = "Alpha Ridge", vove_title[] = "Vove";
    char *dirs[] = {alpha, vove}, *titles[] = {alpha_title, vove_title};
    settings_set_tracks(2, dirs, titles);
    EXPECT_EQ(1, g_settings.track.index);
    EXPECT_STREQ("Vove", choice_name(&g_settings.track));
    alpha[0] = 0;   // the settings keep copies
    EXPECT_STREQ("alpha", g_settings.track_dirs[0]);
    EXPECT_FALSE(settings_select_track("missing"));
    EXPECT_TRUE(settings_select_track("ALPHA"));
    EXPECT_NE(std::string::npos, saved().find("\ntrack=alpha\n"));
    ASSERT_TRUE(load("track=vovezuzize\n"));
    EXPECT_EQ(1, g_settings.track.index);

    // The defaults, taken again, keep the lists and select the defaults.
    EXPECT_TRUE(settings_select_track("alpha"));
    choice_set(&g_settings.video_mode, 3);
    settings_init_defaults();
    EXPECT_EQ(5, g_settings.video_mode.count);
    EXPECT_EQ(0, g_settings.video_mode.index);
    EXPECT_EQ(2, g_settings.track.count);
    EXPECT_STREQ("VoveZuzize", settings_track_dir());

    char only[] = "only";
    char *one[] = {only};
    ASSERT_TRUE(load("track=elsewhere\n"));
    settings_set_tracks(1, one, one);
    EXPECT_EQ(0, g_settings.track.index);
    EXPECT_STREQ("only", settings_track_dir());
}

TEST_F(Gear, ListsComeFromTheFileIndex) {
    write_file(dir / "data/rider_body-red.png", "x");
    write_file(dir / "data/textures/rider_body-blue.png.scram", "x");
    write_file(dir / "data/textures/Rider_Body-Green.PNG", "x");
    write_file(dir / "data/rider_body-red_norm.png", "x");
    write_file(dir / "data/rider_body-red_spec.png.scram", "x");
    write_file(dir / "data/rider_body-notes.txt", "x");
    write_file(dir / "data/old_rider_body-grey.png", "x");
    write_file(dir / "data/both/rider_head-twice.png", "x");
    write_file(dir / "data/both/rider_head-twice.png.scram", "x");
    write_file(dir / "data/yz250f-stock.png", "x");
    write_file(dir / "data/450sxfv2013-factory.png", "x");
    vfs_reset();
    settings_init_defaults();

    const GearList &riders = g_settings.rider_gear;
    ASSERT_EQ(4, riders.count);
    const char *names[] = {"default", "red", "blue", "Green"};
    const char *files[] = {nullptr, "@rider_body-red.png", "@textures/rider_body-blue.png",
                           "@textures/Rider_Body-Green.PNG"};
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(names[i], riders.names[i]);
        if (files[i]) EXPECT_STREQ(files[i], gear_list_file(&riders, i));
        else EXPECT_EQ(nullptr, gear_list_file(&riders, i));
    }
    EXPECT_EQ(2, g_settings.head_gear.count);
    EXPECT_EQ(1, g_settings.wheel_gear.count);
    ASSERT_EQ(2, g_settings.setup.bike_texture.count);
    EXPECT_STREQ("factory", g_settings.setup.bike_texture.names[1]);

    ASSERT_TRUE(load("bike=yz250f(2008)\nbike_texture=stock\nrider_texture=blue\n"));
    EXPECT_STREQ("stock", choice_name(&g_settings.setup.bike_texture));
    EXPECT_STREQ("blue", choice_name(&g_settings.setup.rider_texture));
    setup_set_bike(0);
    EXPECT_STREQ("default", choice_name(&g_settings.setup.bike_texture));
    EXPECT_STREQ("factory", g_settings.setup.bike_texture.names[1]);
}

TEST(Bike, ListPrefixesAndLegacyNames) {
    EXPECT_STREQ("450sxf(2013)", k_bike_names[0]);
    EXPECT_STREQ("rs50yz", k_bike_names[SETTINGS_BIKES - 1]);
    const char *prefixes[][2] = {
        {"kx450f(2013)", "kx450f-"},   {"450sxf(2013)", "450sxfv2013-"}, {"crf250(2013)", "crf250v2010-"},
        {"yz250f(2013)", "yz250fv2010-"}, {"rs50cr", "cr125-"},         {"rs50yz", "yz125-"},
        {"125sx", "125sx-"},           {"yz250f_se(2006)", "yz250f_se-"}, {"crf250(2009)", "crf250-"},
    };
    for (const auto &p : prefixes) {
        int bike = bike_list_find(p[0]);
        ASSERT_GE(bike, 0) << p[0];
        char prefix[32];
        bike_list_prefix(bike, prefix, sizeof prefix);
        EXPECT_STREQ(p[1], prefix);
    }
    const char *legacy[][2] = {{"crf250", "crf250(2008)"}, {"kx250f", "kx250f(2008)"}, {"rmz250", "rmz250(2008)"},
                               {"yz250f", "yz250f(2008)"}, {"yz125", "yz125"},         {"YZ250F", "YZ250F"}};
    for (const auto &l : legacy) EXPECT_STREQ(l[1], bike_list_legacy_name(l[0]));
    EXPECT_EQ(30, bike_list_find("yz250f"));
    EXPECT_EQ(-1, bike_list_find("YZ250F"));
}

TEST(Choice, SetByNameIsExact) {
    static const char *const names[] = {"No", "Yes", "Always"};
    ChoiceSetting c;
    choice_init(&c, "Compress Textures", names, 3, 0);
    EXPECT_FALSE(choice_set_by_name(&c, "yes"));
    EXPECT_FALSE(choice_set_by_name(&c, "Yes "));
    EXPECT_EQ(0, c.index);
    EXPECT_TRUE(choice_set_by_name(&c, "Always"));
    EXPECT_EQ(2, c.index);
    choice_set(&c, 7);
    EXPECT_EQ(2, c.index);
    choice_set(&c, -1);
    EXPECT_EQ(0, c.index);
}

TEST(Number, SetFromTextParsesLikeScanfAndClamps) {
    NumberSetting n;
    number_init(&n, "Laps", 5, 1, 0, 50);
    struct Row {
        const char *text;
        bool parsed;
        double value;
    };
    const Row rows[] = {
        {"12", true, 12},   {" 7.25xyz", true, 7.25}, {"75", true, 50},  {"-3", true, 0},   {"1e1", true, 10},
        {"x", false, 10},   {"", false, 10},          {"nan", false, 10}, {"-inf", false, 10}, {"0x10", true, 16},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.parsed, number_set_from_text(&n, r.text)) << r.text;
        EXPECT_EQ(r.value, n.value) << r.text;
    }
}

// --- setup files ------------------------------------------------------------------

TEST_F(SetupFile, WrittenSetupReadsBackIdentically) {
    std::string defaults_block = setup_block(defaults_file());
    ASSERT_TRUE(setup_write_file("mine"));
    EXPECT_STREQ("Setup written", console_recent_line(0));
    std::string text;
    ASSERT_TRUE(read_file(home("setups/mine"), &text));
    EXPECT_EQ(defaults_block, text);

    std::string custom = with_values(defaults_block, {{"bike", "rmz250(2008)"}, {"name", "Setter"},
                                                      {"stability", "50.000000"}, {"restricted_lock", "12.125000"},
                                                      {"rear_brake", "Antilock"}, {"rider_zdamping", "1.000000"}});
    write_file(home("setups/custom"), custom + "laps=7\nlaps=9\n");
    ASSERT_TRUE(setup_read_file("custom"));
    EXPECT_STREQ("Setup updated", console_recent_line(0));
    EXPECT_EQ(5, g_settings.laps.value);   // only setup keys are read
    EXPECT_EQ(50, g_settings.setup.stability.value);
    EXPECT_EQ(12.125, g_settings.setup.restricted_lock.value);
    ASSERT_TRUE(setup_write_file("again"));
    ASSERT_TRUE(read_file(home("setups/again"), &text));
    EXPECT_EQ(custom, text);
    EXPECT_EQ(custom, setup_block(saved()));

    std::string config;
    ASSERT_TRUE(read_file(home("config"), &config));
    EXPECT_FALSE(setup_read_file("missing"));
    EXPECT_STREQ("Error reading setup", console_recent_line(0));
    for (const char *bad : {"../config", "a/b", "..", "", "x\\y"}) {
        EXPECT_FALSE(setup_read_file(bad)) << bad;
        EXPECT_FALSE(setup_write_file(bad)) << bad;
        EXPECT_STREQ("Error writing setup", console_recent_line(0));
    }
    ASSERT_TRUE(read_file(home("config"), &text));
    EXPECT_EQ(config, text);
}

// --- key bindings -------------------------------------------------------------------

class SettingsBindings : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        write_file(dir / "data/.keep", "");
        use_data_dirs(dir / "xdg", dir / "data");
        settings_init_defaults();
    }
    void TearDown() override {
        settings_release_bindings();
        settings_free();
        vfs_reset();
        WindowFixture::TearDown();
    }
};

TEST_F(SettingsBindings, ResolvedIntoTheControlRowsAndKeptWhenUnresolved) {
    const std::string config = "throttle_key=(k)Left Ctrl\n"
                               "left_key=(0.0625,0.9375)cursor-x\n"
                               "right_key=(-0.5,-1)Joystick9 axis 0\n"
                               "clutch_key=No Such Key\n";
    write_file(dir / "xdg/Quorvin/config", config);
    ASSERT_TRUE(settings_load());
    LoopState loop;
    loop_init(&loop, 0.0);
    ControlBinding *rows = loop.bindings;   // left, right, throttle, ... clutch is row 7

    // Without a window keys resolve and axes do not.
    settings_resolve_bindings(nullptr, rows, CONTROL_BINDINGS);
    EXPECT_EQ(ZOLM_CODE_KEY + 29, rows[2].code);
    EXPECT_EQ(-1, rows[7].code);
    EXPECT_EQ(-1, rows[0].code);
    EXPECT_EQ(-1, rows[0].axis);
    EXPECT_FLOAT_EQ(0.0625f, rows[0].low);
    EXPECT_EQ(zolm_button_code(nullptr, "c"), rows[3].code);
    EXPECT_EQ(zolm_button_code(nullptr, "Right Ctrl"), rows[8].code);
    EXPECT_EQ(zolm_button_code(nullptr, "Pause"), g_settings.bindings[BIND_PAUSE].code);
    EXPECT_NE(-1, g_settings.bindings[BIND_REWIND].code);

    // Unresolved bindings are saved as they were read.
    ASSERT_TRUE(settings_save());
    std::string text;
    ASSERT_TRUE(read_file(dir / "xdg/Quorvin/config", &text));
    EXPECT_NE(std::string::npos, text.find("\nclutch_key=(k)No Such Key\n"));
    EXPECT_NE(std::string::npos, text.find("\nright_key=(-0.500000,-1.000000)Joystick9 axis 0\n"));
    EXPECT_NE(std::string::npos, text.find("\nleft_key=(0.062500,0.937500)cursor-x\n"));

}

TEST_F(SettingsBindings, AxesOpenThroughTheWindowAndClose) {
    write_file(dir / "xdg/Quorvin/config", "left_key=(0.0625,0.9375)cursor-x\nright_key=(-0.5,-1)Joystick9 axis 0\n");
    ASSERT_TRUE(settings_load());
    LoopState loop;
    loop_init(&loop, 0.0);
    ControlBinding *rows = loop.bindings;
    ASSERT_TRUE(open());
    settings_resolve_bindings(window, rows, CONTROL_BINDINGS);
    ASSERT_EQ(BIND_LEFT, rows[0].axis);
    EXPECT_NE(nullptr, g_settings.bindings[BIND_LEFT].axis);
    EXPECT_EQ(-1, rows[1].axis);
    settings_axis_read(rows[0].axis);
    EXPECT_EQ(0, settings_axis_read(-1));
    settings_resolve_bindings(window, rows, CONTROL_BINDINGS);   // reopens without leaking
    settings_binding_set_key(&g_settings.bindings[BIND_LEFT], "Left", zolm_button_code(window, "Left"));
    EXPECT_EQ(nullptr, g_settings.bindings[BIND_LEFT].axis);
    settings_bindings_to_rows(rows, CONTROL_BINDINGS);
    EXPECT_EQ(-1, rows[0].axis);
    EXPECT_EQ(ZOLM_CODE_KEY + 331, rows[0].code);
    settings_resolve_bindings(window, rows, CONTROL_BINDINGS);
}
