// The surface tile readers: "tileinfo" (one tile per run of property lines
// closed by "addtile"), the older "texturelist" (one tile per line), the
// roost parameters, and the corner codes the editor's tile painting uses.
//
// Every bad line is a console warning and is skipped; nothing here stops a
// load. Textures come from the texture cache only when the caller says a GL
// context exists; the names are kept either way.
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/memory.h"
#include "files/vfs.h"
#include "track/terrain.h"

static const float TILE_MIN_SPEED = 1.0f / 1048576.0f;   // 2^-20: a curve point's slowest speed
static const double SIMULATION_STEP = 1.0 / 128.0;        // fade values are per second, stored per step

static const float k_default_erosion[TILE_EROSION_VALUES] = {1.0f, 50.0f, 150.0f, 2.0f, 4.0f, 0.25f, 10.0f, 15.0f};

// --- values ---------------------------------------------------------------------

// A coefficient or force: at least 0, and finite so that interpolation
// between two points never makes a NaN ("nan" and "inf" read as numbers).
static float clamp_amount(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return v < FLT_MAX ? v : FLT_MAX;
}

static float clamp_speed(float v) {
    if (!(v >= TILE_MIN_SPEED)) return TILE_MIN_SPEED;
    return v < FLT_MAX ? v : FLT_MAX;
}

// The low 8 bits of v cut toward zero, as two's complement keeps them for
// negative numbers; 0 for what is not a finite number.
static uint8_t low_byte(double v) {
    double t = trunc(v);
    if (!std::isfinite(t)) return 0;
    double m = fmod(t, 256.0);
    if (m < 0.0) m += 256.0;
    return (uint8_t)m;
}

static char *copy_text(const char *text) {
    size_t n = strlen(text) + 1;
    char *copy = (char *)mem_alloc(n);
    memcpy(copy, text, n);
    return copy;
}

// --- defaults -------------------------------------------------------------------

void tile_set_defaults(SurfaceTile *tile) {
    memset(tile, 0, sizeof *tile);
    for (int i = 0; i < TILE_CURVE_POINTS; i++) {
        tile->friction[i] = 1.0f;
        tile->roll_resist[i][0] = 5.0f;
        tile->roll_resist[i][1] = 15.0f;
    }
    tile->friction_speed[0] = 1.0f;
    tile->roll_speed[0] = 1.0f;
    memcpy(tile->erosion, k_default_erosion, sizeof tile->erosion);
}

void roost_set_defaults(RoostType *roost, const TileLoad *how) {
    memset(roost, 0, sizeof *roost);
    roost->kind = ROOST_ROOST;
    roost->texture = how->load_textures ? texture_load("@roost.png") : 0;
    roost->count = 10.0f;
    roost->dig = 1.0f;
    roost->slip_threshold = 4.0f;
    roost->slow_angle = 1.5707964f;
    roost->fast_angle = 0.19634955f;
    roost->slow_speed = 0.0f;
    roost->fast_speed = 64.0f;
    roost->size = 0.25f;
    roost->grow = 4.0f;
    roost->drag = 0.5f;
    roost->vscale = 1.0f;
    roost->randomize = 15.0f;
    roost->r = roost->g = roost->b = roost->a = 255;
    roost->fade_a = 254;
}

// The texture of a tile: pixels for update method 1, else a texture; the
// name is kept whether or not anything loads.
static void tile_set_texture(SurfaceTile *tile, const char *name, const TileLoad *how) {
    free(tile->texture_name);
    tile->texture_name = copy_text(name);
    tile->texture = 0;
    tile->pixels = nullptr;
    tile->width = tile->height = 0;
    if (!how->load_textures) return;
    if (how->update_method == TERRAIN_UPDATE_SOFTWARE) {
        CachedImage image;
        if (image_load(name, &image)) {
            tile->pixels = image.pixels;
            tile->width = image.width;
            tile->height = image.height;
        }
    } else {
        tile->texture = texture_load(name);
    }
}

// --- roost parameters -------------------------------------------------------------

struct RoostFloat {
    const char *name;
    float RoostType::*field;
};
static const RoostFloat k_roost_floats[] = {
    {"count", &RoostType::count},         {"dig", &RoostType::dig},
    {"slip_threshold", &RoostType::slip_threshold}, {"slow_angle", &RoostType::slow_angle},
    {"fast_angle", &RoostType::fast_angle}, {"slow_speed", &RoostType::slow_speed},
    {"fast_speed", &RoostType::fast_speed}, {"size", &RoostType::size},
    {"grow", &RoostType::grow},           {"drag", &RoostType::drag},
    {"vscale", &RoostType::vscale},       {"randomize", &RoostType::randomize},
};

struct RoostByte {
    const char *name;
    uint8_t RoostType::*field;
    bool per_second;   // a fade: stored as the amount per simulation step
};
static const RoostByte k_roost_bytes[] = {
    {"r", &RoostType::r, false},          {"g", &RoostType::g, false},
    {"b", &RoostType::b, false},          {"a", &RoostType::a, false},
    {"fade_r", &RoostType::fade_r, true}, {"fade_g", &RoostType::fade_g, true},
    {"fade_b", &RoostType::fade_b, true}, {"fade_a", &RoostType::fade_a, true},
};

// The value after "name=" when token starts with it, else none.
static const char *parameter_value(const char *token, const char *name) {
    size_t n = strlen(name);
    return strncmp(token, name, n) == 0 && token[n] == '=' ? token + n + 1 : nullptr;
}

// strtod of text; false (and 0) when no number can be read.
static bool read_number(const char *text, double *value) {
    char *end;
    *value = strtod(text, &end);
    if (end != text) return true;
    *value = 0.0;
    return false;
}

static void roost_apply(const char *token, RoostType *roost, const TileLoad *how) {
    const char *v;
    double number;
    if ((v = parameter_value(token, "texture"))) {
        roost->texture = how->load_textures ? texture_load(v) : 0;
        return;
    }
    if ((v = parameter_value(token, "splash"))) {
        if (read_number(v, &number) && number != 0.0) roost->kind = ROOST_SPLASH;
        return;
    }
    for (const RoostFloat &p : k_roost_floats) {
        if (!(v = parameter_value(token, p.name))) continue;
        if (!read_number(v, &number)) console_message("tileinfo warning: bad %s\n", p.name);
        roost->*p.field = (float)number;
        return;
    }
    for (const RoostByte &p : k_roost_bytes) {
        if (!(v = parameter_value(token, p.name))) continue;
        if (!read_number(v, &number)) console_message("tileinfo warning: bad %s\n", p.name);
        roost->*p.field = low_byte(p.per_second ? number * SIMULATION_STEP : number);
        return;
    }
    console_message("tileinfo warning: unknown roost parameter '%.40s'\n", token);
}

static bool roost_separator(char c) {
    return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t' || c == '\b';
}

void roost_parse(const char *value, RoostType *roost, const TileLoad *how) {
    size_t room = strlen(value) + 1;
    char *token = (char *)mem_alloc(room);
    const char *p = value;
    for (;;) {
        while (roost_separator(*p)) p++;
        if (!*p) break;
        // A token runs to the next separator outside quotes; quotes go.
        size_t n = 0;
        bool quoted = false;
        for (; *p && (quoted || !roost_separator(*p)); p++) {
            if (*p == '"') quoted = !quoted;
            else token[n++] = *p;
        }
        token[n] = 0;
        roost_apply(token, roost, how);
    }
    free(token);
}

// --- "tileinfo" ---------------------------------------------------------------------

// Sorts the first count points of both curves ascending by speed: each slot
// against every later one, swapping when the later one is slower.
static void tile_sort_points(SurfaceTile *t, int friction_points, int roll_points) {
    for (int a = 0; a < friction_points; a++) {
        for (int b = a + 1; b < friction_points; b++) {
            if (!(t->friction_speed[b] < t->friction_speed[a])) continue;
            float c = t->friction[a], s = t->friction_speed[a];
            t->friction[a] = t->friction[b], t->friction_speed[a] = t->friction_speed[b];
            t->friction[b] = c, t->friction_speed[b] = s;
        }
    }
    for (int a = 0; a < roll_points; a++) {
        for (int b = a + 1; b < roll_points; b++) {
            if (!(t->roll_speed[b] < t->roll_speed[a])) continue;
            float low = t->roll_resist[a][0], high = t->roll_resist[a][1], s = t->roll_speed[a];
            t->roll_resist[a][0] = t->roll_resist[b][0], t->roll_resist[a][1] = t->roll_resist[b][1];
            t->roll_speed[a] = t->roll_speed[b];
            t->roll_resist[b][0] = low, t->roll_resist[b][1] = high, t->roll_speed[b] = s;
        }
    }
}

int tileinfo_read(VfsFile *f, const TileLoad *how, SurfaceTile *tiles) {
    static const char *const erosion_keys[TILE_EROSION_VALUES] = {
        "erode_depth",  "erode_lower",     "erode_upper",     "erode_displacement",
        "erode_radius", "erode_max_slope", "erode_off_speed", "erode_on_speed",
    };
    SurfaceTile tile;
    tile_set_defaults(&tile);
    int friction_points = 0, roll_points = 0, roost_types = 0;
    int count = 0;
    char line[TILEINFO_LINE_BYTES];
    while (count < TERRAIN_MAX_TILES && vfs_gets(f, line, sizeof line)) {
        char *key = line + strspn(line, " \t\r\n");
        if (!*key) continue;
        size_t key_length = strcspn(key, " \t\r\n");
        char *value = key + key_length;
        value += strspn(value, " \t");
        value[strcspn(value, "\r\n")] = 0;
        // The key's end is a separator or the line's end, never inside the value.
        key[key_length] = 0;

        if (strcmp(key, "addtile") == 0) {
            tile_sort_points(&tile, friction_points, roll_points);
            tiles[count++] = tile;
            tile_set_defaults(&tile);   // the name went with the tile
            friction_points = roll_points = roost_types = 0;
        } else if (strcmp(key, "texture") == 0) {
            tile_set_texture(&tile, value, how);
        } else if (strcmp(key, "friction") == 0) {
            float coefficient, speed;
            if (friction_points >= TILE_CURVE_POINTS) {
                console_message("tileinfo warning: too many friction points\n");
            } else if (sscanf(value, "%f %f", &coefficient, &speed) < 2) {
                console_message("tileinfo warning: bad friction parameters\n");
            } else {
                tile.friction[friction_points] = clamp_amount(coefficient);
                tile.friction_speed[friction_points] = clamp_speed(speed);
                friction_points++;
            }
        } else if (strcmp(key, "roll_resist") == 0) {
            float low, high, speed;
            if (roll_points >= TILE_CURVE_POINTS) {
                console_message("tileinfo warning: too many roll_resist points\n");
            } else if (sscanf(value, "%f %f %f", &low, &high, &speed) < 3) {
                console_message("tileinfo warning: bad roll_resist parameters\n");
            } else {
                tile.roll_resist[roll_points][0] = clamp_amount(low);
                tile.roll_resist[roll_points][1] = clamp_amount(high);
                tile.roll_speed[roll_points] = clamp_speed(speed);
                roll_points++;
            }
        } else if (strcmp(key, "roost") == 0) {
            if (roost_types >= TILE_ROOST_TYPES) {
                console_message("tileinfo warning: too many roost types\n");
            } else {
                roost_set_defaults(&tile.roost[roost_types], how);
                roost_parse(value, &tile.roost[roost_types], how);
                roost_types++;
            }
        } else {
            int e = 0;
            while (e < TILE_EROSION_VALUES && strcmp(key, erosion_keys[e]) != 0) e++;
            if (e == TILE_EROSION_VALUES) {
                console_message("tileinfo warning: Unknown identifier '%.950s'\n", key);
                continue;
            }
            // Only finite numbers: the erosion code loops over radii and depths.
            float number;
            if (sscanf(value, "%f", &number) == 1 && std::isfinite(number)) tile.erosion[e] = number;
            else console_message("tileinfo warning: bad %s\n", erosion_keys[e]);
        }
    }
    free(tile.texture_name);   // properties not followed by "addtile"
    return count;
}

// --- "texturelist" ----------------------------------------------------------------

static const char TEXTURELIST_SPACE[] = " \t\r\n\f\v";

int texturelist_read(VfsFile *f, const TileLoad *how, SurfaceTile *tiles) {
    int count = 0;
    char line[TILEINFO_LINE_BYTES];
    char name[TILEINFO_LINE_BYTES + 1];
    while (count < TERRAIN_MAX_TILES && vfs_gets(f, line, sizeof line)) {
        const char *p = line + strspn(line, TEXTURELIST_SPACE);
        if (!*p) continue;
        float coefficient = 1.0f, low = 5.0f, high = 15.0f;
        int consumed = -1;
        const char *rest = p;
        if (sscanf(p, "%f %f %f %n", &coefficient, &low, &high, &consumed) == 3 && consumed >= 0) {
            rest = p + consumed;
        } else {
            coefficient = 1.0f, low = 5.0f, high = 15.0f;
        }
        snprintf(name, sizeof name, "@%s", rest);
        name[strcspn(name, "\r\n")] = 0;

        SurfaceTile *tile = &tiles[count++];
        tile_set_defaults(tile);
        tile_set_texture(tile, name, how);
        coefficient = clamp_amount(coefficient);
        low = clamp_amount(low);
        high = clamp_amount(high);
        for (int i = 0; i < TILE_CURVE_POINTS; i++) {
            tile->friction[i] = coefficient;
            tile->roll_resist[i][0] = low;
            tile->roll_resist[i][1] = high;
        }
        roost_set_defaults(&tile->roost[0], how);
    }
    return count;
}

// --- corner codes -----------------------------------------------------------------

const char *tile_code_name(const char *texture_name) {
    if (!texture_name) return "";
    if (texture_name[0] == '@') texture_name++;
    const char *slash = strrchr(texture_name, '/');
    return slash ? slash + 1 : texture_name;
}

// x matches a tile named t when x, up to its first "-", equals t up to the
// "." that must follow there in t.
static bool code_name_matches(const char *x, const char *t) {
    const char *dash = strchr(x, '-');
    if (!dash) return false;
    size_t n = (size_t)(dash - x);
    return strncmp(x, t, n) == 0 && t[n] == '.';
}

static int code_find(const char *const *names, int count, const char *x) {
    for (int t = 0; t < count; t++) {
        if (code_name_matches(x, names[t])) return t;
    }
    return -1;
}

int32_t tile_corner_code(const char *const *names, int count, int index) {
    const char *own = names[index];
    int from = code_find(names, count, own);
    if (from < 0) return index * 65536 + index * 256;
    const char *to_name = strchr(own, '-') + 1;
    if (strncmp(to_name, "alt", 3) == 0 && isdigit((unsigned char)to_name[3])) return from * 65536 + from * 256;
    int to = code_find(names, count, to_name);
    if (to < 0) return -256;
    const char *bits = strchr(to_name, '-') + 1;
    int mask = 0;
    for (int i = 0; i < 4; i++) {
        if (bits[i] != '0' && bits[i] != '1') return from * 65536 + to * 256;
        mask = mask << 1 | (bits[i] - '0');
    }
    return from * 65536 + to * 256 + mask;
}

void tiles_set_corner_codes(SurfaceTile *tiles, int count) {
    const char *names[TERRAIN_MAX_TILES];
    for (int i = 0; i < count; i++) names[i] = tile_code_name(tiles[i].texture_name);
    for (int i = 0; i < count; i++) tiles[i].corner_code = tile_corner_code(names, count, i);
}

void tiles_free(SurfaceTile *tiles, int count) {
    for (int i = 0; i < count; i++) {
        free(tiles[i].texture_name);
        tiles[i].texture_name = nullptr;
    }
}
