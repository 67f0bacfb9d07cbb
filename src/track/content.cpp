// The track loader: the load order, the identity digest, the title and the
// minimap, and freeing what the readers made. The readers live in
// content_lighting.cpp, content_objects.cpp and content_flaggers.cpp.
//
// Owns: g_track between track_load and track_unload.
// Never: lets a track name reach outside the data directories.
#include "track/content.h"
#include "track/gates.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/collide.h"
#include "core/console.h"
#include "files/model.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "track/content_internal.h"
#include "track/terrain.h"

Track g_track;

static ContentOptions s_options = {false, false, 0};   // whole process; content_set_options changes it

void content_set_options(const ContentOptions *options) { s_options = *options; }
const ContentOptions *content_options() { return &s_options; }

// --- helpers shared by the readers ----------------------------------------------

bool content_grow(void **array, int *capacity, int count, size_t element) {
    if (count < *capacity) return true;
    if (*capacity > (1 << 28)) return false;
    int room = *capacity ? *capacity * 2 : CONTENT_ARRAY_START;
    void *bigger = realloc(*array, (size_t)room * element);
    if (!bigger) return false;
    *array = bigger;
    *capacity = room;
    return true;
}

char *content_copy(const char *text) {
    if (!text) return nullptr;
    size_t n = strlen(text) + 1;
    char *out = (char *)malloc(n);
    if (out) memcpy(out, text, n);
    return out;
}

bool content_finite(float v) { return std::isfinite(v); }

// A ".." part anywhere would climb out of the data directory.
static bool has_parent_part(const char *name) {
    for (const char *p = name; *p;) {
        const char *end = strchr(p, '/');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        if (n == 2 && p[0] == '.' && p[1] == '.') return true;
        if (!end) break;
        p = end + 1;
    }
    return false;
}

bool content_data_name(const char *name, char *out, int size) {
    if (!name || !out || size < 2) return false;
    const char *rest = name;
    bool bang = rest[0] == '!';
    if (bang) rest++;
    if (rest[0] == '@') rest++;
    if (!rest[0] || has_parent_part(rest)) return false;
    int n = snprintf(out, (size_t)size, "%s@%s", bang ? "!" : "", rest);
    return n > 0 && n < size;
}

TextureId content_texture(const char *name) {
    if (!s_options.gl || !name) return 0;
    char safe[CONTENT_NAME_BYTES + 2];
    if (!content_data_name(name, safe, sizeof safe)) return 0;
    return texture_load(safe);
}

// --- freeing ------------------------------------------------------------------------

void track_free(Track *t) {
    for (int i = 0; i < t->billboard_count; i++) free(t->billboards[i].texture_name);
    for (int i = 0; i < t->statue_count; i++) {
        Statue *s = &t->statues[i];
        if (s->shape) shape_instance_free(s->shape);
        free(s->model_name);
        free(s->texture_name);
        free(s->shape_name);
    }
    for (int i = 0; i < t->decal_count; i++) free(t->decals[i].texture_name);
    free(t->billboards);
    free(t->billboard_order);
    free(t->statues);
    free(t->cameras);
    free(t->gate_flaggers);
    free(t->decals);
    lighting_free(&t->lighting);
    // The fog colour stays until a later "lighting" sets it.
    float fog[3] = {t->lighting.fog_color[0], t->lighting.fog_color[1], t->lighting.fog_color[2]};
    memset(t, 0, sizeof *t);
    lighting_defaults(&t->lighting);
    memcpy(t->lighting.fog_color, fog, sizeof fog);
    for (int32_t &c : t->gate_cameras) c = -1;
    t->starter.billboard = t->lap_flagger.billboard = -1;
}

void track_unload() {
    zolm_log("Deallocating track\n");
    timing_gates_free(&g_gates);
    // Riding lines: their tables are freed here once robots learn lines.
    objects_clear();   // the bins point at the statues' shape instances
    track_free(&g_track);
    terrain_free();
    zolm_log("Finished deallocating track\n");
}

// --- loading ------------------------------------------------------------------------

static VfsFile *open_track_file(const Track *t, const char *file) {
    char path[TRACK_NAME_MAX + 64];
    snprintf(path, sizeof path, "@%s/%s", t->name, file);
    return vfs_open(path, "rb");
}

static void digest_stream(Ripemd160 *r, VfsFile *f) {
    unsigned char block[4096];
    size_t got;
    while ((got = vfs_read(f, block, sizeof block)) > 0) ripemd160_add(r, block, got);
}

static void digest_track_file(Ripemd160 *r, const Track *t, const char *file) {
    VfsFile *f = open_track_file(t, file);
    if (!f) return;
    digest_stream(r, f);
    vfs_close(f);
}

// The first line of "desc" up to CR, LF or the end; the name without one.
static void read_title(Track *t) {
    size_t length = strnlen(t->name, sizeof t->title - 1);   // a long name is cut to fit
    memcpy(t->title, t->name, length);
    t->title[length] = 0;
    VfsFile *f = open_track_file(t, "desc");
    if (!f) return;
    size_t n = 0;
    int c;
    while (n + 1 < sizeof t->title && (c = vfs_getc(f)) > 0 && c != '\r' && c != '\n') t->title[n++] = (char)c;
    t->title[n] = 0;
    vfs_close(f);
}

static void log_texture_memory(const char *after) {
    if (s_options.debug_level >= 1) {
        zolm_log("%lu bytes texture memory used after %s creation\n", (unsigned long)texture_memory_used(), after);
    }
}

// The roost particles' billboards: at the origin, one foot square, no texture.
static void add_roost_billboards(Track *t) {
    for (int i = 0; i < TRACK_ROOST_BILLBOARDS; i++) {
        int b = billboard_add(t, 0, 0, 0, 1, 1, nullptr);
        if (b < 0) break;
        t->billboards[b].y = 0;
    }
}

// Every statue shape into the collision bins, at the statue's pose.
static void add_statue_objects(Track *t) {
    for (int i = 0; i < t->statue_count; i++) {
        Statue *s = &t->statues[i];
        if (!s->shape) continue;
        float pos[3] = {s->x, s->y, s->z};
        objects_add(s->shape, pos, s->orientation);
    }
}

// Each distinct shape file the statues use, in statue order, once (names
// that differ only by the leading "@" are the same file).
static void digest_statue_shapes(Ripemd160 *r, const Track *t) {
    char safe[CONTENT_NAME_BYTES + 2], other[CONTENT_NAME_BYTES + 2];
    for (int i = 0; i < t->statue_count; i++) {
        const Statue *s = &t->statues[i];
        if (!s->shape || !content_data_name(s->shape_name, safe, sizeof safe)) continue;
        bool seen = false;
        for (int j = 0; j < i && !seen; j++) {
            const Statue *e = &t->statues[j];
            seen = e->shape && content_data_name(e->shape_name, other, sizeof other) && strcmp(safe, other) == 0;
        }
        if (seen) continue;
        VfsFile *f = vfs_open(safe, "rb");
        if (!f) continue;
        digest_stream(r, f);
        vfs_close(f);
    }
}

static bool track_name_ok(const char *name) {
    if (!name || !name[0] || name[0] == '/' || name[0] == '@') return false;
    if (strlen(name) >= TRACK_NAME_MAX || has_parent_part(name)) return false;
    return true;
}

static bool track_load_steps(Track *t, const char *name, int update_method) {
    static const char *const k_digest_files[] = {"terrain.hf", "terrain.png", "texturelist", "tilemap", "tileinfo"};
    snprintf(t->name, sizeof t->name, "%s", name);
    char dir[TRACK_NAME_MAX + 2];
    snprintf(dir, sizeof dir, "@%s", name);
    read_title(t);

    Ripemd160 digest;
    ripemd160_start(&digest);
    for (const char *file : k_digest_files) digest_track_file(&digest, t, file);
    if (s_options.debug_level >= 1) zolm_log("Loading '%s'\n", dir);

    VfsFile *f = open_track_file(t, "lighting");
    lighting_read(f, &t->lighting);
    vfs_close(f);

    if (!terrain_load(dir, update_method)) return false;
    if (s_options.debug_level >= 1) {
        zolm_log("%lu bytes texture memory used after hf creation\n", (unsigned long)texture_memory_used());
    }
    f = open_track_file(t, "decals");
    decals_read(f, t, g_terrain.update_method);
    vfs_close(f);

    digest_track_file(&digest, t, "timing_gates");
    // The gates, and each starting slot's gate statue 3 ft ahead of it.
    char gates_name[VFS_PATH_MAX];
    snprintf(gates_name, sizeof gates_name, "%s/timing_gates", dir);
    timing_gates_load(gates_name);
    for (int i = 0; i < g_gates.slot_count; i++) {
        StartSlot *slot = &g_gates.slots[i];
        slot->statue = statue_add(t, slot->statue_x, slot->y, slot->statue_z, slot->heading, slot->model,
                                  slot->texture, slot->shape);
    }
    int gate_count = g_gates.gate_count;

    add_roost_billboards(t);

    f = open_track_file(t, "flaggers");
    flaggers_read(f, t, gate_count);
    vfs_close(f);
    log_texture_memory("flagger");

    t->first_file_billboard = t->billboard_count;
    f = open_track_file(t, "billboards");
    billboards_read(f, t);
    vfs_close(f);
    log_texture_memory("billboard");

    digest_track_file(&digest, t, "statues");
    t->first_file_statue = t->statue_count;
    f = open_track_file(t, "statues");
    statues_read(f, t);
    vfs_close(f);
    log_texture_memory("statue");

    f = open_track_file(t, "map.png");
    t->has_minimap = f != nullptr;
    vfs_close(f);
    if (t->has_minimap && s_options.gl) {
        char map[TRACK_NAME_MAX + 16];
        snprintf(map, sizeof map, "@%s/map.png", name);
        t->minimap = texture_load(map);
    }

    add_statue_objects(t);
    // The track editor, when running, takes the track here.

    digest_statue_shapes(&digest, t);
    ripemd160_finish(&digest, t->digest);

    f = open_track_file(t, "cameras");
    cameras_read(f, t, gate_count);
    vfs_close(f);

    if (s_options.gl) {
        textures_purge();
        models_purge();
    }
    return true;
}

bool track_load(const char *name, int update_method) {
    track_unload();
    if (!track_name_ok(name)) {
        console_message("Can't load track '%.900s'\n", name ? name : "");
        return false;
    }
    textures_new_generation();
    if (track_load_steps(&g_track, name, update_method)) return true;
    track_unload();
    return false;
}
