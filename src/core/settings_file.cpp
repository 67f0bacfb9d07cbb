// The settings file "@config": its keys in writing order, the reading rules
// shared with the setup files, and the save that replaces the old file only
// once the new one is complete on disk.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/console.h"
#include "core/settings.h"
#include "files/vfs.h"
#include "platform/log.h"

#define KEY(key, kind, field) {key, kind, &g_settings.field, 1, 0, 0}
#define INT_KEY(key, field, lo, hi) {key, SETTING_INT, &g_settings.field, 1, lo, hi}

// Every key of "@config" that is not part of the bike setup, in writing
// order; the two markers place the setup block and the bindings.
static const SettingKey k_settings_keys[] = {
    INT_KEY("xres", xres, 1, SETTINGS_INT_MAX_SIZE),
    INT_KEY("yres", yres, 1, SETTINGS_INT_MAX_SIZE),
    INT_KEY("draw_fps", draw_fps, INT_MIN, INT_MAX),
    INT_KEY("draw_time", draw_time, INT_MIN, INT_MAX),
    INT_KEY("draw_ping", draw_ping, INT_MIN, INT_MAX),
    INT_KEY("spy", spy, INT_MIN, INT_MAX),
    {"track", SETTING_TRACK, g_settings.track_dir, 1, 0, 0},
    KEY("record", SETTING_CHOICE, record),
    KEY("skill", SETTING_CHOICE, skill),
    KEY("minutes", SETTING_NUMBER, minutes),
    KEY("laps", SETTING_NUMBER, laps),
    {"slot%02d", SETTING_CHOICE, g_settings.slots, SETTINGS_GATES, 0, 0},
    KEY("ghost_fade_distance", SETTING_NUMBER, ghost_fade_distance),
    KEY("time_trial_abort", SETTING_CHOICE, time_trial_abort),
    {nullptr, SETTING_SETUP_BLOCK, nullptr, 0, 0, 0},
    KEY("video_mode", SETTING_CHOICE, video_mode),
    KEY("server_name", SETTING_TEXT, server_name),
    {"server_name_hist%02d", SETTING_HISTORY, g_settings.server_name_hist, SETTINGS_SERVER_HISTORY, 0, 0},
    KEY("ground_detail", SETTING_NUMBER, ground_detail),
    KEY("ground_texture_detail", SETTING_NUMBER, ground_texture_detail),
    KEY("ground_texture_dim", SETTING_CHOICE, ground_texture_dim),
    KEY("ground_mipmaps", SETTING_CHOICE, ground_mipmaps),
    KEY("texture_compress", SETTING_CHOICE, texture_compress),
    KEY("render_texture", SETTING_CHOICE, render_texture),
    KEY("use_shader", SETTING_CHOICE, use_shader),
    KEY("roost_density", SETTING_NUMBER, roost_density),
    KEY("lens_flare", SETTING_CHOICE, lens_flare),
    KEY("reflections", SETTING_CHOICE, reflections),
    KEY("hide_rider", SETTING_CHOICE, hide_rider),
    KEY("rigid_camera", SETTING_CHOICE, rigid_camera),
    KEY("model_detail", SETTING_NUMBER, model_detail),
    KEY("model_texture_detail", SETTING_NUMBER, model_texture_detail),
    KEY("fov", SETTING_NUMBER, fov),
    KEY("first_person_height", SETTING_NUMBER, first_person_height),
    KEY("first_person_angle", SETTING_NUMBER, first_person_angle),
    KEY("third_person_height", SETTING_NUMBER, third_person_height),
    KEY("third_person_distance", SETTING_NUMBER, third_person_distance),
    KEY("volume", SETTING_NUMBER, volume),
    KEY("comp_volume", SETTING_NUMBER, comp_volume),
    KEY("playback_mode", SETTING_CHOICE, playback_mode),
    INT_KEY("billboard_optimize_lookahead", billboard_optimize_lookahead, INT_MIN, INT_MAX),
    // The console ring holds CONSOLE_LINES lines; more shown lines than
    // that would read outside it.
    INT_KEY("message_lines", message_lines, 0, CONSOLE_LINES),
    INT_KEY("demo_backups", demo_backups, INT_MIN, INT_MAX),
    {"map_scale", SETTING_FLOAT, &g_settings.map_scale, 1, 0.125, 8},
    {nullptr, SETTING_BINDINGS, nullptr, 0, 0, 0},
};

#undef KEY
#undef INT_KEY

enum { SETTINGS_KEYS = (int)(sizeof k_settings_keys / sizeof k_settings_keys[0]) };

// --- one key --------------------------------------------------------------

static void *setting_entry(const SettingKey *k, int i) {
    switch (k->kind) {
    case SETTING_CHOICE:
    case SETTING_BIKE: return (ChoiceSetting *)k->setting + i;
    case SETTING_NUMBER:
    case SETTING_STABILITY: return (NumberSetting *)k->setting + i;
    case SETTING_TEXT:
    case SETTING_HISTORY: return (TextSetting *)k->setting + i;
    case SETTING_INT: return (int *)k->setting + i;
    case SETTING_FLOAT: return (float *)k->setting + i;
    default: return k->setting;
    }
}

bool settings_key_matches(const SettingKey *k, const char *key, int *i) {
    if (!k->key) return false;
    if (k->count <= 1) {
        *i = 0;
        return strcmp(k->key, key) == 0;
    }
    for (int n = 0; n < k->count; n++) {
        char candidate[64];
        snprintf(candidate, sizeof candidate, k->key, n);
        if (strcmp(candidate, key) == 0) {
            *i = n;
            return true;
        }
    }
    return false;
}

// "%d": optional blanks and sign, then digits; the rest is ignored. A value
// beyond the range is taken as its nearest end.
static bool parse_int(const char *text, double minimum, double maximum, int *out) {
    char *end;
    long long value = strtoll(text, &end, 10);
    if (end == text) return false;
    if (value < minimum) value = (long long)minimum;
    if (value > maximum) value = (long long)maximum;
    *out = (int)value;
    return true;
}

// A text cut short may end in a carriage return the next reading would
// strip; dropping it now keeps what is written what is read back.
static void drop_line_end(char *text) {
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) text[--n] = 0;
}

static bool parse_finite(const char *text, double *out) {
    char *end;
    double value = strtod(text, &end);
    if (end == text || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

bool settings_key_apply(const SettingKey *k, int i, const char *value) {
    void *entry = setting_entry(k, i);
    switch (k->kind) {
    case SETTING_INT: return parse_int(value, k->minimum, k->maximum, (int *)entry);
    case SETTING_FLOAT: {
        double v;
        if (!parse_finite(value, &v)) return false;
        if (v < k->minimum) v = k->minimum;
        if (v > k->maximum) v = k->maximum;
        *(float *)entry = (float)v;
        return true;
    }
    case SETTING_NUMBER: return number_set_from_text((NumberSetting *)entry, value);
    case SETTING_CHOICE: return choice_set_by_name((ChoiceSetting *)entry, value);
    case SETTING_TEXT:
        text_set((TextSetting *)entry, value);
        drop_line_end(((TextSetting *)entry)->text);
        return true;
    case SETTING_HISTORY:
        if (strlen(value) >= SETTINGS_TEXT_MAX) return false;
        text_set((TextSetting *)entry, value);
        return true;
    case SETTING_TRACK:
        if (!settings_select_track(value)) snprintf(g_settings.track_dir, sizeof g_settings.track_dir, "%s", value);
        return true;
    case SETTING_BIKE: {
        ChoiceSetting *bike = (ChoiceSetting *)entry;
        int found = bike_list_find(value);
        // Known or not, the graphics list follows the bike now chosen.
        setup_set_bike(found >= 0 ? found : bike->index);
        return found >= 0;
    }
    case SETTING_STABILITY: {
        NumberSetting *stability = (NumberSetting *)entry;
        if (!number_set_from_text(stability, value)) return false;
        stability_preset((int)stability->value);
        return true;
    }
    default: return false;
    }
}

void settings_key_write(VfsFile *f, const SettingKey *k, int i) {
    char key[64];
    if (k->count > 1) snprintf(key, sizeof key, k->key, i);
    else snprintf(key, sizeof key, "%s", k->key);
    void *entry = setting_entry(k, i);
    switch (k->kind) {
    case SETTING_INT: vfs_printf(f, "%s=%d\n", key, *(int *)entry); break;
    case SETTING_FLOAT: vfs_printf(f, "%s=%f\n", key, (double)*(float *)entry); break;
    case SETTING_NUMBER:
    case SETTING_STABILITY: vfs_printf(f, "%s=%f\n", key, ((NumberSetting *)entry)->value); break;
    case SETTING_CHOICE:
    case SETTING_BIKE: vfs_printf(f, "%s=%s\n", key, choice_name((ChoiceSetting *)entry)); break;
    case SETTING_TEXT:
    case SETTING_HISTORY: vfs_printf(f, "%s=%s\n", key, ((TextSetting *)entry)->text); break;
    case SETTING_TRACK: vfs_printf(f, "%s=%s\n", key, settings_track_dir()); break;
    default: break;
    }
}

// --- lines ----------------------------------------------------------------

void settings_read_lines(VfsFile *f, bool (*apply)(const char *key, const char *value)) {
    char line[SETTINGS_LINE_MAX + 1];
    for (;;) {
        int n = 0, c;
        while ((c = vfs_getc(f)) >= 0 && c != '\n') {
            if (n < SETTINGS_LINE_MAX) line[n++] = (char)c;
        }
        if (c < 0 && n == 0) break;
        line[n] = 0;
        size_t length = strlen(line);
        while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) line[--length] = 0;
        char *equals = strchr(line, '=');
        if (equals) {
            *equals = 0;
            apply(line, equals + 1);
        }
        if (c < 0) break;
    }
}

// --- key bindings ---------------------------------------------------------

// "(low,high)axis name" binds an axis, "(k)key name" or "key name" a key.
// Reading never opens or closes an axis: the bindings are resolved after
// the file is read.
static void binding_from_text(KeyBinding *b, const char *value) {
    while (*value == ' ' || *value == '\t') value++;
    float low, high;
    const char *close = strchr(value, ')');
    bool axis = value[0] == '(' && close && sscanf(value, "(%f,%f)", &low, &high) == 2;
    // Limits that are not numbers would make every reading of the axis
    // one; such a line is refused like any other bad value.
    if (axis && (!std::isfinite(low) || !std::isfinite(high))) return;

    b->kind = BINDING_NONE;
    b->name[0] = 0;
    b->code = -1;
    b->low = 0.0f;
    b->high = 1.0f;
    if (axis) {
        b->kind = BINDING_AXIS;
        b->low = low;
        b->high = high;
        value = close + 1;
    } else {
        b->kind = BINDING_KEY;
        if (strncmp(value, "(k)", 3) == 0) value += 3;
    }
    snprintf(b->name, sizeof b->name, "%s", value);
    drop_line_end(b->name);
}

static void binding_write(VfsFile *f, const KeyBinding *b) {
    if (b->kind == BINDING_KEY) vfs_printf(f, "%s=(k)%s\n", b->config_key, b->name);
    if (b->kind == BINDING_AXIS)
        vfs_printf(f, "%s=(%f,%f)%s\n", b->config_key, (double)b->low, (double)b->high, b->name);
}

// --- the whole file -------------------------------------------------------

static bool settings_apply_line(const char *key, const char *value) {
    if (setup_apply_key(key, value)) return true;
    for (KeyBinding &b : g_settings.bindings) {
        if (strcmp(key, b.config_key) == 0) {
            binding_from_text(&b, value);
            return true;
        }
    }
    if (strcmp(key, "use_fbo") == 0) {
        if (strcmp(value, "No") == 0) choice_set(&g_settings.render_texture, RENDER_METHOD_HARDWARE_COPY);
        if (strcmp(value, "Yes") == 0) choice_set(&g_settings.render_texture, RENDER_METHOD_HARDWARE_DIRECT);
        return true;
    }
    if (strcmp(key, "ground_texture_distance") == 0) return true;
    for (int k = 0; k < SETTINGS_KEYS; k++) {
        int i;
        if (!settings_key_matches(&k_settings_keys[k], key, &i)) continue;
        settings_key_apply(&k_settings_keys[k], i, value);
        return true;
    }
    return false;
}

bool settings_read(VfsFile *f) {
    if (!f) return false;
    settings_read_lines(f, settings_apply_line);
    return true;
}

void settings_write(VfsFile *f) {
    for (int k = 0; k < SETTINGS_KEYS; k++) {
        const SettingKey *key = &k_settings_keys[k];
        if (key->kind == SETTING_SETUP_BLOCK) {
            setup_write(f);
        } else if (key->kind == SETTING_BINDINGS) {
            for (const KeyBinding &b : g_settings.bindings) binding_write(f, &b);
        } else {
            for (int i = 0; i < key->count; i++) settings_key_write(f, key, i);
        }
    }
}

bool settings_load() {
    VfsFile *f = vfs_open("@config", "rb");
    if (!f) {
        zolm_log("No settings file; using the defaults\n");
        return false;
    }
    settings_read(f);
    vfs_close(f);
    return true;
}

static void settings_write_stream(VfsFile *f, void *) { settings_write(f); }

bool settings_save() {
    bool saved = settings_write_file_atomic("@config", settings_write_stream, nullptr);
    if (!saved) zolm_log("Can't save the settings; the old settings file is kept\n");
    return saved;
}

// Makes a rename in the directory of path durable.
static void sync_directory(const char *path) {
    char dir[VFS_PATH_MAX];
    snprintf(dir, sizeof dir, "%s", path);
    char *slash = strrchr(dir, '/');
    if (!slash) snprintf(dir, sizeof dir, ".");
    else if (slash == dir) dir[1] = 0;
    else *slash = 0;
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool settings_write_file_atomic(const char *name, void (*write)(VfsFile *f, void *ctx), void *ctx) {
    // The temporary file is opened by its path, so it lies in the target's
    // own directory (the home directory for "@" names) and the rename
    // cannot cross file systems. POSIX rename replaces the old file in one
    // step: a reader sees either the old file or the new one.
    char path[VFS_PATH_MAX], temporary[VFS_PATH_MAX];
    const char *dir = name[0] == '@' ? vfs_data_dir(0) : "";
    if (!dir) return false;
    const char *rest = name[0] == '@' ? name + 1 : name;
    int n = snprintf(path, sizeof path, "%s%s", dir, rest);
    if (n <= 0 || (size_t)n >= sizeof path) return false;
    n = snprintf(temporary, sizeof temporary, "%s.tmp", path);
    if (n <= 0 || (size_t)n >= sizeof temporary) return false;

    VfsFile *f = vfs_open(temporary, "wb");
    if (!f) return false;
    write(f, ctx);
    bool written = fflush(f->file) == 0 && !ferror(f->file) && fsync(fileno(f->file)) == 0;
    vfs_close(f);
    if (!written || rename(temporary, path) != 0) {
        remove(temporary);
        return false;
    }
    sync_directory(path);
    return true;
}
