// The settings record: its defaults, the setting kinds' setters, the
// stability and graphics presets, the lists built at start (video modes,
// tracks) and the renderer parameters derived from it.
#include "core/settings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/cmdline.h"
#include "core/loop.h"
#include "core/memory.h"
#include "platform/window.h"

Settings g_settings;

static const char *const k_no_yes[] = {"No", "Yes"};
static const char *const k_skills[] = {"Novice", "Amateur", "Expert"};
static const char *const k_gate_types[] = {"Empty", "Human", "Robot", "Robot (2 stroke)", "Robot (4 stroke)"};
static const char *const k_texture_dims[] = {"32x32",   "64x64",     "128x128",
                                             "256x256", "512x512", "1024x1024"};
static const char *const k_compress[] = {"No", "Yes", "Always"};
static const char *const k_render_texture[] = {"Software", "Hardware/Copy", "Hardware/Direct", "Shaders/Copy",
                                               "Shaders/Direct"};
static const char *const k_playback_modes[] = {"Playback Only", "Race Against"};
static const char *const k_fixed_video_modes[] = {"Default Fullscreen", "Windowed"};
static const char *const k_gate_labels[SETTINGS_GATES] = {
    "Gate 1",  "Gate 2",  "Gate 3",  "Gate 4",  "Gate 5",  "Gate 6",  "Gate 7",  "Gate 8",
    "Gate 9",  "Gate 10", "Gate 11", "Gate 12", "Gate 13", "Gate 14", "Gate 15", "Gate 16",
    "Gate 17", "Gate 18", "Gate 19", "Gate 20", "Gate 21", "Gate 22", "Gate 23", "Gate 24",
    "Gate 25", "Gate 26", "Gate 27", "Gate 28", "Gate 29", "Gate 30", "Gate 31", "Gate 32",
    "Gate 33", "Gate 34", "Gate 35", "Gate 36", "Gate 37", "Gate 38", "Gate 39", "Gate 40",
};

enum { DEFAULT_TEXTURE_DIM = 1 };

// The race server a fresh install offers. There is no public server for the
// game, so the default is one run on the player's own machine.
static const char *const k_default_server = "localhost";

#define COUNT_OF(a) ((int)(sizeof(a) / sizeof((a)[0])))

// --- setting kinds --------------------------------------------------------

void choice_set(ChoiceSetting *c, int index) {
    if (index >= c->count) index = c->count - 1;
    if (index < 0) index = 0;
    c->index = index;
}

bool choice_set_by_name(ChoiceSetting *c, const char *text) {
    for (int i = 0; i < c->count; i++) {
        if (strcmp(c->names[i], text) == 0) {
            c->index = i;
            return true;
        }
    }
    return false;
}

const char *choice_name(const ChoiceSetting *c) {
    if (c->count <= 0 || c->index < 0 || c->index >= c->count) return "";
    return c->names[c->index];
}

void number_set(NumberSetting *n, double value) {
    if (std::isnan(value)) return;
    if (value < n->minimum) value = n->minimum;
    if (value > n->maximum) value = n->maximum;
    n->value = value;
}

bool number_set_from_text(NumberSetting *n, const char *text) {
    // "%f" accepts what strtod accepts after leading blanks; anything after
    // the number is ignored. Infinities and NaN would survive the clamp, so
    // they count as not a number.
    char *end;
    double value = strtod(text, &end);
    if (end == text || !std::isfinite(value)) return false;
    number_set(n, value);
    return true;
}

void text_set(TextSetting *t, const char *text) {
    size_t n = strlen(text);
    if (n > (size_t)t->max_length) n = (size_t)t->max_length;
    memcpy(t->text, text, n);
    t->text[n] = 0;
}

void choice_init(ChoiceSetting *c, const char *label, const char *const *names, int count, int index) {
    c->label = label;
    c->names = names;
    c->count = count;
    c->index = index;
}

void number_init(NumberSetting *n, const char *label, double value, double step, double minimum,
                        double maximum) {
    n->label = label;
    n->step = step;
    n->minimum = minimum;
    n->maximum = maximum;
    n->value = minimum;
    number_set(n, value);
}

void text_init(TextSetting *t, const char *label, int max_length, const char *text) {
    t->label = label;
    t->max_length = max_length;
    text_set(t, text);
}

static char *settings_strdup(const char *text) {
    size_t n = strlen(text) + 1;
    char *copy = (char *)mem_alloc(n);
    memcpy(copy, text, n);
    return copy;
}

static void free_names(char **names, int count) {
    if (!names) return;
    for (int i = 0; i < count; i++) free(names[i]);
    free(names);
}

// --- defaults -------------------------------------------------------------

struct BindingDefault {
    const char *config_key;
    const char *label;
    const char *key;
};

static const BindingDefault k_binding_defaults[BIND_COUNT] = {
    {"throttle_key", "Throttle", "x"},
    {"front_brake_key", "Front Brake", "c"},
    {"rear_brake_key", "Rear Brake", "v"},
    {"left_key", "Left", "left"},
    {"right_key", "Right", "right"},
    {"clutch_key", "Clutch", "z"},
    {"upshift_key", "Upshift", "up"},
    {"downshift_key", "Downshift", "down"},
    {"dab_key", "Sit/Dab", "right ctrl"},
    {"back_up_key", "Back up", "b"},
    {"lean_forward_key", "Lean Forward", "n"},
    {"lean_backward_key", "Lean Backward", "m"},
    {"pause_key", "Pause", "pause"},
    {"step_key", "Step", "."},
    {"rewind_key", "Rewind", "\\"},
    {"skip_key", "Skip", "/"},
    {"prev_key", "Previous Bike", "["},
    {"next_key", "Next Bike", "]"},
    {"console_key", "Chat", "t"},
    {"screenshot_key", "Screenshot", "s"},
};

static void video_modes_free() {
    Settings *s = &g_settings;
    free_names(s->video_mode_names, s->video_mode_count);
    free(s->video_mode_sizes);
    s->video_mode_names = nullptr;
    s->video_mode_sizes = nullptr;
    s->video_mode_count = 0;
    choice_init(&s->video_mode, "Video Mode", k_fixed_video_modes, COUNT_OF(k_fixed_video_modes), 0);
}

static void tracks_free() {
    Settings *s = &g_settings;
    free_names(s->track_dirs, s->track_count);
    free_names(s->track_titles, s->track_count);
    s->track_dirs = nullptr;
    s->track_titles = nullptr;
    s->track_count = 0;
    choice_init(&s->track, "Track", nullptr, 0, 0);
}

void settings_free() {
    Settings *s = &g_settings;
    video_modes_free();
    tracks_free();
    gear_list_free(&s->rider_gear);
    gear_list_free(&s->head_gear);
    gear_list_free(&s->bike_gear);
    gear_list_free(&s->wheel_gear);
    choice_init(&s->setup.rider_texture, "Riding Gear", nullptr, 0, 0);
    choice_init(&s->setup.head_texture, "Helmet", nullptr, 0, 0);
    choice_init(&s->setup.bike_texture, "Bike Graphics", nullptr, 0, 0);
    choice_init(&s->setup.wheel_texture, "Wheel Graphics", nullptr, 0, 0);
}

void settings_init_defaults() {
    // Open axes belong to the platform layer; the caller releases them
    // before the record is reset. Video-mode and track lists built already
    // stay (they come from the platform and the file index, not from the
    // defaults); only their selection returns to the default.
    Settings *s = &g_settings;

    s->tick = TICK;
    s->xres = 640;
    s->yres = 480;
    s->draw_fps = 0;
    s->draw_time = 0;
    s->draw_ping = 0;
    s->spy = 0;
    snprintf(s->track_dir, sizeof s->track_dir, "%s", "vovezuzize");
    choice_init(&s->track, "Track", s->track_titles, s->track_count, 0);
    settings_select_track("vovezuzize");
    choice_init(&s->record, "Record Demo", k_no_yes, 2, 0);
    choice_init(&s->skill, "Robot Skill", k_skills, COUNT_OF(k_skills), 0);
    number_init(&s->minutes, "Minutes", 0, 1, 0, 60);
    number_init(&s->laps, "Laps", 5, 1, 0, 50);
    for (int i = 0; i < SETTINGS_GATES; i++) {
        int gate = i + 1;
        int type = GATE_EMPTY;
        if (gate == 18 || gate == 19 || gate == 21 || gate == 22 || gate == 23) type = GATE_ROBOT;
        if (gate == 20) type = GATE_HUMAN;
        choice_init(&s->slots[i], k_gate_labels[i], k_gate_types, COUNT_OF(k_gate_types), type);
    }
    number_init(&s->ghost_fade_distance, "Ghost Fade Distance", 10, 1, 0, 40);
    choice_init(&s->time_trial_abort, "Backing Up Aborts Attempt", k_no_yes, 2, 1);

    if (s->video_mode_names) choice_init(&s->video_mode, "Video Mode", s->video_mode_names, s->video_mode_count, 0);
    else choice_init(&s->video_mode, "Video Mode", k_fixed_video_modes, COUNT_OF(k_fixed_video_modes), 0);
    text_init(&s->server_name, "Server", SETTINGS_TEXT_MAX, k_default_server);
    for (int i = 0; i < SETTINGS_SERVER_HISTORY; i++) text_init(&s->server_name_hist[i], "", SETTINGS_TEXT_MAX, "");

    // The twelve preset-controlled values get their ranges here and their
    // values from the "Compatibility" column below.
    number_init(&s->ground_detail, "Ground Geometric Detail", 0, 1, 0, 100);
    number_init(&s->ground_texture_detail, "Ground Texture Levels", 0, 1, 0, 10);
    choice_init(&s->ground_texture_dim, "Ground Texture Resolution", k_texture_dims, COUNT_OF(k_texture_dims),
                DEFAULT_TEXTURE_DIM);
    choice_init(&s->ground_mipmaps, "Enable Ground Mipmaps", k_no_yes, 2, 1);
    choice_init(&s->texture_compress, "Compress Textures", k_compress, COUNT_OF(k_compress), 0);
    choice_init(&s->render_texture, "Terrain Rendering Method", k_render_texture, COUNT_OF(k_render_texture), 0);
    choice_init(&s->use_shader, "Use Shader Programs", k_no_yes, 2, 1);
    number_init(&s->roost_density, "Roost Density", 0, 10, 0, 1000);
    choice_init(&s->lens_flare, "Enable Lens Flares", k_no_yes, 2, 1);
    choice_init(&s->reflections, "Enable Reflections", k_no_yes, 2, 1);
    choice_init(&s->hide_rider, "Hide 1st Person Rider", k_no_yes, 2, 0);
    choice_init(&s->rigid_camera, "Rigid 3rd person camera", k_no_yes, 2, 0);
    number_init(&s->model_detail, "Model Geometric Detail", 0, 1, 0, 100);
    number_init(&s->model_texture_detail, "Model Texture Detail", 0, 1, 0, 10);
    number_init(&s->fov, "Field Of View", 110, 1, 10, 170);
    number_init(&s->first_person_height, "1st Person Height", 0, 0.03125, 0, 1);
    number_init(&s->first_person_angle, "1st Person Angle", 0, 1, 0, 40);
    number_init(&s->third_person_height, "3rd Person Height", 5, 1, 0, 20);
    number_init(&s->third_person_distance, "3rd Person Distance", 10, 1, 5, 40);
    number_init(&s->volume, "Volume", 10, 1, 0, 10);
    number_init(&s->comp_volume, "Competitor Volume", 8, 1, 0, 10);
    choice_init(&s->playback_mode, "Playback Mode", k_playback_modes, COUNT_OF(k_playback_modes), 0);
    s->billboard_optimize_lookahead = 8;
    s->message_lines = 5;
    s->demo_backups = 0;
    s->map_scale = 1.0f;

    for (int i = 0; i < BIND_COUNT; i++) {
        KeyBinding *b = &s->bindings[i];
        memset(b, 0, sizeof *b);
        b->label = k_binding_defaults[i].label;
        b->config_key = k_binding_defaults[i].config_key;
        b->code = -1;
        b->axis = nullptr;
        b->kind = BINDING_KEY;
        snprintf(b->name, sizeof b->name, "%s", k_binding_defaults[i].key);
        b->low = 0.0f;
        b->high = 1.0f;
    }

    // Start-up step 5: the riding aids from the default Stability, the
    // graphics defaults from the "Compatibility" column.
    setup_init_defaults();
    settings_apply_graphics_preset(GRAPHICS_COMPATIBILITY);
}

// --- presets --------------------------------------------------------------

// Stability 0, 20, 40, 60, 80 and 100.
static const double k_stability_table[SETTINGS_STABILITY_AIDS][6] = {
    {20, 20, 20, 20, 20, 20},                // leveling
    {40, 50, 60, 70, 75, 80},                // roll_damping
    {90, 45, 45, 40, 35, 35},                // roll_limit_angle
    {0, 5, 10, 32, 32, 32},                  // roll_limit_factor
    {45, 45, 45, 45, 45, 45},                // steering_damping
    {75, 75, 75, 75, 75, 75},                // steering_strength
    {1, 1, 1, 1, 1, 0},                      // direct_steering
    {400, 400, 400, 400, 400, 400},          // max_steering_force
    {40, 40, 40, 40, 40, 40},                // slow_damping_speed
    {1, 1, 1.5, 2, 2, 2},                    // slow_damping_factor
    {0, 0.125, 0.25, 0.25, 0.25, 0.25},      // land_damping_falloff
    {1, 1.5, 2, 2, 2, 2},                    // land_damping_factor
    {10, 10, 10, 10, 10, 10},                // full_lock_speed
    {50, 50, 50, 50, 50, 50},                // restricted_lock_speed
    {45, 15, 10, 5, 5, 5},                   // restricted_lock
};

void stability_preset(int stability) {
    BikeSetup *u = &g_settings.setup;
    NumberSetting *aids[SETTINGS_STABILITY_AIDS] = {
        &u->leveling,           &u->roll_damping,          &u->roll_limit_angle,   &u->roll_limit_factor,
        &u->steering_damping,   &u->steering_strength,     &u->direct_steering,    &u->max_steering_force,
        &u->slow_damping_speed, &u->slow_damping_factor,   &u->land_damping_falloff, &u->land_damping_factor,
        &u->full_lock_speed,    &u->restricted_lock_speed, &u->restricted_lock,
    };
    double level = stability * 5 * 0.01;
    if (level < 0) level = 0;
    if (level > 5) level = 5;
    int i = (int)std::floor(level);
    if (i > 4) i = 4;
    double f = level - i;
    for (int a = 0; a < SETTINGS_STABILITY_AIDS; a++) {
        const double *t = k_stability_table[a];
        number_set(aids[a], t[i] + f * (t[i + 1] - t[i]));
    }
}

struct GraphicsColumn {
    double ground_detail, ground_texture_detail;
    int ground_texture_dim, ground_mipmaps, texture_compress, render_texture, use_shader;
    double model_detail, model_texture_detail;
    int lens_flare, reflections;
    double roost_density;
};

// Compatibility, High FPS, Normal, High Detail. Choices are indices into
// their value lists (64x64 = 1, Hardware/Direct = 2, Shaders/Direct = 4).
static const GraphicsColumn k_graphics_presets[SETTINGS_GRAPHICS_PRESETS] = {
    {70, 9, 1, 1, 0, 0, 1, 50, 9, 1, 1, 1000},
    {50, 7, 1, 1, 1, 2, 0, 25, 7, 0, 0, 0},
    {70, 9, 2, 1, 1, 4, 1, 50, 9, 1, 1, 1000},
    {90, 10, 3, 1, 0, 4, 1, 75, 10, 1, 1, 1000},
};

void settings_apply_graphics_preset(int column) {
    if (column < 0 || column >= SETTINGS_GRAPHICS_PRESETS) return;
    const GraphicsColumn *p = &k_graphics_presets[column];
    Settings *s = &g_settings;
    number_set(&s->ground_detail, p->ground_detail);
    number_set(&s->ground_texture_detail, p->ground_texture_detail);
    choice_set(&s->ground_texture_dim, p->ground_texture_dim);
    choice_set(&s->ground_mipmaps, p->ground_mipmaps);
    choice_set(&s->texture_compress, p->texture_compress);
    choice_set(&s->render_texture, p->render_texture);
    choice_set(&s->use_shader, p->use_shader);
    number_set(&s->model_detail, p->model_detail);
    number_set(&s->model_texture_detail, p->model_texture_detail);
    choice_set(&s->lens_flare, p->lens_flare);
    choice_set(&s->reflections, p->reflections);
    number_set(&s->roost_density, p->roost_density);
}

int settings_graphics_preset_matching() {
    const Settings *s = &g_settings;
    for (int c = 0; c < SETTINGS_GRAPHICS_PRESETS; c++) {
        const GraphicsColumn *p = &k_graphics_presets[c];
        if (s->ground_detail.value == p->ground_detail &&
            s->ground_texture_detail.value == p->ground_texture_detail &&
            s->ground_texture_dim.index == p->ground_texture_dim && s->ground_mipmaps.index == p->ground_mipmaps &&
            s->texture_compress.index == p->texture_compress && s->render_texture.index == p->render_texture &&
            s->use_shader.index == p->use_shader && s->model_detail.value == p->model_detail &&
            s->model_texture_detail.value == p->model_texture_detail && s->lens_flare.index == p->lens_flare &&
            s->reflections.index == p->reflections && s->roost_density.value == p->roost_density)
            return c;
    }
    return -1;
}

// --- video modes and tracks -----------------------------------------------

void settings_video_modes(const ZolmDisplayMode *modes) {
    Settings *s = &g_settings;
    char keep[32];
    snprintf(keep, sizeof keep, "%s", choice_name(&s->video_mode));

    int listed = 0;
    while (modes && (modes[listed].width || modes[listed].height || modes[listed].bits)) listed++;

    video_modes_free();
    int capacity = 2 + listed;
    s->video_mode_names = (char **)mem_calloc((size_t)capacity, sizeof(char *));
    s->video_mode_sizes = (int *)mem_calloc((size_t)capacity * 2, sizeof(int));
    int n = 0;
    for (const char *fixed : k_fixed_video_modes) s->video_mode_names[n++] = settings_strdup(fixed);
    for (int m = 0; m < listed; m++) {
        if (modes[m].bits != modes[0].bits) continue;
        // The platform may list one size once per refresh rate; the
        // choice shows each size once.
        bool seen = false;
        for (int k = 2; k < n && !seen; k++)
            seen = s->video_mode_sizes[2 * k] == modes[m].width && s->video_mode_sizes[2 * k + 1] == modes[m].height;
        if (seen) continue;
        char name[32];
        snprintf(name, sizeof name, "%dx%d", (int)modes[m].width, (int)modes[m].height);
        s->video_mode_sizes[2 * n] = modes[m].width;
        s->video_mode_sizes[2 * n + 1] = modes[m].height;
        s->video_mode_names[n++] = settings_strdup(name);
    }
    s->video_mode_count = n;
    choice_init(&s->video_mode, "Video Mode", s->video_mode_names, n, 0);
    choice_set_by_name(&s->video_mode, keep);
}

void settings_video_mode_size(int *width, int *height) {
    const Settings *s = &g_settings;
    int i = s->video_mode.index;
    bool listed = s->video_mode_sizes && i >= 0 && i < s->video_mode_count;
    *width = listed ? s->video_mode_sizes[2 * i] : 0;
    *height = listed ? s->video_mode_sizes[2 * i + 1] : 0;
}

bool settings_select_track(const char *dir) {
    Settings *s = &g_settings;
    for (int i = 0; i < s->track_count; i++) {
        if (strcasecmp(s->track_dirs[i], dir) == 0) {
            s->track.index = i;
            snprintf(s->track_dir, sizeof s->track_dir, "%s", s->track_dirs[i]);
            return true;
        }
    }
    return false;
}

void settings_set_tracks(int count, char **dirs, char **titles) {
    Settings *s = &g_settings;
    tracks_free();
    if (count <= 0 || !dirs || !titles) return;
    s->track_dirs = (char **)mem_calloc((size_t)count, sizeof(char *));
    s->track_titles = (char **)mem_calloc((size_t)count, sizeof(char *));
    for (int i = 0; i < count; i++) {
        s->track_dirs[i] = settings_strdup(dirs[i]);
        s->track_titles[i] = settings_strdup(titles[i]);
    }
    s->track_count = count;
    choice_init(&s->track, "Track", s->track_titles, count, 0);
    char wanted[sizeof s->track_dir];
    memcpy(wanted, s->track_dir, sizeof wanted);
    settings_select_track(wanted);
}

const char *settings_track_dir() {
    const Settings *s = &g_settings;
    if (s->track_count > 0 && s->track.index >= 0 && s->track.index < s->track_count)
        return s->track_dirs[s->track.index];
    return s->track_dir;
}

// --- renderer parameters --------------------------------------------------

static double clamp_double(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

void settings_derive_render(RenderParams *out) {
    const Settings *s = &g_settings;
    // A ground detail of 0 would divide by zero; the smallest detail the
    // setting can hold short of that gives the coarsest terrain.
    double ground_detail = s->ground_detail.value > 0.001 ? s->ground_detail.value : 0.001;
    out->terrain_error = (float)(0.125 / ground_detail);
    out->ground_texture_skip = (int)clamp_double(10 - s->ground_texture_detail.value, 0, 10);
    out->ground_texture_size = 32 << s->ground_texture_dim.index;
    double scale = 0.02 * clamp_double(100 - s->model_detail.value, 0, 100);
    if (scale > 1) scale = scale * scale * scale;
    out->lod_scale = (float)scale;
    out->lod_bias = (float)(50 - 50 * clamp_double((s->model_detail.value - 10) * 0.05, 0, 1));
    out->model_texture_skip = (int)clamp_double(10 - s->model_texture_detail.value, 0, 10);
    out->roost_budget = (int)s->roost_density.value;
    out->texture_compress = s->texture_compress.index;
    out->reflections = s->reflections.index == 1;
}

void settings_apply_options(RenderParams *params, const CommandLine *cl) {
    Settings *s = &g_settings;
    if (cl->has_texture_detail) {
        params->ground_texture_skip = cl->texture_detail;
        params->model_texture_skip = cl->texture_detail;
    }
    if (cl->has_ground_texture_detail) params->ground_texture_skip = cl->ground_texture_detail;
    if (cl->has_roost_frequency) params->roost_budget = cl->roost_frequency;
    if (cl->has_detail) params->terrain_error = cl->detail;
    if (cl->has_lod_scale) params->lod_scale = cl->lod_scale;
    if (cl->has_lod_bias) params->lod_bias = cl->lod_bias;
    if (cl->has_width && cl->width >= 1 && cl->width <= SETTINGS_INT_MAX_SIZE) s->xres = cl->width;
    if (cl->has_height && cl->height >= 1 && cl->height <= SETTINGS_INT_MAX_SIZE) s->yres = cl->height;
    if (cl->has_draw_fps) s->draw_fps = cl->draw_fps;
    if (cl->has_draw_time) s->draw_time = cl->draw_time;
    if (cl->has_draw_ping) s->draw_ping = cl->draw_ping;
}
