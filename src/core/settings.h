// The settings: every value the player can adjust, in one process-wide
// record built from typed setting records (choices, numbers, texts, key
// bindings, plain values) that the menus edit in place. The record is saved
// to "@config" in the home directory as lines of key "=" value; its bike
// setup subset is also saved to and read from named files under "@setups/".
//
// Owns: g_settings, the value lists built at start (video modes, tracks,
// gear lists; released by settings_free), the axes the bindings opened
// (closed by settings_release_bindings).
// Never: throws, or lets a bad line of a file change a setting; every value
// set goes through its setter and is clamped to its range.
#pragma once

#include <cstddef>
#include <cstdint>

struct ZolmWindow;
struct ZolmAxis;
struct ZolmDisplayMode;
struct ControlBinding;
struct CommandLine;
struct VfsFile;

enum {
    SETTINGS_LINE_MAX = 1024,       // characters of one line of a settings file
    SETTINGS_TEXT_MAX = 127,        // the longest text setting
    SETTINGS_BINDING_NAME_MAX = 255,
    SETTINGS_GATES = 40,
    SETTINGS_SERVER_HISTORY = 16,
    SETTINGS_BIKES = 45,
    SETTINGS_STABILITY_AIDS = 15,
    SETTINGS_GRAPHICS_PRESETS = 4,
    SETTINGS_GRAPHICS_PRESET_VALUES = 12,
    SETTINGS_INT_MAX_SIZE = 16384,  // xres / yres
};

// The gate types of the "slot%02d" choices.
enum GateType { GATE_EMPTY = 0, GATE_HUMAN, GATE_ROBOT, GATE_ROBOT_2_STROKE, GATE_ROBOT_4_STROKE };

// The columns of the graphics preset table.
enum GraphicsPreset {
    GRAPHICS_COMPATIBILITY = 0,
    GRAPHICS_HIGH_FPS = 1,
    GRAPHICS_NORMAL = 2,
    GRAPHICS_HIGH_DETAIL = 3,
};

// One value out of a list of names. The list is fixed or built at start
// (tracks, video modes, gear lists); index is always inside it.
struct ChoiceSetting {
    const char *label;              // menu text
    const char *const *names;       // value names, count of them
    int count;
    int index;
};

// A number with its menu step and range; value stays in [minimum, maximum].
struct NumberSetting {
    const char *label;
    double value;
    double step;
    double minimum;
    double maximum;
};

struct TextSetting {
    const char *label;
    int max_length;                 // characters kept, at most SETTINGS_TEXT_MAX
    char text[SETTINGS_TEXT_MAX + 1];
};

enum BindingKind { BINDING_NONE = 0, BINDING_KEY, BINDING_AXIS };

// A control bound to a key or to an axis, by name. The name is kept as it
// was written even when it resolves to nothing today (a joystick not plugged
// in), so the next save writes it again; it is then simply inactive.
struct KeyBinding {
    const char *label;
    const char *config_key;
    BindingKind kind;
    char name[SETTINGS_BINDING_NAME_MAX + 1];   // key name or axis name
    int code;                       // resolved key code, -1 when none
    ZolmAxis *axis;                 // open axis, none when closed or unresolved
    float low, high;                // axis range mapped onto 0..1 (0 and 1 for keys)
};

// The bindings in the order "@config" writes them.
enum BindingIndex {
    BIND_THROTTLE = 0,
    BIND_FRONT_BRAKE,
    BIND_REAR_BRAKE,
    BIND_LEFT,
    BIND_RIGHT,
    BIND_CLUTCH,
    BIND_UPSHIFT,
    BIND_DOWNSHIFT,
    BIND_DAB,
    BIND_BACK_UP,
    BIND_LEAN_FORWARD,
    BIND_LEAN_BACKWARD,
    BIND_PAUSE,
    BIND_STEP,
    BIND_REWIND,
    BIND_SKIP,
    BIND_PREV,
    BIND_NEXT,
    BIND_CONSOLE,
    BIND_SCREENSHOT,
    BIND_COUNT,
};

// The values of the "Terrain Rendering Method" choice, in list order.
enum RenderMethod {
    RENDER_METHOD_SOFTWARE = 0,
    RENDER_METHOD_HARDWARE_COPY = 1,
    RENDER_METHOD_HARDWARE_DIRECT = 2,
    RENDER_METHOD_SHADERS_COPY = 3,
    RENDER_METHOD_SHADERS_DIRECT = 4,
};

// A gear list: entry 0 is "default" with no file; the others name a texture
// ("@" + file name) and show its name without the list's prefix.
struct GearList {
    int count;
    int capacity;
    char **names;
    char **files;                   // files[0] is none
};

// The bike setup: what a setup file holds, and what the physics takes from
// the settings when a setup is applied to a bike.
struct BikeSetup {
    ChoiceSetting bike;
    TextSetting name;
    TextSetting number;
    ChoiceSetting rider_texture, head_texture, bike_texture, wheel_texture;
    NumberSetting stability;
    NumberSetting leveling, roll_damping, roll_limit_angle, roll_limit_factor;
    NumberSetting steering_damping, steering_strength, max_steering_force, direct_steering;
    NumberSetting slow_damping_speed, slow_damping_factor;
    NumberSetting land_damping_falloff, land_damping_factor;
    NumberSetting full_lock_speed, restricted_lock_speed, restricted_lock;
    ChoiceSetting arcade, front_brake, rear_brake, stop_wheelies, auto_shift, auto_dab;
    ChoiceSetting auto_align, sticky_dab, reverse_steering, lean_indicator;
    NumberSetting auto_clutch_rpms, brake_torque, rear_brake_torque, max_dab_speed;
    NumberSetting front_sprocket_adjustment, rear_sprocket_adjustment;
    NumberSetting fork_compression_adjustment, fork_rebound_adjustment, fork_spring_rate_adjustment;
    NumberSetting fork_preload_adjustment, fork_oil_level_adjustment;
    NumberSetting shock_compression_adjustment, shock_rebound_adjustment;
    NumberSetting shock_spring_rate_adjustment, shock_preload_adjustment;
    NumberSetting rider_yspring, rider_ydamping, rider_zspring, rider_zdamping;
    NumberSetting rider_mass_distribution;
};

struct Settings {
    double tick;                    // the simulation step, 1/128 s

    int xres, yres;                 // windowed client size
    int draw_fps, draw_time, draw_ping;
    int spy;
    char track_dir[SETTINGS_LINE_MAX + 1];   // start track directory ("track")
    ChoiceSetting track;            // the installed tracks, by title
    ChoiceSetting record, skill;
    NumberSetting minutes, laps;
    ChoiceSetting slots[SETTINGS_GATES];
    NumberSetting ghost_fade_distance;
    ChoiceSetting time_trial_abort;

    BikeSetup setup;

    ChoiceSetting video_mode;
    TextSetting server_name;
    TextSetting server_name_hist[SETTINGS_SERVER_HISTORY];

    NumberSetting ground_detail, ground_texture_detail;
    ChoiceSetting ground_texture_dim, ground_mipmaps, texture_compress, render_texture, use_shader;
    NumberSetting roost_density;
    ChoiceSetting lens_flare, reflections, hide_rider, rigid_camera;
    NumberSetting model_detail, model_texture_detail;
    NumberSetting fov, first_person_height, first_person_angle;
    NumberSetting third_person_height, third_person_distance;
    NumberSetting volume, comp_volume;
    ChoiceSetting playback_mode;
    int billboard_optimize_lookahead;
    int message_lines;
    int demo_backups;
    float map_scale;

    KeyBinding bindings[BIND_COUNT];

    // Lists built at start; the choices above point into them.
    GearList rider_gear, head_gear, bike_gear, wheel_gear;
    int video_mode_count;
    char **video_mode_names;
    int *video_mode_sizes;          // width, height pairs; 0 x 0 for the first two
    int track_count;
    char **track_dirs;              // parallel to track.names (the titles)
    char **track_titles;
};

// Whole process; settings_init_defaults fills it at start-up, settings_load
// reads "@config" over it, the menus and settings_* change it in place, and
// settings_save writes it back once at shut-down.
extern Settings g_settings;

// The renderer parameters derived from the settings at start-up, before the
// command-line options override them.
struct RenderParams {
    float terrain_error;            // 0.125 / ground detail
    int ground_texture_skip;        // 0..10
    int ground_texture_size;        // 32 << "ground_texture_dim"
    float lod_scale;                // model level-of-detail scale
    float lod_bias;
    int model_texture_skip;         // 0..10
    int roost_budget;
    int texture_compress;           // 0 No, 1 Yes, 2 Always
    bool reflections;
};

// --- setting kinds (settings.cpp) ----------------------------------------

// Sets the choice whose name equals text exactly; false leaves it unchanged.
bool choice_set_by_name(ChoiceSetting *c, const char *text);
void choice_set(ChoiceSetting *c, int index);          // clamped into the list
const char *choice_name(const ChoiceSetting *c);       // "" for an empty list
// Parses text as "%f" does; false (and unchanged) when it is not a finite
// number. Otherwise the value is clamped into the range.
bool number_set_from_text(NumberSetting *n, const char *text);
void number_set(NumberSetting *n, double value);       // clamped; NaN ignored
void text_set(TextSetting *t, const char *text);       // cut to max_length
// Fill a setting's fixed fields and its value (clamped like any other).
void choice_init(ChoiceSetting *c, const char *label, const char *const *names, int count, int index);
void number_init(NumberSetting *n, const char *label, double value, double step, double minimum, double maximum);
void text_init(TextSetting *t, const char *label, int max_length, const char *text);

// --- start-up -------------------------------------------------------------

// Every default: the record's values, the stability preset for the default
// Stability, the "Compatibility" graphics preset, the fixed value lists and
// the gear lists from the file index (rebuilt on each call). Video-mode and
// track lists built before stay, with the default selected.
void settings_init_defaults();
// Releases the built lists (after the save at shut-down, and in tests).
void settings_free();

// Reads "@config" over the record. False when it is missing or unreadable;
// the record is unchanged then.
bool settings_load();
// Rewrites "@config" in the home directory: the content goes to a temporary
// file beside it, which then replaces the old file, so a failed or
// interrupted save leaves the old file whole. False on any failure.
bool settings_save();
// The readers and the writer over an open stream (for the file functions
// above, the setup commands and tests). The readers return false on a
// stream that is none.
bool settings_read(VfsFile *f);
void settings_write(VfsFile *f);
// Writes through write(f, ctx) to "name.tmp" beside the "@" name (or path)
// and renames it over name once every byte is on disk. False, with the old
// file untouched and no temporary left, when anything fails.
bool settings_write_file_atomic(const char *name, void (*write)(VfsFile *f, void *ctx), void *ctx);

// The video-mode choice: "Default Fullscreen", "Windowed", then "%dx%d" of
// every mode (a list ended by an all-zero entry, or none) with the colour
// bits of the first. The selection is kept by name when it is still listed.
void settings_video_modes(const ZolmDisplayMode *modes);
// Width and height of the selected video mode (0 x 0 for the first two).
void settings_video_mode_size(int *width, int *height);
// The "Track" choice from the track list (titles shown, directories kept);
// the lists are copied. Selects the settings' track directory when listed,
// else the first track.
void settings_set_tracks(int count, char **dirs, char **titles);
// Points the "Track" choice at a directory (letter case ignored) and makes it
// the settings' track; false when it is not listed (nothing changes then).
bool settings_select_track(const char *dir);
// The directory "@config" saves: the selected track's, or the track read.
const char *settings_track_dir();

// Step 8 of start-up: the renderer parameters from the settings...
void settings_derive_render(RenderParams *out);
// ...and then the command-line options over them ("--texture-detail",
// "--ground-texture-detail", "--roostfrequency", "--detail", "--lod-scale",
// "--lod-bias"), and "--width", "--height", "--draw-fps", "--draw-time" and
// "--draw-ping" over the settings they name.
void settings_apply_options(RenderParams *params, const CommandLine *cl);

// --- presets --------------------------------------------------------------

// Sets the fifteen riding aids from a stability of 0..100 (interpolated in
// the six-point tables).
void stability_preset(int stability);
// Copies a column of the graphics preset table into the twelve settings.
void settings_apply_graphics_preset(int column);
// The first column the twelve settings equal, or -1 ("Custom").
int settings_graphics_preset_matching();

// --- key bindings (settings_bindings.cpp) ---------------------------------

// Resolves every binding of the record (keys through zolm_button_code, axes
// through zolm_axis_open; axes opened before are closed first) and copies
// code, axis and range into the control rows by their config key. A row's
// axis is a handle for settings_axis_read, -1 when none.
void settings_resolve_bindings(ZolmWindow *w, ControlBinding *rows, int count);
// Copies the resolved bindings into the rows again (after a menu changed one).
void settings_bindings_to_rows(ControlBinding *rows, int count);
// The raw value (-32768..32767) behind a row's axis handle; 0 when closed.
int32_t settings_axis_read(int handle);
// Closes every axis the bindings hold (shut-down).
void settings_release_bindings();
// Binds a key (code -1 when unresolved) or an axis, closing any axis the
// binding held; clearing leaves neither.
void settings_binding_set_key(KeyBinding *b, const char *name, int code);
void settings_binding_set_axis(KeyBinding *b, const char *name, ZolmAxis *axis, float low, float high);
void settings_binding_clear(KeyBinding *b);
// The binding of a config key ("throttle_key"), or none.
KeyBinding *settings_find_binding(const char *config_key);

// --- the key tables (settings_file.cpp) -----------------------------------

// How a key's value is read and written.
enum SettingKind {
    SETTING_INT,          // int, "%d", clamped to [minimum, maximum]
    SETTING_FLOAT,        // float, "%f", clamped to [minimum, maximum]
    SETTING_NUMBER,       // NumberSetting
    SETTING_CHOICE,       // ChoiceSetting
    SETTING_TEXT,         // TextSetting
    SETTING_HISTORY,      // TextSetting; a value that does not fit is ignored
    SETTING_TRACK,        // the start track directory
    SETTING_BIKE,         // the bike choice: legacy names, gear list rebuilt
    SETTING_STABILITY,    // Stability, then the stability preset
    SETTING_SETUP_BLOCK,  // where "@config" writes the bike setup
    SETTING_BINDINGS,     // where "@config" writes the key bindings
};

// One key (or a numbered run of keys) of a settings file, in writing order.
struct SettingKey {
    const char *key;      // with "%02d" when count > 1
    SettingKind kind;
    void *setting;        // the first of count
    int count;
    double minimum, maximum;
};

// Whether key names entry i of k (formatting each numbered candidate).
bool settings_key_matches(const SettingKey *k, const char *key, int *i);
// Sets entry i from file text by the kind's rules; false when the text was
// refused (the setting is unchanged then).
bool settings_key_apply(const SettingKey *k, int i, const char *value);
// Writes "key=value\n" of entry i.
void settings_key_write(VfsFile *f, const SettingKey *k, int i);
// Splits a stream into lines of at most SETTINGS_LINE_MAX characters (the
// rest of a longer line is dropped), skips lines without "=", and hands key
// and value (trailing CR and LF removed) to apply.
void settings_read_lines(VfsFile *f, bool (*apply)(const char *key, const char *value));

// --- bike setup (setup.cpp) -----------------------------------------------

void setup_init_defaults();
// Sets one bike setup key from its file text; false for a key that is not
// part of the setup (a bad value of a setup key is handled and ignored).
bool setup_apply_key(const char *key, const char *value);
// The setup block, one "key=value" line each.
void setup_write(VfsFile *f);
// Reads a setup stream with setup_apply_key only.
bool setup_read(VfsFile *f);
// Selects a bike by index: rebuilds the Bike Graphics list and resets
// "bike_texture" to "default".
void setup_set_bike(int index);
// The console commands' files: "@setups/" + name. The writer shows "Setup
// written" (or "Error writing setup"); the reader "Setup updated" or "Error
// reading setup". Names with "/", "\" or ".." are refused.
bool setup_write_file(const char *name);
bool setup_read_file(const char *name);

// --- bikes and gear (bike_list.cpp, gear_list.cpp) ------------------------

extern const char *const k_bike_names[SETTINGS_BIKES];
// The bike of that name after the legacy names are mapped, or -1.
int bike_list_find(const char *name);
// The current name of a legacy bike name ("yz250f" -> "yz250f(2008)"), or
// the name itself.
const char *bike_list_legacy_name(const char *name);
// The bike-graphics file prefix of a bike ("kx450f(2013)" -> "kx450f-").
void bike_list_prefix(int bike, char *buffer, size_t size);

// Builds the gear list of a prefix from the file index (see GearList).
void gear_list_build(GearList *list, const char *prefix);
void gear_list_free(GearList *list);
// Points a choice at a gear list, selecting "default".
void gear_list_attach(ChoiceSetting *c, const GearList *list);
// The texture file ("@...") of the choice's entry, or none for "default".
const char *gear_list_file(const GearList *list, int index);
